#include "strutil.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

int SafeCopyN(char* dst, size_t size, const char* src, size_t count)
{
    if (!dst || size == 0)
        return 0;
    if (!src)
        src = "";
    size_t n = 0;
    while (n < count && src[n] != '\0' && n + 1 < size) {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = '\0';
    // Whole when the source ended (or count was reached) before the buffer did.
    return (n == count || src[n] == '\0') ? 1 : 0;
}

int SafeCopy(char* dst, size_t size, const char* src)
{
    return SafeCopyN(dst, size, src, static_cast<size_t>(-1));
}

WideToMultiByteFn g_pfnWideToMultiByte = WideCharToMultiByte;
MultiByteToWideFn g_pfnMultiByteToWide = MultiByteToWideChar;

namespace {

unsigned ActualCodePage(unsigned codePage)
{
    return codePage == CP_ACP ? GetACP() : codePage;
}

// Bytes of the UTF-8 sequence at p: 2 to 4 for a lead byte followed by its continuation
// bytes, else 1.
size_t Utf8Bytes(const unsigned char* p)
{
    const size_t length = *p < 0xC2 ? 1 : *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : *p < 0xF5 ? 4 : 1;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

// Bytes of the character at p (not at its terminator): a UTF-8 sequence, or 2 for a lead
// byte of a double-byte codePage followed by a byte, else 1.
size_t CharBytes(const char* p, unsigned codePage)
{
    codePage = ActualCodePage(codePage);
    if (codePage == CP_UTF8)
        return Utf8Bytes(reinterpret_cast<const unsigned char*>(p));
    return (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p)) && p[1] != '\0') ? 2 : 1;
}

} // namespace

const char* NextChar(const char* text, unsigned codePage)
{
    return (text && *text) ? text + CharBytes(text, codePage) : text;
}

const char* FindCharOf(const char* text, const char* set, unsigned codePage)
{
    if (!text || !set)
        return nullptr;
    for (const char* p = text; *p; p += CharBytes(p, codePage)) {
        if (strchr(set, *p))
            return p;
    }
    return nullptr;
}

const char* FindLastCharOf(const char* text, const char* set, unsigned codePage)
{
    const char* last = nullptr;
    for (const char* p = FindCharOf(text, set, codePage); p; p = FindCharOf(p + CharBytes(p, codePage), set, codePage))
        last = p;
    return last;
}

int EndsWithCharOf(const char* text, const char* set, unsigned codePage)
{
    if (!text || !*text || !set)
        return 0;
    const char* last = text;
    for (const char* p = text; *p; p += CharBytes(p, codePage))
        last = p;
    return (last[1] == '\0' && strchr(set, *last)) ? 1 : 0;
}

int SameName(const char* a, const char* b)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a ? a : "", -1, b ? b : "", -1) == CSTR_EQUAL;
}

int WideFitsCodePage(const wchar_t* text, int count, unsigned codePage)
{
    if (!text || count == 0 || (count < 0 && !*text))
        return 1;
    codePage = ActualCodePage(codePage);
    // UTF-8 takes neither the best-fit flag nor a default-character report (the call fails
    // with either): it holds every character, and WC_ERR_INVALID_CHARS refuses what is
    // none (a lone surrogate). Other code pages report the default character they used.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* report = utf8 ? nullptr : &usedDefault;
    int bytes = g_pfnWideToMultiByte(codePage, flags, text, count, nullptr, 0, nullptr, report);
    if (bytes <= 0)
        return 0;
    std::string ansi(static_cast<size_t>(bytes), '\0');
    if (g_pfnWideToMultiByte(codePage, flags, text, count, &ansi[0], bytes, nullptr, report) != bytes || usedDefault)
        return 0;
    // Back again: a code page without a default-character report still shows a change here.
    const DWORD backFlags = utf8 ? MB_ERR_INVALID_CHARS : 0;
    int chars = g_pfnMultiByteToWide(codePage, backFlags, ansi.data(), bytes, nullptr, 0);
    std::wstring back(static_cast<size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars <= 0 || g_pfnMultiByteToWide(codePage, backFlags, ansi.data(), bytes, &back[0], chars) != chars)
        return 0;
    size_t length = count < 0 ? wcslen(text) + 1 : static_cast<size_t>(count);
    return back.size() == length && back.compare(0, length, text, length) == 0;
}

int CopyMenuText(char* dst, size_t size, const char* src, unsigned codePage)
{
    if (!dst || size == 0)
        return 0;
    if (!src)
        src = "";
    size_t n = 0;
    for (const char* p = src; *p;) {
        size_t step = CharBytes(p, codePage);
        size_t written = (*p == '&') ? 2 : step;
        if (n + written + 1 > size) {
            dst[n] = '\0';
            return 0;
        }
        if (*p == '&')
            dst[n++] = '&';
        memcpy(dst + n, p, step);
        n += step;
        p += step;
    }
    dst[n] = '\0';
    return 1;
}

// Bytes of the longest start of src that ends on a character boundary of codePage and
// holds at most limit bytes.
static size_t CharBoundaryPrefix(const char* src, size_t limit, unsigned codePage)
{
    size_t n = 0;
    while (src[n] != '\0') {
        size_t step = CharBytes(src + n, codePage);
        if (n + step > limit)
            break;
        n += step;
    }
    return n;
}

int SafeCopyEllipsis(char* dst, size_t size, const char* src, unsigned codePage)
{
    if (!dst || size == 0)
        return 0;
    if (!src)
        src = "";
    size_t whole = CharBoundaryPrefix(src, size - 1, codePage);
    if (src[whole] == '\0') {
        memcpy(dst, src, whole);
        dst[whole] = '\0';
        return 1;
    }
    static const char kDots[] = "...";
    size_t room = size - 1 > sizeof(kDots) - 1 ? size - 1 - (sizeof(kDots) - 1) : 0;
    size_t keep = CharBoundaryPrefix(src, room, codePage);
    memcpy(dst, src, keep);
    SafeCopy(dst + keep, size - keep, kDots);
    return 0;
}

int SafeAppend(char* dst, size_t size, const char* src)
{
    if (!dst || size == 0)
        return 0;
    size_t used = strnlen(dst, size);
    if (used >= size) {
        // Not terminated within its buffer: terminate it, nothing fits any more.
        dst[size - 1] = '\0';
        return (src && *src) ? 0 : 1;
    }
    return SafeCopy(dst + used, size - used, src);
}

int SafeFormat(char* dst, size_t size, const char* format, ...)
{
    if (!dst || size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    dst[size - 1] = '\0';
    return static_cast<size_t>(n) < size ? 1 : 0;
}
