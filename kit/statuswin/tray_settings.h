// The tray settings of one printer as the monitor reads them: TrayIconSelected (the image,
// 0 to 2) and TrayIconEnable (0: no monitor for this printer) in the printer's per-user
// target, and the running monitor that is told about a change.
#pragma once

#include <windows.h>

#include "printer_state.h"
#include "targets.h"

#define TRAY_ICON_SELECTED_VALUE TARGET_TRAY_SELECTED
#define TRAY_ICON_ENABLE_VALUE TARGET_TRAY_ENABLE
constexpr int TRAY_IMAGE_COUNT = 3;       // images 0, 1, 2
constexpr UINT TRAY_IMAGE_FIRST_ID = 700; // their icons in the resource library: 700 to 702

// What to leave unchanged in WriteTraySettings.
constexpr int TRAY_KEEP = -1;

struct TraySettings {
    DWORD selected;
    DWORD enable;
};

// The printer's target path (for the port list when the identity's key is its port). A
// printer without a target gets one now, made as the monitor makes it at its start: the
// stale targets swept, a new one created and the driver's printer library asked for its
// default values. A printer name that the spooler cannot open gets none (the next sweep
// would remove it again). 1 when outPath (ZT_TEXT bytes) holds a path, else 0 ("").
int FindOrCreateTarget(const PrinterIdentity& identity, char* outPath);

// Reads both settings; a missing value (or one over 4 bytes) reads as 0, as the monitor
// reads it (so a target without TrayIconEnable counts as switched off). 1 when the target
// opened, else 0 (both 0).
int ReadTraySettings(const char* targetPath, TraySettings* out);

// Writes TrayIconSelected and TrayIconEnable as REG_DWORD, each unless it is TRAY_KEEP (or
// negative). 1 when the target opened and every write succeeded, else 0.
int WriteTraySettings(const char* targetPath, int selected, int enable);

// Writes the two state switches (TARGET_STATE_SHOW, TARGET_STATE_NOTIFY; 1 on, 0 off), each
// unless it is TRAY_KEEP. 1 when the target opened and every write succeeded.
int WriteStateSwitches(const char* targetPath, int show, int notify);

// Tells the printer's running monitor (its live kind-3 window of the monitor's class)
// about a change: WM_REFRESHICON to show the image now selected, or WM_CLOSE when the icon
// was switched off. The window posted to, or null when no monitor runs for the printer.
HWND NotifyMonitor(const PrinterIdentity& identity, bool close);
