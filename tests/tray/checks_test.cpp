// The frame's duplication and deleted-printer checks in process: what they hand to a
// running copy, what they remove, and the trace lines they write.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "driverkit.h"
#include "fake_change.h"
#include "fake_spooler.h"
#include "initinstance.h"
#include "mainframe.h"
#include "monitor_util.h"
#include "reg_view.h"
#include "runvalue.h"
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
        {RPC_S_CALL_FAILED, 1, "call failed"},
        {EPT_S_NOT_REGISTERED, 1, "no endpoints"},
        {ERROR_ACCESS_DENIED, 1, "access denied"},
        {ERROR_NOT_ENOUGH_MEMORY, 1, "no resources"},
        {ERROR_TIMEOUT, 1, "time-out"},
        {ERROR_INVALID_PRINTER_NAME, 0, "no such printer"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), "\"x.exe\" /A \"y\"");
        zt::FakeSpooler spooler;
        if (row.error)
            spooler.Fail(kit.Printer(), zt::SPOOL_OPEN, row.error);
        PrivateTrace trace;
        TestFrame frame(kit.Printer());
        frame.m_nPrinterCheckTimer = SetTimer(frame.m_hWnd, TIMER_PRINTER_CHECK, 60000, nullptr);
        EXPECT_EQ(row.result, frame.ChkDelPrn());
        EXPECT_EQ(row.result == 1, frame.m_nPrinterCheckTimer != 0);
        EXPECT_EQ(row.result == 1, user.Exists());
        const bool unreachable = row.result == 1 && row.error != 0;
        EXPECT_EQ(unreachable, frame.m_fUnreachable);
        EXPECT_EQ(unreachable ? PRINTER_OFFLINE : PRINTER_READY, frame.m_condition);
        std::vector<std::string> lines = trace.Take();
        if (!row.error) {
            EXPECT_EQ((std::vector<std::string>{"CMainFrame::ChkDelPrn : start", "PrinterName : " + kit.Printer(),
                                                "enter : OV_OpenPrinter", "exit : OV_OpenPrinter", "result : 1"}),
                      lines);
        }
        if (unreachable) {
            // It answers again.
            spooler.Clear();
            EXPECT_EQ(1, frame.ChkDelPrn());
            EXPECT_FALSE(frame.m_fUnreachable);
            EXPECT_EQ(PRINTER_READY, frame.m_condition);
        }
    }
}

TEST(ChkDelPrn, IconInstallFlagSkipsTheCheck)
{
    std::string printer = zt::UniqueName("ztgone");
    zt::RunValue user(HKEY_CURRENT_USER, printer, "\"x.exe\"");
    PrivateTrace trace;
    TestFrame frame(printer);
    frame.m_fIconInstall = 1;
    EXPECT_EQ(1, frame.ChkDelPrn());
    EXPECT_TRUE(user.Exists());
    EXPECT_EQ((std::vector<std::string>{"CMainFrame::ChkDelPrn : start", "PrinterName : " + printer}), trace.Take());
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
    PrivateTrace trace;
    TestFrame frame(printer);
    frame.m_nPrinterCheckTimer = SetTimer(frame.m_hWnd, TIMER_PRINTER_CHECK, 60000, nullptr);
    EXPECT_EQ(0, frame.ChkDelPrn());
    EXPECT_EQ(0u, frame.m_nPrinterCheckTimer) << "the printer check stops for good";
    EXPECT_FALSE(user.Exists());
    EXPECT_FALSE(machine.Exists());
    EXPECT_FALSE(other && other->Exists()) << "the machine's Run key in the other view";
    EXPECT_FALSE(zt::FileExists(userFile.Path()));
    EXPECT_FALSE(zt::FileExists(machineFile.Path()));
    EXPECT_EQ(!other, zt::FileExists(otherViewFile.Path()));
    EXPECT_TRUE(zt::FileExists(program.Path())) << "the quoted program itself is never deleted";
    EXPECT_EQ((std::vector<std::string>{"CMainFrame::ChkDelPrn : start", "PrinterName : " + printer,
                                        "enter : OV_OpenPrinter", "exit : OV_OpenPrinter", "result : 0",
                                        "Delete Reg HKCU\\run", "Delete Reg HKLM\\run"}),
              trace.Take());
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
        TestFrame frame("");
        lstrcpynA(frame.m_szPortName, c.port.c_str(), sizeof(frame.m_szPortName));
        EXPECT_EQ(c.result, frame.ChkDelPrn()) << c.port;
        EXPECT_EQ(c.result == 1, user.Exists()) << c.port;
    }
}

TEST(MainFrame, TimersAndCommandsOutsideTheirRangesDoNothing)
{
    std::string printer = zt::UniqueName("ztgone");
    TestFrame frame(printer);
    g_pMainFrame = &frame;
    // A timer id that is neither of the frame's, and a printer check for a gone printer.
    frame.OnTimer(3);
    MSG msg;
    EXPECT_FALSE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg));
    frame.m_nPrinterCheckInterval = 1000;
    frame.OnTimer(TIMER_PRINTER_CHECK);
    EXPECT_TRUE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg)) << "the printer is gone";
    EXPECT_EQ(0u, frame.m_nPrinterCheckTimer);
    // The mask check of a printer that cannot be opened closes the monitor too.
    frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_TRUE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg));
    EXPECT_EQ(0u, frame.m_nMaskCheckTimer);
    g_pMainFrame = nullptr;
}

TEST(MainFrame, MaskCheckRestartsWhileThePrinterServes)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    TestFrame frame(kit.Printer());
    frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_NE(0u, frame.m_nMaskCheckTimer);
    MSG msg;
    EXPECT_FALSE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg));
    ASSERT_TRUE(zt::SetPrinterDword(kit.Printer(), "ZETSetting", 1));
    frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_EQ(0u, frame.m_nMaskCheckTimer);
    EXPECT_TRUE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg));
}

// A frame of the kit's printer whose change notification is the test's stand-in.
class WatchedFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kit.Ok());
        frame.m_pChangeApi = change.Api();
        frame.StartStateWatch();
        ASSERT_TRUE(frame.m_watch.Active());
    }
    // The waiter thread posted its message.
    bool Posted()
    {
        MSG msg;
        return zt::WaitFor([&] { return TakeMessage(frame.m_hWnd, WM_PRINTERCHANGE, &msg); }, 5000);
    }
    zt::TestDriverKit kit;
    zt::FakeChange change;
    TestFrame frame{kit.Printer()};
};

TEST_F(WatchedFrame, ChangeNotificationReadsAgainAndSeesADeletedPrinter)
{
    MSG msg;

    // A change is read at once, not at the next check.
    ASSERT_TRUE(zt::SetPrinterState(kit.Printer(), PRINTER_STATUS_PAPER_OUT));
    change.Signal(PRINTER_CHANGE_SET_PRINTER);
    ASSERT_TRUE(Posted());
    EXPECT_EQ(0, frame.OnPrinterChange());
    EXPECT_EQ(PRINTER_ERROR, frame.m_condition);
    // While notifications come, the checks leave the state alone until the twentieth.
    zt::SetPrinterState(kit.Printer(), 0);
    for (int i = 1; i < STATE_REREAD_CHECKS; ++i)
        frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_EQ(PRINTER_ERROR, frame.m_condition);
    frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_EQ(PRINTER_READY, frame.m_condition);

    // The printer deleted: the monitor closes at once, its start-up entry removed.
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), "\"zettray.exe\" /P \"" + kit.Printer() + "\"");
    ASSERT_TRUE(kit.DeletePrinter());
    change.Signal(PRINTER_CHANGE_DELETE_PRINTER);
    ASSERT_TRUE(Posted());
    EXPECT_EQ(1, frame.OnPrinterChange());
    EXPECT_TRUE(TakeMessage(frame.m_hWnd, WM_CLOSE, &msg));
    EXPECT_FALSE(user.Exists());
}

TEST_F(WatchedFrame, FailedChangeNotificationHandsTheReadingToTheChecks)
{
    change.Signal(0, FALSE);
    ASSERT_TRUE(Posted());
    EXPECT_EQ(0, frame.OnPrinterChange());
    EXPECT_FALSE(frame.m_watch.Active());
    ASSERT_TRUE(zt::SetPrinterState(kit.Printer(), PRINTER_STATUS_DOOR_OPEN));
    frame.OnTimer(TIMER_MASK_CHECK);
    EXPECT_EQ(PRINTER_ERROR, frame.m_condition) << "read on the next check";
    zt::SetPrinterState(kit.Printer(), 0);
}

} // namespace
