// What the kit's windows show of a printer: its identity as the monitor hands it over, and
// its status in words (the monitor's watch reads the spooler: printer_watch.h).
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

// The status in words, e.g. "Ready", "Paused, Error", "Offline": each known flag of
// `status` as a word in the order of the flags' values, "Offline" also for a printer set
// to work offline, and the unknown flags as one "Other (0x...)". Bounded to `size`; returns
// 1 when the whole text fit.
int PrinterStatusText(DWORD status, DWORD attributes, char* out, size_t size);
