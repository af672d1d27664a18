// The MSI packages of the tests, built by the CTest fixture into build/pkg-test (one of the
// product's version and one of an older version), run through Wine's msiexec; and what the
// tests look at in an installed package.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "testsupport.h"

namespace zt {

std::string CurrentVersion(); // "major.minor.patch"
std::string CurrentPackage();
// The file as the current package holds it (signed), in the folder that its build left.
std::string CurrentPackageFile(const char* name);
std::string OlderPackage();   // of the version ZT_OLDER_PACKAGE_VERSION
// The x86 package of the last release (releases.txt), built from the release's commit.
std::string ReleaseX86Package();
// The package of the product's version with two more actions: with the property FAILLATE=1
// an install fails after its printer steps, a removal after zetsetup removed its printers.
std::string FailLatePackage();

// Runs "msiexec <action> <package> /qn <properties>" ("/i" or "/x") to its end; false when
// it did not end within the time. *code receives msiexec's exit code. `env` (optional)
// replaces msiexec's environment (the package's actions inherit it under Wine).
bool RunMsiexec(const char* action, const std::string& package, const std::string& properties, DWORD* code,
                const std::vector<std::string>* env = nullptr);
// What msiexec returns for an install that failed and was rolled back: 1603, or 1627
// (Wine's code when a custom action failed).
bool IsRolledBack(DWORD code);

// One installed product of the package (its uninstall entry).
struct InstalledProduct {
    std::string code;    // the product code, in braces
    std::string version; // its DisplayVersion
};
std::vector<InstalledProduct> InstalledProducts();

// <Program Files>\ORVEL\Zetwatch, the package's folder.
std::string PackageDir();
// The package's record of a printer in the kit installer's HKLM key: the product code
// that installed it ("" when there is none).
std::string RecordedPackage(const std::string& printer);

// The monitor window of the printer (from the instance table), or null.
HWND MonitorWindow(const std::string& printer);
// Starts the command of the printer's HKLM Run value, as a log-on would; false when there
// is no such value or it cannot be started.
bool StartFromMachineRun(const std::string& printer, ChildProcess* monitor);

// Clears the printer's monitor from this session's instance table, as if the monitor ran
// in another user's session, whose table an installer does not see.
void HideFromInstanceTable(const std::string& printer);

// The printer's comment, port and (when not empty) driver, as an administrator changes
// them; false when it fails.
bool ChangePrinter(const std::string& printer, const std::string& comment, const std::string& port,
                   const std::string& driver = "");
// Its comment and port ("" when the printer does not open).
std::string PrinterComment(const std::string& printer);
std::string PrinterPort(const std::string& printer);

// true when a rename or deletion that waits for the next restart names a file of the folder.
bool RenamePendingIn(const std::string& folder);
// true when a process runs whose program file has that name (letter case ignored).
bool ProgramRuns(const char* fileName);

// The default printer for the scope of the object, then the one before it again.
class DefaultPrinter {
public:
    explicit DefaultPrinter(const std::string& printer);
    ~DefaultPrinter();
    DefaultPrinter(const DefaultPrinter&) = delete;
    DefaultPrinter& operator=(const DefaultPrinter&) = delete;
    static std::string Current();

private:
    std::string m_before;
};

// Removes every installed product of the package (stale state of an earlier run) when
// made and again at the end of its scope, so that a failed test leaves nothing installed.
// It also removes the empty keys that other tests leave under the company's keys: the
// kit's installer takes away the company's keys that it finds empty, whoever made them,
// and a snapshot would show them as gone.
class PackageCleanup {
public:
    PackageCleanup() { RemoveAll(); }
    ~PackageCleanup() { RemoveAll(); }
    PackageCleanup(const PackageCleanup&) = delete;
    PackageCleanup& operator=(const PackageCleanup&) = delete;

private:
    static void RemoveAll();
};

} // namespace zt
