#include "setup_commands.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "reg_view.h"
#include "scoped.h"
#include "setup_files.h"
#include "setup_install.h"
#include "setup_monitor.h"
#include "setup_plan.h"
#include "setup_profile.h"
#include "setup_reg.h"
#include "setup_spooler.h"
#include "setup_undo.h"
#include "setup_uninstall.h"

namespace {

// A disabled monitor notices at its next 3-second check; it then takes about 2 s to go.
constexpr DWORD kDisableWaitMs = 15000;

} // namespace

int SetupFail(const std::string& message, int code)
{
    fprintf(stderr, "zetsetup: %s\n", message.c_str());
    return code;
}

int DoRepair(const SetupOptions& options)
{
    // The printers of the package and of those it replaces: this kind's records, then the
    // other kind's.
    std::vector<std::string> names;
    for (REGSAM view : REG_VIEWS) {
        ScopedMachineView scope(view);
        for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
            SetupRecord record;
            bool listed = false;
            for (const std::string& n : names)
                listed = listed || SameText(n, name);
            if (!listed && ReadSetupRecord(name, &record) &&
                (SameText(record.package, options.package) || ListsPackageCode(options.replaces, record.package)))
                names.push_back(name);
        }
    }
    int code = SETUP_EXIT_OK;
    for (const std::string& name : names) {
        SetupOptions one = options;
        one.command = SetupCommand::Install;
        one.printer = name;
        one.noStart = true;
        const HeldRecord held = FindHeldRecord(one);
        if (!held.found)
            continue;
        one.run = held.record.run;
        if (!held.record.port.empty())
            one.port = held.record.port;
        if (DoInstall(one) != SETUP_EXIT_OK)
            code = SETUP_EXIT_FAILED;
    }
    if (names.empty())
        printf("No printer installed by the package %s was found: nothing to repair.\n", options.package.c_str());
    return code;
}

int DoDisable(const std::string& printer)
{
    if (!PrinterExists(printer))
        return SetupFail("the printer \"" + printer + "\" does not exist");
    HWND window = FindMonitorWindow(printer);
    ScopedHandle process(OpenMonitorProcess(window));
    if (!SetZetSetting(printer, 1))
        return SetupFail("cannot set ZETSetting for \"" + printer + "\" (error " + std::to_string(GetLastError()) +
                         ")");
    printf("Monitoring is switched off for \"%s\".\n", printer.c_str());
    if (!window)
        return SETUP_EXIT_OK;
    if (!WaitForMonitorEnd(process.Get(), printer, kDisableWaitMs))
        return SetupFail("the monitor for \"" + printer + "\" is still running");
    printf("Its monitor has closed.\n");
    return SETUP_EXIT_OK;
}

int DoEnable(const std::string& printer)
{
    SetupRecord record;
    DriverInfo info;
    if (!ReadSetupRecord(printer, &record) || !ReadDriverInfo(record.driver, &info))
        return SetupFail("\"" + printer + "\" was not installed by zetsetup: use zetsetup install");
    SpoolerPrinter spooled;
    if (!GetPrinterInfo(printer, &spooled))
        return SetupFail("the printer \"" + printer + "\" does not exist");
    InstallPlan plan;
    plan.printer = printer;
    plan.port = spooled.port;
    plan.driver = record.driver;
    plan.model = info.model;
    plan.dir = record.dir.empty() ? info.installDir : record.dir;
    plan.paramFile = record.paramFile;
    plan.run = record.run;
    std::string error;
    if (!CheckPathLengths(plan, &error))
        return SetupFail(error);

    UndoLog undo;
    const bool wasOff = IsMonitoringOff(printer);
    if (!SetZetSetting(printer, 0))
        return SetupFail("cannot set ZETSetting for \"" + printer + "\" (error " + std::to_string(GetLastError()) +
                         ")");
    if (wasOff)
        undo.Add([printer] { SetZetSetting(printer, 1); });
    if (!WriteStartupEntries(plan, &undo, &error) || !EnableUserTarget(printer, &undo, &error))
        return SetupFail(error + "; nothing was changed");
    undo.Commit();
    printf("Monitoring is switched on for \"%s\".\n", printer.c_str());
    return StartAndWait(plan);
}

int DoStatus()
{
    int count = 0;
    for (const SpoolerPrinter& p : ListPrinters()) {
        DriverInfo info;
        if (!ReadDriverInfo(p.driver, &info))
            continue;
        ++count;
        HWND window = FindMonitorWindow(p.name);
        printf("%s\n  driver \"%s\", model %s, port %s\n  folder %s\n  monitor: %s%s\n", p.name.c_str(),
               p.driver.c_str(), info.model.c_str(), p.port.c_str(), info.installDir.c_str(),
               window ? "running" : "not running", IsMonitoringOff(p.name) ? " (monitoring switched off)" : "");
    }
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord record;
        if (ReadSetupRecord(name, &record) && record.unfinished) {
            ++count;
            printf("%s\n  its install did not finish (installing it again completes it; zetsetup uninstall removes "
                   "what it added)\n",
                   name.c_str());
        } else if (!PrinterExists(name)) {
            ++count;
            printf("%s\n  the printer is missing from the spooler (zetsetup uninstall removes the rest)\n",
                   name.c_str());
        }
    }
    if (count == 0)
        printf("No printer with a Zetwatch driver is installed.\n");
    return SETUP_EXIT_OK;
}

int RunSetupCommand(const SetupOptions& options)
{
    switch (options.command) {
    case SetupCommand::Install:
        return DoInstall(options);
    case SetupCommand::Uninstall:
        if (!options.package.empty())
            return DoUninstallPackage(options.package, options.printer);
        return DoUninstall(options.printer);
    case SetupCommand::Repair:
        return DoRepair(options);
    case SetupCommand::Rollback:
        return RollBackRun(options.package);
    case SetupCommand::Enable:
        return DoEnable(options.printer);
    case SetupCommand::Disable:
        return DoDisable(options.printer);
    case SetupCommand::Status:
        return DoStatus();
    default:
        fputs(SetupUsage(), stdout);
        return SETUP_EXIT_OK;
    }
}
