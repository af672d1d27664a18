// Bounded string helpers: every copy into a fixed buffer goes through these.
#pragma once

#include <stddef.h>
#include <stdio.h> // __MINGW_PRINTF_FORMAT

// Fixed text buffer size used for paths, names, registry strings and option values.
constexpr size_t ZT_TEXT = 260;

// Copies at most size-1 bytes of src into dst and terminates it (when size > 0).
// A null src copies "". Returns 1 when the whole text fit, 0 when it was cut.
int SafeCopy(char* dst, size_t size, const char* src);
// Copies at most count bytes of src (fewer when src ends first), bounded as SafeCopy.
int SafeCopyN(char* dst, size_t size, const char* src, size_t count);
// Appends src to the text in dst, bounded as SafeCopy. Returns 1 when all of it fit.
int SafeAppend(char* dst, size_t size, const char* src);
// Copies src into dst (size bytes with the terminator) like SafeCopy, but a text that does
// not fit is cut on a character boundary of the ANSI code page codePage (CP_ACP, 0, is the
// process's own) and ends in "...": never half a double-byte character. Returns 1 when the
// whole text fit, 0 when it was cut.
int SafeCopyEllipsis(char* dst, size_t size, const char* src, unsigned codePage = 0);
// printf-style formatting into dst, always terminated. Returns 1 when the whole result
// fit, 0 when it was cut or the format failed (dst then holds what fit, or "").
int SafeFormat(char* dst, size_t size, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));

// Template forms for arrays, so the size is never typed twice.
template <size_t N> inline int SafeCopy(char (&dst)[N], const char* src)
{
    return SafeCopy(dst, N, src);
}
template <size_t N> inline int SafeAppend(char (&dst)[N], const char* src)
{
    return SafeAppend(dst, N, src);
}
