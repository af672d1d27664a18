// The printer's worker against the real spooler, with a stand-in where the spooler has to
// misbehave or give change notifications (Wine's gives none): what it reads and when, what
// it reports, and that its reports reach the window as one message however many come.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <functional>

#include "fake_spooler.h"
#include "printer.h"
#include "printer_watch.h"
#include "runvalue.h"
#include "testsupport.h"

namespace {

const UINT kMessage = WM_APP + 7;

class WatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_printer.Ok());
        m_window = CreateWindowExA(0, "STATIC", "watch", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
        ASSERT_NE(nullptr, m_window);
    }
    void TearDown() override
    {
        m_watch.Stop(INFINITE);
        zt::SetPrinterState(m_printer.Name(), 0);
        DestroyWindow(m_window);
    }
    void Start(bool deletionChecks = false)
    {
        PrinterWatchSetup setup;
        setup.printer = m_printer.Name().c_str();
        setup.window = m_window;
        setup.message = kMessage;
        setup.deletionChecks = deletionChecks;
        ASSERT_TRUE(m_watch.Start(setup, true));
    }
    // Takes reports as they come until one satisfies `pred` (asking for a check every
    // `checkEveryMs` when that is not 0, as a window's timer does); false after the timeout.
    // *checks (optional) counts the checks asked for.
    bool ReportUntil(const std::function<bool(const PrinterReport&)>& pred, DWORD timeoutMs = 5000,
                     DWORD checkEveryMs = 0, int* checks = nullptr)
    {
        DWORD lastCheck = GetTickCount();
        return zt::WaitFor(
            [&] {
                if (checkEveryMs && GetTickCount() - lastCheck >= checkEveryMs) {
                    lastCheck = GetTickCount();
                    m_watch.CheckNow();
                    if (checks)
                        ++*checks;
                }
                MSG msg;
                bool posted = false;
                while (PeekMessageA(&msg, m_window, kMessage, kMessage, PM_REMOVE))
                    posted = true;
                if (posted)
                    m_last = m_watch.Take();
                return posted && pred(m_last);
            },
            timeoutMs);
    }

    zt::TestPrinter m_printer;
    zt::FakeSpooler m_spooler;
    CPrinterWatch m_watch;
    PrinterReport m_last;
    HWND m_window = nullptr;
};

// Without a notification (Wine's spooler gives none) the state is read on every check; the
// level-2 information ("work offline") on every third read at least.
TEST_F(WatchTest, ChecksReadTheStateWhereTheSpoolerTellsNothing)
{
    Start();
    ASSERT_TRUE(ReportUntil([](const PrinterReport& r) { return r.sampled; }));
    EXPECT_FALSE(m_watch.Notified());
    EXPECT_EQ(PRESENCE_HERE, m_last.presence);
    EXPECT_EQ(m_printer.Driver(), m_last.driver);
    EXPECT_EQ("LPT1:", std::string(m_last.port));
    struct Row {
        DWORD status;
        bool offline;
    } rows[] = {
        {PRINTER_STATUS_PAPER_OUT, false},
        {PRINTER_STATUS_PAPER_OUT, true}, // the attribute alone: a level-2 read
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.status << (row.offline ? " offline" : ""));
        ASSERT_TRUE(zt::SetPrinterState(m_printer.Name(), row.status, row.offline));
        int checks = 0;
        EXPECT_TRUE(ReportUntil(
            [&](const PrinterReport& r) {
                return r.sample.status == row.status &&
                       ((r.sample.attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0) == row.offline;
            },
            5000, 100, &checks));
        EXPECT_LE(checks, CPrinterStatusReader::FULL_READ_EVERY + 1);
    }
}

// A notification is read at once, with the level-2 information, and a burst of them at most
// once a second; a failed one leaves the reading to the checks.
TEST_F(WatchTest, NotificationsAreReadOnceASecondAtMost)
{
    m_spooler.FakeChanges();
    Start();
    ASSERT_TRUE(ReportUntil([](const PrinterReport& r) { return r.sampled; }));
    ASSERT_TRUE(m_watch.Notified());

    // The attribute alone, at once: a notified read takes level 2.
    ASSERT_TRUE(zt::SetPrinterState(m_printer.Name(), 0, true));
    m_spooler.Signal(PRINTER_CHANGE_SET_PRINTER);
    EXPECT_TRUE(ReportUntil([](const PrinterReport& r) { return r.sample.attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE; },
                            500));

    // Four changes in a burst: one read now (or right after the one before), one a second on.
    Sleep(NOTIFIED_READ_GAP_MS);
    const LONG before = m_spooler.Gets();
    const LONG takes = m_spooler.Takes();
    for (int i = 0; i < 4; ++i) {
        m_spooler.Signal(PRINTER_CHANGE_ADD_JOB, TRUE, i == 2);
        zt::WaitFor([&] { return m_spooler.Takes() > takes + i; }, 1000);
        Sleep(50);
    }
    const LONG perRead = 3; // level 6, then level 2 (its size, then its data)
    EXPECT_EQ(perRead, m_spooler.Gets() - before) << "one read for the first";
    EXPECT_TRUE(zt::WaitFor([&] { return m_spooler.Gets() - before == 2 * perRead; }, 2000));
    Sleep(NOTIFIED_READ_GAP_MS + 200);
    EXPECT_EQ(2 * perRead, m_spooler.Gets() - before) << "and one for the rest";
    EXPECT_EQ(1, m_spooler.Freed()) << "the block of lost notifications is given back";

    m_spooler.Signal(PRINTER_CHANGE_SET_PRINTER, FALSE);
    EXPECT_TRUE(zt::WaitFor([&] { return !m_watch.Notified(); }, 2000));
    EXPECT_EQ(1, m_spooler.Closed());
}

// What the watch reports of a printer that its print server cannot reach, that comes back,
// that is deleted while the watch's own handle keeps it pending, and that is gone.
TEST_F(WatchTest, ReachabilityPendingDeletionAndDeletion)
{
    zt::RunValue user(HKEY_CURRENT_USER, m_printer.Name(), "\"x.exe\" /A \"y\"");
    m_spooler.FakeChanges();
    Start(true);
    ASSERT_TRUE(ReportUntil([](const PrinterReport& r) { return r.sampled; }));
    ASSERT_TRUE(m_watch.Notified());
    struct Row {
        const char* what;
        std::function<void()> act;
        int presence;
        DWORD error;
        bool deleted;
        bool notified;
    } rows[] = {
        {"server restarting", [&] { m_spooler.Fail(m_printer.Name(), zt::SPOOL_OPEN, RPC_S_SERVER_UNAVAILABLE); },
         PRESENCE_UNKNOWN, RPC_S_SERVER_UNAVAILABLE, false, true},
        {"access denied", [&] { m_spooler.Fail(m_printer.Name(), zt::SPOOL_OPEN, ERROR_ACCESS_DENIED); },
         PRESENCE_UNKNOWN, ERROR_ACCESS_DENIED, false, true},
        {"answers again", [&] { m_spooler.Clear(); }, PRESENCE_HERE, 0, false, true},
        {"pending deletion: the handles go, the printer is still there",
         [&] {
             zt::SetPrinterState(m_printer.Name(), PRINTER_STATUS_PENDING_DELETION);
             m_spooler.Signal(PRINTER_CHANGE_SET_PRINTER);
         },
         PRESENCE_HERE, 0, false, false},
        {"the last handle gone", [&] { m_printer.Delete(); }, PRESENCE_GONE, ERROR_INVALID_PRINTER_NAME, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.act();
        EXPECT_TRUE(ReportUntil(
            [&](const PrinterReport& r) {
                return r.presence == row.presence && r.error == row.error && r.deleted == row.deleted &&
                       m_watch.Notified() == row.notified;
            },
            5000, 100))
            << m_last.presence << " " << m_last.error << " " << m_last.deleted;
        EXPECT_EQ(!row.deleted, user.Exists());
    }
}

} // namespace
