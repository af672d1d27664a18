// Loading the driver's libraries. A library is loaded only from a full path that names an
// existing file, never through the search path or the current directory, where another
// file of that name could stand. A library used only for its resources is mapped as an
// image resource and data file, so that none of its code (no DllMain) runs.
#pragma once

#include <windows.h>

// 1 when `path` is a full path (a drive letter, a colon and a backslash, or a UNC path
// "\\server\share\...") that names an existing file (not a directory); else 0.
int IsFullFilePath(const char* path);

// Loads a library whose code the caller runs (the printer library), with its own folder
// searched first for what it needs. Null when the path is not a full path of an existing
// file, or the load fails. The caller frees it with FreeLibrary.
HMODULE LoadCodeLibrary(const char* path);

// Maps a library for its icons, menus, strings and bitmaps only (the resource library): as
// an image resource and data file, or as a data file where the system has no image-resource
// mapping. None of its code runs. Null when the path is not a full path of an existing
// file, or the mapping fails. The caller frees it with FreeLibrary.
HMODULE LoadResourceLibrary(const char* path);
