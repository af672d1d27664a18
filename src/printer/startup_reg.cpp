#include "startup_reg.h"

#include <string.h>

#include "reg_read.h"
#include "scoped.h"
#include "strutil.h"
#include "trace.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The path that `data` hands to the monitor with /A as its last quoted text, or null.
// The data's closing quote is cut off in place.
const char* AttachedFilePath(char* data)
{
    char* close = strrchr(data, '"');
    if (!close)
        return nullptr;
    *close = '\0';
    char* open = strrchr(data, '"');
    if (!open || open[1] == '\0')
        return nullptr;
    const char* p = open;
    while (p > data && IsBlank(p[-1]))
        --p;
    if (p - data < 2 || p[-2] != '/' || (p[-1] != 'A' && p[-1] != 'a'))
        return nullptr;
    return open + 1;
}

// True when the value's data hands `path` to the monitor with /A: its /A file is the same
// text, whole, in any letter case. A value that merely mentions the path, or attaches
// another file whose path ends in it, belongs to someone else.
bool AttachesFile(char* data, const char* path)
{
    const char* attached = AttachedFilePath(data);
    return attached && SameName(attached, path);
}

} // namespace

void RemoveRunEntry(HKEY runKey, const char* valueName)
{
    if (!runKey || !valueName || !valueName[0])
        return;
    // Data longer than 259 characters is not read, and names no file to delete.
    char data[ZT_TEXT];
    if (QueryText(runKey, valueName, data, sizeof(data))) {
        const char* path = AttachedFilePath(data);
        if (path)
            DeleteFileA(path);
    }
    RegDeleteValueA(runKey, valueName);
}

void DeleteStartupReg(const char* valueName, const char* text)
{
    TraceMsg("DeleteStartupReg");
    ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
        return;
    if (valueName && valueName[0]) {
        RegDeleteValueA(key.Get(), valueName);
        return;
    }
    if (!text || !text[0])
        return;
    for (DWORD index = 0;; ++index) {
        char name[ZT_TEXT] = {0};
        char data[ZT_TEXT + 1] = {0};
        DWORD nameSize = ZT_TEXT;
        DWORD dataSize = ZT_TEXT;
        LONG rc = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                &dataSize);
        if (rc == ERROR_SUCCESS) {
            if (strlen(data) < ZT_TEXT && AttachesFile(data, text)) {
                RegDeleteValueA(key.Get(), name);
                return;
            }
        } else if (rc != ERROR_MORE_DATA) {
            // The end of the list, or an error that the next index would only repeat.
            return;
        }
    }
}
