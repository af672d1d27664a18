// Display scale: the DPI that the screen, a window or a point of the screen is shown at,
// and sizes given for 100 % (96 DPI) in pixels at another scale. What only newer systems
// have (a DPI per monitor) is looked up at run time; without it the system's DPI holds for
// every window.
#pragma once

#include <windows.h>

// The DPI of 100 % display scale, for which sizes in pixels are given.
constexpr UINT DPI_100_PERCENT = 96;

// `pixels` at 100 % scaled to `dpi`, rounded to the nearest pixel (a DPI of 0 counts as
// 100 %).
int ScaleForDpi(int pixels, UINT dpi);

// The system's DPI: the screen's logical pixels per inch; 96 when it cannot be read.
UINT SystemDpi();
// The DPI of the monitor that shows `window`, or the system's.
UINT WindowDpi(HWND window);
// The DPI of the monitor at a point of the screen (where a popup menu opens), or the
// system's.
UINT DpiAtPoint(POINT point);

// A system metric (SM_...) at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);

// Fonts of the system's non-client metrics.
enum NonClientFont { NC_FONT_MENU, NC_FONT_MESSAGE };
// The system's font of that kind, its height scaled to `dpi`. False when the system's
// metrics cannot be read (`font` is then unchanged).
bool NonClientFontForDpi(NonClientFont which, UINT dpi, LOGFONTA* font);
