#include "reg_read.h"

#include <string.h>

#include "trace.h"

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

int QuerySwitch(HKEY key, const char* name, DWORD* value)
{
    BYTE data[8] = {0};
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    LONG result = key ? RegQueryValueExA(key, name, nullptr, &type, data, &size) : ERROR_INVALID_HANDLE;
    if (result == ERROR_FILE_NOT_FOUND)
        return 0;
    if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD)) {
        memcpy(value, data, sizeof(DWORD));
        return 1;
    }
    // Text as a policy tool writes it: "0" or "1", with or without its terminator.
    if (result == ERROR_SUCCESS && type == REG_SZ && size >= 1 && size <= 2 && (data[0] == '0' || data[0] == '1') &&
        (size == 1 || data[1] == '\0')) {
        *value = data[0] == '1' ? 1 : 0;
        return 1;
    }
    TraceStr("QuerySwitch : ignored, not a REG_DWORD nor \"0\" or \"1\"", name);
    return 0;
}
