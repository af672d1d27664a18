#include "package_fixture.h"

#include <shlobj.h>

#include "instance_check.h"
#include "instance_table.h"
#include "setup_profile.h"
#include "startup_reg.h"
#include "version.h"

namespace zt {

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kProductName[] = "ORVEL Zetwatch";
const char kCompanyKey[] = "Software\\ORVEL";
// An install or removal under Wine takes a few seconds; a hung one is ended.
constexpr DWORD kMsiexecTimeoutMs = 120000;

std::string PackageFile(const char* folder, const std::string& version)
{
    char full[MAX_PATH] = "";
    // The package of the test program's own kind.
    const char* arch = sizeof(void*) == 8 ? "x64" : "x86";
    const std::string path =
        TestBinDir() + "..\\pkg-test\\" + folder + "\\zettray-" + version + "-" + arch + ".msi";
    return GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr) ? full : path;
}

// Removes the keys below `path` that hold neither values nor keys (after their own empty
// keys went); true when `path` is such a key itself.
bool PruneEmptyKeys(HKEY root, const std::string& path)
{
    for (const std::string& name : SubkeyNames(root, path)) {
        const std::string child = path + "\\" + name;
        if (PruneEmptyKeys(root, child))
            RegDeleteKeyA(root, child.c_str());
    }
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return subkeys == 0 && values == 0;
}

} // namespace

std::string CurrentVersion()
{
    return std::to_string(ZT_VERSION_MAJOR) + "." + std::to_string(ZT_VERSION_MINOR) + "." +
           std::to_string(ZT_VERSION_PATCH);
}

std::string CurrentPackage()
{
    return PackageFile("current", CurrentVersion());
}

std::string OlderPackage()
{
    return PackageFile("older", ZT_OLDER_PACKAGE_VERSION);
}

bool RunMsiexec(const char* action, const std::string& package, const std::string& properties, DWORD* code)
{
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    std::string args = std::string(action) + " \"" + package + "\" /qn";
    if (!properties.empty())
        args += " " + properties;
    return RunProcess(std::string(system) + "\\msiexec.exe", args, kMsiexecTimeoutMs, code);
}

bool IsRolledBack(DWORD code)
{
    return code == ERROR_INSTALL_FAILURE || code == ERROR_FUNCTION_FAILED;
}

std::vector<InstalledProduct> InstalledProducts()
{
    std::vector<InstalledProduct> products;
    for (const std::string& code : SubkeyNames(HKEY_LOCAL_MACHINE, kUninstallKey)) {
        const std::string key = std::string(kUninstallKey) + "\\" + code;
        std::string name, version;
        if (GetString(HKEY_LOCAL_MACHINE, key, "DisplayName", &name) && name == kProductName) {
            GetString(HKEY_LOCAL_MACHINE, key, "DisplayVersion", &version);
            products.push_back({code, version});
        }
    }
    return products;
}

std::string PackageDir()
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\ORVEL\\Zetwatch";
}

std::string RecordedPackage(const std::string& printer)
{
    std::string code;
    GetString(HKEY_LOCAL_MACHINE, std::string(SETUP_RECORD_KEY) + "\\" + printer, "Package", &code);
    return code;
}

HWND MonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

bool StartFromMachineRun(const std::string& printer, ChildProcess* monitor)
{
    std::string command;
    if (!GetString(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, printer.c_str(), &command) || command.size() < 2 ||
        command[0] != '"')
        return false;
    const size_t end = command.find("\" ", 1);
    if (end == std::string::npos)
        return false;
    return monitor->Start(command.substr(1, end - 1), command.substr(end + 2));
}

void PackageCleanup::RemoveAll()
{
    for (const InstalledProduct& product : InstalledProducts()) {
        DWORD code = 0;
        RunMsiexec("/x", product.code, "", &code);
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (PruneEmptyKeys(root, kCompanyKey))
            RegDeleteKeyA(root, kCompanyKey);
    }
}

} // namespace zt
