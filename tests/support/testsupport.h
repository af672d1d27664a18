// Test support shared by every test program: unique names, scratch registry keys, spooler
// printers, files with exact bytes, child processes and polling. Everything here acts on
// the real registry, spooler and file system of the Wine prefix the tests run in.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zt {

// A name no other test (or run) uses: prefix, process id and a counter, e.g. "ztp_1f4_3".
std::string UniqueName(const char* prefix);

// Directory of the running test program, with a trailing backslash.
std::string TestBinDir();
// Full Windows path of a file that the build puts into build/bin (zettray.exe, zetres.dll...),
// build/bin64 in the 64-bit tree.
std::string BinPath(const char* fileName);
// The same in the other kind's build (build/bin beside the 64-bit tree); "" when the tree
// was configured without one.
std::string PeerBinPath(const char* fileName);
// The system's temporary directory (GetTempPathA), with a trailing backslash.
std::string TempDir();

// ---- registry -----------------------------------------------------------------------

// Deletes a key and everything below it; quiet when it does not exist.
void DeleteKeyTree(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const char* name);
// Creates the key when needed. Return true on success.
bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value);
bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value);
// A REG_SZ value written in wide characters (a text the ANSI code page may not hold).
bool SetWideString(HKEY root, const std::string& path, const wchar_t* name, const std::wstring& value);
bool SetBinary(HKEY root, const std::string& path, const char* name, const void* data, DWORD size,
               DWORD type = REG_BINARY);
bool DeleteValue(HKEY root, const std::string& path, const char* name);
// Reads a value as raw bytes; false when missing. `type` (optional) receives its type.
bool GetRaw(HKEY root, const std::string& path, const char* name, std::string* data, DWORD* type = nullptr);
// A REG_SZ read back without its terminator; "" (and false) when missing.
bool GetString(HKEY root, const std::string& path, const char* name, std::string* value);
bool GetDword(HKEY root, const std::string& path, const char* name, DWORD* value);

// A key that exists for the lifetime of the object: stale state of an earlier run is
// removed first, and the whole tree is removed at the end.
class ScratchKey {
public:
    ScratchKey(HKEY root, std::string path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    HKEY Root() const { return m_root; }
    const std::string& Path() const { return m_path; }

private:
    HKEY m_root;
    std::string m_path;
};

// A registry value that is restored (or removed) at the end of its scope; for shared
// values such as HKCU Run entries or the trace switch that a test must set for a while.
class SavedValue {
public:
    SavedValue(HKEY root, std::string path, std::string name);
    ~SavedValue();
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    HKEY m_root;
    std::string m_path, m_name, m_data;
    DWORD m_type = 0;
    bool m_existed = false;
};

// A shared key set aside for the lifetime of the object, so that a test starts without
// it: its tree is copied to a scratch key and deleted; at the end whatever the test made
// there is deleted and the copy is put back.
class SetAsideKey {
public:
    SetAsideKey(HKEY root, std::string path);
    ~SetAsideKey();
    SetAsideKey(const SetAsideKey&) = delete;
    SetAsideKey& operator=(const SetAsideKey&) = delete;
    // False when the key existed but could not be copied aside (it is then left alone).
    bool Ok() const { return m_ok; }

private:
    HKEY m_root;
    std::string m_path;
    std::string m_backup;
    bool m_saved = false;   // the key existed and was copied aside
    bool m_touched = false; // the key was deleted, and is put back at the end
    bool m_ok = false;
};

// Names of a key's values in enumeration order; empty when the key is missing.
std::vector<std::string> ValueNames(HKEY root, const std::string& path);
// Names of a key's direct subkeys; empty when the key is missing.
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);

// A string value that exists for the lifetime of the object and is removed at its end; for
// uniquely named values in shared keys such as the Run keys.
class TempValue {
public:
    TempValue(HKEY root, std::string path, std::string name, const std::string& data);
    ~TempValue();
    TempValue(const TempValue&) = delete;
    TempValue& operator=(const TempValue&) = delete;
    bool Ok() const { return m_ok; }
    bool Exists() const { return ValueExists(m_root, m_path, m_name.c_str()); }
    const std::string& Name() const { return m_name; }

private:
    HKEY m_root;
    std::string m_path, m_name;
    bool m_ok = false;
};

// ---- registry views -------------------------------------------------------------------

// true when HKLM\Software has two views here: in a 64-bit program, and in a 32-bit one on
// 64-bit Windows (a win64 Wine prefix). Tests of the other view are skipped without them.
bool HasTwoRegistryViews();

// HKLM\Software opened in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY; 0: the
// program's own), as a root for the helpers above. Keys opened or made below it stay in
// that view; their paths are given without "software\" (UnderSoftware).
class SoftwareInView {
public:
    explicit SoftwareInView(REGSAM view);
    ~SoftwareInView();
    SoftwareInView(const SoftwareInView&) = delete;
    SoftwareInView& operator=(const SoftwareInView&) = delete;
    HKEY Root() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// An HKLM path that begins with "software\" (any letter case), relative to HKLM\Software.
std::string UnderSoftware(const std::string& path);

// ---- spooler ------------------------------------------------------------------------

// Adds a printer driver (Wine's PostScript driver files) of that name; true when it exists.
bool AddDriver(const std::string& driverName);
void DeleteDriver(const std::string& driverName);
// Adds a printer on `port` using `driverName` (which must exist).
bool AddSpoolerPrinter(const std::string& printerName, const std::string& portName, const std::string& driverName);
// Deletes the printer; true when it existed and was deleted.
bool DeletePrinterByName(const std::string& printerName);
bool PrinterExists(const std::string& printerName);
// Printer data (SetPrinterDataA) of type REG_DWORD, or raw bytes of any type.
bool SetPrinterDword(const std::string& printerName, const char* valueName, DWORD value);
bool SetPrinterRaw(const std::string& printerName, const char* valueName, DWORD type, const void* data, DWORD size);
// Makes the spooler report a state: the status bits (which Wine's spooler reads from the
// printer's registry key) and the "work offline" attribute (set through the spooler).
bool SetPrinterState(const std::string& printerName, DWORD status, bool workOffline = false);

// A driver and a printer with unique names added for the lifetime of the object.
class TestPrinter {
public:
    // Empty names pick unique ones; the port defaults to "LPT1:".
    explicit TestPrinter(std::string printerName = "", std::string portName = "LPT1:", std::string driverName = "");
    ~TestPrinter();
    TestPrinter(const TestPrinter&) = delete;
    TestPrinter& operator=(const TestPrinter&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Name() const { return m_printer; }
    const std::string& Port() const { return m_port; }
    const std::string& Driver() const { return m_driver; }
    // Deletes the printer now (the driver stays until the end of the scope).
    bool Delete();

private:
    std::string m_printer, m_port, m_driver;
    bool m_ok = false;
    bool m_printerAdded = false;
};

// A printer named in wide characters (a name the ANSI code page may not hold) on LPT1:
// with an existing driver, for the lifetime of the object.
class WidePrinter {
public:
    WidePrinter(const std::wstring& name, const std::string& driverName);
    ~WidePrinter();
    WidePrinter(const WidePrinter&) = delete;
    WidePrinter& operator=(const WidePrinter&) = delete;
    bool Ok() const { return m_handle != nullptr; }

private:
    HANDLE m_handle = nullptr; // open with full access, to delete the printer
};

// ---- files --------------------------------------------------------------------------

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);
bool DeleteFileIfAny(const std::string& path);
// A file path in the temporary directory with a unique name; the file is removed at the
// end of the scope (when it exists then).
class TempFile {
public:
    explicit TempFile(const char* prefix = "ztt", const char* ext = ".tmp");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return m_path; }
    // The file name without its directory.
    std::string Name() const;

private:
    std::string m_path;
};
// A directory with a unique name under the temporary directory, removed with its
// contents at the end of the scope.
class TempDirectory {
public:
    explicit TempDirectory(const char* prefix = "ztd");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    // With a trailing backslash.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
void RemoveDirectoryTree(const std::string& path);

// ---- trace log ----------------------------------------------------------------------

// Tracing of this process switched on into a log file of its own (through a switch value
// of its own under the Debug key) for the lifetime of the object, then off again.
class PrivateTrace {
public:
    PrivateTrace();
    ~PrivateTrace();
    PrivateTrace(const PrivateTrace&) = delete;
    PrivateTrace& operator=(const PrivateTrace&) = delete;
    bool On() const { return m_on; }
    // The lines written so far without their tick-count field; the log then starts anew.
    std::vector<std::string> Take();

private:
    std::string m_value;
    TempFile m_log{"ztlog", ".log"};
    bool m_on = false;
};

// ---- screen -------------------------------------------------------------------------

// A 32-bit top-down DIB section selected into a memory DC, to draw into or copy to.
struct Canvas {
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr; // width * height pixels, row by row
};

// What the notification area shows: the pixels (32 bits each) of every icon's place on the
// screen, in the area's order. Under a bare X server Wine's shell shows the icons in a
// stand-alone tray window, one child window per icon; another program's window in front
// of the tray would be read instead. Empty when no icon is shown.
std::vector<std::string> TrayIconImages();
// True when every image is drawn (holds more than one colour) and there is at least one.
bool TrayIconsDrawn(const std::vector<std::string>& images);

// The conversion to wide characters of a system whose ANSI code page is UTF-8 ("Use Unicode
// UTF-8 for worldwide language support"), as Windows has it: CP_ACP is UTF-8, and UTF-8 takes
// no flag but MB_ERR_INVALID_CHARS. Wine never makes UTF-8 the system's code page, and its
// converter takes MB_PRECOMPOSED for it. For g_pfnMultiByteToWide.
int WINAPI Utf8SystemMultiByteToWide(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out, int size);

// ---- names that another account takes first ------------------------------------------

// An object that another account made under `name` before the user's own programs could,
// in one of the ways it can: a set event, or a mutex that a thread of its own holds, each
// owned by another account (a SID that is not the user's), or an object of another type
// than the name's owner makes (a semaphore). The end of the scope releases and closes it.
class ForeignObject {
public:
    enum Kind { SetEvent, HeldMutex, OtherType };
    ForeignObject(const std::string& name, Kind kind);
    ~ForeignObject();
    ForeignObject(const ForeignObject&) = delete;
    ForeignObject& operator=(const ForeignObject&) = delete;

    bool Ok() const { return m_object != nullptr; }

private:
    HANDLE m_object = nullptr;
    HANDLE m_release = nullptr; // ends the thread that holds the mutex
    std::thread m_holder;
};

// ---- processes and waiting ------------------------------------------------------------

// A started child process. Not copyable; the handle is closed at the end of the scope
// (the process is not killed unless Kill is called).
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `exePath` with the command-line text `args` (the program name is prepended,
    // quoted). `env` (optional) replaces the environment: "NAME=value" entries. A suspended
    // process runs once Resume is called.
    bool Start(const std::string& exePath, const std::string& args,
               const std::vector<std::string>* env = nullptr, bool suspended = false);
    bool Resume();
    // Waits for the exit; false on timeout. `exitCode` receives the exit code.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool Running() const;
    void Kill();
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process; }

private:
    HANDLE m_process = nullptr;
    HANDLE m_suspendedThread = nullptr;
    DWORD m_pid = 0;
};

// Runs a program to its end. Returns true when it ran and exited within the timeout.
bool RunProcess(const std::string& exePath, const std::string& args, DWORD timeoutMs, DWORD* exitCode,
                const std::vector<std::string>* env = nullptr);
// The current environment plus or minus changes: "NAME=value" sets, "NAME=" removes.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes);

// Polls `pred` every 50 ms until it holds or the timeout passes. Returns its last result.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs);

// The lines of a text file (without their line ends).
std::vector<std::string> ReadLines(const std::string& path);

} // namespace zt
