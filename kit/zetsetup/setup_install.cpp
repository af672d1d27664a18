#include "setup_install.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "reg_view.h"
#include "setup_commands.h"
#include "setup_files.h"
#include "setup_journal.h"
#include "setup_monitor.h"
#include "setup_reg.h"
#include "setup_run.h"
#include "setup_spooler.h"
#include "setup_undo.h"
#include "setup_uninstall.h"
#include "startup_reg.h"

namespace {

// A test switch: with this environment variable set to "after-printer", the install stops
// for good once it has added the printer, as a zetsetup stuck in a spooler call would.
const char kTestHangVariable[] = "ZT_SETUP_TEST_HANG";

// What an install finds and what it will do, decided before anything changes.
struct InstallSteps {
    InstallPlan plan;
    HeldRecord held;
    std::string replaces;       // the product codes whose printers are taken over
    bool noStart = false;
    bool restoring = false;     // a rollback puts back a printer that its run removed
    bool addPrinter = false;    // the spooler lacks the printer
    bool addDriver = false;     // the spooler lacks its driver
    unsigned long adds = 0;     // what the install adds (RUN_ADDED_*), for the run's notes
    std::string replacedDriver; // a taken-over printer's recorded driver, when it now uses another
};

// Adopts a printer that the package holds as it is now: the driver and the port that the
// spooler has for it (an administrator may have changed them since it was installed), the
// recorded model. A printer missing from the spooler is added again as recorded.
void AdoptHeldPrinter(const SetupRecord& record, SetupOptions* options, std::string* replacedDriver)
{
    SpoolerPrinter now;
    const bool inSpooler = GetPrinterInfo(options->printer, &now) && !now.driver.empty();
    options->driver = inSpooler ? now.driver : record.driver;
    if (!SameText(options->driver, record.driver))
        *replacedDriver = record.driver;
    DriverInfo info;
    if (!record.model.empty())
        options->model = record.model;
    else if (ReadDriverInfo(record.driver, &info))
        options->model = info.model;
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
            SameText(other.package, plan.package) || ListsPackageCode(replaces, other.package))
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

// What the install will add: the printer, its spooler driver, the driver key, the Run
// values. The parameter file names the port that an existing printer is on.
void FindAdditions(InstallSteps* steps)
{
    InstallPlan& plan = steps->plan;
    SpoolerPrinter existing;
    steps->addPrinter = !GetPrinterInfo(plan.printer, &existing);
    if (!steps->addPrinter && !existing.port.empty())
        plan.port = existing.port;
    steps->addDriver = !SpoolerDriverExists(plan.driver);
    steps->adds = (steps->addPrinter ? RUN_ADDED_PRINTER : 0) | (steps->addDriver ? RUN_ADDED_SPOOLER_DRIVER : 0) |
                  (RegKeyExists(HKEY_LOCAL_MACHINE, DriverKeyPath(plan.driver)) ? 0 : RUN_ADDED_DRIVER_KEY) |
                  (HasRunValues(plan) ? 0 : RUN_ADDED_RUN_VALUES);
}

// The plan: SETUP_EXIT_OK, or the exit code of the refusal with its message in *error.
int PlanInstall(const SetupOptions& given, InstallSteps* steps, std::string* error)
{
    steps->held = FindHeldRecord(given);
    SetupOptions options = given;
    if (steps->held.found)
        AdoptHeldPrinter(steps->held.record, &options, &steps->replacedDriver);
    if (!MakePlan(options, &steps->plan, error))
        return SETUP_EXIT_BAD_ARGS;
    if (!CheckExisting(steps->plan, steps->held, options.replaces, error) || !CheckKitSources(error))
        return SETUP_EXIT_FAILED;
    steps->replaces = options.replaces;
    steps->noStart = options.noStart;
    steps->restoring = options.restoring && steps->held.found;
    FindAdditions(steps);
    return SETUP_EXIT_OK;
}

void StopHereForTest(const char* point)
{
    const char* hang = getenv(kTestHangVariable);
    if (hang && strcmp(hang, point) == 0) {
        printf("test switch %s=%s: stopping here\n", kTestHangVariable, point);
        Sleep(INFINITE);
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

// The spooler's driver and printer, each added when missing.
bool AddToSpooler(const InstallSteps& steps, bool* addedDriver, UndoLog* undo, std::string* error)
{
    const InstallPlan& plan = steps.plan;
    if (!EnsureSpoolerDriver(plan.driver, addedDriver, error))
        return false;
    if (*addedDriver) {
        const std::string driver = plan.driver;
        undo->Add([driver] { DeleteSpoolerDriver(driver); });
    }
    if (!steps.addPrinter)
        return true;
    if (!AddSpoolerPrinter(plan.printer, plan.port, plan.driver, error))
        return false;
    const std::string printer = plan.printer;
    undo->Add([printer] { DeleteSpoolerPrinter(printer); });
    StopHereForTest("after-printer");
    return true;
}

// The folder (with the parents it needs) and the files in it.
bool PutFilesInPlace(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    std::vector<std::string> madeDirs;
    if (!CreateDirectoryTree(plan.dir, &madeDirs, error))
        return false;
    undo->Add([madeDirs] {
        for (auto it = madeDirs.rbegin(); it != madeDirs.rend(); ++it)
            RemoveDirIfEmpty(*it);
    });
    return RecordMadeDir(plan.printer, madeDirs.empty() ? "" : madeDirs.front(), undo, error) &&
           CopyKitFiles(plan, undo, error) && WriteProfileIni(plan, undo, error);
}

// The effects, in order. The run's notes and the unfinished record come first: whatever
// becomes of this install, its rollback and a later removal find what it adds.
bool ApplyInstall(const InstallSteps& steps, UndoLog* undo, std::string* error)
{
    const InstallPlan& plan = steps.plan;
    const SetupRecord& held = steps.held.record;
    const bool heldDriver = steps.held.found && held.addedDriver && steps.replacedDriver.empty();
    // What the record says that zetsetup added: what this install adds, and what the record
    // of a taken-over printer says (only that, when a rollback puts the printer back).
    const bool recordPrinter =
        steps.restoring ? held.addedPrinter : steps.addPrinter || (steps.held.found && held.addedPrinter);
    const bool recordDriver = steps.restoring ? heldDriver : steps.addDriver || heldDriver;
    bool addedDriver = false;
    return NoteRecordBefore(plan.package, plan.printer, undo, error) &&
           NoteAdded(plan.package, plan.printer, steps.adds, undo, error) &&
           (!steps.held.otherView || NoteOtherViewRecord(plan.package, plan.printer, undo, error)) &&
           WriteSetupRecord(plan, recordPrinter, recordDriver, undo, error) &&
           AddToSpooler(steps, &addedDriver, undo, error) && PutFilesInPlace(plan, undo, error) &&
           RegisterDriver(plan, addedDriver || heldDriver, undo, error) &&
           WriteStartupEntries(plan, undo, error) &&
           (steps.held.found || EnableUserTarget(plan.printer, undo, error)) &&
           (!plan.trace || SwitchTraceOn(!plan.package.empty(), undo, error));
}

// The last steps, once everything is in place: the record is finished; a printer taken
// over from the other kind's installation leaves that one's record and spooler driver; a
// printer adopted on another driver leaves the registration of the one it had, when
// nothing else uses it.
void FinishInstall(const InstallSteps& steps)
{
    const InstallPlan& plan = steps.plan;
    FinishSetupRecord(plan.printer);
    if (steps.held.otherView) {
        if (steps.held.record.addedDriver)
            DeleteOtherKindDriver(plan.driver);
        ScopedMachineView other(REG_VIEW_OTHER);
        RemoveSetupRecord(plan.printer);
    }
    if (!steps.replacedDriver.empty()) {
        printf("\"%s\" now uses the driver \"%s\" (it was installed with \"%s\"): it is taken over as it is.\n",
               plan.printer.c_str(), plan.driver.c_str(), steps.replacedDriver.c_str());
        RemoveUnusedDriver(steps.replacedDriver, steps.held.record.addedDriver);
    }
}

void ReportInstall(const InstallSteps& steps)
{
    const InstallPlan& plan = steps.plan;
    if (steps.held.found)
        printf("\"%s\" is the package's: it was taken over as it stands.\n", plan.printer.c_str());
    printf("Installed \"%s\" (driver \"%s\", model %s, port %s) in %s.\n", plan.printer.c_str(), plan.driver.c_str(),
           plan.model.c_str(), plan.port.c_str(), plan.dir.c_str());
    if (plan.run != RunMode::None)
        printf("Starts at log-on from the Run key (%s).\n", RunModeName(plan.run));
    if (plan.trace)
        printf("Tracing is on: C:\\J_RxxIC.LOG\n");
    if (steps.noStart)
        printf("The monitor was not started%s.\n", plan.run == RunMode::None ? "" : ": it starts at the next log-on");
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

} // namespace

HeldRecord FindHeldRecord(const SetupOptions& options)
{
    HeldRecord held;
    if (options.package.empty())
        return held;
    if (ReadSetupRecord(options.printer, &held.record)) {
        held.found =
            SameText(held.record.package, options.package) || ListsPackageCode(options.replaces, held.record.package);
        return held;
    }
    ScopedMachineView other(REG_VIEW_OTHER);
    held.found = held.otherView =
        ReadSetupRecord(options.printer, &held.record) && ListsPackageCode(options.replaces, held.record.package);
    return held;
}

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

int StartAndWait(const InstallPlan& plan)
{
    if (IsMonitoringOff(plan.printer)) {
        printf("Monitoring is switched off for \"%s\" (zetsetup enable switches it on).\n", plan.printer.c_str());
        return SETUP_EXIT_OK;
    }
    if (!FindMonitorWindow(plan.printer)) {
        std::string error;
        if (!StartProgram(plan.MonitorPath(), MonitorCommandLine(plan), &error))
            return SetupFail(error, SETUP_EXIT_NO_MONITOR);
    }
    if (!WaitForMonitor(plan.printer, MONITOR_APPEAR_TIMEOUT_MS))
        return SetupFail("the monitor for \"" + plan.printer + "\" did not start within " +
                             std::to_string(MONITOR_APPEAR_TIMEOUT_MS / 1000) +
                             " s (is there a notification area? with tracing on, C:\\J_RxxIC.LOG tells more)",
                         SETUP_EXIT_NO_MONITOR);
    printf("The monitor for \"%s\" runs.\n", plan.printer.c_str());
    return SETUP_EXIT_OK;
}

int DoInstall(const SetupOptions& options)
{
    InstallSteps steps;
    std::string error;
    const int refused = PlanInstall(options, &steps, &error);
    if (refused != SETUP_EXIT_OK)
        return SetupFail(error, refused);
    {
        UndoLog undo;
        if (!ApplyInstall(steps, &undo, &error))
            return SetupFail(error + "; nothing was installed");
        undo.Commit();
    }
    FinishInstall(steps);
    ReportInstall(steps);
    return steps.noStart ? SETUP_EXIT_OK : StartAndWait(steps.plan);
}
