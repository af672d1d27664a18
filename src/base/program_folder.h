// The folder of the running program's file.
#pragma once

#include <stddef.h>

// The full path of the folder that holds the running program's file, without a trailing
// backslash, into out (size bytes). 0 (out "") when the path cannot be had or does not fit.
int ProgramFolder(char* out, size_t size);
