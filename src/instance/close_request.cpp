#include "close_request.h"

#include <sddl.h>
#include <stdio.h>
#include <string.h>
#include <tlhelp32.h>

#include <vector>

#include "scoped.h"

namespace {

// The program file of a monitor.
const char kMonitorExe[] = "zettray.exe";
// Full access for the system and administrators, waiting for everyone.
const char kEventAccess[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100000;;;WD)";

unsigned long FolderHash(const char* folder)
{
    char upper[MAX_PATH * 2];
    size_t length = strlen(folder);
    if (length >= sizeof(upper))
        length = sizeof(upper) - 1;
    memcpy(upper, folder, length);
    upper[length] = '\0';
    CharUpperBuffA(upper, static_cast<DWORD>(length));
    unsigned long hash = 2166136261ul;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(upper[i]);
        hash = (hash * 16777619ul) & 0xFFFFFFFFul;
    }
    return hash;
}

bool OwnFolder(char* folder, DWORD size)
{
    DWORD length = GetModuleFileNameA(nullptr, folder, size);
    if (length == 0 || length >= size)
        return false;
    char* slash = strrchr(folder, '\\');
    if (!slash)
        return false;
    *slash = '\0';
    return true;
}

// The running monitors whose program is `folder`\zettray.exe, opened for waiting.
std::vector<HANDLE> MonitorProcessesOf(const char* folder)
{
    std::vector<HANDLE> found;
    char expected[MAX_PATH * 2];
    snprintf(expected, sizeof(expected), "%s\\%s", folder, kMonitorExe);
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return found;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || lstrcmpiA(entry.szExeFile, kMonitorExe) != 0)
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        char image[MAX_PATH * 2] = "";
        DWORD size = sizeof(image);
        if (QueryFullProcessImageNameA(process, 0, image, &size) && lstrcmpiA(image, expected) == 0)
            found.push_back(process);
        else
            CloseHandle(process);
    }
    return found;
}

} // namespace

bool CloseRequestName(const char* folder, char* name, size_t size)
{
    const int written = snprintf(name, size, "Global\\ZetV3Close.%08lx", FolderHash(folder));
    return written > 0 && static_cast<size_t>(written) < size;
}

HANDLE OpenCloseRequest()
{
    char folder[MAX_PATH], name[64];
    if (!OwnFolder(folder, sizeof(folder)) || !CloseRequestName(folder, name, sizeof(name)))
        return nullptr;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kEventAccess, SDDL_REVISION_1, &descriptor, nullptr))
        sa.lpSecurityDescriptor = descriptor;
    // Opened for waiting only: the event of another user's monitor refuses them more.
    HANDLE event = CreateEventExA(&sa, name, CREATE_EVENT_MANUAL_RESET, SYNCHRONIZE);
    if (descriptor)
        LocalFree(descriptor);
    return event;
}

bool CloseMonitorsOfFolder(const char* folder, DWORD timeoutMs)
{
    char name[64];
    if (!CloseRequestName(folder, name, sizeof(name)))
        return false;
    // No event: no monitor of the folder runs in any session.
    ScopedHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
    if (!event.Get())
        return true;
    SetEvent(event.Get());
    const DWORD start = GetTickCount();
    bool allEnded = true;
    for (HANDLE process : MonitorProcessesOf(folder)) {
        const DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(process, spent < timeoutMs ? timeoutMs - spent : 0) != WAIT_OBJECT_0)
            allEnded = false;
        CloseHandle(process);
    }
    // Monitors started from now on run again.
    ResetEvent(event.Get());
    return allEnded;
}
