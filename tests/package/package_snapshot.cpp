#include "package_snapshot.h"

#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include <stdio.h>

#include <vector>

#include "trace.h"

namespace zt {

namespace {

// The registry branches that the kit, the monitor and Windows Installer write.
struct Branch {
    HKEY root;
    const char* rootName;
    const char* path;
};
const Branch kBranches[] = {
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\ORVEL"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Installer"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Classes\\Installer"},
    {HKEY_LOCAL_MACHINE, "HKLM", "System\\CurrentControlSet\\Control\\Print"},
    {HKEY_CURRENT_USER, "HKCU", "Software\\ORVEL"},
    {HKEY_CURRENT_USER, "HKCU", "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "HKCU", "Software\\Microsoft\\Installer"},
};

// A value's contents as text: strings as they are, anything else in hex.
std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0)
        return std::string(reinterpret_cast<const char*>(data.data()), size).c_str();
    std::string text = "type " + std::to_string(type) + ":";
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
        snprintf(hex, sizeof(hex), "%02x", data[i]);
        text += hex;
    }
    return text;
}

std::string FolderPath(int csidl)
{
    char path[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

std::string DriverFolder()
{
    char path[MAX_PATH] = "";
    DWORD needed = 0;
    return GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), sizeof(path), &needed)
               ? path
               : "";
}

// The spooler's entries of one kind at level `level`; empty when there are none.
std::vector<BYTE> Enumerate(bool printers, DWORD level, DWORD* count)
{
    DWORD needed = 0;
    *count = 0;
    if (printers)
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, count);
    else
        EnumPrinterDriversA(nullptr, nullptr, level, nullptr, 0, &needed, count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    BOOL ok = printers ? EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed, &needed, count)
                       : EnumPrinterDriversA(nullptr, nullptr, level, buffer.data(), needed, &needed, count);
    if (!ok)
        *count = 0;
    return buffer;
}

} // namespace

SystemSnapshot SystemSnapshot::Take()
{
    SystemSnapshot snapshot;
    for (const Branch& branch : kBranches)
        snapshot.AddKeyTree(branch.root, branch.rootName, branch.path);
    for (const std::string& dir : {FolderPath(CSIDL_PROGRAM_FILES), FolderPath(CSIDL_WINDOWS) + "\\Installer",
                                   DriverFolder()}) {
        if (!dir.empty())
            snapshot.AddFileTree(dir);
    }
    snapshot.AddSpooler();
    // The monitor's trace log, when it is there.
    WIN32_FILE_ATTRIBUTE_DATA log;
    if (GetFileAttributesExA(TRACE_LOG_PATH, GetFileExInfoStandard, &log))
        snapshot.m_entries["file " TRACE_LOG_PATH] = "<trace log>";
    return snapshot;
}

void SystemSnapshot::AddKeyTree(HKEY root, const char* rootName, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    const std::string name = std::string("reg ") + rootName + "\\" + path;
    m_entries[name] = "";
    DWORD maxName = 0, maxData = 0, maxSubkey = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &maxSubkey, nullptr, nullptr, &maxName, &maxData,
                     nullptr, nullptr);
    std::vector<char> valueName(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(valueName.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        m_entries[name + " [" + std::string(valueName.data(), nameSize) + "]"] = ValueText(type, data, size);
    }
    std::vector<std::string> subkeys;
    std::vector<char> subkey(maxSubkey + 2);
    for (DWORD i = 0;; ++i) {
        DWORD size = static_cast<DWORD>(subkey.size());
        if (RegEnumKeyExA(key, i, subkey.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(subkey.data(), size);
    }
    RegCloseKey(key);
    for (const std::string& child : subkeys)
        AddKeyTree(root, rootName, path + "\\" + child);
}

void SystemSnapshot::AddFileTree(const std::string& dir)
{
    m_entries["file " + dir] = "<folder>";
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> folders;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(dir + "\\" + name);
        else
            m_entries["file " + dir + "\\" + name] = std::to_string(found.nFileSizeLow) + " bytes";
    } while (FindNextFileA(find, &found));
    FindClose(find);
    for (const std::string& folder : folders)
        AddFileTree(folder);
}

void SystemSnapshot::AddSpooler()
{
    DWORD count = 0;
    std::vector<BYTE> printers = Enumerate(true, 2, &count);
    const auto* printer = reinterpret_cast<const PRINTER_INFO_2A*>(printers.data());
    for (DWORD i = 0; i < count; ++i) {
        m_entries[std::string("printer ") + printer[i].pPrinterName] =
            std::string("driver ") + printer[i].pDriverName + ", port " + printer[i].pPortName;
    }
    std::vector<BYTE> drivers = Enumerate(false, 1, &count);
    const auto* driver = reinterpret_cast<const DRIVER_INFO_1A*>(drivers.data());
    for (DWORD i = 0; i < count; ++i)
        m_entries[std::string("driver ") + driver[i].pName] = "";
}

std::string SystemSnapshot::Diff(const SystemSnapshot& before, const SystemSnapshot& after)
{
    std::string diff;
    for (const auto& entry : before.m_entries) {
        auto now = after.m_entries.find(entry.first);
        if (now == after.m_entries.end())
            diff += "- " + entry.first + " = " + entry.second + "\n";
        else if (now->second != entry.second)
            diff += "~ " + entry.first + ": " + entry.second + " -> " + now->second + "\n";
    }
    for (const auto& entry : after.m_entries) {
        if (before.m_entries.find(entry.first) == before.m_entries.end())
            diff += "+ " + entry.first + " = " + entry.second + "\n";
    }
    return diff;
}

} // namespace zt
