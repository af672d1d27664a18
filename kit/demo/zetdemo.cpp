// The demo's driver. Started inside a Wine virtual desktop, it installs a sample printer
// with zetsetup, opens the monitor's popup menu the way the shell does, opens the Printer
// Status and Monitoring Preferences windows and the first sample tool, and uninstalls
// again. Between the steps it asks the script outside Wine for a screenshot: it creates
// <work>\shotN.request and waits for <work>\shotN.done. It also checks on the screen that
// the menu's tool bitmaps are drawn at the display's scale. Last it gives the printer a
// paper-out and offline state and shows the badged icon with its notification and its
// tooltip, and sets the printer ready again. With --brief it shows only the menu and the
// tooltip of a printer out of paper (the run in Japanese shows its words so).
//
//   zetdemo --printer NAME --setup PATH\zetsetup.exe --work DIR [--brief]
//
// It writes its progress to <work>\demo.log, the installer's output to install.txt and
// uninstall.txt, and at its end <work>\finished with its exit code.
#include <windows.h>
#include <winspool.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "display_scale.h"
#include "mainframe.h"
#include "setup_monitor.h"

namespace {

constexpr DWORD kSetupTimeoutMs = 120000;
constexpr DWORD kShotTimeoutMs = 60000;
constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kPaintDelayMs = 1500;
#define MENU_WINDOW_CLASS "#32768"
// The sample tools' bitmaps: 16 pixels square with a plain background (the colour of
// make-images.py) in their first column.
constexpr int kToolBitmapSize = 16;
constexpr COLORREF kToolBitmapBackground = RGB(240, 240, 240);

std::string g_work;

void Log(const std::string& line)
{
    printf("zetdemo: %s\n", line.c_str());
    FILE* file = fopen((g_work + "\\demo.log").c_str(), "a");
    if (file) {
        fprintf(file, "%s\n", line.c_str());
        fclose(file);
    }
}

void Touch(const std::string& path, const std::string& text = "")
{
    FILE* file = fopen(path.c_str(), "w");
    if (file) {
        fputs(text.c_str(), file);
        fclose(file);
    }
}

template <typename Pred> bool Poll(Pred pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

// Runs zetsetup with the arguments, its output going to <work>\<outputName>.
bool RunSetup(const std::string& setup, const std::string& args, const char* outputName, DWORD* code)
{
    return RunProgram(setup, "\"" + setup + "\" " + args, kSetupTimeoutMs, code, g_work + "\\" + outputName);
}

// Asks the script for screenshot n and waits until it is taken.
bool Screenshot(int n, const char* what)
{
    Sleep(kPaintDelayMs);
    const std::string base = g_work + "\\shot" + std::to_string(n);
    Log(std::string("screenshot ") + std::to_string(n) + ": " + what);
    Touch(base + ".request", what);
    return Poll([&] { return GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; },
                kShotTimeoutMs);
}

HWND VisibleMenu()
{
    HWND menu = FindWindowA(MENU_WINDOW_CLASS, nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// The pointer goes to the taskbar left of the notification area, where the shell's menu
// would open: the menu (about 180 pixels wide at 100 %) then leaves the tray icon in sight.
constexpr int kPointerLeftOfTrayEnd = 240;

// Moves the pointer there and waits until the system reports it there: the X server may
// put it back once while the desktop starts. The point it went to.
POINT PointAtTray()
{
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar)
        GetWindowRect(taskbar, &rect);
    else
        rect.top = rect.bottom - 30;
    const POINT target = {rect.right - ScaleForDpi(kPointerLeftOfTrayEnd, SystemDpi()),
                          rect.top + (rect.bottom - rect.top) / 2};
    Poll(
        [&] {
            POINT now = {0, 0};
            SetCursorPos(target.x, target.y);
            return GetCursorPos(&now) && now.x == target.x && now.y == target.y;
        },
        kWindowTimeoutMs);
    return target;
}

// Opens the tray icon's menu as the shell does, at the pointer left of the notification
// area; tries again when it opened elsewhere. The menu's window, or null.
HWND OpenTrayMenu(HWND monitor)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const POINT target = PointAtTray();
        // The shell's callback for a right-click, with the point where the menu goes.
        PostMessageA(monitor, WM_TRAYNOTIFY, MAKEWPARAM(target.x, target.y), MAKELPARAM(WM_CONTEXTMENU, 0));
        HWND menu = nullptr;
        if (!Poll([&] { return (menu = VisibleMenu()) != nullptr; }, kWindowTimeoutMs))
            return nullptr;
        RECT rect;
        if (GetWindowRect(menu, &rect) && rect.left <= target.x && target.x <= rect.right)
            return menu;
        Log("the menu opened away from the pointer: once more");
        PostMessageA(monitor, WM_CANCELMODE, 0, 0);
        Poll([] { return VisibleMenu() == nullptr; }, kWindowTimeoutMs);
    }
    return nullptr;
}

// The height on the screen of the first tool bitmap in the open menu: the longest run of
// the bitmaps' background colour down the leftmost column that has it. 0 when none shows.
int ToolBitmapHeight(HWND menu)
{
    RECT rect;
    if (!GetWindowRect(menu, &rect))
        return 0;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 0;
    int height = 0;
    int limit = rect.left + ScaleForDpi(3 * kToolBitmapSize, SystemDpi());
    for (int x = rect.left; x < limit && x < rect.right && height == 0; ++x) {
        int run = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            run = GetPixel(screen, x, y) == kToolBitmapBackground ? run + 1 : 0;
            if (run > height)
                height = run;
        }
    }
    ReleaseDC(nullptr, screen);
    return height;
}

// Checks that the tool bitmaps are drawn at the display's scale (16 pixels at 100 %).
bool CheckToolBitmaps(HWND menu)
{
    const UINT dpi = SystemDpi();
    const int expected = ScaleForDpi(kToolBitmapSize, dpi);
    const int seen = ToolBitmapHeight(menu);
    Log("at " + std::to_string(dpi) + " DPI the tool bitmaps are drawn " + std::to_string(seen) +
        " pixels tall (expected " + std::to_string(expected) + ")");
    return seen == expected;
}

// Gives the monitor a menu command that opens a window titled `title`, waits for the
// window, takes screenshot n of it and closes it again.
bool ShowWindowShot(HWND monitor, UINT command, const std::string& title, int n)
{
    Log("opening \"" + title + "\"");
    PostMessageA(monitor, WM_COMMAND, command, 0);
    HWND window = nullptr;
    auto visible = [&] { return (window = FindWindowA(nullptr, title.c_str())) != nullptr && IsWindowVisible(window); };
    bool shown = Poll(visible, kWindowTimeoutMs);
    if (!shown)
        Log("no window \"" + title + "\" appeared");
    bool shot = Screenshot(n, title.c_str());
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return shown && shot;
}

// Makes the spooler report a state for the printer: Wine's spooler reads the status bits
// from the printer's registry key and keeps "work offline" as an attribute.
bool SetPrinterState(const std::string& printer, DWORD status, bool offline)
{
    HKEY key = nullptr;
    std::string path = "System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, "Status", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&status), sizeof(status)) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, &access))
        return false;
    DWORD needed = 0;
    GetPrinterA(handle, 2, nullptr, 0, &needed);
    std::string block(needed, '\0');
    if (needed && GetPrinterA(handle, 2, reinterpret_cast<BYTE*>(&block[0]), needed, &needed)) {
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(&block[0]);
        info->Attributes = offline ? (info->Attributes | PRINTER_ATTRIBUTE_WORK_OFFLINE)
                                   : (info->Attributes & ~PRINTER_ATTRIBUTE_WORK_OFFLINE);
        info->pSecurityDescriptor = nullptr;
        ok = SetPrinterA(handle, 2, reinterpret_cast<BYTE*>(&block[0]), 0) && ok;
    } else {
        ok = false;
    }
    ClosePrinter(handle);
    return ok;
}

struct TipSearch {
    bool balloon;
    const std::string* printer;
    HWND found;
};

BOOL CALLBACK FindTip(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TipSearch*>(param);
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "tooltips_class32") != 0 || !IsWindowVisible(window))
        return TRUE;
    bool isBalloon = (GetWindowLongA(window, GWL_STYLE) & 0x40 /* TTS_BALLOON */) != 0;
    char text[512] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    if (isBalloon != search->balloon || (!search->balloon && !strstr(text, search->printer->c_str())))
        return TRUE;
    search->found = window;
    return FALSE;
}

// A visible tooltip window of the shell: a notification balloon, or a plain tooltip that
// names the printer.
HWND ShownTip(bool balloon, const std::string& printer)
{
    TipSearch search = {balloon, &printer, nullptr};
    EnumWindows(FindTip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Points at the tray icon until its tooltip shows: the icons sit at the right end of the
// taskbar. True when it showed.
bool HoverTrayIcon(const std::string& printer)
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect;
    if (!taskbar || !GetWindowRect(taskbar, &rect))
        return false;
    const int y = rect.top + (rect.bottom - rect.top) / 2;
    const int reach = ScaleForDpi(120, SystemDpi());
    for (int x = rect.right - 3; x > rect.right - reach; x -= 4) {
        SetCursorPos(x, y);
        Sleep(50);
        SetCursorPos(x + 1, y);
        if (Poll([&] { return ShownTip(false, printer) != nullptr; }, 800))
            return true;
    }
    return false;
}

// Points at the icon and takes screenshot n of its tooltip.
bool TooltipShot(const std::string& printer, int n)
{
    bool shown = HoverTrayIcon(printer);
    if (!shown)
        Log("no tooltip appeared over the icon");
    return Screenshot(n, "the icon's tooltip") && shown;
}

// The printer out of paper and offline: the badged icon with its notification after 10 s,
// then its tooltip; screenshots 5 and 6. Brief: out of paper, its tooltip at once;
// screenshot 2.
bool ShowPrinterState(const std::string& printer, bool brief)
{
    Log(brief ? "setting paper out" : "setting paper out and offline");
    if (!SetPrinterState(printer, PRINTER_STATUS_PAPER_OUT, !brief)) {
        Log("the printer's state could not be set");
        return false;
    }
    bool ok = true;
    if (!brief) {
        ok = Poll([&] { return ShownTip(true, printer) != nullptr; }, 25000);
        if (!ok)
            Log("no notification appeared");
        ok = Screenshot(5, "the badged icon with its notification") && ok;
    }
    ok = TooltipShot(printer, brief ? 2 : 6) && ok;
    Log("setting the printer ready again");
    return SetPrinterState(printer, 0, false) && ok;
}

int Demo(const std::string& printer, const std::string& setup, bool brief)
{
    DWORD code = 0;
    Log("installing \"" + printer + "\" with tracing on");
    if (!RunSetup(setup, "install --printer \"" + printer + "\" --trace", "install.txt", &code) || code != 0) {
        Log("zetsetup install failed with exit code " + std::to_string(code));
        return 1;
    }
    HWND monitor = FindMonitorWindow(printer);
    if (!monitor) {
        Log("no monitor window");
        return 1;
    }
    int result = 0;

    Log("opening the tray icon's menu");
    HWND menu = OpenTrayMenu(monitor);
    if (!menu) {
        Log("the menu did not open at the pointer");
        result = 1;
    }
    if (!Screenshot(1, "the tray icon with its open menu"))
        result = 1;
    if (!menu || !CheckToolBitmaps(menu))
        result = 1;
    PostMessageA(monitor, WM_CANCELMODE, 0, 0);
    Poll([] { return VisibleMenu() == nullptr; }, kWindowTimeoutMs);

    if (!brief) {
        if (!ShowWindowShot(monitor, ID_PRINTER_STATUS, "Printer Status - " + printer, 2))
            result = 1;
        if (!ShowWindowShot(monitor, ID_MONITOR_PREFS, "Monitoring Preferences - " + printer, 3))
            result = 1;
        if (!ShowWindowShot(monitor, ID_AUX_FIRST, "Printer Tool - " + printer, 4))
            result = 1;
    }
    if (!ShowPrinterState(printer, brief))
        result = 1;

    Log("uninstalling");
    if (!RunSetup(setup, "uninstall --printer \"" + printer + "\"", "uninstall.txt", &code) || code != 0) {
        Log("zetsetup uninstall failed with exit code " + std::to_string(code));
        result = 1;
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    std::string printer, setup;
    bool brief = false;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--brief"))
            brief = true;
        else if (i + 1 == argc)
            break;
        else if (!strcmp(argv[i], "--printer"))
            printer = argv[++i];
        else if (!strcmp(argv[i], "--setup"))
            setup = argv[++i];
        else if (!strcmp(argv[i], "--work"))
            g_work = argv[++i];
    }
    if (printer.empty() || setup.empty() || g_work.empty()) {
        fprintf(stderr, "usage: zetdemo --printer NAME --setup PATH\\zetsetup.exe --work DIR [--brief]\n");
        return 2;
    }
    int result = Demo(printer, setup, brief);
    Log(result == 0 ? "done" : "failed");
    Touch(g_work + "\\finished", std::to_string(result));
    return result;
}
