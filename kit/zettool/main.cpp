// The driver kit's sample auxiliary tool (zettool.exe), started from the monitor's menu
// with the command line "<tool> /T<command> /P "printer" /M "model" /D "driver" /O "port"".
// It shows what it was started for.
#include <windows.h>

#include <string.h>

#include <vector>

#include "cmdinfo.h"
#include "tool_args.h"
#include "tool_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int show)
{
    const char* text = cmdLine ? cmdLine : "";
    std::vector<char> args(text, text + strlen(text) + 1);
    int command = TakeToolNumber(args.data());
    CCmdInfo info(args.data());
    PrinterIdentity identity;
    IdentityFromCmdInfo(info, &identity);

    CToolWindow window(identity, command);
    HWND hwnd = window.Create(instance);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, show);
    SetForegroundWindow(hwnd);
    return RunKitMessageLoop(hwnd);
}
