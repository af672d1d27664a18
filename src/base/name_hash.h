// Short fixed-length names made of longer names (parameter files, close requests, locks):
// FNV-1a hashes of 32 bits.
#pragma once

// The hash of a name that Windows compares without regard to case (a printer name, a
// folder's path): of the name upper-cased in the system locale, so that names that
// SameName takes for one hash alike. Null hashes as "".
unsigned long NameHash(const char* name);

// The hash of a name taken byte by byte, as Windows compares the names of kernel objects
// (with their case). Null hashes as "".
unsigned long ExactNameHash(const char* name);
