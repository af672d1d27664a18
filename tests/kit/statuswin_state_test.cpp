// The status-window program's pieces against the real spooler, registry and instance
// table: the status in words, the printer's state, the tray settings of its target and
// the one-window-per-printer slot.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <functional>

#include "driverkit.h"
#include "fake_spooler.h"
#include "printer_state.h"
#include "status_window.h"
#include "statuswin_testutil.h"
#include "targets.h"
#include "testsupport.h"
#include "tray_settings.h"
#include "window_slot.h"

namespace {

struct StatusCase {
    DWORD status;
    DWORD attributes;
    const char* text;
};

TEST(StatusText, FlagsInWords)
{
    const StatusCase cases[] = {
        {0, 0, "Ready"},
        {PRINTER_STATUS_PAUSED, 0, "Paused"},
        {PRINTER_STATUS_ERROR | PRINTER_STATUS_PAUSED, 0, "Paused, Error"},
        {PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_DOOR_OPEN, 0, "Out of paper, Door open"},
        {0, PRINTER_ATTRIBUTE_WORK_OFFLINE, "Offline"},
        {PRINTER_STATUS_OFFLINE, PRINTER_ATTRIBUTE_WORK_OFFLINE, "Offline"},
        {PRINTER_STATUS_PAUSED, PRINTER_ATTRIBUTE_SHARED, "Paused"},
        {0x80000000u, 0, "Other (0x80000000)"},
        {PRINTER_STATUS_BUSY | 0x80000000u, 0, "Busy, Other (0x80000000)"},
    };
    for (const StatusCase& c : cases) {
        char text[260];
        EXPECT_EQ(1, PrinterStatusText(c.status, c.attributes, text, sizeof(text)));
        EXPECT_STREQ(c.text, text) << std::hex << c.status;
    }
}

TEST(StatusText, BoundedToTheBuffer)
{
    char text[16];
    memset(text, 0xcc, sizeof(text));
    EXPECT_EQ(0, PrinterStatusText(PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR | PRINTER_STATUS_PAPER_JAM, 0, text,
                                   10));
    EXPECT_STREQ("Paused, E", text);
    EXPECT_EQ(static_cast<char>(0xcc), text[10]);
    EXPECT_EQ(0, PrinterStatusText(0, 0, nullptr, 10));
}

// The Printer Status window shows what the monitor's watch reads: the spooler's driver,
// port and state, a change as soon as the spooler tells of it (long before the reading of
// once a minute), and the error of a printer that cannot be opened.
TEST(PrinterStateQuery, WindowShowsWhatTheWatchReads)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    PrinterIdentity identity;
    memset(&identity, 0, sizeof(identity));
    SafeCopy(identity.printer, printer.Name().c_str());
    zt::FakeSpooler spooler;
    spooler.FakeChanges();
    {
        CStatusWindow window(identity);
        ASSERT_NE(nullptr, window.Create(GetModuleHandleA(nullptr)));
        auto shows = [&](UINT item, const std::string& text) {
            return zt::WaitFor(
                [&] {
                    MSG msg;
                    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                        DispatchMessageA(&msg);
                    return zt::ItemText(window.Handle(), item) == text;
                },
                5000);
        };
        EXPECT_TRUE(shows(IDC_STATUS_STATE, "Ready"));
        EXPECT_TRUE(shows(IDC_STATUS_DRIVER, printer.Driver()));
        EXPECT_TRUE(shows(IDC_STATUS_PORT, printer.Port()));
        EXPECT_TRUE(shows(IDC_STATUS_JOBS, "0"));
        struct Row {
            std::function<void()> act;
            const char* state;
        } rows[] = {
            {[&] {
                 zt::SetPrinterState(printer.Name(), PRINTER_STATUS_PAPER_OUT);
                 spooler.Signal(PRINTER_CHANGE_SET_PRINTER);
             },
             "Out of paper"},
            {[&] {
                 spooler.Fail(printer.Name(), zt::SPOOL_OPEN | zt::SPOOL_GET, RPC_S_SERVER_UNAVAILABLE);
                 spooler.Signal(PRINTER_CHANGE_SET_PRINTER);
             },
             "The printer cannot be opened (error 1722)"},
            {[&] { spooler.Clear(); }, "Out of paper"},
            {[&] { printer.Delete(); }, "The printer cannot be opened (error 1801)"},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.state);
            row.act();
            EXPECT_TRUE(shows(IDC_STATUS_STATE, row.state));
        }
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

PrinterIdentity Identity(const std::string& printer, const std::string& port, const std::string& model = "")
{
    PrinterIdentity identity;
    memset(&identity, 0, sizeof(identity));
    SafeCopy(identity.printer, printer.c_str());
    SafeCopy(identity.port, port.c_str());
    SafeCopy(identity.model, model.c_str());
    return identity;
}

// A printer-list target of the test's own, removed at the end.
class OwnTarget : public ::testing::Test {
protected:
    OwnTarget() : m_name(zt::UniqueName("zttgt")) {}
    ~OwnTarget() override { zt::RemoveTargetsNamed(m_name); }
    std::string Create()
    {
        char path[ZT_TEXT] = "";
        return CreateTargetReg(m_name.c_str(), 0, path) == 0 ? path : "";
    }
    std::string m_name;
};

TEST_F(OwnTarget, MissingValuesReadAsSwitchedOff)
{
    std::string path = Create();
    ASSERT_FALSE(path.empty());
    TraySettings settings{7, 7};
    EXPECT_EQ(1, ReadTraySettings(path.c_str(), &settings));
    EXPECT_EQ(0u, settings.selected);
    EXPECT_EQ(0u, settings.enable);

    EXPECT_EQ(0, ReadTraySettings((path + "\\missing").c_str(), &settings));
    EXPECT_EQ(0, ReadTraySettings("", &settings));
}

TEST_F(OwnTarget, WritesOnlyWhatChanges)
{
    std::string path = Create();
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(1, WriteTraySettings(path.c_str(), 2, 1));
    ASSERT_EQ(1, WriteTraySettings(path.c_str(), TRAY_KEEP, 0));
    DWORD type = 0;
    std::string raw;
    ASSERT_TRUE(zt::GetRaw(HKEY_CURRENT_USER, path, TRAY_ICON_SELECTED_VALUE, &raw, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    TraySettings settings{9, 9};
    ASSERT_EQ(1, ReadTraySettings(path.c_str(), &settings));
    EXPECT_EQ(2u, settings.selected);
    EXPECT_EQ(0u, settings.enable);

    EXPECT_EQ(0, WriteTraySettings((path + "\\missing").c_str(), 1, 1));
    EXPECT_FALSE(zt::KeyExists(HKEY_CURRENT_USER, path + "\\missing"));
}

TEST(TargetLookup, CreatedWithTheLibraryDefaultsAndFoundAgain)
{
    zt::KitOptions options;
    options.trayIconSelected = 2;
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    PrinterIdentity identity = Identity(kit.Printer(), kit.Port(), kit.Model());
    SafeCopy(identity.driver, kit.Driver().c_str());

    char path[ZT_TEXT];
    ASSERT_EQ(1, FindOrCreateTarget(identity, path));
    EXPECT_EQ(kit.TargetKey(), path);
    TraySettings settings{9, 9};
    ASSERT_EQ(1, ReadTraySettings(path, &settings));
    EXPECT_EQ(2u, settings.selected);
    EXPECT_EQ(1u, settings.enable);

    char again[ZT_TEXT];
    ASSERT_EQ(1, FindOrCreateTarget(identity, again));
    EXPECT_STREQ(path, again);

    // A target whose maker ended before its defaults were written gets them again.
    ASSERT_TRUE(zt::DeleteValue(HKEY_CURRENT_USER, path, TRAY_ICON_ENABLE_VALUE));
    ASSERT_EQ(1, FindOrCreateTarget(identity, again));
    ASSERT_EQ(1, ReadTraySettings(path, &settings));
    EXPECT_EQ(1u, settings.enable);
}

TEST(TargetLookup, NoneMadeForAPrinterTheSpoolerDoesNotKnow)
{
    std::string name = zt::UniqueName("ztgone");
    char path[ZT_TEXT];
    memset(path, 'x', sizeof(path));
    EXPECT_EQ(0, FindOrCreateTarget(Identity(name, "LPT1:", "X9"), path));
    EXPECT_STREQ("", path);
    char found[ZT_TEXT] = "";
    // Not found (1), or no printer list at all (4) when no other target exists.
    EXPECT_NE(0, FindTargetReg(name.c_str(), 0, found));
    EXPECT_EQ(nullptr, NotifyMonitor(Identity(name, ""), false));
}

// A window of this process standing in for the first program's window.
class SlotWindow {
public:
    SlotWindow() : m_hwnd(CreateWindowExA(0, "STATIC", "slot", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
    ~SlotWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

TEST(WindowSlot, OneWindowOfEachKindPerPrinter)
{
    std::string printer = zt::UniqueName("ztslot");
    SlotWindow window;
    ASSERT_NE(nullptr, window.Get());

    CWindowSlot first;
    HWND other = reinterpret_cast<HWND>(1);
    ASSERT_EQ(RECORD_CLAIMED, first.Claim(printer.c_str(), "", SLOT_KIND_STATUS, &other));
    EXPECT_EQ(nullptr, other);
    ASSERT_EQ(SLOT_SET, first.Attach(window.Get()));
    {
        CWindowSlot second;
        EXPECT_EQ(-1, second.Attach(window.Get())) << "nothing claimed";
        EXPECT_EQ(RECORD_LIVE, second.Claim(printer.c_str(), "", SLOT_KIND_STATUS, &other));
        EXPECT_EQ(window.Get(), other);
        CWindowSlot prefs;
        EXPECT_EQ(RECORD_CLAIMED, prefs.Claim(printer.c_str(), "", SLOT_KIND_PREFS, &other));
    } // the second's release must not clear the first's slot
    CWindowSlot third;
    EXPECT_EQ(RECORD_LIVE, third.Claim(printer.c_str(), "", SLOT_KIND_STATUS, &other));
    third.Release();

    first.Release();
    first.Release();
    CWindowSlot fourth;
    EXPECT_EQ(RECORD_CLAIMED, fourth.Claim(printer.c_str(), "", SLOT_KIND_STATUS, &other));
}

} // namespace
