#include "setup_plan.h"

#include <ctype.h>
#include <stdio.h>

#include "setup_files.h"

std::string InstallPlan::MonitorPath() const
{
    return PathOf(KIT_MONITOR_EXE);
}

std::string InstallPlan::ProfilePath() const
{
    return PathOf(KIT_PROFILE_INI);
}

std::string InstallPlan::ParamFilePath() const
{
    return PathOf(paramFile.empty() ? ParamFileName(printer).c_str() : paramFile.c_str());
}

std::string ParamFileName(const std::string& printer, int variant)
{
    // FNV-1a, 32 bits.
    unsigned long hash = 2166136261ul;
    for (char c : printer) {
        hash ^= static_cast<unsigned char>(toupper(static_cast<unsigned char>(c)));
        hash = (hash * 16777619ul) & 0xFFFFFFFFul;
    }
    char name[32];
    if (variant > 0)
        snprintf(name, sizeof(name), "zt%08lx-%d.prm", hash, variant);
    else
        snprintf(name, sizeof(name), "zt%08lx.prm", hash);
    return name;
}
