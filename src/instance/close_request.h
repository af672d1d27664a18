// The close request that reaches the monitors of one install folder in every session: a
// manual-reset event in the global namespace, named after the folder of the monitor's
// program. Each running monitor (and the kit's windows) waits on it; an installer that is
// about to replace or remove the folder's files raises it until the files are done. The instance table
// cannot serve here: each session has its own, and an installer run by a deployment agent
// sees only its own session's.
#pragma once

#include <windows.h>

#include "scoped.h"

// "Global\ZetV3Close.<8 hex digits>": a hash of the folder's full path in upper case,
// without a trailing backslash. false when the buffer is too small.
bool CloseRequestName(const char* folder, char* name, size_t size);

// What a monitor holds while it watches: the event and its registered wait.
struct CloseRequestWatch {
    HANDLE hEvent = nullptr;
    HANDLE hWait = nullptr;
};

// Opens (or creates) the event of the folder of this program and has WM_CLOSE posted to
// `window` once it is set. The event lets every account wait on it and only the system and
// administrators set it. false when it cannot be watched (the monitor then runs without).
bool WatchCloseRequest(HWND window, CloseRequestWatch* watch);
// Stops watching and closes the handles; waits for a callback that runs. Safe to repeat.
void StopWatchingCloseRequest(CloseRequestWatch* watch);

// The close request of one folder, raised by an installer: set, and made when no monitor of
// the folder made it yet, so that a monitor that is still starting finds it set and closes
// too. It stays raised until Lift, or the end of the object's scope; then monitors started
// from then on run again. Which processes are left running is the installer's to find out:
// a request that cannot be raised does not mean that none runs.
class RaisedCloseRequest {
public:
    ~RaisedCloseRequest() { Lift(); }

    // Raises the request of the monitors whose program lies in `folder` (full path, no
    // trailing backslash), in every session; again when called again. false when it cannot.
    bool Raise(const char* folder);
    void Lift();

private:
    ScopedHandle m_event;
};
