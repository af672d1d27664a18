#include "driver_config.h"

#include <windows.h>

#include <string.h>

#include "reg_read.h"
#include "reg_view.h"
#include "scoped.h"
#include "strutil.h"

namespace {

const char kInstallPath[] = DRIVER_VALUE_INSTALL_PATH;
const char kProfile[] = DRIVER_VALUE_PROFILE;
const char kStatusExe[] = DRIVER_VALUE_STATUS_EXE;
const char kPrnDll[] = PROFILE_INI_PRN_DLL;
const char kCurrentDir[] = ".\\";

// Room for the key prefix followed by a driver name of up to 259 characters.
constexpr size_t kKeyPathSize = sizeof(DRIVER_KEY_PREFIX) + ZT_TEXT;

// Depth of GetInstallPath calls in progress. The install lookup falls back on the profile
// lookup, which falls back on the install lookup: the nested call is refused to end that.
int g_installDepth = 0;

class InstallDepthGuard {
public:
    InstallDepthGuard() { ++g_installDepth; }
    ~InstallDepthGuard() { --g_installDepth; }
    InstallDepthGuard(const InstallDepthGuard&) = delete;
    InstallDepthGuard& operator=(const InstallDepthGuard&) = delete;
};

bool IsEmpty(const char* text)
{
    return !text || !*text;
}

// The driver key's path; 0 when the driver name is missing or too long for a key path.
int DriverKeyPath(char (&keyPath)[kKeyPathSize], const char* driverName)
{
    keyPath[0] = '\0';
    return !IsEmpty(driverName) && SafeFormat(keyPath, sizeof(keyPath), "%s%s", DRIVER_KEY_PREFIX, driverName);
}

// Writes `first` followed by `second` into the 260-byte `out`; 0 (and "") when it would not
// fit, so that a cut path never names a different file.
int ComposePath(char* out, const char* first, const char* second)
{
    if (SafeFormat(out, ZT_TEXT, "%s%s", first, second))
        return 1;
    out[0] = '\0';
    return 0;
}

// Fails GetInstallPath: empty output, result 0.
int NoInstallPath(char* out)
{
    out[0] = '\0';
    return 0;
}

} // namespace

int FileExists(const char* path)
{
    if (IsEmpty(path))
        return 0;
    if (EndsWithCharOf(path, "\\") || FindCharOf(path, "*?"))
        return 0;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path, &data);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return 1;
}

int WriteMachineString(const char* keyPath, const char* valueName, const char* text)
{
    if (IsEmpty(keyPath) || !valueName || !text)
        return 0;
    ScopedRegKey key;
    if (OpenMachineKey(keyPath, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS)
        return 0;
    DWORD bytes = static_cast<DWORD>(strlen(text) + 1);
    return RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

int GetDriverValue(char* out, const char* valueName, const char* driverName, const char* modelId)
{
    if (!out)
        return 0;
    char keyPath[kKeyPathSize];
    if (IsEmpty(driverName) || IsEmpty(modelId) || !DriverKeyPath(keyPath, driverName)) {
        out[0] = '\0';
        return 0;
    }
    ScopedRegKey key;
    if (OpenMachineKey(keyPath, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    char value[ZT_TEXT];
    if (!QueryText(key.Get(), valueName, value, sizeof(value)))
        return 0;
    SafeCopy(out, ZT_TEXT, value);
    return 1;
}

int GetInstallPath(char* out, const char* driverName, const char* modelId)
{
    if (!out)
        return 0;
    if (IsEmpty(driverName) || IsEmpty(modelId) || g_installDepth > 0)
        return NoInstallPath(out);
    InstallDepthGuard guard;

    char candidate[ZT_TEXT] = {0};
    if (GetDriverValue(candidate, kInstallPath, driverName, modelId) && candidate[0]) {
        if (EndsWithCharOf(candidate, "\\"))
            candidate[strlen(candidate) - 1] = '\0'; // one trailing backslash is tolerated, not more
    } else {
        candidate[0] = '\0';
        if (!GetProfilePath(candidate, driverName, modelId) || !candidate[0])
            return NoInstallPath(out);
        // The profile file's directory. A bare file name names no directory of its own.
        const char* lastSlash = FindLastCharOf(candidate, "\\");
        if (!lastSlash)
            return NoInstallPath(out);
        candidate[lastSlash - candidate] = '\0';
    }
    if (!FileExists(candidate))
        return NoInstallPath(out);

    char keyPath[kKeyPathSize];
    if (DriverKeyPath(keyPath, driverName))
        WriteMachineString(keyPath, kInstallPath, candidate); // a failed write-back is harmless
    if (!ComposePath(out, candidate, "\\"))
        return NoInstallPath(out);
    return 1;
}

int GetDriverFilePath(char* out, const char* valueName, const char* defaultFile, const char* driverName,
                      const char* modelId)
{
    if (!out)
        return 0;
    char keyPath[kKeyPathSize];
    DriverKeyPath(keyPath, driverName);

    if (GetDriverValue(out, valueName, driverName, modelId) && out[0] && FileExists(out)) {
        WriteMachineString(keyPath, valueName, out); // the value becomes REG_SZ
        return 1;
    }
    char directory[ZT_TEXT] = {0};
    if (!GetInstallPath(directory, driverName, modelId) || !directory[0])
        return 0;
    if (!ComposePath(out, directory, defaultFile ? defaultFile : "") || !FileExists(out))
        return 0;
    WriteMachineString(keyPath, valueName, out);
    return 1;
}

int GetProfilePath(char* out, const char* driverName, const char* modelId)
{
    if (!out)
        return 0;
    if (IsEmpty(driverName) || IsEmpty(modelId)) {
        out[0] = '\0';
        return 0;
    }
    // With an empty default file name the fallback candidate is the install directory with
    // its trailing backslash, which FileExists rejects: the install directory is never taken
    // for the profile, but the install lookup still runs and may repair `InstallPath`.
    if (GetDriverFilePath(out, kProfile, "", driverName, modelId))
        return 1;

    out[0] = '\0';
    ScopedRegKey key;
    if (OpenMachineKeyFor(PROFILE_KEY_PATH, modelId, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return 0;
    // Neither tested nor written back; a missing or unreadable value gives "" with result 1.
    QueryText(key.Get(), modelId, out, ZT_TEXT);
    return 1;
}

int GetPrnDllPath(char* out, const char* driverName, const char* modelId)
{
    if (!out)
        return 0;
    char profile[ZT_TEXT] = {0};
    if (!GetProfilePath(profile, driverName, modelId) || !profile[0])
        return 0;
    char library[ZT_TEXT] = {0};
    DWORD count = GetPrivateProfileStringA(modelId, kPrnDll, "", library, sizeof(library), profile);
    // Refused: no value, or a value of exactly 258 characters. A value longer than 259
    // characters comes back cut to 259 and is taken as it is; behind a directory it is then
    // too long for the path, which fails below.
    if (count == 0 || count == 258)
        return 0;

    char directory[ZT_TEXT] = {0};
    if (!GetInstallPath(directory, driverName, modelId))
        SafeCopy(directory, kCurrentDir);
    char path[ZT_TEXT];
    if (!ComposePath(path, directory, library))
        return 0;
    SafeCopy(out, ZT_TEXT, path);
    return 1;
}

int GetStatusExePath(char* out, const char* driverName, const char* modelId)
{
    return GetDriverFilePath(out, kStatusExe, STATUS_EXE_DEFAULT, driverName, modelId);
}
