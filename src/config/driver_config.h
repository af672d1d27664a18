// Driver configuration lookup: turns a printer's driver name and model identifier into the
// driver's install directory, its profile INI file, its printer library and its
// status-window program.
//
// The driver's installer records these in HKLM under DRIVER_KEY_PREFIX + driver name. A path
// taken from that key, or built from the install directory, is tested for existence before
// it is handed out, and a successful lookup writes the verified path back into the driver's
// key (never creating the key), so a missing or stale value is repaired for the next call.
// Nothing is cached; nothing is traced.
//
// HKLM keys are found in either registry view (reg_view.h): the driver key in this
// program's own view when it is there, else in the other; a write-back goes to the same
// key, so into the view the value was read from. The profile path of a model is taken from
// the view whose PROFILE_KEY_PATH key holds a value for that model.
//
// Every `out` is a buffer of ZT_TEXT (260) bytes. Results are 1 (success) or 0 (failure); the
// output of a failed call is not to be used. A composed path that does not fit 259 characters
// makes the lookup fail instead of naming a different, cut-off file. Single-threaded use only.
#pragma once

#define DRIVER_KEY_PREFIX "software\\ORVEL\\ZET3\\Driver\\"
#define PROFILE_KEY_PATH "software\\ORVEL\\ZET3\\Profile"
#define STATUS_EXE_DEFAULT "J_R10RN1.EXE"

// Values of the driver's key, its subkey of auxiliary tools, and keys of its profile INI.
#define DRIVER_VALUE_INSTALL_PATH "InstallPath"
#define DRIVER_VALUE_PROFILE "Profile"
#define DRIVER_VALUE_STATUS_EXE "J_RRUN"
#define DRIVER_VALUE_MODEL_ID "ModelID"
#define DRIVER_VALUE_MAP_FILE "MapFileName"
#define DRIVER_VALUE_DEP_EXE "DepExe"
#define DRIVER_MENU_SUBKEY "Menu"
#define MENU_VALUE_SEPARATORS "Separators"
#define PROFILE_INI_PRN_DLL "PrnDll"
#define PROFILE_INI_RES_DLL "ResDll"
#define PROFILE_INI_END_TIME "TrayIconEndTime"

// The profile INI path: the driver's `Profile` value when that file exists (written back as
// REG_SZ), else the value named by the model identifier under PROFILE_KEY_PATH, untested.
// May return 1 with an empty text (no value for the model); callers treat that as failure.
int GetProfilePath(char* out, const char* driverName, const char* modelId);

// The install directory, always ending in one backslash: the `InstallPath` value (one
// trailing backslash tolerated) when it exists, else the directory of the profile file.
// Written back as `InstallPath` without the trailing backslash. Empty output on failure.
// While one call is in progress, a nested call (through the profile lookup) fails at once.
int GetInstallPath(char* out, const char* driverName, const char* modelId);

// The printer library's path: install directory (or ".\") followed by the `PrnDll` key of
// the model's section of the profile INI file. Not tested for existence. `out` is left
// untouched on failure.
int GetPrnDllPath(char* out, const char* driverName, const char* modelId);

// The status-window program's path: the `J_RRUN` value when that file exists, else
// install directory + STATUS_EXE_DEFAULT when that exists; stored back as `J_RRUN`.
int GetStatusExePath(char* out, const char* driverName, const char* modelId);

// ---- building blocks, also used by the resource-library lookup ----------------------------

// One value of the driver key, of any type, read as text (at most 259 characters; a longer
// value counts as absent). `out` is "" when an argument is missing, untouched when the
// registry fails. The model identifier is required although it takes no part in the key.
int GetDriverValue(char* out, const char* valueName, const char* driverName, const char* modelId);

// A file path held in the driver value `valueName` when that file exists, else the install
// directory + `defaultFile` when that exists; the path found is written back as `valueName`.
int GetDriverFilePath(char* out, const char* valueName, const char* defaultFile, const char* driverName,
                      const char* modelId);

// 1 when a directory search finds an entry (file or directory) for the path. An empty path, a
// path ending in a backslash and a path with wildcards ('*', '?') count as not existing.
int FileExists(const char* path);

// Sets `valueName` to `text` as REG_SZ (strlen + 1 bytes) in the EXISTING HKLM key `keyPath`,
// in the view where the key is found. 1 when set; 0 when the key does not open or the
// value is not set. Never creates a key.
int WriteMachineString(const char* keyPath, const char* valueName, const char* text);
