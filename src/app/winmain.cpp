// Entry of the tray monitor: one process watches one printer.
#include <windows.h>

#include "initinstance.h"
#include "trace.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    TraceOpen(TRACE_LOG_PATH, TRACE_VALUE_NAME);
    TraceMsg("***** LOG START ******");
    TraceStr("szCmdLine", cmdLine);
    InitInstance(cmdLine, instance);
    TraceMsg("***** LOG END ******");
    TraceClose();
    return 0;
}
