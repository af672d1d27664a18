#include "reg_read.h"

#include <string.h>

int QueryText(HKEY key, const char* name, char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    memset(out, 0, size);
    DWORD bytes = static_cast<DWORD>(size);
    if (!key || RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS) {
        out[0] = '\0';
        return 0;
    }
    if (bytes > size)
        bytes = static_cast<DWORD>(size);
    if (memchr(out, '\0', bytes))
        return 1;
    if (bytes < size) {
        out[bytes] = '\0'; // stored without its terminator
        return 1;
    }
    out[0] = '\0'; // fills the whole buffer with no room left for the terminator
    return 0;
}

DWORD QueryNumber(HKEY key, const char* name)
{
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    if (!key || RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &bytes) != ERROR_SUCCESS)
        return 0;
    return number;
}
