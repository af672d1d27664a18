// The slow printer of the stress trials (slow_printer.cpp).
#pragma once

#define SLOW_PRINTER_PREFIX "ztslow"
#define SLOW_PRINTER_DELAY_MS 10000
// The copy of the monitor whose spooler is slow for those printers (test-bin).
#define SLOW_MONITOR_EXE "zt_slowspool.exe"
