#include "setup_commands.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "close_request.h"
#include "reg_view.h"
#include "scoped.h"
#include "setup_files.h"
#include "setup_monitor.h"
#include "setup_plan.h"
#include "setup_profile.h"
#include "setup_reg.h"
#include "setup_run.h"
#include "setup_spooler.h"
#include "setup_undo.h"
#include "startup_reg.h"

namespace {

// A disabled monitor notices at its next 3-second check; it then takes about 2 s to go.
constexpr DWORD kDisableWaitMs = 15000;

int Fail(const std::string& message, int code = SETUP_EXIT_FAILED)
{
    fprintf(stderr, "zetsetup: %s\n", message.c_str());
    return code;
}

// true when `code` is one of the ';'-separated product codes.
bool IsListed(const std::string& code, const std::string& codes)
{
    for (const std::string& listed : SplitPackageCodes(codes)) {
        if (!code.empty() && SameText(code, listed))
            return true;
    }
    return false;
}

// The installer's record of a printer that an install with a package takes over: the
// printer belongs to this package, or to a package that it replaces. The own registry
// view is looked at first; a record that only the other kind's view holds (the package of
// the other kind is replaced) is taken over from there.
struct HeldRecord {
    bool found = false;
    bool otherView = false;
    SetupRecord record;
};

HeldRecord FindHeldRecord(const SetupOptions& options)
{
    HeldRecord held;
    if (options.package.empty())
        return held;
    if (ReadSetupRecord(options.printer, &held.record)) {
        held.found = SameText(held.record.package, options.package) || IsListed(held.record.package, options.replaces);
        return held;
    }
    ScopedMachineView other(REG_VIEW_OTHER);
    held.found = held.otherView =
        ReadSetupRecord(options.printer, &held.record) && IsListed(held.record.package, options.replaces);
    return held;
}

// The product that installed the package's kept values last, in either registry view,
// when it is another than `package`: the product that replaces it.
bool IsReplaced(const std::string& package)
{
    for (REGSAM view : REG_VIEWS) {
        ScopedMachineView scope(view);
        std::string code;
        if (RegReadString(HKEY_LOCAL_MACHINE, PACKAGE_KEPT_KEY, PACKAGE_KEPT_CODE, &code) && !code.empty() &&
            !SameText(code, package))
            return true;
    }
    return false;
}

// Every path the monitor reads goes through its 260-byte buffers.
bool CheckPathLengths(const InstallPlan& plan, std::string* error)
{
    std::vector<std::string> paths = {plan.ProfilePath(), plan.ParamFilePath()};
    for (size_t i = 0; i < g_kitFileCount; ++i)
        paths.push_back(plan.PathOf(g_kitFiles[i].name));
    for (const std::string& path : paths) {
        if (path.size() > RUN_DATA_MAX) {
            *error = "the path \"" + path + "\" would be longer than " + std::to_string(RUN_DATA_MAX) +
                     " characters: choose a shorter --dir";
            return false;
        }
    }
    return CheckRunDataLength(plan, error);
}

// Another installation's printer, driver, model and folder.
struct Installation {
    std::string printer, driver, model, dir;
};

// The installations other than the printer's: spooler printers whose driver has a driver
// key with a ModelID, and printers that zetsetup recorded. The printers of `handedOver` (a
// package that hands its printers over) do not count: their records stay, but not as
// installations.
std::vector<Installation> OtherInstallations(const std::string& printer, const std::string& handedOver = "")
{
    auto handedOverPrinter = [&](const std::string& name) {
        SetupRecord record;
        return !handedOver.empty() && ReadSetupRecord(name, &record) && SameText(record.package, handedOver);
    };
    std::vector<Installation> others;
    for (const SpoolerPrinter& p : ListPrinters()) {
        DriverInfo info;
        if (!SameText(p.name, printer) && !handedOverPrinter(p.name) && ReadDriverInfo(p.driver, &info))
            others.push_back({p.name, p.driver, info.model, info.installDir});
    }
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord record;
        if (SameText(name, printer) || !ReadSetupRecord(name, &record) || handedOverPrinter(name))
            continue;
        DriverInfo info;
        ReadDriverInfo(record.driver, &info);
        others.push_back({name, record.driver, info.model, record.dir});
    }
    return others;
}

// Removes the kit's files and the profile from the folder, then the folder when it is empty,
// and its parents up to `madeDir` (the outermost folder an install made) while they are.
void RemoveInstalledFiles(const std::string& dir, const std::string& madeDir)
{
    for (size_t i = 0; i < g_kitFileCount; ++i) {
        const std::string path = dir + "\\" + g_kitFiles[i].name;
        if (!RemoveFile(path))
            printf("warning: could not remove %s\n", path.c_str());
    }
    RemoveFile(dir + "\\" KIT_PROFILE_INI);
    RemoveDirIfEmpty(dir);
    const bool inside = madeDir.size() < dir.size() && SameText(dir.substr(0, madeDir.size()), madeDir) &&
                        dir[madeDir.size()] == '\\';
    if (madeDir.empty() || !inside)
        return;
    for (std::string parent = dir.substr(0, LastSeparator(dir)); parent.size() >= madeDir.size();
         parent = parent.substr(0, LastSeparator(parent))) {
        if (!RemoveDirectoryA(parent.c_str()))
            break;
    }
}

// Copies the kit's files into the folder; files that hold the same bytes already are
// left alone (a running monitor's program cannot be replaced on Windows).
bool CopyKitFiles(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    const std::string source = ModuleDir();
    for (size_t i = 0; i < g_kitFileCount; ++i) {
        const std::string from = source + g_kitFiles[i].name;
        const std::string to = plan.PathOf(g_kitFiles[i].name);
        if (!PathExists(from))
            continue; // a missing required file was refused before
        if (SameContents(from, to))
            continue;
        FileSnapshot before(to);
        undo->Add([before] { before.Restore(); });
        if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            *error = "cannot copy " + from + " to " + to + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

bool CheckKitSources(std::string* error)
{
    const std::string source = ModuleDir();
    const std::string bits = std::to_string(KIT_BITS);
    for (size_t i = 0; i < g_kitFileCount; ++i) {
        const std::string path = source + g_kitFiles[i].name;
        if (PathExists(path) && g_kitFiles[i].ownKind && ImageBits(path) != KIT_BITS) {
            *error = "the kit file " + path + " is not a " + bits + "-bit program or library: this zetsetup " +
                     "installs the " + bits + "-bit monitor, which loads only " + bits +
                     "-bit libraries (a kit of the other kind has a zetsetup.exe of its own)";
            return false;
        }
        if (PathExists(path))
            continue;
        if (g_kitFiles[i].required) {
            *error = "the kit file " + path + " is missing: zetsetup installs the files beside it";
            return false;
        }
        printf("note: %s is not in the kit; it is left out\n", g_kitFiles[i].name);
    }
    return true;
}

// Takes away a Run entry of the mode that is not written any more (an earlier install's).
void RemoveOtherRunValue(HKEY root, const std::string& printer, UndoLog* undo)
{
    RegValueSnapshot before(root, RUN_KEY_PATH, printer);
    if (!before.Existed())
        return;
    undo->Add([before] { before.Restore(); });
    RegRemoveValue(root, RUN_KEY_PATH, printer.c_str());
}

// The Run entries and their parameter file as the plan's mode wants them.
bool WriteStartupEntries(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    if (plan.run != RunMode::User && plan.run != RunMode::Both)
        RemoveOtherRunValue(HKEY_CURRENT_USER, plan.printer, undo);
    if (plan.run != RunMode::Machine && plan.run != RunMode::Both)
        RemoveOtherRunValue(HKEY_LOCAL_MACHINE, plan.printer, undo);
    if (plan.run == RunMode::None) {
        FileSnapshot before(plan.ParamFilePath());
        undo->Add([before] { before.Restore(); });
        RemoveFile(plan.ParamFilePath());
        return true;
    }
    return WriteRunParamFile(plan, undo, error) && WriteRunValues(plan, undo, error);
}

// Starts the monitor unless one runs, and waits for its window.
int StartAndWait(const InstallPlan& plan)
{
    if (IsMonitoringOff(plan.printer)) {
        printf("Monitoring is switched off for \"%s\" (zetsetup enable switches it on).\n", plan.printer.c_str());
        return SETUP_EXIT_OK;
    }
    if (!FindMonitorWindow(plan.printer)) {
        std::string error;
        if (!StartProgram(plan.MonitorPath(), MonitorCommandLine(plan), &error))
            return Fail(error, SETUP_EXIT_NO_MONITOR);
    }
    if (!WaitForMonitor(plan.printer, MONITOR_APPEAR_TIMEOUT_MS))
        return Fail("the monitor for \"" + plan.printer + "\" did not start within " +
                        std::to_string(MONITOR_APPEAR_TIMEOUT_MS / 1000) +
                        " s (is there a notification area? with tracing on, C:\\J_RxxIC.LOG tells more)",
                    SETUP_EXIT_NO_MONITOR);
    printf("The monitor for \"%s\" runs.\n", plan.printer.c_str());
    return SETUP_EXIT_OK;
}

// Fills the plan from the options; false with a message for arguments that cannot work.
bool MakePlan(const SetupOptions& options, InstallPlan* plan, std::string* error)
{
    plan->printer = options.printer;
    plan->port = options.port;
    plan->driver = options.driver;
    plan->model = options.model;
    plan->mapFile = options.mapFile;
    plan->run = options.run;
    plan->trace = options.trace;
    plan->package = options.package;
    // A package put the kit beside zetsetup: that is the install folder.
    std::string dir = !options.dir.empty() ? options.dir : !options.package.empty() ? ModuleDir() : DefaultInstallDir();
    if (dir.empty()) {
        *error = "the Program Files folder is unknown: give --dir";
        return false;
    }
    if (!NormalizeDir(dir, &plan->dir, error))
        return false;
    // Uninstall deletes the installed files: they must not be the kit's own (unless they
    // are a package's, which removes them itself).
    if (plan->package.empty() && SameText(plan->dir + "\\", ModuleDir())) {
        *error = "the install folder is zetsetup's own folder: choose another --dir";
        return false;
    }
    return ChooseParamFile(plan, error) && CheckPathLengths(*plan, error);
}

// The printers of one folder come from one package, or all from none: a package's removal
// takes the kit's files away from the others. The printers of the packages that this one
// replaces are its own.
bool CheckFolderOwner(const InstallPlan& plan, const std::string& replaces, std::string* error)
{
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord other;
        if (SameText(name, plan.printer) || !ReadSetupRecord(name, &other) || !SameText(other.dir, plan.dir) ||
            SameText(other.package, plan.package) || IsListed(other.package, replaces))
            continue;
        if (other.package.empty())
            *error = "the folder " + plan.dir + " holds the installation of \"" + name +
                     "\" made without a package: uninstall it first, or give the package another folder";
        else
            *error = "the folder " + plan.dir + " belongs to the package " + other.package + " (printer \"" + name +
                     "\"): choose another --dir";
        return false;
    }
    return true;
}

// An install that would clash with what exists: the printer on another driver, or an
// earlier install of the printer with another driver or folder (unless the install takes
// that one over: `held`).
bool CheckExisting(const InstallPlan& plan, const HeldRecord& held, const std::string& replaces, std::string* error)
{
    SpoolerPrinter existing;
    if (GetPrinterInfo(plan.printer, &existing) && !SameText(existing.driver, plan.driver)) {
        *error = "the printer \"" + plan.printer + "\" exists with the driver \"" + existing.driver +
                 "\": give --driver \"" + existing.driver + "\"";
        return false;
    }
    SetupRecord record;
    if (!held.found && ReadSetupRecord(plan.printer, &record) &&
        (!SameText(record.driver, plan.driver) || !SameText(record.dir, plan.dir) || !plan.package.empty() ||
         !record.package.empty())) {
        *error = "\"" + plan.printer + "\" is installed already with the driver \"" + record.driver + "\" in " +
                 record.dir + (record.package.empty() ? "" : " by the package " + record.package) +
                 ": uninstall it first";
        return false;
    }
    return CheckFolderOwner(plan, replaces, error);
}

} // namespace

int DoInstall(const SetupOptions& given)
{
    // A printer that the package holds already (a repair, or an upgrade's takeover) stays
    // as it is: its driver and model are the installed ones, and its users' settings stay.
    const HeldRecord held = FindHeldRecord(given);
    SetupOptions options = given;
    if (held.found) {
        DriverInfo info;
        options.driver = held.record.driver;
        if (!held.record.model.empty())
            options.model = held.record.model;
        else if (ReadDriverInfo(held.record.driver, &info))
            options.model = info.model;
    }
    InstallPlan plan;
    std::string error;
    if (!MakePlan(options, &plan, &error))
        return Fail(error, SETUP_EXIT_BAD_ARGS);
    if (!CheckExisting(plan, held, options.replaces, &error) || !CheckKitSources(&error))
        return Fail(error);
    // The parameter file names the port that an existing printer is on.
    SpoolerPrinter existing;
    if (GetPrinterInfo(plan.printer, &existing) && !existing.port.empty())
        plan.port = existing.port;

    UndoLog undo;
    bool addedDriver = false, addedPrinter = held.found && held.record.addedPrinter;
    if (!EnsureSpoolerDriver(plan.driver, &addedDriver, &error))
        return Fail(error);
    if (addedDriver)
        undo.Add([&plan] { DeleteSpoolerDriver(plan.driver); });
    if (!PrinterExists(plan.printer)) {
        if (!AddSpoolerPrinter(plan.printer, plan.port, plan.driver, &error))
            return Fail(error + "; nothing was installed");
        addedPrinter = true;
        undo.Add([&plan] { DeleteSpoolerPrinter(plan.printer); });
    }
    std::vector<std::string> madeDirs;
    if (!CreateDirectoryTree(plan.dir, &madeDirs, &error))
        return Fail(error + "; nothing was installed");
    undo.Add([madeDirs] {
        for (auto it = madeDirs.rbegin(); it != madeDirs.rend(); ++it)
            RemoveDirIfEmpty(*it);
    });
    const std::string madeDir = madeDirs.empty() ? "" : madeDirs.front();
    bool done = CopyKitFiles(plan, &undo, &error) && WriteProfileIni(plan, &undo, &error) &&
                RegisterDriver(plan, addedDriver || (held.found && held.record.addedDriver), &undo, &error) &&
                WriteSetupRecord(plan, addedPrinter, madeDir, &undo, &error) &&
                WriteStartupEntries(plan, &undo, &error) &&
                (held.found || EnableUserTarget(plan.printer, &undo, &error)) &&
                (!plan.trace || SwitchTraceOn(&undo, &error));
    if (!done)
        return Fail(error + "; nothing was installed");
    undo.Commit();
    if (held.otherView) {
        // Taken over from the other kind's installation: its record goes, and the spooler
        // driver that it added for its own processor.
        if (held.record.addedDriver)
            DeleteOtherKindDriver(plan.driver);
        ScopedMachineView other(REG_VIEW_OTHER);
        RemoveSetupRecord(plan.printer);
    }
    if (held.found)
        printf("\"%s\" is the package's: it was taken over as it stands.\n", plan.printer.c_str());

    printf("Installed \"%s\" (driver \"%s\", model %s, port %s) in %s.\n", plan.printer.c_str(), plan.driver.c_str(),
           plan.model.c_str(), plan.port.c_str(), plan.dir.c_str());
    if (plan.run != RunMode::None)
        printf("Starts at log-on from the Run key (%s).\n", RunModeName(plan.run));
    if (plan.trace)
        printf("Tracing is on: C:\\J_RxxIC.LOG\n");
    if (options.noStart) {
        printf("The monitor was not started%s.\n", plan.run == RunMode::None ? "" : ": it starts at the next log-on");
        return SETUP_EXIT_OK;
    }
    return StartAndWait(plan);
}

int DoUninstall(const std::string& printer, bool keepPrinter)
{
    // Only what zetsetup installed is taken away: a driver's key and files that another
    // installer made stay, whatever printer uses them.
    SetupRecord record;
    if (!ReadSetupRecord(printer, &record))
        return Fail("no installation of \"" + printer + "\" by zetsetup was found");
    SpoolerPrinter spooled;
    const bool inSpooler = GetPrinterInfo(printer, &spooled);
    const std::string& driver = record.driver;
    DriverInfo info;
    const bool registered = ReadDriverInfo(driver, &info);
    // The printer's own folder: the driver key's InstallPath is shared by every printer of
    // the driver, and a later install into another folder overwrote it.
    const std::string dir = !record.dir.empty() ? record.dir : info.installDir;

    if (!CloseMonitor(printer))
        printf("warning: the monitor for \"%s\" did not close\n", printer.c_str());
    // An earlier zetsetup could give two printers of a folder one parameter file: the other
    // printer's log-on start still needs it.
    const std::string paramFile = dir + "\\" + record.paramFile;
    const FileSnapshot shared(paramFile);
    const bool keepParamFile = ParamFileUsedByOthers(printer, dir, record.paramFile);
    RemoveRunValues(printer);
    if (keepParamFile)
        shared.Restore();
    else if (!dir.empty())
        RemoveFile(paramFile);
    if (keepPrinter) {
        // The package that replaces this one takes the printer over from its record.
        printf("The printer \"%s\" stays for the package that replaces this one.\n", printer.c_str());
        if (registered)
            KeepDriverInRecord(printer, info);
    } else {
        RemoveUserTargets(printer);
        if (inSpooler && record.addedPrinter && !DeleteSpoolerPrinter(printer))
            printf("warning: the printer \"%s\" could not be deleted\n", printer.c_str());
        else if (inSpooler && !record.addedPrinter)
            printf("The printer \"%s\" stays: zetsetup did not add it.\n", printer.c_str());
        RemoveSetupRecord(printer);
    }

    bool driverUsed = false, modelUsed = false, dirUsed = false;
    for (const Installation& other : OtherInstallations(printer, keepPrinter ? record.package : "")) {
        driverUsed = driverUsed || SameText(other.driver, driver);
        modelUsed = modelUsed || (!info.model.empty() && SameText(other.model, info.model));
        dirUsed = dirUsed || (!dir.empty() && SameText(other.dir, dir));
    }
    if (registered && !driverUsed) {
        RemoveDriverKey(driver);
        if (!keepPrinter && info.addedSpoolerDriver && !DeleteSpoolerDriver(driver))
            printf("warning: the printer driver \"%s\" could not be deleted\n", driver.c_str());
    }
    if (registered && !modelUsed) {
        RemoveProfileValue(info.model);
        RemoveModelSection(info.profile, info.model);
    }
    if (!dir.empty() && !dirUsed && record.package.empty()) {
        if (!CloseMonitorsOfFolder(dir.c_str(), MONITOR_CLOSE_TIMEOUT_MS))
            printf("warning: a monitor in %s did not close\n", dir.c_str());
        RemoveInstalledFiles(dir, record.madeDir);
    } else if (!dir.empty() && !dirUsed) {
        RemoveFile(dir + "\\" KIT_PROFILE_INI); // the package removes its own files and folder
    }
    printf("Uninstalled \"%s\".\n", printer.c_str());
    return SETUP_EXIT_OK;
}

int DoUninstallPackage(const std::string& package, const std::string& printer)
{
    const bool keepPrinters = printer.empty() && IsReplaced(package);
    if (keepPrinters)
        printf("The package %s is being replaced: its printers are handed over.\n", package.c_str());
    // The package's files go (or change): its monitors in every session end first.
    std::string folder = ModuleDir();
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    if (printer.empty() && !CloseMonitorsOfFolder(folder.c_str(), MONITOR_CLOSE_TIMEOUT_MS))
        printf("warning: a monitor in %s did not close\n", folder.c_str());
    int code = SETUP_EXIT_OK;
    bool found = false;
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord record;
        if (!ReadSetupRecord(name, &record) || !SameText(record.package, package) ||
            (!printer.empty() && !SameText(name, printer)))
            continue;
        found = true;
        if (DoUninstall(name, keepPrinters) != SETUP_EXIT_OK)
            code = SETUP_EXIT_FAILED;
    }
    if (!found)
        printf("No printer installed by the package %s was found: nothing to remove.\n", package.c_str());
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
                (SameText(record.package, options.package) || IsListed(record.package, options.replaces)))
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
        return Fail("the printer \"" + printer + "\" does not exist");
    HWND window = FindMonitorWindow(printer);
    ScopedHandle process(OpenMonitorProcess(window));
    if (!SetZetSetting(printer, 1))
        return Fail("cannot set ZETSetting for \"" + printer + "\" (error " + std::to_string(GetLastError()) + ")");
    printf("Monitoring is switched off for \"%s\".\n", printer.c_str());
    if (!window)
        return SETUP_EXIT_OK;
    if (!WaitForMonitorEnd(process.Get(), printer, kDisableWaitMs))
        return Fail("the monitor for \"" + printer + "\" is still running");
    printf("Its monitor has closed.\n");
    return SETUP_EXIT_OK;
}

int DoEnable(const std::string& printer)
{
    SetupRecord record;
    DriverInfo info;
    if (!ReadSetupRecord(printer, &record) || !ReadDriverInfo(record.driver, &info))
        return Fail("\"" + printer + "\" was not installed by zetsetup: use zetsetup install");
    SpoolerPrinter spooled;
    if (!GetPrinterInfo(printer, &spooled))
        return Fail("the printer \"" + printer + "\" does not exist");
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
        return Fail(error);

    UndoLog undo;
    const bool wasOff = IsMonitoringOff(printer);
    if (!SetZetSetting(printer, 0))
        return Fail("cannot set ZETSetting for \"" + printer + "\" (error " + std::to_string(GetLastError()) + ")");
    if (wasOff)
        undo.Add([printer] { SetZetSetting(printer, 1); });
    if (!WriteStartupEntries(plan, &undo, &error) || !EnableUserTarget(printer, &undo, &error))
        return Fail(error + "; nothing was changed");
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
        if (!PrinterExists(name)) {
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
