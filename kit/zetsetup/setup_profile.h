// The driver's registration that the monitor reads (its HKLM driver key with the Menu
// subkey, the model's Profile value and the profile INI file), the installer's own record
// of each printer it installed, and the trace switch.
#pragma once

#include <string>

#include "setup_plan.h"

class UndoLog;

// HKLM: one key per printer that zetsetup installed, with the values below.
#define SETUP_RECORD_KEY "software\\ORVEL\\ZET3\\Setup"
// Driver key value: 1 when zetsetup added the spooler driver (and so may remove it).
#define SETUP_ADDED_DRIVER_VALUE "SetupAddedDriver"

// The sample tools of the Menu key (commands 920 to 922) and the position of the one
// separator among them: before the third tool.
constexpr int SETUP_FIRST_TOOL = 920;
constexpr int SETUP_TOOL_COUNT = 3;
#define SETUP_SEPARATORS "3"
// The printer-check interval written to the profile: a deleted printer is noticed within it.
constexpr int SETUP_TRAY_END_TIME_MS = 10000;

std::string DriverKeyPath(const std::string& driver);

// Writes the driver key (InstallPath, Profile, J_RRUN, ModelID, MapFileName when given,
// DepExe, and SetupAddedDriver = 1 when the spooler driver was added now), its Menu
// subkey, and the model's value under the Profile key. Undoable through `undo`.
bool RegisterDriver(const InstallPlan& plan, bool spoolerDriverAdded, UndoLog* undo, std::string* error);

// Writes the model's section (PrnDll, TrayIconSelected, TrayIconEnable, TrayIconEndTime) and
// the English and Japanese ResDll keys into <dir>\zetprof.ini, keeping other sections.
bool WriteProfileIni(const InstallPlan& plan, UndoLog* undo, std::string* error);

struct DriverInfo;

// What zetsetup remembers of a printer it installed.
struct SetupRecord {
    std::string driver;
    std::string dir;
    RunMode run = RunMode::User;
    bool addedPrinter = false; // zetsetup added the printer to the spooler
    std::string madeDir;       // the outermost folder that an install made for `dir`, or ""
    std::string package;       // the product code of the package that installed it, or ""
    std::string paramFile;     // the parameter file's name in `dir`
    std::string port, model;   // as installed; empty in records of older installs
    // zetsetup added the spooler driver `driver` (the driver key says so too, until a
    // package's upgrade hands the printer over and removes that key).
    bool addedDriver = false;
    // An install wrote the record before it changed anything else and had not finished:
    // it stopped (or was ended) on the way. What the record says it added may be there.
    bool unfinished = false;
};
// HKLM key of the printer's record.
std::string SetupRecordPath(const std::string& printer);
// A record written before the parameter file's name was kept reads the name that version
// gave the file, EarlierParamFileName(printer).
bool ReadSetupRecord(const std::string& printer, SetupRecord* record);
// Writes the record as unfinished, before the install adds anything: the printer and the
// spooler driver that it is about to add (addedPrinter, addedDriver) are recorded first,
// so that a removal finds them whatever becomes of the install. addedPrinter is kept at 1
// once set, and addedDriver while the driver stays the same, so that installing again does
// not forget them; madeDir is the one that an earlier install of the same folder (this
// printer's or another's) recorded. The package's code is written when the plan has one.
bool WriteSetupRecord(const InstallPlan& plan, bool addedPrinter, bool addedDriver, UndoLog* undo,
                      std::string* error);
// Records the outermost folder that the install made.
bool RecordMadeDir(const std::string& printer, const std::string& madeDir, UndoLog* undo, std::string* error);
// Marks the record finished: the install's last step.
void FinishSetupRecord(const std::string& printer);
// Keeps in the record what the driver key said, before a hand-over removes that key: the
// model and whether zetsetup added the spooler driver.
void KeepDriverInRecord(const std::string& printer, const DriverInfo& info);
// Removes the record; with the last record gone, switches tracing off again when zetsetup
// switched it on (and removes the trace log when a package's install made it), and removes
// the Setup key.
void RemoveSetupRecord(const std::string& printer);

// Switches the monitor's trace log on (HKLM Debug value J_RIC = 1), remembering when it
// was off before so that the last uninstall switches it off again. For a package
// (byPackage), a trace log that does not exist yet is the package's: it goes with the last
// printer.
bool SwitchTraceOn(bool byPackage, UndoLog* undo, std::string* error);
// true when zetsetup switched the trace log on (and the last uninstall switches it off).
bool TraceSwitchedOnBySetup();

// What the driver key says about an installed driver.
struct DriverInfo {
    std::string model;
    std::string installDir; // without a trailing backslash
    std::string profile;
    bool addedSpoolerDriver = false;
};
// false when the driver has no key or the key has no ModelID.
bool ReadDriverInfo(const std::string& driver, DriverInfo* info);

void RemoveDriverKey(const std::string& driver);
void RemoveProfileValue(const std::string& model);
// Removes the model's section from the profile INI file.
void RemoveModelSection(const std::string& profile, const std::string& model);

// The per-user targets of the printer (HKCU printer list entries whose Name is the printer).
void RemoveUserTargets(const std::string& printer);
// Sets TrayIconEnable = 1 in the printer's target when it has one (undoable); a printer
// without a target gets one with the profile's defaults at the monitor's next start.
bool EnableUserTarget(const std::string& printer, UndoLog* undo, std::string* error);
