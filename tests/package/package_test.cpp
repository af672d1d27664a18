// The MSI package under Wine's msiexec: install, a second install of the same version, an
// upgrade from an older version, a refused downgrade, failed installs and removal, each
// compared with a snapshot of the registry, files and spooler taken before it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include <memory>

#include "package_fixture.h"
#include "package_snapshot.h"
#include "driver_config.h"
#include "setup_plan.h"
#include "setup_spooler.h"
#include "startup_reg.h"
#include "strutil.h"
#include "targets.h"
#include "testsupport.h"
#include "trace.h"

namespace {

using zt::SystemSnapshot;

// The monitor started from a Run entry waits 2 s before it claims its window.
constexpr DWORD kMonitorTimeoutMs = 30000;
// The package's kept properties.
const char kSavedKey[] = "Software\\ORVEL\\ZET3\\Package";

std::string Property(const char* name, const std::string& value)
{
    return std::string(name) + "=\"" + value + "\"";
}

// The printer's names as the package's properties.
struct PrinterNames {
    std::string printer, driver, model;
    std::string Properties() const
    {
        return Property("PRINTERNAME", printer) + " " + Property("DRIVER", driver) + " " + Property("MODEL", model);
    }
};

PrinterNames UniqueNames()
{
    return {zt::UniqueName("ztpkp"), zt::UniqueName("ztpkd"), zt::UniqueName("ztpkm")};
}

std::string PrinterDriver(const std::string& printer)
{
    std::string driver;
    zt::GetString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer,
                  "Printer Driver", &driver);
    return driver;
}

// True when the line adds one of the empty keys that Windows Installer makes for its own
// bookkeeping the first time it installs anything, and keeps (as Windows does), or that
// Wine's spooler makes with the first driver of a processor (Windows has them from the
// start).
bool InstallerBookkeepingKey(const std::string& line)
{
    static const char* const kKeys[] = {
        "\\Classes\\Installer",          "\\Classes\\Installer\\Features",
        "\\Classes\\Installer\\Products", "\\Classes\\Installer\\UpgradeCodes",
        "\\CurrentVersion\\Installer\\UpgradeCodes", "\\CurrentVersion\\Installer\\UserData",
        "\\UserData\\S-1-5-18",          "\\UserData\\S-1-5-18\\Components",
        "\\UserData\\S-1-5-18\\Products",
        "\\Windows NT x86\\Drivers",        "\\Windows NT x86\\Drivers\\Version-3",
    };
    const std::string end = " = ";
    if (line.compare(0, 6, "+ reg ") != 0 || line.size() < end.size() ||
        line.compare(line.size() - end.size(), end.size(), end) != 0)
        return false;
    const std::string key = line.substr(0, line.size() - end.size());
    for (const char* k : kKeys) {
        const size_t n = strlen(k);
        if (key.size() >= n && _stricmp(key.c_str() + key.size() - n, k) == 0)
            return true;
    }
    return false;
}

// What an installation left changed: the snapshots' differences, less the marks of Wine's
// msiexec itself. At each install of a package that is installed already it records the
// package's folder once more in the product's source list (Windows keeps it once; the list
// goes with the product's registration). After a rollback it leaves the keys of the
// components it had registered, empty. Its first install in a new prefix makes its own
// bookkeeping keys.
std::string Residue(const SystemSnapshot& before, const SystemSnapshot& after)
{
    const std::string components = "\\Installer\\UserData\\S-1-5-18\\Components\\";
    std::string residue, line;
    const std::string diff = SystemSnapshot::Diff(before, after);
    for (size_t at = 0; at < diff.size(); at += line.size() + 1) {
        line = diff.substr(at, diff.find('\n', at) - at);
        const bool sourceList = line.find("\\SourceList") != std::string::npos;
        const bool emptyComponentKey =
            line.find(components) != std::string::npos && line.find(" [") == std::string::npos;
        if (!sourceList && !emptyComponentKey && !InstallerBookkeepingKey(line))
            residue += line + "\n";
    }
    return residue;
}

// The residue less Windows Installer's registration of the product: Wine's msiexec drops it
// when a run of the installed package fails (Windows keeps the product installed).
std::string KitResidue(const SystemSnapshot& before, const SystemSnapshot& after)
{
    std::string kit, line;
    const std::string residue = Residue(before, after);
    for (size_t at = 0; at < residue.size(); at += line.size() + 1) {
        line = residue.substr(at, residue.find('\n', at) - at);
        if (line.find("\\Installer\\") == std::string::npos && line.find("\\Uninstall\\{") == std::string::npos)
            kit += line + "\n";
    }
    return kit;
}

// Starts the printer's monitor as the next log-on would, and waits for its window.
void StartMonitorAtLogOn(const std::string& printer, zt::ChildProcess* monitor)
{
    ASSERT_TRUE(zt::StartFromMachineRun(printer, monitor));
    EXPECT_TRUE(zt::WaitFor([&] { return zt::MonitorWindow(printer) != nullptr; }, kMonitorTimeoutMs));
    // Its start done (its window comes before its target): it waits in its message loop.
    EXPECT_EQ(0u, WaitForInputIdle(monitor->Handle(), kMonitorTimeoutMs));
}

// The monitor has ended: the removal or upgrade closed it.
void ExpectMonitorClosed(const std::string& printer, zt::ChildProcess* monitor)
{
    EXPECT_EQ(nullptr, zt::MonitorWindow(printer));
    if (!monitor->Wait(kMonitorTimeoutMs)) {
        ADD_FAILURE() << "the monitor of " << printer << " still runs";
        monitor->Kill();
    }
}

TEST(Package, InstallsTheKitAndAPrinterAndRemovalLeavesNothing)
{
    struct Case {
        const char* what;
        bool printerExists; // the printer and its driver were there before the package
        const char* printer; // instead of a unique name
        const char* more;    // further properties
    } cases[] = {
        {"a new printer", false, "", ""},
        {"a printer that exists already", true, "", ""},
        // Values that the kit's installer could take for its own words or lose a character
        // of: a help word as the printer, a port that ends in a backslash. With the trace log
        // on, which goes with the package.
        {"a printer named /?, a port ending in a backslash, the trace log on", false, "/?",
         "PORT=\\\\ztpksrv\\share\\ TRACE=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zt::PackageCleanup cleanup;
        zt::TestPrinter existing;
        PrinterNames names = UniqueNames();
        if (c.printerExists) {
            ASSERT_TRUE(existing.Ok());
            names.printer = existing.Name();
            names.driver = existing.Driver();
        }
        if (*c.printer)
            names.printer = c.printer;
        const std::string port = *c.more ? "\\\\ztpksrv\\share\\" : "FILE:";
        zt::DeleteFileIfAny(TRACE_LOG_PATH);
        const SystemSnapshot before = SystemSnapshot::Take();

        DWORD code = 0;
        ASSERT_TRUE(zt::RunMsiexec("/i", zt::CurrentPackage(),
                                   names.Properties() + " " + (*c.more ? c.more : "PORT=FILE:"), &code));
        ASSERT_EQ(0u, code);
        std::vector<zt::InstalledProduct> products = zt::InstalledProducts();
        ASSERT_EQ(1u, products.size());
        EXPECT_EQ(zt::CurrentVersion(), products[0].version);
        EXPECT_EQ(products[0].code, zt::RecordedPackage(names.printer));
        for (const char* file : {"zettray.exe", "zetres.dll", "zetresja.dll", "zetprn.dll", "J_R10RN1.EXE",
                                 "zettool.exe", "zetsetup.exe", "zetprof.ini"})
            EXPECT_TRUE(zt::FileExists(zt::PackageDir() + "\\" + file)) << file;
        EXPECT_EQ(names.driver, PrinterDriver(names.printer));
        EXPECT_EQ(c.printerExists ? existing.Port() : port, zt::PrinterPort(names.printer));
        std::string keptDir;
        zt::GetString(HKEY_LOCAL_MACHINE, kSavedKey, "InstallDir", &keptDir);
        EXPECT_EQ(zt::PackageDir() + "\\", keptDir);
        // Installed for every user's next log-on, and not started from the install.
        EXPECT_TRUE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, names.printer.c_str()));
        EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, names.printer.c_str()));
        EXPECT_EQ(nullptr, zt::MonitorWindow(names.printer));
        const SystemSnapshot installed = SystemSnapshot::Take();

        // A second install of the same package changes nothing.
        ASSERT_TRUE(zt::RunMsiexec("/i", zt::CurrentPackage(), "", &code));
        EXPECT_EQ(0u, code);
        EXPECT_EQ("", Residue(installed, SystemSnapshot::Take()));

        if (&c == &cases[0]) {
            // A repair brings back the printer that a user deleted, and its Run value.
            ASSERT_TRUE(zt::DeletePrinterByName(names.printer));
            zt::DeleteValue(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, names.printer.c_str());
            // What msiexec /fa sets (Wine's msiexec does not take /f).
            ASSERT_TRUE(zt::RunMsiexec("/i", zt::InstalledProducts().at(0).code,
                                       "REINSTALL=ALL REINSTALLMODE=omus", &code));
            EXPECT_EQ(0u, code);
            EXPECT_EQ(names.driver, PrinterDriver(names.printer));
            EXPECT_EQ("FILE:", zt::PrinterPort(names.printer));
            EXPECT_TRUE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, names.printer.c_str()));
        }

        // The monitor runs in another user's session: the removal finds it all the same,
        // and it has ended before the removal returns; so has one that is still starting.
        zt::ChildProcess monitor, starting;
        StartMonitorAtLogOn(names.printer, &monitor);
        zt::HideFromInstanceTable(names.printer);
        ASSERT_TRUE(zt::StartFromMachineRun(names.printer, &starting));

        ASSERT_TRUE(zt::RunMsiexec("/x", zt::CurrentPackage(), "", &code));
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(monitor.Wait(0)) << "the monitor still runs after its files went";
        EXPECT_TRUE(starting.Wait(0)) << "the monitor that was starting still runs after its files went";
        ExpectMonitorClosed(names.printer, &monitor);
        EXPECT_EQ("", Residue(before, SystemSnapshot::Take()));
        EXPECT_EQ(c.printerExists, zt::PrinterExists(names.printer));
    }
}

std::string TrayImage(const std::string& printer)
{
    char target[ZT_TEXT] = "";
    DWORD image = 9;
    if (FindTargetReg(printer.c_str(), 0, target) != 0 ||
        !zt::GetDword(HKEY_CURRENT_USER, target, TARGET_TRAY_SELECTED, &image))
        return "";
    return std::to_string(image);
}

// The package that the upgrade replaces: in the 32-bit tree the last release's, built from
// its commit; in the 64-bit tree (the release is built once, for x86) an older build of this
// version's own code.
std::string UpgradedPackage()
{
    return sizeof(void*) == 4 ? zt::ReleaseX86Package() : zt::OlderPackage();
}

// The folder holds the programs of the new package, and no file that a replace at the
// next restart would leave behind.
void ExpectNewFilesInPlace()
{
    for (const char* file :
         {"zettray.exe", "zetres.dll", "zetresja.dll", "zetprn.dll", "J_R10RN1.EXE", "zettool.exe", "zetsetup.exe"}) {
        std::string installed, built;
        EXPECT_TRUE(zt::ReadFileBytes(zt::PackageDir() + "\\" + file, &installed)) << file;
        ASSERT_TRUE(zt::ReadFileBytes(zt::CurrentPackageFile(file), &built)) << file;
        EXPECT_TRUE(installed == built) << file << " is not the new one";
    }
    EXPECT_FALSE(zt::RenamePendingIn(zt::PackageDir()));
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((zt::PackageDir() + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << found.cFileName;
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

TEST(Package, UpgradeKeepsEveryPrinterAsItStandsAndADowngradeIsRefused)
{
    zt::PackageCleanup cleanup;
    const PrinterNames names = UniqueNames();
    const std::string second = zt::UniqueName("ztpk2");
    const std::string otherDriver = zt::UniqueName("ztpkd");
    const SystemSnapshot before = SystemSnapshot::Take();

    DWORD code = 0;
    ASSERT_TRUE(zt::RunMsiexec("/i", UpgradedPackage(), names.Properties() + " PORT=FILE:", &code));
    ASSERT_EQ(0u, code);
    std::string kept;
    zt::GetString(HKEY_LOCAL_MACHINE, kSavedKey, "Printer", &kept);
    // A second printer by a run of the installed package; the kept values stay the first's.
    ASSERT_TRUE(zt::RunMsiexec("/i", UpgradedPackage(), Property("PRINTERNAME", second), &code));
    ASSERT_EQ(0u, code);
    EXPECT_EQ(names.driver, PrinterDriver(second));
    EXPECT_EQ(zt::InstalledProducts().at(0).code, zt::RecordedPackage(second));
    std::string keptNow;
    zt::GetString(HKEY_LOCAL_MACHINE, kSavedKey, "Printer", &keptNow);
    EXPECT_EQ(kept, keptNow);

    // The monitor and a status window of the installed version run.
    zt::ChildProcess monitor, statusWindow;
    StartMonitorAtLogOn(names.printer, &monitor);
    ASSERT_TRUE(statusWindow.Start(zt::PackageDir() + "\\J_R10RN1.EXE", "/P \"" + names.printer + "\""));
    EXPECT_EQ(0u, WaitForInputIdle(statusWindow.Handle(), kMonitorTimeoutMs));
    // What users and the administrator changed since the install: the first printer's
    // comment, port, place as the default printer and tray image, the second one's
    // monitoring switch and driver.
    ASSERT_TRUE(zt::ChangePrinter(names.printer, "second floor", "LPT1:"));
    zt::DefaultPrinter defaultPrinter(names.printer);
    ASSERT_TRUE(zt::SetPrinterDword(second, "ZETSetting", 1));
    char target[ZT_TEXT] = "";
    ASSERT_EQ(0, FindTargetReg(names.printer.c_str(), 0, target));
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, target, TARGET_TRAY_SELECTED, 2));
    ASSERT_TRUE(zt::AddDriver(otherDriver));
    ASSERT_TRUE(zt::ChangePrinter(second, "", "FILE:", otherDriver));

    // Given no properties, the upgrade closes the running programs, puts its files in place
    // and takes over both printers as they are now.
    ASSERT_TRUE(zt::RunMsiexec("/i", zt::CurrentPackage(), "", &code));
    ASSERT_EQ(0u, code);
    ExpectNewFilesInPlace();
    std::vector<zt::InstalledProduct> products = zt::InstalledProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(zt::CurrentVersion(), products[0].version);
    for (const std::string& printer : {names.printer, second}) {
        EXPECT_EQ(products[0].code, zt::RecordedPackage(printer)) << printer;
        EXPECT_TRUE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, printer.c_str())) << printer;
    }
    EXPECT_EQ(names.driver, PrinterDriver(names.printer));
    EXPECT_EQ(otherDriver, PrinterDriver(second));
    EXPECT_TRUE(zt::KeyExists(HKEY_LOCAL_MACHINE, std::string(DRIVER_KEY_PREFIX) + otherDriver));
    EXPECT_EQ("second floor", zt::PrinterComment(names.printer));
    EXPECT_EQ("LPT1:", zt::PrinterPort(names.printer));
    EXPECT_EQ(names.printer, zt::DefaultPrinter::Current());
    EXPECT_EQ("2", TrayImage(names.printer));
    EXPECT_TRUE(IsMonitoringOff(second));
    ExpectMonitorClosed(names.printer, &monitor);
    EXPECT_TRUE(statusWindow.Wait(0)) << "the status window still runs";
    const SystemSnapshot upgraded = SystemSnapshot::Take();

    ASSERT_TRUE(zt::RunMsiexec("/i", UpgradedPackage(), names.Properties(), &code));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), code);
    EXPECT_EQ("", Residue(upgraded, SystemSnapshot::Take()));

    ASSERT_TRUE(zt::RunMsiexec("/x", zt::CurrentPackage(), "", &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(zt::PrinterExists(second));
    // The driver that the administrator added stays.
    EXPECT_TRUE(::SpoolerDriverExists(otherDriver));
    zt::DeleteDriver(otherDriver);
    EXPECT_EQ("", Residue(before, SystemSnapshot::Take()));
}

#if ZT_PKG_OTHER_KIND
TEST(Package, TheX64PackageReplacesTheX86OneKeepingItsPrinterAndValues)
{
    zt::PackageCleanup cleanup;
    const PrinterNames names = UniqueNames();
    const SystemSnapshot before = SystemSnapshot::Take();

    DWORD code = 0;
    ASSERT_TRUE(zt::RunMsiexec("/i", zt::ReleaseX86Package(), names.Properties() + " PORT=FILE:", &code));
    ASSERT_EQ(0u, code);
    ASSERT_TRUE(zt::ChangePrinter(names.printer, "lab", "FILE:"));

    ASSERT_TRUE(zt::RunMsiexec("/i", zt::CurrentPackage(), "", &code));
    ASSERT_EQ(0u, code);
    std::vector<zt::InstalledProduct> products = zt::InstalledProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(products[0].code, zt::RecordedPackage(names.printer));
    EXPECT_EQ("lab", zt::PrinterComment(names.printer));
    EXPECT_EQ("FILE:", zt::PrinterPort(names.printer));
    std::string keptPort;
    zt::GetString(HKEY_LOCAL_MACHINE, kSavedKey, "Port", &keptPort);
    EXPECT_EQ("FILE:", keptPort);
    EXPECT_TRUE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, names.printer.c_str()));
    {
        // Nothing of the x86 installation is left in its registry view and folder.
        zt::SoftwareInView x86(KEY_WOW64_32KEY);
        EXPECT_FALSE(zt::KeyExists(x86.Root(), "ORVEL\\ZET3\\Setup\\" + names.printer));
        EXPECT_FALSE(zt::KeyExists(x86.Root(), "ORVEL\\ZET3\\Package"));
        EXPECT_FALSE(zt::ValueExists(x86.Root(), "Microsoft\\Windows\\CurrentVersion\\Run", names.printer.c_str()));
    }
    char x86Files[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, SHGFP_TYPE_CURRENT, x86Files);
    EXPECT_FALSE(zt::FileExists(std::string(x86Files) + "\\ORVEL\\Zetwatch"));

    ASSERT_TRUE(zt::RunMsiexec("/x", zt::CurrentPackage(), "", &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ("", Residue(before, SystemSnapshot::Take()));
}
#endif

// Folders that a test makes, removed (innermost first) at the end of its scope.
struct MadeFolders {
    std::vector<std::string> paths;
    void Make(const std::string& path)
    {
        if (CreateDirectoryA(path.c_str(), nullptr))
            paths.insert(paths.begin(), path);
    }
    ~MadeFolders()
    {
        for (const std::string& path : paths)
            RemoveDirectoryA(path.c_str());
    }
};

TEST(Package, FailedInstallIsRolledBackToNothing)
{
    enum Cause {
        BadValue,
        KeptValue,
        KeptOutsideCodePage,
        PrinterOnOtherDriver,
        ParamFileBlocked,
        SetupHangs,           // the kit's installer hangs once it has added the printer
        HeldPrinterFailsLate, // a run for a printer that the package holds fails at its end
        RemovalFailsLate,     // a removal fails once its printers went
    };
    struct Case {
        const char* what;
        Cause cause;
        const char* namePrefix; // before the unique printer name
        const char* more;       // further properties
    } cases[] = {
        {"a comma in the printer name", BadValue, "bad,", ""},
        {"a Run key of the installing account", BadValue, "", "RUN=hkcu"},
        // Wine's msiexec drops quote marks from its command line; a kept value keeps them.
        {"a quote mark in the kept printer name", KeptValue, "bad\"", ""},
        // Refused by the kit's installer, not installed as a lookalike "??????? ..." printer.
        {"a kept printer name that the code page cannot hold", KeptOutsideCodePage, "", ""},
        {"the printer exists with another driver", PrinterOnOtherDriver, "", ""},
        {"the printer was added, then its parameter file could not be written", ParamFileBlocked, "", ""},
        // The action ends it at its bound (here shortened by a test switch). Under Wine the
        // rollback runs when the kit's files are gone already: the printer that it had
        // recorded before adding it is then the next install's, and its removal's.
        {"the kit's installer hangs once it has added the printer", SetupHangs, "", ""},
        // The package holds both printers already: the run adds nothing, so its rollback
        // takes nothing away.
        {"a run for a printer that the package holds fails after the printer steps", HeldPrinterFailsLate, "", ""},
        {"the removal fails once its printers went: they all come back", RemovalFailsLate, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool late = c.cause == HeldPrinterFailsLate || c.cause == RemovalFailsLate;
        // The rollback of a run and the action's bound are the same code in both kinds:
        // their rows run in the 32-bit tree, whose run is the shorter one.
        if ((late || c.cause == SetupHangs) && sizeof(void*) == 8)
            continue;
        zt::PackageCleanup cleanup;
        zt::TestPrinter existing;
        PrinterNames names = UniqueNames();
        const std::string second = zt::UniqueName("ztpk2");
        MadeFolders made;
        names.printer = c.namePrefix + names.printer;
        std::unique_ptr<zt::TempValue> kept;
        // Wine's rollback of a failed deferred step also removes a kept value that was there
        // before (Windows would restore it): that row compares with the system before it.
        const SystemSnapshot beforeKept = SystemSnapshot::Take();
        DWORD code = 0;
        const std::string package = late ? zt::FailLatePackage() : zt::CurrentPackage();
        std::string properties = names.Properties();
        if (c.cause == KeptValue || c.cause == KeptOutsideCodePage) {
            kept.reset(new zt::TempValue(HKEY_LOCAL_MACHINE, kSavedKey, "Printer", names.printer));
            ASSERT_TRUE(kept->Ok());
            if (c.cause == KeptOutsideCodePage) {
                ASSERT_TRUE(zt::SetWideString(HKEY_LOCAL_MACHINE, kSavedKey, L"Printer",
                                              L"\x041f\x0440\x0438\x043d\x0442\x0435\x0440 " +
                                                  std::wstring(names.printer.begin(), names.printer.end())));
            }
            // A kept printer name is used when none is given.
            properties = Property("DRIVER", names.driver);
        } else if (c.cause == PrinterOnOtherDriver) {
            ASSERT_TRUE(existing.Ok());
            names.printer = existing.Name();
            properties = names.Properties();
        } else if (c.cause == ParamFileBlocked) {
            // A folder stands where the parameter file goes.
            const std::string dir = zt::PackageDir();
            for (const std::string& path : {dir.substr(0, dir.find_last_of('\\')), dir,
                                            dir + "\\" + ParamFileName(names.printer)})
                made.Make(path);
            ASSERT_EQ(3u, made.paths.size());
        } else if (late) {
            ASSERT_TRUE(zt::RunMsiexec("/i", package, names.Properties() + " PORT=FILE:", &code));
            ASSERT_EQ(0u, code);
            ASSERT_TRUE(zt::RunMsiexec("/i", package, Property("PRINTERNAME", second), &code));
            ASSERT_EQ(0u, code);
            properties =
                c.cause == HeldPrinterFailsLate ? Property("PRINTERNAME", second) + " FAILLATE=1" : "FAILLATE=1";
        }
        const std::vector<std::string> env =
            zt::EnvironmentWith({"ZT_SETUP_TEST_HANG=after-printer", "ZT_SETUP_TEST_BOUND_MS=3000"});
        const SystemSnapshot before = SystemSnapshot::Take();

        zt::TempFile log{"ztpkl", ".log"};
        EXPECT_TRUE(zt::RunMsiexec(c.cause == RemovalFailsLate ? "/x" : "/i", package,
                                   properties + " " + c.more + " /l*v \"" + log.Path() + "\"", &code,
                                   c.cause == SetupHangs ? &env : nullptr));
        if (c.cause == PrinterOnOtherDriver || c.cause == KeptOutsideCodePage) {
            // The installer's reason is in the log: the printer's own driver, or the option
            // whose value the code page cannot hold.
            std::string logText;
            EXPECT_TRUE(zt::ReadFileBytes(log.Path(), &logText));
            EXPECT_NE(std::string::npos,
                      logText.find(c.cause == PrinterOnOtherDriver ? existing.Driver() : "zetsetup: --printer"));
        }
        EXPECT_TRUE(zt::IsRolledBack(code)) << code;
        if (c.cause == HeldPrinterFailsLate) {
            EXPECT_EQ("", KitResidue(before, SystemSnapshot::Take()));
            // Installed again, so that the product is Windows Installer's to remove.
            ASSERT_TRUE(zt::RunMsiexec("/i", package, "", &code));
            continue;
        }
        EXPECT_EQ(late ? 1u : 0u, zt::InstalledProducts().size());
        if (c.cause == SetupHangs) {
            EXPECT_FALSE(zt::ProgramRuns("zetsetup.exe")) << "the hanging installer was left running";
            ASSERT_TRUE(zt::RunMsiexec("/i", package, properties, &code));
            EXPECT_EQ(0u, code);
            ASSERT_TRUE(zt::RunMsiexec("/x", package, "", &code));
            EXPECT_EQ(0u, code);
        }
        EXPECT_EQ("", Residue(c.cause == KeptOutsideCodePage ? beforeKept : before, SystemSnapshot::Take()));
    }
}

} // namespace
