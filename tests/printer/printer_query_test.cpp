// The monitoring switch of a printer and its driver name, read from the real spooler.
#include <gtest/gtest.h>

#include <string.h>

#include "fake_spooler.h"
#include "printer.h"
#include "strutil.h"
#include "testsupport.h"
#include "trace.h"

namespace {

// Traces into a log of its own through a switch value of its own.
class TracedQuery : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_trace.On()); }
    // The log's lines without their tick-count field.
    std::vector<std::string> Lines() { return m_trace.Take(); }
    // IsZetInvalid on the printer after giving it a raw ZETSetting (size 0: none).
    int WithSetting(const std::string& printer, DWORD type, const void* data, DWORD size)
    {
        if (size && !zt::SetPrinterRaw(printer, "ZETSetting", type, data, size)) {
            ADD_FAILURE() << "ZETSetting not stored";
            return -1;
        }
        CCtrlSetReg ctrl;
        return ctrl.IsZetInvalid(printer.c_str());
    }

    zt::PrivateTrace m_trace;
};

TEST_F(TracedQuery, ExistingPrinterWritesTheWholeSequence)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    CCtrlSetReg ctrl;
    EXPECT_EQ(0, ctrl.IsZetInvalid(printer.Name().c_str()));

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ("CCtrlSetReg::IsZetInvalid : start", lines[0]);
    EXPECT_EQ("PrinterName : " + printer.Name(), lines[1]);
    EXPECT_EQ("Enter : OV_OpenPrinter", lines[2]);
    EXPECT_EQ("Exit : OV_OpenPrinter", lines[3]);
    EXPECT_EQ("Enter : GetPrinterData", lines[4]);
    EXPECT_EQ("Exit : GetPrinterData", lines[5]);
    EXPECT_EQ(0u, lines[6].rfind("result : ", 0)) << lines[6];
    EXPECT_NE("result : 0", lines[6]) << "no ZETSetting: the query fails";
    EXPECT_EQ("value : 0", lines[7]);
    EXPECT_EQ("Enter : ClosePrinter", lines[8]);
    EXPECT_EQ("Exit : ClosePrinter", lines[9]);
    EXPECT_EQ("CCtrlSetReg::IsZetInvalid : exit", lines[10]);
}

TEST_F(TracedQuery, MissingPrinterIsInvalidAndEmptyNameIsNotTraced)
{
    std::string name = zt::UniqueName("ztnone");
    CCtrlSetReg ctrl;
    EXPECT_EQ(0, ctrl.IsZetInvalid(""));
    EXPECT_EQ(0, ctrl.IsZetInvalid(nullptr));
    EXPECT_TRUE(Lines().empty());

    EXPECT_EQ(1, ctrl.IsZetInvalid(name.c_str()));
    std::vector<std::string> expected = {
        "CCtrlSetReg::IsZetInvalid : start", "PrinterName : " + name, "Enter : OV_OpenPrinter",
        "Exit : OV_OpenPrinter", "CCtrlSetReg::IsZetInvalid : exit"};
    EXPECT_EQ(expected, Lines());

    // A printer that the spooler cannot reach now is neither served nor given up.
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    zt::FakeSpooler spooler;
    spooler.Fail(printer.Name(), zt::SPOOL_OPEN, RPC_S_SERVER_UNAVAILABLE);
    EXPECT_EQ(ZET_UNREACHABLE, ctrl.IsZetInvalid(printer.Name().c_str()));
}

TEST_F(TracedQuery, OnlyASettingThatReadsAsOneSwitchesMonitoringOff)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    const std::string& name = printer.Name();
    DWORD zero = 0, one = 1, two = 2;
    EXPECT_EQ(0, WithSetting(name, REG_DWORD, &zero, 4));
    EXPECT_EQ(1, WithSetting(name, REG_DWORD, &one, 4));
    EXPECT_EQ(0, WithSetting(name, REG_DWORD, &two, 4));

    // One byte 0x01 of any type fills the low byte of the zeroed number.
    unsigned char byte = 1;
    EXPECT_EQ(1, WithSetting(name, REG_BINARY, &byte, 1));
    std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("value : 1", lines[lines.size() - 4]);

    // Eight bytes do not fit the 4-byte buffer: the query fails and the printer stays valid.
    unsigned long long wide = 1;
    EXPECT_EQ(0, WithSetting(name, REG_QWORD, &wide, 8));
    lines = Lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ("result : " + std::to_string(ERROR_MORE_DATA), lines[lines.size() - 5]);
    EXPECT_EQ("value : 0", lines[lines.size() - 4]);
}

// A printer's information that grows between the size query and the read (its comment or
// port changed meanwhile), for the next `g_growing` reads.
int g_growing = 0;
BOOL WINAPI GrowingGetPrinter(HANDLE printer, DWORD level, LPBYTE data, DWORD size, LPDWORD needed)
{
    if (data && g_growing > 0) {
        --g_growing;
        GetPrinterA(printer, level, nullptr, 0, needed);
        *needed += size;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return GetPrinterA(printer, level, data, size, needed);
}

TEST(GetPrnDriverName, ReadsTheSpoolersDriverName)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    SpoolerCalls growing = RealSpooler();
    growing.getPrinter = GrowingGetPrinter;
    const SpoolerCalls* replaced = SetSpoolerCalls(&growing);
    for (int grows : {0, 1, 2, 3}) {
        g_growing = grows;
        char driver[ZT_TEXT];
        memset(driver, 'x', sizeof(driver));
        EXPECT_EQ(grows < 3, GetPrnDriverName(printer.Name().c_str(), driver)) << grows << " reads grew";
        EXPECT_EQ(grows < 3 ? printer.Driver() : "", driver) << grows << " reads grew";
    }
    SetSpoolerCalls(replaced);
}

TEST(GetPrnDriverName, FailuresLeaveAnEmptyOutputAndNullOutputIsUntouched)
{
    char driver[ZT_TEXT];
    memset(driver, 'x', sizeof(driver));
    EXPECT_EQ(0, GetPrnDriverName(zt::UniqueName("ztnone").c_str(), driver));
    EXPECT_STREQ("", driver);

    memset(driver, 'x', sizeof(driver));
    EXPECT_EQ(0, GetPrnDriverName("", driver));
    EXPECT_STREQ("", driver);
    memset(driver, 'x', sizeof(driver));
    EXPECT_EQ(0, GetPrnDriverName(nullptr, driver));
    EXPECT_STREQ("", driver);

    EXPECT_EQ(0, GetPrnDriverName("anything", nullptr));
}

} // namespace
