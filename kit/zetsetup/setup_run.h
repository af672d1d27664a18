// The monitor's start-up entries: a value named after the printer under the per-user and
// (or) the machine's Run key, and the parameter file in the install folder that they name.
//
// The per-user entry's data is
//     "<dir>\zettray.exe" /EF "HKCU" /A "<dir>\zt1234abcd.prm"
// and the machine's the same without /EF "HKCU". The monitor reads at most 259 characters
// of an entry when it cleans up after a deleted printer, so no longer entry is written.
#pragma once

#include <string>

#include "setup_plan.h"

class UndoLog;

constexpr size_t RUN_DATA_MAX = 259;

// The data of the per-user (perUser true) or the machine's Run value.
std::string RunData(const InstallPlan& plan, bool perUser);
// The command line that starts the monitor now: the per-user entry's data (the machine's
// when only that one is written), or the monitor with /P "<printer>" when no entry is.
std::string MonitorCommandLine(const InstallPlan& plan);
// false with a message when an entry of the plan's Run mode would exceed RUN_DATA_MAX.
bool CheckRunDataLength(const InstallPlan& plan, std::string* error);

// Chooses the plan's parameter file name: the name of the file that an earlier install made
// for the printer in the same folder (its record's, or EarlierParamFileName) when that file
// names this printer, else the first of ParamFileName(printer, 0, 1, ...); in either case
// one that no other printer installed in the same folder keeps its file under, and whose
// file, when it exists, names this printer or none. false with a message when none is free.
bool ChooseParamFile(InstallPlan* plan, std::string* error);
// True when a printer other than `printer` installed in `dir` keeps its parameter file
// under `name` (letter case ignored).
bool ParamFileUsedByOthers(const std::string& printer, const std::string& dir, const std::string& name);

// Writes the parameter file with the printer's /P, /D, /O and /M lines. Undoable.
bool WriteRunParamFile(const InstallPlan& plan, UndoLog* undo, std::string* error);
// true when every Run value of the plan's mode is there (none is missing).
bool HasRunValues(const InstallPlan& plan);
// Writes the Run value(s) of the plan's mode. Undoable.
bool WriteRunValues(const InstallPlan& plan, UndoLog* undo, std::string* error);
// Removes the printer's value from both Run keys, with the parameter file each names.
void RemoveRunValues(const std::string& printer);
