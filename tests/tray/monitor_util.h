// Running the monitor as a process for a test, and reading what it left behind.
#pragma once

#include <windows.h>

#include <memory>
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

// Copies of the monitor released at one moment: each is created suspended, then all are
// resumed one right after another. Copies still running at the end of the scope are killed.
class MonitorGroup {
public:
    ~MonitorGroup();
    // Starts one copy per command line (of `program`, the build's zettray.exe when empty);
    // false (with nothing left running) when one fails; StartError() then tells why.
    bool Start(const std::vector<std::string>& argsList, const std::string& program = "");
    // Waits until every copy has ended or waits for input (in its message loop, or in a
    // message box); false when one did neither within the timeout.
    bool Settle(DWORD timeoutMs);
    // The hidden monitor window of each copy, in start order; null for a copy that ended.
    std::vector<HWND> CopyWindows() const;
    // Copies still running, monitors or not.
    size_t Running() const;
    // Posts WM_CLOSE to every copy's monitor window and waits; kills what still runs then.
    void CloseAll(DWORD timeoutMs = 15000);
    // The error of the copy that could not be started, and how many had started before it.
    std::string StartError() const { return m_startError; }

private:
    std::vector<std::unique_ptr<ChildProcess>> m_copies;
    std::string m_startError;
};

// How many records in use of the standard instance table hold `key` (any letter case);
// *window (optional) receives the kind-3 slot of the first of them.
int StdTableRecords(const std::string& key, HWND* window = nullptr);

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

// A top-level window of the process with that title (e.g. a message box), or null; a null
// title matches any title.
HWND FindProcessWindow(DWORD pid, const char* title, const char* className = nullptr);
// The text of a message box's message (its static control).
std::string MessageBoxText(HWND box);

} // namespace zt
