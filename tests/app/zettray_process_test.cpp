// The program itself, started as a process: its trace log and its exit for a printer that
// is gone. Each start waits its start-up delay (2000 ms, or 100 ms with /EF "HKCU").
#include <gtest/gtest.h>

#include "runvalue.h"
#include "testsupport.h"
#include "trace.h"

namespace {

const DWORD kExitTimeoutMs = 30000;

std::string Zettray()
{
    return zt::BinPath("zettray.exe");
}

// The real switch, saved and restored; the shared log moved aside so that the test sees
// only what its own start writes, and moved back afterwards.
class ZettrayProcess : public ::testing::Test {
protected:
    ZettrayProcess()
    {
        if (zt::FileExists(TRACE_LOG_PATH))
            m_moved = MoveFileA(TRACE_LOG_PATH, m_aside.Path().c_str()) != FALSE;
    }
    ~ZettrayProcess() override
    {
        DeleteFileA(TRACE_LOG_PATH);
        if (m_moved)
            MoveFileA(m_aside.Path().c_str(), TRACE_LOG_PATH);
    }
    void Run(const std::string& args)
    {
        DWORD code = 1;
        ASSERT_TRUE(zt::RunProcess(Zettray(), args, kExitTimeoutMs, &code)) << args;
        EXPECT_EQ(0u, code);
    }

    zt::SavedValue m_switch{HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME};
    zt::TempFile m_aside{"ztlogaside", ".log"};
    bool m_moved = false;
};

TEST_F(ZettrayProcess, TraceLogWhenSwitchedOn)
{
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME, 1));
    ASSERT_TRUE(zt::WriteFileBytes(TRACE_LOG_PATH, "earlier\r\n"));
    std::string printer = zt::UniqueName("ztgone");
    std::string args = "/P \"" + printer + "\" /M \"X9\" /EF \"HKCU\"";
    Run(args);

    const std::string expected[] = {
        "***** LOG START ******",
        "szCmdLine : " + args,
        "InitInstance",
        "cmdInfo.m_szPrinterName : " + printer,
        "cmdInfo.m_bFrom : 1",
        "cmdInfo.m_szPortName : ",
        "cmdInfo.m_szDriverName : ",
        "cmdInfo.m_szModelID : X9",
        "cmdInfo.m_fRemove : 0",
        "cmdInfo.m_fIconInstall : 0",
        "***** LOG END ******",
    };
    std::vector<std::string> lines = zt::ReadLines(TRACE_LOG_PATH);
    ASSERT_EQ(std::size(expected) + 1, lines.size());
    EXPECT_EQ("earlier", lines[0]) << "the log is appended to";
    for (size_t i = 0; i < std::size(expected); ++i) {
        const std::string& line = lines[i + 1];
        ASSERT_GT(line.size(), 10u) << line;
        EXPECT_EQ(std::string::npos, line.substr(0, 10).find_first_not_of(" 0123456789")) << line;
        EXPECT_NE(' ', line[9]) << "tick count right-aligned in 10 characters: " << line;
        EXPECT_EQ(" : " + expected[i], line.substr(10)) << line;
    }
}

TEST_F(ZettrayProcess, NoLogFileWhenSwitchedOff)
{
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME, 0));
    Run("/EF \"HKCU\"");
    EXPECT_FALSE(zt::FileExists(TRACE_LOG_PATH));
}

TEST_F(ZettrayProcess, GonePrinterWithAttachedFileLosesEntryAndFile)
{
    zt::DeleteValue(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, TRACE_VALUE_NAME);
    std::string printer = zt::UniqueName("ztgone");
    zt::TempFile attached("J_R");
    ASSERT_TRUE(zt::WriteFileBytes(attached.Path(), "/P \"" + printer + "\"\n"));
    std::string data = "\"" + Zettray() + "\" /P \"" + printer + "\" /A \"" + attached.Path() + "\"";
    zt::RunValue own(HKEY_CURRENT_USER, printer, data);
    zt::RunValue other(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), data);

    // A normal start, with the full start-up delay.
    Run("/P \"" + printer + "\" /A \"" + attached.Path() + "\"");
    EXPECT_FALSE(own.Exists());
    EXPECT_TRUE(other.Exists());
    EXPECT_FALSE(zt::FileExists(attached.Path()));
    EXPECT_TRUE(zt::FileExists(Zettray()));
}

} // namespace
