// The two switches of a printer's state display, as the monitor and the kit's Monitoring
// Preferences read them.
#include <windows.h>

#include "scoped.h"
#include "targets.h"

namespace {

// 1 when the value was read (4 bytes at most) into *value.
bool ReadDword(HKEY root, const char* path, const char* name, DWORD* value)
{
    ScopedRegKey key;
    DWORD size = sizeof(*value);
    *value = 0;
    return path[0] && RegOpenKeyExA(root, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
           RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS;
}

} // namespace

int ReadStateSwitch(const char* name, const char* targetPath, const char* profilePath, const char* modelId,
                    int* byPolicy)
{
    if (byPolicy)
        *byPolicy = 0;
    DWORD value = 0;
    if (ReadDword(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY, name, &value)) {
        if (byPolicy)
            *byPolicy = 1;
        return value != 0;
    }
    if (targetPath && ReadDword(HKEY_CURRENT_USER, targetPath, name, &value))
        return value != 0;
    if (profilePath && profilePath[0] && modelId)
        return GetPrivateProfileIntA(modelId, name, 1, profilePath) != 0;
    return 1;
}
