// The close request that reaches the programs of one install folder (the monitors) in every
// session. An installer that is about to replace or remove the folder's files raises it
// until the files are done, and waits for the programs to end. The instance table cannot
// serve here: each session has its own, and an installer run by a deployment agent sees
// only its own session's.
//
// Names in the global namespace are shared by every session and are no secret: another
// user may make one first, set, or with an access list that refuses its user, or as an
// object of another type. So a request is honoured only when one of the accounts it
// belongs to made it (CUserObjects, OwnedBySystem), and there are three:
// - the user's: "Global\ZetV3Close.<hash>.<SID>", made by the user's first program of the
//   folder, for the user, LocalSystem and the Administrators; each program watches it;
// - a program's own, ".<process id>" added, which a program watches instead when another
//   account made its user's first;
// - the folder's: "Global\ZetV3Close.<hash>", made by the installer as it raises the
//   request and honoured when LocalSystem or the Administrators own it: a program that
//   starts while it is raised closes at once. Programs of earlier versions made and
//   watched this one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The close request of the folder's programs of the user `sid` ("Global\ZetV3Close.<8 hex
// digits>.<sid>"), or with a process id `pid`, of that one program (".<pid>" added); with a
// null sid, the folder's request ("Global\ZetV3Close.<8 hex digits>"). The digits are the
// NameHash of the folder's full path without a trailing backslash. false when the buffer
// is too small.
bool CloseRequestName(const char* folder, const char* sid, DWORD pid, char* name, size_t size);

// Opens the close request that this program watches (its message loop waits on it; no
// thread does): the user's request of the program's folder, made (or opened) now, or, when
// another account made that one first, this process's own. Null when none can be had (the
// program then runs without); the caller closes the handle. *raised is true when the
// folder's request is raised already (an installer raised it before this program's own
// existed): the program closes at once.
HANDLE OpenCloseRequest(bool* raised);

// The message loop of a program that closes on the installer's close request: dispatches
// messages (through the dialog manager for `dialog`, when given) until WM_QUIT, whose wParam
// it returns, and waits for *request meanwhile. Once it is set, the loop closes it (it stays
// set until the installer is done) and posts WM_CLOSE to `window`.
int RunClosableMessageLoop(HANDLE* request, HWND window, HWND dialog = nullptr);

// A running program whose file lies in a folder: opened for waiting, with its user's SID
// ("" when it cannot be read).
struct FolderProgram {
    HANDLE process;
    DWORD pid;
    std::string sid;
};
// The running programs, this one apart, whose file lies in `folder`. The caller closes
// their handles.
std::vector<FolderProgram> FolderPrograms(const char* folder);

// The close request of one folder as an installer raises it: the folder's request made (or
// opened) and set, and the requests of the folder's running programs (their users' and
// their own) set, never made. It stays raised until Lift, or the end of the object's
// scope; programs started from then on run again. Which programs are left running is the
// installer's to find out: a request that cannot be raised or set does not mean that none
// runs.
class RaisedCloseRequest {
public:
    RaisedCloseRequest() = default;
    ~RaisedCloseRequest() { Lift(); }
    RaisedCloseRequest(const RaisedCloseRequest&) = delete;
    RaisedCloseRequest& operator=(const RaisedCloseRequest&) = delete;

    // Raises the request of the programs of `folder` (full path, no trailing backslash),
    // in every session; again, for programs started meanwhile, when called again. false
    // when the folder's request cannot be made or set.
    bool Raise(const char* folder);
    // The same, for the programs of the folder that the caller listed (FolderPrograms).
    bool Raise(const char* folder, const std::vector<FolderProgram>& running);
    void Lift();

private:
    HANDLE m_folder = nullptr;
    std::vector<std::string> m_names; // of the programs' requests that are set
    std::vector<HANDLE> m_set;
};


