#include "setup_args.h"

#include <windows.h>
#include <shellapi.h>

#include <string.h>

#include <algorithm>

#include "strutil.h"

namespace {

const char kUsage[] =
    "zetsetup: installs the ORVEL Zetwatch tray monitor for a printer.\n"
    "\n"
    "Usage:\n"
    "  zetsetup install --printer NAME [--port PORT] [--driver DRIVER] [--model MODEL]\n"
    "                   [--dir DIR] [--map-file NAME] [--run hkcu|hklm|both|none] [--trace]\n"
    "                   [--no-start] [--package CODE [--replaces CODES]]\n"
    "  zetsetup uninstall --printer NAME | --package CODE\n"
    "  zetsetup repair --package CODE [--replaces CODES]\n"
    "  zetsetup rollback --package CODE\n"
    "  zetsetup disable --printer NAME\n"
    "  zetsetup enable --printer NAME\n"
    "  zetsetup status\n"
    "  zetsetup --help\n"
    "\n"
    "install    copies zettray.exe, zetres.dll, zetresja.dll, zetprn.dll, J_R10RN1.EXE\n"
    "           and zettool.exe from this program's folder into DIR, registers the\n"
    "           driver (HKLM software\\ORVEL\\ZET3\\Driver\\DRIVER), its profile\n"
    "           DIR\\zetprof.ini and the model, adds the printer to the spooler when\n"
    "           it is missing, writes the Run entries that start the monitor at\n"
    "           log-on, and starts it.\n"
    "           Installing again repairs an installation; a failed install is undone.\n"
    "uninstall  closes the printer's monitor and removes its Run entries, its per-user\n"
    "           settings and the printer (when zetsetup added it); the driver's keys,\n"
    "           files and spooler driver go with the last printer that uses them.\n"
    "disable    switches monitoring off (printer data ZETSetting = 1): the monitor\n"
    "           closes within seconds, and its next start removes its Run entries.\n"
    "enable     switches monitoring on again, restores the Run entries and the\n"
    "           per-user tray setting, and starts the monitor.\n"
    "status     lists the installed printers and whether a monitor runs for each.\n"
    "\n"
    "Defaults: --port " SETUP_DEFAULT_PORT ", --driver \"" SETUP_DEFAULT_DRIVER "\", --model "
    SETUP_DEFAULT_MODEL ",\n"
    "          --dir \"<Program Files>\\" SETUP_DEFAULT_SUBDIR "\", --run hkcu.\n"
    "--run      hkcu: the current user's Run key; hklm: the machine's (every user);\n"
    "           both; none: no start at log-on. A Run entry may hold at most 259\n"
    "           characters: choose a shorter --dir when install refuses.\n"
    "--map-file names the driver's own instance table (MapFileName).\n"
    "--trace    switches the monitor's trace log C:\\J_RxxIC.LOG on.\n"
    "--no-start installs without starting the monitor: it starts at the next log-on.\n"
    "--package  is for an MSI package that put the kit beside zetsetup: install uses the\n"
    "           files where they stand and records the printer under the package's\n"
    "           product CODE; uninstall --package CODE removes the printers so recorded\n"
    "           and leaves the kit's files to the package; when the package's kept\n"
    "           values name another product code (an upgrade replaces the package), it\n"
    "           hands the printers over to that one: they stay as they are.\n"
    "--replaces names the packages (CODE;CODE...) that an upgrade replaces: their printers\n"
    "           are taken over as they stand, with their settings and documents.\n"

    "repair     installs every printer of the package again, adding a printer that\n"
    "           was deleted from the spooler.\n"
    "rollback   takes back what the package's runs of zetsetup changed since its\n"
    "           installer's transaction began: removes what they added, and installs\n"
    "           again the printers they removed or handed over.\n"
    "\n"
    "Spooler driver: under Wine, zetsetup adds a driver named DRIVER with Wine's\n"
    "PostScript driver files when none of that name exists. On Windows the driver must\n"
    "exist already or be one that ships with Windows (zetsetup installs it from the\n"
    "driver store), for example --driver \"Generic / Text Only\". zetsetup removes only\n"
    "a spooler driver that it added itself.\n"
    "\n"
    "Exit codes: 0 done; 1 failed (nothing was left changed); 2 bad arguments;\n"
    "3 installed or enabled, but the monitor did not appear.\n";

struct CommandName {
    const char* name;
    SetupCommand command;
};
const CommandName kCommands[] = {
    {"install", SetupCommand::Install}, {"uninstall", SetupCommand::Uninstall}, {"repair", SetupCommand::Repair},
    {"rollback", SetupCommand::Rollback},
    {"enable", SetupCommand::Enable},   {"disable", SetupCommand::Disable},
    {"status", SetupCommand::Status},
};

bool IsHelp(const std::string& arg)
{
    return arg == "--help" || arg == "-h" || arg == "/?" || arg == "help";
}

// Checks a name against its limits and the characters it may not hold. Control
// characters and the quote mark (which ends a value on the monitor's command line) are
// refused everywhere. Empty string: fine; otherwise the message.
std::string CheckText(const char* option, const std::string& value, size_t maxLength, const char* forbidden,
                      unsigned codePage)
{
    if (value.empty())
        return std::string(option) + " needs a non-empty value";
    if (value.size() > maxLength)
        return std::string(option) + " is too long (" + std::to_string(value.size()) + " characters, at most " +
               std::to_string(maxLength) + ")";
    if (value.find_first_not_of(' ') == std::string::npos)
        return std::string(option) + " needs a value that is not only blanks";
    for (char c : value) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) // never the second byte of a double-byte character either
            return std::string(option) + " must not contain control characters";
    }
    // By character: the second byte of a double-byte character may equal a refused one.
    const std::string refused = std::string("\"") + forbidden;
    if (const char* c = FindCharOf(value.c_str(), refused.c_str(), codePage))
        return std::string(option) + " must not contain the character '" + std::string(1, *c) + "'";
    return "";
}

struct OptionRule {
    const char* name;
    std::string SetupOptions::*field;
    size_t maxLength;
    const char* forbidden;
};
// Printer and driver names may not hold a backslash (a registry key separator) or a comma
// (refused by the spooler); a model names an INI section, which cannot hold brackets.
const OptionRule kTextOptions[] = {
    {"--printer", &SetupOptions::printer, SETUP_MAX_PRINTER, "\\,"},
    {"--port", &SetupOptions::port, SETUP_MAX_TEXT, ""},
    {"--driver", &SetupOptions::driver, SETUP_MAX_DRIVER, "\\,"},
    {"--model", &SetupOptions::model, SETUP_MAX_TEXT, "[]\\"},
    {"--dir", &SetupOptions::dir, SETUP_MAX_TEXT, "*?<>|"},
    {"--map-file", &SetupOptions::mapFile, SETUP_MAX_TEXT, ""},
    {"--package", &SetupOptions::package, SETUP_MAX_PACKAGE, "\\"},
    {"--replaces", &SetupOptions::replaces, SETUP_MAX_REPLACES, "\\,"},
};

// Options that are flags: they take no value.
struct FlagRule {
    const char* name;
    bool SetupOptions::*field;
};
const FlagRule kFlagOptions[] = {
    {"--trace", &SetupOptions::trace},
    {"--no-start", &SetupOptions::noStart},
};

const FlagRule* FindFlag(const std::string& name)
{
    for (const FlagRule& rule : kFlagOptions) {
        if (name == rule.name)
            return &rule;
    }
    return nullptr;
}

const OptionRule* FindRule(const std::string& name)
{
    for (const OptionRule& rule : kTextOptions) {
        if (name == rule.name)
            return &rule;
    }
    return nullptr;
}

// Whether a command takes an option at all.
bool CommandTakes(SetupCommand command, const std::string& option)
{
    switch (command) {
    case SetupCommand::Install:
        return true;
    case SetupCommand::Uninstall:
        return option == "--printer" || option == "--package";
    case SetupCommand::Repair:
        return option == "--package" || option == "--replaces";
    case SetupCommand::Rollback:
        return option == "--package";
    case SetupCommand::Enable:
    case SetupCommand::Disable:
        return option == "--printer";
    default:
        return false;
    }
}

const char* CommandWord(SetupCommand command)
{
    for (const CommandName& c : kCommands) {
        if (c.command == command)
            return c.name;
    }
    return "help";
}

} // namespace

const char* SetupUsage()
{
    return kUsage;
}

const char* RunModeName(RunMode mode)
{
    switch (mode) {
    case RunMode::User:
        return "hkcu";
    case RunMode::Machine:
        return "hklm";
    case RunMode::Both:
        return "both";
    default:
        return "none";
    }
}

bool ParseRunMode(const std::string& text, RunMode* mode)
{
    for (RunMode m : {RunMode::User, RunMode::Machine, RunMode::Both, RunMode::None}) {
        if (_stricmp(text.c_str(), RunModeName(m)) == 0) {
            *mode = m;
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitPackageCodes(const std::string& codes)
{
    std::vector<std::string> list;
    for (size_t at = 0; at < codes.size();) {
        size_t end = codes.find(';', at);
        if (end == std::string::npos)
            end = codes.size();
        if (end > at)
            list.push_back(codes.substr(at, end - at));
        at = end + 1;
    }
    return list;
}

bool ListsPackageCode(const std::string& codes, const std::string& code)
{
    for (const std::string& listed : SplitPackageCodes(codes)) {
        if (!code.empty() && _stricmp(code.c_str(), listed.c_str()) == 0)
            return true;
    }
    return false;
}

namespace {

// The refusal of a command line that does not read in the ANSI code page `codePage` as the
// process received it in wide characters (`wideLine`, program first), or "". Every
// character must have its exact form in the code page: a name that the code page cannot
// hold would name another printer, folder or driver, and a character that the conversion
// makes into a quote mark or a blank (a fullwidth quote mark becomes '"' in 1252) would
// split or join the arguments. And the arguments must be those that the wide line splits
// into.
std::string CheckWideCommandLine(const std::vector<std::string>& args, const wchar_t* wideLine, unsigned codePage)
{
    if (!wideLine)
        return "";
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(wideLine, &count);
    if (!split)
        return "the command line cannot be read";
    const std::vector<std::wstring> wideArgs(split + (count > 0 ? 1 : 0), split + count);
    LocalFree(split);
    const std::string page = std::to_string(codePage ? codePage : GetACP());
    if (!WideFitsCodePage(wideLine, -1, codePage)) {
        std::string what = "the command line";
        for (size_t i = 0; i < wideArgs.size(); ++i) {
            const std::wstring& before = i > 0 ? wideArgs[i - 1] : L"";
            if (!WideFitsCodePage(wideArgs[i].c_str(), -1, codePage) && before.compare(0, 2, L"--") == 0) {
                what = std::string(before.begin(), before.end());
                break;
            }
        }
        return what + " holds characters that the ANSI code page of this Windows (" + page +
               ") cannot hold: only names of that code page work";
    }
    bool same = wideArgs.size() == args.size();
    for (size_t i = 0; same && i < args.size(); ++i) {
        const int bytes = WideCharToMultiByte(codePage, 0, wideArgs[i].c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string ansi(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
        same = bytes > 0 &&
               WideCharToMultiByte(codePage, 0, wideArgs[i].c_str(), -1, &ansi[0], bytes, nullptr, nullptr) == bytes &&
               args[i] == ansi.c_str();
    }
    if (!same)
        return "the command line splits into other arguments in the ANSI code page of this Windows (" + page +
               "): check its quote marks";
    return "";
}

// Whether the options are or hold a help word. Only where the command or an option name
// stands: the value of an option (a printer named "/?") is a name like any other.
bool AsksForHelp(const std::vector<std::string>& args)
{
    if (args.empty() || IsHelp(args[0]))
        return true;
    for (size_t i = 1; i < args.size(); ++i) {
        if (IsHelp(args[i]))
            return true;
        if (FindRule(args[i]) || args[i] == "--run")
            ++i; // its value
    }
    return false;
}

bool ReadCommandWord(const std::string& word, SetupOptions* out, std::string* error)
{
    for (const CommandName& c : kCommands) {
        if (word == c.name) {
            out->command = c.command;
            return true;
        }
    }
    *error = "unknown command '" + word + "' (try zetsetup --help)";
    return false;
}

// An option name that the command takes, given once.
bool CheckOptionName(const std::string& name, SetupCommand command, const std::vector<std::string>& seen,
                     std::string* error)
{
    if (name.compare(0, 2, "--") != 0)
        *error = "unexpected argument '" + name + "'";
    else if (!FindRule(name) && !FindFlag(name) && name != "--run")
        *error = "unknown option " + name;
    else if (!CommandTakes(command, name))
        *error = std::string(CommandWord(command)) + " does not take the option " + name;
    else if (std::find(seen.begin(), seen.end(), name) != seen.end())
        *error = name + " is given twice";
    return error->empty();
}

// Checks the value of an option and stores it.
bool StoreValue(const std::string& name, const std::string& value, unsigned codePage, SetupOptions* out,
                std::string* error)
{
    if (name == "--run") {
        if (!ParseRunMode(value, &out->run))
            *error = "--run takes hkcu, hklm, both or none, not '" + value + "'";
        return error->empty();
    }
    if (!value.empty() && value.back() == '"') {
        // What Windows makes of --dir "C:\Folder\": the backslash escapes the quote.
        *error = name + " ends in a quote mark: leave out the backslash before the closing quote";
        return false;
    }
    const OptionRule* rule = FindRule(name);
    *error = CheckText(rule->name, value, rule->maxLength, rule->forbidden, codePage);
    if (!error->empty())
        return false;
    out->*(rule->field) = value;
    return true;
}

// The options after the command word, each checked against the command's rules.
bool ReadOptions(const std::vector<std::string>& args, unsigned codePage, SetupOptions* out, std::string* error)
{
    std::vector<std::string> seen;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (!CheckOptionName(name, out->command, seen, error))
            return false;
        seen.push_back(name);
        if (const FlagRule* flag = FindFlag(name)) {
            out->*(flag->field) = true;
            continue;
        }
        if (++i >= args.size()) {
            *error = name + " needs a value";
            return false;
        }
        if (!StoreValue(name, args[i], codePage, out, error))
            return false;
    }
    return true;
}

// The options that the command needs, and those that do not go together.
bool CheckOptionsTogether(const SetupOptions& options, std::string* error)
{
    const SetupCommand command = options.command;
    const bool byPackage = command == SetupCommand::Repair || command == SetupCommand::Rollback;
    if (!options.package.empty() && !options.dir.empty())
        *error = "--package installs into zetsetup's own folder: leave out --dir";
    else if (options.package.empty() && (!options.replaces.empty() || byPackage))
        *error = std::string(options.replaces.empty() ? CommandWord(command) : "--replaces") + " needs --package CODE";
    else if (command == SetupCommand::Uninstall && options.printer.empty() && options.package.empty())
        *error = "uninstall needs --printer NAME or --package CODE";
    else if (command != SetupCommand::Status && command != SetupCommand::Uninstall && !byPackage &&
             options.printer.empty())
        *error = std::string(CommandWord(command)) + " needs --printer NAME";
    return error->empty();
}

} // namespace

bool ParseSetupArgs(const std::vector<std::string>& args, SetupOptions* out, std::string* error,
                    const wchar_t* wideLine, unsigned codePage)
{
    *out = SetupOptions();
    *error = CheckWideCommandLine(args, wideLine, codePage);
    if (!error->empty())
        return false;
    if (AsksForHelp(args))
        return true; // SetupCommand::Help
    return ReadCommandWord(args[0], out, error) && ReadOptions(args, codePage, out, error) &&
           CheckOptionsTogether(*out, error);
}
