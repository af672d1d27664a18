#include "strutil.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

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

// Bytes of the longest start of src that ends on a character boundary of codePage and
// holds at most limit bytes.
static size_t CharBoundaryPrefix(const char* src, size_t limit, unsigned codePage)
{
    size_t n = 0;
    while (src[n] != '\0') {
        BYTE b = static_cast<BYTE>(src[n]);
        size_t step = (IsDBCSLeadByteEx(codePage, b) && src[n + 1] != '\0') ? 2 : 1;
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
