#include "close_request.h"

#include <sddl.h>
#include <stdio.h>
#include <string.h>


namespace {

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

void CALLBACK OnCloseRequest(void* context, BOOLEAN)
{
    PostMessageA(static_cast<HWND>(context), WM_CLOSE, 0, 0);
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

} // namespace

bool CloseRequestName(const char* folder, char* name, size_t size)
{
    const int written = snprintf(name, size, "Global\\ZetV3Close.%08lx", FolderHash(folder));
    return written > 0 && static_cast<size_t>(written) < size;
}

bool WatchCloseRequest(HWND window, CloseRequestWatch* watch)
{
    char folder[MAX_PATH], name[64];
    if (!window || !OwnFolder(folder, sizeof(folder)) || !CloseRequestName(folder, name, sizeof(name)))
        return false;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kEventAccess, SDDL_REVISION_1, &descriptor, nullptr))
        sa.lpSecurityDescriptor = descriptor;
    // Opened for waiting only: the event of another user's monitor refuses them more.
    watch->hEvent = CreateEventExA(&sa, name, CREATE_EVENT_MANUAL_RESET, SYNCHRONIZE);
    if (descriptor)
        LocalFree(descriptor);
    if (!watch->hEvent)
        return false;
    if (!RegisterWaitForSingleObject(&watch->hWait, watch->hEvent, OnCloseRequest, window, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        watch->hWait = nullptr;
        StopWatchingCloseRequest(watch);
        return false;
    }
    return true;
}

void StopWatchingCloseRequest(CloseRequestWatch* watch)
{
    if (watch->hWait) {
        UnregisterWaitEx(watch->hWait, INVALID_HANDLE_VALUE);
        watch->hWait = nullptr;
    }
    if (watch->hEvent) {
        CloseHandle(watch->hEvent);
        watch->hEvent = nullptr;
    }
}

bool RaisedCloseRequest::Raise(const char* folder)
{
    char name[64];
    if (!m_event.IsValid()) {
        if (!CloseRequestName(folder, name, sizeof(name)))
            return false;
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, FALSE};
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kEventAccess, SDDL_REVISION_1, &descriptor, nullptr))
            sa.lpSecurityDescriptor = descriptor;
        m_event.Reset(CreateEventExA(&sa, name, CREATE_EVENT_MANUAL_RESET, EVENT_MODIFY_STATE | SYNCHRONIZE));
        if (descriptor)
            LocalFree(descriptor);
    }
    return m_event.IsValid() && SetEvent(m_event.Get());
}

void RaisedCloseRequest::Lift()
{
    if (m_event.IsValid())
        ResetEvent(m_event.Get());
    m_event.Close();
}
