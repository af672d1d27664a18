#include "testsupport.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <winspool.h>

#include "trace.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace zt {

std::string UniqueName(const char* prefix)
{
    static unsigned counter = 0;
    char buf[128];
    snprintf(buf, sizeof(buf), "%s_%lx_%lx_%u", prefix, static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long>(GetTickCount() & 0xFFFFF), ++counter);
    return buf;
}

std::string TestBinDir()
{
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    if (slash)
        slash[1] = '\0';
    return path;
}

namespace {

// `relative` (a folder relative to the test programs' folder, as the build gives it) and
// the file name, as a Windows path.
std::string FromTestBin(const char* relative, const char* fileName)
{
    std::string path = TestBinDir() + relative + "\\" + fileName;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

std::string BinPath(const char* fileName)
{
    return FromTestBin(ZT_BIN_FROM_TEST_BIN, fileName);
}

std::string PeerBinPath(const char* fileName)
{
#ifdef ZT_PEER_BIN_FROM_TEST_BIN
    return FromTestBin(ZT_PEER_BIN_FROM_TEST_BIN, fileName);
#else
    (void)fileName;
    return "";
#endif
}

std::string TempDir()
{
    char path[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, path);
    return path;
}

// ---- registry -----------------------------------------------------------------------

void DeleteKeyTree(HKEY root, const std::string& path)
{
    if (path.empty())
        return; // never the root itself
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const char* name)
{
    std::string data;
    return GetRaw(root, path, name, &data);
}

bool SetBinary(HKEY root, const std::string& path, const char* name, const void* data, DWORD size, DWORD type)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    return SetBinary(root, path, name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

bool SetWideString(HKEY root, const std::string& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    return SetBinary(root, path, name, &value, sizeof(value), REG_DWORD);
}

bool DeleteValue(HKEY root, const std::string& path, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool GetRaw(HKEY root, const std::string& path, const char* name, std::string* data, DWORD* type)
{
    data->clear();
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0, t = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->resize(size);
        rc = RegQueryValueExA(key, name, nullptr, &t, size ? reinterpret_cast<BYTE*>(&(*data)[0]) : nullptr, &size);
        data->resize(size);
    }
    RegCloseKey(key);
    if (type)
        *type = t;
    return rc == ERROR_SUCCESS;
}

bool GetString(HKEY root, const std::string& path, const char* name, std::string* value)
{
    std::string raw;
    value->clear();
    if (!GetRaw(root, path, name, &raw))
        return false;
    size_t nul = raw.find('\0');
    *value = nul == std::string::npos ? raw : raw.substr(0, nul);
    return true;
}

bool GetDword(HKEY root, const std::string& path, const char* name, DWORD* value)
{
    std::string raw;
    *value = 0;
    if (!GetRaw(root, path, name, &raw) || raw.size() != sizeof(DWORD))
        return false;
    memcpy(value, raw.data(), sizeof(DWORD));
    return true;
}

ScratchKey::ScratchKey(HKEY root, std::string path) : m_root(root), m_path(std::move(path))
{
    DeleteKeyTree(m_root, m_path);
    HKEY key;
    if (RegCreateKeyExA(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

ScratchKey::~ScratchKey()
{
    DeleteKeyTree(m_root, m_path);
}

SavedValue::SavedValue(HKEY root, std::string path, std::string name)
    : m_root(root), m_path(std::move(path)), m_name(std::move(name))
{
    m_existed = GetRaw(m_root, m_path, m_name.c_str(), &m_data, &m_type);
}

SavedValue::~SavedValue()
{
    if (m_existed)
        SetBinary(m_root, m_path, m_name.c_str(), m_data.data(), static_cast<DWORD>(m_data.size()), m_type);
    else
        DeleteValue(m_root, m_path, m_name.c_str());
}

SetAsideKey::SetAsideKey(HKEY root, std::string path)
    : m_root(root), m_path(std::move(path)), m_backup("software\\zettray-tests\\" + UniqueName("aside"))
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(m_root, m_path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        HKEY backup = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup,
                            nullptr) == ERROR_SUCCESS) {
            m_saved = RegCopyTreeA(key, nullptr, backup) == ERROR_SUCCESS;
            RegCloseKey(backup);
        }
        RegCloseKey(key);
        if (!m_saved) {
            DeleteKeyTree(HKEY_CURRENT_USER, m_backup);
            return; // left alone
        }
    }
    m_touched = true;
    DeleteKeyTree(m_root, m_path);
    m_ok = !KeyExists(m_root, m_path);
}

SetAsideKey::~SetAsideKey()
{
    if (!m_touched)
        return;
    DeleteKeyTree(m_root, m_path);
    if (!m_saved)
        return;
    HKEY backup = nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, m_backup.c_str(), 0, KEY_READ, &backup) == ERROR_SUCCESS) {
        if (RegCreateKeyExA(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            RegCopyTreeA(backup, nullptr, key);
            RegCloseKey(key);
        }
        RegCloseKey(backup);
    }
    DeleteKeyTree(HKEY_CURRENT_USER, m_backup);
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD size = sizeof(name);
        LONG rc = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            break; // the end, or a key that went away
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[260];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

TempValue::TempValue(HKEY root, std::string path, std::string name, const std::string& data)
    : m_root(root), m_path(std::move(path)), m_name(std::move(name))
{
    m_ok = SetString(m_root, m_path, m_name.c_str(), data);
}

TempValue::~TempValue()
{
    DeleteValue(m_root, m_path, m_name.c_str());
}

// ---- registry views -------------------------------------------------------------------

bool HasTwoRegistryViews()
{
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

SoftwareInView::SoftwareInView(REGSAM view)
{
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view, &m_key) != ERROR_SUCCESS)
        m_key = nullptr;
}

SoftwareInView::~SoftwareInView()
{
    if (m_key)
        RegCloseKey(m_key);
}

std::string UnderSoftware(const std::string& path)
{
    const size_t prefix = strlen("software\\");
    EXPECT_EQ(0, _strnicmp(path.c_str(), "software\\", prefix)) << path;
    return path.substr(prefix);
}

// ---- spooler ------------------------------------------------------------------------

bool AddDriver(const std::string& driverName)
{
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof(info));
    info.cVersion = 3;
    info.pName = const_cast<char*>(driverName.c_str());
    info.pDriverPath = const_cast<char*>("wineps.drv");
    info.pDataFile = const_cast<char*>("generic.ppd");
    info.pConfigFile = const_cast<char*>("wineps.drv");
    if (AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)))
        return true;
    return GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

void DeleteDriver(const std::string& driverName)
{
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driverName.c_str()));
}

bool AddSpoolerPrinter(const std::string& printerName, const std::string& portName, const std::string& driverName)
{
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = const_cast<char*>(printerName.c_str());
    info.pPortName = const_cast<char*>(portName.c_str());
    info.pDriverName = const_cast<char*>(driverName.c_str());
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!h)
        return false;
    ClosePrinter(h);
    return true;
}

bool DeletePrinterByName(const std::string& printerName)
{
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printerName.c_str()), &h, &defaults) || !h)
        return false;
    BOOL ok = DeletePrinter(h);
    ClosePrinter(h);
    return ok != FALSE;
}

bool PrinterExists(const std::string& printerName)
{
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printerName.c_str()), &h, nullptr) || !h)
        return false;
    ClosePrinter(h);
    return true;
}

bool SetPrinterRaw(const std::string& printerName, const char* valueName, DWORD type, const void* data, DWORD size)
{
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printerName.c_str()), &h, &defaults) || !h)
        return false;
    DWORD rc = SetPrinterDataA(h, const_cast<char*>(valueName), type,
                               static_cast<BYTE*>(const_cast<void*>(data)), size);
    ClosePrinter(h);
    return rc == ERROR_SUCCESS;
}

bool SetPrinterDword(const std::string& printerName, const char* valueName, DWORD value)
{
    return SetPrinterRaw(printerName, valueName, REG_DWORD, &value, sizeof(value));
}

bool SetPrinterState(const std::string& printerName, DWORD status, bool workOffline)
{
    // A printer that is gone is left alone: its key written again would come back as a
    // printer without driver or port.
    const std::string key = "System\\CurrentControlSet\\Control\\Print\\Printers\\" + printerName;
    if (!KeyExists(HKEY_LOCAL_MACHINE, key) || !SetDword(HKEY_LOCAL_MACHINE, key, "Status", status))
        return false;
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char*>(printerName.c_str()), &printer, &access))
        return false;
    bool ok = false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> block(needed ? needed : 1);
    if (needed && GetPrinterA(printer, 2, block.data(), needed, &needed)) {
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
        bool offline = (info->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
        if (offline == workOffline) {
            ok = true;
        } else {
            info->Attributes ^= PRINTER_ATTRIBUTE_WORK_OFFLINE;
            info->pSecurityDescriptor = nullptr;
            ok = SetPrinterA(printer, 2, block.data(), 0) != FALSE;
        }
    }
    ClosePrinter(printer);
    return ok;
}

TestPrinter::TestPrinter(std::string printerName, std::string portName, std::string driverName)
    : m_printer(std::move(printerName)), m_port(std::move(portName)), m_driver(std::move(driverName))
{
    if (m_printer.empty())
        m_printer = UniqueName("ztprn");
    if (m_driver.empty())
        m_driver = UniqueName("ztdrv");
    DeletePrinterByName(m_printer); // stale state of an earlier run
    if (!AddDriver(m_driver))
        return;
    m_printerAdded = AddSpoolerPrinter(m_printer, m_port, m_driver);
    m_ok = m_printerAdded;
}

bool TestPrinter::Delete()
{
    if (!m_printerAdded)
        return false;
    m_printerAdded = false;
    return DeletePrinterByName(m_printer);
}

TestPrinter::~TestPrinter()
{
    if (m_printerAdded)
        DeletePrinterByName(m_printer);
    DeleteDriver(m_driver);
}

WidePrinter::WidePrinter(const std::wstring& name, const std::string& driverName)
{
    std::wstring driver(driverName.begin(), driverName.end());
    PRINTER_INFO_2W info;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = const_cast<wchar_t*>(name.c_str());
    info.pPortName = const_cast<wchar_t*>(L"LPT1:");
    info.pDriverName = const_cast<wchar_t*>(driver.c_str());
    info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    m_handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
}

WidePrinter::~WidePrinter()
{
    if (m_handle) {
        DeletePrinter(m_handle);
        ClosePrinter(m_handle);
    }
}

// ---- files --------------------------------------------------------------------------

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes)
{
    bytes->clear();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0)
        bytes->append(buf, got);
    CloseHandle(h);
    return true;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DeleteFileIfAny(const std::string& path)
{
    return DeleteFileA(path.c_str()) != FALSE;
}

TempFile::TempFile(const char* prefix, const char* ext) : m_path(TempDir() + UniqueName(prefix) + ext)
{
    DeleteFileA(m_path.c_str());
}

TempFile::~TempFile()
{
    DeleteFileA(m_path.c_str());
}

std::string TempFile::Name() const
{
    size_t slash = m_path.find_last_of('\\');
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

void RemoveDirectoryTree(const std::string& path)
{
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    if (dir.empty())
        return;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
                continue;
            std::string child = dir + "\\" + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

TempDirectory::TempDirectory(const char* prefix) : m_path(TempDir() + UniqueName(prefix) + "\\")
{
    RemoveDirectoryTree(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
}

TempDirectory::~TempDirectory()
{
    RemoveDirectoryTree(m_path);
}

// ---- trace log ----------------------------------------------------------------------

PrivateTrace::PrivateTrace() : m_value(UniqueName("J_RIC_t"))
{
    m_on = SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 1) &&
           TraceOpen(m_log.Path().c_str(), m_value.c_str()) == 1;
}

PrivateTrace::~PrivateTrace()
{
    TraceOpen(nullptr, nullptr);
    DeleteValue(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str());
}

std::vector<std::string> PrivateTrace::Take()
{
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(m_log.Path()))
        lines.push_back(line.size() > 13 ? line.substr(13) : line);
    DeleteFileA(m_log.Path().c_str());
    return lines;
}

// ---- processes and waiting ------------------------------------------------------------

ChildProcess::~ChildProcess()
{
    if (m_suspendedThread)
        CloseHandle(m_suspendedThread);
    if (m_process)
        CloseHandle(m_process);
}

bool ChildProcess::Start(const std::string& exePath, const std::string& args, const std::vector<std::string>* env,
                         bool suspended)
{
    std::string cmd = "\"" + exePath + "\"";
    if (!args.empty())
        cmd += " " + args;
    std::vector<char> cmdBuf(cmd.begin(), cmd.end());
    cmdBuf.push_back('\0');
    std::string block;
    if (env) {
        for (const std::string& e : *env) {
            block += e;
            block.push_back('\0');
        }
        block.push_back('\0');
    }
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof(pi));
    if (!CreateProcessA(exePath.c_str(), cmdBuf.data(), nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0,
                        env ? const_cast<char*>(block.c_str()) : nullptr, nullptr, &si, &pi))
        return false;
    if (m_suspendedThread)
        CloseHandle(m_suspendedThread);
    m_suspendedThread = nullptr;
    if (suspended)
        m_suspendedThread = pi.hThread;
    else
        CloseHandle(pi.hThread);
    if (m_process)
        CloseHandle(m_process);
    m_process = pi.hProcess;
    m_pid = pi.dwProcessId;
    return true;
}

bool ChildProcess::Resume()
{
    if (!m_suspendedThread)
        return false;
    bool resumed = ResumeThread(m_suspendedThread) != static_cast<DWORD>(-1);
    CloseHandle(m_suspendedThread);
    m_suspendedThread = nullptr;
    return resumed;
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD* exitCode)
{
    if (!m_process)
        return false;
    if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_process, exitCode);
    return true;
}

bool ChildProcess::Running() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill()
{
    if (m_process && Running()) {
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
    }
}

Canvas::Canvas(int width, int height)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old = SelectObject(dc, bitmap);
}

Canvas::~Canvas()
{
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

namespace {

// The screen's pixels in a rectangle, 32 bits each, row by row.
std::string ScreenPixels(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    std::string pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    Canvas canvas(width, height);
    HDC screen = GetDC(nullptr);
    if (canvas.bits && BitBlt(canvas.dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
        GdiFlush();
        pixels.assign(static_cast<const char*>(canvas.bits), static_cast<size_t>(width) * height * 4);
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

} // namespace

std::vector<std::string> TrayIconImages()
{
    std::vector<std::string> images;
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    for (HWND icon = nullptr; tray && (icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr));) {
        RECT rect;
        if (IsWindowVisible(icon) && GetWindowRect(icon, &rect))
            images.push_back(ScreenPixels(rect));
    }
    return images;
}

bool TrayIconsDrawn(const std::vector<std::string>& images)
{
    for (const std::string& image : images) {
        bool twoColours = false;
        for (size_t at = 4; at + 4 <= image.size() && !twoColours; at += 4)
            twoColours = image.compare(at, 4, image, 0, 4) != 0;
        if (!twoColours)
            return false;
    }
    return !images.empty();
}

bool RunProcess(const std::string& exePath, const std::string& args, DWORD timeoutMs, DWORD* exitCode,
                const std::vector<std::string>* env)
{
    ChildProcess child;
    if (!child.Start(exePath, args, env))
        return false;
    if (!child.Wait(timeoutMs, exitCode)) {
        child.Kill();
        return false;
    }
    return true;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes)
{
    std::vector<std::string> env;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += strlen(p) + 1)
        env.emplace_back(p);
    FreeEnvironmentStringsA(block);
    for (const std::string& change : changes) {
        size_t eq = change.find('=');
        std::string name = change.substr(0, eq);
        env.erase(std::remove_if(env.begin(), env.end(),
                                 [&](const std::string& e) {
                                     return e.size() > name.size() && e[name.size()] == '=' &&
                                            _strnicmp(e.c_str(), name.c_str(), name.size()) == 0;
                                 }),
                  env.end());
        if (eq != std::string::npos && eq + 1 < change.size())
            env.push_back(change);
    }
    return env;
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        Sleep(50);
    }
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int WINAPI Utf8SystemMultiByteToWide(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out, int size)
{
    if (codePage == CP_ACP || codePage == CP_UTF8) {
        if (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        codePage = CP_UTF8;
    }
    return MultiByteToWideChar(codePage, flags, text, count, out, size);
}

ForeignObject::ForeignObject(const std::string& name, Kind kind)
{
    // Owned by a user other than the one the tests run as.
    const std::string sddl = "O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    bool existed = false;
    if (kind == HeldMutex) {
        // Made and held by a thread of its own, as another process would hold it.
        m_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_holder = std::thread([&, made] {
            HANDLE mutex = CreateMutexA(&attributes, TRUE, name.c_str());
            existed = GetLastError() == ERROR_ALREADY_EXISTS;
            m_object = mutex;
            ::SetEvent(made);
            WaitForSingleObject(m_release, INFINITE);
            if (mutex)
                ReleaseMutex(mutex);
        });
        WaitForSingleObject(made, INFINITE);
        CloseHandle(made);
    } else {
        m_object = kind == OtherType ? CreateSemaphoreA(&attributes, 1, 1, name.c_str())
                                     : CreateEventA(&attributes, TRUE, kind == SetEvent, name.c_str());
        existed = GetLastError() == ERROR_ALREADY_EXISTS;
    }
    LocalFree(descriptor);
    if (m_object && existed)
        ADD_FAILURE() << name << " existed already";
}

ForeignObject::~ForeignObject()
{
    if (m_holder.joinable()) {
        ::SetEvent(m_release);
        m_holder.join();
    }
    if (m_release)
        CloseHandle(m_release);
    if (m_object)
        CloseHandle(m_object);
}

} // namespace zt
