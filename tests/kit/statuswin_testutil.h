// Helpers of the kit's window tests: top-level windows found by their titles, the texts of
// their controls, the processes behind them, and a tray monitor run for a test's printer.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "driverkit.h"
#include "instance_check.h"
#include "testsupport.h"

namespace zt {

const DWORD kWindowTimeoutMs = 20000;
const DWORD kExitTimeoutMs = 20000;

inline std::string WindowTitle(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

inline DWORD WindowPid(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

struct TitleSearch {
    const std::string* title;
    DWORD pid;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectTitled(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TitleSearch*>(param);
    if (WindowTitle(window) == *search->title && (!search->pid || WindowPid(window) == search->pid))
        search->found.push_back(window);
    return TRUE;
}

// Top-level windows with exactly this title; with `pid` non-zero, of that process only.
inline std::vector<HWND> WindowsTitled(const std::string& title, DWORD pid = 0)
{
    TitleSearch search{&title, pid, {}};
    EnumWindows(CollectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A visible window with this title that appears within the timeout, or null.
inline HWND WaitForWindowTitled(const std::string& title, DWORD pid = 0, DWORD timeoutMs = kWindowTimeoutMs)
{
    HWND window = nullptr;
    WaitFor(
        [&] {
            window = nullptr;
            // Shown only once its controls exist.
            for (HWND found : WindowsTitled(title, pid)) {
                if (IsWindowVisible(found))
                    window = found;
            }
            return window != nullptr;
        },
        timeoutMs);
    return window;
}

inline std::string ItemText(HWND window, UINT id)
{
    HWND item = GetDlgItem(window, static_cast<int>(id));
    return item ? WindowTitle(item) : std::string("<no control>");
}

// The item's text once it reads `text` (the window fills its printer's state in when its
// worker has read it), else what it reads after a few seconds.
inline std::string ItemTextOnce(HWND window, UINT id, const std::string& text)
{
    std::string now;
    WaitFor([&] { return (now = ItemText(window, id)) == text; }, 5000);
    return now;
}

inline bool IsChecked(HWND window, UINT id)
{
    return SendMessageA(GetDlgItem(window, static_cast<int>(id)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A button pressed as by a mouse click; returns once the window has handled it.
inline void Click(HWND window, UINT id)
{
    SendMessageA(GetDlgItem(window, static_cast<int>(id)), BM_CLICK, 0, 0);
}

// Ids of the running processes whose executable has this file name (any case).
inline std::vector<DWORD> ProcessesNamed(const std::string& exeName)
{
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, exeName.c_str()) == 0)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

// Closes a window of another process with WM_CLOSE and waits for that process to end;
// kills it as a last resort. True when it ended by itself.
inline bool CloseWindowProcess(HWND window, DWORD timeoutMs = kExitTimeoutMs)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, WindowPid(window));
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!process)
        return false;
    bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process, 1);
    CloseHandle(process);
    return ended;
}

// At the end of its scope, closes every window that then carries one of the titles.
class WindowsCloser {
public:
    explicit WindowsCloser(std::vector<std::string> titles) : m_titles(std::move(titles)) {}
    ~WindowsCloser()
    {
        for (const std::string& title : m_titles) {
            for (HWND window : WindowsTitled(title))
                CloseWindowProcess(window);
        }
    }
    WindowsCloser(const WindowsCloser&) = delete;
    WindowsCloser& operator=(const WindowsCloser&) = delete;

private:
    std::vector<std::string> m_titles;
};

// The tray monitor run for the kit's printer (started as from the Run key, with the short
// start-up delay), closed with WM_CLOSE at the end of the scope, killed as a last resort.
class RunningMonitor {
public:
    explicit RunningMonitor(const TestDriverKit& kit, const std::vector<std::string>* env = nullptr)
        : m_printer(kit.Printer())
    {
        if (m_process.Start(BinPath("zettray.exe"), "/P \"" + m_printer + "\" /EF \"HKCU\"", env))
            WaitFor([&] { return (m_window = FindWindow()) != nullptr || !m_process.Running(); }, kWindowTimeoutMs);
    }
    ~RunningMonitor()
    {
        if (!m_process.Running())
            return;
        if (m_window)
            PostMessageA(m_window, WM_CLOSE, 0, 0);
        if (!m_process.Wait(kExitTimeoutMs))
            m_process.Kill();
    }
    RunningMonitor(const RunningMonitor&) = delete;
    RunningMonitor& operator=(const RunningMonitor&) = delete;

    HWND Window() const { return m_window; }
    ChildProcess& Process() { return m_process; }
    // The monitor's window of the printer, as other programs find it.
    HWND FindWindow() const { return FindRunningWindow(m_printer.c_str(), "", INSTANCE_KIND_MONITOR); }
    // A menu command, returning once the monitor has handled it (and started its program).
    bool Command(UINT id) const
    {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(m_window, WM_COMMAND, id, 0, SMTO_NORMAL, kWindowTimeoutMs, &result) != 0;
    }

private:
    std::string m_printer;
    ChildProcess m_process;
    HWND m_window = nullptr;
};

} // namespace zt
