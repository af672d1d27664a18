// What one installation of a printer consists of: its names, its folder and the paths
// derived from them.
#pragma once

#include <string>

#include "setup_args.h"

struct InstallPlan {
    std::string printer;
    std::string port;
    std::string driver;
    std::string model;
    std::string mapFile;
    std::string dir; // full path, no trailing backslash
    std::string paramFile; // the parameter file's name in dir; empty: ParamFileName(printer)
    RunMode run = RunMode::User;
    bool trace = false;
    std::string package; // the installing package's product code, or ""

    std::string PathOf(const char* fileName) const { return dir + "\\" + fileName; }
    std::string MonitorPath() const;
    std::string ProfilePath() const;
    // The parameter file that the Run entries name with /A.
    std::string ParamFilePath() const;
};

// A parameter file's name for a printer: "zt" and 8 hex digits of a hash of the printer
// name in upper case (printer names match without regard to case), then, for `variant`
// 1, 2, ..., "-" and the variant, and ".prm". Short, so that it leaves the Run entry room,
// and valid whatever the printer name holds. Two printers can share a hash: install takes
// the first variant that no other printer in the folder uses (ChooseParamFile).
std::string ParamFileName(const std::string& printer, int variant = 0);
