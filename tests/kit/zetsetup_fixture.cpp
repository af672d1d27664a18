#include "zetsetup_fixture.h"

#include <gtest/gtest.h>

#include "driver_config.h"
#include "driverkit.h"
#include "instance_check.h"
#include "instance_table.h"
#include "setup_monitor.h"
#include "setup_plan.h"
#include "setup_profile.h"
#include "setup_spooler.h"
#include "startup_reg.h"
#include "targets.h"

namespace zt {

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

SetupResult RunSetup(const std::string& args, DWORD timeoutMs)
{
    return RunSetupAt(BinPath("zetsetup.exe"), args, timeoutMs);
}

SetupResult RunSetupAt(const std::string& exe, const std::string& args, DWORD timeoutMs)
{
    SetupResult result;
    TempFile log("ztsout", ".txt");
    result.finished = RunProgram(exe, Quoted(exe) + " " + args, timeoutMs, &result.code, log.Path());
    ReadFileBytes(log.Path(), &result.output);
    return result;
}

SetupInstallation::SetupInstallation(const std::string& printer, const std::string& folder)
    : m_printer(printer.empty() ? UniqueName("ztsp") : printer), m_driver(UniqueName("ztsd")),
      m_model(UniqueName("ztsm")),
      m_dir(m_base.Path() + folder)
{
}

SetupInstallation::~SetupInstallation()
{
    Uninstall();
    // Whatever the uninstall left is scrubbed, so that no later test meets it.
    HWND window = MonitorWindow(m_printer);
    if (window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        WaitMonitorGone(m_printer, 15000);
    }
    DeleteValue(HKEY_CURRENT_USER, RUN_KEY_PATH, m_printer.c_str());
    DeleteValue(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, m_printer.c_str());
    RemoveTargetsNamed(m_printer);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, DriverKey());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, SetupRecordKey());
    DeleteValue(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, m_model.c_str());
    DeletePrinterByName(m_printer);
    DeleteDriver(m_driver);
}

std::string SetupInstallation::InstallArgs(const std::string& extra) const
{
    std::string args = "install --printer " + Quoted(m_printer) + " --driver " + Quoted(m_driver) + " --model " +
                       Quoted(m_model) + " --dir " + Quoted(m_dir);
    return extra.empty() ? args : args + " " + extra;
}

SetupResult SetupInstallation::Install(const std::string& extra) const
{
    return RunSetup(InstallArgs(extra));
}

SetupResult SetupInstallation::Uninstall() const
{
    return RunSetup("uninstall " + PrinterArg());
}

std::string SetupInstallation::PrinterArg() const
{
    return "--printer " + Quoted(m_printer);
}

std::string SetupInstallation::ParamFile() const
{
    return m_dir + "\\" + ParamFileName(m_printer);
}

std::string SetupInstallation::DriverKey() const
{
    return DRIVER_KEY_PREFIX + m_driver;
}

std::string SetupInstallation::SetupRecordKey() const
{
    return std::string(SETUP_RECORD_KEY) + "\\" + m_printer;
}

std::string SetupInstallation::TargetKey() const
{
    char path[260] = "";
    return FindTargetReg(m_printer.c_str(), 0, path) == 0 ? path : "";
}

std::string SetupInstallation::WaitTargetKey() const
{
    std::string key;
    WaitFor(
        [&] {
            key = TargetKey();
            return !key.empty() && ValueExists(HKEY_CURRENT_USER, key, "TrayIconEnable");
        },
        15000);
    return key;
}

void SetupInstallation::ShareWith(const SetupInstallation& other, bool sameFolder)
{
    m_driver = other.m_driver;
    m_model = other.m_model;
    if (sameFolder)
        m_dir = other.m_dir;
}

PackageKit::PackageKit()
{
    for (const char* file :
         {"zettray.exe", "zetres.dll", "zetresja.dll", "zetprn.dll", "J_R10RN1.EXE", "zettool.exe", "zetsetup.exe"})
        m_ok = CopyFileA(BinPath(file).c_str(), PathOf(file).c_str(), FALSE) && m_ok;
}

std::string PackageKit::Folder() const
{
    return m_dir.Path().substr(0, m_dir.Path().size() - 1);
}

SetupResult PackageKit::Run(const std::string& args) const
{
    return RunSetupAt(PathOf("zetsetup.exe"), args);
}

HWND MonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

bool WaitMonitorGone(const std::string& printer, DWORD timeoutMs)
{
    return WaitFor([&] { return MonitorWindow(printer) == nullptr; }, timeoutMs);
}

void ExpectNothingLeft(const SetupInstallation& setup)
{
    const std::string& printer = setup.Printer();
    EXPECT_EQ(nullptr, MonitorWindow(printer));
    EXPECT_FALSE(PrinterExists(printer)) << printer;
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, RUN_KEY_PATH, printer.c_str()));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, printer.c_str()));
    EXPECT_EQ("", setup.TargetKey());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, setup.DriverKey()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, setup.SetupRecordKey()));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, setup.Model().c_str()));
    EXPECT_FALSE(FileExists(setup.Dir())) << setup.Dir();
    // zetsetup added the spooler driver, so it goes too.
    EXPECT_FALSE(::SpoolerDriverExists(setup.Driver())) << setup.Driver();
}

} // namespace zt
