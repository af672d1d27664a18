// Which instance table a printer uses, creating and opening it, and the check that keeps
// one running copy per printer key and kind.
//
// The printer key is the printer name, or the port name when the printer name is null or
// empty. Its table is the one named by the "MapFileName" value of the printer's driver
// key (HKLM "software\ORVEL\ZET3\Driver\<driver>"), with the 534-byte layout, when the key
// opens as a printer whose driver key holds that value (the driver key of the 64-bit
// registry view when it holds one, else that of the 32-bit view: one order for programs of
// either kind); otherwise "ZetV3MapFile"
// (274-byte layout) for keys of up to 260 characters and "ZetV3MapFile2" (534-byte
// layout) for longer keys. A port name thus takes a standard table unless a printer of
// that very name exists.
//
// On the NT family a new table carries an access list that lets every account open it
// (LocalSystem, then Everyone, each with access 0xF003F); on the 9x family it has none.
// A table lives as long as any process holds a handle to it: a monitor keeps its
// InstanceTable open while it runs.
//
// Every change of a table made here (the check-and-claim with the creation of a new table,
// the window stored, the slot cleared) runs under the table's lock (table_lock.h); the
// read-only lookup FindRunningWindow takes none.
#pragma once

#include <windows.h>

#include "instance_table.h"

class ScopedMutexLock;

#define MAP_NAME_STD "ZetV3MapFile"
#define MAP_NAME_LONG "ZetV3MapFile2"
// Class of the monitor's hidden window: a kind-3 slot counts as a running monitor only
// when it holds a live window of this class.
#define MONITOR_WINDOW_CLASS "TrayIconWClass"
// What other programs post to a running monitor's window, besides WM_CLOSE: re-read the
// selected tray image (parameters ignored).
constexpr UINT WM_REFRESHICON = WM_USER + 200; // 1224

// The open table that a monitor holds while it runs. Empty: null handles, size 0.
struct InstanceTable {
    HANDLE hMapping;
    DWORD recordSize;      // 274 or 534, the layout the table was opened with
    HANDLE hLock = nullptr; // the table's lock, opened with it; null when it could not be made
};

// Closes the table's handles, if any, and makes it empty. A null pointer is ignored.
void CloseInstanceTable(InstanceTable* table);

// 1 when `key` opens as a printer whose driver key holds a "MapFileName" value: the
// value's text, cut to outSize - 1 characters, is copied into outName and the rest of
// outName is zero-filled. Else 0 and outName is unchanged. The value may be empty. When the
// spooler cannot reach the printer now (any failure but "no such printer"), the driver
// `knownDriver` (optional: the one the caller was started with) stands in for the
// spooler's.
int GetDriverMapName(const char* key, char* outName, int outSize, const char* knownDriver = nullptr);

// Chooses the table name for the key (`portName` when usePort is non-zero, else
// `printerName`) into outName, which must hold 260 bytes, and sets *outFromDriver to 1
// for a driver's name, 0 for a standard one. Returns the name's length: 0 when any
// pointer is null (nothing written) or when the driver's "MapFileName" is empty.
int ChooseMapName(char* outName, const char* printerName, const char* portName, int usePort, int* outFromDriver,
                  const char* knownDriver = nullptr);

// Creates (or opens) the named paging-file mapping of `size` bytes with the access list
// above. Null when the descriptor can't be built or the creation fails. GetLastError()
// afterwards is that of CreateFileMappingA (ERROR_ALREADY_EXISTS for an existing mapping).
HANDLE CreateSecuredMapping(DWORD size, const char* name);

// Create or open a driver table (267000 bytes) or a standard table (500 records of
// GetRecordSize(key) bytes). A table this call created gets its end marker at byte 0.
// Null when the mapping can't be made or its first record can't be mapped.
HANDLE OpenDriverTable(const char* name);
HANDLE OpenStdTable(const char* key, const char* name);

// Looks the printer key up in its table and claims the kind's slot for `value` (a window
// handle or the placeholder -1) when no live window holds it.
// 0: the slot now holds `value`. 1: a live window holds it; it is in *outWindow.
// 2: the table couldn't be named, opened or used (an empty "MapFileName", a full table,
// a lock that cannot be made...).
// *outTable receives the opened table, also with result 2 (the caller closes it); it is
// set empty when no table opened, and left as it was when no name could be chosen.
// A null outTable answers 2 at once. A handle already in *outTable is overwritten, not
// closed: pass an empty table.
// The check runs under the table's lock. With keepLocked, the lock stays held there when a
// table was opened (whatever the answer), so the caller can store its window under the same
// lock; release it before closing the table.
// knownDriver: see GetDriverMapName.
int MultiExecuteCheck(const char* printerName, const char* portName, int kind, HWND value, HWND* outWindow,
                      InstanceTable* outTable, ScopedMutexLock* keepLocked = nullptr,
                      const char* knownDriver = nullptr);

// Stores `window` in the kind's slot of the key's record in the table that
// MultiExecuteCheck opened (the table is not chosen again), under the table's lock. The
// results of SetRecordSlot: 0, 1, -1 (also for a null or empty table) or -2.
int SethWindow(InstanceTable* table, const char* printerName, const char* portName, HWND window, int kind);

// Clears the kind's slot of the key (`portName` when usePort is non-zero, else
// `printerName`) in the held table, in the layout it was opened with. The handle stays
// open. An empty or null table is ignored.
void RemoveOwnRecord(InstanceTable* table, const char* printerName, const char* portName, int kind, int usePort);

// The live window in the kind's slot of the printer key's record, found in the key's
// EXISTING table (same naming rule; a missing table is not created), else null. Adds no
// record and writes no slot.
HWND FindRunningWindow(const char* printerName, const char* portName, int kind);
