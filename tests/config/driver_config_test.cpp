// Driver configuration lookups against the real registry and files.
#include <gtest/gtest.h>

#include <string>

#include "driver_config.h"
#include "reg_view.h"
#include "testsupport.h"

namespace {

const HKEY kHklm = HKEY_LOCAL_MACHINE;

// A driver key of its own, a model value under the shared Profile key, and a directory with
// a profile file in it; all removed at the end. The shared Profile key itself, which the
// driver's installer makes, is made when missing and left in place for other tests.
class DriverConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(kHklm, PROFILE_KEY_PATH, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    void TearDown() override { zt::DeleteValue(kHklm, PROFILE_KEY_PATH, m_model.c_str()); }

    void Set(const char* name, const std::string& text) { ASSERT_TRUE(zt::SetString(kHklm, m_key.Path(), name, text)); }
    void SetRaw(const char* name, const std::string& bytes, DWORD type)
    {
        ASSERT_TRUE(zt::SetBinary(kHklm, m_key.Path(), name, bytes.data(), static_cast<DWORD>(bytes.size()), type));
    }
    // The value's raw bytes with its type, or "absent".
    std::string Raw(const char* name)
    {
        std::string data;
        DWORD type = 0;
        if (!zt::GetRaw(kHklm, m_key.Path(), name, &data, &type))
            return "absent";
        return std::to_string(type) + ":" + data;
    }
    static std::string Sz(const std::string& text) { return "1:" + text + std::string(1, '\0'); }
    std::string Dir() const { return m_dir.Path().substr(0, m_dir.Path().size() - 1); }

    std::string m_driver = zt::UniqueName("ztdrv");
    std::string m_model = zt::UniqueName("ztmdl");
    zt::ScratchKey m_key{kHklm, DRIVER_KEY_PREFIX + m_driver};
    zt::TempDirectory m_dir{"ztcfg"};
    std::string m_profile = m_dir.Path() + "Prof.ini";
    char m_out[260];
};

TEST_F(DriverConfigTest, InstallPathForms)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_profile, "[x]\r\n"));
    struct Case {
        std::string stored;
        DWORD type;
        int result;
        std::string out, written; // written: raw InstallPath afterwards
    } cases[] = {
        {Dir() + "\\", REG_SZ, 1, m_dir.Path(), Sz(Dir())},
        {Dir(), REG_SZ, 1, m_dir.Path(), Sz(Dir())},
        {Dir(), REG_EXPAND_SZ, 1, m_dir.Path(), Sz(Dir())},
        {Dir(), REG_BINARY, 1, m_dir.Path(), Sz(Dir())}, // stored without a terminator
        // Two backslashes, or a missing directory: failure, the profile is not consulted.
        {Dir() + "\\\\", REG_BINARY, 0, "", "3:" + Dir() + "\\\\"},
        {Dir() + "missing", REG_BINARY, 0, "", "3:" + Dir() + "missing"},
        // Too long for the buffer: counts as absent, so the profile's directory is used.
        {std::string(300, 'x'), REG_BINARY, 1, m_dir.Path(), Sz(Dir())},
    };
    Set("Profile", m_profile);
    for (const Case& c : cases) {
        SetRaw("InstallPath", c.stored, c.type);
        memset(m_out, 0xcc, sizeof(m_out));
        EXPECT_EQ(c.result, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str())) << c.stored;
        EXPECT_EQ(c.out, m_out) << c.stored;
        EXPECT_EQ(c.written, Raw("InstallPath")) << c.stored;
    }
    // 260 characters with no terminator fill the buffer: absent as well.
    SetRaw("InstallPath", std::string(260, 'y'), REG_SZ);
    EXPECT_EQ(1, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_dir.Path(), m_out);
}

TEST_F(DriverConfigTest, ProfileValueThenProfileKeyAndTheNestedLookupEnds)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_profile, "[x]\r\n"));
    // Profile names an existing file: used, rewritten as REG_SZ, install directory taken from it.
    SetRaw("Profile", m_profile, REG_EXPAND_SZ);
    EXPECT_EQ(1, GetProfilePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_profile, m_out);
    EXPECT_EQ(Sz(m_profile), Raw("Profile"));
    EXPECT_EQ(1, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_dir.Path(), m_out);
    EXPECT_EQ(Sz(Dir()), Raw("InstallPath"));

    // Profile names a missing file and InstallPath is absent: the Profile key's value for the
    // model is used (untested, not written back), and its directory becomes InstallPath.
    zt::DeleteValue(kHklm, m_key.Path(), "InstallPath");
    Set("Profile", m_dir.Path() + "gone.ini");
    EXPECT_EQ(1, GetProfilePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_STREQ("", m_out) << "no value for the model: success with an empty text";
    EXPECT_EQ(0, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_STREQ("", m_out);

    ASSERT_TRUE(zt::SetString(kHklm, PROFILE_KEY_PATH, m_model.c_str(), m_profile));
    EXPECT_EQ(1, GetProfilePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_profile, m_out);
    EXPECT_EQ(Sz(m_dir.Path() + "gone.ini"), Raw("Profile"));
    EXPECT_EQ(Sz(Dir()), Raw("InstallPath")) << "written by the install lookup inside the profile lookup";

    zt::DeleteValue(kHklm, m_key.Path(), "InstallPath");
    zt::DeleteValue(kHklm, m_key.Path(), "Profile");
    EXPECT_EQ(1, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_dir.Path(), m_out);
    EXPECT_EQ(Sz(Dir()), Raw("InstallPath"));
    EXPECT_EQ("absent", Raw("Profile"));

    // A profile path without any directory names no install directory.
    zt::DeleteValue(kHklm, m_key.Path(), "InstallPath");
    ASSERT_TRUE(zt::SetString(kHklm, PROFILE_KEY_PATH, m_model.c_str(), "Prof.ini"));
    EXPECT_EQ(0, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ("absent", Raw("InstallPath"));
}

TEST_F(DriverConfigTest, StatusProgramFromValueOrInstallDirectory)
{
    const std::string exe = m_dir.Path() + STATUS_EXE_DEFAULT;
    const std::string other = m_dir.Path() + "other.exe";
    Set("InstallPath", Dir());
    Set("J_RRUN", m_dir.Path() + "gone.exe");
    EXPECT_EQ(0, GetStatusExePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(Sz(m_dir.Path() + "gone.exe"), Raw("J_RRUN")) << "left as it was";

    ASSERT_TRUE(zt::WriteFileBytes(exe, "MZ"));
    EXPECT_EQ(1, GetStatusExePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(exe, m_out);
    EXPECT_EQ(Sz(exe), Raw("J_RRUN"));

    ASSERT_TRUE(zt::WriteFileBytes(other, "MZ"));
    SetRaw("J_RRUN", other, REG_BINARY);
    EXPECT_EQ(1, GetStatusExePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(other, m_out);
    EXPECT_EQ(Sz(other), Raw("J_RRUN"));

    // An install directory of 250 characters: the program's path would need 262, and cut to
    // 259 it would name the file "J_R10RN1" that exists there. The lookup fails instead.
    std::string deep = Dir();
    while (deep.size() < 250) {
        size_t rest = 250 - deep.size();
        deep += "\\" + std::string(rest >= 100 ? 49 : rest - 1, 'd');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
    }
    ASSERT_TRUE(zt::WriteFileBytes(deep + "\\J_R10RN1", "MZ"));
    Set("InstallPath", deep);
    zt::DeleteValue(kHklm, m_key.Path(), "J_RRUN");
    EXPECT_EQ(0, GetStatusExePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ("absent", Raw("J_RRUN"));
}

TEST_F(DriverConfigTest, PrinterLibraryFromProfileEntry)
{
    Set("Profile", m_profile);
    struct Case {
        std::string value; // written after "PrnDll=", or "-" for no key
        bool withInstallDir;
        int result;
        std::string out;
    } cases[] = {
        {"PRN.DLL", true, 1, m_dir.Path() + "PRN.DLL"},
        {"PRN.DLL", false, 1, ".\\PRN.DLL"},
        {"", true, 0, "sentinel"},
        {"-", true, 0, "sentinel"},
        {std::string(257, 'a'), false, 1, ".\\" + std::string(257, 'a')},
        {std::string(258, 'b'), false, 0, "sentinel"},
        // 259 characters (and 500, which read as 259) do not fit behind any directory.
        {std::string(259, 'c'), false, 0, "sentinel"},
        {std::string(500, 'd'), false, 0, "sentinel"},
        {std::string(250, 'e'), true, 0, "sentinel"},
    };
    for (const Case& c : cases) {
        std::string ini = "[" + m_model + "]\r\n";
        if (c.value != "-")
            ini += "PrnDll=" + c.value + "\r\n";
        ASSERT_TRUE(zt::WriteFileBytes(m_profile, ini));
        Set("InstallPath", c.withInstallDir ? Dir() : Dir() + "missing");
        strcpy(m_out, "sentinel");
        EXPECT_EQ(c.result, GetPrnDllPath(m_out, m_driver.c_str(), m_model.c_str())) << c.value.size();
        EXPECT_EQ(c.out, m_out) << c.value.size();
    }
}

TEST_F(DriverConfigTest, WriteBacksNeverCreateTheDriverKey)
{
    ASSERT_TRUE(zt::WriteFileBytes(m_profile, "[x]\r\n"));
    ASSERT_TRUE(zt::WriteFileBytes(m_dir.Path() + STATUS_EXE_DEFAULT, "MZ"));
    ASSERT_TRUE(zt::SetString(kHklm, PROFILE_KEY_PATH, m_model.c_str(), m_profile));
    zt::DeleteKeyTree(kHklm, m_key.Path());
    EXPECT_EQ(1, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(1, GetStatusExePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_dir.Path() + STATUS_EXE_DEFAULT, m_out);
    EXPECT_FALSE(zt::KeyExists(kHklm, m_key.Path()));
    EXPECT_EQ(0, WriteMachineString(m_key.Path().c_str(), "InstallPath", "x"));
    EXPECT_FALSE(zt::KeyExists(kHklm, m_key.Path()));
}

// What an installer of the other kind wrote lands in the other registry view.
TEST_F(DriverConfigTest, KeysOfTheOtherViewAreFoundAndRepairedThere)
{
    if (!zt::HasTwoRegistryViews())
        GTEST_SKIP() << "one registry view only";
    ASSERT_TRUE(zt::WriteFileBytes(m_profile, "[x]\r\n"));
    zt::SoftwareInView other(REG_VIEW_OTHER);
    zt::ScratchKey otherKey(other.Root(), zt::UnderSoftware(m_key.Path()));
    const std::string otherProfiles = zt::UnderSoftware(PROFILE_KEY_PATH);
    zt::DeleteKeyTree(kHklm, m_key.Path());

    // Only the other view has the driver key: read there, and the verified path goes back
    // there (one trailing backslash less); no key is made in the own view.
    ASSERT_TRUE(zt::SetString(other.Root(), otherKey.Path(), "InstallPath", Dir() + "\\"));
    EXPECT_EQ(1, GetInstallPath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_dir.Path(), m_out);
    std::string written;
    EXPECT_TRUE(zt::GetString(other.Root(), otherKey.Path(), "InstallPath", &written));
    EXPECT_EQ(Dir(), written);
    EXPECT_FALSE(zt::KeyExists(kHklm, m_key.Path()));

    // The model's profile path only in the other view's Profile key, while the own view's
    // Profile key exists without it.
    ASSERT_TRUE(zt::SetString(other.Root(), otherProfiles, m_model.c_str(), m_profile));
    EXPECT_EQ(1, GetProfilePath(m_out, m_driver.c_str(), m_model.c_str()));
    EXPECT_EQ(m_profile, m_out);

    // A driver key in the own view is the one taken, even with a value missing there.
    Set("ModelID", m_model);
    EXPECT_EQ(0, GetDriverValue(m_out, "InstallPath", m_driver.c_str(), m_model.c_str()));
    zt::DeleteValue(other.Root(), otherProfiles, m_model.c_str());
}

TEST_F(DriverConfigTest, MissingNamesFailEveryLookup)
{
    Set("InstallPath", Dir());
    Set("Profile", m_profile);
    ASSERT_TRUE(zt::WriteFileBytes(m_profile, "[" + m_model + "]\r\nPrnDll=P.DLL\r\n"));
    using Lookup = int (*)(char*, const char*, const char*);
    for (Lookup lookup : {GetProfilePath, GetInstallPath, GetStatusExePath, GetPrnDllPath}) {
        const char* names[][2] = {{"", m_model.c_str()}, {m_driver.c_str(), ""}, {nullptr, m_model.c_str()},
                                  {m_driver.c_str(), nullptr}};
        for (auto& n : names) {
            strcpy(m_out, "sentinel");
            EXPECT_EQ(0, lookup(m_out, n[0], n[1]));
            EXPECT_TRUE(!strcmp(m_out, "") || (lookup == GetPrnDllPath && !strcmp(m_out, "sentinel"))) << m_out;
        }
        EXPECT_EQ(0, lookup(nullptr, m_driver.c_str(), m_model.c_str()));
    }
}

TEST(FileExists, FilesAndDirectoriesOnly)
{
    zt::TempDirectory dir;
    ASSERT_TRUE(zt::WriteFileBytes(dir.Path() + "f.txt", "x"));
    EXPECT_EQ(1, FileExists((dir.Path() + "f.txt").c_str()));
    EXPECT_EQ(1, FileExists(dir.Path().substr(0, dir.Path().size() - 1).c_str()));
    EXPECT_EQ(0, FileExists(dir.Path().c_str())) << "a trailing backslash";
    EXPECT_EQ(0, FileExists((dir.Path() + "*").c_str()));
    EXPECT_EQ(0, FileExists((dir.Path() + "f.tx?").c_str()));
    EXPECT_EQ(0, FileExists((dir.Path() + "g.txt").c_str()));
    EXPECT_EQ(0, FileExists(""));
    EXPECT_EQ(0, FileExists(nullptr));
}

} // namespace
