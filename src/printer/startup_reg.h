// The monitor's start-up entries: values under the Windows Run keys whose name is the printer
// name (or the port name when the printer name is empty) and whose data is the command line
// that starts the monitor, for example
//     "C:\Program Files\x\zettray.exe" /P "Laser A" /EF "HKCU" /A "C:\x\J_R12.tmp"
#pragma once

#include <windows.h>

// Under HKCU and under HKLM.
#define RUN_KEY_PATH "software\\Microsoft\\Windows\\CurrentVersion\\Run"

// Removes at most one value from the HKCU Run key (HKLM is never touched): the value named
// valueName when it is non-empty; otherwise the first value (in enumeration order) whose
// data attaches the file `text` with /A: the last quoted text of the data follows an "/A"
// option (as RemoveRunEntry reads it) and equals `text` whole, letter case ignored. A value
// whose data merely contains the text (another printer's "C:\x\run.tmp" for "run.tmp")
// is never removed. With an empty name and an empty or null text nothing is removed.
// Values whose data is over 259 characters are never matched. Writes the trace line
// "DeleteStartupReg".
void DeleteStartupReg(const char* valueName, const char* text);

// Removes the value valueName from an open Run key (opened with KEY_ALL_ACCESS by the
// caller, which also closes it), and the parameter file that the value's data names with
// /A. A file is deleted only when the LAST quoted text of the data follows an "/A" option
// (any letter case, nothing but blanks between "/A" and the opening quote), and exactly that
// text is the path deleted; a program path that is the only quoted text is never deleted.
// Data over 259 characters is not read (no file is deleted). The value itself is removed in
// every case; an empty or null valueName removes nothing (it would be the key's default).
void RemoveRunEntry(HKEY runKey, const char* valueName);

// Removes the value valueName, and the parameter file it attaches with /A, from the Run
// key of HKCU and from that of HKLM in both registry views (an installer of either kind may
// have written it, and Windows runs the entries of both at log-on).
void RemoveStartupEntries(const char* valueName);

// The deleted-printer check of a monitor, with its trace lines: asks the spooler for the
// printer (or, for an empty printer name, its port); when the spooler says that it is gone,
// the start-up entries named after it are removed (RemoveStartupEntries). 1 present or out
// of reach; 0 gone. *presence (optional) receives PRESENCE_*.
int CheckPrinterDeleted(const char* printerName, const char* portName, int* presence = nullptr);
