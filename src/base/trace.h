// Debug trace log: a plain-text, append-only trace for field diagnosis.
//
// Tracing is switched on by a non-zero 32-bit value under HKLM "SOFTWARE\ORVEL\ZET3\Debug"
// whose name is given to TraceOpen. When it is off, every writer returns 0 at once.
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
// Always 1.
int TraceClose();
