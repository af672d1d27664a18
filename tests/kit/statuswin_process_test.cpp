// J_R10RN1.EXE started directly, with the two command-line forms that the monitor writes
// and with bad input: the window it opens, and the one window per printer and kind.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "prefs_window.h"
#include "scoped.h"
#include "targets.h"
#include "status_window.h"
#include "statuswin_testutil.h"

namespace {

std::string StatusProgram()
{
    return zt::BinPath("J_R10RN1.EXE");
}

// A value in the length-prefixed form: /P9 "Laser "A"".
std::string LengthOption(const char* name, const std::string& value)
{
    return std::string("/") + name + std::to_string(value.size()) + " \"" + value + "\"";
}

// Starts the program and waits for its window with that title; the process is closed at
// the end of the scope.
class StatusProgramRun {
public:
    StatusProgramRun(const std::string& args, const std::string& title)
    {
        if (m_process.Start(StatusProgram(), args))
            m_window = zt::WaitForWindowTitled(title, m_process.Pid());
    }
    ~StatusProgramRun()
    {
        if (m_window)
            PostMessageA(m_window, WM_CLOSE, 0, 0);
        if (!m_process.Wait(zt::kExitTimeoutMs))
            m_process.Kill();
    }
    HWND Window() const { return m_window; }
    zt::ChildProcess& Process() { return m_process; }

private:
    zt::ChildProcess m_process;
    HWND m_window = nullptr;
};

TEST(StatusProgram, LengthFormCarriesQuotesAndSaysWhenThePrinterIsMissing)
{
    std::string printer = "Laser \"A\" /O " + zt::UniqueName("ztq");
    std::string port = zt::UniqueName("ztport");
    StatusProgramRun run(LengthOption("P", printer) + " " + LengthOption("O", port) + " " + LengthOption("M", "X9") +
                             " ",
                         STATUS_TITLE_PREFIX + printer);
    HWND window = run.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(printer, zt::ItemText(window, IDC_STATUS_PRINTER));
    EXPECT_EQ(port, zt::ItemText(window, IDC_STATUS_PORT));
    EXPECT_EQ("X9", zt::ItemText(window, IDC_STATUS_MODEL));
    EXPECT_EQ("The printer cannot be opened (error 1801)",
              zt::ItemTextOnce(window, IDC_STATUS_STATE, "The printer cannot be opened (error 1801)"));
    EXPECT_EQ("-", zt::ItemText(window, IDC_STATUS_JOBS));

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(run.Process().Wait(zt::kExitTimeoutMs, &code));
    EXPECT_EQ(0u, code);
}

TEST(StatusProgram, ParameterFileByBareNameIsReadAndDeleted)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    zt::TempFile file("J_R");
    ASSERT_TRUE(zt::WriteFileBytes(file.Path(), "/P \"" + printer.Name() + "\"\r\n/O \"" + printer.Port() +
                                                     "\"\r\n/M \"X9\"\r\n"));
    StatusProgramRun run("/F \"" + file.Name() + "\"", STATUS_TITLE_PREFIX + printer.Name());
    HWND window = run.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(zt::FileExists(file.Path()));
    EXPECT_EQ(printer.Driver(), zt::ItemTextOnce(window, IDC_STATUS_DRIVER, printer.Driver()))
        << "the driver comes from the spooler";
    EXPECT_EQ("Ready", zt::ItemTextOnce(window, IDC_STATUS_STATE, "Ready"));
    EXPECT_EQ("0", zt::ItemText(window, IDC_STATUS_JOBS));
}

// Moves the printer to another port through the spooler.
bool SetPrinterPort(const std::string& printer, const std::string& port)
{
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, &defaults))
        return false;
    DWORD needed = 0;
    GetPrinterA(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> block(needed ? needed : 1);
    bool ok = GetPrinterA(handle, 2, block.data(), needed, &needed) != FALSE;
    if (ok) {
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
        info->pPortName = const_cast<char*>(port.c_str());
        info->pSecurityDescriptor = nullptr;
        ok = SetPrinterA(handle, 2, block.data(), 0) != FALSE;
    }
    ClosePrinter(handle);
    return ok;
}

TEST(StatusProgram, ShowsWhatTheSpoolerReportsLater)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    StatusProgramRun run(LengthOption("P", printer.Name()), STATUS_TITLE_PREFIX + printer.Name());
    ASSERT_NE(nullptr, run.Window());
    EXPECT_EQ(printer.Port(), zt::ItemText(run.Window(), IDC_STATUS_PORT));
    ASSERT_TRUE(SetPrinterPort(printer.Name(), "FILE:"));
    EXPECT_TRUE(zt::WaitFor([&] { return zt::ItemText(run.Window(), IDC_STATUS_PORT) == "FILE:"; },
                            zt::kWindowTimeoutMs));
    ASSERT_TRUE(printer.Delete());
    EXPECT_TRUE(zt::WaitFor(
        [&] { return zt::ItemText(run.Window(), IDC_STATUS_STATE) == "The printer cannot be opened (error 1801)"; },
        zt::kWindowTimeoutMs));
}

TEST(StatusProgram, PortStandsInForAMissingPrinterName)
{
    std::string port = zt::UniqueName("ztport");
    StatusProgramRun run(LengthOption("O", port), STATUS_TITLE_PREFIX + port);
    ASSERT_NE(nullptr, run.Window());
    EXPECT_EQ("Unknown: no printer name was given", zt::ItemText(run.Window(), IDC_STATUS_STATE));
}

TEST(StatusProgram, LongestNameIsShownWholeAndALongerOneIsRefused)
{
    std::string longest = zt::UniqueName("ztl");
    longest.resize(259, 'L');
    std::string port = zt::UniqueName("ztport");
    {
        StatusProgramRun run(LengthOption("P", longest), STATUS_TITLE_PREFIX + longest);
        ASSERT_NE(nullptr, run.Window());
        EXPECT_EQ(longest, zt::ItemText(run.Window(), IDC_STATUS_PRINTER));
    }
    // One character more does not fit: the name reads as empty and the port stands in.
    StatusProgramRun run(LengthOption("P", longest + "L") + " " + LengthOption("O", port), STATUS_TITLE_PREFIX + port);
    ASSERT_NE(nullptr, run.Window());
    EXPECT_EQ("", zt::ItemText(run.Window(), IDC_STATUS_PRINTER));
}

// No printer at all: a message box, then the program ends with code 2.
void ExpectNoPrinterMessage(const std::string& args)
{
    zt::ChildProcess process;
    ASSERT_TRUE(process.Start(StatusProgram(), args));
    HWND box = zt::WaitForWindowTitled("ORVEL Zetwatch", process.Pid());
    ASSERT_NE(nullptr, box) << args;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    if (!process.Wait(zt::kExitTimeoutMs, &code))
        process.Kill();
    EXPECT_EQ(2u, code) << args;
}

TEST(StatusProgram, NoPrinterNamedEndsWithAMessage)
{
    ExpectNoPrinterMessage("");
    ExpectNoPrinterMessage("/E");
    ExpectNoPrinterMessage("/F \"" + zt::UniqueName("J_Rmissing") + ".tmp\"");
    ExpectNoPrinterMessage("/P Laser /M \"X9\"");
}

TEST(StatusProgram, SecondStartBringsTheFirstWindowBack)
{
    std::string printer = zt::UniqueName("ztsecond");
    std::string args = LengthOption("P", printer);
    std::string title = STATUS_TITLE_PREFIX + printer;
    StatusProgramRun first(args, title);
    ASSERT_NE(nullptr, first.Window());
    ShowWindow(first.Window(), SW_MINIMIZE);
    ASSERT_TRUE(zt::WaitFor([&] { return IsIconic(first.Window()) != FALSE; }, zt::kWindowTimeoutMs));

    DWORD code = 99;
    ASSERT_TRUE(zt::RunProcess(StatusProgram(), args, zt::kExitTimeoutMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, zt::WindowsTitled(title).size());
    EXPECT_TRUE(zt::WaitFor([&] { return !IsIconic(first.Window()); }, zt::kWindowTimeoutMs)) << "restored";

    // The other kind has a slot of its own.
    StatusProgramRun prefs(args + " /E", PREFS_TITLE_PREFIX + printer);
    EXPECT_NE(nullptr, prefs.Window());
    EXPECT_EQ(1u, zt::WindowsTitled(title).size());
}

// True when the standard table holds an occupied record for the key.
bool RecordInUse(HANDLE mapping, const std::string& key)
{
    ScopedView view;
    if (!view.Map(mapping, FILE_MAP_READ, TABLE_SIZE_STD))
        return false;
    for (DWORD p = 0; p < TABLE_POSITIONS; ++p) {
        const BYTE* record = view.Get() + p * RECORD_SIZE_STD;
        if (record[0] == RECORD_END_MARKER)
            break;
        if (record[0] != RECORD_FREE && _stricmp(reinterpret_cast<const char*>(record), key.c_str()) == 0)
            return true;
    }
    return false;
}

TEST(StatusProgram, RegistersItsWindowAndClearsTheRecordAtExit)
{
    std::string printer = zt::UniqueName("ztslot");
    // Held open so that the table outlives the program.
    ScopedHandle table(OpenStdTable(printer.c_str(), MAP_NAME_STD));
    ASSERT_TRUE(table.IsValid());
    {
        StatusProgramRun run(LengthOption("P", printer), STATUS_TITLE_PREFIX + printer);
        ASSERT_NE(nullptr, run.Window());
        EXPECT_EQ(run.Window(), FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_0));
        EXPECT_TRUE(RecordInUse(table.Get(), printer));
    }
    EXPECT_FALSE(RecordInUse(table.Get(), printer));
}

TEST(PrefsProgram, PlainLabelsWithoutTheResourceLibrary)
{
    zt::KitOptions options;
    options.resDll = false;
    options.trayIconSelected = 1;
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    StatusProgramRun run("/P \"" + kit.Printer() + "\" /M \"" + kit.Model() + "\" /E",
                         PREFS_TITLE_PREFIX + kit.Printer());
    HWND window = run.Window();
    ASSERT_NE(nullptr, window);
    for (UINT i = 0; i < TRAY_IMAGE_COUNT; ++i) {
        HWND image = GetDlgItem(window, IDC_PREFS_IMAGE_FIRST + i);
        EXPECT_FALSE(GetWindowLongA(image, GWL_STYLE) & BS_ICON);
        EXPECT_EQ("Image " + std::to_string(i + 1), zt::WindowTitle(image));
    }
    // The target was made as the monitor makes it, with the profile's defaults.
    EXPECT_FALSE(kit.TargetKey().empty());
    EXPECT_TRUE(zt::IsChecked(window, IDC_PREFS_IMAGE_FIRST + 1));
    EXPECT_TRUE(zt::IsChecked(window, IDC_PREFS_SHOW_ICON));
}

TEST(PrefsProgram, UnknownPrinterCannotBeChanged)
{
    std::string printer = zt::UniqueName("ztgone");
    StatusProgramRun run("/P \"" + printer + "\" /E", PREFS_TITLE_PREFIX + printer);
    HWND window = run.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("The settings of this printer cannot be read or written.", zt::ItemText(window, IDC_PREFS_NOTE));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_PREFS_OK)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_PREFS_CANCEL)));
    char path[ZT_TEXT] = "";
    // Not found (1), or no printer list at all (4) when no other target exists.
    EXPECT_NE(0, FindTargetReg(printer.c_str(), 0, path)) << "no target made";
}

} // namespace
