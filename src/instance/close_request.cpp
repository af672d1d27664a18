#include "close_request.h"

#include <stdio.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "name_hash.h"
#include "program_folder.h"
#include "scoped.h"
#include "shared_access.h"
#include "strutil.h"
#include "trace.h"

namespace {

// The program file of a monitor.
const char kMonitorExe[] = "zettray.exe";
// What a monitor asks of its request: to wait for it (and to read its owner).
constexpr DWORD kWatchAccess = SYNCHRONIZE | READ_CONTROL;

void CALLBACK OnCloseRequest(void* context, BOOLEAN)
{
    PostMessageA(static_cast<HWND>(context), WM_CLOSE, 0, 0);
}

// A running monitor of the folder, opened for waiting, with its user.
struct FolderMonitor {
    HANDLE process;
    DWORD pid;
    std::string sid;
};

// The running monitors whose program is `folder`\zettray.exe.
std::vector<FolderMonitor> MonitorProcessesOf(const char* folder)
{
    std::vector<FolderMonitor> found;
    const std::string expected = std::string(folder) + "\\" + kMonitorExe;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return found;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || !SameName(entry.szExeFile, kMonitorExe))
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        char image[MAX_PATH * 2] = "";
        DWORD size = sizeof(image);
        std::string sid;
        if (QueryFullProcessImageNameA(process, 0, image, &size) && SameName(image, expected.c_str())) {
            ProcessUserSid(process, &sid);
            found.push_back({process, entry.th32ProcessID, sid});
        } else {
            CloseHandle(process);
        }
    }
    return found;
}

// Sets the request `name` when it exists; the handle to reset it with, or null.
HANDLE SetRequest(const char* name)
{
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event)
        SetEvent(event);
    return event;
}

} // namespace

bool CloseRequestName(const char* folder, const char* sid, DWORD pid, char* name, size_t size)
{
    const unsigned long hash = NameHash(folder);
    if (!sid)
        return SafeFormat(name, size, "Global\\ZetV3Close.%08lx", hash) != 0;
    if (pid == 0)
        return SafeFormat(name, size, "Global\\ZetV3Close.%08lx.%s", hash, sid) != 0;
    return SafeFormat(name, size, "Global\\ZetV3Close.%08lx.%s.%lu", hash, sid, static_cast<unsigned long>(pid)) !=
           0;
}

bool WatchCloseRequest(HWND window, CloseRequestWatch* watch)
{
    char folder[MAX_PATH], name[MAX_PATH];
    const CUserObjects user;
    if (!window || user.Sid().empty() || !ProgramFolder(folder, sizeof(folder)) ||
        !CloseRequestName(folder, user.Sid().c_str(), 0, name, sizeof(name)))
        return false;
    watch->hEvent = user.Open(CUserObjects::Event, name, kWatchAccess, true);
    if (!watch->hEvent) {
        // Another account took the user's name first: set or not, it is not the installer's.
        TraceStr("WatchCloseRequest : not the user's, watching the process's own instead", name);
        if (CloseRequestName(folder, user.Sid().c_str(), GetCurrentProcessId(), name, sizeof(name)))
            watch->hEvent = user.Open(CUserObjects::Event, name, kWatchAccess, true);
    }
    if (!watch->hEvent)
        return false;
    if (!RegisterWaitForSingleObject(&watch->hWait, watch->hEvent, OnCloseRequest, window, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        watch->hWait = nullptr;
        StopWatchingCloseRequest(watch);
        return false;
    }
    return true;
}

void StopWatchingCloseRequest(CloseRequestWatch* watch)
{
    if (watch->hWait) {
        UnregisterWaitEx(watch->hWait, INVALID_HANDLE_VALUE);
        watch->hWait = nullptr;
    }
    if (watch->hEvent) {
        CloseHandle(watch->hEvent);
        watch->hEvent = nullptr;
    }
}

bool CloseMonitorsOfFolder(const char* folder, DWORD timeoutMs)
{
    const std::vector<FolderMonitor> monitors = MonitorProcessesOf(folder);
    // Each monitor's user's request, its own, and the folder's request of earlier versions;
    // a request is only opened, never made: a name that cannot be opened is no answer.
    std::vector<HANDLE> set;
    char name[MAX_PATH];
    if (CloseRequestName(folder, nullptr, 0, name, sizeof(name)))
        set.push_back(SetRequest(name));
    for (const FolderMonitor& monitor : monitors) {
        for (DWORD pid : {static_cast<DWORD>(0), monitor.pid}) {
            if (!monitor.sid.empty() && CloseRequestName(folder, monitor.sid.c_str(), pid, name, sizeof(name)))
                set.push_back(SetRequest(name));
        }
    }
    // Every monitor of the folder is waited for, whatever could be set.
    const DWORD start = GetTickCount();
    bool allEnded = true;
    for (const FolderMonitor& monitor : monitors) {
        const DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(monitor.process, spent < timeoutMs ? timeoutMs - spent : 0) != WAIT_OBJECT_0)
            allEnded = false;
        CloseHandle(monitor.process);
    }
    // Monitors started from now on run again.
    for (HANDLE event : set) {
        if (event) {
            ResetEvent(event);
            CloseHandle(event);
        }
    }
    return allEnded;
}
