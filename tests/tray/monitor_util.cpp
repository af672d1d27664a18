#include "monitor_util.h"

#include <stddef.h>
#include <string.h>

#include "instance_check.h"
#include "instance_table.h"
#include "scoped.h"

namespace zt {

HWND MonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

MonitorProcess::~MonitorProcess()
{
    if (m_child.Running()) {
        m_child.Kill();
    }
}

bool MonitorProcess::Start(const std::string& args, const std::vector<std::string>& envChanges)
{
    if (envChanges.empty())
        return m_child.Start(BinPath("zettray.exe"), args);
    std::vector<std::string> env = EnvironmentWith(envChanges);
    return m_child.Start(BinPath("zettray.exe"), args, &env);
}

HWND MonitorProcess::WaitWindow(const std::string& printer, DWORD timeoutMs)
{
    HWND window = nullptr;
    WaitFor(
        [&] {
            window = MonitorWindow(printer);
            DWORD pid = 0;
            if (window)
                GetWindowThreadProcessId(window, &pid);
            return window && pid == m_child.Pid();
        },
        timeoutMs);
    // The window is registered early in the start-up; the monitor runs once it waits for
    // input in its message loop.
    if (window && WaitForInputIdle(m_child.Handle(), timeoutMs) != 0)
        return nullptr;
    return window;
}

MonitorGroup::~MonitorGroup()
{
    for (auto& copy : m_copies)
        copy->Kill();
}

bool MonitorGroup::Start(const std::vector<std::string>& argsList, const std::string& program)
{
    for (const std::string& args : argsList) {
        m_copies.push_back(std::unique_ptr<ChildProcess>(new ChildProcess));
        if (!m_copies.back()->Start(program.empty() ? BinPath("zettray.exe") : program, args, nullptr, true)) {
            m_startError = "error " + std::to_string(GetLastError()) + " after " +
                           std::to_string(m_copies.size() - 1) + " copies";
            for (auto& copy : m_copies)
                copy->Kill();
            m_copies.clear();
            return false;
        }
    }
    for (auto& copy : m_copies)
        copy->Resume();
    return true;
}

bool MonitorGroup::Settle(DWORD timeoutMs)
{
    return WaitFor(
        [&] {
            for (auto& copy : m_copies) {
                if (copy->Running() && WaitForInputIdle(copy->Handle(), 0) != 0)
                    return false;
            }
            return true;
        },
        timeoutMs);
}

std::vector<HWND> MonitorGroup::CopyWindows() const
{
    std::vector<HWND> windows;
    for (auto& copy : m_copies)
        windows.push_back(copy->Running() ? FindProcessWindow(copy->Pid(), nullptr, MONITOR_WINDOW_CLASS) : nullptr);
    return windows;
}

size_t MonitorGroup::Running() const
{
    size_t running = 0;
    for (auto& copy : m_copies)
        running += copy->Running() ? 1 : 0;
    return running;
}

void MonitorGroup::CloseAll(DWORD timeoutMs)
{
    for (HWND window : CopyWindows()) {
        if (window)
            PostMessageA(window, WM_CLOSE, 0, 0);
    }
    for (auto& copy : m_copies) {
        if (!copy->Wait(timeoutMs))
            copy->Kill();
    }
}

int StdTableRecords(const std::string& key, HWND* window)
{
    if (window)
        *window = nullptr;
    ScopedHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, MAP_NAME_STD));
    ScopedView view;
    if (!mapping.IsValid() || !view.Map(mapping.Get(), FILE_MAP_READ, TABLE_SIZE_STD))
        return 0;
    int count = 0;
    for (DWORD p = 0; p < TABLE_POSITIONS; ++p) {
        const BYTE* record = view.Get() + p * RECORD_SIZE_STD;
        if (record[0] == RECORD_END_MARKER)
            break;
        std::string stored(reinterpret_cast<const char*>(record), strnlen(reinterpret_cast<const char*>(record), KEY_CHARS_STD));
        if (record[0] == RECORD_FREE || _stricmp(stored.c_str(), key.c_str()) != 0)
            continue;
        if (count++ == 0 && window) {
            DWORD slot;
            memcpy(&slot, record + offsetof(InstanceRecord, hWnd3), sizeof(slot));
            *window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(slot)));
        }
    }
    return count;
}

std::string MonitorArgs(const TestDriverKit& kit, const std::string& extra)
{
    std::string args = "/P \"" + kit.Printer() + "\" /EF \"HKCU\"";
    if (!extra.empty())
        args += " " + extra;
    return args;
}

std::vector<Record> ReadRecords(const std::string& path)
{
    std::vector<Record> records;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return records;
    const std::string end = "--end--\n";
    size_t start = 0;
    for (size_t stop; (stop = bytes.find(end, start)) != std::string::npos; start = stop + end.size()) {
        std::string block = bytes.substr(start, stop - start);
        Record r;
        size_t nl = block.find('\n');
        if (block.compare(0, 4, "cmd:") == 0 && nl != std::string::npos) {
            r.commandLine = block.substr(4, nl - 4);
            std::string rest = block.substr(nl + 1);
            if (rest.compare(0, 5, "file:") == 0) {
                r.hadFile = true;
                r.fileBytes = rest.substr(5);
            }
        }
        records.push_back(r);
    }
    return records;
}

bool WaitForRecords(const std::string& path, size_t count, DWORD timeoutMs)
{
    return WaitFor([&] { return ReadRecords(path).size() >= count; }, timeoutMs);
}

namespace {

struct WindowSearch {
    DWORD pid;
    const char* title;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid)
        return TRUE;
    char text[256] = {0};
    GetWindowTextA(window, text, sizeof(text));
    if (search->title && strcmp(text, search->title) != 0)
        return TRUE;
    if (search->className) {
        char cls[64] = {0};
        GetClassNameA(window, cls, sizeof(cls));
        if (strcmp(cls, search->className) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

HWND FindProcessWindow(DWORD pid, const char* title, const char* className)
{
    WindowSearch search = {pid, title, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string MessageBoxText(HWND box)
{
    char text[512] = {0};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    return text;
}

} // namespace zt
