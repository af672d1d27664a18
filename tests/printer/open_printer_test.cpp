// Opening printers by name through the real spooler.
#include <gtest/gtest.h>

#include "printer.h"
#include "testsupport.h"

namespace {

TEST(OV_OpenPrinter, OpensExistingPrinterAnyCaseAndFailsForUnknown)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    HANDLE h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(printer.Name().c_str(), &h, nullptr));
    ASSERT_NE(nullptr, h);
    ClosePrinter(h);

    std::string upper = printer.Name();
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(upper.c_str(), &h, nullptr));
    if (h)
        ClosePrinter(h);

    ASSERT_TRUE(printer.Delete());
    h = nullptr;
    EXPECT_FALSE(OV_OpenPrinter(printer.Name().c_str(), &h, nullptr));
    EXPECT_EQ(nullptr, h);
}

TEST(OV_OpenPrinter, DefaultsAccessCarriedAndBadBytesAnswered)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE h = nullptr;
    EXPECT_TRUE(OV_OpenPrinter(printer.Name().c_str(), &h, &defaults));
    if (h)
        ClosePrinter(h);
    // A name with bytes that the code page cannot convert: the ANSI open's result stands.
    h = nullptr;
    EXPECT_FALSE(OV_OpenPrinter("no such \x81\x8d\x8f printer", &h, nullptr));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(1, IsWinNT());
}

} // namespace
