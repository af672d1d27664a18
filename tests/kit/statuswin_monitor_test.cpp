// The status-window program started by the real tray monitor from its menu commands:
// Printer Status (900) through a parameter file or the length-prefixed command line, and
// Monitoring Preferences (901) driven through its buttons.
#include <gtest/gtest.h>

#include <memory>

#include "mainframe.h"
#include "prefs_window.h"
#include "status_window.h"
#include "statuswin_testutil.h"

namespace {

const char kStatusExe[] = "J_R10RN1.EXE";

zt::KitOptions KitWithStatusProgram()
{
    zt::KitOptions options;
    options.statusProgram = zt::BinPath(kStatusExe);
    return options;
}

// Printer Status for the kit's printer, opened by the monitor's menu command.
void ExpectStatusWindowFromMonitor(const std::vector<std::string>* monitorEnv)
{
    zt::TestDriverKit kit(KitWithStatusProgram());
    ASSERT_TRUE(kit.Ok());
    const std::string title = STATUS_TITLE_PREFIX + kit.Printer();
    zt::WindowsCloser closer({title});
    zt::RunningMonitor monitor(kit, monitorEnv);
    ASSERT_NE(nullptr, monitor.Window());

    ASSERT_TRUE(monitor.Command(ID_PRINTER_STATUS));
    HWND window = zt::WaitForWindowTitled(title);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(kit.Printer(), zt::ItemText(window, IDC_STATUS_PRINTER));
    EXPECT_EQ(kit.Port(), zt::ItemText(window, IDC_STATUS_PORT));
    EXPECT_EQ(kit.Driver(), zt::ItemText(window, IDC_STATUS_DRIVER));
    EXPECT_EQ(kit.Model(), zt::ItemText(window, IDC_STATUS_MODEL));
    // As its own worker reads the printer, right after the window shows.
    EXPECT_EQ("Ready", zt::ItemTextOnce(window, IDC_STATUS_STATE, "Ready"));
    EXPECT_EQ("0", zt::ItemText(window, IDC_STATUS_JOBS));

    // The second command starts a second program, which gives way to the first window.
    ASSERT_TRUE(monitor.Command(ID_PRINTER_STATUS));
    EXPECT_TRUE(zt::WaitFor([&] { return zt::ProcessesNamed(kStatusExe).size() == 1; }, zt::kExitTimeoutMs))
        << zt::ProcessesNamed(kStatusExe).size();
    EXPECT_EQ(1u, zt::WindowsTitled(title).size());
    EXPECT_TRUE(IsWindow(window));
}

TEST(StatusFromMonitor, ParameterFileForm)
{
    ExpectStatusWindowFromMonitor(nullptr);
}

// With a temporary directory that does not exist the monitor can write no parameter file
// and passes the values on the command line, each with its length.
TEST(StatusFromMonitor, LengthPrefixedForm)
{
    std::string missing = zt::TempDir() + zt::UniqueName("ztnodir") + "\\";
    std::vector<std::string> env = zt::EnvironmentWith({"TMP=" + missing, "TEMP=" + missing});
    ExpectStatusWindowFromMonitor(&env);
}

// Monitoring Preferences for the kit's printer, opened by the monitor.
class PrefsFromMonitor : public ::testing::Test {
protected:
    PrefsFromMonitor() : m_kit(KitWithStatusProgram()) {}
    void Open()
    {
        ASSERT_TRUE(m_kit.Ok());
        m_monitor.reset(new zt::RunningMonitor(m_kit));
        ASSERT_NE(nullptr, m_monitor->Window());
        // The monitor's icon as the notification area shows it, before any window covers it.
        zt::WaitFor([&] { return zt::TrayIconsDrawn(m_trayBefore = zt::TrayIconImages()); }, zt::kWindowTimeoutMs);
        ASSERT_TRUE(m_monitor->Command(ID_MONITOR_PREFS));
        m_window = zt::WaitForWindowTitled(Title());
        ASSERT_NE(nullptr, m_window);
        m_pid = zt::WindowPid(m_window);
    }
    std::string Title() const { return PREFS_TITLE_PREFIX + m_kit.Printer(); }
    DWORD Value(const char* name) const
    {
        DWORD value = 99;
        EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, m_kit.TargetKey(), name, &value)) << name;
        return value;
    }
    // OK pressed: the window goes and its process ends.
    void PressOk()
    {
        zt::Click(m_window, IDC_PREFS_OK);
        EXPECT_TRUE(zt::WaitFor([&] { return zt::ProcessesNamed(kStatusExe).empty(); }, zt::kExitTimeoutMs));
        EXPECT_FALSE(IsWindow(m_window));
    }

    zt::TestDriverKit m_kit;
    zt::WindowsCloser m_closer{{PREFS_TITLE_PREFIX + m_kit.Printer()}};
    std::unique_ptr<zt::RunningMonitor> m_monitor;
    HWND m_window = nullptr;
    DWORD m_pid = 0;
    std::vector<std::string> m_trayBefore;
};

TEST_F(PrefsFromMonitor, ChosenImageIsSavedAndTheMonitorRefreshes)
{
    Open();
    ASSERT_NE(nullptr, m_window);
    EXPECT_TRUE(zt::IsChecked(m_window, IDC_PREFS_IMAGE_FIRST)) << "the library's default image";
    EXPECT_TRUE(zt::IsChecked(m_window, IDC_PREFS_SHOW_ICON));
    HWND image = GetDlgItem(m_window, IDC_PREFS_IMAGE_FIRST + 2);
    EXPECT_TRUE(GetWindowLongA(image, GWL_STYLE) & BS_ICON);
    EXPECT_NE(0, SendMessageA(image, BM_GETIMAGE, IMAGE_ICON, 0)) << "icon 702 of the resource library";

    // The state switches are on by default; only the one changed is stored.
    EXPECT_TRUE(zt::IsChecked(m_window, IDC_PREFS_SHOW_STATE));
    EXPECT_TRUE(zt::IsChecked(m_window, IDC_PREFS_NOTIFY));
    zt::Click(m_window, IDC_PREFS_NOTIFY);

    zt::Click(m_window, IDC_PREFS_IMAGE_FIRST + 2);
    EXPECT_TRUE(zt::IsChecked(m_window, IDC_PREFS_IMAGE_FIRST + 2));
    EXPECT_FALSE(zt::IsChecked(m_window, IDC_PREFS_IMAGE_FIRST));
    PressOk();
    EXPECT_EQ(2u, Value("TrayIconSelected"));
    EXPECT_EQ(1u, Value("TrayIconEnable"));
    EXPECT_EQ(0u, Value(TARGET_STATE_NOTIFY));
    EXPECT_FALSE(zt::ValueExists(HKEY_CURRENT_USER, m_kit.TargetKey(), TARGET_STATE_SHOW));

    // The monitor took the refresh: its icon shows another image now (and stays so), and it
    // runs on.
    ASSERT_TRUE(zt::TrayIconsDrawn(m_trayBefore));
    std::vector<std::string> after;
    EXPECT_TRUE(zt::WaitFor(
        [&] {
            after = zt::TrayIconImages();
            Sleep(200);
            return after != m_trayBefore && after == zt::TrayIconImages();
        },
        zt::kWindowTimeoutMs));
    EXPECT_EQ(m_trayBefore.size(), after.size());
    EXPECT_TRUE(m_monitor->Process().Running());
    EXPECT_EQ(m_monitor->Window(), m_monitor->FindWindow());
}

TEST_F(PrefsFromMonitor, SwitchingTheIconOffClosesTheMonitor)
{
    Open();
    ASSERT_NE(nullptr, m_window);
    EXPECT_EQ("", zt::ItemText(m_window, IDC_PREFS_NOTE));
    zt::Click(m_window, IDC_PREFS_SHOW_ICON);
    EXPECT_FALSE(zt::IsChecked(m_window, IDC_PREFS_SHOW_ICON));
    std::string note = zt::ItemText(m_window, IDC_PREFS_NOTE);
    EXPECT_NE(std::string::npos, note.find("zetsetup enable --printer \"" + m_kit.Printer() + "\"")) << note;

    PressOk();
    EXPECT_EQ(0u, Value("TrayIconEnable"));
    DWORD code = 99;
    EXPECT_TRUE(m_monitor->Process().Wait(zt::kExitTimeoutMs, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(PrefsFromMonitor, CancelChangesNothing)
{
    Open();
    ASSERT_NE(nullptr, m_window);
    zt::Click(m_window, IDC_PREFS_IMAGE_FIRST + 1);
    zt::Click(m_window, IDC_PREFS_SHOW_ICON);
    zt::Click(m_window, IDC_PREFS_CANCEL);
    EXPECT_TRUE(zt::WaitFor([&] { return zt::ProcessesNamed(kStatusExe).empty(); }, zt::kExitTimeoutMs));
    EXPECT_EQ(0u, Value("TrayIconSelected"));
    EXPECT_EQ(1u, Value("TrayIconEnable"));
    EXPECT_TRUE(m_monitor->Process().Running());
}

} // namespace
