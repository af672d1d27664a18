// A stand-in for the spooler's change notification: an event is the change handle, and
// each take of a notification hands over what the test set up.
#pragma once

#include <windows.h>

#include "printer_watch.h"

namespace zt {

class FakeChange {
public:
    FakeChange() : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) { s_current = this; }
    ~FakeChange()
    {
        s_current = nullptr;
        CloseHandle(m_event);
    }
    FakeChange(const FakeChange&) = delete;
    FakeChange& operator=(const FakeChange&) = delete;

    const PrinterChangeApi* Api() const { return &s_api; }
    // The next take reports `cause`, fails when !ok, and hands over a notification block
    // that says notifications were lost when `lost`.
    void Signal(DWORD cause, BOOL ok = TRUE, bool lost = false)
    {
        m_cause = cause;
        m_ok = ok;
        m_lost = lost;
        SetEvent(m_event);
    }
    // No change handle, as Wine's spooler gives none.
    LONG Takes() const { return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_takes), 0, 0); }
    LONG Freed() const { return m_freed; }
    LONG Closed() const { return m_closed; }

private:
    static HANDLE WINAPI First(HANDLE, DWORD, DWORD, LPVOID)
    {
        return s_current->m_event;
    }
    static BOOL WINAPI Next(HANDLE change, PDWORD cause, LPVOID, LPVOID* info)
    {
        FakeChange* self = s_current;
        ResetEvent(change);
        *cause = self->m_cause;
        if (self->m_lost && info)
            *info = &self->m_info;
        InterlockedIncrement(&self->m_takes);
        return self->m_ok;
    }
    static BOOL WINAPI Close(HANDLE)
    {
        InterlockedIncrement(&s_current->m_closed);
        return TRUE;
    }
    static BOOL WINAPI Free(PPRINTER_NOTIFY_INFO)
    {
        InterlockedIncrement(&s_current->m_freed);
        return TRUE;
    }

    static inline FakeChange* s_current = nullptr;
    static inline const PrinterChangeApi s_api = {First, Next, Close, Free};
    HANDLE m_event;
    PRINTER_NOTIFY_INFO m_info = {2, PRINTER_NOTIFY_INFO_DISCARDED, 0, {}};
    volatile DWORD m_cause = 0;
    volatile BOOL m_ok = TRUE;
    volatile bool m_lost = false;
    volatile LONG m_takes = 0;
    volatile LONG m_freed = 0;
    volatile LONG m_closed = 0;
};

} // namespace zt
