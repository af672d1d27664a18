// zetsetup: installs the tray monitor with the sample kit for a printer, and removes it.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "setup_args.h"
#include "setup_commands.h"

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0); // keeps its lines in order with stderr's
    std::vector<std::string> args(argv + 1, argv + argc);
    // The same arguments in wide characters, to tell a name that the ANSI code page cannot
    // hold from the name its ANSI form would be.
    std::vector<std::wstring> wideArgs;
    int wideCount = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
        for (int i = 1; i < wideCount; ++i)
            wideArgs.emplace_back(wide[i]);
        LocalFree(wide);
    }
    SetupOptions options;
    std::string error;
    if (!ParseSetupArgs(args, &options, &error, &wideArgs)) {
        fprintf(stderr, "zetsetup: %s\n", error.c_str());
        return SETUP_EXIT_BAD_ARGS;
    }
    int code = RunSetupCommand(options);
    fflush(stdout);
    return code;
}
