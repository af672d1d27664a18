#include "reg_view.h"

namespace {

bool IsMissing(LONG result)
{
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
}

} // namespace

LONG OpenMachineKeyInView(const char* path, REGSAM access, REGSAM view, HKEY* key)
{
    if (!key)
        return ERROR_INVALID_PARAMETER;
    *key = nullptr;
    if (!path)
        return ERROR_INVALID_PARAMETER;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access | view, key);
    if (result != ERROR_SUCCESS)
        *key = nullptr;
    return result;
}

LONG OpenMachineKey(const char* path, REGSAM access, HKEY* key, REGSAM* view)
{
    REGSAM found = REG_VIEW_OWN;
    LONG result = OpenMachineKeyInView(path, access, found, key);
    if (IsMissing(result)) {
        found = REG_VIEW_OTHER;
        result = OpenMachineKeyInView(path, access, found, key);
    }
    if (view && result == ERROR_SUCCESS)
        *view = found;
    return result;
}

LONG OpenMachineKeyFor(const char* path, const char* valueName, REGSAM access, HKEY* key, REGSAM* view)
{
    for (REGSAM candidate : REG_VIEWS) {
        if (OpenMachineKeyInView(path, access, candidate, key) != ERROR_SUCCESS)
            continue;
        if (RegQueryValueExA(*key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            if (view)
                *view = candidate;
            return ERROR_SUCCESS;
        }
        RegCloseKey(*key);
        *key = nullptr;
    }
    return OpenMachineKey(path, access, key, view);
}
