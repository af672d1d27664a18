// Printer access: the one way the program opens a printer, and small spooler queries.
#pragma once

#include <windows.h>
#include <winspool.h>

// Opens a printer by its ANSI name; on the NT family, when the ANSI open gives no handle,
// retries with the wide-character open (only the desired access of `defaults` is carried
// over). Returns the result of the last attempt made; the caller closes *outHandle with
// ClosePrinter when it is non-null.
BOOL OV_OpenPrinter(const char* printerName, HANDLE* outHandle, PRINTER_DEFAULTSA* defaults);

// 1 when the platform is of the NT family (GetVersionExA reports VER_PLATFORM_WIN32_NT).
int IsWinNT();
