// The resource library holds resources only; the monitor loads it, copies what it needs
// and frees it again.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
