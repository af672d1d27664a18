// InitInstance's start-up decision, in process, against the real HKCU and HKLM Run keys,
// spooler and files. Every start uses /EF "HKCU", the short start-up delay.
#include <gtest/gtest.h>

#include "driverkit.h"
#include "fake_spooler.h"
#include "initinstance.h"
#include "runvalue.h"
#include "startup_reg.h"
#include "testsupport.h"
#include "trace.h"

namespace {

using zt::RunNames;
using zt::RunValue;

class StartupDecision : public ::testing::Test {
protected:
    StartupDecision() { EXPECT_TRUE(zt::WriteFileBytes(m_attached.Path(), "/S\n")); }
    std::string RunData() const { return "\"C:\\x\\zettray.exe\" /P \"" + m_printer + "\" /A \"" + m_attached.Path() + "\""; }

    std::string m_printer = zt::UniqueName("ztgone");
    zt::TempFile m_attached{"J_R"};
    CMainFrame m_frame;
};

// Only a printer that the spooler says does not exist loses its entry; one that it cannot
// reach now keeps it (and, with no model known here, is not started either).
TEST_F(StartupDecision, GonePrinterWithAttachedFileLosesItsEntry)
{
    struct Row {
        DWORD error; // of the open; 0: the spooler's own answer (no such printer)
        bool removed;
    } rows[] = {
        {0, true},
        {RPC_S_SERVER_UNAVAILABLE, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        ASSERT_TRUE(zt::WriteFileBytes(m_attached.Path(), "/S\n"));
        RunValue user(HKEY_CURRENT_USER, m_printer, RunData());
        RunValue machine(HKEY_LOCAL_MACHINE, m_printer, RunData());
        RunValue other(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), RunData());
        zt::FakeSpooler spooler;
        if (row.error)
            spooler.Fail(m_printer, zt::SPOOL_OPEN, row.error);
        std::string cmd = "/P \"" + m_printer + "\" /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
        EXPECT_EQ(0, InitInstance(cmd.c_str(), &m_frame, GetModuleHandleA(nullptr)));
        EXPECT_EQ(!row.removed, user.Exists());
        EXPECT_TRUE(machine.Exists()) << "HKLM is left alone";
        EXPECT_TRUE(other.Exists()) << "only the value named after the printer goes";
        EXPECT_EQ(!row.removed, zt::FileExists(m_attached.Path()));
    }
}

// A printer that cannot be reached at log-on is watched all the same: the monitor starts,
// with its entries, and its icon says that the printer cannot be reached.
TEST_F(StartupDecision, PrinterOutOfReachStartsAndSaysSo)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData());
    zt::FakeSpooler spooler;
    spooler.Fail(kit.Printer(), zt::SPOOL_OPEN, RPC_S_SERVER_UNAVAILABLE);
    CMainFrame frame;
    g_pMainFrame = &frame;
    std::string cmd = "/P \"" + kit.Printer() + "\" /D \"" + kit.Driver() + "\" /O \"" + kit.Port() + "\" /M \"" +
                      kit.Model() + "\" /EF \"HKCU\"";
    EXPECT_EQ(1, InitInstance(cmd.c_str(), &frame, GetModuleHandleA(nullptr)));
    EXPECT_TRUE(frame.m_fUnreachable);
    EXPECT_TRUE(frame.m_episode.InTrouble()) << "the notification's episode begins";
    EXPECT_TRUE(user.Exists());
    EXPECT_FALSE(kit.TargetKey().empty());
    frame.CleanUp();
    DestroyWindow(frame.m_hWnd);
    g_pMainFrame = nullptr;
}

TEST_F(StartupDecision, AttachWithoutFollowingBlankRemovesNothing)
{
    RunValue user(HKEY_CURRENT_USER, m_printer, RunData());
    // The file is read through /A, but the raw text holds no "/A " or "/a ".
    std::string cmds[] = {
        "/P \"" + m_printer + "\" /EF \"HKCU\" /A\"" + m_attached.Path() + "\"",
        "/P \"" + m_printer + "\" /EF \"HKCU\" /A",
    };
    for (const std::string& cmd : cmds) {
        SCOPED_TRACE(cmd);
        EXPECT_EQ(0, InitInstance(cmd.c_str(), &m_frame, nullptr));
        EXPECT_TRUE(user.Exists());
        EXPECT_TRUE(zt::FileExists(m_attached.Path()));
    }
}

TEST_F(StartupDecision, NoPrinterNoPortRemovesFirstEntryNamingTheFile)
{
    std::string base = zt::UniqueName("ztrun");
    RunValue unrelated(HKEY_CURRENT_USER, base + "_1", "\"C:\\other.exe\"");
    RunValue first(HKEY_CURRENT_USER, base + "_2", RunData());
    RunValue second(HKEY_CURRENT_USER, base + "_3", RunData());
    zt::ExpectEnumerationOrder({&unrelated, &first, &second});
    // A missing file named without its folder is not another printer's file of that name.
    const std::string bare = zt::UniqueName("run") + ".tmp";
    RunValue elsewhere(HKEY_CURRENT_USER, base + "_4", "\"C:\\x\\zettray.exe\" /A \"C:\\x\\" + bare + "\"");
    EXPECT_EQ(0, InitInstance(("/EF \"HKCU\" /A \"" + bare + "\"").c_str(), &m_frame, nullptr));
    EXPECT_TRUE(elsewhere.Exists());
    EXPECT_TRUE(first.Exists());

    std::string cmd = "/EF \"HKCU\" /a \"" + m_attached.Path() + "\"";
    EXPECT_EQ(0, InitInstance(cmd.c_str(), &m_frame, nullptr));
    EXPECT_FALSE(first.Exists());
    EXPECT_TRUE(second.Exists());
    EXPECT_TRUE(unrelated.Exists());
    EXPECT_FALSE(zt::FileExists(m_attached.Path()));
}

TEST_F(StartupDecision, EmptyAttachedNameRemovesNothing)
{
    RunValue value(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), RunData());
    std::vector<std::string> before = RunNames();
    EXPECT_EQ(0, InitInstance("/EF \"HKCU\" /A \"\" ", &m_frame, nullptr));
    EXPECT_EQ(0, InitInstance("/EF \"HKCU\" /A x", &m_frame, nullptr));
    EXPECT_EQ(before, RunNames());
}

TEST_F(StartupDecision, ExistingPrinterOrPortKeepsEntryAndFile)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    RunValue user(HKEY_CURRENT_USER, printer.Name(), RunData());
    // No model identifier is known for the test driver: there is nothing to start either.
    std::string cmd = "/P \"" + printer.Name() + "\" /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
    EXPECT_EQ(0, InitInstance(cmd.c_str(), &m_frame, nullptr));
    EXPECT_TRUE(user.Exists());
    EXPECT_TRUE(zt::FileExists(m_attached.Path()));
    // A port alone names something to monitor too.
    std::string portOnly = "/O \"LPT1:\" /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
    EXPECT_EQ(0, InitInstance(portOnly.c_str(), &m_frame, nullptr));
    EXPECT_TRUE(user.Exists());
    EXPECT_TRUE(zt::FileExists(m_attached.Path()));
}

TEST_F(StartupDecision, NameOutsideTheCodePageTouchesNothing)
{
    const std::string unique = zt::UniqueName(" zt");
    zt::TestPrinter other;
    zt::WidePrinter printer(L"\x041f\x0440\x0438\x043d\x0442\x0435\x0440" + std::wstring(unique.begin(), unique.end()),
                            other.Driver());
    ASSERT_TRUE(printer.Ok());
    // What code page 1252 makes of the name: the value and file of another installer.
    m_printer = "???????" + unique;
    RunValue user(HKEY_CURRENT_USER, m_printer, RunData());
    const std::string cmd = "/P \"" + m_printer + "\" /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
    // Started with the name itself, or with its ANSI form (from a file or another program).
    std::wstring wide(cmd.begin(), cmd.end());
    wide[4] = L'\x041f';
    for (const wchar_t* wideArgs : {wide.c_str(), static_cast<const wchar_t*>(nullptr)}) {
        EXPECT_EQ(0, InitInstance(cmd.c_str(), &m_frame, nullptr, wideArgs));
        EXPECT_TRUE(user.Exists());
        EXPECT_TRUE(zt::FileExists(m_attached.Path()));
    }
}

TEST_F(StartupDecision, TraceLinesInOrder)
{
    RunValue user(HKEY_CURRENT_USER, m_printer, RunData());
    std::string cmd = "/P \"" + m_printer + "\" /O \"LPT7:\" /R /I /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
    std::vector<std::string> lines;
    {
        zt::PrivateTrace trace;
        ASSERT_TRUE(trace.On());
        InitInstance(cmd.c_str(), &m_frame, nullptr);
        lines = trace.Take();
    }

    const std::string expected[] = {
        "InitInstance",
        "cmdInfo.m_szPrinterName : " + m_printer,
        "cmdInfo.m_bFrom : 1",
        "cmdInfo.m_szPortName : LPT7:",
        "cmdInfo.m_szDriverName : ",
        "cmdInfo.m_szModelID : ",
        "cmdInfo.m_fRemove : 1",
        "cmdInfo.m_fIconInstall : 1",
        "DeleteStartupReg",
    };
    ASSERT_EQ(std::size(expected), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(expected[i], lines[i]);
    EXPECT_FALSE(user.Exists());
}

} // namespace
