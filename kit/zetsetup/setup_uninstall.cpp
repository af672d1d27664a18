#include "setup_uninstall.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "close_request.h"
#include "reg_view.h"
#include "setup_commands.h"
#include "setup_files.h"
#include "setup_install.h"
#include "setup_journal.h"
#include "setup_monitor.h"
#include "setup_profile.h"
#include "setup_reg.h"
#include "setup_run.h"
#include "setup_spooler.h"
#include "setup_undo.h"

namespace {

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

bool PrinterUsesDriver(const std::string& driver)
{
    for (const SpoolerPrinter& p : ListPrinters()) {
        if (SameText(p.driver, driver))
            return true;
    }
    return false;
}

// What a removal takes away, decided before anything goes.
struct UninstallPlan {
    std::string printer;
    SetupRecord record;
    DriverInfo info;
    bool registered = false; // the driver key names the driver's model
    std::string dir;         // the printer's own folder
    bool removeRunValues = false;
    bool keepParamFile = false; // another printer's Run entry names the same file
    bool handOver = false;      // the printer stays for the package that replaces this one
    bool removePrinter = false; // the spooler's printer and the users' targets
    bool removeRecord = false;
    bool removeDriverKey = false, removeSpoolerDriver = false, removeModel = false;
    bool removeFiles = false;      // the kit's files and the folders the install made
    bool removeProfileIni = false; // of a package's folder: the package removes the rest
    const char* done = "Uninstalled";
};

// What the other installations still use of the plan's driver, model and folder.
void FindWhatOthersUse(const std::string& except, const std::string& handedOver, const UninstallPlan& plan,
                       bool* driverUsed, bool* modelUsed, bool* dirUsed)
{
    *driverUsed = *modelUsed = *dirUsed = false;
    for (const Installation& other : OtherInstallations(except, handedOver)) {
        *driverUsed = *driverUsed || SameText(other.driver, plan.record.driver);
        *modelUsed = *modelUsed || (!plan.info.model.empty() && SameText(other.model, plan.info.model));
        *dirUsed = *dirUsed || (!plan.dir.empty() && SameText(other.dir, plan.dir));
    }
}

// The facts that every removal starts from: the record, the driver's key, the folder.
void ReadInstallation(const std::string& printer, const SetupRecord& record, UninstallPlan* plan)
{
    plan->printer = printer;
    plan->record = record;
    plan->registered = ReadDriverInfo(record.driver, &plan->info);
    // The printer's own folder: the driver key's InstallPath is shared by every printer of
    // the driver, and a later install into another folder overwrote it.
    plan->dir = !record.dir.empty() ? record.dir : plan->info.installDir;
    plan->keepParamFile = ParamFileUsedByOthers(printer, plan->dir, record.paramFile);
}

// Only what zetsetup installed is taken away: a driver's key and files that another
// installer made stay, whatever printer uses them.
bool PlanUninstall(const std::string& printer, bool keepPrinter, UninstallPlan* plan, std::string* error)
{
    SetupRecord record;
    if (!ReadSetupRecord(printer, &record)) {
        *error = "no installation of \"" + printer + "\" by zetsetup was found";
        return false;
    }
    ReadInstallation(printer, record, plan);
    bool driverUsed, modelUsed, dirUsed;
    FindWhatOthersUse(printer, keepPrinter ? record.package : "", *plan, &driverUsed, &modelUsed, &dirUsed);
    plan->removeRunValues = true;
    plan->handOver = keepPrinter;
    plan->removePrinter = !keepPrinter && record.addedPrinter;
    plan->removeRecord = !keepPrinter;
    plan->removeDriverKey = plan->registered && !driverUsed;
    plan->removeSpoolerDriver =
        !keepPrinter && !driverUsed && (record.addedDriver || (plan->registered && plan->info.addedSpoolerDriver));
    plan->removeModel = plan->registered && !modelUsed;
    plan->removeFiles = !plan->dir.empty() && !dirUsed && record.package.empty();
    plan->removeProfileIni = !plan->dir.empty() && !dirUsed && !record.package.empty();
    return true;
}

// The plan that takes back what a package's run added for a printer (`record`: the run's
// record of it), once the printer's record is the one from before the run again.
UninstallPlan PlanUndo(const RunNote& note, const SetupRecord& record)
{
    UninstallPlan plan;
    ReadInstallation(note.printer, record, &plan);
    bool driverUsed, modelUsed, dirUsed;
    FindWhatOthersUse(note.hadRecord ? "" : note.printer, "", plan, &driverUsed, &modelUsed, &dirUsed);
    plan.removeRunValues = (note.added & RUN_ADDED_RUN_VALUES) != 0;
    plan.removePrinter = (note.added & RUN_ADDED_PRINTER) != 0;
    plan.removeDriverKey = (note.added & RUN_ADDED_DRIVER_KEY) != 0 && plan.registered && !driverUsed;
    plan.removeSpoolerDriver = (note.added & RUN_ADDED_SPOOLER_DRIVER) != 0 && !driverUsed;
    plan.removeModel = plan.removeDriverKey && !modelUsed;
    plan.removeProfileIni = plan.removeModel && !plan.dir.empty() && !dirUsed;
    plan.done = "Took back what this run added for";
    return plan;
}

void RemoveStartupEntries(const UninstallPlan& plan)
{
    // An earlier zetsetup could give two printers of a folder one parameter file: the other
    // printer's log-on start still needs it.
    const std::string paramFile = plan.dir + "\\" + plan.record.paramFile;
    const FileSnapshot shared(paramFile);
    RemoveRunValues(plan.printer);
    if (plan.keepParamFile)
        shared.Restore();
    else if (!plan.dir.empty())
        RemoveFile(paramFile);
}

void RemovePrinter(const UninstallPlan& plan)
{
    RemoveUserTargets(plan.printer);
    if (!PrinterExists(plan.printer))
        return;
    if (!plan.removePrinter)
        printf("The printer \"%s\" stays: zetsetup did not add it.\n", plan.printer.c_str());
    else if (!DeleteSpoolerPrinter(plan.printer))
        printf("warning: the printer \"%s\" could not be deleted\n", plan.printer.c_str());
}

void RemoveDriverParts(const UninstallPlan& plan)
{
    const std::string& driver = plan.record.driver;
    if (plan.removeDriverKey)
        RemoveDriverKey(driver);
    if (plan.removeSpoolerDriver && SpoolerDriverExists(driver) && !DeleteSpoolerDriver(driver))
        printf("warning: the printer driver \"%s\" could not be deleted\n", driver.c_str());
    if (plan.removeModel) {
        RemoveProfileValue(plan.info.model);
        RemoveModelSection(plan.info.profile, plan.info.model);
    }
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

void RemoveFolder(const UninstallPlan& plan)
{
    if (plan.removeProfileIni)
        RemoveFile(plan.dir + "\\" KIT_PROFILE_INI); // the package removes its own files and folder
    if (!plan.removeFiles)
        return;
    // The folder's programs in every session end before their files go; the request stays
    // raised until the files are gone.
    RaisedCloseRequest request;
    if (!CloseFolderPrograms(plan.dir, MONITOR_CLOSE_TIMEOUT_MS, &request))
        printf("warning: a program in %s did not close\n", plan.dir.c_str());
    RemoveInstalledFiles(plan.dir, plan.record.madeDir);
}

// The effects, in order: nothing starts the monitor any more (its Run values go first),
// then it closes, then the rest goes.
void ApplyUninstall(const UninstallPlan& plan)
{
    if (plan.removeRunValues)
        RemoveStartupEntries(plan);
    if ((plan.removeRunValues || plan.removePrinter) && !CloseMonitor(plan.printer))
        printf("warning: the monitor for \"%s\" did not close\n", plan.printer.c_str());
    if (plan.handOver) {
        // The package that replaces this one takes the printer over from its record.
        printf("The printer \"%s\" stays for the package that replaces this one.\n", plan.printer.c_str());
        if (plan.registered)
            KeepDriverInRecord(plan.printer, plan.info);
    } else if (plan.removeRecord || plan.removePrinter) {
        RemovePrinter(plan);
    }
    if (plan.removeRecord)
        RemoveSetupRecord(plan.printer);
    RemoveDriverParts(plan);
    RemoveFolder(plan);
    printf("%s \"%s\".\n", plan.done, plan.printer.c_str());
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

// The printers recorded under the package's code (only `printer` when it is not empty).
std::vector<std::string> PackagePrinters(const std::string& package, const std::string& printer)
{
    std::vector<std::string> names;
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord record;
        if (ReadSetupRecord(name, &record) && SameText(record.package, package) &&
            (printer.empty() || SameText(name, printer)))
            names.push_back(name);
    }
    return names;
}

// Notes every printer that the package's removal is about to take away or hand over.
bool NoteRemovals(const std::string& package, const std::vector<std::string>& names, std::string* error)
{
    UndoLog notes;
    for (const std::string& name : names) {
        if (!NoteRecordBefore(package, name, &notes, error) || !NoteRemoved(package, name, &notes, error))
            return false;
    }
    notes.Commit();
    return true;
}

// Installs again a printer that the package's run removed or handed over, from its record.
int Reinstall(const std::string& package, const std::string& printer, bool trace)
{
    SetupRecord record;
    if (!ReadSetupRecord(printer, &record))
        return SETUP_EXIT_FAILED;
    SetupOptions options;
    options.command = SetupCommand::Install;
    options.printer = printer;
    options.package = package;
    options.noStart = true;
    options.restoring = true;
    options.run = record.run;
    options.trace = trace;
    if (!record.port.empty())
        options.port = record.port;
    return DoInstall(options);
}

} // namespace

int DoUninstall(const std::string& printer, bool keepPrinter)
{
    UninstallPlan plan;
    std::string error;
    if (!PlanUninstall(printer, keepPrinter, &plan, &error))
        return SetupFail(error);
    ApplyUninstall(plan);
    return SETUP_EXIT_OK;
}

int DoUninstallPackage(const std::string& package, const std::string& printer)
{
    const std::vector<std::string> names = PackagePrinters(package, printer);
    if (names.empty()) {
        printf("No printer installed by the package %s was found: nothing to remove.\n", package.c_str());
        return SETUP_EXIT_OK;
    }
    std::string error;
    if (!NoteRemovals(package, names, &error))
        return SetupFail(error + "; nothing was removed");
    const bool keepPrinters = printer.empty() && IsReplaced(package);
    if (keepPrinters)
        printf("The package %s is being replaced: its printers are handed over.\n", package.c_str());
    RaisedCloseRequest request;
    if (printer.empty()) {
        // The package's files go (or change): nothing starts its monitors any more, and its
        // programs end in every session; the request stays raised until its printers are done.
        for (const std::string& name : names)
            RemoveRunValues(name);
        const std::string folder = WithoutTrailingSlash(ModuleDir());
        if (!CloseFolderPrograms(folder, MONITOR_CLOSE_TIMEOUT_MS, &request))
            printf("warning: a program in %s did not close\n", folder.c_str());
    }
    int code = SETUP_EXIT_OK;
    for (const std::string& name : names) {
        if (DoUninstall(name, keepPrinters) != SETUP_EXIT_OK)
            code = SETUP_EXIT_FAILED;
    }
    return code;
}

void RemoveUnusedDriver(const std::string& driver, bool addedSpoolerDriver)
{
    for (const Installation& other : OtherInstallations("")) {
        if (!SameText(other.driver, driver))
            continue;
        // Still used: the installation that uses it keeps that zetsetup added it.
        if (addedSpoolerDriver && RegKeyExists(HKEY_LOCAL_MACHINE, DriverKeyPath(driver)))
            RegWriteDword(HKEY_LOCAL_MACHINE, DriverKeyPath(driver), SETUP_ADDED_DRIVER_VALUE, 1);
        return;
    }
    DriverInfo info;
    if (ReadDriverInfo(driver, &info)) {
        addedSpoolerDriver = addedSpoolerDriver || info.addedSpoolerDriver;
        RemoveDriverKey(driver);
    }
    if (addedSpoolerDriver && SpoolerDriverExists(driver) && !PrinterUsesDriver(driver) &&
        !DeleteSpoolerDriver(driver))
        printf("warning: the printer driver \"%s\" could not be deleted\n", driver.c_str());
}

int RollBackRun(const std::string& package)
{
    const std::vector<RunNote> notes = ReadRunNotes(package);
    if (notes.empty())
        printf("The package %s changed nothing in this run: nothing to take back.\n", package.c_str());
    // What the run added goes first; then what it removed comes back.
    for (const RunNote& note : notes) {
        if (note.removed)
            continue;
        SetupRecord record;
        const bool recorded = ReadSetupRecord(note.printer, &record);
        RestoreRecordsBefore(package, note);
        if (recorded)
            ApplyUninstall(PlanUndo(note, record));
    }
    int code = SETUP_EXIT_OK;
    for (const RunNote& note : notes) {
        if (!note.removed)
            continue;
        RestoreRecordsBefore(package, note);
        if (Reinstall(package, note.printer, note.traceWasOn) != SETUP_EXIT_OK)
            code = SETUP_EXIT_FAILED;
    }
    ForgetRuns(package);
    return code;
}
