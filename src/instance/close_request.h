// The close request that reaches the monitors of one install folder in every session: a
// manual-reset event in the global namespace that each running monitor waits on. An
// installer that is about to remove or replace the folder's files sets the request of each
// running monitor's user, waits for the folder's monitors to end, and resets what it set.
// The instance table cannot serve here: each session has its own, and an installer run by
// a deployment agent sees only its own session's.
//
// A request belongs to one user: its name carries the user's SID, it allows only that user,
// LocalSystem and the Administrators to wait for it or set it, and a monitor honours it only
// when its owner is one of them (CUserObjects). So one user can neither close another
// user's monitors nor keep them from closing: a monitor that finds its user's request made
// first by another account watches a request of its own process instead, which the
// installer sets as well.
#pragma once

#include <windows.h>

// The close request of the folder's monitors of the user `sid` ("Global\ZetV3Close.<8 hex
// digits>.<sid>"), or with a process id `pid`, of that one monitor (".<pid>" added); with a
// null sid, the one request of the folder that monitors of earlier versions watch
// ("Global\ZetV3Close.<8 hex digits>"). The digits are the NameHash of the folder's full
// path without a trailing backslash. false when the buffer is too small.
bool CloseRequestName(const char* folder, const char* sid, DWORD pid, char* name, size_t size);

// What a monitor holds while it watches: the event and its registered wait.
struct CloseRequestWatch {
    HANDLE hEvent = nullptr;
    HANDLE hWait = nullptr;
};

// Makes (or opens) the close request of this program's folder for this process's user, or,
// when another account made that one first, the request of this process, and has WM_CLOSE
// posted to `window` once it is set. false when neither can be watched (the monitor then
// runs without).
bool WatchCloseRequest(HWND window, CloseRequestWatch* watch);
// Stops watching and closes the handles; waits for a callback that runs. Safe to repeat.
void StopWatchingCloseRequest(CloseRequestWatch* watch);

// Asks the monitors whose program lies in `folder` to close, in every session: sets the
// requests of each running monitor (its user's and its own) and the folder's request of
// earlier versions, then waits up to `timeoutMs` for those processes to end, whether or not
// a request could be set. true when none is left running.
bool CloseMonitorsOfFolder(const char* folder, DWORD timeoutMs);
