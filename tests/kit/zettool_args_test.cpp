// The tool's /T option, taken out of the command line before the project's reader sees it.
#include <gtest/gtest.h>

#include <string>

#include "cmdinfo.h"
#include "tool_args.h"

namespace {

struct ToolCase {
    const char* text;
    int number;
    const char* rest; // the text afterwards
};

TEST(ToolArgs, TakesTheNumberAndBlanksTheOption)
{
    const ToolCase cases[] = {
        {"/T920 /P \"A\"", 920, "      /P \"A\""},
        {"/t921", 921, "     "},
        {"/P \"x\" /T7 /M \"y\"", 7, "/P \"x\"     /M \"y\""},
        // Inside a quoted value it is text, not an option.
        {"/P \"/T5\" /T6", 6, "/P \"/T5\"    "},
        {"/P \"/T5\"", -1, "/P \"/T5\""},
        // No digit: not the tool's option (the reader ignores it as an unknown name).
        {"/T /P \"A\"", -1, "/T /P \"A\""},
        {"/TX5", -1, "/TX5"},
        {"", -1, ""},
        // Digits beyond the ninth are blanked but not counted.
        {"/T123456789012 /P \"A\"", 123456789, "               /P \"A\""},
    };
    for (const ToolCase& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(c.number, TakeToolNumber(&text[0])) << c.text;
        EXPECT_EQ(c.rest, text) << c.text;
    }
    EXPECT_EQ(-1, TakeToolNumber(nullptr));
}

// Without the blanking, the tool's digits read as a value length and hide every option
// behind them; with it, the monitor's command line reads whole.
TEST(ToolArgs, CommandLineOfTheMenuReadsWhole)
{
    const char menuLine[] = "/T920 /P \"Laser A\" /M \"X9\" /D \"LX Driver\" /O \"LPT1:\"";
    CCmdInfo unprepared(menuLine);
    EXPECT_STREQ("", unprepared.m_szPrinterName);

    std::string text = menuLine;
    ASSERT_EQ(920, TakeToolNumber(&text[0]));
    CCmdInfo info(text.c_str());
    EXPECT_STREQ("Laser A", info.m_szPrinterName);
    EXPECT_STREQ("X9", info.m_szModelID);
    EXPECT_STREQ("LX Driver", info.m_szDriverName);
    EXPECT_STREQ("LPT1:", info.m_szPortName);
}

} // namespace
