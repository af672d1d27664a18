// The installer's commands. Each prints what it did to stdout and its failures to stderr,
// and returns the process exit code.
#pragma once

#include "setup_args.h"

constexpr int SETUP_EXIT_OK = 0;
constexpr int SETUP_EXIT_FAILED = 1;     // nothing was left changed
constexpr int SETUP_EXIT_BAD_ARGS = 2;
constexpr int SETUP_EXIT_NO_MONITOR = 3; // installed or enabled, but no monitor appeared

// Where the MSI package keeps its values, with the product code that wrote them last.
#define PACKAGE_KEPT_KEY "Software\\ORVEL\\ZET3\\Package"
#define PACKAGE_KEPT_CODE "Package"

int RunSetupCommand(const SetupOptions& options);

// Installs a printer. With a package, a printer that the package (or one that it replaces)
// holds already is taken over as it stands: added again only when it is missing from the
// spooler, with its driver, model and users' settings kept.
int DoInstall(const SetupOptions& options);
// With keepPrinter, the printer, its spooler driver, the users' targets and the installer's
// record stay (a package's upgrade hands them over); the rest goes.
int DoUninstall(const std::string& printer, bool keepPrinter = false);
// Uninstalls the printers recorded under the package's product code (only `printer` when it
// is not empty). Finding none is no failure: there is nothing to remove. When the kept
// values (PACKAGE_KEPT_KEY, in either registry view) name another product, an upgrade
// replaces the package: its printers are handed over (DoUninstall with keepPrinter).
int DoUninstallPackage(const std::string& package, const std::string& printer);
// Installs again every printer recorded under the package's code or one of the codes it
// replaces (in either registry view), each as DoInstall takes a held printer over.
int DoRepair(const SetupOptions& options);
int DoDisable(const std::string& printer);
int DoEnable(const std::string& printer);
int DoStatus();
