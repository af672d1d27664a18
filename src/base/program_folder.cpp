#include "program_folder.h"

#include <windows.h>

#include "strutil.h"

int ProgramFolder(char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    out[0] = '\0';
    char path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    const char* slash = (length > 0 && length < sizeof(path)) ? FindLastCharOf(path, "\\") : nullptr;
    if (!slash || !SafeCopyN(out, size, path, static_cast<size_t>(slash - path))) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
