// Running the monitor as a process for a test, and reading what it left behind.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driverkit.h"
#include "testsupport.h"

namespace zt {

// The running monitor's window for a printer key, from the instance table (null if none).
HWND MonitorWindow(const std::string& printer);

// A monitor process started for a test; killed at the end of the scope if still running.
class MonitorProcess {
public:
    ~MonitorProcess();
    // Starts zettray.exe with `args`; `env` changes are applied to this environment.
    bool Start(const std::string& args, const std::vector<std::string>& envChanges = {});
    // Starts the monitor program `program` (another build's zettray.exe) with `args`.
    bool StartProgram(const std::string& program, const std::string& args) { return m_child.Start(program, args); }
    // Waits until the monitor of `printer` has its window in the instance table and has
    // finished its start-up (it waits for input in its message loop).
    HWND WaitWindow(const std::string& printer, DWORD timeoutMs = 20000);
    // Waits for the exit; false on timeout.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr) { return m_child.Wait(timeoutMs, exitCode); }
    bool Running() const { return m_child.Running(); }
    void Kill() { m_child.Kill(); }
    DWORD Pid() const { return m_child.Pid(); }

private:
    ChildProcess m_child;
};

// The start-up command line of a monitor for the kit's printer, as the per-user Run value
// starts it (the short start-up delay).
std::string MonitorArgs(const TestDriverKit& kit, const std::string& extra = "");

// The blocks a recorder wrote (its command line and parameter-file bytes), in order.
struct Record {
    std::string commandLine;
    std::string fileBytes;
    bool hadFile = false;
};
std::vector<Record> ReadRecords(const std::string& path);
bool WaitForRecords(const std::string& path, size_t count, DWORD timeoutMs = 15000);

// A top-level window of the process with that title (e.g. a message box), or null.
HWND FindProcessWindow(DWORD pid, const char* title, const char* className = nullptr);
// The text of a message box's message (its static control).
std::string MessageBoxText(HWND box);

} // namespace zt
