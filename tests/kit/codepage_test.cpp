// A printer and a folder of a double-byte code page, end to end. This program runs under the
// Japanese code page 932 (Wine takes it from the locale that the test run sets), where the
// second byte of many characters, 表 and ソ among them, is a backslash.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include "initinstance.h"
#include "mainframe.h"
#include "strutil.h"
#include "testsupport.h"
#include "zetsetup_fixture.h"

namespace {

// "ソフト部プリンタ" and "プリンタ表" in code page 932.
const char kJapaneseName[] = "\x83\x5c\x83\x74\x83\x67\x95\x94\x83\x76\x83\x8a\x83\x93\x83\x5e";
const char kJapaneseFolder[] = "\x83\x76\x83\x8a\x83\x93\x83\x5e\x95\x5c";
// The Japanese resource library's "監視の設定(&M)..." and "用紙切れ" (out of paper).
const char kJapanesePrefs[] = "\x8a\xc4\x8e\x8b\x82\xcc\x90\xdd\x92\xe8(&M)...";
const char kJapanesePaperOut[] = "\x97\x70\x8e\x86\x90\xd8\x82\xea";

TEST(CodePage932, PrinterInAFolderEndingInABackslashByteInstallsStartsAndShows)
{
    ASSERT_EQ(932u, GetACP()) << "the test run's Japanese locale is missing";
    // An odd number of single-byte characters first, so that the tooltip's limit (an odd
    // number of bytes, less 3 for "...") falls in the middle of a double-byte character.
    std::string name = "Sales & x";
    for (int i = 0; i < 8; ++i)
        name += kJapaneseName;
    zt::SetupInstallation setup(name + zt::UniqueName(" "), kJapaneseFolder);
    zt::SetupResult r = setup.Install();
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(0u, r.code) << "the monitor appeared: " << r.output;
    PostMessageA(zt::MonitorWindow(setup.Printer()), WM_CLOSE, 0, 0);
    ASSERT_TRUE(zt::WaitMonitorGone(setup.Printer(), 15000));

    // The same start in this process, to read its tooltip and menu.
    const std::string cmd = "/P \"" + setup.Printer() + "\" /EF \"HKCU\"";
    wchar_t wide[512] = L"";
    ASSERT_LT(0, MultiByteToWideChar(CP_ACP, 0, cmd.c_str(), -1, wide, 512));
    CMainFrame frame;
    g_pMainFrame = &frame;
    ASSERT_EQ(1, InitInstance(cmd.c_str(), &frame, GetModuleHandleA(nullptr), wide));
    EXPECT_EQ(setup.Printer().substr(0, TRAY_TIP_CHARS - 4) + "...", frame.m_nid.szTip);
    char text[512] = "";
    GetMenuStringA(GetSubMenu(frame.m_hMenu, 0), ID_PRINTER_STATUS, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_EQ("Sales && x" + setup.Printer().substr(9), text) << "'&' shows as itself";
    // A Japanese user gets the profile's Japanese resource library: its menu and its words
    // for the printer's state.
    EXPECT_EQ(setup.DirFile("zetresja.dll"), frame.m_szResDllPath);
    GetMenuStringA(GetSubMenu(frame.m_hMenu, 0), ID_MONITOR_PREFS, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ(kJapanesePrefs, text);
    ASSERT_TRUE(zt::SetPrinterState(setup.Printer(), PRINTER_STATUS_PAPER_OUT, false));
    frame.ReadPrinterStateNow();
    EXPECT_STREQ(kJapanesePaperOut, frame.m_pszStateText);
    DestroyWindow(frame.m_hWnd);
    g_pMainFrame = nullptr;

    r = setup.Uninstall();
    EXPECT_EQ(0u, r.code) << r.output;
    zt::ExpectNothingLeft(setup);
}

// Names compare as the spooler compares them, by whole characters: "\x83\x41" and "\x83\x61"
// are two characters of 932 (in 1252 they end in "A" and "a").
TEST(CodePage932, NamesCompareByWholeCharacters)
{
    ASSERT_EQ(932u, GetACP()) << "the test run's Japanese locale is missing";
    struct Row {
        const char *a, *b;
        int same;
    } const rows[] = {
        {"Laser \x83\x41", "LASER \x83\x41", 1},
        {"\x83\x41", "\x83\x61", 0},
        {"\x83\x41", "\x83\x41" "b", 0},
        {kJapaneseName, kJapaneseName, 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, SameName(row.a, row.b)) << "row " << (&row - rows);
}

} // namespace
