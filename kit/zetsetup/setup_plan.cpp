#include "setup_plan.h"

#include <stdio.h>

#include "name_hash.h"
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

namespace {

std::string FileNameOfHash(unsigned long hash, int variant)
{
    char name[32];
    if (variant > 0)
        snprintf(name, sizeof(name), "zt%08lx-%d.prm", hash, variant);
    else
        snprintf(name, sizeof(name), "zt%08lx.prm", hash);
    return name;
}

} // namespace

std::string ParamFileName(const std::string& printer, int variant)
{
    return FileNameOfHash(NameHash(printer.c_str()), variant);
}

std::string EarlierParamFileName(const std::string& printer)
{
    std::string upper = printer;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return FileNameOfHash(ExactNameHash(upper.c_str()), 0);
}
