// The installer's command line: a command word and "--name value" options.
#pragma once

#include <string>
#include <vector>

enum class SetupCommand { Help, Install, Uninstall, Repair, Rollback, Enable, Disable, Status };

// Which Run keys start the monitor at log-on.
enum class RunMode { None, User, Machine, Both };

// Defaults of the options that install does not require.
#define SETUP_DEFAULT_PORT "LPT1:"
#define SETUP_DEFAULT_DRIVER "ORVEL Zetwatch Sample"
#define SETUP_DEFAULT_MODEL "ZETSAMPLE"
#define SETUP_DEFAULT_SUBDIR "ORVEL\\Zetwatch" // under the Program Files folder

// Longest texts accepted. A driver name must leave room for the driver key's prefix in the
// monitor's 260-byte key path; the other names go into its 260-byte buffers.
constexpr size_t SETUP_MAX_PRINTER = 220;
constexpr size_t SETUP_MAX_DRIVER = 232;
constexpr size_t SETUP_MAX_TEXT = 259;
// A package's product code in braces.
constexpr size_t SETUP_MAX_PACKAGE = 38;
// The product codes of the packages that an upgrade replaces, separated by ';'.
constexpr size_t SETUP_MAX_REPLACES = 8 * (SETUP_MAX_PACKAGE + 1) - 1;

struct SetupOptions {
    SetupCommand command = SetupCommand::Help;
    std::string printer;
    std::string port = SETUP_DEFAULT_PORT;
    std::string driver = SETUP_DEFAULT_DRIVER;
    std::string model = SETUP_DEFAULT_MODEL;
    std::string dir;     // empty: <Program Files>\ORVEL\Zetwatch
    std::string mapFile; // empty: the monitor's standard instance table
    RunMode run = RunMode::User;
    bool trace = false;
    bool noStart = false; // install without starting the monitor
    // The product code of the MSI package that runs zetsetup: the kit's files stand in
    // zetsetup's own folder and belong to the package; the printers are recorded as its.
    std::string package;
    // The product codes of the packages that this package's install replaces: their
    // printers are taken over as they stand (install and repair).
    std::string replaces;
    // Not an option: a rollback installs again a printer that its run removed. The record
    // is the one from before the run, and what it says that zetsetup added stands as it is.
    bool restoring = false;
};

// The product codes of --replaces, one by one.
std::vector<std::string> SplitPackageCodes(const std::string& codes);
// true when `code` (not empty) is one of the ';'-separated product codes, letter case ignored.
bool ListsPackageCode(const std::string& codes, const std::string& code);

// Reads the arguments after the program name, in steps: the whole wide command line, a
// help word, the command word, each option by the command's rules, then the options that the command needs together. true
// with *out filled, or false with a message in *error (unknown command or option, a
// missing or repeated value, an option the command does not take, a name that is empty,
// too long or holds a character that the registry, the spooler or the monitor's command
// line cannot carry). A help word ("help", "--help", "-h", "/?") as the command or in an
// option's place, and no arguments at all, select SetupCommand::Help; as the value of an
// option it is a value like any other. Uninstall takes --printer, --package or both;
// repair and rollback need --package.
//
// wideLine (optional) is the whole command line as the process received it in wide
// characters (GetCommandLineW): a line that the ANSI code page codePage (0: the system's)
// cannot hold exactly is refused, since the ANSI form of a value would name another
// printer, folder or driver, or a character converted into a quote mark would split the
// arguments anew; so is a line whose wide split is not `args`. Names are scanned by
// character of that code page, so a double-byte character whose second byte is a
// backslash is not taken for one.
bool ParseSetupArgs(const std::vector<std::string>& args, SetupOptions* out, std::string* error,
                    const wchar_t* wideLine = nullptr, unsigned codePage = 0);

// The text that --help prints.
const char* SetupUsage();

// "hkcu", "hklm", "both" or "none".
const char* RunModeName(RunMode mode);
// false when the text names no mode.
bool ParseRunMode(const std::string& text, RunMode* mode);
