// The frame's duplication and deleted-printer checks in process: what they hand to a
// running copy, what they remove, and the trace lines they write.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "driverkit.h"
#include "fake_spooler.h"
#include "initinstance.h"
#include "mainframe.h"
#include "monitor_util.h"
#include "reg_view.h"
#include "runvalue.h"
#include "startup_reg.h"
#include "table_lock.h"
#include "targets.h"
#include "testsupport.h"
#include "trace.h"

namespace {

using zt::PrivateTrace;

// A frame with a real hidden window in this process, for a printer key.
class TestFrame : public CMainFrame {
public:
    explicit TestFrame(const std::string& printer)
    {
        lstrcpynA(m_szPrinterName, printer.c_str(), sizeof(m_szPrinterName));
        lstrcpynA(m_szPortName, "LPT1:", sizeof(m_szPortName));
        lstrcpynA(m_szMsg[TEXT_CAPTION], "ORVEL Zetwatch", sizeof(m_szMsg[0]));
        CreateFrameWindow(FRAME_WINDOW_CLASS, FRAME_WINDOW_TITLE, FRAME_WINDOW_STYLE, GetModuleHandleA(nullptr));
    }
    ~TestFrame() override
    {
        CleanUp();
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
};

// The message of that kind waiting for the window, if any (removed from the queue).
bool TakeMessage(HWND window, UINT message, MSG* out)
{
    return PeekMessageA(out, window, message, message, PM_REMOVE) != FALSE;
}

TEST(DuplicationChk, FirstClaimsSecondHandsOverAndTraces)
{
    std::string printer = zt::UniqueName("ztdup");
    PrivateTrace trace;
    TestFrame first(printer);
    ASSERT_NE(nullptr, first.m_hWnd);
    ASSERT_EQ(1, first.DuplicationChk());
    EXPECT_NE(nullptr, first.m_table.hMapping);
    EXPECT_EQ(274u, first.m_table.recordSize);
    EXPECT_EQ((std::vector<std::string>{"CMainFrame::DuplicationChk : start", "enter : MultiExecuteCheck",
                                        "exit : MultiExecuteCheck", "result : 0", "enter : SethWindow",
                                        "exit : SethWindow", "CMainFrame::DuplicationChk : end"}),
              trace.Take());

    // A second copy for the same printer (other letter case) refreshes the first.
    std::string upper = printer;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    {
        TestFrame second(upper);
        EXPECT_EQ(0, second.DuplicationChk());
        EXPECT_EQ(nullptr, second.m_table.hMapping) << "the second copy holds no table";
    }
    EXPECT_EQ((std::vector<std::string>{"CMainFrame::DuplicationChk : start", "enter : MultiExecuteCheck",
                                        "exit : MultiExecuteCheck", "result : 1",
                                        "CMainFrame::DuplicationChk : end2"}),
              trace.Take());
    MSG msg;
    ASSERT_TRUE(TakeMessage(first.m_hWnd, WM_REFRESHICON, &msg));
    EXPECT_EQ(0u, msg.wParam);
    EXPECT_EQ(0, msg.lParam);
    EXPECT_FALSE(TakeMessage(first.m_hWnd, WM_CLOSE, &msg));

    // With the remove option, the first copy is asked to close instead.
    {
        TestFrame third(printer);
        third.m_fRemove = 1;
        EXPECT_EQ(0, third.DuplicationChk());
    }
    EXPECT_TRUE(TakeMessage(first.m_hWnd, WM_CLOSE, &msg));
    EXPECT_FALSE(TakeMessage(first.m_hWnd, WM_REFRESHICON, &msg));

    // After the first copy's clean-up, a new one claims the printer again.
    first.CleanUp();
    EXPECT_EQ(nullptr, first.m_table.hMapping);
    TestFrame fourth(printer);
    EXPECT_EQ(1, fourth.DuplicationChk());
}

// The shell's adds of tray icons, counted.
LONG g_iconAdds = 0;
BOOL WINAPI CountingNotifyIcon(DWORD message, PNOTIFYICONDATAA)
{
    if (message == NIM_ADD)
        InterlockedIncrement(&g_iconAdds);
    return TRUE;
}

// The session ends (WM_ENDSESSION destroys the window) while the start waits for a lock that
// another process holds: the start stops, with neither its record nor an icon left for the
// window that is gone.
TEST(DuplicationChk, SessionEndedDuringALockWaitStopsTheStart)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    struct Row {
        const char* lock;
        HANDLE (*make)();
    } rows[] = {
        {"the instance table's", [] { return CreateTableLock(MAP_NAME_STD); }},
        {"the target store's", [] { return CreateTargetStoreLock(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lock);
        zt::RemoveTargetsNamed(kit.Printer()); // a new target is made under the store's lock
        ScopedHandle mutex(row.make());
        ScopedMutexLock held;
        ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), held.Acquire(mutex.Get(), 0));
        g_iconAdds = 0;
        CMainFrame frame;
        frame.m_pfnNotifyIcon = CountingNotifyIcon;
        g_pMainFrame = &frame;
        int result = -9;
        std::thread start([&] {
            const std::string cmd = "/P \"" + kit.Printer() + "\" /EF \"HKCU\"";
            result = InitInstance(cmd.c_str(), &frame, GetModuleHandleA(nullptr));
        });
        HWND window = nullptr;
        EXPECT_TRUE(zt::WaitFor([&] { return (window = *static_cast<HWND volatile*>(&frame.m_hWnd)) != nullptr; },
                                10000));
        Sleep(300); // waiting for the lock by now
        DWORD_PTR answer = 0;
        EXPECT_NE(0, SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, &answer))
            << "answered during the wait";
        held.Release();
        start.join();
        g_pMainFrame = nullptr;
        EXPECT_EQ(0, result);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(0, g_iconAdds);
        HWND slot = nullptr;
        zt::StdTableRecords(kit.Printer(), &slot);
        EXPECT_EQ(nullptr, slot) << "no record of the window that is gone";
    }
}

// Only the spooler's "no such printer" is a deletion: a print server that fails, stalls or
// refuses leaves everything as it was, the icon says that the printer cannot be reached, and
// the next check that reaches it brings its state back.
TEST(ChkDelPrn, OnlyTheSpoolersNoSuchPrinterIsADeletion)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    struct Row {
        DWORD error; // of the open; 0: it opens
        int result;
        const char* why;
    } rows[] = {
        {0, 1, "present"},
        {RPC_S_SERVER_UNAVAILABLE, 1, "server restarting"},
        {ERROR_INVALID_PRINTER_NAME, 0, "no such printer"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), "\"x.exe\" /A \"y\"");
        zt::FakeSpooler spooler;
        if (row.error)
            spooler.Fail(kit.Printer(), zt::SPOOL_OPEN, row.error);
        int presence = -1;
        EXPECT_EQ(row.result, CheckPrinterDeleted(kit.Printer().c_str(), "LPT1:", &presence));
        EXPECT_EQ(row.result == 1, user.Exists());
        EXPECT_EQ(!row.error ? PRESENCE_HERE : row.result ? PRESENCE_UNKNOWN : PRESENCE_GONE, presence);
    }
}

TEST(ChkDelPrn, GonePrinterLosesBothRunValuesAndTheirFiles)
{
    std::string printer = zt::UniqueName("ztgone");
    zt::TempFile userFile{"ztA"}, machineFile{"ztA"}, otherViewFile{"ztA"}, program{"ztprog", ".exe"};
    for (const zt::TempFile* f : {&userFile, &machineFile, &otherViewFile, &program})
        ASSERT_TRUE(zt::WriteFileBytes(f->Path(), "x"));
    zt::RunValue user(HKEY_CURRENT_USER, printer,
                      "\"" + program.Path() + "\" /EF \"HKCU\" /A \"" + userFile.Path() + "\"");
    zt::RunValue machine(HKEY_LOCAL_MACHINE, printer, "\"" + program.Path() + "\" /a  \"" + machineFile.Path() + "\"");
    // On 64-bit Windows the machine's Run key has a second view, which an installer of the
    // other kind writes.
    zt::SoftwareInView otherView(REG_VIEW_OTHER);
    std::unique_ptr<zt::TempValue> other;
    if (zt::HasTwoRegistryViews()) {
        other.reset(new zt::TempValue(otherView.Root(), zt::UnderSoftware(RUN_KEY_PATH), printer,
                                      "\"" + program.Path() + "\" /A \"" + otherViewFile.Path() + "\""));
        ASSERT_TRUE(other->Ok());
    }
    EXPECT_EQ(0, CheckPrinterDeleted(printer.c_str(), ""));
    EXPECT_FALSE(user.Exists());
    EXPECT_FALSE(machine.Exists());
    EXPECT_FALSE(other && other->Exists()) << "the machine's Run key in the other view";
    EXPECT_FALSE(zt::FileExists(userFile.Path()));
    EXPECT_FALSE(zt::FileExists(machineFile.Path()));
    EXPECT_EQ(!other, zt::FileExists(otherViewFile.Path()));
    EXPECT_TRUE(zt::FileExists(program.Path())) << "the quoted program itself is never deleted";
}

// A spooler that cannot list its ports.
BOOL WINAPI FailingEnumPorts(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD)
{
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
}

// A spooler whose listing grows between the size query and every read (ports being added).
BOOL WINAPI EverGrowingEnumPorts(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                 LPDWORD returned)
{
    EnumPortsA(name, level, nullptr, 0, needed, returned);
    *needed += ports ? size : 0;
    *returned = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

// The same, but only for the first read: the second one lists the ports.
BOOL WINAPI OnceGrowingEnumPorts(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                 LPDWORD returned)
{
    static bool grown = false;
    if (ports && !grown) {
        grown = true;
        return EverGrowingEnumPorts(name, level, ports, size, needed, returned);
    }
    return EnumPortsA(name, level, ports, size, needed, returned);
}

// Without a printer name the monitor watches its port: it stays while the spooler lists
// the port, and when the port is gone the values named after the port go. Only a complete
// listing tells that a port is gone.
TEST(ChkDelPrn, PortStandsInForAnEmptyPrinterName)
{
    struct Case {
        std::string port;
        decltype(SpoolerCalls::enumPorts) enumPorts;
        int result;
    } cases[] = {
        {zt::UniqueName("ztport"), nullptr, 0},
        {"FILE:", nullptr, 1},
        {"file:", nullptr, 1},
        {zt::UniqueName("ztport"), FailingEnumPorts, 1},
        {zt::UniqueName("ztport"), EverGrowingEnumPorts, 1},
        {"FILE:", OnceGrowingEnumPorts, 1},
    };
    for (const Case& c : cases) {
        zt::RunValue user(HKEY_CURRENT_USER, c.port, "\"x.exe\" /A \"nothing here\"");
        zt::FakeSpooler spooler;
        spooler.SetEnumPorts(c.enumPorts);
        EXPECT_EQ(c.result, CheckPrinterDeleted("", c.port.c_str())) << c.port;
        EXPECT_EQ(c.result == 1, user.Exists()) << c.port;
    }
}

// A frame of the kit's printer with its worker, which checks every 100 ms; the frame's
// window belongs to the test's thread, which takes the reports as the message loop would.
class WatchedFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kit.Ok());
        g_pMainFrame = &frame;
        frame.m_dwCheckPeriod = 100;
    }
    void TearDown() override
    {
        frame.CleanUp();
        g_pMainFrame = nullptr;
        zt::SetPrinterState(kit.Printer(), 0);
    }
    // Runs the messages of the frame (`frame` unless another is named; a close request is
    // noted, not carried out) until `pred` holds; false after the timeout.
    bool RunUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000, const CMainFrame* other = nullptr)
    {
        HWND window = (other ? other : &frame)->m_hWnd;
        return zt::WaitFor(
            [&] {
                MSG msg;
                while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                    if (msg.message == WM_CLOSE)
                        closing = true;
                    else
                        DispatchMessageA(&msg);
                }
                return pred();
            },
            timeoutMs);
    }
    zt::TestDriverKit kit;
    zt::FakeSpooler spooler;
    TestFrame frame{kit.Printer()};
    bool closing = false;
};

// What the worker finds shows on the frame: the state, a printer out of reach and back, and
// a printer that is not to be served any more.
TEST_F(WatchedFrame, ReportsShowTheStateAndCloseForAPrinterNotToBeServed)
{
    frame.StartWatch();
    struct Row {
        const char* what;
        std::function<void()> act;
        PrinterCondition condition;
        bool unreachable;
        bool closes;
    } rows[] = {
        {"out of paper", [&] { zt::SetPrinterState(kit.Printer(), PRINTER_STATUS_PAPER_OUT); }, PRINTER_ERROR, false,
         false},
        {"server restarting", [&] { spooler.Fail(kit.Printer(), zt::SPOOL_OPEN, RPC_S_CALL_FAILED); }, PRINTER_OFFLINE,
         true, false},
        {"answers again", [&] { spooler.Clear(); }, PRINTER_ERROR, false, false},
        {"ready", [&] { zt::SetPrinterState(kit.Printer(), 0); }, PRINTER_READY, false, false},
        {"monitoring switched off", [&] { zt::SetPrinterDword(kit.Printer(), "ZETSetting", 1); }, PRINTER_READY, false,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_TRUE(RunUntil([&] {
            return frame.m_condition == row.condition && frame.m_fUnreachable == row.unreachable &&
                   closing == row.closes;
        }));
    }
}

// A printer that the spooler says is gone closes the monitor and loses its start-up entries,
// found by the deletion check at the profile's interval or by the check of its switch;
// an icon-install start checks for no deletion and only closes.
TEST_F(WatchedFrame, GonePrinterClosesTheMonitor)
{
    struct Row {
        UINT deletionInterval;
        bool iconInstall;
        bool entriesGo;
    } rows[] = {{100, false, true}, {0, false, true}, {100, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.deletionInterval);
        zt::TestPrinter printer;
        ASSERT_TRUE(printer.Ok());
        zt::RunValue user(HKEY_CURRENT_USER, printer.Name(), "\"x.exe\" /A \"y\"");
        TestFrame gone(printer.Name());
        g_pMainFrame = &gone;
        // No state wanted: the first check comes after its period.
        gone.m_fShowState = gone.m_fNotify = 0;
        gone.m_dwCheckPeriod = (row.deletionInterval && !row.iconInstall) ? 60000 : 100;
        gone.m_nPrinterCheckInterval = row.deletionInterval;
        gone.m_fIconInstall = row.iconInstall ? 1 : 0;
        ASSERT_TRUE(printer.Delete());
        gone.StartWatch();
        closing = false;
        EXPECT_TRUE(RunUntil([&] { return closing; }, 5000, &gone));
        EXPECT_TRUE(gone.m_fPrinterGone);
        EXPECT_EQ(!row.entriesGo, user.Exists());
        gone.CleanUp();
        g_pMainFrame = &frame;
    }
}

// A printer deleted, as the spooler's notification tells: the monitor closes and loses its
// start-up entries at once.
TEST_F(WatchedFrame, ChangeNotificationOfADeletionClosesTheMonitor)
{
    spooler.FakeChanges();
    frame.m_dwCheckPeriod = 60000;
    frame.StartWatch();
    ASSERT_TRUE(RunUntil([&] { return frame.m_watch.Notified(); }));

    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), "\"zettray.exe\" /P \"" + kit.Printer() + "\"");
    ASSERT_TRUE(kit.DeletePrinter());
    spooler.Signal(PRINTER_CHANGE_DELETE_PRINTER);
    EXPECT_TRUE(RunUntil([&] { return closing; }, 2000));
    EXPECT_FALSE(user.Exists());
}

// Both switches off at the start: no notification, no state. Switched on later (through
// Monitoring Preferences, which sends WM_REFRESHICON), the notification starts at once and
// the state is read.
TEST_F(WatchedFrame, SwitchTurnedOnLaterStartsTheWatchAtOnce)
{
    spooler.FakeChanges();
    frame.m_dwCheckPeriod = 60000;
    zt::ScratchKey target(HKEY_CURRENT_USER, "software\\zettray-tests\\" + zt::UniqueName("target"));
    lstrcpynA(frame.m_szTargetKey, target.Path().c_str(), sizeof(frame.m_szTargetKey));
    zt::SetDword(HKEY_CURRENT_USER, target.Path(), TARGET_STATE_SHOW, 0);
    zt::SetDword(HKEY_CURRENT_USER, target.Path(), TARGET_STATE_NOTIFY, 0);
    frame.LoadStateSwitches();
    frame.StartWatch();
    ASSERT_TRUE(zt::SetPrinterState(kit.Printer(), PRINTER_STATUS_DOOR_OPEN));
    RunUntil([] { return false; }, 300);
    EXPECT_FALSE(frame.m_watch.Notified());
    EXPECT_EQ(PRINTER_READY, frame.m_condition) << "nothing read";

    struct Row {
        const char* value;
        bool notified;
        PrinterCondition condition;
    } rows[] = {{TARGET_STATE_NOTIFY, true, PRINTER_ERROR}, {TARGET_STATE_SHOW, true, PRINTER_ERROR}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        zt::SetDword(HKEY_CURRENT_USER, target.Path(), TARGET_STATE_SHOW, 0);
        zt::SetDword(HKEY_CURRENT_USER, target.Path(), TARGET_STATE_NOTIFY, 0);
        frame.OnRefreshIcon();
        EXPECT_TRUE(RunUntil([&] { return !frame.m_watch.Notified(); }, 2000));
        zt::SetDword(HKEY_CURRENT_USER, target.Path(), row.value, 1);
        frame.OnRefreshIcon();
        EXPECT_TRUE(RunUntil([&] { return frame.m_watch.Notified() == row.notified; }, 1000));
        EXPECT_TRUE(RunUntil([&] { return frame.m_condition == row.condition; }, 1000));
        frame.m_condition = PRINTER_READY;
    }
}

// Every spooler call of a print server takes its time: the window answers, the menu opens on
// the last report, no spooler call is made on the window's thread, and a deletion found
// later still closes the monitor.
TEST_F(WatchedFrame, SlowServerLeavesTheWindowAnswering)
{
    frame.m_hMenu = CreateMenu();
    AppendMenuA(frame.m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "tray");
    frame.m_uTrayVersion = NOTIFYICON_VERSION_4;
    spooler.CountThread(GetCurrentThreadId());
    spooler.Fail(kit.Printer(), zt::SPOOL_EVERY, 0, 300);
    frame.StartWatch();

    // Another program sends to the window while the worker waits for the server.
    std::atomic<DWORD> slowest{0};
    std::atomic<int> answered{0};
    std::atomic<bool> done{false}, ended{false};
    HWND window = frame.m_hWnd;
    std::thread sender([&] {
        while (!done) {
            DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result))
                ++answered;
            slowest = std::max<DWORD>(slowest, GetTickCount() - start);
            Sleep(50);
        }
        ended = true;
    });
    RunUntil([] { return false; }, 1500);
    // The menu opens at once (the test ends it right away) and closes, on the last report.
    PostMessageA(frame.m_hWnd, WM_CANCELMODE, 0, 0);
    DWORD start = GetTickCount();
    EXPECT_EQ(0, frame.OnTrayNotify(MAKEWPARAM(10, 20), MAKELPARAM(WM_CONTEXTMENU, 0)));
    EXPECT_LT(GetTickCount() - start, 1000u);
    // The printer deleted: found by a later check, which closes the monitor.
    ASSERT_TRUE(kit.DeletePrinter());
    EXPECT_TRUE(RunUntil([&] { return closing; }, 10000));
    done = true;
    RunUntil([&] { return ended.load(); });
    sender.join();
    EXPECT_EQ(0, spooler.CallsOnThread()) << "no spooler call on the window's thread";
    EXPECT_GT(answered.load(), 10);
    EXPECT_LT(slowest.load(), 1000u) << "the window answered within a second throughout";
    frame.CleanUp();
}

} // namespace
