#include "display_scale.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND window);
typedef int(WINAPI* GetSystemMetricsForDpiFn)(int index, UINT dpi);
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR monitor, int kind, UINT* dpiX, UINT* dpiY);
const int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI: the scale the user chose for the monitor

// An export of a module looked up by name (null when the module or the export is missing).
template <typename Fn> Fn Export(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

HMODULE User32()
{
    return GetModuleHandleA("user32.dll");
}

} // namespace

int ScaleForDpi(int pixels, UINT dpi)
{
    if (dpi == 0)
        return pixels;
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(DPI_100_PERCENT));
}

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return DPI_100_PERCENT;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DPI_100_PERCENT;
}

UINT WindowDpi(HWND window)
{
    auto forWindow = Export<GetDpiForWindowFn>(User32(), "GetDpiForWindow");
    UINT dpi = (forWindow && window) ? forWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

UINT DpiAtPoint(POINT point)
{
    UINT dpiX = 0;
    UINT dpiY = 0;
    HMONITOR monitor = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    // Only from the system folder: a library of that name beside the program is not ours.
    HMODULE shcore = LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto forMonitor = Export<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    if (!forMonitor || !monitor || FAILED(forMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)))
        dpiY = 0;
    if (shcore)
        FreeLibrary(shcore);
    return dpiY ? dpiY : SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi)
{
    UINT system = SystemDpi();
    if (dpi == 0 || dpi == system)
        return GetSystemMetrics(index);
    auto forDpi = Export<GetSystemMetricsForDpiFn>(User32(), "GetSystemMetricsForDpi");
    if (forDpi)
        return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system));
}

bool NonClientFontForDpi(NonClientFont which, UINT dpi, LOGFONTA* font)
{
    if (!font)
        return false;
    NONCLIENTMETRICSA metrics;
    ZeroMemory(&metrics, sizeof(metrics));
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    *font = which == NC_FONT_MENU ? metrics.lfMenuFont : metrics.lfMessageFont;
    // The system's metrics are at the system's DPI.
    UINT system = SystemDpi();
    if (dpi != 0 && dpi != system)
        font->lfHeight = MulDiv(font->lfHeight, static_cast<int>(dpi), static_cast<int>(system));
    return true;
}
