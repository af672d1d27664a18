#include "close_request.h"

#include <sddl.h>
#include <tlhelp32.h>

#include "name_hash.h"
#include "program_folder.h"
#include "scoped.h"
#include "shared_access.h"
#include "strutil.h"
#include "trace.h"

namespace {

// What a program asks of a request: to wait for it, and to read its owner.
constexpr DWORD kWatchAccess = SYNCHRONIZE | READ_CONTROL;
// The folder's request: LocalSystem and the Administrators own it and may do anything with
// it; every account may wait for it and read its owner.
const char kFolderRequestAccess[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x120000;;;WD)";

// true when the folder's request stands raised by an installer.
bool FolderRequestRaised(const char* folder)
{
    char name[MAX_PATH];
    if (!CloseRequestName(folder, nullptr, 0, name, sizeof(name)))
        return false;
    ScopedHandle request(OpenEventA(kWatchAccess, FALSE, name));
    return request.Get() && OwnedBySystem(request.Get()) && WaitForSingleObject(request.Get(), 0) == WAIT_OBJECT_0;
}

// Makes (or opens) the folder's request, owned by the Administrators where this process may
// name them its owner, else by its default owner.
HANDLE MakeFolderRequest(const char* name)
{
    for (const char* owner : {"O:BA", ""}) {
        char sddl[128];
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!SafeFormat(sddl, sizeof(sddl), "%s%s", owner, kFolderRequestAccess) ||
            !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            continue;
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
        HANDLE request = CreateEventExA(&attributes, name, CREATE_EVENT_MANUAL_RESET, EVENT_MODIFY_STATE | SYNCHRONIZE);
        LocalFree(descriptor);
        if (request)
            return request;
    }
    return nullptr;
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

HANDLE OpenCloseRequest(bool* raised)
{
    *raised = false;
    char folder[MAX_PATH], name[MAX_PATH];
    const CUserObjects user;
    if (user.Sid().empty() || !ProgramFolder(folder, sizeof(folder)) ||
        !CloseRequestName(folder, user.Sid().c_str(), 0, name, sizeof(name)))
        return nullptr;
    HANDLE request = user.Open(CUserObjects::Event, name, kWatchAccess, true);
    if (!request) {
        // Another account took the user's name first: set or not, it is not an installer's.
        TraceStr("OpenCloseRequest : not the user's, watching the process's own instead", name);
        if (CloseRequestName(folder, user.Sid().c_str(), GetCurrentProcessId(), name, sizeof(name)))
            request = user.Open(CUserObjects::Event, name, kWatchAccess, true);
    }
    // An installer that raised the folder's request before this program's own existed.
    *raised = FolderRequestRaised(folder);
    return request;
}

int RunClosableMessageLoop(HANDLE* request, HWND window, HWND dialog)
{
    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return static_cast<int>(msg.wParam);
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        HANDLE watched = *request;
        const DWORD count = watched ? 1 : 0;
        if (MsgWaitForMultipleObjectsEx(count, &watched, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 &&
            count) {
            TraceMsg("RunClosableMessageLoop : the installer's close request");
            CloseHandle(*request);
            *request = nullptr;
            if (window && IsWindow(window))
                PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }
}

bool RaisedCloseRequest::Raise(const char* folder)
{
    const std::vector<FolderProgram> running = FolderPrograms(folder);
    const bool raised = Raise(folder, running);
    for (const FolderProgram& program : running)
        CloseHandle(program.process);
    return raised;
}

bool RaisedCloseRequest::Raise(const char* folder, const std::vector<FolderProgram>& running)
{
    char name[MAX_PATH];
    if (!m_folder && CloseRequestName(folder, nullptr, 0, name, sizeof(name)))
        m_folder = MakeFolderRequest(name);
    const bool raised = m_folder && SetEvent(m_folder);
    // The requests that the running programs watch: their users' and their own. One that
    // another account made is set all the same; no program honours it.
    for (const FolderProgram& program : running) {
        for (DWORD pid : {static_cast<DWORD>(0), program.pid}) {
            if (program.sid.empty() || !CloseRequestName(folder, program.sid.c_str(), pid, name, sizeof(name)))
                continue;
            bool known = false;
            for (const std::string& set : m_names)
                known = known || set == name;
            HANDLE request = known ? nullptr : OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
            if (request) {
                SetEvent(request);
                m_names.push_back(name);
                m_set.push_back(request);
            }
        }
    }
    return raised;
}

void RaisedCloseRequest::Lift()
{
    m_set.push_back(m_folder);
    for (HANDLE request : m_set) {
        if (request) {
            ResetEvent(request);
            CloseHandle(request);
        }
    }
    m_set.clear();
    m_names.clear();
    m_folder = nullptr;
}

std::vector<FolderProgram> FolderPrograms(const char* folder)
{
    std::vector<FolderProgram> found;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return found;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        char image[MAX_PATH * 2] = "";
        DWORD size = sizeof(image);
        const char* slash = QueryFullProcessImageNameA(process, 0, image, &size) ? FindLastCharOf(image, "\\") : nullptr;
        if (slash && SameName(std::string(image, static_cast<size_t>(slash - image)).c_str(), folder)) {
            FolderProgram program = {process, entry.th32ProcessID, ""};
            ProcessUserSid(process, &program.sid);
            found.push_back(program);
        } else {
            CloseHandle(process);
        }
    }
    return found;
}
