// Driver and port from the real spooler, the model identifier from the driver's key.
#include <gtest/gtest.h>

#include <string.h>

#include "cmdinfo.h"
#include "testsupport.h"

namespace {

std::string DriverKey(const std::string& driver)
{
    return "software\\ORVEL\\ZET3\\Driver\\" + driver;
}

TEST(CompletePrinterInfo, FillsOnlyEmptyDriverAndPort)
{
    zt::TestPrinter printer("", "FILE:");
    ASSERT_TRUE(printer.Ok());
    CCmdInfo info(("/P \"" + printer.Name() + "\"").c_str());
    EXPECT_EQ(printer.Driver(), info.m_szDriverName);
    EXPECT_STREQ("FILE:", info.m_szPortName);
    EXPECT_EQ(1, info.CompletePrinterInfo());

    CCmdInfo given(("/P \"" + printer.Name() + "\" /O \"LPT9:\" /D \"mine\"").c_str());
    EXPECT_STREQ("LPT9:", given.m_szPortName);
    EXPECT_STREQ("mine", given.m_szDriverName);
    EXPECT_EQ(1, given.CompletePrinterInfo());

    // A launcher's fresh object: only the printer name, then the current port.
    CCmdInfo fresh;
    SafeCopy(fresh.m_szPrinterName, printer.Name().c_str());
    EXPECT_EQ(1, fresh.CompletePrinterInfo());
    EXPECT_STREQ("FILE:", fresh.m_szPortName);

    ASSERT_TRUE(printer.Delete());
    CCmdInfo gone;
    SafeCopy(gone.m_szPrinterName, printer.Name().c_str());
    EXPECT_EQ(0, gone.CompletePrinterInfo());
    EXPECT_STREQ("", gone.m_szPortName);
    EXPECT_STREQ("", gone.m_szDriverName);
}

TEST(ReadModelID, FromTheDriverKeyOfTheSpoolerDriver)
{
    zt::TestPrinter printer;
    ASSERT_TRUE(printer.Ok());
    zt::ScratchKey key(HKEY_LOCAL_MACHINE, DriverKey(printer.Driver()));
    ASSERT_TRUE(zt::SetString(key.Root(), key.Path(), "ModelID", "X9"));

    CCmdInfo info(("/P \"" + printer.Name() + "\"").c_str());
    EXPECT_STREQ("X9", info.m_szModelID) << "looked up by the driver name from the spooler";
    CCmdInfo given(("/P \"" + printer.Name() + "\" /M \"mine\"").c_str());
    EXPECT_STREQ("mine", given.m_szModelID);
    EXPECT_EQ(1, given.ReadModelID());

    // A printer that is gone: the given driver name still finds the model.
    ASSERT_TRUE(printer.Delete());
    CCmdInfo gone(("/D \"" + printer.Driver() + "\" /P \"" + printer.Name() + "\"").c_str());
    EXPECT_EQ(0, gone.CompletePrinterInfo());
    EXPECT_STREQ("", gone.m_szPortName);
    EXPECT_STREQ("X9", gone.m_szModelID);
}

TEST(ReadModelID, MissingOrOversizedValues)
{
    std::string driver = zt::UniqueName("ztmodel");
    CCmdInfo info;
    EXPECT_EQ(0, info.ReadModelID()) << "no driver name";
    SafeCopy(info.m_szDriverName, driver.c_str());
    EXPECT_EQ(0, info.ReadModelID()) << "no driver key";

    zt::ScratchKey key(HKEY_LOCAL_MACHINE, DriverKey(driver));
    EXPECT_EQ(0, info.ReadModelID()) << "no ModelID value";
    struct {
        std::string data;
        DWORD type;
        int result;
        std::string model;
    } cases[] = {
        {std::string(259, 'm') + '\0', REG_SZ, 1, std::string(259, 'm')},
        {std::string(260, 'm') + '\0', REG_SZ, 0, ""},  // larger than the field
        {std::string(260, 'b'), REG_BINARY, 0, ""},     // fills it without a terminator
        {std::string(5, 'b'), REG_BINARY, 1, "bbbbb"},  // short and unterminated
        {std::string(400, 'm') + '\0', REG_SZ, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.size());
        ASSERT_TRUE(zt::SetBinary(key.Root(), key.Path(), "ModelID", c.data.data(),
                                  static_cast<DWORD>(c.data.size()), c.type));
        memset(info.m_szModelID, 0, sizeof(info.m_szModelID));
        EXPECT_EQ(c.result, info.ReadModelID());
        EXPECT_EQ(c.model, info.m_szModelID);
    }
}

} // namespace
