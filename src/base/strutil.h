// Bounded string helpers (every copy into a fixed buffer goes through these), and scans and
// comparisons of ANSI text that step by character of the code page.
#pragma once

#include <windows.h>

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
// Copies a name into the text of a menu item: each '&' doubled, so that it shows as itself
// instead of marking the next character as the item's access key. Bounded as SafeCopy, but
// cut only between whole characters of codePage, never inside a doubled '&'. Returns 1
// when all of it fit, 0 when it was cut.
int CopyMenuText(char* dst, size_t size, const char* src, unsigned codePage = 0);

// Character-wise scans of ANSI text in the code page codePage (CP_ACP, 0, is the process's
// own). In a double-byte code page a lead byte and the byte after it are one character, so
// the second byte of such a character (0x5C, a backslash, in many of them) is never taken
// for a character of its own. A lead byte right before the terminator counts alone. In
// UTF-8 (65001, which Windows offers as the system code page) a character is a whole
// sequence of 2 to 4 bytes; a byte that starts no complete sequence counts alone.

// The character after the one at text (at text's terminator, text itself).
const char* NextChar(const char* text, unsigned codePage = 0);

// The first character of text that is one of the single-byte characters of set; null when
// there is none (or text is null).
const char* FindCharOf(const char* text, const char* set, unsigned codePage = 0);
// The last character of text that is one of set; null when there is none.
const char* FindLastCharOf(const char* text, const char* set, unsigned codePage = 0);
// 1 when the last character of text is one of set; 0 for a null or empty text.
int EndsWithCharOf(const char* text, const char* set, unsigned codePage = 0);
// 1 when a and b name the same printer, port, driver or folder as the spooler compares
// names: in the system locale without regard to case (CompareStringA, NORM_IGNORECASE), so
// "Büro" and "BÜRO" are one name, and a double-byte character is compared whole. Null
// compares as "".
int SameName(const char* a, const char* b);
// 1 when the wide text (count characters, or -1 up to its terminator) converts into the
// code page and back unchanged: it needs no default or best-fit character there (in UTF-8,
// it holds no lone surrogate). A null or empty text fits.
int WideFitsCodePage(const wchar_t* text, int count = -1, unsigned codePage = 0);

// The conversions between wide characters and a code page that WideFitsCodePage and the
// printer's wide open call (WideCharToMultiByte, MultiByteToWideChar). A test puts a
// stand-in here that keeps a rule of Windows that Wine's converter does not.
typedef int(WINAPI* WideToMultiByteFn)(UINT codePage, DWORD flags, const WCHAR* text, int count, char* out,
                                       int size, const char* defaultChar, BOOL* usedDefault);
extern WideToMultiByteFn g_pfnWideToMultiByte;
typedef int(WINAPI* MultiByteToWideFn)(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out,
                                       int size);
extern MultiByteToWideFn g_pfnMultiByteToWide;

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
