// Watching a printer through the spooler's change notification: a small thread waits on
// the change handle and posts one message to a window; the window's thread takes the
// changes and does all the reading.
#pragma once

#include <windows.h>
#include <winspool.h>

// The spooler calls of the change notification; tests replace them, with an event
// standing in for the change handle.
struct PrinterChangeApi {
    HANDLE(WINAPI* findFirst)(HANDLE printer, DWORD filter, DWORD options, LPVOID notifyOptions);
    BOOL(WINAPI* findNext)(HANDLE change, PDWORD cause, LPVOID notifyOptions, LPVOID* notifyInfo);
    BOOL(WINAPI* findClose)(HANDLE change);
    BOOL(WINAPI* freeInfo)(PPRINTER_NOTIFY_INFO info);
};
// The spooler's own calls.
const PrinterChangeApi* SpoolerChangeApi();

// What the watch asks to hear of: the printer and its jobs changing, the printer deleted.
constexpr DWORD PRINTER_WATCH_FILTER = PRINTER_CHANGE_PRINTER | PRINTER_CHANGE_JOB;

class CPrinterWatch {
public:
    CPrinterWatch() = default;
    ~CPrinterWatch() { Stop(); }
    CPrinterWatch(const CPrinterWatch&) = delete;
    CPrinterWatch& operator=(const CPrinterWatch&) = delete;

    // Opens the printer, asks for its change handle and starts the waiter, which posts
    // `message` (wParam and lParam 0) to `window` when something happened and no such
    // message is waiting. False, with nothing held, when no change handle can be had (the
    // caller then polls).
    bool Start(const char* printerName, HWND window, UINT message, const PrinterChangeApi* api);
    // Ends the waiter and releases the change handle and the printer. Safe to repeat.
    void Stop();
    bool Active() const { return m_thread != nullptr; }

    // Takes what the waiter saw since the last call (PRINTER_CHANGE_* bits) and lets it post
    // again. *failed is true when the notification failed: the waiter has ended then, and
    // the caller should Stop and poll instead.
    DWORD TakeChanges(bool* failed);

private:
    static DWORD WINAPI WaiterMain(void* self);
    void Wait();

    const PrinterChangeApi* m_api = nullptr;
    HANDLE m_printer = nullptr;
    HANDLE m_change = nullptr;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
    HWND m_window = nullptr;
    UINT m_message = 0;
    volatile LONG m_changes = 0;
    volatile LONG m_failed = 0;
    volatile LONG m_posted = 0;
};
