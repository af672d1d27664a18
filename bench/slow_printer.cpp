// Built into a copy of the monitor for the slow-printer trials of stress.cpp and the
// slow-server figure of the benchmark: the spooler takes SLOW_PRINTER_DELAY_MS to open a
// printer whose name begins with SLOW_PRINTER_PREFIX, and SLOW_SERVER_DELAY_MS for every
// call on a printer whose name begins with SLOW_SERVER_PREFIX, as printers on a slow or
// unreachable print server do. Every other printer answers as usual.
#include <windows.h>

#include "fake_spooler.h"
#include "slow_printer.h"

namespace {

// Set before WinMain runs.
struct SlowSpooler {
    SlowSpooler()
    {
        spooler.Fail(SLOW_PRINTER_PREFIX, zt::SPOOL_OPEN, 0, SLOW_PRINTER_DELAY_MS);
        spooler.Fail(SLOW_SERVER_PREFIX, zt::SPOOL_EVERY, 0, SLOW_SERVER_DELAY_MS);
    }
    zt::FakeSpooler spooler;
} g_slowSpooler;

} // namespace
