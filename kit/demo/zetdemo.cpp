// The demo's driver. Started inside a Wine virtual desktop, it installs a sample printer
// with zetsetup, opens the monitor's popup menu the way the shell does, opens the Printer
// Status window, and uninstalls again. Between the steps it asks the script outside Wine
// for a screenshot: it creates <work>\shotN.request and waits for <work>\shotN.done.
//
//   zetdemo --printer NAME --setup PATH\zetsetup.exe --work DIR
//
// It writes its progress to <work>\demo.log, the installer's output to install.txt and
// uninstall.txt, and at its end <work>\finished with its exit code.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "mainframe.h"
#include "setup_monitor.h"

namespace {

constexpr DWORD kSetupTimeoutMs = 120000;
constexpr DWORD kShotTimeoutMs = 60000;
constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kPaintDelayMs = 1500;
#define MENU_WINDOW_CLASS "#32768"

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
// would open: the menu (about 180 pixels wide) then leaves the tray icon in sight.
constexpr int kPointerLeftOfTrayEnd = 240;

void PointAtTray()
{
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar)
        GetWindowRect(taskbar, &rect);
    else
        rect.top = rect.bottom - 30;
    SetCursorPos(rect.right - kPointerLeftOfTrayEnd, rect.top + (rect.bottom - rect.top) / 2);
}

int Demo(const std::string& printer, const std::string& setup)
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
    PointAtTray();
    PostMessageA(monitor, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    if (!Poll([] { return VisibleMenu() != nullptr; }, kWindowTimeoutMs)) {
        Log("the menu did not open");
        result = 1;
    }
    if (!Screenshot(1, "the tray icon with its open menu"))
        result = 1;
    PostMessageA(monitor, WM_CANCELMODE, 0, 0);
    Poll([] { return VisibleMenu() == nullptr; }, kWindowTimeoutMs);

    Log("opening the Printer Status window");
    const std::string title = "Printer Status - " + printer;
    PostMessageA(monitor, WM_COMMAND, ID_PRINTER_STATUS, 0);
    HWND status = nullptr;
    if (!Poll([&] { return (status = FindWindowA(nullptr, title.c_str())) != nullptr && IsWindowVisible(status); },
              kWindowTimeoutMs)) {
        Log("no window \"" + title + "\" appeared");
        result = 1;
    }
    if (!Screenshot(2, "the Printer Status window"))
        result = 1;
    if (status)
        PostMessageA(status, WM_CLOSE, 0, 0);

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
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--printer"))
            printer = argv[i + 1];
        else if (!strcmp(argv[i], "--setup"))
            setup = argv[i + 1];
        else if (!strcmp(argv[i], "--work"))
            g_work = argv[i + 1];
    }
    if (printer.empty() || setup.empty() || g_work.empty()) {
        fprintf(stderr, "usage: zetdemo --printer NAME --setup PATH\\zetsetup.exe --work DIR\n");
        return 2;
    }
    int result = Demo(printer, setup);
    Log(result == 0 ? "done" : "failed");
    Touch(g_work + "\\finished", std::to_string(result));
    return result;
}
