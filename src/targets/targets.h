// Printer target store: the per-user registry list of monitored printers.
//
// Two lists under HKCU hold one subkey per target, named "P" and a 16-digit index
// (P0000000000000000, P0000000000000001, ...): the printer list, keyed by printer name, and
// the port list, keyed by port name for printers without a name. A target is identified by
// its "Name" value (compared without regard to case), never by its subkey name. It carries
// "Setting" (0 when created, 255 just before a stale target is deleted), "Timer" (10) and
// the tray settings that the driver's printer library writes through its export
// PrSetRegDefaultValue.
//
// A target path is the HKCU-relative path of a target subkey ("<list>\P...") in a buffer of
// ZT_TEXT (260) bytes. Every function opens and closes its own keys; nothing is cached.
//
// The store is shared by the monitors of every printer, the status-window program and the
// printer library. Its changes (a new subkey with its "Name", the removal of a stale or
// unfinished target) run under the store's own lock (CreateTargetStoreLock), one per user
// for all the user's sessions; no spooler call, library load or export runs under it. The
// sweep judges targets without the lock and removes, under it, only those still as they
// were judged; without the lock it removes nothing. The lookup takes no lock: a target
// found without its tray settings gets the printer library's defaults again.
#pragma once

#include <windows.h>

// The store's lock: "Global\ZetV3TargetStore.<the user's SID>", the user's object (see
// CUserObjects: only the user and LocalSystem reach it); "Local\..." of the same name when
// another account made the global one first; "ZetV3TargetStore" where the system has
// neither namespaces nor SIDs.
#define TARGET_STORE_LOCK_NAME "ZetV3TargetStore"

#define TARGET_PRINTER_LIST "software\\ORVEL\\ZET3\\ZETData\\OVLTarget"
#define TARGET_PORT_LIST "software\\ORVEL\\ZET3\\ZETData\\OVNTarget"

// The tray settings of a target (REG_DWORD values); the driver's profile INI holds their
// defaults under keys of the same names in the model's section.
#define TARGET_TRAY_ENABLE "TrayIconEnable"
#define TARGET_TRAY_SELECTED "TrayIconSelected"
// The printer's state on the icon and its notification, both on unless switched off: a
// target's values, else the same keys of the driver's profile; the values of the policy
// key under HKLM override both.
#define TARGET_STATE_SHOW "TrayIconShowState"
#define TARGET_STATE_NOTIFY "TrayIconNotify"
#define STATE_POLICY_KEY "SOFTWARE\\Policies\\ORVEL\\ZET3"

// The printer library's export that writes a new target's default values. Arguments:
// printer name ("" for a port-list target), driver name as the spooler reports it ("" when
// unknown), port name, model identifier, three zeros. Its result is passed on unchanged.
typedef int(WINAPI* PrSetRegDefaultValueProc)(const char* printerName, const char* driverName,
                                                const char* portName, const char* modelId, DWORD reserved1,
                                                DWORD reserved2, DWORD reserved3);
#define PR_SET_REG_DEFAULT_VALUE "PrSetRegDefaultValue"

// The target of a printer, created when it has none (AddTargetReg). The port list is used
// when the printer name is null or empty and the port name is not (*outPortList = 1, else 0).
// 0 = an existing target was found (outPath written); otherwise AddTargetReg's result.
// startDriverName: see AddTargetReg.
int GetTargetReg(const char* printerName, const char* portName, const char* modelId, int* outPortList,
                 char* outPath, const char* startDriverName = nullptr);

// The first target of the list (0 = printers, 1 = ports) whose "Name" equals key without
// regard to case. 0 = found (outPath written); 1 = not found; 4 = the list key cannot be
// opened. Targets that cannot be opened, whose "Name" cannot be read whole, or whose "Name"
// the ANSI code page cannot hold, are passed over.
int FindTargetReg(const char* key, int portList, char* outPath);

// Has the driver's printer library write the defaults of a new target for the printer (or
// port). The library is found through the driver name that the spooler reports for the
// printer, or, when it reports none (a port-list target has no printer to ask), through
// startDriverName, the driver that the monitor was started with; the name used is the one
// handed to the library. It is loaded and checked first; only then are stale targets swept
// and the target created (or found, when another process made it meanwhile). A target
// created here that the library leaves without TrayIconEnable is removed again (outPath
// then ""), so that the profile's defaults apply. 1 = the target was not created as
// required; 4 = the printer library cannot be loaded; 5 = it lacks PrSetRegDefaultValue
// (no target is made for either); otherwise the library function's own result.
int AddTargetReg(const char* printerName, const char* portName, const char* modelId, int portList,
                 char* outPath, const char* startDriverName = nullptr);

// Claims the lowest free index in the list and writes "Name" = key, "Setting" = 0 and
// "Timer" = 10 into the new subkey; an existing subkey is never reused. 0 = created; 1 =
// created but "Setting" does not read back as 0, or no free index; 2 = "Name" cannot be
// written (the subkey stays, without a name); 3 = a candidate subkey cannot be created or
// opened; 4 = the list key cannot be created or opened. outPath is written only once
// "Name" is written.
int CreateTargetReg(const char* key, int portList, char* outPath);

// Creates or opens the store's lock. Null when it can't be made or is another account's.
HANDLE CreateTargetStoreLock();

// Removes stale targets. A printer-list target is stale when its "Name" is missing, empty
// or unreadable, when its printer no longer opens, or when the printer's level-2
// information lacks a driver or a print processor (unreadable information keeps it, and so
// does a "Name" that the ANSI code page cannot hold, read in wide characters). A
// port-list target is removed only when its "Name" is missing or empty. Each list is
// examined entry by entry as it stood when its sweep began. 0 = both lists swept; -1 = a
// list key cannot be opened (a missing printer list stops the sweep).
int CleanupTargetReg();

// Marks a target "Setting" = 255 and deletes its key tree. 0 = done (whether or not the
// tree went); -1 = the key cannot be opened.
int RemoveTargetReg(const char* path);

// Deletes HKCU\path with its subkeys and values. 0 = done (the key's own deletion is not
// checked); -1 = path is null or empty, or the key or one of its subkeys cannot be opened,
// or a subkey survives its deletion, or a subkey's path does not fit ZT_TEXT bytes; the key
// and what is left in it then stay.
int DeleteRegTree(const char* path);


// A state switch (TARGET_STATE_SHOW or TARGET_STATE_NOTIFY): the target's value (HKCU
// path; "" for none), else the key of the model's section in the profile INI file ("" for
// none), else on; a value of the policy key overrides them all, and *byPolicy (optional)
// tells whether it did. 1 on, 0 off.
int ReadStateSwitch(const char* name, const char* targetPath, const char* profilePath, const char* modelId,
                    int* byPolicy = nullptr);
