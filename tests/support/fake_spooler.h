// A print server that misbehaves, for the lifetime of the object: the spooler calls that a
// rule names take their time and then fail with the rule's error, for the printers whose
// names begin with the rule's prefix; every other call goes to the real spooler. Change
// notifications can be made to come from an event the test sets, as Wine's spooler gives
// none. One object at a time.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "printer.h"

namespace zt {

// The calls of the spooler table, as bits of a rule.
enum SpoolerCall : unsigned {
    SPOOL_OPEN = 1,       // OpenPrinterA, OpenPrinterW
    SPOOL_CLOSE = 2,      // ClosePrinter (the handle is closed all the same)
    SPOOL_GET = 4,        // GetPrinterA
    SPOOL_GET_DATA = 8,   // GetPrinterDataA
    SPOOL_CHANGE = 16,    // FindFirstPrinterChangeNotification
    SPOOL_EVERY = 31,
};

class FakeSpooler {
public:
    FakeSpooler();
    ~FakeSpooler();
    FakeSpooler(const FakeSpooler&) = delete;
    FakeSpooler& operator=(const FakeSpooler&) = delete;

    // The calls of `calls` for printers whose names begin with `prefix` (letter case
    // ignored; "" for every printer) wait `delayMs`, then fail with `error` (0: then the
    // real call runs). A later rule for the same calls and prefix replaces it.
    void Fail(const std::string& prefix, unsigned calls, DWORD error, DWORD delayMs = 0);
    // No rule any more: the printers answer again.
    void Clear();

    // From now on a change notification's handle is an event of this object, and each
    // take of a notification hands over what Signal set up.
    void FakeChanges();
    // The next take reports `cause`, fails when !ok, and hands over a notification block
    // that says notifications were lost when `lost`.
    void Signal(DWORD cause, BOOL ok = TRUE, bool lost = false);
    LONG Takes() const;
    LONG Freed() const;
    LONG Closed() const;
    // The port listing, in place of the spooler's (null: the spooler's).
    void SetEnumPorts(decltype(SpoolerCalls::enumPorts) enumPorts);
    // GetPrinterA calls (any printer) since the object was made.
    LONG Gets() const;
    // Counts from now on the calls that the thread `threadId` makes (CallsOnThread).
    void CountThread(DWORD threadId);
    LONG CallsOnThread() const;

private:
    struct Rule {
        std::string prefix;
        unsigned calls;
        DWORD error;
        DWORD delayMs;
    };
    // The rule for a call on a printer, as a copy; false when none.
    bool RuleFor(unsigned call, const std::string& printer, Rule* out) const;
    bool RuleForHandle(unsigned call, HANDLE printer, Rule* out) const;
    std::string NameOf(HANDLE printer) const;
    void Remember(HANDLE printer, const std::string& name);
    void Forget(HANDLE printer);
    // Waits the rule's delay; true when the call is to fail with the rule's error (set).
    static bool Apply(const Rule& rule);
    void Counted();

    template <typename Char, typename Defaults>
    BOOL Open(const std::string& printerName, Char* name, LPHANDLE printer, Defaults* defaults,
              BOOL(WINAPI* real)(Char*, LPHANDLE, Defaults*));
    static BOOL WINAPI OpenA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
    static BOOL WINAPI OpenW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
    static BOOL WINAPI Close(HANDLE printer);
    static BOOL WINAPI GetPrinter(HANDLE printer, DWORD level, LPBYTE data, DWORD size, LPDWORD needed);
    static DWORD WINAPI GetPrinterData(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size,
                                       LPDWORD needed);
    static BOOL WINAPI EnumPorts(LPSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                 LPDWORD returned);
    static HANDLE WINAPI FindFirst(HANDLE printer, DWORD filter, DWORD options, LPVOID notifyOptions);
    static BOOL WINAPI FindNext(HANDLE change, PDWORD cause, LPVOID notifyOptions, LPVOID* info);
    static BOOL WINAPI FindClose(HANDLE change);
    static BOOL WINAPI FreeInfo(PPRINTER_NOTIFY_INFO info);

    static FakeSpooler* s_current;
    static const SpoolerCalls s_calls;

    mutable CRITICAL_SECTION m_lock;
    const SpoolerCalls* m_replaced = nullptr;
    std::vector<Rule> m_rules;
    std::vector<std::pair<HANDLE, std::string>> m_handles;
    decltype(SpoolerCalls::enumPorts) m_enumPorts = nullptr;
    volatile LONG m_gets = 0;
    volatile DWORD m_countedThread = 0;
    volatile LONG m_threadCalls = 0;

    bool m_fakeChanges = false;
    HANDLE m_event = nullptr;
    PRINTER_NOTIFY_INFO m_info = {2, PRINTER_NOTIFY_INFO_DISCARDED, 0, {}};
    volatile DWORD m_cause = 0;
    volatile BOOL m_ok = TRUE;
    volatile bool m_lost = false;
    volatile LONG m_takes = 0;
    volatile LONG m_freed = 0;
    volatile LONG m_closed = 0;
};

} // namespace zt
