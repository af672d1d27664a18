#include "name_hash.h"

#include <windows.h>

#include <string>

unsigned long ExactNameHash(const char* name)
{
    unsigned long hash = 2166136261ul;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name ? name : ""); *p; ++p)
        hash = ((hash ^ *p) * 16777619ul) & 0xFFFFFFFFul;
    return hash;
}

unsigned long NameHash(const char* name)
{
    if (!name || !*name)
        return ExactNameHash("");
    const int size = LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, name, -1, nullptr, 0);
    std::string upper(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 || LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, name, -1, &upper[0], size) != size)
        return ExactNameHash(name);
    return ExactNameHash(upper.c_str());
}
