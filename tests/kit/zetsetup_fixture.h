// zetsetup.exe run as a process, and one installation of a printer with unique names that
// is uninstalled (and, should that fail, scrubbed) at the end of the test.
#pragma once

#include <windows.h>

#include <string>

#include "testsupport.h"

namespace zt {

struct SetupResult {
    bool finished = false; // the program ended within the time
    DWORD code = 0xFFFFFFFF;
    std::string output;    // stdout and stderr together
};

// Runs build/bin/zetsetup.exe with the arguments (a command-line text).
SetupResult RunSetup(const std::string& args, DWORD timeoutMs = 120000);
// Runs the zetsetup.exe at that path (a copy of the kit elsewhere).
SetupResult RunSetupAt(const std::string& exe, const std::string& args, DWORD timeoutMs = 120000);

class SetupInstallation {
public:
    // Unique names; the printer's is `printer` when one is given. The folder is `folder`
    // in a fresh temporary folder.
    explicit SetupInstallation(const std::string& printer = "", const std::string& folder = "inst");
    ~SetupInstallation();
    SetupInstallation(const SetupInstallation&) = delete;
    SetupInstallation& operator=(const SetupInstallation&) = delete;

    // "install --printer ... --driver ... --model ... --dir ..." followed by `extra`.
    std::string InstallArgs(const std::string& extra = "") const;
    SetupResult Install(const std::string& extra = "") const;
    SetupResult Uninstall() const;
    // "--printer "<printer>"", for the other commands.
    std::string PrinterArg() const;

    const std::string& Printer() const { return m_printer; }
    const std::string& Driver() const { return m_driver; }
    const std::string& Model() const { return m_model; }
    const std::string& Dir() const { return m_dir; } // no trailing backslash
    std::string DirFile(const char* name) const { return m_dir + "\\" + name; }
    std::string ParamFile() const;
    std::string DriverKey() const;
    std::string SetupRecordKey() const;
    // The printer's per-user target key, "" when it has none.
    std::string TargetKey() const;
    // The target key once the monitor has made it and the printer library has written its
    // TrayIconEnable (a monitor claims its window before it does that); "" after 15 s.
    std::string WaitTargetKey() const;
    // Takes the other installation's driver and model, and its folder when sameFolder.
    void ShareWith(const SetupInstallation& other, bool sameFolder = true);

private:
    TempDirectory m_base{"ztsetup"};
    std::string m_printer, m_driver, m_model, m_dir;
};

// The kit as a package puts it: its programs in a folder of their own, zetsetup.exe beside
// them (a temporary folder, removed at the end of the scope).
class PackageKit {
public:
    PackageKit();
    bool Ok() const { return m_ok; }
    std::string Folder() const; // without a trailing backslash
    std::string PathOf(const char* file) const { return m_dir.Path() + file; }
    // Runs the kit's zetsetup.exe with the arguments.
    SetupResult Run(const std::string& args) const;

private:
    TempDirectory m_dir{"ztpkg"};
    bool m_ok = true;
};

// The printer's running monitor window (from the instance table), or null.
HWND MonitorWindow(const std::string& printer);
// Polls until no monitor runs for the printer.
bool WaitMonitorGone(const std::string& printer, DWORD timeoutMs);

// Adds a gtest failure for everything of the installation still present.
void ExpectNothingLeft(const SetupInstallation& setup);

} // namespace zt
