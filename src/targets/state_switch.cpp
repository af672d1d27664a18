// The two switches of a printer's state display, as the monitor and the kit's Monitoring
// Preferences read them.
#include <windows.h>

#include "reg_read.h"
#include "scoped.h"
#include "targets.h"

namespace {

// 1 when the switch was read into *value (a REG_DWORD, or the text "0" or "1").
bool ReadDword(HKEY root, const char* path, const char* name, DWORD* value)
{
    ScopedRegKey key;
    *value = 0;
    return path[0] && RegOpenKeyExA(root, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
           QuerySwitch(key.Get(), name, value);
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
