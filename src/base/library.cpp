#include "library.h"

#include <ctype.h>
#include <string.h>

#include "strutil.h"

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsFullPath(const char* path)
{
    bool drive = isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && IsSeparator(path[2]);
    bool unc = IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] && !IsSeparator(path[2]);
    return drive || unc;
}

// The path as the loader must be given it to load exactly that file: a file name without
// an extension gets a trailing dot, since the loader would otherwise append ".dll".
// False when it does not fit.
bool ExactLoaderPath(const char* path, char (&out)[MAX_PATH])
{
    const char* last = FindLastCharOf(path, "\\/");
    const char* name = last ? last + 1 : path;
    return SafeFormat(out, sizeof(out), strchr(name, '.') ? "%s" : "%s.", path) != 0;
}

} // namespace

int IsFullFilePath(const char* path)
{
    if (!path || !IsFullPath(path))
        return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

HMODULE LoadCodeLibrary(const char* path)
{
    char exact[MAX_PATH];
    if (!IsFullFilePath(path) || !ExactLoaderPath(path, exact))
        return nullptr;
    return LoadLibraryExA(exact, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadResourceLibrary(const char* path)
{
    char exact[MAX_PATH];
    if (!IsFullFilePath(path) || !ExactLoaderPath(path, exact))
        return nullptr;
    HMODULE module = LoadLibraryExA(exact, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExA(exact, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}
