// The trace log against the real registry switch and real files.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "reg_view.h"
#include "testsupport.h"
#include "trace.h"

namespace {

// Each test uses its own switch value and log file, so tests never share a log.
class TraceTest : public ::testing::Test {
protected:
    void SetUp() override { TraceClose(); }
    void TearDown() override
    {
        TraceOpen(nullptr, nullptr); // tracing off again for the next test
        zt::DeleteValue(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str());
    }
    std::string m_value = zt::UniqueName("J_RIC_t");
    zt::TempFile m_log{"ztlog", ".log"};
};

// Splits "  1234567 : rest" into the tick field and the rest; checks the field's width.
void ExpectLine(const std::string& line, const std::string& rest)
{
    ASSERT_GE(line.size(), 13u) << line;
    std::string tick = line.substr(0, 10);
    EXPECT_EQ(tick.find_first_not_of(' '), tick.find_first_of("0123456789")) << line;
    EXPECT_EQ(tick.find_first_not_of(" 0123456789"), std::string::npos) << line;
    EXPECT_NE(tick.back(), ' ') << "tick count is right-aligned: " << line;
    EXPECT_EQ(line.substr(10), " : " + rest) << line;
}

TEST_F(TraceTest, OffWithoutKeyOrValueOrWithZero)
{
    // Value missing.
    EXPECT_EQ(0, TraceOpen(m_log.Path().c_str(), m_value.c_str()));
    EXPECT_EQ(0, TraceMsg("x"));
    EXPECT_EQ(0, TraceStr("a", "b"));
    EXPECT_EQ(0, TraceInt("a", 1));
    // Value 0.
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 0));
    EXPECT_EQ(0, TraceOpen(m_log.Path().c_str(), m_value.c_str()));
    EXPECT_EQ(0, TraceMsg("x"));
    EXPECT_FALSE(zt::FileExists(m_log.Path())) << "no file is created while tracing is off";
    EXPECT_EQ(1, TraceClose());
}

TEST_F(TraceTest, ValueTooWideForFourBytesKeepsTracingOff)
{
    unsigned long long wide = 1;
    ASSERT_TRUE(zt::SetBinary(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), &wide, 8, REG_QWORD));
    EXPECT_EQ(0, TraceOpen(m_log.Path().c_str(), m_value.c_str()));
    unsigned char one = 1;
    ASSERT_TRUE(zt::SetBinary(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), &one, 1, REG_BINARY));
    EXPECT_EQ(1, TraceOpen(m_log.Path().c_str(), m_value.c_str())) << "a 1-byte 0x01 reads as 1";
}

TEST_F(TraceTest, WritesThreeExactFormatsAndAppends)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_log.Path(), "earlier line\r\n"));
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 7));
    ASSERT_EQ(1, TraceOpen(m_log.Path().c_str(), m_value.c_str()));
    EXPECT_EQ(1, TraceMsg("***** LOG START ******"));
    EXPECT_EQ(1, TraceStr("szCmdLine", "/P \"100% %s %n\""));
    EXPECT_EQ(1, TraceInt("result", -2));
    EXPECT_EQ(1, TraceInt("big", 2147483647L));
    EXPECT_EQ(1, TraceMsg(""));
    // A library of the other kind; any other load error writes nothing.
    EXPECT_EQ(1, TraceLoadError("Where", "ResDll", "C:\\x %s.dll", ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(0, TraceLoadError("Where", "ResDll", "C:\\x.dll", ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(0, TraceLoadError("Where", "ResDll", nullptr, ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(0, TraceMsg(nullptr));
    EXPECT_EQ(0, TraceStr(nullptr, "x"));
    EXPECT_EQ(0, TraceStr("x", nullptr));
    EXPECT_EQ(0, TraceInt(nullptr, 1));
    EXPECT_EQ(1, TraceClose());

    std::vector<std::string> lines = zt::ReadLines(m_log.Path());
    ASSERT_EQ(7u, lines.size());
    EXPECT_EQ("earlier line", lines[0]);
    ExpectLine(lines[1], "***** LOG START ******");
    ExpectLine(lines[2], "szCmdLine : /P \"100% %s %n\"");
    ExpectLine(lines[3], "result : -2");
    ExpectLine(lines[4], "big : 2147483647");
    ExpectLine(lines[5], "");
    ExpectLine(lines[6], "Where : ResDll is not a " + std::to_string(sizeof(void*) * 8) +
                             "-bit library (ERROR_BAD_EXE_FORMAT) : C:\\x %s.dll");
    // Every line is written in text mode: carriage return and line feed on disk.
    std::string bytes;
    ASSERT_TRUE(zt::ReadFileBytes(m_log.Path(), &bytes));
    EXPECT_EQ(bytes.size() - 1, bytes.rfind("\r\n") + 1);
}

TEST_F(TraceTest, SwitchInEitherViewTheOwnFirst)
{
    if (!zt::HasTwoRegistryViews())
        GTEST_SKIP() << "one registry view only";
    zt::SoftwareInView other(REG_VIEW_OTHER);
    ASSERT_TRUE(zt::SetDword(other.Root(), zt::UnderSoftware(TRACE_DEBUG_KEY), m_value.c_str(), 1));
    EXPECT_EQ(1, TraceOpen(m_log.Path().c_str(), m_value.c_str())) << "only the other view switches it on";
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 0));
    EXPECT_EQ(0, TraceOpen(m_log.Path().c_str(), m_value.c_str())) << "the own view's 0 wins";
    zt::DeleteValue(other.Root(), zt::UnderSoftware(TRACE_DEBUG_KEY), m_value.c_str());
}

TEST_F(TraceTest, UnwritableFileLosesLinesButStaysOn)
{
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 1));
    std::string bad = zt::TempDir() + zt::UniqueName("nodir") + "\\x.log";
    ASSERT_EQ(1, TraceOpen(bad.c_str(), m_value.c_str()));
    EXPECT_EQ(0, TraceMsg("lost"));
    EXPECT_EQ(0, TraceInt("lost", 1));
}

TEST_F(TraceTest, EmptyNullOrOverlongPathRefused)
{
    ASSERT_TRUE(zt::SetDword(HKEY_LOCAL_MACHINE, TRACE_DEBUG_KEY, m_value.c_str(), 1));
    EXPECT_EQ(0, TraceOpen(nullptr, m_value.c_str()));
    EXPECT_EQ(0, TraceOpen("", m_value.c_str()));
    std::string longPath = "C:\\" + std::string(300, 'a') + ".log";
    EXPECT_EQ(0, TraceOpen(longPath.c_str(), m_value.c_str()));
    EXPECT_EQ(0, TraceMsg("x"));
}

} // namespace
