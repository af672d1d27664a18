// The change-notification waiter through a stand-in for the spooler's calls: what each
// kind of signal posts, and that it posts one message however many signals come.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include "fake_change.h"
#include "printer_watch.h"
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
        m_watch.Stop();
        DestroyWindow(m_window);
    }
    // Messages of the watch waiting now, after the waiter took `takes` notifications.
    int PostedAfter(LONG takes)
    {
        zt::WaitFor([&] { return m_change.Takes() >= takes; }, 5000);
        Sleep(50); // the post follows the take
        int count = 0;
        MSG msg;
        while (PeekMessageA(&msg, m_window, kMessage, kMessage, PM_REMOVE))
            ++count;
        return count;
    }

    zt::TestPrinter m_printer;
    zt::FakeChange m_change;
    CPrinterWatch m_watch;
    HWND m_window = nullptr;
};

struct SignalCase {
    DWORD cause;
    BOOL ok;
    bool lost;
    bool failed; // the waiter ends and the caller polls
};

TEST_F(WatchTest, EachSignalPostsOneMessage)
{
    const SignalCase cases[] = {
        {PRINTER_CHANGE_SET_PRINTER, TRUE, false, false},
        {0, TRUE, true, false}, // lost notifications: read again all the same
        {PRINTER_CHANGE_DELETE_PRINTER, TRUE, false, false},
        {PRINTER_CHANGE_ADD_JOB, FALSE, false, true},
    };
    ASSERT_TRUE(m_watch.Start(m_printer.Name().c_str(), m_window, kMessage, m_change.Api()));
    LONG takes = 0;
    for (const SignalCase& c : cases) {
        m_change.Signal(c.cause, c.ok, c.lost);
        EXPECT_EQ(1, PostedAfter(++takes)) << c.cause;
        bool failed = true;
        EXPECT_EQ(c.ok ? c.cause : 0u, m_watch.TakeChanges(&failed)) << c.cause;
        EXPECT_EQ(c.failed, failed) << c.cause;
    }
    EXPECT_EQ(1, m_change.Freed());
    m_watch.Stop();
    EXPECT_FALSE(m_watch.Active());
    EXPECT_EQ(1, m_change.Closed());
}

TEST_F(WatchTest, SignalsBeforeTheTakeShareOneMessage)
{
    ASSERT_TRUE(m_watch.Start(m_printer.Name().c_str(), m_window, kMessage, m_change.Api()));
    m_change.Signal(PRINTER_CHANGE_ADD_JOB);
    ASSERT_EQ(1, PostedAfter(1));
    m_change.Signal(PRINTER_CHANGE_SET_PRINTER);
    EXPECT_EQ(0, PostedAfter(2));
    bool failed = true;
    EXPECT_EQ(static_cast<DWORD>(PRINTER_CHANGE_ADD_JOB | PRINTER_CHANGE_SET_PRINTER), m_watch.TakeChanges(&failed));
    EXPECT_FALSE(failed);
    m_change.Signal(PRINTER_CHANGE_SET_PRINTER);
    EXPECT_EQ(1, PostedAfter(3)) << "posts again after the take";
}

} // namespace
