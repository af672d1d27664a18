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

// A parameter file's name for a printer: "zt" and 8 hex digits of the printer name's
// NameHash (names that the spooler takes for one printer hash alike), then, for `variant`
// 1, 2, ..., "-" and the variant, and ".prm". Short, so that it leaves the Run entry room,
// and valid whatever the printer name holds. Two printers can share a hash: install takes
// the first variant that no other printer in the folder uses (ChooseParamFile).
std::string ParamFileName(const std::string& printer, int variant = 0);
// The name that earlier versions gave a printer's parameter file (and read for a record
// that does not name its file): the hash of the name with its ASCII letters upper-cased.
// The same as ParamFileName for a name without other letters.
std::string EarlierParamFileName(const std::string& printer);
