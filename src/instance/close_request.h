// The close request that reaches the monitors of one install folder in every session: a
// manual-reset event in the global namespace, named after the folder of the monitor's
// program. Each running monitor waits on it; an installer that is about to remove the
// folder's files sets it, waits for the monitors to end, and resets it. The instance table
// cannot serve here: each session has its own, and an installer run by a deployment agent
// sees only its own session's.
#pragma once

#include <windows.h>

// "Global\ZetV3Close.<8 hex digits>": a hash of the folder's full path in upper case,
// without a trailing backslash. false when the buffer is too small.
bool CloseRequestName(const char* folder, char* name, size_t size);

// Opens (or creates) the event of the folder of this program, for waiting only: the monitor
// waits on it (on its printer's worker thread) and closes once it is set. The event lets
// every account wait on it and only the system and administrators set it. Null when it
// cannot be had (the monitor then runs without); the caller closes the handle.
HANDLE OpenCloseRequest();

// Asks the monitors whose program lies in `folder` to close, in every session, and waits
// up to `timeoutMs` for those processes to end. true when none is left running.
bool CloseMonitorsOfFolder(const char* folder, DWORD timeoutMs);
