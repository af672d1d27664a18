// Closing the programs of an install folder before its files are replaced or removed: the
// folder's close request, the windows of programs that watch none, and the wait for every
// process of the folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "close_request.h"
#include "setup_monitor.h"
#include "testsupport.h"
#include "zetsetup_fixture.h"

namespace {

constexpr DWORD kStartMs = 15000;

TEST(SetupClose, ClosingAFolderEndsItsProgramsAndKeepsTheRequestRaisedUntilLifted)
{
    zt::PackageKit kit;
    ASSERT_TRUE(kit.Ok());
    // A program of the folder that watches no close request: asked through its window.
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_TRUE(CopyFileA((std::string(windows) + "\\notepad.exe").c_str(), kit.PathOf("notepad.exe").c_str(), FALSE));
    const std::string printer = zt::UniqueName("ztcl");
    zt::ChildProcess status, tool, plain;
    ASSERT_TRUE(status.Start(kit.PathOf("J_R10RN1.EXE"), "/P \"" + printer + "\""));
    ASSERT_TRUE(tool.Start(kit.PathOf("zettool.exe"), "/T920 /P \"" + printer + "\""));
    ASSERT_TRUE(plain.Start(kit.PathOf("notepad.exe"), ""));
    for (zt::ChildProcess* program : {&status, &tool, &plain})
        ASSERT_EQ(0u, WaitForInputIdle(program->Handle(), kStartMs));
    {
        RaisedCloseRequest request;
        EXPECT_TRUE(CloseFolderPrograms(kit.Folder(), MONITOR_CLOSE_TIMEOUT_MS, &request));
        EXPECT_TRUE(status.Wait(0)) << "the status window still runs";
        EXPECT_TRUE(tool.Wait(0)) << "the tool still runs";
        EXPECT_TRUE(plain.Wait(0)) << "the program that watches no request still runs";
        // While the request stays raised, a program of the folder that starts closes at once.
        zt::ChildProcess late;
        ASSERT_TRUE(late.Start(kit.PathOf("zettool.exe"), "/T920"));
        EXPECT_TRUE(late.Wait(kStartMs)) << "a program started while the request was raised runs";
    }
    zt::ChildProcess after;
    ASSERT_TRUE(after.Start(kit.PathOf("zettool.exe"), "/T920"));
    EXPECT_EQ(0u, WaitForInputIdle(after.Handle(), kStartMs));
    EXPECT_FALSE(after.Wait(500)) << "a program started after the request was lifted closed";
    after.Kill();
}

} // namespace
