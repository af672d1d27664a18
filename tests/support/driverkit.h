// A printer driver installed for one test, the way a driver's installer leaves it: a
// spooler printer on a unique driver, the driver's HKLM key (InstallPath, Profile,
// ModelID, optional Menu tools), the profile INI file, and an install directory holding
// the resource and printer libraries. Everything, including the printer's per-user
// targets and its Run values, is removed at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "testsupport.h"

namespace zt {

struct KitOptions {
    bool resDll = true;            // copy zetres.dll and name it as ResDll
    bool prnDll = true;            // copy zetprn.dll and name it as PrnDll
    std::string statusProgram;     // a program copied in as J_R10RN1.EXE (empty: none)
    int trayIconSelected = 0;      // profile defaults that the printer library applies
    int trayIconEnable = 1;
    int trayIconEndTime = 0;       // printer-check interval (0: no printer check)
    bool menu = true;              // Menu key with the three sample tools 920 to 922
    std::string toolProgram;       // the tools' program (empty: a name that does not exist)
    std::string port = "LPT1:";
    std::string resDllFrom;        // the file copied in as zetres.dll (empty: the build's own)
    std::string prnDllFrom;        // the file copied in as zetprn.dll (empty: the build's own)
    REGSAM driverKeyView = 0;      // registry view of the driver key (KEY_WOW64_32KEY or
                                   // KEY_WOW64_64KEY; 0: the test program's own)
};

class TestDriverKit {
public:
    explicit TestDriverKit(const KitOptions& options = KitOptions());
    ~TestDriverKit();
    TestDriverKit(const TestDriverKit&) = delete;
    TestDriverKit& operator=(const TestDriverKit&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Printer() const { return m_printer.Name(); }
    const std::string& Port() const { return m_printer.Port(); }
    const std::string& Driver() const { return m_printer.Driver(); }
    const std::string& Model() const { return m_model; }
    const std::string& InstallDir() const { return m_dir.Path(); } // with a trailing backslash
    const std::string& ProfilePath() const { return m_profile; }
    std::string DriverKey() const;
    std::string MenuKey() const { return DriverKey() + "\\Menu"; }
    // Removes the printer from the spooler (the rest stays until the end).
    bool DeletePrinter() { return m_printer.Delete(); }
    // The per-user target key of the printer ("" when there is none yet).
    std::string TargetKey() const;

private:
    TestPrinter m_printer;
    TempDirectory m_dir{"ztkit"};
    std::string m_model;
    SoftwareInView m_software; // where the driver key goes
    std::string m_profile;
    bool m_ok = false;
};

// The targets of the printer list whose "Name" is `name` (any letter case), in enumeration
// order, and their removal.
std::vector<std::string> TargetsNamed(const std::string& name);
void RemoveTargetsNamed(const std::string& name);
// Copies a file; true on success.
bool CopyFileTo(const std::string& from, const std::string& to);

} // namespace zt
