#include "printer_watch.h"

#include "printer.h"

namespace {

const PrinterChangeApi kSpoolerApi = {
    FindFirstPrinterChangeNotification,
    FindNextPrinterChangeNotification,
    FindClosePrinterChangeNotification,
    FreePrinterNotifyInfo,
};

} // namespace

const PrinterChangeApi* SpoolerChangeApi()
{
    return &kSpoolerApi;
}

bool CPrinterWatch::Start(const char* printerName, HWND window, UINT message, const PrinterChangeApi* api)
{
    Stop();
    if (!printerName || !*printerName || !api)
        return false;
    BOOL opened = OV_OpenPrinter(printerName, &m_printer, nullptr);
    if (!opened || !m_printer) {
        if (m_printer)
            ClosePrinter(m_printer);
        m_printer = nullptr;
        return false;
    }
    m_api = api;
    m_window = window;
    m_message = message;
    m_changes = 0;
    m_failed = 0;
    m_posted = 0;
    m_change = api->findFirst(m_printer, PRINTER_WATCH_FILTER, 0, nullptr);
    if (m_change == INVALID_HANDLE_VALUE)
        m_change = nullptr;
    m_stop = m_change ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    m_thread = m_stop ? CreateThread(nullptr, 0, WaiterMain, this, 0, nullptr) : nullptr;
    if (!m_thread) {
        Stop();
        return false;
    }
    return true;
}

void CPrinterWatch::Stop()
{
    if (m_thread) {
        SetEvent(m_stop);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_stop) {
        CloseHandle(m_stop);
        m_stop = nullptr;
    }
    if (m_change) {
        m_api->findClose(m_change);
        m_change = nullptr;
    }
    if (m_printer) {
        ClosePrinter(m_printer);
        m_printer = nullptr;
    }
}

DWORD CPrinterWatch::TakeChanges(bool* failed)
{
    InterlockedExchange(&m_posted, 0);
    if (failed)
        *failed = InterlockedCompareExchange(&m_failed, 0, 0) != 0;
    return static_cast<DWORD>(InterlockedExchange(&m_changes, 0));
}

DWORD WINAPI CPrinterWatch::WaiterMain(void* self)
{
    static_cast<CPrinterWatch*>(self)->Wait();
    return 0;
}

// Runs on the waiter thread: it only takes the notification and posts; every signal means
// "read again" (a polled provider signals whether or not anything changed, and lost
// notifications are made up for by that reading).
void CPrinterWatch::Wait()
{
    HANDLE handles[2] = {m_change, m_stop};
    for (;;) {
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
            return;
        DWORD cause = 0;
        LPVOID info = nullptr;
        BOOL ok = m_api->findNext(m_change, &cause, nullptr, &info);
        if (info)
            m_api->freeInfo(static_cast<PPRINTER_NOTIFY_INFO>(info));
        if (ok) {
            InterlockedOr(&m_changes, static_cast<LONG>(cause));
        } else {
            InterlockedExchange(&m_failed, 1);
        }
        if (InterlockedExchange(&m_posted, 1) == 0)
            PostMessageA(m_window, m_message, 0, 0);
        if (!ok)
            return;
    }
}
