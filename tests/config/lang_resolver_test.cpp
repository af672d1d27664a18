// The resource library's path against real INI files and the real registry. These tests
// point the shared ProgramFilesDir value at their own folders (restored at the end).
#include <gtest/gtest.h>

#include <string>

#include "driver_config.h"
#include "lang_resolver.h"
#include "reg_view.h"
#include "testsupport.h"

namespace {

const HKEY kHklm = HKEY_LOCAL_MACHINE;
const LANGID kJa = 0x411, kEn = 0x409;

// Works in a temporary current directory, so that relative INI and Program Files paths
// give folders of exact lengths.
class LangTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof(m_oldDir), m_oldDir);
        ASSERT_TRUE(SetCurrentDirectoryA(m_dir.Path().c_str()));
        ASSERT_TRUE(CreateDirectoryA("zt", nullptr) && CreateDirectoryA("zt\\Drv", nullptr));
    }
    void TearDown() override { SetCurrentDirectoryA(m_oldDir); }

    void SetLang(const char* name, const void* data, DWORD size, DWORD type = REG_DWORD)
    {
        ASSERT_TRUE(zt::SetBinary(kHklm, m_langKey.Path() + "\\Lang", name, data, size, type));
    }
    void SetLangs(DWORD defaultLang, DWORD selectLang)
    {
        SetLang("DefaultLang", &defaultLang, 4);
        SetLang("SelectLang", &selectLang, 4);
    }
    void SetProgramFiles(const std::string& dir)
    {
        ASSERT_TRUE(zt::SetString(kHklm, PROGRAM_FILES_KEY, "ProgramFilesDir", dir));
    }
    // Creates the override folder's directories below the current directory.
    void MakeOverrideFile(const std::string& programFiles, const char* lang, const char* file)
    {
        std::string path = programFiles;
        for (std::string part : {std::string("ORVEL"), m_driver, std::string("Lang"), std::string(lang)}) {
            CreateDirectoryA(path.c_str(), nullptr);
            path += "\\" + part;
        }
        CreateDirectoryA(path.c_str(), nullptr);
        ASSERT_TRUE(zt::WriteFileBytes(path + "\\" + file, "MZ"));
    }

    std::string m_driver = zt::UniqueName("d");
    zt::ScratchKey m_langKey{kHklm, std::string(LANG_KEY_ROOT "\\") + m_driver};
    zt::SavedValue m_programFiles{kHklm, PROGRAM_FILES_KEY, "ProgramFilesDir"};
    zt::TempDirectory m_dir{"ztlang"};
    char m_oldDir[MAX_PATH] = {0};
    const char* m_ini = "zt\\Drv\\Prof.ini";
};

TEST_F(LangTest, SizeProtocolWithAndWithoutOverride)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_ini, "[English]\r\nResDll=RES.DLL\r\n"));
    CLangResolver resolver(kEn);
    DWORD needed = 0;
    char buf[64];
    EXPECT_EQ(LANG_PATH_TOO_SMALL, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", nullptr, 0, &needed));
    EXPECT_EQ(14u, needed) << "7 for the folder, 7 for the value";
    EXPECT_EQ(LANG_PATH_NO_BUFFER, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", nullptr, 14, nullptr));
    EXPECT_EQ(LANG_PATH_TOO_SMALL, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", buf, 13, &needed));
    memset(buf, 0xcc, sizeof(buf));
    EXPECT_EQ(14u, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", buf, 14, &needed));
    EXPECT_STREQ("zt\\Drv\\RES.DLL", buf);
    EXPECT_EQ(0u, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "NoSuchKey", buf, 14, &needed));

    // Override folder of 37 characters: Program Files folder + "\ORVEL\" + driver + "\Lang\0411\".
    ASSERT_LE(m_driver.size(), 17u);
    const std::string programFiles(19 - m_driver.size(), 'p');
    SetProgramFiles(programFiles);
    SetLangs(kEn, kJa);
    needed = 0;
    EXPECT_EQ(LANG_PATH_TOO_SMALL, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", nullptr, 0, &needed));
    EXPECT_EQ(44u, needed);
    EXPECT_EQ(14u, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", buf, 44, &needed))
        << "no file in the override folder";
    EXPECT_EQ(14u, needed);
    EXPECT_STREQ("zt\\Drv\\RES.DLL", buf);

    MakeOverrideFile(programFiles, "0411", "RES.DLL");
    EXPECT_EQ(44u, resolver.GetLangFilePath(m_ini, m_driver.c_str(), "ResDll", buf, 44, &needed));
    EXPECT_EQ(programFiles + "\\ORVEL\\" + m_driver + "\\Lang\\0411\\RES.DLL", buf);
}

TEST_F(LangTest, OverrideFolderOnlyForTwoDifferentLanguages)
{
    SetProgramFiles("C:\\PF");
    const std::string base = "C:\\PF\\ORVEL\\" + m_driver + "\\Lang\\";
    CLangResolver resolver;
    EXPECT_EQ(0, resolver.GetLangDir(m_driver.c_str())) << "no Lang key";
    struct Case {
        DWORD defaultLang, selectLang;
        std::string dir;
    } cases[] = {
        {kEn, kJa, base + "0411\\"}, {kJa, 0x7, base + "0007\\"}, {kEn, 0x12345, base + "12345\\"},
        {kEn, kEn, ""},              {0, kJa, ""},                {kEn, 0, ""},
    };
    for (const Case& c : cases) {
        SetLangs(c.defaultLang, c.selectLang);
        EXPECT_EQ(static_cast<int>(c.dir.size()), resolver.GetLangDir(m_driver.c_str())) << c.dir;
        EXPECT_EQ(c.dir, resolver.m_szLangDir);
    }
    // Numbers of other widths: 8 bytes read as 0, one byte fills the low byte.
    unsigned long long wide = kEn;
    unsigned char narrow = 0x11;
    SetLangs(kEn, kJa);
    SetLang("DefaultLang", &wide, 8, REG_QWORD);
    EXPECT_EQ(0, resolver.GetLangDir(m_driver.c_str()));
    SetLangs(kEn, kJa);
    SetLang("SelectLang", &narrow, 1, REG_BINARY);
    EXPECT_EQ(static_cast<int>(base.size() + 5), resolver.GetLangDir(m_driver.c_str()));
    EXPECT_EQ(base + "0011\\", resolver.m_szLangDir);

    zt::DeleteValue(kHklm, PROGRAM_FILES_KEY, "ProgramFilesDir");
    EXPECT_EQ(0, resolver.GetLangDir(m_driver.c_str()));
    SetProgramFiles(std::string(519, 'x'));
    EXPECT_EQ(static_cast<int>(519 + base.size()), resolver.GetLangDir(m_driver.c_str()));
    SetProgramFiles(std::string(520, 'x'));
    EXPECT_EQ(0, resolver.GetProgramFilesDir()) << "too long for its buffer: absent";
    EXPECT_EQ(0, resolver.GetLangDir(m_driver.c_str()));
}

// A language key that an installer of the other kind wrote is found in the other view, and
// its folders are looked for under that view's Program Files folder.
TEST_F(LangTest, LanguageKeyOfEitherViewWithItsProgramFiles)
{
    if (!zt::HasTwoRegistryViews())
        GTEST_SKIP() << "one registry view only";
    zt::SoftwareInView other(REG_VIEW_OTHER);
    const std::string otherLang = zt::UnderSoftware(m_langKey.Path()) + "\\Lang";
    const std::string otherProgramFiles = zt::UnderSoftware(PROGRAM_FILES_KEY);
    zt::SavedValue savedOther(other.Root(), otherProgramFiles, "ProgramFilesDir");
    SetProgramFiles("C:\\own");
    ASSERT_TRUE(zt::SetString(other.Root(), otherProgramFiles, "ProgramFilesDir", "C:\\other"));
    const DWORD en = kEn, ja = kJa, ko = 0x412;
    struct Case {
        bool ownKey, otherKey;
        std::string dir;
    } cases[] = {
        {false, true, "C:\\other\\ORVEL\\" + m_driver + "\\Lang\\0412\\"},
        {true, true, "C:\\own\\ORVEL\\" + m_driver + "\\Lang\\0411\\"},
        {true, false, "C:\\own\\ORVEL\\" + m_driver + "\\Lang\\0411\\"},
    };
    for (const Case& c : cases) {
        zt::DeleteKeyTree(kHklm, m_langKey.Path());
        zt::DeleteKeyTree(other.Root(), zt::UnderSoftware(m_langKey.Path()));
        if (c.ownKey)
            SetLangs(en, ja);
        if (c.otherKey) {
            ASSERT_TRUE(zt::SetDword(other.Root(), otherLang, "DefaultLang", en));
            ASSERT_TRUE(zt::SetDword(other.Root(), otherLang, "SelectLang", ko));
        }
        CLangResolver resolver;
        EXPECT_EQ(static_cast<int>(c.dir.size()), resolver.GetLangDir(m_driver.c_str())) << c.dir;
        EXPECT_EQ(c.dir, resolver.m_szLangDir);
    }
    zt::DeleteKeyTree(other.Root(), zt::UnderSoftware(m_langKey.Path()));
}

TEST_F(LangTest, SectionChosenByLanguage)
{
    const std::string both = "[Japanese]\r\nResDll=JA.DLL\r\n[English]\r\nResDll=EN.DLL\r\n";
    struct Case {
        std::string ini;
        LANGID lang;
        const char* value; // nullptr: no value
    } cases[] = {
        {both, kJa, "JA.DLL"},
        {both, 0x0811, "JA.DLL"},
        {both, 0x0011, "JA.DLL"},
        {both, kEn, "EN.DLL"},
        {both, 0x0412, "EN.DLL"},
        {"[English]\r\nResDll=EN.DLL\r\n", kJa, "EN.DLL"},
        {"[Japanese]\r\nResDll=\r\n[English]\r\nResDll=EN.DLL\r\n", kJa, "EN.DLL"},
        {"[Japanese]\r\nResDll=JA.DLL\r\n", kEn, nullptr},
        {"[Japanese]\r\nResDll=\r\n[English]\r\nResDll=\r\n", kJa, nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(zt::WriteFileBytes(m_ini, c.ini));
        CLangResolver resolver(c.lang);
        EXPECT_EQ(c.value ? 1 : 0, resolver.ReadLangValue(m_ini, "ResDll")) << c.ini << c.lang;
        EXPECT_STREQ(c.value ? c.value : "", resolver.m_szFileName) << c.ini << c.lang;
    }
}

TEST_F(LangTest, FolderOfTheIniPath)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_ini, "[English]\r\nResDll=RES.DLL\r\n"));
    char buf[64];
    CLangResolver resolver(kEn);
    EXPECT_EQ(7u, resolver.GetLangFilePath("zt/Drv/Prof.ini", m_driver.c_str(), "ResDll", buf, 63, nullptr));
    EXPECT_STREQ("RES.DLL", buf) << "no backslash: the bare value";
    EXPECT_EQ(14u, resolver.GetLangFilePath("zt\\Drv/Prof.ini", m_driver.c_str(), "ResDll", buf, 63, nullptr));
    EXPECT_STREQ("zt\\Drv/RES.DLL", buf);
}

TEST_F(LangTest, ResourceLibraryOfADriver)
{
    const std::string model = zt::UniqueName("m");
    zt::ScratchKey driverKey(kHklm, DRIVER_KEY_PREFIX + m_driver);
    const std::string profile = m_dir.Path() + m_ini;
    char out[260] = "sentinel";
    EXPECT_EQ(0, GetResDllPath(out, m_driver.c_str(), model.c_str(), kEn)) << "no profile";
    ASSERT_TRUE(zt::SetString(kHklm, driverKey.Path(), "Profile", profile));
    EXPECT_EQ(0, GetResDllPath(out, m_driver.c_str(), model.c_str(), kEn)) << "no value";
    EXPECT_STREQ("sentinel", out);

    ASSERT_TRUE(zt::WriteFileBytes(profile, "[Japanese]\r\nResDll=JA.DLL\r\n[English]\r\nResDll=EN.DLL\r\n"));
    EXPECT_EQ(1, GetResDllPath(out, m_driver.c_str(), model.c_str(), kJa));
    EXPECT_EQ(m_dir.Path() + "zt\\Drv\\JA.DLL", out);
    char plain[260] = "";
    EXPECT_EQ(1, GetResDllPath(plain, m_driver.c_str(), model.c_str()));
    EXPECT_EQ(1, GetResDllPath(out, m_driver.c_str(), model.c_str(), GetUserDefaultLangID()));
    EXPECT_STREQ(out, plain) << "the user's default language";

    // An override folder too long to be the result: its size is asked for, but the file is
    // missing there and the INI folder's path fits.
    SetLangs(kJa, kEn);
    SetProgramFiles("C:\\" + std::string(300, 'q'));
    EXPECT_EQ(1, GetResDllPath(out, m_driver.c_str(), model.c_str(), kEn));
    EXPECT_EQ(m_dir.Path() + "zt\\Drv\\EN.DLL", out);
    SetProgramFiles(m_dir.Path() + "pf");
    MakeOverrideFile(m_dir.Path() + "pf", "0409", "EN.DLL");
    EXPECT_EQ(1, GetResDllPath(out, m_driver.c_str(), model.c_str(), kEn));
    EXPECT_EQ(m_dir.Path() + "pf\\ORVEL\\" + m_driver + "\\Lang\\0409\\EN.DLL", out);

    // A path longer than 259 characters is refused, not cut.
    ASSERT_TRUE(zt::WriteFileBytes(profile, "[English]\r\nResDll=" + std::string(250, 'r') + "\r\n"));
    strcpy(out, "sentinel");
    EXPECT_EQ(0, GetResDllPath(out, m_driver.c_str(), model.c_str(), kEn));
    EXPECT_STREQ("sentinel", out);
}

} // namespace
