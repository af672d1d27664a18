#include "fake_spooler.h"

#include <string.h>

namespace zt {

FakeSpooler* FakeSpooler::s_current = nullptr;

const SpoolerCalls FakeSpooler::s_calls = {
    OpenA, OpenW, Close, GetPrinter, GetPrinterData, EnumPorts, FindFirst, FindNext, FindClose, FreeInfo,
};

namespace {

bool StartsWith(const std::string& name, const std::string& prefix)
{
    return name.size() >= prefix.size() && _strnicmp(name.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::string Narrow(const wchar_t* wide)
{
    char text[1024] = "";
    if (wide)
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

} // namespace

FakeSpooler::FakeSpooler()
{
    InitializeCriticalSection(&m_lock);
    s_current = this;
    m_replaced = SetSpoolerCalls(&s_calls);
}

FakeSpooler::~FakeSpooler()
{
    SetSpoolerCalls(m_replaced);
    s_current = nullptr;
    if (m_event)
        CloseHandle(m_event);
    DeleteCriticalSection(&m_lock);
}

void FakeSpooler::Fail(const std::string& prefix, unsigned calls, DWORD error, DWORD delayMs)
{
    // The last rule that matches a call wins (RuleFor).
    EnterCriticalSection(&m_lock);
    m_rules.push_back(Rule{prefix, calls, error, delayMs});
    LeaveCriticalSection(&m_lock);
}

void FakeSpooler::Clear()
{
    EnterCriticalSection(&m_lock);
    m_rules.clear();
    LeaveCriticalSection(&m_lock);
}

void FakeSpooler::FakeChanges()
{
    if (!m_event)
        m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_fakeChanges = true;
}

void FakeSpooler::Signal(DWORD cause, BOOL ok, bool lost)
{
    m_cause = cause;
    m_ok = ok;
    m_lost = lost;
    SetEvent(m_event);
}

LONG FakeSpooler::Takes() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_takes), 0, 0);
}

LONG FakeSpooler::Freed() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_freed), 0, 0);
}

LONG FakeSpooler::Closed() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_closed), 0, 0);
}

void FakeSpooler::SetEnumPorts(decltype(SpoolerCalls::enumPorts) enumPorts)
{
    m_enumPorts = enumPorts;
}

LONG FakeSpooler::Gets() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_gets), 0, 0);
}

void FakeSpooler::Counted()
{
    if (m_countedThread && GetCurrentThreadId() == m_countedThread)
        InterlockedIncrement(&m_threadCalls);
}

void FakeSpooler::CountThread(DWORD threadId)
{
    m_threadCalls = 0;
    m_countedThread = threadId;
}

LONG FakeSpooler::CallsOnThread() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_threadCalls), 0, 0);
}

bool FakeSpooler::RuleFor(unsigned call, const std::string& printer, Rule* out) const
{
    bool found = false;
    EnterCriticalSection(&m_lock);
    for (const Rule& rule : m_rules) {
        if ((rule.calls & call) && StartsWith(printer, rule.prefix)) {
            *out = rule;
            found = true;
        }
    }
    LeaveCriticalSection(&m_lock);
    return found;
}

bool FakeSpooler::RuleForHandle(unsigned call, HANDLE printer, Rule* out) const
{
    return RuleFor(call, NameOf(printer), out);
}

std::string FakeSpooler::NameOf(HANDLE printer) const
{
    std::string name;
    EnterCriticalSection(&m_lock);
    for (const auto& entry : m_handles) {
        if (entry.first == printer)
            name = entry.second;
    }
    LeaveCriticalSection(&m_lock);
    return name;
}

void FakeSpooler::Remember(HANDLE printer, const std::string& name)
{
    EnterCriticalSection(&m_lock);
    Forget(printer);
    m_handles.emplace_back(printer, name);
    LeaveCriticalSection(&m_lock);
}

void FakeSpooler::Forget(HANDLE printer)
{
    EnterCriticalSection(&m_lock);
    for (size_t i = 0; i < m_handles.size(); ++i) {
        if (m_handles[i].first == printer) {
            m_handles.erase(m_handles.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    LeaveCriticalSection(&m_lock);
}

bool FakeSpooler::Apply(const Rule& rule)
{
    if (rule.delayMs)
        Sleep(rule.delayMs);
    if (!rule.error)
        return false;
    SetLastError(rule.error);
    return true;
}

template <typename Char, typename Defaults>
BOOL FakeSpooler::Open(const std::string& printerName, Char* name, LPHANDLE printer, Defaults* defaults,
                       BOOL(WINAPI* real)(Char*, LPHANDLE, Defaults*))
{
    Counted();
    Rule rule;
    if (RuleFor(SPOOL_OPEN, printerName, &rule) && Apply(rule)) {
        if (printer)
            *printer = nullptr;
        return FALSE;
    }
    BOOL opened = real(name, printer, defaults);
    if (opened && printer && *printer)
        Remember(*printer, printerName);
    return opened;
}

BOOL WINAPI FakeSpooler::OpenA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    return s_current->Open(name ? name : "", name, printer, defaults, s_current->m_replaced->openA);
}

BOOL WINAPI FakeSpooler::OpenW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults)
{
    return s_current->Open(Narrow(name), name, printer, defaults, s_current->m_replaced->openW);
}

BOOL WINAPI FakeSpooler::Close(HANDLE printer)
{
    FakeSpooler* self = s_current;
    self->Counted();
    Rule rule;
    bool fail = self->RuleForHandle(SPOOL_CLOSE, printer, &rule) && Apply(rule);
    self->Forget(printer);
    BOOL closed = self->m_replaced->close(printer);
    if (fail) {
        SetLastError(rule.error);
        return FALSE;
    }
    return closed;
}

BOOL WINAPI FakeSpooler::GetPrinter(HANDLE printer, DWORD level, LPBYTE data, DWORD size, LPDWORD needed)
{
    FakeSpooler* self = s_current;
    self->Counted();
    InterlockedIncrement(&self->m_gets);
    Rule rule;
    if (self->RuleForHandle(SPOOL_GET, printer, &rule) && Apply(rule))
        return FALSE;
    return self->m_replaced->getPrinter(printer, level, data, size, needed);
}

DWORD WINAPI FakeSpooler::GetPrinterData(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size,
                                         LPDWORD needed)
{
    FakeSpooler* self = s_current;
    self->Counted();
    Rule rule;
    if (self->RuleForHandle(SPOOL_GET_DATA, printer, &rule) && Apply(rule))
        return rule.error;
    return self->m_replaced->getPrinterData(printer, name, type, data, size, needed);
}

BOOL WINAPI FakeSpooler::EnumPorts(LPSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                   LPDWORD returned)
{
    FakeSpooler* self = s_current;
    self->Counted();
    auto enumPorts = self->m_enumPorts ? self->m_enumPorts : self->m_replaced->enumPorts;
    return enumPorts(server, level, ports, size, needed, returned);
}

HANDLE WINAPI FakeSpooler::FindFirst(HANDLE printer, DWORD filter, DWORD options, LPVOID notifyOptions)
{
    FakeSpooler* self = s_current;
    self->Counted();
    Rule rule;
    if (self->RuleForHandle(SPOOL_CHANGE, printer, &rule) && Apply(rule))
        return INVALID_HANDLE_VALUE;
    if (self->m_fakeChanges)
        return self->m_event;
    return self->m_replaced->findFirstChange(printer, filter, options, notifyOptions);
}

BOOL WINAPI FakeSpooler::FindNext(HANDLE change, PDWORD cause, LPVOID notifyOptions, LPVOID* info)
{
    FakeSpooler* self = s_current;
    if (!self->m_fakeChanges || change != self->m_event)
        return self->m_replaced->findNextChange(change, cause, notifyOptions, info);
    ResetEvent(change);
    *cause = self->m_cause;
    if (self->m_lost && info)
        *info = &self->m_info;
    InterlockedIncrement(&self->m_takes);
    return self->m_ok;
}

BOOL WINAPI FakeSpooler::FindClose(HANDLE change)
{
    FakeSpooler* self = s_current;
    if (!self->m_fakeChanges || change != self->m_event)
        return self->m_replaced->findCloseChange(change);
    InterlockedIncrement(&self->m_closed);
    return TRUE;
}

BOOL WINAPI FakeSpooler::FreeInfo(PPRINTER_NOTIFY_INFO info)
{
    FakeSpooler* self = s_current;
    if (!self->m_fakeChanges || info != &self->m_info)
        return self->m_replaced->freeNotifyInfo(info);
    InterlockedIncrement(&self->m_freed);
    return TRUE;
}

} // namespace zt
