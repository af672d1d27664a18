// What the kit's windows show of a printer: its identity as the monitor hands it over, and
// the spooler's view of it (driver, port, status, jobs).
#pragma once

#include <windows.h>

#include <stddef.h>

#include "strutil.h" // ZT_TEXT

class CCmdInfo;

// The four names of one printer. The key is the printer name, or the port name for a
// printer known only by its port.
struct PrinterIdentity {
    char printer[ZT_TEXT];
    char port[ZT_TEXT];
    char driver[ZT_TEXT];
    char model[ZT_TEXT];
};

// Copies the four names out of a parsed command line.
void IdentityFromCmdInfo(const CCmdInfo& info, PrinterIdentity* out);
// The printer name, else the port name ("" when both are empty).
const char* IdentityKey(const PrinterIdentity& identity);
// 1 when the key is the port name (the printer name is empty and the port name is not).
int IdentityUsesPort(const PrinterIdentity& identity);

// Room for a window title: a prefix and a 259-character printer key.
constexpr size_t KIT_TITLE_SIZE = 320;
// `prefix` followed by the printer key, e.g. "Printer Status - Laser A".
void FormatKitTitle(const char* prefix, const PrinterIdentity& identity, char* out, size_t size);

// The spooler's level-2 information that the Printer Status window shows.
struct PrinterState {
    char driver[ZT_TEXT]; // "" when the spooler gives none (or a longer one)
    char port[ZT_TEXT];
    DWORD status;     // PRINTER_STATUS_* flags
    DWORD attributes; // PRINTER_ATTRIBUTE_* flags
    DWORD jobs;       // jobs in the queue
};

// Reads the printer's state from the spooler. ERROR_SUCCESS, or the Win32 error of the
// open or the read (ERROR_INVALID_PRINTER_NAME for an empty name); *out is all zero then.
DWORD QueryPrinterState(const char* printerName, PrinterState* out);

// The status in words, e.g. "Ready", "Paused, Error", "Offline": each known flag of
// `status` as a word in the order of the flags' values, "Offline" also for a printer set
// to work offline, and the unknown flags as one "Other (0x...)". Bounded to `size`; returns
// 1 when the whole text fit.
int PrinterStatusText(DWORD status, DWORD attributes, char* out, size_t size);
