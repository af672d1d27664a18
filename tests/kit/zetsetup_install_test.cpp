// zetsetup.exe end to end under Wine: what an install puts into place and starts, and that
// uninstall, a failed install and a refused one leave nothing behind.
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <memory>
#include <unordered_map>

#include "driver_config.h"
#include "driverkit.h"
#include "setup_journal.h"
#include "setup_plan.h"
#include "setup_spooler.h"
#include "startup_reg.h"
#include "testsupport.h"
#include "zetsetup_fixture.h"

namespace {

using zt::SetupInstallation;
using zt::SetupResult;

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

std::string Ini(const std::string& path, const std::string& section, const char* key)
{
    char value[260] = "";
    GetPrivateProfileStringA(section.c_str(), key, "", value, sizeof(value), path.c_str());
    return value;
}

std::string RegText(HKEY root, const std::string& path, const char* name)
{
    std::string value;
    zt::GetString(root, path, name, &value);
    return value;
}

TEST(Setup, InstallStartsTheMonitorAndUninstallLeavesNothing)
{
    SetupInstallation setup;
    SetupResult r = setup.Install("--run both");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(0u, r.code) << r.output;

    // The monitor runs, with its window claimed in the instance table.
    HWND window = zt::MonitorWindow(setup.Printer());
    ASSERT_NE(nullptr, window) << r.output;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    EXPECT_STREQ("TrayIconWClass", cls);

    // The files, the profile and the driver's registration.
    for (const char* file : {"zettray.exe", "zetres.dll", "zetresja.dll", "zetprn.dll"})
        EXPECT_TRUE(zt::FileExists(setup.DirFile(file))) << file;
    const std::string ini = setup.DirFile("zetprof.ini");
    EXPECT_EQ("zetprn.dll", Ini(ini, setup.Model(), "PrnDll"));
    EXPECT_EQ("1", Ini(ini, setup.Model(), "TrayIconEnable"));
    EXPECT_EQ("10000", Ini(ini, setup.Model(), "TrayIconEndTime"));
    EXPECT_EQ("zetres.dll", Ini(ini, "English", "ResDll"));
    EXPECT_EQ("zetresja.dll", Ini(ini, "Japanese", "ResDll"));
    const std::string key = setup.DriverKey();
    EXPECT_EQ(setup.Dir(), RegText(HKEY_LOCAL_MACHINE, key, "InstallPath"));
    EXPECT_EQ(ini, RegText(HKEY_LOCAL_MACHINE, key, "Profile"));
    EXPECT_EQ(setup.Model(), RegText(HKEY_LOCAL_MACHINE, key, "ModelID"));
    EXPECT_EQ(ini, RegText(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, setup.Model().c_str()));
    EXPECT_EQ("\"" + setup.DirFile("zettool.exe") + "\" /T921", RegText(HKEY_LOCAL_MACHINE, key + "\\Menu", "921"));

    // The start-up entries, in the form the monitor's clean-up reads, and their file.
    const std::string exe = "\"" + setup.DirFile("zettray.exe") + "\"";
    const std::string file = "\"" + setup.ParamFile() + "\"";
    EXPECT_EQ(exe + " /EF \"HKCU\" /A " + file, RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_EQ(exe + " /A " + file, RegText(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, setup.Printer().c_str()));
    std::vector<std::string> lines = zt::ReadLines(setup.ParamFile());
    std::vector<std::string> expected = {"/P \"" + setup.Printer() + "\"", "/D \"" + setup.Driver() + "\"",
                                         "/O \"LPT1:\"", "/M \"" + setup.Model() + "\""};
    EXPECT_EQ(expected, lines);

    // The monitor made the user's target with the profile's defaults.
    const std::string target = setup.WaitTargetKey();
    ASSERT_FALSE(target.empty());
    DWORD enable = 0;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconEnable", &enable));
    EXPECT_EQ(1u, enable);

    SetupResult status = zt::RunSetup("status");
    EXPECT_EQ(0u, status.code);
    size_t at = status.output.find(setup.Printer());
    ASSERT_NE(std::string::npos, at) << status.output;
    EXPECT_TRUE(Contains(status.output.substr(at), "monitor: running")) << status.output;

    r = setup.Uninstall();
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(0u, r.code) << r.output;
    zt::ExpectNothingLeft(setup);
}

TEST(Setup, InstallingTwiceIsHarmless)
{
    SetupInstallation setup;
    SetupResult r = setup.Install();
    ASSERT_EQ(0u, r.code) << r.output;
    HWND window = zt::MonitorWindow(setup.Printer());
    ASSERT_NE(nullptr, window);
    const std::string target = setup.WaitTargetKey();
    ASSERT_FALSE(target.empty());

    r = setup.Install();
    EXPECT_EQ(0u, r.code) << r.output;
    // The same monitor goes on running (the second start only asked it to refresh), with
    // one target and one entry.
    EXPECT_EQ(window, zt::MonitorWindow(setup.Printer()));
    EXPECT_EQ(target, setup.TargetKey());
    EXPECT_TRUE(zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_FALSE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, setup.Printer().c_str()));

    // Installing again without any Run entry takes the old one and its file away.
    r = setup.Install("--run none");
    EXPECT_EQ(0u, r.code) << r.output;
    EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_FALSE(zt::FileExists(setup.ParamFile()));

    EXPECT_EQ(0u, setup.Uninstall().code);
    zt::ExpectNothingLeft(setup);
}

TEST(Setup, SharedDriverAndFolderGoWithTheLastPrinter)
{
    // The second printer in the first one's folder, or in a folder of its own (its install
    // then points the driver key's InstallPath there).
    for (bool sameFolder : {true, false}) {
        SCOPED_TRACE(sameFolder ? "same folder" : "own folder");
        SetupInstallation first, second;
        second.ShareWith(first, sameFolder);
        ASSERT_EQ(0u, first.Install("--run none").code);
        SetupResult r = second.Install("--run none");
        ASSERT_EQ(0u, r.code) << r.output;
        EXPECT_EQ(second.Dir(), RegText(HKEY_LOCAL_MACHINE, second.DriverKey(), "InstallPath"));

        EXPECT_EQ(0u, first.Uninstall().code);
        EXPECT_FALSE(zt::PrinterExists(first.Printer()));
        EXPECT_EQ(sameFolder, zt::FileExists(first.DirFile("zettray.exe"))) << "its own folder went with it";
        // The second printer still has everything it needs, and its monitor still runs.
        EXPECT_TRUE(zt::KeyExists(HKEY_LOCAL_MACHINE, second.DriverKey()));
        EXPECT_TRUE(zt::ValueExists(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, second.Model().c_str()));
        EXPECT_TRUE(zt::FileExists(second.DirFile("zettray.exe")));
        EXPECT_NE(nullptr, zt::MonitorWindow(second.Printer()));

        EXPECT_EQ(0u, second.Uninstall().code);
        zt::ExpectNothingLeft(first);
        zt::ExpectNothingLeft(second);
    }
}

// Two printer names of this run whose default parameter file names are the same.
std::pair<std::string, std::string> PrintersOfOneFileName()
{
    std::unordered_map<std::string, std::string> seen;
    const std::string prefix = zt::UniqueName("ztsp");
    for (int i = 0;; ++i) {
        std::string name = prefix + "_" + std::to_string(i);
        auto added = seen.emplace(ParamFileName(name), name);
        if (!added.second)
            return {added.first->second, name};
    }
}

// The file that a Run entry's data hands to the monitor with /A.
std::string AttachedFile(const std::string& runData)
{
    size_t at = runData.find("/A \"");
    return at == std::string::npos ? "" : runData.substr(at + 4, runData.size() - at - 5);
}

TEST(Setup, PrintersOfOneNameHashKeepParameterFilesOfTheirOwn)
{
    const auto names = PrintersOfOneFileName();
    SetupInstallation first(names.first), second(names.second);
    second.ShareWith(first);
    ASSERT_EQ(0u, first.Install().code);
    SetupResult r = second.Install();
    ASSERT_EQ(0u, r.code) << r.output;

    const std::string firstFile = AttachedFile(RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, first.Printer().c_str()));
    const std::string secondFile = AttachedFile(RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, second.Printer().c_str()));
    EXPECT_EQ(first.ParamFile(), firstFile);
    EXPECT_NE(0, _stricmp(firstFile.c_str(), secondFile.c_str())) << firstFile;
    EXPECT_EQ("/P \"" + second.Printer() + "\"", zt::ReadLines(secondFile).at(0));

    // Uninstalling the first printer leaves the second one's log-on start what it needs.
    EXPECT_EQ(0u, first.Uninstall().code);
    EXPECT_FALSE(zt::FileExists(firstFile));
    EXPECT_TRUE(zt::FileExists(secondFile));
    EXPECT_TRUE(zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, second.Printer().c_str()));

    EXPECT_EQ(0u, second.Uninstall().code);
    zt::ExpectNothingLeft(first);
    zt::ExpectNothingLeft(second);
}

// An earlier version named the parameter file of "Büro" after the hash of "BüRO" (it
// upper-cased ASCII letters only), and an earlier one still kept no name in its record:
// installing again keeps that file, and uninstalling removes it.
TEST(Setup, ParameterFileOfAnEarlierVersionIsFoundAgain)
{
    SetupInstallation setup(zt::UniqueName("B\xfcro"));
    ASSERT_EQ(0u, setup.Install("--no-start").code);
    const std::string earlier = setup.DirFile(EarlierParamFileName(setup.Printer()).c_str());
    ASSERT_NE(setup.ParamFile(), earlier);
    const std::string runData = "\"" + setup.DirFile("zettray.exe") + "\" /EF \"HKCU\" /A \"" + earlier + "\"";
    auto asAnEarlierVersionLeftIt = [&] {
        ASSERT_TRUE(MoveFileExA(setup.ParamFile().c_str(), earlier.c_str(), MOVEFILE_REPLACE_EXISTING));
        ASSERT_TRUE(zt::SetString(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str(), runData));
        ASSERT_TRUE(zt::DeleteValue(HKEY_LOCAL_MACHINE, setup.SetupRecordKey(), "ParamFile"));
    };
    asAnEarlierVersionLeftIt();

    SetupResult r = setup.Install("--no-start");
    ASSERT_EQ(0u, r.code) << r.output;
    EXPECT_EQ(runData, RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_FALSE(zt::FileExists(setup.ParamFile())) << "one file for the printer";

    ASSERT_TRUE(zt::FileExists(earlier));
    ASSERT_TRUE(CopyFileA(earlier.c_str(), setup.ParamFile().c_str(), FALSE));
    asAnEarlierVersionLeftIt();
    r = setup.Uninstall();
    EXPECT_EQ(0u, r.code) << r.output;
    zt::ExpectNothingLeft(setup);
}

TEST(Setup, KeepsThePrinterAndDriverItDidNotAdd)
{
    zt::TestPrinter existing;
    ASSERT_TRUE(existing.Ok());
    SetupInstallation setup;
    SetupResult r = zt::RunSetup("install --printer \"" + existing.Name() + "\" --driver \"" + setup.Driver() +
                                 "\" --dir \"" + setup.Dir() + "\"");
    EXPECT_EQ(1u, r.code) << r.output;
    EXPECT_TRUE(Contains(r.output, "give --driver")) << r.output;

    const std::string args = "--printer \"" + existing.Name() + "\" --driver \"" + existing.Driver() +
                             "\" --model \"" + setup.Model() + "\" --dir \"" + setup.Dir() + "\" --run none";
    r = zt::RunSetup("install " + args);
    ASSERT_EQ(0u, r.code) << r.output;
    EXPECT_NE(nullptr, zt::MonitorWindow(existing.Name()));
    r = zt::RunSetup("uninstall --printer \"" + existing.Name() + "\"");
    EXPECT_EQ(0u, r.code) << r.output;
    EXPECT_TRUE(Contains(r.output, "stays")) << r.output;
    EXPECT_EQ(nullptr, zt::MonitorWindow(existing.Name()));
    EXPECT_TRUE(zt::PrinterExists(existing.Name()));
    EXPECT_TRUE(::SpoolerDriverExists(existing.Driver()));
    EXPECT_FALSE(zt::KeyExists(HKEY_LOCAL_MACHINE, DRIVER_KEY_PREFIX + existing.Driver()));
    EXPECT_FALSE(zt::FileExists(setup.Dir()));
    zt::RemoveTargetsNamed(existing.Name());
}

TEST(Setup, DisableClosesTheMonitorAndEnableBringsItBack)
{
    SetupInstallation setup;
    ASSERT_EQ(0u, setup.Install().code);
    ASSERT_NE(nullptr, zt::MonitorWindow(setup.Printer()));
    const std::string runData = RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str());

    SetupResult r = zt::RunSetup("disable " + setup.PrinterArg());
    EXPECT_EQ(0u, r.code) << r.output;
    EXPECT_EQ(nullptr, zt::MonitorWindow(setup.Printer())) << r.output;

    // The next log-on start sees the switch and removes the entry and its file, and turns
    // the user's tray icon off.
    const std::string args = runData.substr(runData.find("\" ") + 2);
    DWORD code = 0;
    ASSERT_TRUE(zt::RunProcess(setup.DirFile("zettray.exe"), args, 30000, &code));
    EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_FALSE(zt::FileExists(setup.ParamFile()));
    DWORD enable = 1;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, setup.TargetKey(), "TrayIconEnable", &enable));
    EXPECT_EQ(0u, enable);

    r = zt::RunSetup("enable " + setup.PrinterArg());
    EXPECT_EQ(0u, r.code) << r.output;
    EXPECT_NE(nullptr, zt::MonitorWindow(setup.Printer())) << r.output;
    EXPECT_EQ(runData, RegText(HKEY_CURRENT_USER, RUN_KEY_PATH, setup.Printer().c_str()));
    EXPECT_TRUE(zt::FileExists(setup.ParamFile()));
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, setup.TargetKey(), "TrayIconEnable", &enable));
    EXPECT_EQ(1u, enable);

    EXPECT_EQ(0u, setup.Uninstall().code);
    zt::ExpectNothingLeft(setup);
}

TEST(Setup, FailedInstallLeavesNothingBehind)
{
    {
        // The folder cannot be made: a file stands where it should go. The spooler driver
        // and the printer were added before that, and are taken away again.
        SetupInstallation setup;
        ASSERT_TRUE(zt::WriteFileBytes(setup.Dir(), "in the way"));
        SetupResult r = setup.Install();
        EXPECT_EQ(1u, r.code) << r.output;
        EXPECT_TRUE(Contains(r.output, "cannot create the folder")) << r.output;
        EXPECT_TRUE(Contains(r.output, "nothing was installed")) << r.output;
        DeleteFileA(setup.Dir().c_str());
        zt::ExpectNothingLeft(setup);
    }
    {
        // The parameter file cannot be written (a folder stands in its place): the files,
        // the profile and every registry value written before are taken back.
        SetupInstallation setup;
        ASSERT_TRUE(CreateDirectoryA(setup.Dir().c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(setup.ParamFile().c_str(), nullptr));
        SetupResult r = setup.Install();
        EXPECT_EQ(1u, r.code) << r.output;
        EXPECT_TRUE(Contains(r.output, "parameter file")) << r.output;
        for (const char* file : {"zettray.exe", "zetres.dll", "zetprn.dll", "zetprof.ini"})
            EXPECT_FALSE(zt::FileExists(setup.DirFile(file))) << file;
        RemoveDirectoryA(setup.ParamFile().c_str());
        RemoveDirectoryA(setup.Dir().c_str());
        zt::ExpectNothingLeft(setup);
    }
    {
        // Killed once it had added the printer (here stopped there by its test switch, as a
        // spooler call that never returns would): it had recorded the printer first, so a
        // later uninstall finds the printer and the spooler driver it added, and removes them.
        SetupInstallation setup;
        const std::vector<std::string> env = zt::EnvironmentWith({"ZT_SETUP_TEST_HANG=after-printer"});
        zt::ChildProcess install;
        ASSERT_TRUE(install.Start(zt::BinPath("zetsetup.exe"), setup.InstallArgs(), &env));
        EXPECT_TRUE(zt::WaitFor([&] { return zt::PrinterExists(setup.Printer()); }, 30000));
        install.Kill();
        SetupResult r = setup.Uninstall();
        EXPECT_EQ(0u, r.code) << r.output;
        EXPECT_FALSE(zt::PrinterExists(setup.Printer()));
        EXPECT_FALSE(::SpoolerDriverExists(setup.Driver()));
        zt::ExpectNothingLeft(setup);
    }
}

// The first bytes of a Windows image for the processor `machine`: as far as a reader of
// its kind needs to go.
std::string ImageHeader(WORD machine)
{
    std::string bytes(0x40 + 4 + sizeof(IMAGE_FILE_HEADER), '\0');
    const LONG peOffset = 0x40;
    memcpy(&bytes[0], "MZ", 2);
    memcpy(&bytes[offsetof(IMAGE_DOS_HEADER, e_lfanew)], &peOffset, sizeof(peOffset));
    memcpy(&bytes[peOffset], "PE\0\0", 4);
    memcpy(&bytes[peOffset + 4], &machine, sizeof(machine));
    return bytes;
}

TEST(Setup, KitOfAnotherKindIsRefusedBeforeAnythingChanges)
{
    const WORD otherKind = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    struct Case {
        const char* file;
        std::string bytes;
    } cases[] = {
        {"zetres.dll", ImageHeader(otherKind)},
        {"zettray.exe", ImageHeader(otherKind)},
        {"zetprn.dll", "MZ but no library"},
    };
    for (const Case& c : cases) {
        zt::TempDirectory kit("ztkind");
        for (const char* file : {"zetsetup.exe", "zettray.exe", "zetres.dll", "zetresja.dll", "zetprn.dll"})
            ASSERT_TRUE(zt::CopyFileTo(zt::BinPath(file), kit.Path() + file));
        ASSERT_TRUE(zt::WriteFileBytes(kit.Path() + c.file, c.bytes));
        SetupInstallation setup;
        SetupResult r = zt::RunSetupAt(kit.Path() + "zetsetup.exe", setup.InstallArgs(), 30000);
        EXPECT_EQ(1u, r.code) << c.file << r.output;
        EXPECT_TRUE(Contains(r.output, (std::string(c.file) + " is not a " + std::to_string(sizeof(void*) * 8) +
                                        "-bit program or library").c_str()))
            << r.output;
        zt::ExpectNothingLeft(setup);
    }
}

TEST(Setup, PackageInstallUsesTheKitWhereItStandsAndLeavesItsFiles)
{
    zt::PackageKit kit;
    ASSERT_TRUE(kit.Ok());
    const std::string dir = kit.Folder();
    const std::string exe = kit.PathOf("zetsetup.exe");
    SetupInstallation setup;
    const std::string names =
        setup.PrinterArg() + " --driver \"" + setup.Driver() + "\" --model \"" + setup.Model() + "\"";

    SetupResult r = zt::RunSetupAt(exe, "install " + names + " --run hklm --no-start --package {A}");
    ASSERT_EQ(0u, r.code) << r.output;
    EXPECT_EQ(dir, RegText(HKEY_LOCAL_MACHINE, setup.DriverKey(), "InstallPath"));

    // The printer and its folder are the package's: neither another package nor a plain
    // install takes them.
    r = zt::RunSetupAt(exe, "install " + names + " --package {B}");
    EXPECT_EQ(1u, r.code);
    EXPECT_TRUE(Contains(r.output, "by the package {A}")) << r.output;
    r = zt::RunSetup("install " + names + " --dir \"" + dir + "\"");
    EXPECT_EQ(1u, r.code);
    EXPECT_TRUE(Contains(r.output, "by the package {A}")) << r.output;
    SetupInstallation other;
    const std::string otherArgs =
        other.PrinterArg() + " --driver \"" + other.Driver() + "\" --dir \"" + dir + "\" --run none";
    r = zt::RunSetup("install " + otherArgs);
    EXPECT_EQ(1u, r.code);
    EXPECT_TRUE(Contains(r.output, "belongs to the package {A}")) << r.output;
    r = zt::RunSetupAt(exe, "uninstall --package {B}");
    EXPECT_EQ(0u, r.code);
    EXPECT_TRUE(Contains(r.output, "nothing to remove")) << r.output;
    EXPECT_TRUE(zt::PrinterExists(setup.Printer()));

    // Its removal leaves the kit's files to the package.
    r = zt::RunSetupAt(exe, "uninstall --package {A}");
    EXPECT_EQ(0u, r.code) << r.output;
    zt::ExpectNothingLeft(setup);
    EXPECT_TRUE(zt::FileExists(kit.PathOf("zettray.exe")));

    // A folder that holds a printer installed without the package is not the package's.
    r = zt::RunSetup("install " + otherArgs);
    ASSERT_EQ(0u, r.code) << r.output;
    r = zt::RunSetupAt(exe, "install " + names + " --package {A}");
    EXPECT_EQ(1u, r.code);
    EXPECT_TRUE(Contains(r.output, ("holds the installation of \"" + other.Printer()).c_str())) << r.output;
    EXPECT_EQ(0u, other.Uninstall().code);
    zt::ExpectNothingLeft(setup);
    // What the package's commit action does once its transaction ends.
    ForgetRuns("{A};{B}");
}

// What a package's printers are made of, in one text: each printer's spooler entry and
// driver, its HKLM Run value, its record's product code and what it says zetsetup added,
// and its driver key.
std::string PackageState(const std::vector<const SetupInstallation*>& printers)
{
    std::string state;
    for (const SetupInstallation* p : printers) {
        std::string driver, added;
        DWORD addedPrinter = 9, addedDriver = 9;
        zt::GetDword(HKEY_LOCAL_MACHINE, p->SetupRecordKey(), "AddedPrinter", &addedPrinter);
        zt::GetDword(HKEY_LOCAL_MACHINE, p->SetupRecordKey(), "AddedDriver", &addedDriver);
        state += p->Printer() + ": printer " + (zt::PrinterExists(p->Printer()) ? "yes" : "no") + ", run \"" +
                 RegText(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, p->Printer().c_str()) + "\", record " +
                 RegText(HKEY_LOCAL_MACHINE, p->SetupRecordKey(), "Package") + " " + std::to_string(addedPrinter) +
                 std::to_string(addedDriver) + ", driver key " +
                 (zt::KeyExists(HKEY_LOCAL_MACHINE, p->DriverKey()) ? "yes" : "no") + ", spooler driver " +
                 (::SpoolerDriverExists(p->Driver()) ? "yes" : "no") + "\n";
    }
    return state;
}

TEST(Setup, RollbackTakesBackExactlyWhatThePackagesRunChanged)
{
    enum Step { FirstInstall, HeldPrinter, Removal, HandOver };
    struct Case {
        const char* what;
        Step step;
    } const cases[] = {
        {"a first install: everything goes", FirstInstall},
        {"a run for a printer that the package holds: nothing goes", HeldPrinter},
        {"a removal of two printers: both come back", Removal},
        // The kept values name another product: an upgrade replaces the package.
        {"a hand-over of two printers: both are the package's again", HandOver},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zt::PackageKit kit;
        ASSERT_TRUE(kit.Ok());
        SetupInstallation first, second;
        second.ShareWith(first);
        auto install = [&](const SetupInstallation& p) {
            return kit.Run("install " + p.PrinterArg() + " --driver \"" + p.Driver() + "\" --model \"" + p.Model() +
                           "\" --run hklm --no-start --package {R}");
        };
        if (c.step != FirstInstall) {
            ASSERT_EQ(0u, install(first).code);
            ASSERT_EQ(0u, install(second).code);
            ForgetRuns("{R}"); // the transactions that installed them ended
        }
        const std::string before = PackageState({&first, &second});
        std::unique_ptr<zt::TempValue> replacing;
        SetupResult r;
        if (c.step == FirstInstall || c.step == HeldPrinter) {
            r = install(first);
        } else {
            if (c.step == HandOver)
                replacing.reset(
                    new zt::TempValue(HKEY_LOCAL_MACHINE, "Software\\ORVEL\\ZET3\\Package", "Package", "{S}"));
            r = kit.Run("uninstall --package {R}");
            EXPECT_EQ(c.step == HandOver, zt::PrinterExists(first.Printer()));
            EXPECT_FALSE(zt::ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, first.Printer().c_str()));
        }
        ASSERT_EQ(0u, r.code) << r.output;
        r = kit.Run("rollback --package {R}");
        EXPECT_EQ(0u, r.code) << r.output;
        EXPECT_EQ(before, PackageState({&first, &second})) << r.output;
        EXPECT_FALSE(zt::KeyExists(HKEY_LOCAL_MACHINE, std::string(SETUP_RUN_KEY) + "\\{R}"));
        replacing.reset();
        EXPECT_EQ(0u, kit.Run("uninstall --package {R}").code);
        ForgetRuns("{R}");
        zt::ExpectNothingLeft(first);
        zt::ExpectNothingLeft(second);
    }
}

TEST(Setup, RefusesBadArgumentsAndTooLongRunEntries)
{
    SetupResult r = zt::RunSetup("install --port LPT1:");
    EXPECT_EQ(2u, r.code);
    EXPECT_TRUE(Contains(r.output, "needs --printer")) << r.output;
    r = zt::RunSetup("remove --printer x");
    EXPECT_EQ(2u, r.code);
    EXPECT_TRUE(Contains(r.output, "unknown command")) << r.output;

    // A folder that makes the per-user entry 260 characters long is refused before
    // anything is done.
    SetupInstallation setup;
    const size_t entry = std::string("\"\\zettray.exe\" /EF \"HKCU\" /A \"\\zt12345678.prm\"").size();
    const std::string longDir = "C:\\" + std::string((260 - entry) / 2 - 3, 'd');
    ASSERT_EQ(260u, 2 * longDir.size() + entry);
    r = zt::RunSetup("install " + setup.PrinterArg() + " --driver \"" + setup.Driver() + "\" --dir \"" + longDir +
                     "\"");
    EXPECT_EQ(2u, r.code) << r.output;
    EXPECT_TRUE(Contains(r.output, "at most 259")) << r.output;
    EXPECT_FALSE(zt::FileExists(longDir));
    zt::ExpectNothingLeft(setup);

    // Installing into the kit's own folder would let uninstall delete the kit.
    r = zt::RunSetup("install " + setup.PrinterArg() + " --driver \"" + setup.Driver() + "\" --dir \"" +
                     zt::BinPath(".") + "\"");
    EXPECT_EQ(2u, r.code) << r.output;
    EXPECT_TRUE(Contains(r.output, "own folder")) << r.output;
    zt::ExpectNothingLeft(setup);

    r = zt::RunSetup("uninstall --printer \"" + zt::UniqueName("ztnone") + "\"");
    EXPECT_EQ(1u, r.code);
    EXPECT_TRUE(Contains(r.output, "no installation")) << r.output;
}

} // namespace
