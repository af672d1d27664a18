// The sample tool started from the real monitor's menu: it shows the printer, model,
// driver and port of the monitor's command line, and its own menu command.
#include <gtest/gtest.h>

#include "mainframe.h"
#include "statuswin_testutil.h"
#include "tool_window.h"

namespace {

TEST(ToolFromMonitor, ShowsWhatItWasStartedFor)
{
    zt::KitOptions options;
    options.toolProgram = zt::BinPath("zettool.exe");
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    const std::string title = TOOL_TITLE_PREFIX + kit.Printer();
    zt::WindowsCloser closer({title});
    zt::RunningMonitor monitor(kit);
    ASSERT_NE(nullptr, monitor.Window());

    ASSERT_TRUE(monitor.Command(ID_AUX_FIRST));
    HWND window = zt::WaitForWindowTitled(title);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Printer Information (920)", zt::ItemText(window, IDC_TOOL_COMMAND));
    EXPECT_EQ(kit.Printer(), zt::ItemText(window, IDC_TOOL_PRINTER));
    EXPECT_EQ(kit.Model(), zt::ItemText(window, IDC_TOOL_MODEL));
    EXPECT_EQ(kit.Driver(), zt::ItemText(window, IDC_TOOL_DRIVER));
    EXPECT_EQ(kit.Port(), zt::ItemText(window, IDC_TOOL_PORT));
    EXPECT_TRUE(zt::CloseWindowProcess(window));
}

TEST(ToolProgram, WithoutAToolNumberOrPrinter)
{
    zt::ChildProcess tool;
    std::string port = zt::UniqueName("ztport");
    ASSERT_TRUE(tool.Start(zt::BinPath("zettool.exe"), "/O \"" + port + "\""));
    HWND window = zt::WaitForWindowTitled(TOOL_TITLE_PREFIX + port, tool.Pid());
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("-", zt::ItemText(window, IDC_TOOL_COMMAND));
    EXPECT_EQ("", zt::ItemText(window, IDC_TOOL_PRINTER));
    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    if (!tool.Wait(zt::kExitTimeoutMs, &code))
        tool.Kill();
    EXPECT_EQ(0u, code);
}

} // namespace
