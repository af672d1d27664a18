// The installer's commands. Each prints what it did to stdout and its failures to stderr,
// and returns the process exit code.
#pragma once

#include <string>

#include "setup_args.h"

constexpr int SETUP_EXIT_OK = 0;
constexpr int SETUP_EXIT_FAILED = 1;     // nothing was left changed
constexpr int SETUP_EXIT_BAD_ARGS = 2;
constexpr int SETUP_EXIT_NO_MONITOR = 3; // installed or enabled, but no monitor appeared

// Where the MSI package keeps its values, with the product code that wrote them last.
#define PACKAGE_KEPT_KEY "Software\\ORVEL\\ZET3\\Package"
#define PACKAGE_KEPT_CODE "Package"

int RunSetupCommand(const SetupOptions& options);

// Prints the failure's message to stderr ("zetsetup: ..."); returns `code`.
int SetupFail(const std::string& message, int code = SETUP_EXIT_FAILED);

// Installs again every printer recorded under the package's code or one of the codes it
// replaces (in either registry view), each as DoInstall takes a held printer over.
int DoRepair(const SetupOptions& options);
int DoDisable(const std::string& printer);
int DoEnable(const std::string& printer);
int DoStatus();
