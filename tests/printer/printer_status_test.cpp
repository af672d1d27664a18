// From a printer's status bits to its state: the precedence of the states, the bit that
// names the state, and what deserves a notification; and the reader against the spooler.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include "printer.h"
#include "printer_status.h"
#include "scoped.h"
#include "testsupport.h"

namespace {

// The table's text of one bit.
const char* BitText(DWORD flag)
{
    size_t count = 0;
    const PrinterStatusBit* bits = PrinterStatusBits(&count);
    for (size_t i = 0; i < count; ++i) {
        if (bits[i].flag == flag)
            return bits[i].text;
    }
    return "";
}

struct ConditionCase {
    DWORD status;
    DWORD attributes;
    DWORD jobs;
    PrinterCondition condition;
    DWORD namedBy; // the bit whose text names the state; 0: no bit
};

TEST(PrinterCondition, MostUrgentBitDecidesAndNamesTheState)
{
    const DWORD kOffline = PRINTER_ATTRIBUTE_WORK_OFFLINE;
    const ConditionCase cases[] = {
        {0, 0, 0, PRINTER_READY, 0},
        {PRINTER_STATUS_POWER_SAVE | PRINTER_STATUS_PENDING_DELETION, 0, 0, PRINTER_READY, 0},
        {0x80000000u, 0, 0, PRINTER_READY, 0},
        {0, 0, 2, PRINTER_BUSY, 0},
        {PRINTER_STATUS_WARMING_UP, 0, 0, PRINTER_BUSY, PRINTER_STATUS_WARMING_UP},
        {PRINTER_STATUS_PRINTING | PRINTER_STATUS_TONER_LOW, 0, 3, PRINTER_WARNING, PRINTER_STATUS_TONER_LOW},
        {PRINTER_STATUS_PAUSED | PRINTER_STATUS_TONER_LOW, 0, 0, PRINTER_PAUSED, PRINTER_STATUS_PAUSED},
        {PRINTER_STATUS_PAUSED, kOffline, 0, PRINTER_OFFLINE, 0},
        {PRINTER_STATUS_PAUSED | PRINTER_STATUS_NOT_AVAILABLE, 0, 0, PRINTER_OFFLINE, PRINTER_STATUS_NOT_AVAILABLE},
        {PRINTER_STATUS_OFFLINE | PRINTER_STATUS_SERVER_UNKNOWN, 0, 0, PRINTER_OFFLINE, PRINTER_STATUS_OFFLINE},
        {PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_OUT, kOffline, 0, PRINTER_ERROR, PRINTER_STATUS_PAPER_OUT},
        {PRINTER_STATUS_ERROR | PRINTER_STATUS_DOOR_OPEN, 0, 0, PRINTER_ERROR, PRINTER_STATUS_DOOR_OPEN},
        {PRINTER_STATUS_ERROR, 0, 0, PRINTER_ERROR, PRINTER_STATUS_ERROR},
        {PRINTER_STATUS_PAGE_PUNT | PRINTER_STATUS_OUT_OF_MEMORY, 0, 0, PRINTER_ERROR, PRINTER_STATUS_PAGE_PUNT},
    };
    for (const ConditionCase& c : cases) {
        const char* text = nullptr;
        PrinterCondition condition = ClassifyPrinter(c.status, c.attributes, c.jobs, &text);
        EXPECT_EQ(c.condition, condition) << std::hex << c.status;
        if (c.namedBy) {
            EXPECT_STREQ(BitText(c.namedBy), text) << std::hex << c.status;
        }
        EXPECT_EQ(condition == PRINTER_READY, text && !text[0]) << std::hex << c.status;
        EXPECT_EQ(condition >= PRINTER_OFFLINE ? 1 : 0, ConditionNeedsAttention(condition));
    }
}

TEST(PrinterStatusReader, ReadsTheStatusEachTimeAndTheRestSeldom)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    ScopedPrinter handle;
    ASSERT_TRUE(OV_OpenPrinter(printer.Name().c_str(), handle.Put(), nullptr));
    CPrinterStatusReader reader;
    EXPECT_TRUE(reader.Read(handle.Get())) << "the first read is news";
    EXPECT_FALSE(reader.Read(handle.Get()));

    // A change of the status bits is seen at once, with the attributes read beside it.
    ASSERT_TRUE(zt::SetPrinterState(printer.Name(), PRINTER_STATUS_PAPER_OUT, true));
    EXPECT_TRUE(reader.Read(handle.Get()));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_PAPER_OUT), reader.Sample().status);
    EXPECT_TRUE(reader.Sample().attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE);

    // An attribute alone waits for the tenth read.
    ASSERT_TRUE(zt::SetPrinterState(printer.Name(), PRINTER_STATUS_PAPER_OUT, false));
    for (int i = 1; i < CPrinterStatusReader::FULL_READ_EVERY; ++i)
        EXPECT_FALSE(reader.Read(handle.Get())) << i;
    EXPECT_TRUE(reader.Read(handle.Get()));
    EXPECT_FALSE(reader.Sample().attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE);
    zt::SetPrinterState(printer.Name(), 0);
}

} // namespace
