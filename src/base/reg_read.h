// Reading registry values into fixed buffers: texts that always end within the buffer and
// numbers of at most 4 bytes.
#pragma once

#include <windows.h>

#include <stddef.h>

// Reads the value `name` of an open key, of any type, as text into `out` (`size` bytes).
// The text always ends within the buffer: a value stored without its terminator is
// terminated after its last byte. Returns 1 on success; 0 (with `out` = "") when the value
// is missing, unreadable, or does not fit `size` bytes with its terminator.
int QueryText(HKEY key, const char* name, char* out, size_t size);

// Reads the value `name` of an open key as a 32-bit number: a 4-byte buffer preset to 0, so
// a shorter value fills its low bytes; a missing, unreadable or wider value reads as 0.
DWORD QueryNumber(HKEY key, const char* name);

// Reads the value `name` of an open key as a switch that an administrator or a program may
// have written (a policy value, a state switch): a REG_DWORD of 4 bytes, or a REG_SZ "0" or
// "1" (what a policy tool writes as text), into *value. 1 when read; 0 when the value is
// missing, and 0 with a trace line when it is of another type or text and so is ignored.
int QuerySwitch(HKEY key, const char* name, DWORD* value);
