// The installer's commands. Each prints what it did to stdout and its failures to stderr,
// and returns the process exit code.
#pragma once

#include "setup_args.h"

constexpr int SETUP_EXIT_OK = 0;
constexpr int SETUP_EXIT_FAILED = 1;     // nothing was left changed
constexpr int SETUP_EXIT_BAD_ARGS = 2;
constexpr int SETUP_EXIT_NO_MONITOR = 3; // installed or enabled, but no monitor appeared

int RunSetupCommand(const SetupOptions& options);

int DoInstall(const SetupOptions& options);
int DoUninstall(const std::string& printer);
// Uninstalls the printers recorded under the package's product code (only `printer` when it
// is not empty). Finding none is no failure: there is nothing to remove.
int DoUninstallPackage(const std::string& package, const std::string& printer);
int DoDisable(const std::string& printer);
int DoEnable(const std::string& printer);
int DoStatus();
