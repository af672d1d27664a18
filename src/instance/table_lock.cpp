#include "table_lock.h"

#include "printer.h" // IsWinNT
#include "shared_access.h"
#include "strutil.h"
#include "trace.h"

HANDLE CreateTableLock(const char* mapName)
{
    char name[ZT_TEXT + sizeof(TABLE_LOCK_SUFFIX)];
    if (!mapName || !mapName[0] || !SafeCopy(name, mapName) || !SafeAppend(name, TABLE_LOCK_SUFFIX))
        return nullptr;
    if (!IsWinNT())
        return CreateMutexA(nullptr, FALSE, name);
    CSharedAccess access(MUTEX_ALL_ACCESS);
    return access.Get() ? CreateMutexA(access.Get(), FALSE, name) : nullptr;
}

bool LockTable(HANDLE mutex, ScopedMutexLock* lock)
{
    DWORD wait = lock->Acquire(mutex, TABLE_LOCK_WAIT_MS);
    if (wait == WAIT_ABANDONED)
        TraceMsg("LockTable : abandoned by its holder, taken");
    if (lock->Held())
        return true;
    TraceInt("LockTable : not taken, going on without it", static_cast<long>(wait));
    return false;
}
