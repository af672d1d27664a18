// Installing a printer, in three parts: the plan (what the install finds and what it will
// add, decided before anything changes, with every refusal), its effects (each one
// recorded in an undo log, which takes them back when a later one fails, and for a
// package's run also in the run's notes, which its rollback reads), and the finish (the
// record completed, what a taken-over printer no longer uses, the monitor's start).
#pragma once

#include <string>

#include "setup_args.h"
#include "setup_plan.h"
#include "setup_profile.h"

class UndoLog;

// The installer's record of a printer that an install with a package takes over: the
// printer belongs to this package, or to a package that it replaces. The own registry
// view is looked at first; a record that only the other kind's view holds (the package of
// the other kind is replaced) is taken over from there.
struct HeldRecord {
    bool found = false;
    bool otherView = false;
    SetupRecord record;
};
HeldRecord FindHeldRecord(const SetupOptions& options);

// Every path the monitor reads fits its 260-byte buffers, and so does each Run entry.
bool CheckPathLengths(const InstallPlan& plan, std::string* error);
// The Run entries and their parameter file as the plan's mode wants them. Undoable.
bool WriteStartupEntries(const InstallPlan& plan, UndoLog* undo, std::string* error);
// Starts the monitor unless one runs, and waits for its window; the exit code.
int StartAndWait(const InstallPlan& plan);

// Installs a printer. With a package, a printer that the package (or one that it replaces)
// holds already is taken over as it is now: on the driver and port that the spooler has
// for it, with its recorded model and its users' settings; added again only when it is
// missing from the spooler.
int DoInstall(const SetupOptions& options);
