// The frame's tray, menu and launch operations in process, with the shell call replaced
// where the notification area has to misbehave, and real resources (from resource
// libraries mapped as the monitor maps them, as data), registry and DCs.
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <vector>

#include "aux_layout.h"
#include "cmdinfo.h"
#include "driverkit.h"
#include "library.h"
#include "mainframe.h"
#include "monitor_util.h"
#include "targets.h"
#include "testsupport.h"

namespace {

// A stand-in for the shell call that refuses a number of adds and records every call. It
// keeps the shell's rule for the tooltip, which Wine's shell does not: at version 4 the
// tooltip shows only while the last record that set it asked for it (NIF_SHOWTIP).
struct FakeShell {
    int refuseAdds = 0;
    bool refuseAllAdds = false;
    bool olderShell = false; // knows no version 4
    std::vector<DWORD> calls;
    std::vector<HICON> icons;
    std::vector<NOTIFYICONDATAA> records;
    UINT version = 0;
    bool askedForTip = false;
    bool TipShown() const { return version < NOTIFYICON_VERSION_4 || askedForTip; }
};
FakeShell* g_shell = nullptr;

BOOL WINAPI FakeNotifyIcon(DWORD message, PNOTIFYICONDATAA data)
{
    g_shell->calls.push_back(message);
    g_shell->icons.push_back(data->hIcon);
    g_shell->records.push_back(*data);
    if (message == NIM_ADD && (g_shell->refuseAllAdds || g_shell->refuseAdds-- > 0))
        return FALSE;
    if (message == NIM_SETVERSION) {
        if (g_shell->olderShell && data->uVersion >= NOTIFYICON_VERSION_4)
            return FALSE;
        g_shell->version = data->uVersion;
    }
    if ((message == NIM_ADD || message == NIM_MODIFY) && (data->uFlags & NIF_TIP))
        g_shell->askedForTip = (data->uFlags & NIF_SHOWTIP) != 0;
    return TRUE;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shell = &m_shell;
        m_frame.m_pfnNotifyIcon = FakeNotifyIcon;
        m_frame.m_dwTrayRetryDelay = 1;
        m_frame.m_hWnd = reinterpret_cast<HWND>(0x1234);
        SafeCopyText(m_frame.m_szPrinterName, "Laser A");
    }
    void TearDown() override
    {
        if (m_frame.m_hResDll)
            FreeLibrary(m_frame.m_hResDll);
        m_frame.m_hResDll = nullptr;
        m_frame.m_hWnd = nullptr;
        g_shell = nullptr;
    }
    static void SafeCopyText(char (&dst)[260], const std::string& text) { lstrcpynA(dst, text.c_str(), 260); }

    FakeShell m_shell;
    CMainFrame m_frame;
};

TEST_F(FrameTest, TrayAddRetriesWhileNotificationAreaIsMissing)
{
    m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
    ASSERT_NE(nullptr, m_frame.m_hResDll);
    m_shell.refuseAdds = 3;
    EXPECT_EQ(1, m_frame.SetTrayIcon(1, 1));
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_ADD, NIM_ADD, NIM_SETVERSION, NIM_MODIFY}), m_shell.calls)
        << "three refusals, then the add that worked, then the newest version and its tooltip";
    EXPECT_EQ(4u, m_shell.version);
    EXPECT_EQ(4u, m_frame.m_uTrayVersion);
    EXPECT_EQ(m_frame.m_hIcon[1], m_shell.icons[3]);
    EXPECT_NE(nullptr, m_frame.m_hIcon[0]);
    EXPECT_NE(m_frame.m_hIcon[0], m_frame.m_hIcon[1]);
    // At the shell's small-icon size.
    ICONINFO icon;
    ASSERT_TRUE(GetIconInfo(m_frame.m_hIcon[0], &icon));
    BITMAP mask;
    ASSERT_TRUE(GetObjectA(icon.hbmMask, sizeof(mask), &mask));
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), mask.bmWidth);
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
    EXPECT_EQ(TRAY_RECORD_SIZE, m_frame.m_nid.cbSize);
    // The record reaches up to the icon's version and notification texts (shells ignore
    // a notification in the 88-byte first form).
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, guidItem) + sizeof(GUID), m_frame.m_nid.cbSize);
    EXPECT_TRUE(m_shell.TipShown());
    EXPECT_EQ(1124u, m_frame.m_nid.uCallbackMessage);
    EXPECT_STREQ("Laser A", m_frame.m_nid.szTip);
    m_frame.SetTrayIcon(0, 0);
    EXPECT_TRUE(m_shell.TipShown()) << "a change of image keeps the tooltip";

    // A shell that knows version 3 at most takes the record as it was.
    FakeShell older;
    older.olderShell = true;
    g_shell = &older;
    CMainFrame frame;
    frame.m_pfnNotifyIcon = FakeNotifyIcon;
    frame.m_hWnd = m_frame.m_hWnd;
    frame.m_hResDll = m_frame.m_hResDll;
    EXPECT_EQ(1, frame.SetTrayIcon(0, 1));
    EXPECT_EQ(3u, frame.m_uTrayVersion);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), frame.m_nid.uFlags);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), older.calls.back());
    frame.m_hResDll = nullptr;
    frame.m_nid.hWnd = nullptr;
    frame.m_hWnd = nullptr;
    g_shell = &m_shell;
}

TEST_F(FrameTest, TrayAddGivesUpAfterTenRetries)
{
    m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
    m_shell.refuseAllAdds = true;
    EXPECT_EQ(0, m_frame.SetTrayIcon(0, 1));
    EXPECT_EQ(11u, m_shell.calls.size());
    EXPECT_EQ(nullptr, m_frame.m_nid.hWnd) << "nothing to delete at clean-up";
    m_frame.CleanUp();
    EXPECT_EQ(11u, m_shell.calls.size());
}

TEST_F(FrameTest, ImageOutsideTheThreeShowsTheFirstAndTipIsCut)
{
    m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
    SafeCopyText(m_frame.m_szPrinterName, std::string(127, 'p'));
    ASSERT_EQ(1, m_frame.SetTrayIcon(2, 1));
    EXPECT_EQ(m_frame.m_hIcon[2], m_shell.icons.back());
    EXPECT_EQ(std::string(127, 'p'), m_frame.m_nid.szTip);
    SafeCopyText(m_frame.m_szPrinterName, std::string(200, 'p'));
    m_frame.SetTrayIcon(2, 0);
    EXPECT_EQ(std::string(124, 'p') + "...", m_frame.m_nid.szTip);
    for (int index : {3, -1, 1000}) {
        EXPECT_EQ(1, m_frame.SetTrayIcon(index, 0));
        EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), m_shell.calls.back());
        EXPECT_EQ(m_frame.m_hIcon[0], m_shell.icons.back()) << index;
    }
    // The port stands in for an empty printer name.
    m_frame.m_szPrinterName[0] = '\0';
    SafeCopyText(m_frame.m_szPortName, "LPT1:");
    m_frame.SetTrayIcon(1, 0);
    EXPECT_STREQ("LPT1:", m_frame.m_nid.szTip);
}

TEST_F(FrameTest, NewNotificationAreaGetsTheIconAgain)
{
    m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
    EXPECT_EQ(0, m_frame.OnTaskbarCreated()) << "no icon was set up yet";
    EXPECT_TRUE(m_shell.calls.empty());
    m_frame.m_nSelectedIcon = 2;
    ASSERT_EQ(1, m_frame.SetTrayIcon(2, 1));
    FreeLibrary(m_frame.m_hResDll); // as at the end of start-up
    m_frame.m_hResDll = nullptr;
    m_shell = FakeShell(); // a new shell
    EXPECT_EQ(1, m_frame.OnTaskbarCreated());
    ASSERT_EQ(2u, m_shell.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), m_shell.calls[0]);
    EXPECT_EQ(static_cast<DWORD>(NIM_SETVERSION), m_shell.calls[1]);
    EXPECT_EQ(m_frame.m_hIcon[2], m_shell.icons[0]);
    EXPECT_TRUE(m_shell.TipShown());
    // The shell still has it: the image is brought up to date instead.
    m_shell.refuseAllAdds = true;
    EXPECT_EQ(1, m_frame.OnTaskbarCreated());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), m_shell.calls.back());
}

TEST_F(FrameTest, MenuClosedGivesTheFocusBackToTheIcon)
{
    m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
    ASSERT_EQ(1, m_frame.SetTrayIcon(0, 1));
    m_frame.m_fIconInstall = 1; // no deleted-printer check
    m_frame.m_hMenu = CreateMenu();
    AppendMenuA(m_frame.m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "tray");
    // Version 4: the button alone does nothing, WM_CONTEXTMENU opens the menu.
    m_frame.OnTrayNotify(MAKEWPARAM(10, 20), MAKELPARAM(WM_RBUTTONDOWN, 0));
    EXPECT_NE(static_cast<DWORD>(NIM_SETFOCUS), m_shell.calls.back());
    m_frame.OnTrayNotify(MAKEWPARAM(10, 20), MAKELPARAM(WM_CONTEXTMENU, 0));
    EXPECT_EQ(static_cast<DWORD>(NIM_SETFOCUS), m_shell.calls.back());
    m_frame.CleanUp();
}

// The menu that BuildAuxMenu leaves: "-" for a separator, else the command number.
std::vector<std::string> MenuLayout(HMENU menu)
{
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOA info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR)
            items.push_back("-");
        else
            items.push_back(std::to_string(info.wID) + ((info.fType & MFT_OWNERDRAW) ? "" : "?"));
    }
    return items;
}

class AuxMenuTest : public FrameTest {
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        ASSERT_TRUE(m_kit.Ok());
        SafeCopyText(m_frame.m_szDriverName, m_kit.Driver());
        m_frame.m_hResDll = LoadResourceLibrary((zt::TestBinDir() + "zt_testres.dll").c_str());
        ASSERT_NE(nullptr, m_frame.m_hResDll);
        m_popup = CreatePopupMenu();
    }
    void TearDown() override
    {
        DestroyMenu(m_popup);
        zt::DeleteKeyTree(HKEY_LOCAL_MACHINE, IoUrlKey());
        FrameTest::TearDown();
    }
    void SetTools(int first, int last)
    {
        for (int command = first; command <= last; ++command)
            zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), std::to_string(command).c_str(), "tool.exe");
    }
    std::string IoUrlKey() const { return "Software\\ORVEL\\" + m_kit.Driver() + " IO_URL"; }

    zt::KitOptions Options() const
    {
        zt::KitOptions o;
        o.menu = false;
        return o;
    }
    zt::TestDriverKit m_kit{Options()};
    HMENU m_popup = nullptr;
};

TEST_F(AuxMenuTest, NoMenuKeyReleasesTheItemTable)
{
    EXPECT_EQ(0, m_frame.BuildAuxMenu(m_popup));
    EXPECT_EQ(0, GetMenuItemCount(m_popup));
    EXPECT_EQ(nullptr, m_frame.m_pAuxItems);
    EXPECT_EQ(0, m_frame.m_nAuxItemCount);
    // Owner-draw requests for tools are then ignored.
    MEASUREITEMSTRUCT measure = {ODT_MENU, 0, 920, 0, 0, 0};
    m_frame.MeasureAuxItem(&measure);
    EXPECT_EQ(0u, measure.itemWidth);
}

TEST_F(AuxMenuTest, SeparatorsBeforeListedVisiblePositions)
{
    SetTools(920, 924);
    struct Case {
        const char* separators;
        std::vector<std::string> layout;
    } cases[] = {
        {"2,4", {"-", "920", "-", "921", "922", "-", "923", "924"}},
        {"4,2", {"-", "920", "921", "922", "-", "923", "924"}},
        {"", {"-", "920", "921", "922", "923", "924"}},
        {"1", {"-", "-", "920", "921", "922", "923", "924"}},
        {"x,9,3", {"-", "920", "921", "922", "923", "924"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.separators);
        zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "Separators", c.separators);
        CMainFrame frame;
        frame.m_hResDll = m_frame.m_hResDll;
        SafeCopyText(frame.m_szDriverName, m_kit.Driver());
        HMENU popup = CreatePopupMenu();
        EXPECT_EQ(1, frame.BuildAuxMenu(popup));
        EXPECT_EQ(c.layout, MenuLayout(popup));
        DestroyMenu(popup);
        frame.m_hResDll = nullptr;
    }
}

TEST_F(AuxMenuTest, ItemsNeedValueAndTextAndKeepTheirBitmap)
{
    SetTools(920, 921);
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "926", "no text for this one.exe");
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "922", "");
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "Separators", "3");
    EXPECT_EQ(1, m_frame.BuildAuxMenu(m_popup));
    EXPECT_EQ((std::vector<std::string>{"-", "920", "921"}), MenuLayout(m_popup));
    EXPECT_STREQ("Tool A", m_frame.m_pAuxItems[0].m_szText);
    EXPECT_EQ(920u, m_frame.m_pAuxItems[0].m_nCommand);
    EXPECT_NE(nullptr, m_frame.m_pAuxItems[0].m_hBitmap);
    EXPECT_EQ(nullptr, m_frame.m_pAuxItems[1].m_hBitmap);
    EXPECT_EQ(0u, m_frame.m_pAuxItems[6].m_nCommand);

    // Each item carries its text, and first in its data what screen readers read of it,
    // with the access key marked: the first letter that neither the menu's own items (of
    // the resource library) nor an earlier item took.
    struct KeyCase {
        std::vector<const char*> own; // the menu's items before the tools
        const wchar_t* names[2];
        UINT keyOfFirst; // the key that picks the first tool
    } const keyCases[] = {
        {{}, {L"&Tool A", L"T&ool B"}, 't'},
        {{"&Tools", "Printer Status", "&&Other"}, {L"T&ool A", L"Too&l B"}, 'o'},
        {{"Rou&nd", "&Monitoring Preferences...", "A && &T"}, {L"T&ool A", L"Too&l B"}, 'O'},
    };
    for (const KeyCase& c : keyCases) {
        SCOPED_TRACE(c.own.empty() ? "" : c.own[0]);
        CMainFrame frame;
        frame.m_hResDll = m_frame.m_hResDll;
        SafeCopyText(frame.m_szDriverName, m_kit.Driver());
        HMENU popup = CreatePopupMenu();
        for (const char* item : c.own)
            AppendMenuA(popup, MF_STRING, 900, item);
        EXPECT_EQ(1, frame.BuildAuxMenu(popup));
        for (int i = 0; i < 2; ++i) {
            char text[64] = "";
            MENUITEMINFOA info;
            memset(&info, 0, sizeof(info));
            info.cbSize = sizeof(info);
            info.fMask = MIIM_STRING | MIIM_DATA | MIIM_FTYPE;
            info.dwTypeData = text;
            info.cch = sizeof(text);
            ASSERT_TRUE(GetMenuItemInfoA(popup, 920 + i, FALSE, &info));
            EXPECT_STREQ(frame.m_pAuxItems[i].m_szText, text);
            EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
            const auto* name = reinterpret_cast<const CAuxMenuItem::AccessName*>(info.dwItemData);
            ASSERT_NE(nullptr, name);
            EXPECT_EQ(0xAA0DF00Du, name->signature);
            EXPECT_EQ(wcslen(c.names[i]), name->chars);
            EXPECT_STREQ(c.names[i], name->text);
        }
        const int first = static_cast<int>(c.own.size()) + 1; // after the separator
        EXPECT_EQ(MAKELRESULT(first, MNC_EXECUTE), frame.OnMenuChar(c.keyOfFirst, popup));
        EXPECT_EQ(0, frame.OnMenuChar('x', popup));
        DestroyMenu(popup);
        frame.m_hResDll = nullptr;
    }
    EXPECT_EQ(MAKELRESULT(2, MNC_EXECUTE), m_frame.OnMenuChar('O', m_popup));
}

TEST_F(AuxMenuTest, DependentItemShownOnlyWithItsKey)
{
    SetTools(920, 920);
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.DriverKey(), "DepExe", "C:\\Drv\\IoTool.exe");
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "925", "\"C:\\Drv\\iotool.exe\" /menu");
    EXPECT_EQ(1, m_frame.BuildAuxMenu(m_popup));
    EXPECT_EQ((std::vector<std::string>{"-", "920"}), MenuLayout(m_popup));

    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, IoUrlKey(), "x", 1));
    CMainFrame frame;
    frame.m_hResDll = m_frame.m_hResDll;
    SafeCopyText(frame.m_szDriverName, m_kit.Driver());
    HMENU popup = CreatePopupMenu();
    EXPECT_EQ(1, frame.BuildAuxMenu(popup));
    EXPECT_EQ((std::vector<std::string>{"-", "920", "925"}), MenuLayout(popup));
    DestroyMenu(popup);
    frame.m_hResDll = nullptr;

    // The program name alone does not make a dependent item: the line must say MENU.
    EXPECT_EQ(1, m_frame.IsDepExeCommand(925, "IOTOOL.EXE"));
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "925", "C:\\Drv\\iotool.exe /x");
    EXPECT_EQ(0, m_frame.IsDepExeCommand(925, "IOTOOL.EXE"));
    EXPECT_EQ(0, m_frame.IsDepExeCommand(925, ""));
}

using zt::Canvas;

TEST_F(AuxMenuTest, DrawsBitmapTextAndSelectionColours)
{
    SetTools(920, 921);
    ASSERT_EQ(1, m_frame.BuildAuxMenu(m_popup));
    HBITMAP toolBitmap = m_frame.m_pAuxItems[0].m_hBitmap;
    ASSERT_NE(nullptr, toolBitmap);
    // The bitmap's own pixels (it must not stay selected elsewhere while it is drawn).
    COLORREF expected[16][16];
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSource = SelectObject(source, toolBitmap);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            expected[y][x] = GetPixel(source, x, y);
    }
    SelectObject(source, oldSource);
    DeleteDC(source);

    for (bool selected : {false, true}) {
        SCOPED_TRACE(selected);
        Canvas canvas(200, 24);
        DRAWITEMSTRUCT draw;
        memset(&draw, 0, sizeof(draw));
        draw.CtlType = ODT_MENU;
        draw.itemID = 920;
        draw.itemState = selected ? ODS_SELECTED : 0;
        draw.hDC = canvas.dc;
        draw.rcItem = {0, 0, 200, 24};
        COLORREF before = SetTextColor(canvas.dc, RGB(1, 2, 3));
        m_frame.DrawAuxItem(&draw);
        EXPECT_EQ(RGB(1, 2, 3), GetTextColor(canvas.dc)) << "colours restored";
        SetTextColor(canvas.dc, before);
        COLORREF fill = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
        EXPECT_EQ(fill, GetPixel(canvas.dc, 199, 0));
        // The bitmap sits at x = 4, centred: (24 - 16) / 2 = 4.
        for (int y = 0; y < 16; y += 5) {
            for (int x = 0; x < 16; x += 5)
                EXPECT_EQ(expected[y][x], GetPixel(canvas.dc, 4 + x, 4 + y)) << x << "," << y;
        }
        // Text was drawn right of it (offset 16 + 4 + 10 = 30) in the text colour.
        COLORREF ink = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
        bool inked = false;
        for (int x = 30; x < 120 && !inked; ++x) {
            for (int y = 0; y < 24 && !inked; ++y)
                inked = GetPixel(canvas.dc, x, y) == ink;
        }
        EXPECT_TRUE(inked);
        for (int y = 0; y < 24; ++y)
            EXPECT_EQ(fill, GetPixel(canvas.dc, 24, y)) << "nothing between bitmap and text";
    }

    // Ids that are not tools are ignored.
    Canvas canvas(10, 10);
    DRAWITEMSTRUCT other;
    memset(&other, 0, sizeof(other));
    other.CtlType = ODT_MENU;
    other.hDC = canvas.dc;
    other.rcItem = {0, 0, 10, 10};
    for (UINT id : {919u, 999u, 0u}) {
        other.itemID = id;
        SetPixel(canvas.dc, 5, 5, RGB(9, 9, 9));
        m_frame.DrawAuxItem(&other);
        EXPECT_EQ(RGB(9, 9, 9), GetPixel(canvas.dc, 5, 5)) << id;
    }
}

TEST_F(AuxMenuTest, DrawsTheBitmapAtTheMenuScale)
{
    SetTools(920, 920);
    ASSERT_EQ(1, m_frame.BuildAuxMenu(m_popup));
    // The tool bitmap's outer rows and columns are its plain background.
    const COLORREF edge = RGB(240, 240, 240);
    const COLORREF fill = GetSysColor(COLOR_MENU);
    ASSERT_NE(edge, fill);
    const struct {
        UINT dpi;
        int left;
        int size;
    } cases[] = {{96, 4, 16}, {120, 5, 20}, {144, 6, 24}, {192, 8, 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        m_frame.m_nMenuDpi = c.dpi;
        const int height = 40;
        Canvas canvas(300, height);
        DRAWITEMSTRUCT draw;
        memset(&draw, 0, sizeof(draw));
        draw.CtlType = ODT_MENU;
        draw.itemID = 920;
        draw.hDC = canvas.dc;
        draw.rcItem = {0, 0, 300, height};
        m_frame.DrawAuxItem(&draw);
        const int top = (height - c.size) / 2;
        const int right = c.left + c.size - 1;
        const int bottom = top + c.size - 1;
        const int middle = top + c.size / 2;
        for (POINT p : {POINT{c.left, top}, POINT{right, top}, POINT{c.left, bottom}, POINT{right, bottom}})
            EXPECT_EQ(edge, GetPixel(canvas.dc, p.x, p.y)) << p.x << "," << p.y;
        for (POINT p : {POINT{c.left - 1, middle}, POINT{right + 1, middle}, POINT{c.left + 1, top - 1},
                        POINT{c.left + 1, bottom + 1}})
            EXPECT_EQ(fill, GetPixel(canvas.dc, p.x, p.y)) << p.x << "," << p.y;
    }
}

TEST_F(AuxMenuTest, MeasuresTextPlusCheckWidth)
{
    SetTools(920, 921);
    ASSERT_EQ(1, m_frame.BuildAuxMenu(m_popup));
    MEASUREITEMSTRUCT a = {ODT_MENU, 0, 920, 0, 0, 0};
    MEASUREITEMSTRUCT b = {ODT_MENU, 0, 921, 0, 0, 0};
    m_frame.MeasureAuxItem(&a);
    m_frame.MeasureAuxItem(&b);
    EXPECT_GT(a.itemWidth, static_cast<UINT>(GetSystemMetrics(SM_CXMENUCHECK)));
    EXPECT_EQ(static_cast<UINT>(GetSystemMetrics(SM_CYMENU)), a.itemHeight);
    EXPECT_EQ(a.itemWidth, b.itemWidth) << "same length, same font";
    MEASUREITEMSTRUCT none = {ODT_MENU, 0, 999, 0, 0, 0};
    m_frame.MeasureAuxItem(&none);
    EXPECT_EQ(0u, none.itemWidth);

    // A menu opened at 150 %: the 16-pixel bitmap is drawn 24 tall, text and gaps grow.
    m_frame.m_nMenuDpi = 144;
    MEASUREITEMSTRUCT scaled = {ODT_MENU, 0, 920, 0, 0, 0};
    m_frame.MeasureAuxItem(&scaled);
    EXPECT_GE(scaled.itemHeight, 24u + 2u);
    EXPECT_GE(scaled.itemHeight, static_cast<UINT>(GetSystemMetrics(SM_CYMENU)) * 3 / 2);
    EXPECT_GE(scaled.itemWidth, a.itemWidth * 4 / 3);
}

struct AuxLayoutCase {
    AuxMenuMetrics metrics;
    SIZE bitmap;
    SIZE text;
    SIZE item;        // measured
    RECT drawn;       // the bitmap in an item at `origin`
    POINT textPlace;
};

TEST(AuxItemLayout, BitmapGapsAndHeightFollowTheMenuScale)
{
    const POINT origin = {10, 40};
    const AuxLayoutCase cases[] = {
        // 100 %: the bitmap at its own size, 4 from the left, the text 10 after it.
        {{96, 19, 13}, {16, 16}, {100, 13}, {143, 19}, {14, 41, 30, 57}, {40, 43}},
        // 150 %: the bitmap 24 pixels tall, the gaps 6 and 15.
        {{144, 28, 19}, {16, 16}, {150, 17}, {214, 28}, {16, 42, 40, 66}, {55, 45}},
        // 125 % and 200 %.
        {{120, 23, 16}, {16, 16}, {125, 15}, {179, 23}, {15, 41, 35, 61}, {48, 44}},
        {{192, 38, 26}, {16, 16}, {200, 22}, {286, 38}, {18, 43, 50, 75}, {70, 48}},
        // Without a bitmap the text starts 20 + 10 in, scaled.
        {{144, 28, 19}, {0, 0}, {150, 17}, {214, 28}, {10, 40, 10, 40}, {55, 45}},
        // A bitmap taller than a menu item makes the item taller.
        {{96, 19, 13}, {32, 32}, {100, 13}, {159, 34}, {14, 41, 46, 73}, {56, 50}},
        {{144, 28, 19}, {20, 20}, {150, 17}, {220, 34}, {16, 42, 46, 72}, {61, 48}},
    };
    for (const AuxLayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.metrics.dpi << " DPI, bitmap " << c.bitmap.cx);
        SIZE item = AuxItemSize(c.metrics, c.bitmap, c.text);
        EXPECT_EQ(c.item.cx, item.cx);
        EXPECT_EQ(c.item.cy, item.cy);
        RECT rect = {origin.x, origin.y, origin.x + item.cx, origin.y + item.cy};
        AuxItemPlace place = PlaceAuxItem(c.metrics, rect, c.bitmap, c.text);
        EXPECT_EQ(c.drawn.left, place.bitmap.left);
        EXPECT_EQ(c.drawn.top, place.bitmap.top);
        EXPECT_EQ(c.drawn.right, place.bitmap.right);
        EXPECT_EQ(c.drawn.bottom, place.bitmap.bottom);
        EXPECT_EQ(c.textPlace.x, place.text.x);
        EXPECT_EQ(c.textPlace.y, place.text.y);
        EXPECT_LE(place.text.x + c.text.cx + c.metrics.checkWidth, rect.right) << "the text fits";
    }
}

TEST_F(AuxMenuTest, LongToolCommandLineIsNotCut)
{
    zt::TempFile record{"ztrec", ".txt"};
    SetEnvironmentVariableA("ZT_RECORD", record.Path().c_str());
    // A tool value and four names of 200 characters or more: over 1024 in all.
    std::string tool = "\"" + zt::TestBinDir() + "zt_recorder.exe\" /T" + std::string(200, 't');
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "930", tool);
    SafeCopyText(m_frame.m_szPrinterName, std::string(259, 'p'));
    SafeCopyText(m_frame.m_szModelID, std::string(259, 'm'));
    SafeCopyText(m_frame.m_szPortName, std::string(259, 'o'));
    m_frame.OnAux(930);
    ASSERT_TRUE(zt::WaitForRecords(record.Path(), 1));
    std::string line = zt::ReadRecords(record.Path())[0].commandLine;
    std::string expected = tool + " /P \"" + std::string(259, 'p') + "\" /M \"" + std::string(259, 'm') + "\" /D \"" +
                           m_kit.Driver() + "\" /O \"" + std::string(259, 'o') + "\"";
    EXPECT_GT(expected.size(), 1024u);
    EXPECT_EQ(expected, line);
    SetEnvironmentVariableA("ZT_RECORD", nullptr);
}

TEST_F(AuxMenuTest, ValuesWithQuoteMarksReachTheToolWhole)
{
    zt::TempFile record{"ztrec", ".txt"};
    SetEnvironmentVariableA("ZT_RECORD", record.Path().c_str());
    const std::string tool = "\"" + zt::TestBinDir() + "zt_recorder.exe\" /T931";
    zt::SetString(HKEY_LOCAL_MACHINE, m_kit.MenuKey(), "931", tool);
    SafeCopyText(m_frame.m_szModelID, "X9");
    const std::string driver = " /D \"" + m_kit.Driver() + "\"";
    struct {
        std::string printer, port, options;
    } cases[] = {
        {"Laser A", "LPT1:", " /P \"Laser A\" /M \"X9\"" + driver + " /O \"LPT1:\""},
        {"Laser\" /R /D \"x", "LPT1:", " /P15 \"Laser\" /R /D \"x\" /M \"X9\"" + driver + " /O \"LPT1:\""},
        {"\"", "\\\\srv\\\"q\"", " /P1 \"\"\" /M \"X9\"" + driver + " /O9 \"\\\\srv\\\"q\"\""},
    };
    size_t count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printer);
        SafeCopyText(m_frame.m_szPrinterName, c.printer);
        SafeCopyText(m_frame.m_szPortName, c.port);
        m_frame.OnAux(931);
        ASSERT_TRUE(zt::WaitForRecords(record.Path(), ++count));
        std::string line = zt::ReadRecords(record.Path())[count - 1].commandLine;
        EXPECT_EQ(tool + c.options, line);
        // The options read back as exactly the values given, and no option of their text.
        CCmdInfo info(line.substr(tool.size()).c_str());
        EXPECT_EQ(c.printer, info.m_szPrinterName);
        EXPECT_EQ(c.port, info.m_szPortName);
        EXPECT_EQ(m_kit.Driver(), info.m_szDriverName);
        EXPECT_EQ(0, info.m_fRemove);
    }
    SetEnvironmentVariableA("ZT_RECORD", nullptr);
}

TEST_F(FrameTest, LaunchPassesAValueThatIsNotOneLineByLength)
{
    zt::TempFile record{"ztrec", ".txt"};
    SetEnvironmentVariableA("ZT_RECORD", record.Path().c_str());
    const std::string program = zt::TestBinDir() + "zt_recorder.exe";
    const std::string printer = "Laser\x1a/R"; // Ctrl+Z would end the parameter file's reading
    SafeCopyText(m_frame.m_szPrinterName, printer);
    SafeCopyText(m_frame.m_szPortName, "LPT1:");
    SafeCopyText(m_frame.m_szModelID, "X9");
    EXPECT_EQ(1, m_frame.StartZETExe(program.c_str(), 1));
    ASSERT_TRUE(zt::WaitForRecords(record.Path(), 1));
    zt::Record r = zt::ReadRecords(record.Path())[0];
    EXPECT_EQ("\"" + program + "\" /P" + std::to_string(printer.size()) + " \"" + printer + "\" /O5 \"LPT1:\" /M2 \"X9\" /E",
              r.commandLine);
    EXPECT_FALSE(r.hadFile);
    SetEnvironmentVariableA("ZT_RECORD", nullptr);
}

TEST_F(FrameTest, TraySettingsFromTargetAndProfile)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    SafeCopyText(m_frame.m_szPrinterName, kit.Printer());
    SafeCopyText(m_frame.m_szDriverName, kit.Driver());
    SafeCopyText(m_frame.m_szModelID, kit.Model());
    SafeCopyText(m_frame.m_szProfilePath, kit.ProfilePath());
    // First start: the target is created with the library's defaults.
    EXPECT_EQ(1, m_frame.LoadTraySettings());
    EXPECT_EQ(kit.TargetKey(), m_frame.m_szTargetKey);
    EXPECT_EQ(kit.InstallDir() + "zetres.dll", m_frame.m_szResDllPath);
    EXPECT_EQ(0, m_frame.m_nSelectedIcon);

    zt::SetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconSelected", 2);
    EXPECT_EQ(1, m_frame.LoadTraySettings());
    EXPECT_EQ(2, m_frame.m_nSelectedIcon);
    // A target without TrayIconEnable (its defaults never came) is not a switched-off
    // icon: the library writes them again, and without the library the profile's hold.
    DWORD enable = 9;
    zt::DeleteValue(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable");
    EXPECT_EQ(1, m_frame.LoadTraySettings());
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable", &enable));
    EXPECT_EQ(1u, enable);
    zt::DeleteValue(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable");
    ASSERT_TRUE(DeleteFileA((kit.InstallDir() + "zetprn.dll").c_str()));
    EXPECT_EQ(1, m_frame.LoadTraySettings());
    EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable"));
    // DisableTrayIcon writes the 0 that switches the icon off for good.
    zt::SetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable", 1);
    EXPECT_EQ(1, m_frame.DisableTrayIcon());
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable", &enable));
    EXPECT_EQ(0u, enable);

    // No target can be made (its list is volatile, so no lasting subkey can go into it): no
    // target path, and the profile's defaults hold; HKCU itself is never read as the target.
    zt::SetAsideKey store(HKEY_CURRENT_USER, "software\\ORVEL\\ZET3\\ZETData");
    ASSERT_TRUE(store.Ok());
    HKEY list = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "software\\ORVEL\\ZET3\\ZETData\\OVLTarget", 0,
                                             nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &list, nullptr));
    RegCloseKey(list);
    CMainFrame frame;
    SafeCopyText(frame.m_szPrinterName, kit.Printer());
    SafeCopyText(frame.m_szDriverName, kit.Driver());
    SafeCopyText(frame.m_szModelID, kit.Model());
    SafeCopyText(frame.m_szProfilePath, kit.ProfilePath());
    frame.m_nSelectedIcon = 5;
    EXPECT_EQ(1, frame.LoadTraySettings());
    EXPECT_STREQ("", frame.m_szTargetKey);
    EXPECT_EQ(0, frame.m_nSelectedIcon);
    EXPECT_EQ(kit.InstallDir() + "zetres.dll", frame.m_szResDllPath);
}

TEST_F(FrameTest, RefreshRereadsTheImageAndIgnoresAMissingTarget)
{
    zt::ScratchKey target(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("target"));
    SafeCopyText(m_frame.m_szTargetKey, target.Path());
    zt::SetDword(HKEY_CURRENT_USER, target.Path(), "TrayIconSelected", 1);
    m_frame.m_hIcon[1] = reinterpret_cast<HICON>(0x11);
    EXPECT_EQ(1, m_frame.RefreshTrayIcon());
    EXPECT_EQ(1, m_frame.m_nSelectedIcon);
    ASSERT_FALSE(m_shell.calls.empty());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), m_shell.calls.back());
    EXPECT_EQ(reinterpret_cast<HICON>(0x11), m_shell.icons.back());
    m_frame.m_hIcon[1] = nullptr;

    zt::DeleteKeyTree(HKEY_CURRENT_USER, target.Path());
    size_t calls = m_shell.calls.size();
    EXPECT_EQ(0, m_frame.RefreshTrayIcon());
    EXPECT_EQ(calls, m_shell.calls.size());
    EXPECT_EQ(1, m_frame.m_nSelectedIcon);

    // Without a target path the profile's default image is shown again, never a value read
    // from HKCU itself.
    zt::TempFile profile{"ztprof", ".ini"};
    ASSERT_TRUE(zt::WriteFileBytes(profile.Path(), "[M]\r\nTrayIconSelected=2\r\n"));
    SafeCopyText(m_frame.m_szProfilePath, profile.Path());
    SafeCopyText(m_frame.m_szModelID, "M");
    m_frame.m_szTargetKey[0] = '\0';
    zt::SavedValue root(HKEY_CURRENT_USER, "", "TrayIconSelected");
    ASSERT_TRUE(zt::SetDword(HKEY_CURRENT_USER, "", "TrayIconSelected", 1));
    m_frame.m_hIcon[2] = reinterpret_cast<HICON>(0x22);
    EXPECT_EQ(0, m_frame.RefreshTrayIcon());
    EXPECT_EQ(2, m_frame.m_nSelectedIcon);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), m_shell.calls.back());
    EXPECT_EQ(reinterpret_cast<HICON>(0x22), m_shell.icons.back());
    m_frame.m_hIcon[2] = nullptr;
}

// The icon's pixel at (x, y), as BGRA with alpha.
DWORD IconPixel(HICON icon, int x, int y, int* size = nullptr)
{
    ICONINFO info;
    if (!GetIconInfo(icon, &info))
        return 0xDEADu;
    BITMAP bm;
    GetObjectA(info.hbmColor, sizeof(bm), &bm);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    if (size)
        *size = bm.bmWidth;
    return pixels[static_cast<size_t>(y) * bm.bmWidth + x];
}

// A frame with the kit's images, to which the test hands the reports of its printer's worker.
class StateTest : public FrameTest {
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        m_frame.m_hResDll = LoadResourceLibrary(zt::BinPath("zetres.dll").c_str());
        ASSERT_EQ(1, m_frame.SetTrayIcon(0, 1));
    }
    // A report of the printer in that state.
    void Set(DWORD status, bool offline = false, DWORD jobs = 0, int presence = PRESENCE_HERE)
    {
        PrinterReport report;
        report.presence = presence;
        report.sampled = true;
        report.sample = {status, offline ? static_cast<DWORD>(PRINTER_ATTRIBUTE_WORK_OFFLINE) : 0u, jobs};
        m_frame.ApplyReport(report);
    }
    size_t Balloons() const
    {
        size_t count = 0;
        for (const NOTIFYICONDATAA& r : m_shell.records)
            count += (r.uFlags & NIF_INFO) ? 1 : 0;
        return count;
    }
};

struct ShownCase {
    DWORD status;
    bool offline;
    bool badge;
    const char* text; // the state in the tooltip; "": the name alone
};

TEST_F(StateTest, BadgeAndTipFollowTheState)
{
    const ShownCase cases[] = {
        {PRINTER_STATUS_PAPER_OUT, false, true, "Out of paper"},
        {0, true, true, "Offline"},
        {PRINTER_STATUS_PAUSED | PRINTER_STATUS_TONER_LOW, false, true, "Paused"},
        {PRINTER_STATUS_TONER_LOW, false, true, "Toner low"},
        {PRINTER_STATUS_PRINTING, false, false, "Printing"},
        {PRINTER_STATUS_POWER_SAVE, false, false, ""},
        {PRINTER_STATUS_DOOR_OPEN, false, true, "Door open"},
    };
    HICON base = m_frame.m_hIcon[0];
    int size = 0;
    DWORD corner = IconPixel(base, 0, 0, &size);
    ASSERT_GT(size, 0);
    for (const ShownCase& c : cases) {
        SCOPED_TRACE(c.status);
        Set(c.status, c.offline);
        HICON shown = m_frame.m_nid.hIcon;
        EXPECT_EQ(shown, m_shell.icons.back());
        if (c.badge) {
            EXPECT_NE(base, shown);
            EXPECT_NE(IconPixel(base, size - size / 4, size - size / 4),
                      IconPixel(shown, size - size / 4, size - size / 4));
            EXPECT_EQ(corner, IconPixel(shown, 0, 0)) << "the image stays as it was outside the badge";
        } else {
            EXPECT_EQ(base, shown);
        }
        EXPECT_EQ(std::string("Laser A") + (c.text[0] ? std::string(" - ") + c.text : ""), m_frame.m_nid.szTip);
        EXPECT_TRUE(m_shell.TipShown());
    }
    // A printer out of reach shows as offline, with the last state kept for its return.
    Set(PRINTER_STATUS_PAPER_OUT, false, 2, PRESENCE_UNKNOWN);
    EXPECT_NE(base, m_frame.m_nid.hIcon);
    EXPECT_STREQ("Laser A - Not reachable", m_frame.m_nid.szTip);
    Set(0);
    EXPECT_EQ(base, m_frame.m_nid.hIcon);
    EXPECT_STREQ("Laser A", m_frame.m_nid.szTip) << "Ready: the name alone";
}

// The state and the document count stay whole in the tooltip; a name too long for both is
// cut, with "...", on a character boundary.
TEST_F(StateTest, TipKeepsTheStateWholeAndCutsTheName)
{
    // Characters of code page 932 whose second byte is a backslash.
    std::string kanji;
    for (int i = 0; i < 40; ++i)
        kanji += "\x95\x5c";
    const std::string state = " - Out of paper - 2 documents";
    struct Row {
        std::string name;
        DWORD status;
        DWORD jobs;
        unsigned codePage;
        std::string tip;
    } rows[] = {
        {std::string(98, 'p'), PRINTER_STATUS_PAPER_OUT, 2, 1252, std::string(98, 'p') + state},
        {std::string(99, 'p'), PRINTER_STATUS_PAPER_OUT, 2, 1252, std::string(95, 'p') + "..." + state},
        // 115 bytes of the name would end inside a character: 114 are kept.
        {std::string(56, 'p') + kanji, PRINTER_STATUS_PAUSED, 0, 932,
         std::string(56, 'p') + kanji.substr(0, 58) + "... - Paused"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.size());
        SafeCopyText(m_frame.m_szPrinterName, row.name);
        Set(row.status, false, row.jobs);
        char tip[128];
        m_frame.ComposeTrayTip(tip, sizeof(tip), row.codePage);
        EXPECT_EQ(row.tip, tip);
    }
    SafeCopyText(m_frame.m_szPrinterName, "Laser A");
    Set(0);
}

// The window's timer as the episode uses it, recorded.
struct TimerCalls {
    std::vector<std::pair<char, UINT>> calls; // 's' and the delay, 'k' and 0
};
TimerCalls* g_timer = nullptr;
UINT_PTR WINAPI RecordSetTimer(HWND, UINT_PTR id, UINT elapse, TIMERPROC)
{
    g_timer->calls.emplace_back('s', elapse);
    return id;
}
BOOL WINAPI RecordKillTimer(HWND, UINT_PTR)
{
    g_timer->calls.emplace_back('k', 0);
    return TRUE;
}

// The episode without a window: the timer armed with its delay when trouble begins, one
// notification an episode, the timer disarmed when the trouble ends first.
TEST(AttentionEpisode, ArmedWithItsDelayOncePerEpisode)
{
    const EpisodeTimer timer = {RecordSetTimer, RecordKillTimer};
    TimerCalls calls;
    g_timer = &calls;
    CAttentionEpisode episode(TIMER_ATTENTION, ATTENTION_DELAY, &timer);
    struct Row {
        bool needs;
        bool notify;
        bool fire;     // the timer goes off after the change
        const char* timerCalls;
        bool shown;
    } rows[] = {
        {true, true, true, "sk", true},    // trouble begins, told after the delay
        {true, true, true, "", false},     // the same episode: told once
        {false, true, false, "", false},   // over
        {true, false, true, "", false},    // notifications off: no episode
        {true, true, false, "s", false},   // switched on while in trouble: an episode begins
        {true, false, true, "k", false},   // switched off before the delay: not told
        {false, true, false, "", false},   // over
        {true, true, false, "s", false},   // an episode begins
        {false, true, false, "k", false},  // over before the delay: disarmed
        {true, true, true, "sk", true},    // a new episode
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.needs << row.notify << row.fire);
        calls.calls.clear();
        episode.Update(nullptr, row.needs, row.notify);
        bool shown = row.fire && episode.TimerDue(nullptr, row.needs, row.notify);
        EXPECT_EQ(row.shown, shown);
        std::string kinds;
        for (const auto& call : calls.calls) {
            kinds += call.first;
            if (call.first == 's') {
                EXPECT_EQ(ATTENTION_DELAY, call.second);
            }
        }
        EXPECT_EQ(row.timerCalls, kinds);
    }
    g_timer = nullptr;
}

struct EpisodeCase {
    DWORD status;
    bool offline;
    int notify;
    DWORD icon; // NIIF_* of the notification the delay ends in; 0: none
    int presence;
    const char* words; // in the notification
};

// The frame's notification: its icon and words, once an episode.
TEST_F(StateTest, NotificationOncePerEpisodeOfTrouble)
{
    const EpisodeCase cases[] = {
        {PRINTER_STATUS_PAPER_OUT, false, 1, NIIF_ERROR, PRESENCE_HERE, "Out of paper"},
        {PRINTER_STATUS_PAPER_JAM, false, 1, 0, PRESENCE_HERE, ""},
        {0, true, 1, 0, PRESENCE_HERE, ""}, // Offline after Error: the same episode
        {PRINTER_STATUS_POWER_SAVE, false, 1, 0, PRESENCE_HERE, ""},
        {0, true, 1, NIIF_WARNING, PRESENCE_HERE, "Offline"},
        {PRINTER_STATUS_PAUSED, false, 1, 0, PRESENCE_HERE, ""},
        {0, false, 1, NIIF_WARNING, PRESENCE_UNKNOWN, "Not reachable"},
        {PRINTER_STATUS_TONER_LOW | PRINTER_STATUS_PRINTING, false, 1, 0, PRESENCE_HERE, ""},
        {PRINTER_STATUS_ERROR, false, 0, 0, PRESENCE_HERE, ""},
    };
    for (const EpisodeCase& c : cases) {
        SCOPED_TRACE(c.status);
        m_frame.m_fNotify = c.notify;
        Set(c.status, c.offline, 0, c.presence);
        size_t before = Balloons();
        m_frame.OnTimer(TIMER_ATTENTION);
        ASSERT_EQ(before + (c.icon ? 1 : 0), Balloons());
        if (c.icon) {
            const NOTIFYICONDATAA& r = m_shell.records.back();
            EXPECT_EQ(static_cast<UINT>(NIF_INFO), r.uFlags);
            EXPECT_EQ(c.icon, r.dwInfoFlags & NIIF_ICON_MASK);
            EXPECT_STREQ("Laser A", r.szInfoTitle);
            EXPECT_NE(nullptr, strstr(r.szInfo, c.words)) << r.szInfo;
        }
    }
    Set(0);
}

struct WordsCase {
    DWORD status;
    DWORD jobs;            // documents waiting
    const char* count;     // their count in the tooltip
    const char* stateText; // the state's text
};

// The tooltip and the notification in the words of the resource library (the test
// library holds a few of them), the built-in ones where it has none.
TEST_F(StateTest, TipAndNotificationInTheLibrarysWords)
{
    HMODULE library = LoadResourceLibrary((zt::TestBinDir() + "zt_testres.dll").c_str());
    ASSERT_NE(nullptr, library);
    m_frame.m_stateTexts.Load(library);
    FreeLibrary(library);
    const WordsCase cases[] = {
        {PRINTER_STATUS_PAPER_OUT, 0, "", "Paper gone"},
        {PRINTER_STATUS_PAPER_OUT, 12, "12 jobs", "Paper gone"},
        {PRINTER_STATUS_DOOR_OPEN, 1, "1 document", "Door open"},
    };
    for (const WordsCase& c : cases) {
        SCOPED_TRACE(c.status);
        Set(0); // a new episode
        Set(c.status, false, c.jobs);
        const std::string state = c.stateText;
        char tip[128];
        m_frame.ComposeTrayTip(tip, sizeof(tip));
        EXPECT_EQ("Laser A - " + state + (c.jobs ? std::string(" - ") + c.count : ""), tip);
        m_frame.OnTimer(TIMER_ATTENTION);
        EXPECT_EQ("50% of " + state + ", %1 and %2", std::string(m_shell.records.back().szInfo));
    }
    Set(0);
}

// The process's GDI objects and kernel handles. Where the system keeps no count (Wine
// returns 0 for both), the live ones are counted slot by slot: there a GDI handle's low
// word names its table slot, and kernel handles are multiples of four.
void CountResources(DWORD* gdi, DWORD* handles)
{
    *gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD slots = 0;
    for (ULONG_PTR slot = 1; *gdi == 0 && slot < 0x10000; ++slot)
        slots += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) ? 1 : 0;
    *gdi = *gdi ? *gdi : slots;
    *handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), handles) && *handles)
        return;
    DWORD flags;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        *handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
}

TEST_F(StateTest, ImagesReplacedOverManyChangesAreReleased)
{
    // Every badge in turn, the plain image between them, and now and then a new display
    // scale, which loads the images again and composes the badge on them.
    const ShownCase cycle[] = {
        {PRINTER_STATUS_PAPER_OUT, false, true, ""}, {0, true, true, ""},
        {PRINTER_STATUS_PAUSED, false, true, ""},    {PRINTER_STATUS_TONER_LOW, false, true, ""},
        {0, false, false, ""},
    };
    SafeCopyText(m_frame.m_szResDllPath, zt::BinPath("zetres.dll"));
    int size = 0;
    IconPixel(m_frame.m_hIcon[0], 0, 0, &size);
    const int corner = size - size / 4;
    // An image of another size than the shell's small icons stands for the old scale.
    HICON large = static_cast<HICON>(LoadImageA(m_frame.m_hResDll, MAKEINTRESOURCEA(IDI_TRAY_FIRST), IMAGE_ICON,
                                                size * 2, size * 2, LR_DEFAULTCOLOR));
    ASSERT_TRUE(large);
    FreeLibrary(m_frame.m_hResDll); // as at the end of start-up
    m_frame.m_hResDll = nullptr;

    DWORD gdi = 0, handles = 0, gdiAfter = 0, handlesAfter = 0;
    HICON shown = m_frame.m_nid.hIcon;
    for (int change = 0; change < 1000 + 5; ++change) {
        if (change == 5)
            CountResources(&gdi, &handles); // after one round, with the caches filled
        const ShownCase& c = cycle[change % 5];
        Set(c.status, c.offline);
        if (change % 50 == 3) {
            HICON stale = CopyIcon(large);
            DestroyIcon(m_frame.m_hIcon[0]);
            m_frame.m_hIcon[0] = stale;
            ASSERT_EQ(1, m_frame.OnDisplayScaleChanged());
            ICONINFO info;
            EXPECT_FALSE(GetIconInfo(stale, &info)) << "the image of the old scale is gone";
            EXPECT_NE(IconPixel(m_frame.m_hIcon[0], corner, corner), IconPixel(m_frame.m_nid.hIcon, corner, corner))
                << "the badge is composed again";
        }
        // The image shown before is gone unless it is one of the images held.
        bool held = shown == m_frame.m_nid.hIcon;
        for (HICON icon : m_frame.m_hIcon)
            held = held || shown == icon;
        ICONINFO info;
        ASSERT_TRUE(held || !GetIconInfo(shown, &info)) << change;
        shown = m_frame.m_nid.hIcon;
    }
    CountResources(&gdiAfter, &handlesAfter);
    EXPECT_EQ(gdi, gdiAfter);
    EXPECT_EQ(handles, handlesAfter);
    DestroyIcon(large);
    Set(0);
}

struct SwitchCase {
    int profile; // -1: no such key
    int target;
    int policy;
    DWORD type; // of the target's and the policy's values: REG_SZ holds the number as text
    int on;
};

// Writes a switch value of the row's type: a number as REG_DWORD, as text, or as 4 or 8
// bytes of another type.
void SetSwitch(HKEY root, const std::string& path, int value, DWORD type)
{
    const unsigned long long number = static_cast<unsigned long long>(value);
    if (type == REG_DWORD)
        zt::SetDword(root, path, TARGET_STATE_NOTIFY, static_cast<DWORD>(value));
    else if (type == REG_SZ)
        zt::SetString(root, path, TARGET_STATE_NOTIFY, std::to_string(value));
    else
        zt::SetBinary(root, path, TARGET_STATE_NOTIFY, &number, type == REG_QWORD ? 8 : 4, type);
}

TEST_F(FrameTest, StateSwitchesFromTargetProfileAndPolicy)
{
    const SwitchCase cases[] = {
        {-1, -1, -1, REG_DWORD, 1}, {0, -1, -1, REG_DWORD, 0}, {0, 1, -1, REG_DWORD, 1},
        {1, 0, -1, REG_DWORD, 0},   {-1, 1, 0, REG_DWORD, 0},  {0, 0, 1, REG_DWORD, 1},
        // What a policy tool writes as text reads as the number; any other text or type is
        // ignored, as if the value were missing.
        {-1, 1, 0, REG_SZ, 0},      {-1, 0, 1, REG_SZ, 1},     {-1, 0, 2, REG_SZ, 0},
        {1, 0, -1, REG_SZ, 0},      {0, 1, 1, REG_BINARY, 0},  {0, 1, -1, REG_QWORD, 0},
    };
    zt::TempFile profile{"ztprof", ".ini"};
    zt::ScratchKey target(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("target"));
    SafeCopyText(m_frame.m_szProfilePath, profile.Path());
    SafeCopyText(m_frame.m_szModelID, "M");
    SafeCopyText(m_frame.m_szTargetKey, target.Path());
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.profile << c.target << c.policy << " type " << c.type);
        std::string ini = "[M]\r\n";
        if (c.profile >= 0)
            ini += std::string(TARGET_STATE_NOTIFY) + "=" + std::to_string(c.profile) + "\r\n";
        ASSERT_TRUE(zt::WriteFileBytes(profile.Path(), ini));
        zt::DeleteValue(HKEY_CURRENT_USER, target.Path(), TARGET_STATE_NOTIFY);
        if (c.target >= 0)
            SetSwitch(HKEY_CURRENT_USER, target.Path(), c.target, c.type);
        zt::DeleteKeyTree(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY);
        if (c.policy >= 0)
            SetSwitch(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY, c.policy, c.type);
        m_frame.LoadStateSwitches();
        EXPECT_EQ(c.on, m_frame.m_fNotify);
        EXPECT_EQ(1, m_frame.m_fShowState);
    }
    zt::DeleteKeyTree(HKEY_LOCAL_MACHINE, STATE_POLICY_KEY);
}

} // namespace
