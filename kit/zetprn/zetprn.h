// The sample printer library of a driver: writes the tray defaults of a new printer target.
//
// PrSetRegDefaultValue (stdcall, exported by its plain name; type PrSetRegDefaultValueProc in
// targets.h) finds the target by its "Name": in the printer list by printer name, or in the
// port list by port name when the printer name is empty and the port name is not. It writes
// "TrayIconEnable" and "TrayIconSelected" (REG_DWORD) where the target lacks them, so a
// target's existing settings are kept. The values come from the model's section of the
// driver's profile INI file (keys of the same names) when the driver and model lead to one,
// else they are 1 (shown) and 0 (first icon).
#pragma once

#include <windows.h>

#define ZETPRN_OK 0
#define ZETPRN_NO_TARGET 1    // no target of that name, or the list is missing
#define ZETPRN_WRITE_FAILED 2 // the target could not be opened or written

extern "C" int WINAPI PrSetRegDefaultValue(const char* printerName, const char* driverName, const char* portName,
                                           const char* modelId, DWORD reserved1, DWORD reserved2, DWORD reserved3);
