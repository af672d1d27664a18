// Entry of the tray monitor: one process watches one printer.
#include <windows.h>

#include "initinstance.h"
#include "mainframe.h"
#include "trace.h"

namespace {

// The message loop, which also waits for the installer's close request: messages are
// dispatched until WM_QUIT (left in *msg).
void RunMessageLoop(CMainFrame* frame, MSG* msg)
{
    for (;;) {
        while (PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg->message == WM_QUIT)
                return;
            TranslateMessage(msg);
            DispatchMessageA(msg);
        }
        HANDLE close = frame->CloseRequest();
        DWORD count = close ? 1 : 0;
        DWORD wait = MsgWaitForMultipleObjectsEx(count, &close, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (count && wait == WAIT_OBJECT_0)
            frame->OnCloseRequest();
    }
}

} // namespace

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
            RunMessageLoop(&frame, &msg);
        }
        TraceMsg("***** LOG END ******");
        TraceClose();
        g_pMainFrame = nullptr;
    }
    return static_cast<int>(msg.wParam);
}
