// The tray icon's state badge: a small mark in the bottom-right corner of the chosen
// image (a cross for Error, a dash for Offline, pause bars for Paused, an exclamation mark
// for Warning), composed at run time at the image's own size.
#pragma once

#include <windows.h>

#include "printer_status.h"

// 1 when the state shows a badge (Error, Offline, Paused, Warning).
int ConditionHasBadge(PrinterCondition condition);
// Draws the state's badge into size x size pixels of 32-bit BGRA, rows top-down; a state
// without a badge draws nothing.
void DrawStateBadge(DWORD* pixels, int size, PrinterCondition condition);
// A new icon: `base` with the state's badge (the caller destroys it); null when the state
// has no badge or the icon cannot be made.
HICON ComposeStateIcon(HICON base, PrinterCondition condition);
