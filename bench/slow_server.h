// The monitor of a printer on a print server that takes SLOW_SERVER_DELAY_MS for every
// spooler call (slow_server.cpp), part of `make bench`.
#pragma once

#include "driverkit.h"

// Starts the slow-spooler monitor for a new printer of the kit's driver and, for `seconds`
// once it runs, measures how fast its window answers a sent message and its menu opens.
// Prints the figures; 0 when they were taken.
int SlowServerFigure(const zt::TestDriverKit& kit, int seconds);
