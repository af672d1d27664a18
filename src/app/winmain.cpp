// Entry of the tray monitor: one process watches one printer.
#include <windows.h>

#include "initinstance.h"
#include "mainframe.h"
#include "trace.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    TraceOpen(TRACE_LOG_PATH, TRACE_VALUE_NAME);
    TraceMsg("***** LOG START ******");
    TraceStr("szCmdLine", cmdLine);

    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    {
        CMainFrame frame;
        g_pMainFrame = &frame;
        if (InitInstance(cmdLine, &frame, instance, WideArguments(GetCommandLineW()))) {
            ShowWindow(frame.m_hWnd, SW_HIDE);
            UpdateWindow(frame.m_hWnd);
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        TraceMsg("***** LOG END ******");
        TraceClose();
        g_pMainFrame = nullptr;
    }
    return static_cast<int>(msg.wParam);
}
