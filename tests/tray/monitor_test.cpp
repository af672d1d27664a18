// The monitor as a user and other programs see it: started for an installed printer, it
// shows its window, claims its instance-table slot and goes away when asked.
#include <gtest/gtest.h>

#include "driverkit.h"
#include "instance_check.h"
#include "mainframe.h"
#include "testsupport.h"

namespace {

HWND MonitorWindow(const std::string& printer)
{
    return FindRunningWindow(printer.c_str(), "", INSTANCE_KIND_MONITOR);
}

TEST(Monitor, RunsForInstalledPrinterAndClosesOnRequest)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    zt::ChildProcess monitor;
    ASSERT_TRUE(monitor.Start(zt::BinPath("zettray.exe"), "/P \"" + kit.Printer() + "\" /EF \"HKCU\""));
    HWND window = nullptr;
    ASSERT_TRUE(zt::WaitFor([&] { return (window = MonitorWindow(kit.Printer())) != nullptr; }, 15000));
    char cls[64] = {0}, title[64] = {0};
    GetClassNameA(window, cls, sizeof(cls));
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ("TrayIconWClass", cls);
    EXPECT_STREQ("ZET3 TrayIcon", title);
    EXPECT_FALSE(IsWindowVisible(window));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    EXPECT_EQ(monitor.Pid(), pid);

    std::string target = kit.TargetKey();
    ASSERT_FALSE(target.empty());
    DWORD enable = 0;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconEnable", &enable));
    EXPECT_EQ(1u, enable);

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(monitor.Wait(15000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, MonitorWindow(kit.Printer()));
}

} // namespace
