// Debug trace log: a plain-text, append-only trace for field diagnosis.
//
// Tracing is switched on by a non-zero 32-bit value under HKLM "SOFTWARE\ORVEL\ZET3\Debug"
// whose name is given to TraceOpen, in either registry view (the own view's value first).
// When it is off, every writer returns 0 at once.
// Each line is appended with its own open/write/close cycle, so it is on disk when the
// writer returns and lines of several processes interleave whole.
#pragma once

// Path and value name that the program itself uses.
#define TRACE_LOG_PATH "C:\\J_RxxIC.LOG"
#define TRACE_VALUE_NAME "J_RIC"
#define TRACE_DEBUG_KEY "SOFTWARE\\ORVEL\\ZET3\\Debug"

// 1 when tracing was switched on, else 0 (tracing is then off).
int TraceOpen(const char* path, const char* valueName);
// Each writer: 1 when a line was written, else 0 (tracing off, a null argument, or the
// file could not be opened). Texts are written verbatim, never used as formats.
int TraceMsg(const char* text);                    // "%10ld : %s\n"
int TraceStr(const char* label, const char* text); // "%10ld : %s : %s\n"
int TraceInt(const char* label, long number);      // "%10ld : %s : %d\n"
// After a library failed to load with `error` (its GetLastError()): when that is
// ERROR_BAD_EXE_FORMAT, the file is no library that this program can load, as a 32-bit
// library in a 64-bit program or the reverse. Then writes the line
// "<where> : <what> is not a 64-bit library (ERROR_BAD_EXE_FORMAT) : <path>" ("32-bit" in a
// 32-bit program) and returns 1; else writes nothing and returns 0.
int TraceLoadError(const char* where, const char* what, const char* path, unsigned long error);
// Always 1.
int TraceClose();
