#include "setup_journal.h"

#include <windows.h>

#include "reg_view.h"
#include "setup_args.h"
#include "setup_files.h"
#include "setup_profile.h"
#include "setup_reg.h"
#include "setup_undo.h"

namespace {

const char kAdded[] = "Added";
const char kRemoved[] = "Removed";
const char kTraceWasOn[] = "TraceWasOn";
const char kNoted[] = "RecordNoted";
const char kRecordCopy[] = "Record";
const char kOtherRecordCopy[] = "OtherRecord";

std::string RunPath(const std::string& package)
{
    return std::string(SETUP_RUN_KEY) + "\\" + package;
}

std::string NotePath(const std::string& package, const std::string& printer)
{
    return RunPath(package) + "\\" + printer;
}

// Writes `values` into the copy's key; undone by removing that key.
bool WriteCopy(const std::string& path, const std::vector<RegValueData>& values, UndoLog* undo, std::string* error)
{
    undo->Add([path] {
        RegRemoveTree(HKEY_LOCAL_MACHINE, path);
        RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, path.substr(0, LastSeparator(path)));
    });
    if (RegWriteValues(HKEY_LOCAL_MACHINE, path, values))
        return true;
    *error = "cannot keep the record of the printer under HKLM\\" + path;
    return false;
}

bool Noted(const std::string& path, const char* name)
{
    DWORD value = 0;
    return RegReadDword(HKEY_LOCAL_MACHINE, path, name, &value) && value != 0;
}

} // namespace

bool NoteRecordBefore(const std::string& package, const std::string& printer, UndoLog* undo, std::string* error)
{
    const std::string note = NotePath(package, printer);
    if (package.empty() || Noted(note, kNoted))
        return true;
    std::vector<RegValueData> record;
    if (RegReadValues(HKEY_LOCAL_MACHINE, SetupRecordPath(printer), &record) &&
        !WriteCopy(note + "\\" + kRecordCopy, record, undo, error))
        return false;
    return ApplyValues({RegWrite::Dword(HKEY_LOCAL_MACHINE, note, kNoted, 1)}, undo, error);
}

bool NoteAdded(const std::string& package, const std::string& printer, unsigned long added, UndoLog* undo,
               std::string* error)
{
    const std::string note = NotePath(package, printer);
    DWORD before = 0;
    if (package.empty() || added == 0)
        return true;
    RegReadDword(HKEY_LOCAL_MACHINE, note, kAdded, &before);
    if ((before | added) == before)
        return true;
    return ApplyValues({RegWrite::Dword(HKEY_LOCAL_MACHINE, note, kAdded, before | added)}, undo, error);
}

bool NoteRemoved(const std::string& package, const std::string& printer, UndoLog* undo, std::string* error)
{
    const std::string note = NotePath(package, printer);
    return package.empty() || ApplyValues({RegWrite::Dword(HKEY_LOCAL_MACHINE, note, kRemoved, 1),
                                           RegWrite::Dword(HKEY_LOCAL_MACHINE, note, kTraceWasOn,
                                                           TraceSwitchedOnBySetup() ? 1 : 0)},
                                          undo, error);
}

bool NoteOtherViewRecord(const std::string& package, const std::string& printer, UndoLog* undo,
                         std::string* error)
{
    const std::string copy = NotePath(package, printer) + "\\" + kOtherRecordCopy;
    if (package.empty() || RegKeyExists(HKEY_LOCAL_MACHINE, copy))
        return true;
    std::vector<RegValueData> record;
    {
        ScopedMachineView other(REG_VIEW_OTHER);
        if (!RegReadValues(HKEY_LOCAL_MACHINE, SetupRecordPath(printer), &record))
            return true;
    }
    return WriteCopy(copy, record, undo, error);
}

std::vector<RunNote> ReadRunNotes(const std::string& package)
{
    std::vector<RunNote> notes;
    for (const std::string& printer : RegSubkeys(HKEY_LOCAL_MACHINE, RunPath(package))) {
        const std::string path = NotePath(package, printer);
        RunNote note;
        note.printer = printer;
        DWORD added = 0;
        RegReadDword(HKEY_LOCAL_MACHINE, path, kAdded, &added);
        note.added = added;
        note.removed = Noted(path, kRemoved);
        note.traceWasOn = Noted(path, kTraceWasOn);
        note.hadRecord = RegKeyExists(HKEY_LOCAL_MACHINE, path + "\\" + kRecordCopy);
        note.hadOtherViewRecord = RegKeyExists(HKEY_LOCAL_MACHINE, path + "\\" + kOtherRecordCopy);
        notes.push_back(note);
    }
    return notes;
}

void RestoreRecordsBefore(const std::string& package, const RunNote& note)
{
    const std::string path = NotePath(package, note.printer);
    std::vector<RegValueData> values;
    if (note.hadOtherViewRecord && RegReadValues(HKEY_LOCAL_MACHINE, path + "\\" + kOtherRecordCopy, &values)) {
        ScopedMachineView other(REG_VIEW_OTHER);
        RegWriteValues(HKEY_LOCAL_MACHINE, SetupRecordPath(note.printer), values);
    }
    if (!note.hadRecord) {
        RemoveSetupRecord(note.printer);
        return;
    }
    if (!RegReadValues(HKEY_LOCAL_MACHINE, path + "\\" + kRecordCopy, &values))
        return;
    RegRemoveTree(HKEY_LOCAL_MACHINE, SetupRecordPath(note.printer));
    RegWriteValues(HKEY_LOCAL_MACHINE, SetupRecordPath(note.printer), values);
}

void ForgetRuns(const std::string& codes)
{
    for (const std::string& code : SplitPackageCodes(codes)) {
        for (REGSAM view : REG_VIEWS) {
            ScopedMachineView scope(view);
            RegRemoveTree(HKEY_LOCAL_MACHINE, RunPath(code));
            RegPruneEmptyKeys(HKEY_LOCAL_MACHINE, SETUP_RUN_KEY);
        }
    }
}
