#include "package_fixture.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <winspool.h>

#include <ctype.h>
#include <stdio.h>

#include <algorithm>

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
// The packages of the test program's own kind.
const char* const kOwnArch = sizeof(void*) == 8 ? "x64" : "x86";
// An install or removal under Wine takes a few seconds; a hung one is ended.
constexpr DWORD kMsiexecTimeoutMs = 120000;
// The package's action ends a kit installer that has not ended by then.
constexpr DWORD kSetupBoundMs = 90000;

std::string PackageFile(const char* folder, const std::string& version, const char* arch)
{
    char full[MAX_PATH] = "";
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
    return PackageFile("current", CurrentVersion(), kOwnArch);
}

std::string CurrentPackageFile(const char* name)
{
    const std::string package = CurrentPackage();
    return package.substr(0, package.size() - 4) + "\\" + name;
}

std::string OlderPackage()
{
    return PackageFile("older", ZT_OLDER_PACKAGE_VERSION, kOwnArch);
}

std::string ReleaseX86Package()
{
    std::string path = TestBinDir() + ZT_RELEASE_X86_PACKAGE;
    std::replace(path.begin(), path.end(), '/', '\\');
    char full[MAX_PATH] = "";
    return GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr) ? full : path;
}

std::string FailLatePackage()
{
    return PackageFile("faillate", CurrentVersion(), kOwnArch);
}

bool RunMsiexec(const char* action, const std::string& package, const std::string& properties, DWORD* code,
                const std::vector<std::string>* env)
{
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    std::string args = std::string(action) + " \"" + package + "\" /qn";
    if (!properties.empty())
        args += " " + properties;
    // A log of its own, unless the caller asks for one, for what a run that does not end did.
    TempFile log("ztpkm", ".log");
    if (properties.find("/l*v") == std::string::npos)
        args += " /l*v \"" + log.Path() + "\"";
    // The package's action ends a kit installer that hangs before msiexec is ended here.
    const std::vector<std::string> bounded =
        EnvironmentWith({"ZT_SETUP_TEST_BOUND_MS=" + std::to_string(kSetupBoundMs)});
    const DWORD start = GetTickCount();
    ChildProcess msiexec;
    if (!msiexec.Start(std::string(system) + "\\msiexec.exe", args, env ? env : &bounded)) {
        fprintf(stderr, "msiexec %s: not started (error %lu)\n", args.c_str(), GetLastError());
        return false;
    }
    if (msiexec.Wait(kMsiexecTimeoutMs, code))
        return true;
    // What still runs and what the log says, for the test's output; then it is ended.
    std::string running, text;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = snapshot != INVALID_HANDLE_VALUE && Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry))
        running += std::string(" ") + entry.szExeFile;
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    ReadFileBytes(log.Path(), &text);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    fprintf(stderr, "msiexec %s: no end after %lu ms; running:%s\nthe end of its log:\n%s\n", args.c_str(),
            GetTickCount() - start, running.c_str(), text.substr(text.size() > 4000 ? text.size() - 4000 : 0).c_str());
    msiexec.Kill();
    return false;
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

void HideFromInstanceTable(const std::string& printer)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, MAP_NAME_STD);
    if (!mapping)
        return;
    ClearRecordSlot(mapping, RECORD_SIZE_STD, printer.c_str(), INSTANCE_KIND_MONITOR);
    CloseHandle(mapping);
}

namespace {

// The printer's level-2 record, or an empty buffer.
std::vector<BYTE> PrinterInfo2(HANDLE handle)
{
    DWORD needed = 0;
    GetPrinterA(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    if (needed == 0 || !GetPrinterA(handle, 2, info.data(), needed, &needed))
        info.clear();
    return info;
}

std::string PrinterField(const std::string& printer, char* PRINTER_INFO_2A::*field)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, nullptr))
        return "";
    std::vector<BYTE> info = PrinterInfo2(handle);
    ClosePrinter(handle);
    const char* text = info.empty() ? nullptr : reinterpret_cast<PRINTER_INFO_2A*>(info.data())->*field;
    return text ? text : "";
}

} // namespace

bool ChangePrinter(const std::string& printer, const std::string& comment, const std::string& port,
                   const std::string& driver)
{
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, &access))
        return false;
    std::vector<BYTE> info = PrinterInfo2(handle);
    bool changed = false;
    if (!info.empty()) {
        auto* record = reinterpret_cast<PRINTER_INFO_2A*>(info.data());
        record->pComment = const_cast<char*>(comment.c_str());
        record->pPortName = const_cast<char*>(port.c_str());
        if (!driver.empty())
            record->pDriverName = const_cast<char*>(driver.c_str());
        record->pSecurityDescriptor = nullptr;
        changed = SetPrinterA(handle, 2, info.data(), 0) != FALSE;
    }
    ClosePrinter(handle);
    return changed;
}

std::string PrinterComment(const std::string& printer)
{
    return PrinterField(printer, &PRINTER_INFO_2A::pComment);
}

std::string PrinterPort(const std::string& printer)
{
    return PrinterField(printer, &PRINTER_INFO_2A::pPortName);
}

bool RenamePendingIn(const std::string& folder)
{
    std::string names;
    GetRaw(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations",
           &names);
    for (char& c : names)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string upper = folder;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return names.find(upper) != std::string::npos;
}

bool ProgramRuns(const char* fileName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    bool runs = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !runs; more = Process32Next(snapshot, &entry))
        runs = lstrcmpiA(entry.szExeFile, fileName) == 0;
    CloseHandle(snapshot);
    return runs;
}

DefaultPrinter::DefaultPrinter(const std::string& printer) : m_before(Current())
{
    SetDefaultPrinterA(printer.c_str());
}

DefaultPrinter::~DefaultPrinter()
{
    SetDefaultPrinterA(m_before.empty() ? nullptr : m_before.c_str());
}

std::string DefaultPrinter::Current()
{
    char name[512] = "";
    DWORD size = sizeof(name);
    return GetDefaultPrinterA(name, &size) ? name : "";
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
