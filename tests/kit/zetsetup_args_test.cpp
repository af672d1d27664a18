// The installer's arguments and the texts it derives from them: which command lines are
// taken, which are refused (and why), and the Run entry's length limit.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "setup_action_line.h"
#include "setup_args.h"
#include "setup_plan.h"
#include "setup_run.h"

namespace {

bool Parse(const std::vector<std::string>& args, SetupOptions* options, std::string* error)
{
    return ParseSetupArgs(args, options, error);
}

TEST(SetupArgs, InstallTakesEveryOptionAndDefaultsTheRest)
{
    SetupOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"install", "--printer", "Laser A"}, &o, &error)) << error;
    EXPECT_EQ(SetupCommand::Install, o.command);
    EXPECT_EQ("Laser A", o.printer);
    EXPECT_EQ("LPT1:", o.port);
    EXPECT_EQ("ORVEL Zetwatch Sample", o.driver);
    EXPECT_EQ("ZETSAMPLE", o.model);
    EXPECT_EQ("", o.dir);
    EXPECT_EQ(RunMode::User, o.run);
    EXPECT_FALSE(o.trace);
    EXPECT_FALSE(o.noStart);
    EXPECT_EQ("", o.package);

    ASSERT_TRUE(Parse({"install", "--trace", "--printer", "P", "--port", "FILE:", "--driver", "Drv", "--model", "M1",
                       "--dir", "C:\\x y", "--map-file", "Local\\Tbl", "--run", "BOTH"},
                      &o, &error))
        << error;
    EXPECT_EQ("FILE:", o.port);
    EXPECT_EQ("Drv", o.driver);
    EXPECT_EQ("M1", o.model);
    EXPECT_EQ("C:\\x y", o.dir);
    EXPECT_EQ("Local\\Tbl", o.mapFile);
    EXPECT_EQ(RunMode::Both, o.run);
    EXPECT_TRUE(o.trace);

    ASSERT_TRUE(Parse({"install", "--printer", "P", "--no-start", "--package", "{C0DE}"}, &o, &error)) << error;
    EXPECT_TRUE(o.noStart);
    EXPECT_EQ("{C0DE}", o.package);
    ASSERT_TRUE(Parse({"uninstall", "--package", "{C0DE}"}, &o, &error)) << error;
    EXPECT_EQ("", o.printer);
    EXPECT_EQ("{C0DE}", o.package);
    ASSERT_TRUE(Parse({"repair", "--package", "{C0DE}", "--replaces", "{A};;{B}"}, &o, &error)) << error;
    EXPECT_EQ((std::vector<std::string>{"{A}", "{B}"}), SplitPackageCodes(o.replaces));
    ASSERT_TRUE(Parse({"rollback", "--package", "{C0DE}"}, &o, &error)) << error;
    EXPECT_EQ(SetupCommand::Rollback, o.command);
}

TEST(SetupArgs, HelpIsACommandOrAnOptionNeverAValue)
{
    struct Case {
        std::vector<std::string> args;
        SetupCommand command;
        const char* printer; // the printer taken, for the commands that take one
    } const cases[] = {
        {{}, SetupCommand::Help, ""},
        {{"help"}, SetupCommand::Help, ""},
        {{"install", "--bogus", "--help"}, SetupCommand::Help, ""},
        {{"install", "--printer", "P", "-h"}, SetupCommand::Help, ""},
        {{"status"}, SetupCommand::Status, ""},
        // A value that is a help word is a name like any other: a package that pastes its
        // property values in never installs nothing with success.
        {{"install", "--printer", "/?"}, SetupCommand::Install, "/?"},
        {{"install", "--printer", "--help"}, SetupCommand::Install, "--help"},
        {{"install", "--port", "-h", "--printer", "help"}, SetupCommand::Install, "help"},
        {{"uninstall", "--printer", "/?"}, SetupCommand::Uninstall, "/?"},
    };
    for (const Case& c : cases) {
        SetupOptions o;
        std::string error;
        ASSERT_TRUE(Parse(c.args, &o, &error)) << error;
        EXPECT_EQ(c.command, o.command) << (c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(c.printer, o.printer);
    }
}

TEST(SetupArgs, RefusesWhatCannotWorkWithAMessage)
{
    const std::string longPrinter(SETUP_MAX_PRINTER + 1, 'p');
    const std::string longDriver(SETUP_MAX_DRIVER + 1, 'd');
    struct Case {
        std::vector<std::string> args;
        const char* expected; // part of the message
    } cases[] = {
        {{"instal", "--printer", "P"}, "unknown command"},
        {{"install"}, "needs --printer"},
        {{"install", "--printer"}, "--printer needs a value"},
        {{"install", "--printer", ""}, "non-empty"},
        {{"install", "--printer", "   "}, "not only blanks"},
        {{"install", "--printer", "P", "--printer", "Q"}, "given twice"},
        {{"install", "--printer", "P", "--colour", "red"}, "unknown option --colour"},
        {{"install", "--printer", "P", "extra"}, "unexpected argument"},
        {{"install", "--printer", "a\"b"}, "character '\"'"},
        {{"install", "--printer", "a\\b"}, "character '\\'"},
        {{"install", "--printer", "a,b"}, "character ','"},
        {{"install", "--printer", "a\tb"}, "control characters"},
        {{"install", "--printer", longPrinter}, "too long"},
        {{"install", "--printer", "P", "--driver", longDriver}, "too long"},
        {{"install", "--printer", "P", "--driver", "a\\b"}, "character '\\'"},
        {{"install", "--printer", "P", "--model", "M]"}, "character ']'"},
        {{"install", "--printer", "P", "--dir", "C:\\a*"}, "character '*'"},
        {{"install", "--printer", "P", "--dir", "C:\\a b\""}, "leave out the backslash"},
        {{"install", "--printer", "P", "--run", "always"}, "hkcu, hklm, both or none"},
        {{"install", "--printer", "P", "--run"}, "--run needs a value"},
        {{"uninstall", "--printer", "P", "--port", "LPT2:"}, "does not take the option --port"},
        {{"enable", "--printer", "P", "--trace"}, "does not take the option --trace"},
        {{"status", "--printer", "P"}, "does not take"},
        {{"disable"}, "needs --printer"},
        {{"uninstall"}, "needs --printer NAME or --package CODE"},
        {{"install", "--printer", "P", "--package", "{C}", "--dir", "C:\\x"}, "leave out --dir"},
        {{"install", "--printer", "P", "--package", std::string(SETUP_MAX_PACKAGE + 1, 'c')}, "too long"},
        {{"install", "--printer", "P", "--package", "a\\b"}, "character '\\'"},
        {{"install", "--printer", "P", "--no-start", "--no-start"}, "given twice"},
        {{"uninstall", "--printer", "P", "--no-start"}, "does not take the option --no-start"},
        {{"enable", "--printer", "P", "--package", "{C}"}, "does not take the option --package"},
        {{"repair"}, "needs --package"},
        {{"install", "--printer", "P", "--replaces", "{A}"}, "needs --package"},
        {{"rollback"}, "needs --package"},
        {{"rollback", "--package", "{C}", "--printer", "P"}, "does not take the option --printer"},
    };
    for (const Case& c : cases) {
        SetupOptions o;
        std::string error;
        std::string shown;
        for (const std::string& a : c.args)
            shown += "[" + a + "]";
        EXPECT_FALSE(Parse(c.args, &o, &error)) << shown;
        EXPECT_NE(std::string::npos, error.find(c.expected)) << shown << " gave: " << error;
    }
}

TEST(SetupArgs, NamesAreReadInTheSystemCodePage)
{
    // The whole wide command line (program first), and the arguments that the C runtime made
    // of its ANSI form. "\x83\x5c" is one character of 932 whose second byte is a backslash.
    struct Case {
        unsigned codePage;
        std::wstring line;
        std::vector<std::string> args;
        const char* expected; // part of the message; "" when taken
    } const cases[] = {
        {1252, L"zetsetup install --printer \"\x041f\x0440\x0438\x043d\x0442\x0435\x0440 1\"",
         {"install", "--printer", "??????? 1"}, "--printer holds characters that the ANSI code page"},
        {932, L"zetsetup install --printer \x30bd\x30d5\x30c8", {"install", "--printer", "\x83\x5c\x83\x74\x83\x67"}, ""},
        {932, L"zetsetup install --printer \x30bd\\", {"install", "--printer", "\x83\x5c\\"}, "character '\\'"},
        {65001, L"zetsetup install --printer B\x00fcro", {"install", "--printer", "B\xc3\xbcro"}, ""},
        // A fullwidth quote mark is a quote mark in the ANSI line (1252's best fit): one value
        // in wide characters, an injected option in ANSI.
        {1252, L"zetsetup install --printer \"Laser\xff02 --map-file \xff02" L"Evil\"",
         {"install", "--printer", "Laser", "--map-file", "Evil"}, "--printer holds"},
        // Splits that differ although every character fits.
        {1252, L"zetsetup install --printer \"a b\"", {"install", "--printer", "a", "b"}, "other arguments"},
        {1252, L"zetsetup install --printer a", {"install", "--printer", "b"}, "other arguments"},
        {1252, L"\"C:\\K\x0131t\\zetsetup.exe\" status", {"status"}, "the command line holds"},
    };
    for (const Case& c : cases) {
        SetupOptions o;
        std::string error;
        EXPECT_EQ(!*c.expected, ParseSetupArgs(c.args, &o, &error, c.line.c_str(), c.codePage)) << error;
        EXPECT_NE(std::string::npos, error.find(c.expected)) << c.args.back() << " gave: " << error;
    }
}

TEST(SetupArgs, LongestNamesAreTaken)
{
    SetupOptions o;
    std::string error;
    EXPECT_TRUE(Parse({"install", "--printer", std::string(SETUP_MAX_PRINTER, 'p'), "--driver",
                       std::string(SETUP_MAX_DRIVER, 'd')},
                      &o, &error))
        << error;
}

TEST(SetupPlan, ParamFileNameIgnoresCaseAndTellsPrintersApart)
{
    const std::string name = ParamFileName("Laser A");
    EXPECT_EQ(name, ParamFileName("LASER a"));
    EXPECT_NE(name, ParamFileName("Laser B"));
    // Every letter's case, as the spooler compares names (the test run's code page is 1252);
    // earlier versions upper-cased the ASCII letters only.
    EXPECT_EQ(ParamFileName("B\xfcro"), ParamFileName("B\xdcRO"));
    EXPECT_NE(ParamFileName("B\xfcro"), EarlierParamFileName("B\xfcro"));
    EXPECT_EQ(name, EarlierParamFileName("Laser A"));
    ASSERT_EQ(14u, name.size()) << name;
    EXPECT_EQ(0u, name.find("zt"));
    EXPECT_EQ(".prm", name.substr(10));
    // Any printer name gives a plain file name.
    EXPECT_EQ(std::string::npos, ParamFileName("a/b:c*?<>|").find_first_of("/:*?<>|\\\""));
    // Two printers can share a hash: the variants that install then takes are names of
    // their own.
    EXPECT_EQ(ParamFileName("Laser D3ZX"), ParamFileName("Laser XB2A"));
    EXPECT_EQ("zte93c6843-1.prm", ParamFileName("Laser XB2A", 1));
    EXPECT_NE(ParamFileName("Laser XB2A", 1), ParamFileName("Laser XB2A", 2));
}

// The arguments that a program started with the line reads.
std::vector<std::wstring> ArgumentsOf(const std::wstring& line)
{
    std::vector<std::wstring> args;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count)) {
        args.assign(argv, argv + count);
        LocalFree(argv);
    }
    return args;
}

TEST(SetupActionLine, EveryValueArrivesExactlyAsThePackageGaveIt)
{
    const std::wstring exe = L"\"C:\\Program Files\\Z\\zetsetup.exe\"";
    const std::wstring exePath = L"C:\\Program Files\\Z\\zetsetup.exe";
    struct Case {
        std::wstring pasted; // after the program
        std::vector<std::wstring> args;
    } const cases[] = {
        {L" install --port \"\\\\srv\\share\\\" --run \"hklm\"",
         {L"install", L"--port", L"\\\\srv\\share\\", L"--run", L"hklm"}},
        {L" install --port \"C:\\out\\\\\" --no-start",
         {L"install", L"--port", L"C:\\out\\\\", L"--no-start"}},
        {L" install --printer \"Laser \\A\"", {L"install", L"--printer", L"Laser \\A"}},
        {L" install --printer \"/?\" --package {C0DE}  ", {L"install", L"--printer", L"/?", L"--package", L"{C0DE}"}},
        {L" install --printer \"\" --trace", {L"install", L"--printer", L"", L"--trace"}},
        {L" install --printer \"\u30bd\u30d5\u30c8\"", {L"install", L"--printer", L"\u30bd\u30d5\u30c8"}},
    };
    for (const Case& c : cases) {
        std::wstring exact;
        std::string error;
        ASSERT_TRUE(ExactActionLine(exe + c.pasted, &exact, &error)) << error;
        std::vector<std::wstring> expected = {exePath};
        expected.insert(expected.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(expected, ArgumentsOf(exact)) << std::string(exact.begin(), exact.end());
    }
    // A value with a quote mark of its own would shift every later one: refused.
    std::wstring exact;
    std::string error;
    EXPECT_FALSE(ExactActionLine(exe + L" install --printer \"a\"b\"", &exact, &error));
}

// A plan whose folder path is `length` characters long.
InstallPlan PlanWithDir(size_t length, RunMode run)
{
    InstallPlan plan;
    plan.printer = "P";
    plan.dir = "C:\\" + std::string(length - 3, 'd');
    plan.run = run;
    return plan;
}

TEST(SetupRun, EntryFormAndLengthLimit)
{
    InstallPlan plan;
    plan.printer = "Laser A";
    plan.dir = "C:\\Zet";
    const std::string file = "C:\\Zet\\" + ParamFileName("Laser A");
    EXPECT_EQ("\"C:\\Zet\\zettray.exe\" /EF \"HKCU\" /A \"" + file + "\"", RunData(plan, true));
    EXPECT_EQ("\"C:\\Zet\\zettray.exe\" /A \"" + file + "\"", RunData(plan, false));
    plan.run = RunMode::None;
    EXPECT_EQ("\"C:\\Zet\\zettray.exe\" /P \"Laser A\"", MonitorCommandLine(plan));
    plan.run = RunMode::Machine;
    EXPECT_EQ(RunData(plan, false), MonitorCommandLine(plan));

    // The folder stands twice in an entry: the machine's entry (2 * 112 + 35 characters)
    // can be 259 long, the per-user entry (11 characters more) only 258 or 260.
    std::string error;
    InstallPlan plan259 = PlanWithDir(112, RunMode::Machine);
    ASSERT_EQ(RUN_DATA_MAX, RunData(plan259, false).size());
    EXPECT_TRUE(CheckRunDataLength(plan259, &error)) << error;
    InstallPlan plan261 = PlanWithDir(113, RunMode::Machine);
    EXPECT_FALSE(CheckRunDataLength(plan261, &error));
    EXPECT_NE(std::string::npos, error.find("261 characters")) << error;

    InstallPlan user258 = PlanWithDir(106, RunMode::User);
    ASSERT_EQ(258u, RunData(user258, true).size());
    EXPECT_TRUE(CheckRunDataLength(user258, &error)) << error;
    InstallPlan user260 = PlanWithDir(107, RunMode::User);
    EXPECT_FALSE(CheckRunDataLength(user260, &error));
    EXPECT_NE(std::string::npos, error.find("260 characters")) << error;
    // Only the entries that are written count.
    user260.run = RunMode::Both;
    EXPECT_FALSE(CheckRunDataLength(user260, &error));
    user260.run = RunMode::Machine;
    EXPECT_TRUE(CheckRunDataLength(user260, &error)) << error;
    user260.run = RunMode::None;
    EXPECT_TRUE(CheckRunDataLength(user260, &error)) << error;
}

} // namespace
