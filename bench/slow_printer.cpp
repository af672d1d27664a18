// Built into a copy of the monitor for the slow-printer trials of stress.cpp: the spooler
// takes SLOW_PRINTER_DELAY_MS to open a printer whose name begins with SLOW_PRINTER_PREFIX,
// as a printer on a slow or unreachable print server does (a connection, an RPC time-out).
// Every other printer opens as usual.
#include <windows.h>

#include <string.h>

#include "printer.h"
#include "slow_printer.h"

namespace {

BOOL WINAPI SlowOpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    if (name && _strnicmp(name, SLOW_PRINTER_PREFIX, strlen(SLOW_PRINTER_PREFIX)) == 0)
        Sleep(SLOW_PRINTER_DELAY_MS);
    return OpenPrinterA(name, printer, defaults);
}

// Set before WinMain runs.
struct SlowSpooler {
    SlowSpooler() { g_pfnOpenPrinterA = SlowOpenPrinterA; }
} g_slowSpooler;

} // namespace
