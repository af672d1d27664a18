#include "table_lock.h"

#include <string.h>

#include "name_hash.h"
#include "printer.h" // IsWinNT
#include "shared_access.h"
#include "strutil.h"
#include "trace.h"

namespace {

// The innermost scope of this thread's waits, or null.
thread_local LockWaitScope* t_waitScope = nullptr;

// The hash's digits, with "~" before them and the suffix after them.
constexpr size_t kHashedTail = 1 + 8 + sizeof(TABLE_LOCK_SUFFIX) - 1;

// How often a waiter looks whether a message was sent to its windows.
constexpr DWORD kSentMessageCheckMs = 50;

// Waits for the mutex, answering messages sent to this thread's windows meanwhile (a
// caller that waits may own a window that other programs send to). The queue is looked at
// only when a sent message waits, and the wait itself is not a wait for messages: either
// would tell programs that wait for this one to be idle (WaitForInputIdle) that it is, in
// the middle of its start. The wait's result.
DWORD WaitAnsweringSentMessages(HANDLE mutex, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        DWORD slice = left < kSentMessageCheckMs ? left : kSentMessageCheckMs;
        DWORD wait = WaitForSingleObject(mutex, slice);
        if (wait != WAIT_TIMEOUT || slice == left)
            return wait;
        if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

} // namespace

bool TableLockName(const char* mapName, char (&out)[MAX_PATH])
{
    out[0] = '\0';
    if (!mapName || !mapName[0])
        return false;
    size_t length = strlen(mapName);
    if (length + sizeof(TABLE_LOCK_SUFFIX) <= sizeof(out))
        return SafeFormat(out, sizeof(out), "%s%s", mapName, TABLE_LOCK_SUFFIX) != 0;
    // Too long for "<name>.Lock": a name that keeps the start (and namespace) of the
    // table's name and tells long names apart by the hash of the whole.
    char hashed[MAX_PATH];
    const int kept = static_cast<int>(sizeof(out) - 1 - kHashedTail);
    SafeFormat(hashed, sizeof(hashed), "%.*s~%08lx%s", kept, mapName, ExactNameHash(mapName),
               TABLE_LOCK_SUFFIX);
    return SafeCopy(out, hashed) != 0;
}

HANDLE CreateSharedLock(const char* name)
{
    if (!name || !name[0])
        return nullptr;
    if (!IsWinNT())
        return CreateMutexA(nullptr, FALSE, name);
    CSharedAccess access(LOCK_ACCESS);
    // Asks for no more than the list grants, so an existing lock opens for every account.
    return access.Get() ? CreateMutexExA(access.Get(), name, 0, LOCK_ACCESS) : nullptr;
}

HANDLE CreateTableLock(const char* mapName)
{
    char name[MAX_PATH];
    return TableLockName(mapName, name) ? CreateSharedLock(name) : nullptr;
}

LockWaitScope::LockWaitScope()
{
    // A scope inside another is part of it.
    if (!t_waitScope)
        t_waitScope = this;
}

LockWaitScope::~LockWaitScope()
{
    if (t_waitScope == this)
        t_waitScope = nullptr;
}

bool LockTable(HANDLE mutex, ScopedMutexLock* lock)
{
    lock->Release();
    // A lock that was stuck for one wait of a start is likely stuck for the next: that start
    // does not pile wait upon wait. Later, unrelated waits wait whole.
    LockWaitScope* scope = t_waitScope;
    DWORD wait = WAIT_FAILED;
    if (mutex)
        wait = WaitAnsweringSentMessages(mutex, (scope && scope->m_timedOut) ? 0 : TABLE_LOCK_WAIT_MS);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        lock->Adopt(mutex);
    if (wait == WAIT_ABANDONED)
        TraceMsg("LockTable : abandoned by its holder, taken");
    if (lock->Held())
        return true;
    if (wait == WAIT_TIMEOUT && scope)
        scope->m_timedOut = true;
    TraceInt("LockTable : not taken, going on without it", static_cast<long>(wait));
    return false;
}
