// Starting and closing a printer's monitor, and telling whether one runs.
#pragma once

#include <windows.h>

#include <string>

class RaisedCloseRequest;

// How long the installer waits for a monitor to appear or to go. A monitor started from
// a Run entry waits 0.1 s (2 s otherwise) before it claims its window, and it may retry
// the tray for up to 10 s; one that is asked to close takes about 2 s.
constexpr DWORD MONITOR_APPEAR_TIMEOUT_MS = 30000;
constexpr DWORD MONITOR_CLOSE_TIMEOUT_MS = 20000;

// The running monitor's window of the printer (from the instance table), or null. Adds
// and claims nothing.
HWND FindMonitorWindow(const std::string& printer);

// Starts a process with the full command line (program path first), in the program's
// folder, without waiting. false with a message when it cannot be started.
bool StartProgram(const std::string& program, const std::string& commandLine, std::string* error);
// Starts a process and waits for its end; false when it could not be started or did not
// end within the time (it is then ended). With `outputPath`, its standard output and error
// go into that file.
bool RunProgram(const std::string& program, const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode,
                const std::string& outputPath = "");

// Polls until the printer's monitor window appears (true) or the time passes (false).
bool WaitForMonitor(const std::string& printer, DWORD timeoutMs);
// Polls until no monitor runs for the printer (true) or the time passes (false).
bool WaitForMonitorGone(const std::string& printer, DWORD timeoutMs);

// The process of a monitor window, opened for waiting (the caller closes it), or null.
HANDLE OpenMonitorProcess(HWND window);
// Waits until no monitor runs for the printer and, when `process` is given, that process
// has ended: its files are then free. false when the time passes first.
bool WaitForMonitorEnd(HANDLE process, const std::string& printer, DWORD timeoutMs);

// Closes the printer's running monitor: posts WM_CLOSE to its window, as a second start
// with /R would after its start-up delay, and waits for it to go. true when the monitor
// has ended (or none ran).
bool CloseMonitor(const std::string& printer);

// Closes the programs of an install folder (full path, no trailing backslash) in every
// session and waits for their processes, before the folder's files are replaced or
// removed: raises the folder's close request, which its monitors and the kit's windows
// watch, and keeps it raised in `request` (the caller lifts it once the files are done, so
// that a program still starting closes too); asks the top-level windows of the folder's
// processes in this session to close (programs that watch no request); and waits for every
// process whose program lies in the folder, whatever the request reached. This process is
// not waited for. true when none is left within the time.
bool CloseFolderPrograms(const std::string& folder, DWORD timeoutMs, RaisedCloseRequest* request);
