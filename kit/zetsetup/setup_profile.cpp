#include "setup_profile.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

#include "driver_config.h"
#include "setup_files.h"
#include "setup_reg.h"
#include "setup_undo.h"
#include "strutil.h"
#include "targets.h"
#include "trace.h"

namespace {

const char kInstallPath[] = DRIVER_VALUE_INSTALL_PATH;
const char kProfile[] = DRIVER_VALUE_PROFILE;
const char kStatusExe[] = DRIVER_VALUE_STATUS_EXE;
const char kModelId[] = DRIVER_VALUE_MODEL_ID;
const char kMapFileName[] = DRIVER_VALUE_MAP_FILE;
const char kDepExe[] = DRIVER_VALUE_DEP_EXE;
const char kSeparators[] = MENU_VALUE_SEPARATORS;

const char kRecordDriver[] = "Driver";
const char kRecordDir[] = "Dir";
const char kRecordRun[] = "Run";
const char kRecordAddedPrinter[] = "AddedPrinter";
const char kRecordMadeDir[] = "MadeDir";
const char kRecordPackage[] = "Package";
const char kRecordParamFile[] = "ParamFile";
const char kRecordPort[] = "Port";
const char kRecordModel[] = "Model";
const char kRecordAddedDriver[] = "AddedDriver";
const char kRecordState[] = "State";
const char kStateInstalling[] = "installing";
const char kTraceSwitchedOn[] = "TraceSwitchedOn";
const char kTraceLogMade[] = "TraceLogMade";

std::string RecordPath(const std::string& printer)
{
    return SetupRecordPath(printer);
}

// One INI key, written with the profile API (which keeps the file's other contents).
struct IniWrite {
    std::string section, key, value;
};

} // namespace

std::string SetupRecordPath(const std::string& printer)
{
    return std::string(SETUP_RECORD_KEY) + "\\" + printer;
}

std::string DriverKeyPath(const std::string& driver)
{
    return DRIVER_KEY_PREFIX + driver;
}

bool RegisterDriver(const InstallPlan& plan, bool spoolerDriverAdded, UndoLog* undo, std::string* error)
{
    const std::string key = DriverKeyPath(plan.driver);
    const std::string menu = key + "\\" DRIVER_MENU_SUBKEY;
    const std::string tool = plan.PathOf(KIT_TOOL_EXE);
    std::vector<RegWrite> writes = {
        RegWrite::String(HKEY_LOCAL_MACHINE, key, kInstallPath, plan.dir),
        RegWrite::String(HKEY_LOCAL_MACHINE, key, kProfile, plan.ProfilePath()),
        RegWrite::String(HKEY_LOCAL_MACHINE, key, kStatusExe, plan.PathOf(STATUS_EXE_DEFAULT)),
        RegWrite::String(HKEY_LOCAL_MACHINE, key, kModelId, plan.model),
        RegWrite::String(HKEY_LOCAL_MACHINE, key, kDepExe, tool),
    };
    if (!plan.mapFile.empty())
        writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, key, kMapFileName, plan.mapFile));
    if (spoolerDriverAdded)
        writes.push_back(RegWrite::Dword(HKEY_LOCAL_MACHINE, key, SETUP_ADDED_DRIVER_VALUE, 1));
    for (int i = 0; i < SETUP_TOOL_COUNT; ++i) {
        const std::string command = std::to_string(SETUP_FIRST_TOOL + i);
        writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, menu, command, "\"" + tool + "\" /T" + command));
    }
    writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, menu, kSeparators, SETUP_SEPARATORS));
    writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, plan.model, plan.ProfilePath()));
    if (!plan.mapFile.empty())
        return ApplyValues(writes, undo, error);
    // Without --map-file an earlier install's MapFileName must go: the table would differ.
    RegValueSnapshot mapFile(HKEY_LOCAL_MACHINE, key, kMapFileName);
    if (!ApplyValues(writes, undo, error))
        return false;
    undo->Add([mapFile] { mapFile.Restore(); });
    RegRemoveValue(HKEY_LOCAL_MACHINE, key, kMapFileName);
    return true;
}

bool WriteProfileIni(const InstallPlan& plan, UndoLog* undo, std::string* error)
{
    const std::string path = plan.ProfilePath();
    FileSnapshot before(path);
    undo->Add([before] { before.Restore(); });
    const IniWrite writes[] = {
        {plan.model, PROFILE_INI_PRN_DLL, KIT_PRN_DLL},
        {plan.model, TARGET_TRAY_SELECTED, "0"},
        {plan.model, TARGET_TRAY_ENABLE, "1"},
        {plan.model, PROFILE_INI_END_TIME, std::to_string(SETUP_TRAY_END_TIME_MS)},
        {"English", PROFILE_INI_RES_DLL, KIT_RES_DLL},
        {"Japanese", PROFILE_INI_RES_DLL, KIT_RES_DLL_JA},
    };
    for (const IniWrite& w : writes) {
        if (!WritePrivateProfileStringA(w.section.c_str(), w.key.c_str(), w.value.c_str(), path.c_str())) {
            *error = "cannot write the profile \"" + path + "\" (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); // flush the profile cache
    return true;
}

bool ReadSetupRecord(const std::string& printer, SetupRecord* record)
{
    const std::string path = RecordPath(printer);
    std::string run;
    DWORD added = 0;
    if (!RegReadString(HKEY_LOCAL_MACHINE, path, kRecordDriver, &record->driver))
        return false;
    RegReadString(HKEY_LOCAL_MACHINE, path, kRecordDir, &record->dir);
    if (!RegReadString(HKEY_LOCAL_MACHINE, path, kRecordRun, &run) || !ParseRunMode(run, &record->run))
        record->run = RunMode::User;
    RegReadDword(HKEY_LOCAL_MACHINE, path, kRecordAddedPrinter, &added);
    record->addedPrinter = added == 1;
    RegReadString(HKEY_LOCAL_MACHINE, path, kRecordMadeDir, &record->madeDir);
    record->package.clear();
    RegReadString(HKEY_LOCAL_MACHINE, path, kRecordPackage, &record->package);
    if (!RegReadString(HKEY_LOCAL_MACHINE, path, kRecordParamFile, &record->paramFile) || record->paramFile.empty())
        record->paramFile = EarlierParamFileName(printer);
    record->port.clear();
    record->model.clear();
    RegReadString(HKEY_LOCAL_MACHINE, path, kRecordPort, &record->port);
    RegReadString(HKEY_LOCAL_MACHINE, path, kRecordModel, &record->model);
    added = 0;
    RegReadDword(HKEY_LOCAL_MACHINE, path, kRecordAddedDriver, &added);
    record->addedDriver = added == 1;
    std::string state;
    record->unfinished = RegReadString(HKEY_LOCAL_MACHINE, path, kRecordState, &state) && state == kStateInstalling;
    return true;
}

bool WriteSetupRecord(const InstallPlan& plan, bool addedPrinter, bool addedDriver, UndoLog* undo,
                      std::string* error)
{
    const std::string path = RecordPath(plan.printer);
    SetupRecord before;
    const bool existed = ReadSetupRecord(plan.printer, &before);
    std::string made = existed ? before.madeDir : "";
    for (const std::string& name : RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY)) {
        SetupRecord other;
        if (made.empty() && ReadSetupRecord(name, &other) && SameText(other.dir, plan.dir))
            made = other.madeDir;
    }
    const bool keptDriver = existed && before.addedDriver && SameText(before.driver, plan.driver);
    std::vector<RegWrite> writes = {
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordState, kStateInstalling),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordMadeDir, made),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordDriver, plan.driver),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordDir, plan.dir),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordRun, RunModeName(plan.run)),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordParamFile, plan.paramFile),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordPort, plan.port),
        RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordModel, plan.model),
        RegWrite::Dword(HKEY_LOCAL_MACHINE, path, kRecordAddedPrinter, (addedPrinter || before.addedPrinter) ? 1 : 0),
        RegWrite::Dword(HKEY_LOCAL_MACHINE, path, kRecordAddedDriver, (addedDriver || keptDriver) ? 1 : 0),
    };
    if (!plan.package.empty())
        writes.push_back(RegWrite::String(HKEY_LOCAL_MACHINE, path, kRecordPackage, plan.package));
    return ApplyValues(writes, undo, error);
}

bool RecordMadeDir(const std::string& printer, const std::string& madeDir, UndoLog* undo, std::string* error)
{
    return madeDir.empty() ||
           ApplyValues({RegWrite::String(HKEY_LOCAL_MACHINE, RecordPath(printer), kRecordMadeDir, madeDir)}, undo,
                       error);
}

void FinishSetupRecord(const std::string& printer)
{
    RegRemoveValue(HKEY_LOCAL_MACHINE, RecordPath(printer), kRecordState);
}

void KeepDriverInRecord(const std::string& printer, const DriverInfo& info)
{
    const std::string path = RecordPath(printer);
    if (!info.model.empty())
        RegWriteString(HKEY_LOCAL_MACHINE, path, kRecordModel, info.model);
    RegWriteDword(HKEY_LOCAL_MACHINE, path, kRecordAddedDriver, info.addedSpoolerDriver ? 1 : 0);
}

void RemoveSetupRecord(const std::string& printer)
{
    RegRemoveTree(HKEY_LOCAL_MACHINE, RecordPath(printer));
    if (!RegSubkeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY).empty())
        return;
    if (TraceSwitchedOnBySetup()) {
        RegRemoveValue(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME);
        RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY);
        DWORD made = 0;
        if (RegReadDword(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceLogMade, &made) && made == 1 &&
            !RemoveFile(TRACE_LOG_PATH))
            printf("warning: could not remove the trace log %s\n", TRACE_LOG_PATH);
    }
    RegRemoveValue(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceSwitchedOn);
    RegRemoveValue(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceLogMade);
    RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY);
}

bool TraceSwitchedOnBySetup()
{
    DWORD switchedOn = 0;
    return RegReadDword(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceSwitchedOn, &switchedOn) && switchedOn == 1;
}

bool SwitchTraceOn(bool byPackage, UndoLog* undo, std::string* error)
{
    DWORD on = 0;
    if (RegReadDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME, &on) && on != 0)
        return true; // on already: whoever switched it on switches it off
    std::vector<RegWrite> writes = {
        RegWrite::Dword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME, 1),
        RegWrite::Dword(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceSwitchedOn, 1),
    };
    if (byPackage && !PathExists(TRACE_LOG_PATH))
        writes.push_back(RegWrite::Dword(HKEY_LOCAL_MACHINE, SETUP_RECORD_KEY, kTraceLogMade, 1));
    return ApplyValues(writes, undo, error);
}

bool ReadDriverInfo(const std::string& driver, DriverInfo* info)
{
    const std::string key = DriverKeyPath(driver);
    *info = DriverInfo();
    if (!RegReadString(HKEY_LOCAL_MACHINE, key, kModelId, &info->model) || info->model.empty())
        return false;
    RegReadString(HKEY_LOCAL_MACHINE, key, kInstallPath, &info->installDir);
    while (EndsWithCharOf(info->installDir.c_str(), "\\"))
        info->installDir.pop_back();
    RegReadString(HKEY_LOCAL_MACHINE, key, kProfile, &info->profile);
    DWORD added = 0;
    info->addedSpoolerDriver = RegReadDword(HKEY_LOCAL_MACHINE, key, SETUP_ADDED_DRIVER_VALUE, &added) && added == 1;
    return true;
}

void RemoveDriverKey(const std::string& driver)
{
    const std::string key = DriverKeyPath(driver);
    RegRemoveTree(HKEY_LOCAL_MACHINE, key);
    RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, key.substr(0, LastSeparator(key)));
}

void RemoveProfileValue(const std::string& model)
{
    RegRemoveValue(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH, model.c_str());
    RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, PROFILE_KEY_PATH);
}

void RemoveModelSection(const std::string& profile, const std::string& model)
{
    if (profile.empty() || !PathExists(profile))
        return;
    WritePrivateProfileStringA(model.c_str(), nullptr, nullptr, profile.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, profile.c_str());
}

void RemoveUserTargets(const std::string& printer)
{
    char path[ZT_TEXT] = "";
    // Each pass removes the first target of that name; a target that cannot be removed
    // ends the loop instead of being found again and again.
    while (FindTargetReg(printer.c_str(), 0, path) == 0 && path[0]) {
        if (DeleteRegTree(path) != 0 || RegKeyExists(HKEY_CURRENT_USER, path))
            break;
        path[0] = '\0';
    }
    RegPruneEmptyKeys(HKEY_CURRENT_USER, TARGET_PRINTER_LIST);
}

bool EnableUserTarget(const std::string& printer, UndoLog* undo, std::string* error)
{
    char path[ZT_TEXT] = "";
    if (FindTargetReg(printer.c_str(), 0, path) != 0 || !path[0])
        return true;
    return ApplyValues({RegWrite::Dword(HKEY_CURRENT_USER, path, TARGET_TRAY_ENABLE, 1)}, undo, error);
}
