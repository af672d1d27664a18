#include "printer_watch.h"

#include <string.h>

#include <initializer_list>
#include <new>

#include "printer.h"
#include "startup_reg.h"
#include "trace.h"

namespace {

// What the owner asks of the worker (bits).
constexpr LONG JOB_CHECK = 1;    // the check
constexpr LONG JOB_STATE = 2;    // the state is wanted, or no longer: see stateWanted
constexpr LONG JOB_DELETION = 4; // a deletion check

// Ticks from now until `due` (0 when it has passed).
DWORD Until(DWORD due, DWORD now)
{
    LONG left = static_cast<LONG>(due - now);
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

bool SameReport(const PrinterReport& a, const PrinterReport& b)
{
    return a.presence == b.presence && a.error == b.error && a.deleted == b.deleted &&
           a.switchedOff == b.switchedOff && a.sampled == b.sampled && a.sample.status == b.sample.status &&
           a.sample.attributes == b.sample.attributes && a.sample.jobs == b.sample.jobs &&
           strcmp(a.driver, b.driver) == 0 && strcmp(a.port, b.port) == 0;
}

} // namespace

// Everything the worker touches, shared by the owner and the worker; the last of the two to
// let go frees it, so that a worker left inside a spooler call at Stop never touches its
// owner again.
struct CPrinterWatch::Shared {
    volatile LONG refs = 2; // the owner's and the worker's
    // The setup, fixed at the start.
    char printer[ZT_TEXT] = "";
    char port[ZT_TEXT] = "";
    HWND window = nullptr;
    UINT message = 0;
    bool readSwitch = false;
    bool deletionChecks = false;
    HANDLE stop = nullptr;
    HANDLE wake = nullptr;
    // Between the owner and the worker, under `lock`.
    CRITICAL_SECTION lock;
    LONG jobs = 0;
    bool stateWanted = false;
    PrinterReport report;  // the latest one published
    bool posted = false;   // a report message waits for its take
    volatile LONG notifying = 0;
    // The worker's own.
    CPrinterStatusReader reader;
    HANDLE notifyPrinter = nullptr;
    HANDLE change = nullptr;
    bool stateOn = false;
    bool pendingDeletion = false;
    int checksSinceRead = 0;
    int checksSinceNotifyTry = 0;
    DWORD lastNotifiedRead = 0;
    bool readDue = false;
    DWORD readAt = 0;
    PrinterReport found;

    ~Shared()
    {
        StopNotification();
        for (HANDLE* h : {&stop, &wake}) {
            if (*h)
                CloseHandle(*h);
        }
        DeleteCriticalSection(&lock);
    }
    void Release()
    {
        if (InterlockedDecrement(&refs) == 0)
            delete this;
    }

    void Run();
    void RunJobs(LONG asked);
    void Check();
    void DeletionCheck();
    void Sampled();
    bool ReadState(HANDLE printer, bool full);
    void NotifiedRead();
    void TakeNotification();
    void StartNotification();
    void StopNotification();
    void NotePending();
    void Publish(bool always);
};

void CPrinterWatch::Shared::StopNotification()
{
    if (change) {
        Spooler().findCloseChange(change);
        change = nullptr;
    }
    if (notifyPrinter) {
        Spooler().close(notifyPrinter);
        notifyPrinter = nullptr;
    }
    InterlockedExchange(&notifying, 0);
}

void CPrinterWatch::Shared::StartNotification()
{
    StopNotification();
    checksSinceNotifyTry = 0;
    if (!printer[0] || pendingDeletion)
        return;
    ScopedPrinter handle;
    DWORD error = 0;
    found.presence = OpenPrinterPresence(printer, &handle, &error);
    found.error = error;
    if (!handle.IsOpen())
        return;
    HANDLE first = Spooler().findFirstChange(handle.Get(), PRINTER_WATCH_FILTER, 0, nullptr);
    if (!first || first == INVALID_HANDLE_VALUE)
        return; // the checks read the state instead
    change = first;
    notifyPrinter = handle.Detach(); // kept open with the notification
    InterlockedExchange(&notifying, 1);
    TraceMsg("CPrinterWatch : change notification");
}

void CPrinterWatch::Shared::Sampled()
{
    checksSinceRead = 0;
    found.sampled = true;
    found.sample = reader.Sample();
    SafeCopy(found.driver, reader.Driver());
    SafeCopy(found.port, reader.Port());
}

bool CPrinterWatch::Shared::ReadState(HANDLE handle, bool full)
{
    bool failed = false;
    reader.Read(handle, full, &failed);
    if (!failed)
        Sampled();
    return !failed;
}

void CPrinterWatch::Shared::NotePending()
{
    // A printer deleted while handles are open stays until the last one goes: ours go first,
    // then the spooler is asked whether the printer is gone.
    bool pending = found.sampled && (found.sample.status & PRINTER_STATUS_PENDING_DELETION);
    if (!pending || !deletionChecks) {
        pendingDeletion = false;
        return;
    }
    pendingDeletion = true;
    StopNotification();
    DeletionCheck();
}

void CPrinterWatch::Shared::Check()
{
    const bool notified = InterlockedCompareExchange(&notifying, 0, 0) != 0;
    const bool stateDue = stateOn && printer[0] && (!notified || ++checksSinceRead >= STATE_REREAD_CHECKS);
    if (printer[0]) {
        DWORD error = 0;
        if (readSwitch) {
            // The printer's switch and its presence, traced, and its state, on one open.
            CCtrlSetReg ctrl;
            int presence = PRESENCE_HERE;
            int invalid = ctrl.IsZetInvalid(printer, stateDue ? &reader : nullptr, &presence, &error);
            found.presence = presence;
            found.switchedOff = presence == PRESENCE_HERE && invalid == 1;
            if (stateDue && presence == PRESENCE_HERE && invalid == 0 && reader.Valid())
                Sampled();
        } else {
            ScopedPrinter handle;
            found.presence = OpenPrinterPresence(printer, &handle, &error);
            if (handle.IsOpen() && stateDue)
                ReadState(handle.Get(), false);
        }
        found.error = error;
        // Our handle is closed by now. A printer that the spooler says is gone is checked
        // for as deleted (its start-up entries go), whatever check found it.
        if (found.presence == PRESENCE_GONE)
            DeletionCheck();
        else if (found.presence == PRESENCE_HERE)
            NotePending();
    }
    // Without a notification, it is asked for again now and then (the spooler may give one
    // once its server is back).
    if (stateOn && !InterlockedCompareExchange(&notifying, 0, 0) && !pendingDeletion &&
        ++checksSinceNotifyTry >= STATE_REREAD_CHECKS)
        StartNotification();
}

void CPrinterWatch::Shared::DeletionCheck()
{
    if (!deletionChecks)
        return;
    int presence = PRESENCE_HERE;
    if (!CheckPrinterDeleted(printer, port, &presence))
        found.deleted = true;
    if (!printer[0] && presence != PRESENCE_GONE)
        return; // a port: the printer's presence is another matter
    found.presence = presence;
    if (presence == PRESENCE_HERE)
        found.error = 0;
}

void CPrinterWatch::Shared::NotifiedRead()
{
    lastNotifiedRead = GetTickCount();
    readDue = false;
    if (!notifyPrinter)
        return;
    if (!ReadState(notifyPrinter, true)) {
        // The handle no longer answers (its server restarted): read as the checks do.
        StopNotification();
        checksSinceRead = STATE_REREAD_CHECKS;
        Check();
        return;
    }
    found.presence = PRESENCE_HERE;
    found.error = 0;
    NotePending();
}

void CPrinterWatch::Shared::TakeNotification()
{
    DWORD cause = 0;
    LPVOID info = nullptr;
    BOOL ok = Spooler().findNextChange(change, &cause, nullptr, &info);
    if (info)
        Spooler().freeNotifyInfo(static_cast<PPRINTER_NOTIFY_INFO>(info));
    if (!ok) {
        // The notification broke down: the checks read the state from now on.
        TraceMsg("CPrinterWatch : notification failed");
        StopNotification();
        return;
    }
    if (cause & PRINTER_CHANGE_DELETE_PRINTER) {
        // The notification's own handle would keep a deleted printer pending: it goes first.
        StopNotification();
        DeletionCheck();
        return;
    }
    // Every signal means "read again" (a polled provider signals whether or not anything
    // changed, and lost notifications are made up for by that reading), once a second.
    if (!readDue) {
        readDue = true;
        DWORD now = GetTickCount();
        DWORD earliest = lastNotifiedRead + NOTIFIED_READ_GAP_MS;
        readAt = Until(earliest, now) ? earliest : now;
    }
}

void CPrinterWatch::Shared::Publish(bool always)
{
    bool post = false;
    EnterCriticalSection(&lock);
    if (always || !SameReport(found, report)) {
        report = found;
        post = !posted;
        posted = true;
    }
    LeaveCriticalSection(&lock);
    if (post)
        PostMessageA(window, message, 0, 0);
}

void CPrinterWatch::Shared::RunJobs(LONG asked)
{
    if (asked & JOB_STATE) {
        EnterCriticalSection(&lock);
        bool wanted = stateWanted;
        LeaveCriticalSection(&lock);
        if (wanted != stateOn) {
            stateOn = wanted;
            if (wanted) {
                // Read at once, with the level-2 information.
                StartNotification();
                reader.Reset();
                checksSinceRead = STATE_REREAD_CHECKS;
                asked |= JOB_CHECK;
            } else {
                StopNotification();
                found.sampled = false;
            }
        }
    }
    if (asked & JOB_DELETION)
        DeletionCheck();
    if (asked & JOB_CHECK)
        Check();
    Publish((asked & JOB_STATE) != 0);
}

void CPrinterWatch::Shared::Run()
{
    for (;;) {
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
            return;
        EnterCriticalSection(&lock);
        LONG asked = jobs;
        jobs = 0;
        LeaveCriticalSection(&lock);
        if (asked)
            RunJobs(asked);
        if (readDue && !Until(readAt, GetTickCount())) {
            NotifiedRead();
            Publish(false);
        }
        // The stop event first: a busy printer never keeps the worker from ending.
        HANDLE handles[3] = {stop, wake, change};
        DWORD count = change ? 3 : 2;
        DWORD timeout = readDue ? Until(readAt, GetTickCount()) : INFINITE;
        DWORD wait = WaitForMultipleObjects(count, handles, FALSE, timeout);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_FAILED)
            return;
        if (change && wait == WAIT_OBJECT_0 + 2) {
            TakeNotification();
            Publish(false);
        }
    }
}

DWORD WINAPI CPrinterWatch::WorkerMain(void* context)
{
    Shared* shared = static_cast<Shared*>(context);
    shared->Run();
    shared->StopNotification();
    shared->Release();
    return 0;
}

bool CPrinterWatch::Start(const PrinterWatchSetup& setup, bool stateWanted)
{
    Stop();
    Shared* shared = new (std::nothrow) Shared;
    if (!shared)
        return false;
    InitializeCriticalSection(&shared->lock);
    SafeCopy(shared->printer, setup.printer);
    SafeCopy(shared->port, setup.port);
    shared->window = setup.window;
    shared->message = setup.message;
    shared->readSwitch = setup.readSwitch;
    shared->deletionChecks = setup.deletionChecks;
    shared->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    shared->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (shared->stop && shared->wake)
        m_thread = CreateThread(nullptr, PRINTER_WATCH_STACK, WorkerMain, shared, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                nullptr);
    if (!m_thread) {
        shared->refs = 1;
        shared->Release();
        return false;
    }
    m_shared = shared;
    if (stateWanted)
        SetStateWanted(true);
    return true;
}

void CPrinterWatch::Stop(DWORD waitMs)
{
    if (!m_shared)
        return;
    SetEvent(m_shared->stop);
    if (WaitForSingleObject(m_thread, waitMs) != WAIT_OBJECT_0)
        TraceMsg("CPrinterWatch::Stop : the worker is still in a spooler call; left to end by itself");
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_shared->Release();
    m_shared = nullptr;
}

void CPrinterWatch::Ask(LONG job)
{
    if (!m_shared)
        return;
    EnterCriticalSection(&m_shared->lock);
    m_shared->jobs |= job;
    LeaveCriticalSection(&m_shared->lock);
    SetEvent(m_shared->wake);
}

void CPrinterWatch::CheckNow()
{
    Ask(JOB_CHECK);
}

void CPrinterWatch::CheckDeletionNow()
{
    Ask(JOB_DELETION);
}

void CPrinterWatch::SetStateWanted(bool wanted)
{
    if (!m_shared)
        return;
    EnterCriticalSection(&m_shared->lock);
    m_shared->stateWanted = wanted;
    LeaveCriticalSection(&m_shared->lock);
    Ask(JOB_STATE);
}

PrinterReport CPrinterWatch::Take()
{
    PrinterReport taken;
    if (!m_shared)
        return taken;
    EnterCriticalSection(&m_shared->lock);
    taken = m_shared->report;
    m_shared->posted = false;
    LeaveCriticalSection(&m_shared->lock);
    return taken;
}

bool CPrinterWatch::Notified() const
{
    return m_shared && InterlockedCompareExchange(&m_shared->notifying, 0, 0) != 0;
}
