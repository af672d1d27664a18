// Watching one printer from a worker thread, so that a window never waits for a print
// server: the worker makes every spooler call of the watch (the check, the deletion check,
// the change notification and the state reads) and posts what it found to the window, which
// acts on the last report it took. The window's timers ask for the checks; the worker waits
// for them and for the change notification.
//
// The state is read on the spooler's change notification (at most once a second, with the
// level-2 information each time) and on every STATE_REREAD_CHECKS-th check; where the
// spooler gives no notification, on every check (the level-2 information on every third
// read, and whenever the status bits change).
#pragma once

#include <windows.h>
#include <winspool.h>

#include "printer_status.h"
#include "strutil.h"

// What the notification asks to hear of: the printer changing or deleted, and documents
// added, changed or removed (not each write of a document's data).
constexpr DWORD PRINTER_WATCH_FILTER =
    PRINTER_CHANGE_PRINTER | PRINTER_CHANGE_ADD_JOB | PRINTER_CHANGE_SET_JOB | PRINTER_CHANGE_DELETE_JOB;
// Reads that notifications cause: one per second at most.
constexpr DWORD NOTIFIED_READ_GAP_MS = 1000;
// With a notification, the state is still read on every this many checks; without one, the
// notification is asked for again as often.
constexpr int STATE_REREAD_CHECKS = 20;
// The worker's stack: spooler calls and the trace, no more.
constexpr SIZE_T PRINTER_WATCH_STACK = 64 * 1024;
// How long Stop waits for a worker that is inside a spooler call before leaving it.
constexpr DWORD PRINTER_WATCH_STOP_WAIT_MS = 2000;

// What the watch knows of its printer, as of its latest calls.
struct PrinterReport {
    int presence = 1;          // PRESENCE_* of the latest open (PRESENCE_HERE before any)
    DWORD error = 0;           // that open's error; 0 when it opened
    bool deleted = false;      // the deletion check found the printer gone
    bool switchedOff = false;  // its monitoring switch reads 1
    bool sampled = false;      // `sample` holds a read
    PrinterStatusSample sample = {0, 0, 0};
    char driver[ZT_TEXT] = ""; // of the latest level-2 read ("" until one)
    char port[ZT_TEXT] = "";
};

struct PrinterWatchSetup {
    const char* printer = "";      // "" for a monitor known only by its port
    const char* port = "";
    HWND window = nullptr;         // where the reports go: `message`, wParam and lParam 0
    UINT message = 0;
    bool readSwitch = false;       // the check reads the monitoring switch (ZETSetting)
    // Deletion checks (CheckPrinterDeleted, which removes a gone printer's start-up
    // entries) run when asked, when the spooler tells of a deletion, while the printer is
    // pending deletion, and when a check finds it gone.
    bool deletionChecks = false;
};

class CPrinterWatch {
public:
    CPrinterWatch() = default;
    ~CPrinterWatch() { Stop(); }
    CPrinterWatch(const CPrinterWatch&) = delete;
    CPrinterWatch& operator=(const CPrinterWatch&) = delete;

    // Starts the worker (which reads the state at once when it is wanted). False, with
    // nothing held, when no thread can be had.
    bool Start(const PrinterWatchSetup& setup, bool stateWanted);
    // Ends the worker. One that is inside a spooler call for longer than `waitMs` is left
    // to end by itself (it touches nothing of this object any more). Safe to repeat.
    void Stop(DWORD waitMs = PRINTER_WATCH_STOP_WAIT_MS);

    // The check: the printer opened (its presence), its switch read when the setup says so,
    // and its state when due.
    void CheckNow();
    // A deletion check (when the setup has them).
    void CheckDeletionNow();
    // The state is wanted (a switch turned on): the notification is asked for and the state
    // read at once; or no longer wanted: the notification ends.
    void SetStateWanted(bool wanted);
    // The latest report; the worker posts again after this.
    PrinterReport Take();
    // True while the change notification runs (for tests and the trace).
    bool Notified() const;

private:
    struct Shared;
    static DWORD WINAPI WorkerMain(void* shared);
    void Ask(LONG job);

    Shared* m_shared = nullptr;
    HANDLE m_thread = nullptr;
};
