// The slow printers of the benchmark's monitor (slow_printer.cpp).
#pragma once

// Printers on a print server that takes this long to open one: a connection, an RPC
// time-out.
#define SLOW_PRINTER_PREFIX "ztslow"
#define SLOW_PRINTER_DELAY_MS 10000
// Printers on a print server that takes this long for every call.
#define SLOW_SERVER_PREFIX "ztserver"
#define SLOW_SERVER_DELAY_MS 4000
// The copy of the monitor whose spooler is slow for those printers (test-bin).
#define SLOW_MONITOR_EXE "zt_slowspool.exe"
