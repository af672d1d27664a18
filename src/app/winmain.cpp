// Entry of the tray monitor: one process watches one printer.
#include <windows.h>

#include "close_request.h"
#include "initinstance.h"
#include "mainframe.h"
#include "trace.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    TraceOpen(TRACE_LOG_PATH, TRACE_VALUE_NAME);
    TraceMsg("***** LOG START ******");
    TraceStr("szCmdLine", cmdLine);

    int exitCode = 0;
    {
        CMainFrame frame;
        g_pMainFrame = &frame;
        if (InitInstance(cmdLine, &frame, instance, WideArguments(GetCommandLineW()))) {
            ShowWindow(frame.m_hWnd, SW_HIDE);
            UpdateWindow(frame.m_hWnd);
            // The loop also waits for the installer's close request.
            exitCode = RunClosableMessageLoop(&frame.m_hCloseRequest, frame.m_hWnd);
        }
        TraceMsg("***** LOG END ******");
        TraceClose();
        g_pMainFrame = nullptr;
    }
    return exitCode;
}
