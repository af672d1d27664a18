#include "setup_monitor.h"

#include <string.h>

#include <algorithm>

#include <set>
#include <vector>

#include "close_request.h"
#include "instance_check.h"
#include "instance_table.h"
#include "scoped.h"
#include "setup_files.h"

namespace {

constexpr DWORD kPollMs = 100;

std::string FolderOf(const std::string& path)
{
    size_t slash = LastSeparator(path);
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// Starts the program in its own folder; with `output`, its standard handles are that file.
bool Start(const std::string& program, const std::string& commandLine, PROCESS_INFORMATION* pi,
           HANDLE output = nullptr)
{
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output;
        si.hStdError = output;
    }
    memset(pi, 0, sizeof(*pi));
    const std::string folder = FolderOf(program);
    if (!CreateProcessA(program.c_str(), text.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, pi))
        return false;
    CloseHandle(pi->hThread);
    return true;
}

// The class of the monitor's hidden window.
const char kMonitorWindowClass[] = "TrayIconWClass";
// WaitForMultipleObjects takes at most this many handles at once.
constexpr size_t kWaitMax = MAXIMUM_WAIT_OBJECTS;

struct CloseAsk {
    const std::vector<DWORD>* ids;
    const std::set<DWORD>* asked;
    std::set<DWORD> now;
};

BOOL CALLBACK AskWindowToClose(HWND window, LPARAM param)
{
    auto* ask = reinterpret_cast<CloseAsk*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (std::find(ask->ids->begin(), ask->ids->end(), pid) == ask->ids->end() || ask->asked->count(pid) ||
        GetWindow(window, GW_OWNER))
        return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (IsWindowVisible(window) || strcmp(cls, kMonitorWindowClass) == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        ask->now.insert(pid);
    }
    return TRUE;
}

// Posts WM_CLOSE to the visible top-level windows (and the monitor's hidden one) of the
// processes, once per process.
void AskWindowsToClose(const std::vector<DWORD>& ids, std::set<DWORD>* asked)
{
    CloseAsk ask{&ids, asked, {}};
    EnumWindows(AskWindowToClose, reinterpret_cast<LPARAM>(&ask));
    asked->insert(ask.now.begin(), ask.now.end());
}

template <typename Pred> bool Poll(Pred pred, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        Sleep(kPollMs);
    }
    return true;
}

} // namespace

HWND FindMonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

bool StartProgram(const std::string& program, const std::string& commandLine, std::string* error)
{
    PROCESS_INFORMATION pi;
    if (!Start(program, commandLine, &pi)) {
        *error = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(pi.hProcess);
    return true;
}

bool RunProgram(const std::string& program, const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode,
                const std::string& outputPath)
{
    ScopedHandle output;
    if (!outputPath.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output.Reset(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output.IsValid())
            return false;
    }
    PROCESS_INFORMATION pi;
    const bool started = Start(program, commandLine, &pi, output.IsValid() ? output.Get() : nullptr);
    output.Close(); // the child holds its own copy
    if (!started)
        return false;
    ScopedHandle process(pi.hProcess);
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), timeoutMs);
        return false;
    }
    return GetExitCodeProcess(process.Get(), exitCode) != FALSE;
}

bool WaitForMonitor(const std::string& printer, DWORD timeoutMs)
{
    return Poll([&] { return FindMonitorWindow(printer) != nullptr; }, timeoutMs);
}

bool WaitForMonitorGone(const std::string& printer, DWORD timeoutMs)
{
    return Poll([&] { return FindMonitorWindow(printer) == nullptr; }, timeoutMs);
}

HANDLE OpenMonitorProcess(HWND window)
{
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(window, &pid) || pid == 0)
        return nullptr;
    return OpenProcess(SYNCHRONIZE, FALSE, pid);
}

bool WaitForMonitorEnd(HANDLE process, const std::string& printer, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    if (!WaitForMonitorGone(printer, timeoutMs))
        return false;
    if (!process)
        return true;
    const DWORD spent = GetTickCount() - start;
    return WaitForSingleObject(process, spent < timeoutMs ? timeoutMs - spent : 0) == WAIT_OBJECT_0;
}

bool CloseMonitor(const std::string& printer)
{
    HWND window = FindMonitorWindow(printer);
    if (!window)
        return true;
    ScopedHandle process(OpenMonitorProcess(window));
    PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitForMonitorEnd(process.Get(), printer, MONITOR_CLOSE_TIMEOUT_MS);
}

bool CloseFolderPrograms(const std::string& folder, DWORD timeoutMs, RaisedCloseRequest* request)
{
    const DWORD start = GetTickCount();
    std::set<DWORD> asked;
    for (;;) {
        // Raised again each round: for programs that started meanwhile.
        std::vector<FolderProgram> programs = FolderPrograms(folder.c_str());
        request->Raise(folder.c_str(), programs);
        if (programs.empty())
            return true;
        std::vector<DWORD> ids;
        std::vector<HANDLE> processes;
        for (const FolderProgram& program : programs) {
            ids.push_back(program.pid);
            processes.push_back(program.process);
        }
        AskWindowsToClose(ids, &asked);
        const DWORD spent = GetTickCount() - start;
        if (spent < timeoutMs) {
            const DWORD count = static_cast<DWORD>(processes.size() < kWaitMax ? processes.size() : kWaitMax);
            WaitForMultipleObjects(count, processes.data(), TRUE, std::min<DWORD>(timeoutMs - spent, kPollMs * 5));
        }
        for (HANDLE process : processes)
            CloseHandle(process);
        if (GetTickCount() - start >= timeoutMs) {
            std::vector<FolderProgram> left = FolderPrograms(folder.c_str());
            for (const FolderProgram& program : left)
                CloseHandle(program.process);
            return left.empty();
        }
    }
}
