// The start-up decision whether this process becomes the monitor of its printer: one
// copy per printer among all processes, and a second start hands its request over.
#include <windows.h>

#include "instance_check.h"
#include "mainframe.h"
#include "scoped.h"
#include "trace.h"

int CMainFrame::DuplicationChk()
{
    TraceMsg("CMainFrame::DuplicationChk : start");
    HWND other = nullptr;
    m_table = {nullptr, 0, nullptr};
    int result = 0;
    {
        // The table's lock is held from the check until the window is stored in that same
        // table: no other copy ever sees this copy's placeholder, which it would take for a
        // stale slot. The table was chosen (a spooler call) before the lock.
        ScopedMutexLock lock;
        TraceMsg("enter : MultiExecuteCheck");
        result = MultiExecuteCheck(m_szPrinterName, m_szPortName, INSTANCE_KIND_MONITOR, INSTANCE_PLACEHOLDER_HWND,
                                   &other, &m_table, &lock, m_szDriverName);
        TraceMsg("exit : MultiExecuteCheck");
        TraceInt("result", result);

        if (result == 0) {
            TraceMsg("enter : SethWindow");
            SethWindow(&m_table, m_szPrinterName, m_szPortName, m_hWnd, INSTANCE_KIND_MONITOR);
            TraceMsg("exit : SethWindow");
            TraceMsg("CMainFrame::DuplicationChk : end");
            return 1;
        }
    } // released before the message box below, and before the table is closed

    if (result == 1 && other) {
        // Hand the request to the running copy: close it (remove option) or refresh it.
        if (m_fRemove)
            PostMessageA(other, WM_CLOSE, 0, 0);
        else
            PostMessageA(other, WM_REFRESHICON, 0, static_cast<LPARAM>(m_nSelectedIcon));
    } else if (result == 2) {
        MessageBoxA(nullptr, m_szMsg[TEXT_NO_MEMORY], m_szMsg[TEXT_CAPTION], MB_OK);
    }
    CloseInstanceTable(&m_table);
    TraceMsg("CMainFrame::DuplicationChk : end2");
    return 0;
}
