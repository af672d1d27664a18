#include "trace.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "reg_view.h"
#include "strutil.h"

namespace {

struct TraceState {
    int enabled;
    char path[MAX_PATH];
};

TraceState g_trace = {0, {0}};
// Lines come from the window's thread and from the printer's worker: one at a time.
SRWLOCK g_traceLock = SRWLOCK_INIT;

// Opens the log for one line, holding the lock; the caller writes and then calls EndLine.
FILE* BeginLine()
{
    if (!g_trace.enabled)
        return nullptr;
    AcquireSRWLockExclusive(&g_traceLock);
    FILE* file = fopen(g_trace.path, "a+");
    if (!file)
        ReleaseSRWLockExclusive(&g_traceLock);
    return file;
}

int EndLine(FILE* file)
{
    fclose(file);
    ReleaseSRWLockExclusive(&g_traceLock);
    return 1;
}

long Tick()
{
    return static_cast<long>(GetTickCount());
}

} // namespace

int TraceOpen(const char* path, const char* valueName)
{
    g_trace.enabled = 0;
    memset(g_trace.path, 0, sizeof(g_trace.path));
    if (!path || !*path)
        return 0;
    // A path that does not fit would name another file: refuse it.
    if (!SafeCopy(g_trace.path, sizeof(g_trace.path), path)) {
        memset(g_trace.path, 0, sizeof(g_trace.path));
        return 0;
    }

    HKEY key = nullptr;
    if (OpenMachineKeyFor(TRACE_DEBUG_KEY, valueName, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || value == 0)
        return 0;
    g_trace.enabled = 1;
    return 1;
}

int TraceMsg(const char* text)
{
    if (!text)
        return 0;
    FILE* f = BeginLine();
    if (!f)
        return 0;
    fprintf(f, "%10ld : %s\n", Tick(), text);
    return EndLine(f);
}

int TraceStr(const char* label, const char* text)
{
    if (!label || !text)
        return 0;
    FILE* f = BeginLine();
    if (!f)
        return 0;
    fprintf(f, "%10ld : %s : %s\n", Tick(), label, text);
    return EndLine(f);
}

int TraceInt(const char* label, long number)
{
    if (!label)
        return 0;
    FILE* f = BeginLine();
    if (!f)
        return 0;
    fprintf(f, "%10ld : %s : %d\n", Tick(), label, static_cast<int>(number));
    return EndLine(f);
}

int TraceLoadError(const char* where, const char* what, const char* path, unsigned long error)
{
    if (error != ERROR_BAD_EXE_FORMAT || !where || !what || !path)
        return 0;
    constexpr int kBits = sizeof(void*) * 8;
    char label[2 * ZT_TEXT];
    SafeFormat(label, sizeof(label), "%s : %s is not a %d-bit library (ERROR_BAD_EXE_FORMAT)", where, what, kBits);
    return TraceStr(label, path);
}

int TraceClose()
{
    // Each line closes the log after itself: nothing is left open.
    return 1;
}
