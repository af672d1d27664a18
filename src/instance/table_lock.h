// The locks of the shared state: named mutexes that every monitor (and every other program
// that uses these functions) holds around each read-modify-write of an instance table or of
// the per-user target store, so that copies started at the same moment never both claim a
// key, nor take the same free record or end-marker position. Readers that take no lock
// still read a valid table: the format and the order of the writes are those of a table
// without a lock.
//
// A lock covers table or registry work of a few milliseconds only: no spooler call, library
// load, vendor export or window creation runs while one is held.
//
// A table's lock is named after the table (TableLockName): the table's name followed by
// TABLE_LOCK_SUFFIX (a mutex cannot share the mapping's own name), so a "Local\" or
// "Global\" prefix of the table's name puts the lock in the table's namespace. A lock
// carries an access list that lets processes of every account wait for it and release it,
// and nothing more (LOCK_ACCESS); it is found by name only, so 32-bit and 64-bit processes
// share it.
#pragma once

#include <windows.h>

#include "scoped.h"

#define TABLE_LOCK_SUFFIX ".Lock"
// Longest wait for a lock. A holder keeps it for a few table operations (milliseconds);
// one that does not let go within this time is stuck, and the waiter goes on without it.
// Inside a LockWaitScope (a start-up), after one wait that timed out the later locks are
// taken only when they are free at once; every other wait is a whole one.
constexpr DWORD TABLE_LOCK_WAIT_MS = 5000;
// What the locks' access list grants LocalSystem and Everyone: wait for a lock, release
// it, read its access list. Not the right to change the list, the owner or the object.
constexpr DWORD LOCK_ACCESS = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

// The name of the lock of the table `mapName` into out: the table's name and ".Lock" when
// that fits a kernel object name (MAX_PATH - 1 characters); for a longer table name, its
// first characters, "~", eight hex digits of a hash of the whole name, and ".Lock". False
// (out "") for a null or empty name.
bool TableLockName(const char* mapName, char (&out)[MAX_PATH]);

// Creates or opens the lock of the table named `mapName`. Null when the name is empty or
// the mutex can't be made or opened.
HANDLE CreateTableLock(const char* mapName);

// Creates or opens the lock `name` (a full mutex name) with the access list above. Null
// when it can't be made or opened.
HANDLE CreateSharedLock(const char* name);

// The waits of one piece of work on this thread, such as a monitor's start: once one of
// them timed out, the scope's later locks are taken only when they are free at once, so
// that the work never waits twice. The scope ends with the object; a scope made inside
// another is part of that one.
class LockWaitScope {
public:
    LockWaitScope();
    ~LockWaitScope();
    LockWaitScope(const LockWaitScope&) = delete;
    LockWaitScope& operator=(const LockWaitScope&) = delete;

private:
    friend bool LockTable(HANDLE mutex, ScopedMutexLock* lock);
    bool m_timedOut = false;
};

// Takes the lock `mutex` into *lock with the bounded wait. While it waits, messages sent to
// the thread's windows are answered. True when held (also when its last holder ended
// without releasing it). False, with a trace line, when the wait timed out or there is no
// lock: the caller then goes on as without a lock.
bool LockTable(HANDLE mutex, ScopedMutexLock* lock);
