#include "setup_run.h"

#include <windows.h>

#include <vector>

#include "cmdinfo.h"
#include "scoped.h"
#include "setup_files.h"
#include "setup_profile.h"
#include "setup_reg.h"
#include "setup_undo.h"
#include "startup_reg.h"
#include "strutil.h"

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// Names tried for a printer's parameter file before install gives up.
constexpr int kParamFileVariants = 100;

// The printer that a parameter file names with /P; "" when it names none or cannot be read.
std::string PrinterOfFile(const std::string& path)
{
    CCmdInfo info;
    if (!SafeCopy(info.m_szParamFile, path.c_str()) || !info.ReadParamFile())
        return "";
    return info.m_szPrinterName;
}

bool WritesUser(RunMode mode)
{
    return mode == RunMode::User || mode == RunMode::Both;
}

bool WritesMachine(RunMode mode)
{
    return mode == RunMode::Machine || mode == RunMode::Both;
}

} // namespace

std::string RunData(const InstallPlan& plan, bool perUser)
{
    std::string data = Quoted(plan.MonitorPath());
    if (perUser)
        data += " /EF \"HKCU\"";
    return data + " /A " + Quoted(plan.ParamFilePath());
}

std::string MonitorCommandLine(const InstallPlan& plan)
{
    if (WritesUser(plan.run))
        return RunData(plan, true);
    if (WritesMachine(plan.run))
        return RunData(plan, false);
    return Quoted(plan.MonitorPath()) + " /P " + Quoted(plan.printer);
}

bool CheckRunDataLength(const InstallPlan& plan, std::string* error)
{
    for (bool perUser : {true, false}) {
        if (!(perUser ? WritesUser(plan.run) : WritesMachine(plan.run)))
            continue;
        const size_t length = RunData(plan, perUser).size();
        if (length > RUN_DATA_MAX) {
            *error = "the Run entry that starts the monitor would be " + std::to_string(length) +
                     " characters long, but the monitor reads at most " + std::to_string(RUN_DATA_MAX) +
                     ": choose a shorter --dir (it is " + std::to_string(plan.dir.size()) + " characters)";
            return false;
        }
    }
    return true;
}

bool ParamFileUsedByOthers(const std::string& printer, const std::string& dir, const std::string& name)
{
    for (const std::string& other : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord record;
        if (!SameText(other, printer) && ReadSetupRecord(other, &record) && SameText(record.dir, dir) &&
            SameText(record.paramFile, name))
            return true;
    }
    return false;
}

bool ChooseParamFile(InstallPlan* plan, std::string* error)
{
    // The file that an earlier install made for the printer in this folder stays its file:
    // the record's, or the one that an earlier version's rule named.
    std::vector<std::string> earlier = {EarlierParamFileName(plan->printer)};
    SetupRecord record;
    if (ReadSetupRecord(plan->printer, &record) && SameText(record.dir, plan->dir))
        earlier.insert(earlier.begin(), record.paramFile);
    for (const std::string& name : earlier) {
        if (SameText(PrinterOfFile(plan->PathOf(name.c_str())), plan->printer) &&
            !ParamFileUsedByOthers(plan->printer, plan->dir, name)) {
            plan->paramFile = name;
            return true;
        }
    }
    for (int variant = 0; variant < kParamFileVariants; ++variant) {
        const std::string name = ParamFileName(plan->printer, variant);
        const std::string owner = PrinterOfFile(plan->PathOf(name.c_str()));
        if (ParamFileUsedByOthers(plan->printer, plan->dir, name) || !(owner.empty() || SameText(owner, plan->printer)))
            continue;
        plan->paramFile = name;
        return true;
    }
    *error = "no free name for the parameter file of \"" + plan->printer + "\" in " + plan->dir;
    return false;
}

bool WriteRunParamFile(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    const std::string path = plan.ParamFilePath();
    const std::string name = path.substr(plan.dir.size() + 1);
    CCmdInfo info;
    bool fits = SafeCopy(info.m_szTempDir, (plan.dir + "\\").c_str()) &&
                SafeCopy(info.m_szTempFileName, name.c_str()) &&
                SafeCopy(info.m_szPrinterName, plan.printer.c_str()) &&
                SafeCopy(info.m_szDriverName, plan.driver.c_str()) &&
                SafeCopy(info.m_szPortName, plan.port.c_str()) && SafeCopy(info.m_szModelID, plan.model.c_str());
    if (!fits) {
        *error = "the parameter file \"" + path + "\" or a name in it is too long";
        return false;
    }
    FileSnapshot before(path);
    undo->Add([before] { before.Restore(); });
    if (!info.WriteParamFile()) {
        *error = "cannot write the parameter file \"" + path + "\"";
        return false;
    }
    return true;
}

bool HasRunValues(const InstallPlan& plan)
{
    std::string data;
    return (!WritesUser(plan.run) || RegReadString(HKEY_CURRENT_USER, RUN_KEY_PATH, plan.printer.c_str(), &data)) &&
           (!WritesMachine(plan.run) || RegReadString(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, plan.printer.c_str(), &data));
}

bool WriteRunValues(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    std::vector<RegWrite> writes;
    if (WritesUser(plan.run))
        writes.push_back(RegWrite::String(HKEY_CURRENT_USER, RUN_KEY_PATH, plan.printer, RunData(plan, true)));
    if (WritesMachine(plan.run))
        writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, plan.printer, RunData(plan, false)));
    return ApplyValues(writes, undo, error);
}

void RemoveRunValues(const std::string& printer)
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ScopedRegKey run;
        if (RegOpenKeyExA(root, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, run.Put()) == ERROR_SUCCESS)
            RemoveRunEntry(run.Get(), printer.c_str());
    }
}
