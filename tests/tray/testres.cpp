// The test resource library's entry point leaves a mark when it runs: it creates the file
// named by the environment variable ZT_DLLMAIN_MARK, when that is set. A library loaded
// for its resources only must never leave it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("ZT_DLLMAIN_MARK", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return TRUE;
    HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE)
        CloseHandle(mark);
    return TRUE;
}
