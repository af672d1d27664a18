// Keeps the Wine prefix's desktop open for a whole test run.
//
// Wine starts the desktop's process (explorer.exe /desktop) from the first program that
// needs the desktop, and that process inherits the program's standard error. When the
// program is a test run by CTest, the desktop's process then holds the test's output pipe,
// and CTest waits for that pipe to close until the desktop goes idle, or until the test's
// time limit while other tests keep the desktop busy. tools/under-wine.sh starts this
// program first, with no pipe attached: the desktop it opens stays open while it runs, so
// no test ever starts it. Once the desktop is open it creates the file named by its command
// line, for which the script waits. The run's end stops it with the prefix's wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    GetDesktopWindow(); // returns once the desktop's process has made the desktop
    if (commandLine && *commandLine) {
        HANDLE ready = CreateFileA(commandLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready != INVALID_HANDLE_VALUE)
            CloseHandle(ready);
    }
    Sleep(INFINITE);
    return 0;
}
