// Removing what zetsetup installed, in two parts: the plan (what goes, decided from the
// installer's record and the other installations before anything goes) and its effects,
// in the order that leaves no monitor on removed files: the Run values first (nothing
// starts a monitor any more), then the monitors, then the rest. The rollback of a
// package's run uses the same effects for exactly what the run added.
#pragma once

#include <string>

// With keepPrinter, the printer, its spooler driver, the users' targets and the installer's
// record stay (a package's upgrade hands them over); the rest goes.
int DoUninstall(const std::string& printer, bool keepPrinter = false);
// Uninstalls the printers recorded under the package's product code (only `printer` when it
// is not empty). Finding none is no failure: there is nothing to remove. When the kept
// values (PACKAGE_KEPT_KEY, in either registry view) name another product, an upgrade
// replaces the package: its printers are handed over (DoUninstall with keepPrinter). The
// run's notes keep every printer removed or handed over, for the rollback.
int DoUninstallPackage(const std::string& package, const std::string& printer);

// Removes the registration of a driver that no installation uses any more: its key, and
// its spooler driver when zetsetup added it (addedSpoolerDriver, or the key says so) and
// no printer uses it. A driver still in use keeps in its key that zetsetup added it.
void RemoveUnusedDriver(const std::string& driver, bool addedSpoolerDriver);

// Undoes the package's run: removes exactly what it added, puts back the installer's
// records as they were before it, installs again every printer it removed or handed over,
// and forgets the run.
int RollBackRun(const std::string& package);
