// The run of a package: what one Windows Installer transaction changed through zetsetup,
// kept in the registry (HKLM software\ORVEL\ZET3\SetupRun\<product code>\<printer>) until
// the transaction ends. Its rollback runs zetsetup again, as a process of its own, after
// the one that made the changes has ended or was ended: it reads here exactly what to
// undo. Each note is written before the change it describes, through the undo log, so
// that a zetsetup that fails and undoes itself takes its notes back, and one that is
// killed leaves them for the rollback. An install without a package is no run: its own
// undo log covers it, and the notes are not written.
#pragma once

#include <string>
#include <vector>

class UndoLog;

#define SETUP_RUN_KEY "software\\ORVEL\\ZET3\\SetupRun"

// What a run added for a printer (bits).
constexpr unsigned long RUN_ADDED_PRINTER = 1;        // the spooler's printer
constexpr unsigned long RUN_ADDED_SPOOLER_DRIVER = 2; // the spooler's driver
constexpr unsigned long RUN_ADDED_DRIVER_KEY = 4;     // the driver's HKLM key
constexpr unsigned long RUN_ADDED_RUN_VALUES = 8;     // the printer's Run values and their parameter file

// Keeps the printer's record as it stands (or that it has none), the first time the run
// changes it: a rollback puts back the record from before the run.
bool NoteRecordBefore(const std::string& package, const std::string& printer, UndoLog* undo, std::string* error);
// The run is about to add these (bits, added to those of earlier notes).
bool NoteAdded(const std::string& package, const std::string& printer, unsigned long added, UndoLog* undo,
               std::string* error);
// The run is about to remove the printer or hand it over (its record is noted before), and
// with it (should it be the last) the trace switch that zetsetup set.
bool NoteRemoved(const std::string& package, const std::string& printer, UndoLog* undo, std::string* error);
// The run is about to remove the record that the other registry view holds for the printer
// (a take-over from the package of the other kind).
bool NoteOtherViewRecord(const std::string& package, const std::string& printer, UndoLog* undo,
                         std::string* error);

// One printer's notes.
struct RunNote {
    std::string printer;
    unsigned long added = 0;
    bool removed = false;
    bool traceWasOn = false;         // zetsetup had switched the trace log on
    bool hadRecord = false;          // the record from before the run is kept
    bool hadOtherViewRecord = false; // so is the other view's
};
std::vector<RunNote> ReadRunNotes(const std::string& package);
// Puts back the printer's record from before the run, or removes the record that the run
// made; and the other view's record that the run removed.
void RestoreRecordsBefore(const std::string& package, const RunNote& note);

// Forgets the runs of the ';'-separated product codes, in both registry views: the
// transaction has ended (or its rollback is done).
void ForgetRuns(const std::string& codes);
