// From a printer's status bits to its state: the precedence of the states, the bit that
// names the state, and what deserves a notification; and the reader against the spooler.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include "library.h"
#include "printer.h"
#include "printer_status.h"
#include "scoped.h"
#include "strutil.h"
#include "testsupport.h"

namespace {

struct ConditionCase {
    DWORD status;
    DWORD attributes;
    DWORD jobs;
    PrinterCondition condition;
    const char* text; // the words that name the state
};

TEST(PrinterCondition, MostUrgentBitDecidesAndNamesTheState)
{
    const DWORD kOffline = PRINTER_ATTRIBUTE_WORK_OFFLINE;
    const ConditionCase cases[] = {
        {0, 0, 0, PRINTER_READY, ""},
        {PRINTER_STATUS_POWER_SAVE | PRINTER_STATUS_PENDING_DELETION, 0, 0, PRINTER_READY, ""},
        {0x80000000u, 0, 0, PRINTER_READY, ""},
        {0, 0, 2, PRINTER_BUSY, "Busy"},
        {PRINTER_STATUS_WARMING_UP, 0, 0, PRINTER_BUSY, "Warming up"},
        {PRINTER_STATUS_PRINTING | PRINTER_STATUS_TONER_LOW, 0, 3, PRINTER_WARNING, "Toner low"},
        {PRINTER_STATUS_PAUSED | PRINTER_STATUS_TONER_LOW, 0, 0, PRINTER_PAUSED, "Paused"},
        {PRINTER_STATUS_PAUSED, kOffline, 0, PRINTER_OFFLINE, "Offline"},
        {PRINTER_STATUS_PAUSED | PRINTER_STATUS_NOT_AVAILABLE, 0, 0, PRINTER_OFFLINE, "Not available"},
        {PRINTER_STATUS_OFFLINE | PRINTER_STATUS_SERVER_UNKNOWN, 0, 0, PRINTER_OFFLINE, "Offline"},
        {PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_OUT, kOffline, 0, PRINTER_ERROR, "Out of paper"},
        {PRINTER_STATUS_ERROR | PRINTER_STATUS_DOOR_OPEN, 0, 0, PRINTER_ERROR, "Door open"},
        {PRINTER_STATUS_ERROR, 0, 0, PRINTER_ERROR, "Error"},
        {PRINTER_STATUS_PAGE_PUNT | PRINTER_STATUS_OUT_OF_MEMORY, 0, 0, PRINTER_ERROR, "Page too complex"},
    };
    for (const ConditionCase& c : cases) {
        const char* text = nullptr;
        PrinterCondition condition = ClassifyPrinter(c.status, c.attributes, c.jobs, &text);
        EXPECT_EQ(c.condition, condition) << std::hex << c.status;
        EXPECT_STREQ(c.text, text) << std::hex << c.status;
        EXPECT_EQ(condition >= PRINTER_OFFLINE ? 1 : 0, ConditionNeedsAttention(condition));
    }
}

struct TextCase {
    UINT id;
    const char* insert;   // the text formatted with it; null: the text itself
    const char* expected; // null: the built-in text, as without a library
};

TEST(StateTexts, TheLibrarysTextByItsIdElseTheBuiltInOne)
{
    CStateTexts builtIn;
    builtIn.Load(nullptr);
    HMODULE library = LoadResourceLibrary((zt::TestBinDir() + "zt_testres.dll").c_str());
    ASSERT_NE(nullptr, library);
    CStateTexts texts;
    texts.Load(library);
    FreeLibrary(library); // the texts were copied
    std::string digits;
    while (digits.size() < CStateTexts::TEXT_SIZE)
        digits += "0123456789";
    const std::string cut = digits.substr(0, CStateTexts::TEXT_SIZE - 4) + "...";
    const TextCase cases[] = {
        {1005, nullptr, "Paper gone"},
        {1023, nullptr, nullptr}, // not in the library
        {IDS_STATE_NOT_REACHABLE, nullptr, nullptr},
        {1022, nullptr, cut.c_str()}, // longer than is kept
        {IDS_DOCUMENTS, "12", "12 jobs"},
        {IDS_ONE_DOCUMENT, "1", nullptr},
        {IDS_ATTENTION, "Paper gone", "50% of Paper gone, %1 and %2"}, // the first %1 only
        {999, nullptr, ""},                                             // no state text
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.id);
        char out[CStateTexts::TEXT_SIZE] = "";
        char plain[CStateTexts::TEXT_SIZE] = "";
        if (c.insert) {
            EXPECT_EQ(1, texts.Format(c.id, c.insert, out, sizeof(out)));
            builtIn.Format(c.id, c.insert, plain, sizeof(plain));
        } else {
            SafeCopy(out, texts.Get(c.id));
            SafeCopy(plain, builtIn.Get(c.id));
        }
        if (c.expected) {
            EXPECT_STREQ(c.expected, out);
        } else {
            EXPECT_STREQ(plain, out);
            EXPECT_STRNE("", out);
        }
    }
    // The state's text from the library where it has one.
    const char* text = nullptr;
    ClassifyPrinter(PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_ERROR, 0, 0, &text, &texts);
    EXPECT_STREQ("Paper gone", text);
    ClassifyPrinter(PRINTER_STATUS_DOOR_OPEN, 0, 0, &text, &texts);
    EXPECT_STREQ("Door open", text);
    // Cut to the room given, on a character boundary.
    char small[8];
    EXPECT_EQ(0, texts.Format(IDS_DOCUMENTS, "123456", small, sizeof(small)));
    EXPECT_STREQ("1234...", small);
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

    // An attribute alone waits for the third read, unless a full read is asked for.
    ASSERT_TRUE(zt::SetPrinterState(printer.Name(), PRINTER_STATUS_PAPER_OUT, false));
    for (int i = 1; i < CPrinterStatusReader::FULL_READ_EVERY; ++i)
        EXPECT_FALSE(reader.Read(handle.Get())) << i;
    EXPECT_TRUE(reader.Read(handle.Get()));
    EXPECT_FALSE(reader.Sample().attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE);
    ASSERT_TRUE(zt::SetPrinterState(printer.Name(), PRINTER_STATUS_PAPER_OUT, true));
    EXPECT_TRUE(reader.Read(handle.Get(), true));
    EXPECT_TRUE(reader.Sample().attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE);
    zt::SetPrinterState(printer.Name(), 0);
}

} // namespace
