// zetsetup: installs the tray monitor with the sample kit for a printer, and removes it.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "setup_args.h"
#include "setup_commands.h"

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0); // keeps its lines in order with stderr's
    std::vector<std::string> args(argv + 1, argv + argc);
    SetupOptions options;
    std::string error;
    // The wide command line tells a name that the ANSI code page cannot hold from the name
    // its ANSI form would be, and arguments that its ANSI form splits differently.
    if (!ParseSetupArgs(args, &options, &error, GetCommandLineW())) {
        fprintf(stderr, "zetsetup: %s\n", error.c_str());
        return SETUP_EXIT_BAD_ARGS;
    }
    int code = RunSetupCommand(options);
    fflush(stdout);
    return code;
}
