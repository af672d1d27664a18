// The lock of an instance table: a named mutex that every monitor (and every other program
// that uses these functions) holds around each read-modify-write of the table, so that
// copies started at the same moment never both claim a key, nor take the same free record
// or end-marker position. Readers that take no lock still read a valid table: the format
// and the order of the writes are those of a table without a lock.
//
// Its name is the table's name followed by TABLE_LOCK_SUFFIX (a mutex cannot share the
// mapping's own name); a "Local\" or "Global\" prefix of the table's name thus puts the lock
// in the table's namespace. It carries the table's access list (with the mutex's rights),
// so processes of every account open it; it is found by name only, so 32-bit and 64-bit
// processes share it.
#pragma once

#include <windows.h>

#include "scoped.h"

#define TABLE_LOCK_SUFFIX ".Lock"
// Longest wait for the lock. A holder keeps it for a few table operations (milliseconds);
// one that does not let go within this time is stuck, and the waiter goes on without it.
constexpr DWORD TABLE_LOCK_WAIT_MS = 5000;

// Creates or opens the lock of the table named `mapName`. Null when the name is empty or
// too long for a name buffer, or the mutex can't be made.
HANDLE CreateTableLock(const char* mapName);

// Takes the lock `mutex` into *lock with the bounded wait. True when held (also when its
// last holder ended without releasing it). False, with a trace line, when the wait timed
// out or there is no lock: the caller then goes on as without a lock.
bool LockTable(HANDLE mutex, ScopedMutexLock* lock);
