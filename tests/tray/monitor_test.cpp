// The monitor as a process, acted on the way the shell and other programs do: tray
// notifications, menu commands, a second start, the monitoring switch, a deleted printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <windows.h>
#include <winspool.h>

#include "close_request.h"
#include "driverkit.h"
#include "mainframe.h"
#include "printer_status.h"
#include "monitor_util.h"
#include "runvalue.h"
#include "scoped.h"
#include "shared_access.h"
#include "targets.h"
#include "testsupport.h"

namespace {

using zt::MonitorProcess;
using zt::Record;

std::string Recorder()
{
    return zt::TestBinDir() + "zt_recorder.exe";
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

class MonitorTest : public ::testing::Test {
protected:
    // Starts the kit's monitor; its window once it runs, else null.
    static HWND StartMonitor(const zt::TestDriverKit& kit, MonitorProcess* monitor,
                             const std::vector<std::string>& env = {})
    {
        if (!kit.Ok() || !monitor->Start(zt::MonitorArgs(kit), env))
            return nullptr;
        return monitor->WaitWindow(kit.Printer());
    }
    // Asks the monitor to close; true when it ended.
    static bool Close(HWND window, MonitorProcess* monitor)
    {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return monitor->WaitExit(15000);
    }
    std::vector<std::string> RecordEnv() const { return {"ZT_RECORD=" + m_record.Path()}; }
    // The Run value that a driver's installer writes, with its parameter file.
    std::string RunData(const zt::TestDriverKit& kit) const
    {
        return "\"" + kit.InstallDir() + "zettray.exe\" /EF \"HKCU\" /A \"" + m_attached.Path() + "\"";
    }
    zt::TempFile m_record{"ztrec", ".txt"};
    zt::TempFile m_attached{"ztA", ".txt"};
};

TEST_F(MonitorTest, RunsForInstalledPrinterAndClosesOnRequest)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor);
    ASSERT_NE(nullptr, window);
    char cls[64] = {0}, title[64] = {0};
    GetClassNameA(window, cls, sizeof(cls));
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ("TrayIconWClass", cls);
    EXPECT_STREQ("ZET3 TrayIcon", title);
    EXPECT_FALSE(IsWindowVisible(window));

    // The first start created the printer's target with the library's defaults.
    std::string target = kit.TargetKey();
    ASSERT_FALSE(target.empty());
    DWORD enable = 0, selected = 9;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconEnable", &enable));
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconSelected", &selected));
    EXPECT_EQ(1u, enable);
    EXPECT_EQ(0u, selected);

    // A refresh request and an unknown command leave it running.
    PostMessageA(window, WM_REFRESHICON, 0, 0);
    PostMessageA(window, WM_COMMAND, 919, 0);
    Sleep(300);
    EXPECT_TRUE(monitor.Running());

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(monitor.WaitExit(15000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, zt::MonitorWindow(kit.Printer())) << "the slot is cleared at exit";
}

TEST_F(MonitorTest, PortOnlyMonitorRunsWithTheLibrarysDefaults)
{
    zt::KitOptions options;
    options.trayIconSelected = 2;
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    // A printer known only by its port, started at log-on from its own Run value.
    const std::string port = zt::UniqueName("ZTPORT") + ":";
    zt::RunValue user(HKEY_CURRENT_USER, port, RunData(kit));
    ASSERT_TRUE(zt::WriteFileBytes(m_attached.Path(), "/O \"" + port + "\"\r\n/D \"" + kit.Driver() + "\"\r\n/M \"" +
                                                          kit.Model() + "\"\r\n"));
    MonitorProcess monitor;
    ASSERT_TRUE(monitor.Start("/EF \"HKCU\" /A \"" + m_attached.Path() + "\""));
    HWND window = monitor.WaitWindow(port);
    EXPECT_NE(nullptr, window);
    EXPECT_TRUE(monitor.Running());

    // Its port-list target got the printer library's defaults from the driver's profile.
    char target[260] = "";
    EXPECT_EQ(0, FindTargetReg(port.c_str(), 1, target));
    DWORD enable = 0, selected = 0;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconEnable", &enable));
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, target, "TrayIconSelected", &selected));
    EXPECT_EQ(1u, enable);
    EXPECT_EQ(2u, selected);
    EXPECT_TRUE(user.Exists());
    EXPECT_TRUE(zt::FileExists(m_attached.Path()));
    EXPECT_TRUE(window && Close(window, &monitor));
    zt::DeleteKeyTree(HKEY_CURRENT_USER, target);
}

TEST_F(MonitorTest, NoCodeOfTheResourceLibraryRuns)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    // A resource library whose entry point leaves a mark when it runs.
    ASSERT_TRUE(zt::CopyFileTo(zt::TestBinDir() + "zt_testres.dll", kit.InstallDir() + "zetres.dll"));
    zt::TempFile mark{"ztmark", ".txt"};
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor, {"ZT_DLLMAIN_MARK=" + mark.Path()});
    ASSERT_NE(nullptr, window) << "icons and menu came from the library";
    EXPECT_FALSE(zt::FileExists(mark.Path()));
    EXPECT_TRUE(Close(window, &monitor));
}

TEST_F(MonitorTest, StatusProgramReceivesParameterFile)
{
    zt::KitOptions options;
    options.statusProgram = Recorder();
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor, RecordEnv());
    ASSERT_NE(nullptr, window);

    PostMessageA(window, WM_COMMAND, ID_PRINTER_STATUS, 0);
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 1));
    PostMessageA(window, WM_COMMAND, ID_MONITOR_PREFS, 0);
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 2));
    // Each gesture that opens the status window, once: a double-click, Space or Enter on
    // the icon, a click on the notification; a click's own selection opens nothing.
    const UINT gestures[] = {WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT, NIN_SELECT, NIN_KEYSELECT,
                             NIN_BALLOONUSERCLICK};
    for (UINT gesture : gestures)
        PostMessageA(window, WM_TRAYNOTIFY, 0, MAKELPARAM(gesture, 0));
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 6));
    Sleep(500);

    std::vector<Record> records = zt::ReadRecords(m_record.Path());
    ASSERT_EQ(6u, records.size());
    const std::string lines = "/P \"" + kit.Printer() + "\"\r\n/D \"" + kit.Driver() + "\"\r\n/O \"LPT1:\"\r\n/M \"" +
                              kit.Model() + "\"\r\n";
    const std::string expectedFile[] = {lines, lines + "/E\r\n", lines, lines, lines, lines};
    const std::string program = "\"" + kit.InstallDir() + "J_R10RN1.EXE\" /F \"J_R";
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const Record& r = records[i];
        EXPECT_EQ(0u, r.commandLine.find(program)) << r.commandLine;
        EXPECT_EQ(".tmp\"", r.commandLine.substr(r.commandLine.size() - 5)) << r.commandLine;
        EXPECT_TRUE(r.hadFile);
        EXPECT_EQ(expectedFile[i], r.fileBytes);
        // The parameter file is the started program's to delete.
        std::string name = r.commandLine.substr(r.commandLine.find("/F \"") + 4);
        name.pop_back();
        EXPECT_TRUE(zt::DeleteFileIfAny(zt::TempDir() + name)) << name;
    }
    std::string stored;
    EXPECT_TRUE(zt::GetString(HKEY_LOCAL_MACHINE, kit.DriverKey(), "J_RRUN", &stored));
    EXPECT_EQ(kit.InstallDir() + "J_R10RN1.EXE", stored) << "the verified path is written back";
    EXPECT_TRUE(Close(window, &monitor));
}

TEST_F(MonitorTest, LengthPrefixedCommandLineWithoutTemporaryDirectory)
{
    zt::KitOptions options;
    options.statusProgram = Recorder();
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    std::string noDir = "C:\\" + zt::UniqueName("nodir");
    std::vector<std::string> env = RecordEnv();
    env.push_back("TMP=" + noDir);
    env.push_back("TEMP=" + noDir);
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor, env);
    ASSERT_NE(nullptr, window);

    PostMessageA(window, WM_COMMAND, ID_PRINTER_STATUS, 0);
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 1));
    PostMessageA(window, WM_COMMAND, ID_MONITOR_PREFS, 0);
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 2));
    std::vector<Record> records = zt::ReadRecords(m_record.Path());
    const std::string line = "\"" + kit.InstallDir() + "J_R10RN1.EXE\" /P" + std::to_string(kit.Printer().size()) +
                             " \"" + kit.Printer() + "\" /O5 \"LPT1:\" /M" + std::to_string(kit.Model().size()) +
                             " \"" + kit.Model() + "\" ";
    EXPECT_EQ(line, records[0].commandLine);
    EXPECT_EQ(line + "/E", records[1].commandLine);
    EXPECT_FALSE(records[0].hadFile);
    EXPECT_TRUE(Close(window, &monitor));
}

TEST_F(MonitorTest, ToolStartedWithItsCommandLine)
{
    zt::KitOptions options;
    options.toolProgram = Recorder();
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor, RecordEnv());
    ASSERT_NE(nullptr, window);

    PostMessageA(window, WM_COMMAND, 919, 0); // not a tool: nothing starts
    PostMessageA(window, WM_COMMAND, 921, 0);
    ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 1));
    std::vector<Record> records = zt::ReadRecords(m_record.Path());
    EXPECT_EQ("\"" + Recorder() + "\" /T921 /P \"" + kit.Printer() + "\" /M \"" + kit.Model() + "\" /D \"" +
                  kit.Driver() + "\" /O \"LPT1:\"",
              records[0].commandLine);
    EXPECT_TRUE(Close(window, &monitor));
    EXPECT_EQ(1u, zt::ReadRecords(m_record.Path()).size());
}

TEST_F(MonitorTest, QuotedProgramPathRunsNoOtherProgram)
{
    // An install directory with a blank, and a program whose path is the part before it:
    // an unquoted start would run that program instead.
    std::string base = zt::TempDir() + zt::UniqueName("ztq");
    std::string dir = base + " kit\\";
    std::string decoy = base + ".exe";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    ASSERT_TRUE(zt::CopyFileTo(Recorder(), decoy));
    ASSERT_TRUE(zt::CopyFileTo(Recorder(), dir + "J_R10RN1.EXE"));
    zt::TempFile decoyRecord{"ztdecoy", ".txt"};
    {
        zt::TestDriverKit kit;
        ASSERT_TRUE(kit.Ok());
        ASSERT_TRUE(zt::SetString(HKEY_LOCAL_MACHINE, kit.DriverKey(), "J_RRUN", dir + "J_R10RN1.EXE"));
        MonitorProcess monitor;
        ASSERT_TRUE(monitor.Start(zt::MonitorArgs(kit), RecordEnv()));
        HWND window = monitor.WaitWindow(kit.Printer());
        ASSERT_NE(nullptr, window);
        PostMessageA(window, WM_COMMAND, ID_PRINTER_STATUS, 0);
        ASSERT_TRUE(zt::WaitForRecords(m_record.Path(), 1));
        Record r = zt::ReadRecords(m_record.Path())[0];
        EXPECT_EQ(0u, r.commandLine.find("\"" + dir + "J_R10RN1.EXE\" /F \"")) << r.commandLine;
        EXPECT_TRUE(Close(window, &monitor));
    }
    zt::DeleteFileIfAny(decoy);
    zt::RemoveDirectoryTree(dir);
}

TEST_F(MonitorTest, SecondStartHandsOverAndRemoveOptionCloses)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    MonitorProcess first;
    HWND window = StartMonitor(kit, &first);
    ASSERT_NE(nullptr, window);

    // Same printer in other letter case: the running copy is refreshed, no second runs.
    DWORD code = 99;
    ASSERT_TRUE(zt::RunProcess(zt::BinPath("zettray.exe"), "/P \"" + Upper(kit.Printer()) + "\" /EF \"HKCU\"", 20000,
                               &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(window, zt::MonitorWindow(kit.Printer()));

    // With /R the running copy is asked to close.
    ASSERT_TRUE(zt::RunProcess(zt::BinPath("zettray.exe"), zt::MonitorArgs(kit, "/R"), 20000, &code));
    EXPECT_TRUE(first.WaitExit(15000));
    EXPECT_EQ(nullptr, zt::MonitorWindow(kit.Printer()));
}

// Copies for one printer released at one moment, as a log-on with both Run values or a
// driver's installer starts them: one monitor and one record, the start-up entry kept and
// the printer enabled, whether its target exists already or the copies create it.
TEST_F(MonitorTest, CopiesStartedTogetherLeaveOneMonitor)
{
    for (bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "existing target" : "new target");
        zt::TestDriverKit kit;
        ASSERT_TRUE(kit.Ok());
        zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
        char path[260] = "";
        int portList = 0;
        if (targetExists) {
            ASSERT_EQ(0, GetTargetReg(kit.Printer().c_str(), kit.Port().c_str(), kit.Model().c_str(), &portList, path));
        }
        zt::MonitorGroup copies;
        ASSERT_TRUE(copies.Start(std::vector<std::string>(8, zt::MonitorArgs(kit)))) << copies.StartError();
        ASSERT_TRUE(copies.Settle(60000));
        std::vector<HWND> windows = copies.CopyWindows();
        windows.erase(std::remove(windows.begin(), windows.end(), nullptr), windows.end());
        ASSERT_EQ(1u, windows.size());
        EXPECT_EQ(1u, copies.Running());
        HWND recorded = nullptr;
        EXPECT_EQ(1, zt::StdTableRecords(kit.Printer(), &recorded));
        EXPECT_EQ(windows[0], recorded);
        EXPECT_TRUE(user.Exists());
        std::vector<std::string> targets = zt::TargetsNamed(kit.Printer());
        ASSERT_EQ(1u, targets.size());
        DWORD enable = 0;
        EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, targets[0], "TrayIconEnable", &enable));
        EXPECT_EQ(1u, enable);
        copies.CloseAll();
        EXPECT_EQ(0u, copies.Running());
    }
}

TEST_F(MonitorTest, KilledMonitorsSlotIsTakenOver)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    MonitorProcess first;
    HWND stale = StartMonitor(kit, &first);
    ASSERT_NE(nullptr, stale);
    first.Kill();
    MonitorProcess second;
    HWND window = StartMonitor(kit, &second);
    ASSERT_NE(nullptr, window);
    EXPECT_NE(stale, window);
    EXPECT_TRUE(Close(window, &second));
}

TEST_F(MonitorTest, MonitoringSwitchedOffClosesAtNextCheckKeepingStartupEntries)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
    zt::RunValue machine(HKEY_LOCAL_MACHINE, kit.Printer(), RunData(kit));
    ASSERT_TRUE(zt::WriteFileBytes(m_attached.Path(), "/P \"" + kit.Printer() + "\"\r\n"));
    MonitorProcess monitor;
    ASSERT_TRUE(monitor.Start(zt::MonitorArgs(kit)));
    ASSERT_NE(nullptr, monitor.WaitWindow(kit.Printer()));

    ASSERT_TRUE(zt::SetPrinterDword(kit.Printer(), "ZETSetting", 1));
    DWORD code = 99;
    EXPECT_TRUE(monitor.WaitExit(3000 + 2000 + 5000, &code)) << "closes at the next mask check";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(user.Exists());
    EXPECT_TRUE(machine.Exists());
    EXPECT_TRUE(zt::FileExists(m_attached.Path()));
}

// The system's close requests: at log-off or shut-down, and when an installer's restart
// manager asks, the monitor ends as on WM_CLOSE and its start-up entries stay; an end of
// session that was called off changes nothing.
TEST_F(MonitorTest, EndOfSessionEndsTheMonitorKeepingItsStartupEntries)
{
    struct Case {
        const char* what;
        WPARAM ending;
        UINT reason;
    } cases[] = {
        {"log-off", TRUE, ENDSESSION_LOGOFF},
        {"restart manager", TRUE, ENDSESSION_CLOSEAPP},
        {"called off", FALSE, 0},
    };
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MonitorProcess monitor;
        HWND window = StartMonitor(kit, &monitor);
        ASSERT_NE(nullptr, window);
        const LPARAM reason = static_cast<LPARAM>(static_cast<LONG>(c.reason));
        // The session may end: the answer is TRUE, and the question alone ends nothing.
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG, 5000, &answer));
        EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer);
        EXPECT_TRUE(IsWindow(window));
        SendMessageA(window, WM_ENDSESSION, c.ending, reason);
        EXPECT_EQ(c.ending != FALSE, monitor.WaitExit(c.ending ? 15000 : 500));
        if (!c.ending) {
            EXPECT_TRUE(Close(window, &monitor));
        }
        EXPECT_EQ(nullptr, zt::MonitorWindow(kit.Printer()));
        EXPECT_TRUE(user.Exists());
    }
}

TEST_F(MonitorTest, DeletedPrinterClosesAndRemovesStartupEntries)
{
    zt::KitOptions options;
    options.statusProgram = Recorder();
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    zt::TempFile machineFile{"ztM", ".txt"};
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
    zt::RunValue machine(HKEY_LOCAL_MACHINE, kit.Printer(),
                         "\"" + kit.InstallDir() + "zettray.exe\" /A \"" + machineFile.Path() + "\"");
    zt::RunValue other(HKEY_CURRENT_USER, zt::UniqueName("ztother"), RunData(kit));
    ASSERT_TRUE(zt::WriteFileBytes(m_attached.Path(), "x"));
    ASSERT_TRUE(zt::WriteFileBytes(machineFile.Path(), "x"));
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor);
    ASSERT_NE(nullptr, window);

    // Right after the deletion, a click on the icon has the printer checked (on the worker,
    // without waiting for it) and finds it gone, before the next check of its monitoring
    // switch, which would close the monitor without this clean-up.
    ASSERT_TRUE(kit.DeletePrinter());
    PostMessageA(window, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    DWORD code = 99;
    ASSERT_TRUE(monitor.WaitExit(15000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(user.Exists());
    EXPECT_FALSE(machine.Exists());
    EXPECT_FALSE(zt::FileExists(m_attached.Path()));
    EXPECT_FALSE(zt::FileExists(machineFile.Path()));
    EXPECT_TRUE(other.Exists());
}

TEST_F(MonitorTest, DisabledIconEndsStartAndRemovesStartupEntry)
{
    zt::KitOptions options;
    options.trayIconEnable = 0;
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
    ASSERT_TRUE(zt::WriteFileBytes(m_attached.Path(), "/P \"" + kit.Printer() + "\"\n"));
    DWORD code = 99;
    ASSERT_TRUE(zt::RunProcess(zt::BinPath("zettray.exe"),
                               zt::MonitorArgs(kit, "/A \"" + m_attached.Path() + "\""), 20000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(user.Exists());
    EXPECT_FALSE(zt::FileExists(m_attached.Path()));
    DWORD enable = 9;
    EXPECT_TRUE(zt::GetDword(HKEY_CURRENT_USER, kit.TargetKey(), "TrayIconEnable", &enable));
    EXPECT_EQ(0u, enable);
}

// Starts a monitor that stops at a message box; returns the box's text after pressing OK.
std::string TextOfStartupBox(const std::string& args, DWORD* exitCode)
{
    MonitorProcess monitor;
    if (!monitor.Start(args))
        return "not started";
    HWND box = nullptr;
    zt::WaitFor([&] { return (box = zt::FindProcessWindow(monitor.Pid(), "ORVEL Zetwatch", "#32770")) != nullptr; },
                20000);
    if (!box)
        return "no box";
    std::string text = zt::MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (!monitor.WaitExit(15000, exitCode))
        return "still running";
    return text;
}

TEST_F(MonitorTest, MissingResourceLibraryShowsBoxAndEndsForGood)
{
    zt::KitOptions options;
    options.resDll = false;
    zt::TestDriverKit kit(options);
    ASSERT_TRUE(kit.Ok());
    zt::RunValue user(HKEY_CURRENT_USER, kit.Printer(), RunData(kit));
    DWORD code = 99;
    EXPECT_EQ("Could not find specified file.", TextOfStartupBox(zt::MonitorArgs(kit), &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(user.Exists()) << "a printer that can never be served loses its start-up entry";
}

TEST_F(MonitorTest, FailingInstanceTableShowsBox)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    ASSERT_TRUE(zt::SetString(HKEY_LOCAL_MACHINE, kit.DriverKey(), "MapFileName", ""));
    DWORD code = 99;
    EXPECT_EQ("Insufficient memory.", TextOfStartupBox(zt::MonitorArgs(kit), &code));
    EXPECT_EQ(0u, code);
}

bool PopupMenuShown(DWORD pid)
{
    return zt::FindProcessWindow(pid, "", "#32768") != nullptr &&
           IsWindowVisible(zt::FindProcessWindow(pid, "", "#32768"));
}

TEST_F(MonitorTest, RightClickShowsMenuAndChordCloses)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor);
    ASSERT_NE(nullptr, window);

    // The menu opens once per gesture: on WM_CONTEXTMENU (right-click, Shift+F10, the
    // Menu key), at the icon's anchor point.
    PostMessageA(window, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    Sleep(500);
    EXPECT_FALSE(PopupMenuShown(monitor.Pid()));
    PostMessageA(window, WM_TRAYNOTIFY, MAKEWPARAM(40, 30), MAKELPARAM(WM_CONTEXTMENU, 0));
    EXPECT_TRUE(zt::WaitFor([&] { return PopupMenuShown(monitor.Pid()); }, 10000));
    RECT menu = {0, 0, 0, 0};
    GetWindowRect(zt::FindProcessWindow(monitor.Pid(), "", "#32768"), &menu);
    EXPECT_EQ(40, menu.left);
    EXPECT_EQ(30, menu.top);
    PostMessageA(window, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(zt::WaitFor([&] { return !PopupMenuShown(monitor.Pid()); }, 10000));
    EXPECT_TRUE(monitor.Running());

    // Ctrl+Shift+Space held during the right click closes the monitor, without a menu.
    // The desktop's key state can be reset by a focus change in between (the window
    // comes to the front before the keys are read): press again and retry, closing a
    // menu that a missed chord opened.
    const WORD keys[] = {VK_CONTROL, VK_SHIFT, VK_SPACE};
    INPUT input[3];
    memset(input, 0, sizeof(input));
    for (int i = 0; i < 3; ++i) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
    }
    bool closed = false;
    for (int attempt = 0; attempt < 5 && !closed; ++attempt) {
        SendInput(3, input, sizeof(INPUT));
        Sleep(50);
        PostMessageA(window, WM_TRAYNOTIFY, 0, MAKELPARAM(WM_CONTEXTMENU, 0));
        closed = monitor.WaitExit(3000);
        if (!closed && PopupMenuShown(monitor.Pid())) {
            PostMessageA(window, WM_CANCELMODE, 0, 0);
            zt::WaitFor([&] { return !PopupMenuShown(monitor.Pid()); }, 5000);
        }
    }
    for (INPUT& in : input)
        in.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(3, input, sizeof(INPUT));
    EXPECT_TRUE(closed);
}

// A shown notification balloon of the shell (any process): its text into *found.
BOOL CALLBACK FindBalloon(HWND window, LPARAM found)
{
    const LONG kBalloonStyle = 0x40; // TTS_BALLOON
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "tooltips_class32") != 0 || !(GetWindowLongA(window, GWL_STYLE) & kBalloonStyle) ||
        !IsWindowVisible(window))
        return TRUE;
    char buffer[512] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    *reinterpret_cast<std::string*>(found) = buffer;
    return FALSE;
}

std::string BalloonText()
{
    std::string text;
    EnumWindows(FindBalloon, reinterpret_cast<LPARAM>(&text));
    return text;
}

TEST_F(MonitorTest, PrinterInTroubleRaisesANotification)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    ASSERT_TRUE(zt::SetPrinterState(kit.Printer(), PRINTER_STATUS_PAPER_OUT));
    MonitorProcess monitor;
    HWND window = StartMonitor(kit, &monitor);
    ASSERT_NE(nullptr, window);
    // After 10 s in Error, and about 2 s for the shell to show it.
    std::string shown;
    EXPECT_TRUE(zt::WaitFor([&] { return !(shown = BalloonText()).empty(); }, 20000));
    EXPECT_NE(std::string::npos, shown.find("Out of paper")) << shown;
    EXPECT_TRUE(Close(window, &monitor));
    zt::SetPrinterState(kit.Printer(), 0);
}

// The close requests of the monitors of one folder, and names that another account made
// first (the user's request, and the folder's, which earlier versions watch): neither another
// account's signal nor its object keeps an installer's request from closing the monitor.
TEST(SharedAccess, SquattedCloseRequestNeitherClosesNorKeepsTheMonitor)
{
    zt::TestDriverKit kit;
    ASSERT_TRUE(kit.Ok());
    const std::string program = kit.InstallDir() + "zettray.exe";
    ASSERT_TRUE(zt::CopyFileTo(zt::BinPath("zettray.exe"), program));
    const std::string folder = kit.InstallDir().substr(0, kit.InstallDir().size() - 1);
    const std::string sid = CUserObjects().Sid();
    char name[MAX_PATH], folderName[MAX_PATH];
    ASSERT_TRUE(CloseRequestName(folder.c_str(), sid.c_str(), 0, name, sizeof(name)));
    ASSERT_TRUE(CloseRequestName(folder.c_str(), nullptr, 0, folderName, sizeof(folderName)));
    const struct {
        const char* what;
        bool squatted;
        zt::ForeignObject::Kind kind;
    } rows[] = {
        {"the user's own", false, zt::ForeignObject::SetEvent},
        {"set by another account", true, zt::ForeignObject::SetEvent},
        {"of another type", true, zt::ForeignObject::OtherType},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::unique_ptr<zt::ForeignObject>> squats;
        for (const char* squatted : {name, folderName}) {
            if (!row.squatted)
                break;
            squats.emplace_back(new zt::ForeignObject(squatted, row.kind));
            ASSERT_TRUE(squats.back()->Ok());
        }
        MonitorProcess monitor;
        ASSERT_TRUE(monitor.StartProgram(program, zt::MonitorArgs(kit)));
        ASSERT_NE(nullptr, monitor.WaitWindow(kit.Printer()));
        EXPECT_FALSE(monitor.WaitExit(500)) << "another account's signal closes nothing";
        RaisedCloseRequest request;
        request.Raise(folder.c_str());
        EXPECT_TRUE(monitor.WaitExit(15000));
    }

    // A monitor of an earlier version watches the folder's request, which it made itself.
    {
        ScopedHandle earlier(CreateEventA(nullptr, TRUE, FALSE, folderName));
        RaisedCloseRequest request;
        ASSERT_TRUE(request.Raise(folder.c_str()));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(earlier.Get(), 0));
        request.Lift();
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(earlier.Get(), 0)) << "reset for monitors that start later";
    }

    // A monitor that starts while the request is raised closes at once.
    RaisedCloseRequest request;
    ASSERT_TRUE(request.Raise(folder.c_str()));
    MonitorProcess starting;
    ASSERT_TRUE(starting.StartProgram(program, zt::MonitorArgs(kit)));
    EXPECT_TRUE(starting.WaitExit(15000));
}

} // namespace
