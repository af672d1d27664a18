#include "slow_server.h"

#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <string>
#include <thread>

#include "instance_check.h"
#include "mainframe.h"
#include "monitor_util.h"
#include "slow_printer.h"
#include "targets.h"
#include "testsupport.h"

namespace {

bool MenuShown(DWORD pid)
{
    HWND menu = zt::FindProcessWindow(pid, "", "#32768");
    return menu && IsWindowVisible(menu);
}

} // namespace

int SlowServerFigure(const zt::TestDriverKit& kit, int seconds)
{
    const std::string printer = zt::UniqueName(SLOW_SERVER_PREFIX);
    if (!zt::AddSpoolerPrinter(printer, "LPT1:", kit.Driver())) {
        fprintf(stderr, "could not add the slow server's printer\n");
        return 1;
    }
    const std::string args = "/P \"" + printer + "\" /D \"" + kit.Driver() + "\" /O \"LPT1:\" /M \"" + kit.Model() +
                             "\" /EF \"HKCU\"";
    // Its target first, from the monitor with the usual spooler: the slow one then starts
    // as at a later log-on.
    {
        zt::MonitorProcess fast;
        HWND window = fast.Start(args) ? fast.WaitWindow(printer) : nullptr;
        if (window)
            PostMessageA(window, WM_CLOSE, 0, 0);
        if (!fast.WaitExit(15000))
            fast.Kill();
    }
    zt::ChildProcess slow;
    DWORD started = GetTickCount();
    HWND window = nullptr;
    if (slow.Start(zt::TestBinDir() + SLOW_MONITOR_EXE, args)) {
        zt::WaitFor([&] { return (window = FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR)) != nullptr; },
                    300000);
        WaitForInputIdle(slow.Handle(), 60000);
    }
    const double startS = (GetTickCount() - started) / 1000.0;
    int result = 1;
    if (window) {
        // Another program sends to the window all along, every 100 ms.
        std::atomic<bool> done{false};
        std::atomic<DWORD> slowest{0};
        std::atomic<int> sent{0}, unanswered{0};
        std::thread sender([&] {
            while (!done) {
                DWORD start = GetTickCount();
                DWORD_PTR answer = 0;
                if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer))
                    ++unanswered;
                DWORD took = GetTickCount() - start;
                if (took > slowest)
                    slowest = took;
                ++sent;
                Sleep(100);
            }
        });
        // Meanwhile the menu is opened every 3 s, and closed again once it shows.
        DWORD slowestMenu = 0;
        int menus = 0, unopened = 0;
        const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            DWORD start = GetTickCount();
            PostMessageA(window, WM_TRAYNOTIFY, MAKEWPARAM(40, 30), MAKELPARAM(WM_CONTEXTMENU, 0));
            if (zt::WaitFor([&] { return MenuShown(slow.Pid()); }, 10000)) {
                DWORD took = GetTickCount() - start;
                slowestMenu = took > slowestMenu ? took : slowestMenu;
                ++menus;
            } else {
                ++unopened;
            }
            PostMessageA(window, WM_CANCELMODE, 0, 0);
            zt::WaitFor([&] { return !MenuShown(slow.Pid()); }, 10000);
            Sleep(3000);
        }
        done = true;
        sender.join();
        printf("\nslow print server: every spooler call %d s; %d s after the start\n", SLOW_SERVER_DELAY_MS / 1000,
               seconds);
        printf("%-44s %8.1f s\n", "start-up, until the window runs", startS);
        printf("%-44s %8lu ms (%d sent, %d unanswered)\n", "window answers WM_NULL, slowest",
               static_cast<unsigned long>(slowest.load()), sent.load(), unanswered.load());
        printf("%-44s %8lu ms (%d opened, %d not within 10 s)\n", "menu opens, slowest",
               static_cast<unsigned long>(slowestMenu), menus, unopened);
        PostMessageA(window, WM_CLOSE, 0, 0);
        result = 0;
    } else {
        fprintf(stderr, "the slow server's monitor did not start (%.0f s)\n", startS);
    }
    if (!slow.Wait(60000))
        slow.Kill();
    zt::DeletePrinterByName(printer);
    zt::RemoveTargetsNamed(printer);
    return result;
}
