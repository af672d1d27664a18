// The command text: tokenizer, option table and the limits of every buffer. Printer and
// driver names here exist nowhere, so the spooler and registry add nothing.
#include <gtest/gtest.h>

#include <string.h>

#include "cmdinfo.h"
#include "quote.h"

namespace {

struct ParseCase {
    const char* text; // apostrophes stand for quote marks
    const char* printer;
    const char* port;
    const char* model;
    const char* extra; // "" or "<field>=<value>" for one more field checked
};

std::string Field(const CCmdInfo& info, const std::string& name)
{
    if (name == "J")
        return info.m_szJ;
    if (name == "BN")
        return info.m_szBN;
    if (name == "OVM")
        return info.m_szOVM;
    if (name == "D")
        return info.m_szDriverName;
    if (name == "ParamFile")
        return info.m_szParamFile;
    if (name == "TempFileName")
        return info.m_szTempFileName;
    if (name == "bFrom")
        return std::to_string(info.m_bFrom);
    if (name == "fBE")
        return std::to_string(info.m_fBE);
    if (name == "flags")
        return std::to_string(info.m_fRemove) + std::to_string(info.m_fS) + std::to_string(info.m_fE) +
               std::to_string(info.m_fC) + std::to_string(info.m_fU) + std::to_string(info.m_fIconInstall);
    ADD_FAILURE() << "unknown field " << name;
    return "";
}

TEST(CCmdInfoParse, OptionTable)
{
    const ParseCase cases[] = {
        {"", "", "", "", "flags=000000"},
        {"/P 'Laser A' /M 'X9'", "Laser A", "", "X9", ""},
        {"/P Laser /M 'X9'", "", "", "X9", ""}, // a value must be quoted
        {"/P'Laser'", "Laser", "", "", ""},
        {"/P 'Laser", "Laser", "", "", ""},
        {"/P'Laser", "", "", "", ""},
        {"/P9 'Laser 'A'' /O5 'LPT1:'", "Laser 'A'", "LPT1:", "", ""},
        {"/P7 'a/b 'c'' /M 'X'", "a/b 'c'", "", "X", ""},
        {"/P2 ab /M x", "", "", "", ""}, // no quote after a length: no option at all
        {"/O '\\\\srv/q' /M 'X9'", "", "\\\\srv/q", "X9", ""},
        {"'a/b' /P 'A'", "A", "", "", ""},
        {"junk text /P 'A'", "A", "", "", ""},
        {"/Z 'x' /P 'A'", "A", "", "", ""},
        {"/F2 'x' /P 'A'", "A", "", "", "ParamFile=x'"}, // exactly 2 characters, quote included
        {"/P 'A' /P 'B'", "B", "", "", ""},
        {"/P 'A' /P ''", "", "", "", ""},
        {"/p 'lower' /oVm 'v'", "lower", "", "", "OVM=v"},
        {"/EF 'hkcu'", "", "", "", "bFrom=1"},
        {"/EF 'HKLM'", "", "", "", "bFrom=0"},
        {"/EF", "", "", "", "bFrom=0"},
        {"/R /S /E /C /U /I", "", "", "", "flags=111111"},
        {"/R 'x' /S''", "", "", "", "flags=110000"},
        {"/BE /BH 'h' /BU 'u' /BD 'd'", "", "", "", "fBE=0"},
        {"/BE /BH 'h' /BU 'u' /BD 'd' /BI 'i'", "", "", "", "fBE=1"},
        {"/J 'j' /BN 'n'", "", "", "", "BN=n"},
        {"/P 'A\nB' /M 'X'", "A", "", "X", ""}, // a line feed ends a value
        {"/P\t'A'", "A", "", "", ""},
        {"/P\x01'A' /M 'X'", "", "", "X", ""}, // control byte joins the name: unknown
        {"/P '\xe9t\xe9 \xff' /\xff 'x' /M 'X'", "\xe9t\xe9 \xff", "", "X", ""},
        {"/P300 'abc' /M 'X'", "", "", "", ""}, // length past the end: empty, no later option
        {"/P99999999999999999999 'a'", "", "", "", ""},
        {"/F 'nofile_zt' /P 'A'", "A", "", "", "ParamFile=nofile_zt"},
        {"/A 'nofile_zt'", "", "", "", "TempFileName="},
        {"/A 'nofile_zt'", "", "", "", "ParamFile=nofile_zt"},
        {"/D 'no_such_driver_zt'", "", "", "", "D=no_such_driver_zt"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        CCmdInfo info(Q(c.text).c_str());
        EXPECT_EQ(Q(c.printer), info.m_szPrinterName);
        EXPECT_EQ(Q(c.port), info.m_szPortName);
        EXPECT_EQ(Q(c.model), info.m_szModelID);
        std::string extra = c.extra;
        if (!extra.empty()) {
            size_t eq = extra.find('=');
            EXPECT_EQ(Q(extra.substr(eq + 1)), Field(info, extra.substr(0, eq)));
        }
    }
}

TEST(CCmdInfoParse, EmptyTextCompletesNothing)
{
    CCmdInfo info("");
    EXPECT_EQ(0, info.CompletePrinterInfo());
    EXPECT_EQ(0, info.ReadModelID());
    EXPECT_EQ(1, info.ParseCommandLine());
    CCmdInfo fromNull(nullptr);
    EXPECT_STREQ("", fromNull.m_szCmdLine);
}

TEST(CCmdInfoParse, ValuesUpTo259CharactersOthersReadEmpty)
{
    std::string v259(259, 'v'), v260(260, 'w');
    CCmdInfo quoted259(("/P \"" + v259 + "\" /M \"X\"").c_str());
    EXPECT_EQ(v259, quoted259.m_szPrinterName);
    CCmdInfo quoted260(("/P \"A\" /P \"" + v260 + "\" /M \"X\"").c_str());
    EXPECT_STREQ("", quoted260.m_szPrinterName) << "never cut to another printer's name";
    EXPECT_STREQ("X", quoted260.m_szModelID);
    CCmdInfo length259(("/P259 \"" + v259 + "\" /M \"X\"").c_str());
    EXPECT_EQ(v259, length259.m_szPrinterName);
    EXPECT_STREQ("X", length259.m_szModelID);
    CCmdInfo length260(("/P260 \"" + v260 + "\" /M \"X\"").c_str());
    EXPECT_STREQ("", length260.m_szPrinterName);
    EXPECT_STREQ("X", length260.m_szModelID);
    // Flags are set whatever their value.
    CCmdInfo flag(("/S \"" + v260 + "\"").c_str());
    EXPECT_EQ(1, flag.m_fS);
}

TEST(CCmdInfoParse, CommandTextUpTo4095CharactersElseRefusedWhole)
{
    std::string text = "/P \"A\" /M \"X\" ";
    text.append(4095 - text.size(), ' ');
    CCmdInfo fits(text.c_str());
    EXPECT_STREQ("A", fits.m_szPrinterName);
    EXPECT_STREQ("X", fits.m_szModelID);
    text += ' ';
    CCmdInfo refused(text.c_str());
    EXPECT_STREQ("", refused.m_szCmdLine);
    EXPECT_STREQ("", refused.m_szPrinterName);
    EXPECT_STREQ("", refused.m_szModelID);
}

// GetOption with outputs inside larger buffers filled with a sentinel: results, names, and
// not one byte written past the sizes given.
class GetOptionTest : public ::testing::Test {
protected:
    int Get(const std::string& text, int index)
    {
        CCmdLine line;
        EXPECT_LT(text.size(), sizeof(line.m_szCmdLine));
        strcpy(line.m_szCmdLine, text.c_str());
        memset(m_name, 0xcc, sizeof(m_name));
        memset(m_value, 0xcc, sizeof(m_value));
        int result = line.GetOption(index, m_name, CMD_NAME_SIZE, m_value, ZT_TEXT);
        EXPECT_EQ(static_cast<char>(0xcc), m_name[CMD_NAME_SIZE]);
        EXPECT_EQ(static_cast<char>(0xcc), m_value[ZT_TEXT]);
        return result;
    }
    char m_name[CMD_NAME_SIZE + 8];
    char m_value[ZT_TEXT + 8];
};

TEST_F(GetOptionTest, ResultsAndNumbering)
{
    std::string text = Q("/S /P 'Laser A' /Z'' /O3 'a'b' /M");
    EXPECT_EQ(0, Get(text, 0));
    EXPECT_STREQ("S", m_name);
    EXPECT_EQ(7, Get(text, 1));
    EXPECT_STREQ("P", m_name);
    EXPECT_STREQ("Laser A", m_value);
    EXPECT_EQ(0, Get(text, 2));
    EXPECT_STREQ("Z", m_name);
    EXPECT_EQ(3, Get(text, 3));
    EXPECT_STREQ("O", m_name);
    EXPECT_EQ(Q("a'b"), m_value);
    EXPECT_EQ(0, Get(text, 4));
    EXPECT_STREQ("M", m_name);
    EXPECT_EQ(-1, Get(text, 5));
    EXPECT_STREQ("", m_name);
    EXPECT_STREQ("", m_value);
    EXPECT_EQ(-1, Get(text, -1));
    EXPECT_EQ(-1, Get("/P2 ab /M x", 0));
    EXPECT_STREQ("", m_name);
    // The length counts from the next quote mark, wherever it stands.
    EXPECT_EQ(2, Get(Q("/P2 ab /M 'x'"), 0));
    EXPECT_EQ(Q("x'"), m_value);
}

TEST_F(GetOptionTest, LongNamesRefusedAndLengthsSaturate)
{
    std::string name79(79, 'N'), name80(80, 'N');
    EXPECT_EQ(1, Get("/" + name79 + " \"x\" /P \"A\"", 0));
    EXPECT_EQ(name79, m_name);
    EXPECT_EQ(1, Get("/" + name80 + " \"x\" /P \"A\"", 0));
    EXPECT_STREQ("", m_name) << "an over-long name matches no option";
    EXPECT_STREQ("x", m_value);
    EXPECT_EQ(1, Get("/" + name80 + " \"x\" /P \"A\"", 1)) << "and still counts in the numbering";
    EXPECT_STREQ("P", m_name);

    EXPECT_EQ(CMD_LENGTH_CAP, Get("/P123456789012345678901234567890 \"a\"", 0));
    EXPECT_STREQ("", m_value);
    EXPECT_EQ(-1, Get("/P123456789012345678901234567890 \"a\" /M \"X\"", 1));
    // A length whose last character would lie past the text reads as empty; the closing
    // quote mark itself is not needed.
    EXPECT_EQ(3, Get("/P3 \"ab", 0));
    EXPECT_STREQ("", m_value);
    EXPECT_EQ(3, Get("/P3 \"abc", 0));
    EXPECT_STREQ("abc", m_value);
}

TEST_F(GetOptionTest, UnterminatedTextHoldsNoOption)
{
    CCmdLine line;
    memset(line.m_szCmdLine, '/', sizeof(line.m_szCmdLine));
    EXPECT_EQ(-1, line.GetOption(0, m_name, CMD_NAME_SIZE, m_value, ZT_TEXT));
    EXPECT_STREQ("", m_name);
}

TEST(ScanLength, DigitsUpToQuoteSlashOrLineFeed)
{
    struct {
        const char* text;
        size_t from;
        int number;
        size_t pos;
    } cases[] = {
        {"/P12 x\"", 2, 12, 5}, {"/P\"x\"", 2, 0, 2},  {"/P", 2, 0, 2},
        {"/P 1 2 3/", 2, 123, 7}, {"/P 7\nx", 2, 7, 3}, {"/P ab \"", 2, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        size_t pos = c.from;
        EXPECT_EQ(c.number, CCmdLine::ScanLength(c.text, &pos));
        EXPECT_EQ(c.pos, pos);
    }
}

TEST(SetOption, FieldsFlagsAndUnknownNames)
{
    CCmdInfo info;
    info.SetOption("P", "A");
    info.SetOption("bh", "h");
    info.SetOption("F", "file");
    info.SetOption("A", "file");
    info.SetOption("", "x");
    info.SetOption(nullptr, "x");
    info.SetOption("P", nullptr);
    info.SetOption("R", "");
    EXPECT_STREQ("A", info.m_szPrinterName);
    EXPECT_STREQ("h", info.m_szBH);
    EXPECT_STREQ("", info.m_szParamFile);
    EXPECT_STREQ("", info.m_szTempFileName);
    EXPECT_EQ(1, info.m_fRemove);
    info.SetOption("P", std::string(300, 'x').c_str());
    EXPECT_STREQ("", info.m_szPrinterName);
    info.Reset();
    EXPECT_STREQ("", info.m_szBH);
    EXPECT_EQ(0, info.m_fRemove);
}

} // namespace
