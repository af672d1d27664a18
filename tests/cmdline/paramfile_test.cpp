// Parameter files written, read and deleted in the real temporary directory.
#include <gtest/gtest.h>

#include <string.h>

#include "cmdinfo.h"
#include "quote.h"
#include "testsupport.h"

namespace {

// Removes the file that an object wrote, whatever a test's outcome.
struct WrittenFile {
    explicit WrittenFile(const CCmdInfo& info) : path(std::string(info.m_szTempDir) + info.m_szTempFileName) {}
    ~WrittenFile() { zt::DeleteFileIfAny(path); }
    std::string path;
};

std::string Bytes(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(zt::ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

// A CCmdInfo that reads the file at `path` as its parameter file.
void ReadFrom(CCmdInfo& info, const std::string& path, int expected = 1)
{
    SafeCopy(info.m_szParamFile, path.c_str());
    EXPECT_EQ(expected, info.ReadParamFile());
}

TEST(ParamFileWrite, LaunchFileHoldsExactLines)
{
    CCmdInfo info;
    SafeCopy(info.m_szDriverName, "LX Driver");
    info.m_fE = 1;
    ASSERT_EQ(1, info.CreateParamFile("Laser A", "LPT1:", "X9"));
    WrittenFile file(info);
    EXPECT_EQ(zt::TempDir(), info.m_szTempDir);
    EXPECT_EQ(0, strncmp(info.m_szTempFileName, "J_R", 3)) << info.m_szTempFileName;
    EXPECT_EQ(nullptr, strchr(info.m_szTempFileName, '\\'));
    EXPECT_EQ("/P \"Laser A\"\r\n/D \"LX Driver\"\r\n/O \"LPT1:\"\r\n/M \"X9\"\r\n/E\r\n", Bytes(file.path));

    // Without a driver name (a printer the spooler cannot open) there is no /D line.
    CCmdInfo noDriver;
    ASSERT_EQ(1, noDriver.CreateParamFile("Laser A", "LPT1:", "X9"));
    WrittenFile file2(noDriver);
    EXPECT_EQ("/P \"Laser A\"\r\n/O \"LPT1:\"\r\n/M \"X9\"\r\n", Bytes(file2.path));
}

TEST(ParamFileWrite, EveryLineInOrderAndNoFileOptions)
{
    CCmdInfo info;
    SafeCopy(info.m_szDriverName, "d");
    SafeCopy(info.m_szJ, "j");
    SafeCopy(info.m_szBH, "h");
    SafeCopy(info.m_szBU, "u");
    SafeCopy(info.m_szBD, "d");
    SafeCopy(info.m_szBI, "i");
    SafeCopy(info.m_szBN, "n");
    SafeCopy(info.m_szOVM, "100% %s \"q\"");
    SafeCopy(info.m_szParamFile, "never.tmp");
    info.m_fS = info.m_fRemove = info.m_fE = info.m_fU = info.m_fC = info.m_fBE = info.m_fIconInstall = 1;
    info.m_bFrom = 1;
    ASSERT_EQ(1, info.CreateParamFile("p", "o", "m"));
    WrittenFile file(info);
    EXPECT_EQ("/P \"p\"\r\n/D \"d\"\r\n/O \"o\"\r\n/M \"m\"\r\n/J \"j\"\r\n/S\r\n/R\r\n/E\r\n/U\r\n/C\r\n/BE\r\n"
              "/BH \"h\"\r\n/BU \"u\"\r\n/BD \"d\"\r\n/BI \"i\"\r\n/BN \"n\"\r\n/OVM \"100% %s \"q\"\"\r\n/I\r\n",
              Bytes(file.path));

    // Read back through /F: every field returns, and the file is deleted.
    std::string cmd = "/F \"" + std::string(info.m_szTempFileName) + "\"";
    CCmdInfo back(cmd.c_str());
    EXPECT_FALSE(zt::FileExists(file.path));
    EXPECT_STREQ("p", back.m_szPrinterName);
    EXPECT_STREQ("o", back.m_szPortName);
    EXPECT_STREQ("m", back.m_szModelID);
    EXPECT_STREQ("d", back.m_szDriverName);
    EXPECT_STREQ("100% %s \"q\"", back.m_szOVM);
    EXPECT_STREQ("n", back.m_szBN);
    EXPECT_EQ(1, back.m_fBE);
    EXPECT_EQ(1, back.m_fIconInstall);
    EXPECT_EQ(0, back.m_bFrom);
    EXPECT_EQ(zt::TempDir(), back.m_szTempDir) << "found in the temporary directory";
}

TEST(ParamFileWrite, UnwritableDirectoryLeavesNoFile)
{
    CCmdInfo info;
    std::string missing = zt::TempDir() + zt::UniqueName("nodir") + "\\";
    SafeCopy(info.m_szTempDir, missing.c_str());
    SafeCopy(info.m_szTempFileName, "J_Rx.tmp");
    EXPECT_EQ(0, info.WriteParamFile());

    char saved[MAX_PATH] = {0};
    DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof(saved));
    SetEnvironmentVariableA("TMP", missing.c_str());
    CCmdInfo viaTmp;
    int result = viaTmp.CreateParamFile("p", "o", "m");
    SetEnvironmentVariableA("TMP", had ? saved : nullptr);
    EXPECT_EQ(0, result);
    EXPECT_STREQ("", viaTmp.m_szTempFileName);
}

TEST(ParamFileWrite, ValueThatIsNotOneLineWritesNoFile)
{
    struct {
        const char* label;
        char (CCmdInfo::*field)[ZT_TEXT];
        const char* value;
        int written;
    } cases[] = {
        {"line feed", &CCmdInfo::m_szPrinterName, "Laser\n/R", 0},
        {"carriage return", &CCmdInfo::m_szPortName, "LPT1:\r", 0},
        {"Ctrl+Z", &CCmdInfo::m_szOVM, "a\x1a/R", 0},
        {"last field", &CCmdInfo::m_szBN, "\n", 0},
        {"tab, quote and slash", &CCmdInfo::m_szPrinterName, "a\t\"/R\" b", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CCmdInfo info;
        SafeCopy(info.m_szPrinterName, "p");
        SafeCopy(info.*c.field, c.value);
        std::string printer = info.m_szPrinterName;
        EXPECT_EQ(c.written, info.CreateParamFile(printer.c_str(), info.m_szPortName, "m"));
        WrittenFile file(info);
        EXPECT_EQ(c.written == 1, zt::FileExists(file.path)) << "no file is left behind";
        if (!c.written)
            continue;
        CCmdInfo back;
        ReadFrom(back, file.path);
        EXPECT_STREQ(c.value, back.*c.field) << "reads back whole";
    }
}

TEST(ParamFileRead, LineKinds)
{
    zt::TempFile file;
    ASSERT_TRUE(zt::WriteFileBytes(file.Path(), Q("/P 'Laser 'A''\r\n"
                                                  "/D 'Open\r\n"
                                                  "/S extra\r\n"
                                                  "/O Laser\r\n"
                                                  "/M12 'x'\r\n"
                                                  "/F 'other.tmp'\r\n"
                                                  "/A 'z.tmp'\r\n"
                                                  "no option here\r\n"
                                                  "lead /J 'j'\n"
                                                  "/EF 'HKCU'\r\n"
                                                  "/BN 'last'")));
    CCmdInfo info;
    ReadFrom(info, file.Path());
    EXPECT_EQ(Q("Laser 'A'"), info.m_szPrinterName);
    EXPECT_STREQ("Open\n", info.m_szDriverName) << "an unclosed value keeps its line feed";
    EXPECT_EQ(1, info.m_fS);
    EXPECT_STREQ("/O Laser\n", info.m_szPortName) << "a value without quotes is the whole line";
    EXPECT_STREQ("x", info.m_szModelID);
    EXPECT_STREQ("z.tmp", info.m_szTempFileName);
    EXPECT_STREQ(file.Path().c_str(), info.m_szParamFile) << "an /F line names no other file";
    EXPECT_STREQ("j", info.m_szJ);
    EXPECT_EQ(1, info.m_bFrom);
    EXPECT_STREQ("last", info.m_szBN);
}

TEST(ParamFileRead, LongLinesComeInPiecesAndLongValuesReadEmpty)
{
    // One line of 5000 characters: pieces start at 0, 1299, 2598 and 3897.
    std::string line = "/S " + std::string(1296, 'x');
    line += "/M \"X9\"" + std::string(1299 - 7, 'y');
    line += std::string(1299, 'z');
    line += "/BN \"" + std::string(5000 - line.size() - 6, 'w') + "\"";
    ASSERT_EQ(5000u, line.size());
    std::string value259(259, 'v'), value260(260, 'u');
    zt::TempFile file;
    ASSERT_TRUE(zt::WriteFileBytes(file.Path(), "/BN \"keep\"\n" + line + "\n/C\n/J \"" + value259 + "\"\n/OVM \"a\"\n" +
                                                    "/OVM \"" + value260 + "\"\n"));
    CCmdInfo info;
    ReadFrom(info, file.Path());
    EXPECT_EQ(1, info.m_fS);
    EXPECT_STREQ("X9", info.m_szModelID);
    EXPECT_STREQ("", info.m_szBN) << "a value over 259 characters reads as empty";
    EXPECT_EQ(1, info.m_fC) << "reading goes on after the long line";
    EXPECT_EQ(value259, info.m_szJ);
    EXPECT_STREQ("", info.m_szOVM);
}

TEST(ParamFileRead, EmptyMissingAndFileOverCommandLine)
{
    zt::TempFile empty;
    ASSERT_TRUE(zt::WriteFileBytes(empty.Path(), ""));
    CCmdInfo fromEmpty(("/P \"cmd\" /F \"" + empty.Path() + "\"").c_str());
    EXPECT_STREQ("cmd", fromEmpty.m_szPrinterName);
    EXPECT_FALSE(zt::FileExists(empty.Path())) << "an /F file is deleted after reading";
    CCmdInfo direct;
    ASSERT_TRUE(zt::WriteFileBytes(empty.Path(), ""));
    ReadFrom(direct, empty.Path(), 1);

    CCmdInfo missing;
    std::string nowhere = zt::UniqueName("nowhere") + ".tmp";
    ReadFrom(missing, nowhere, 0);
    EXPECT_EQ(zt::TempDir(), missing.m_szTempDir);
    EXPECT_EQ(0, missing.DeleteParamFile(nowhere.c_str()));
    CCmdInfo missingF(("/P \"cmd\" /F \"" + nowhere + "\"").c_str());
    EXPECT_STREQ("cmd", missingF.m_szPrinterName);

    zt::TempFile file;
    ASSERT_TRUE(zt::WriteFileBytes(file.Path(), "/P \"file\"\n"));
    CCmdInfo over(("/P \"cmd\" /M \"m\" /F \"" + file.Name() + "\"").c_str());
    EXPECT_STREQ("file", over.m_szPrinterName);
    EXPECT_STREQ("m", over.m_szModelID);
    EXPECT_FALSE(zt::FileExists(file.Path()));
}

TEST(ParamFileRead, AttachedFileWinsAndStays)
{
    zt::TempFile attached, forwarded;
    ASSERT_TRUE(zt::WriteFileBytes(attached.Path(), "/P \"from A\"\n"));
    ASSERT_TRUE(zt::WriteFileBytes(forwarded.Path(), "/M \"from F\"\n"));
    CCmdInfo info(("/F \"" + forwarded.Path() + "\" /A \"" + attached.Path() + "\"").c_str());
    EXPECT_STREQ("from A", info.m_szPrinterName);
    EXPECT_STREQ("", info.m_szModelID) << "the /F file is not read";
    EXPECT_STREQ(attached.Path().c_str(), info.m_szParamFile);
    EXPECT_STREQ("", info.m_szTempFileName);
    EXPECT_TRUE(zt::FileExists(attached.Path())) << "an /A file stays";
    EXPECT_TRUE(zt::FileExists(forwarded.Path())) << "and the /F file is not touched";
}

TEST(ParseParamLine, SplitsInPlaceAndBoundsBothParts)
{
    struct {
        const char* line;
        int result;
        const char* name;
        const char* value; // "-" when not written
    } cases[] = {
        {"/P 'Laser 'A''\n", 1, "P", "Laser 'A'"},
        {"/P 'Laser\n", 1, "P", "Laser\n"},
        {"/S extra\n", 0, "S", "-"},
        {"no slash\n", 0, "-", "-"},
        {"  lead /M\t'X9' tail\n", 1, "M", "X9"},
        {"/P12 'x'\n", 1, "P", "x"},
        {"/'x'", 1, "", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        char line[PARAM_LINE_SIZE];
        SafeCopy(line, Q(c.line).c_str());
        std::string original = line;
        char name[CMD_NAME_SIZE];
        strcpy(name, "-");
        EXPECT_EQ(c.result, CCmdInfo::ParseParamLine(line, name, sizeof(name), line, sizeof(line)));
        EXPECT_STREQ(c.name, name);
        EXPECT_EQ(strcmp(c.value, "-") ? Q(c.value) : original, line);
    }

    char name[CMD_NAME_SIZE + 4];
    char value[ZT_TEXT + 4];
    memset(name, 0xcc, sizeof(name));
    memset(value, 0xcc, sizeof(value));
    std::string longName = "/" + std::string(80, 'N') + " \"" + std::string(260, 'v') + "\"";
    EXPECT_EQ(1, CCmdInfo::ParseParamLine(longName.c_str(), name, CMD_NAME_SIZE, value, ZT_TEXT));
    EXPECT_STREQ("", name);
    EXPECT_STREQ("", value);
    EXPECT_EQ(static_cast<char>(0xcc), name[CMD_NAME_SIZE]);
    EXPECT_EQ(static_cast<char>(0xcc), value[ZT_TEXT]);
    std::string fits = "/" + std::string(79, 'N') + " \"" + std::string(259, 'v') + "\"";
    EXPECT_EQ(1, CCmdInfo::ParseParamLine(fits.c_str(), name, CMD_NAME_SIZE, value, ZT_TEXT));
    EXPECT_EQ(std::string(79, 'N'), name);
    EXPECT_EQ(std::string(259, 'v'), value);
}

TEST(DeleteParamFile, ByPathByBareNameAndRefusals)
{
    CCmdInfo info;
    zt::TempFile byPath, byName;
    ASSERT_TRUE(zt::WriteFileBytes(byPath.Path(), "x"));
    ASSERT_TRUE(zt::WriteFileBytes(byName.Path(), "x"));
    EXPECT_NE(0, info.DeleteParamFile(byPath.Path().c_str()));
    EXPECT_FALSE(zt::FileExists(byPath.Path()));
    EXPECT_NE(0, info.DeleteParamFile(byName.Name().c_str()));
    EXPECT_FALSE(zt::FileExists(byName.Path()));
    EXPECT_EQ(zt::TempDir(), info.m_szTempDir);
    EXPECT_EQ(0, info.DeleteParamFile(byName.Name().c_str()));
    EXPECT_EQ(0, info.DeleteParamFile(""));
    EXPECT_EQ(0, info.DeleteParamFile(nullptr));
    // temp dir + name over 259 characters: refused, and never cut to the name of the file
    // whose path is its first 259 characters.
    std::string dir = zt::TempDir();
    std::string shortName(ZT_TEXT - 1 - dir.size(), 'n');
    ASSERT_TRUE(zt::WriteFileBytes(dir + shortName, "x"));
    EXPECT_EQ(0, info.DeleteParamFile((shortName + "more").c_str()));
    EXPECT_TRUE(zt::FileExists(dir + shortName));
    EXPECT_NE(0, info.DeleteParamFile(shortName.c_str())) << "259 characters fit";
    EXPECT_FALSE(zt::FileExists(dir + shortName));
}

TEST(MakeTempFileName, CreatesEmptyUniqueFile)
{
    CCmdInfo first, second;
    ASSERT_EQ(1, first.MakeTempFileName());
    WrittenFile a(first);
    ASSERT_EQ(1, second.MakeTempFileName());
    WrittenFile b(second);
    EXPECT_NE(a.path, b.path);
    EXPECT_EQ("", Bytes(a.path));
    size_t length = strlen(first.m_szTempFileName);
    ASSERT_GT(length, 4u);
    EXPECT_STREQ(".tmp", first.m_szTempFileName + length - 4);
}

} // namespace
