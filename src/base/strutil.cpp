#include "strutil.h"

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
