// Start-up entries in the real HKCU and HKLM Run keys. Every value made here has a unique
// name and is removed at the end, whatever else the shared keys hold.
#include <gtest/gtest.h>

#include "runvalue.h"
#include "scoped.h"
#include "startup_reg.h"
#include "testsupport.h"

namespace {

using zt::RunNames;
using zt::RunValue;

TEST(DeleteStartupReg, ByNameOnlyInHkcu)
{
    std::string name = zt::UniqueName("ztrun");
    RunValue user(HKEY_CURRENT_USER, name, "\"C:\\x\\zettray.exe\" /P \"A\"");
    RunValue machine(HKEY_LOCAL_MACHINE, name, "\"C:\\x\\zettray.exe\" /P \"A\"");
    RunValue other(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), "other");
    DeleteStartupReg(name.c_str(), "unused");
    EXPECT_FALSE(user.Exists());
    EXPECT_TRUE(machine.Exists());
    EXPECT_TRUE(other.Exists());
}

TEST(DeleteStartupReg, EmptyNameRemovesFirstValueAttachingTheFile)
{
    const std::string file = zt::UniqueName("J_R") + ".tmp";
    const std::string path = zt::TempDir() + file;
    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    // Names in creation order and in alphabetical order, so they enumerate in this order
    // whether the registry lists values as made or sorted.
    std::string base = zt::UniqueName("ztrun");
    RunValue unrelated(HKEY_CURRENT_USER, base + "_1", "C:\\other.exe");
    RunValue otherFile(HKEY_CURRENT_USER, base + "_2", "/A \"" + zt::UniqueName("j_r") + "\"");
    RunValue longData(HKEY_CURRENT_USER, base + "_3", std::string(300, 'x') + path);
    RunValue mentioned(HKEY_CURRENT_USER, base + "_4", "\"C:\\x\\zettray.exe\" /P \"" + path + "\"");
    RunValue notLast(HKEY_CURRENT_USER, base + "_5", "/A \"" + path + "\" /P \"A\"");
    RunValue first(HKEY_CURRENT_USER, base + "_6", "\"C:\\x\\zettray.exe\" /A \"" + upper + "\"");
    RunValue second(HKEY_CURRENT_USER, base + "_7", "/A \"" + path + "\"");
    zt::ExpectEnumerationOrder({&unrelated, &otherFile, &longData, &mentioned, &notLast, &first, &second});

    DeleteStartupReg("", path.c_str());
    EXPECT_FALSE(first.Exists()) << "the same file in other letter case";
    EXPECT_TRUE(second.Exists()) << "only the first match goes";
    EXPECT_TRUE(longData.Exists()) << "data over 259 characters is passed over";
    EXPECT_TRUE(mentioned.Exists()) << "the path given with another option";
    EXPECT_TRUE(notLast.Exists()) << "the /A text is not the last quoted text";
    EXPECT_TRUE(unrelated.Exists());
    EXPECT_TRUE(otherFile.Exists());

    // A file named without its folder is not another printer's file of that name.
    DeleteStartupReg("", file.c_str());
    EXPECT_TRUE(second.Exists());
    DeleteStartupReg(nullptr, path.c_str());
    EXPECT_FALSE(second.Exists());
}

TEST(DeleteStartupReg, EmptyNameAndEmptyTextRemoveNothing)
{
    RunValue value(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), "anything");
    std::vector<std::string> before = RunNames();
    DeleteStartupReg("", "");
    DeleteStartupReg(nullptr, nullptr);
    DeleteStartupReg("", nullptr);
    EXPECT_EQ(before, RunNames());
}

// RemoveRunEntry on the open HKCU Run key: which file goes with the value.
TEST(RemoveRunEntry, DeletesOnlyTheAttachedFile)
{
    zt::TempDirectory dir;
    const std::string program = dir.Path() + "zettray.exe";
    const std::string param = dir.Path() + "p.txt";
    struct {
        const char* label;
        std::string data;
        bool paramDeleted;
    } cases[] = {
        {"program quoted only", "\"" + program + "\" /P \"A\"", false},
        {"attached file", "\"" + program + "\" /EF \"HKCU\" /A \"" + param + "\"", true},
        {"lower case", "\"" + program + "\" /a \"" + param + "\"", true},
        {"several blanks", "\"" + program + "\" /A   \t \"" + param + "\"", true},
        {"no blank", "\"" + program + "\" /A\"" + param + "\"", true},
        {"not last", "\"" + program + "\" /A \"" + param + "\" /P \"A\"", false},
        {"other option", "\"" + program + "\" /F \"" + param + "\"", false},
        {"longer option", "\"" + program + "\" /BA \"" + param + "\"", false},
        {"no quote", program + " /A " + param, false},
        {"one quote", program + " /A \"" + param, false},
        {"empty quotes", program + " /A \"\"", false},
        {"over 259", "\"" + program + "\" /A \"" + param + "\"" + std::string(260, ' '), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(zt::WriteFileBytes(program, "exe"));
        ASSERT_TRUE(zt::WriteFileBytes(param, "/P \"A\"\n"));
        RunValue value(HKEY_CURRENT_USER, zt::UniqueName("ztrun"), c.data);
        ScopedRegKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, key.Put()));
        RemoveRunEntry(key.Get(), value.Name().c_str());
        EXPECT_FALSE(value.Exists()) << "the value goes in every case";
        EXPECT_TRUE(zt::FileExists(program)) << "the program is never deleted";
        EXPECT_EQ(!c.paramDeleted, zt::FileExists(param));
    }
}

TEST(RemoveRunEntry, EmptyNameRemovesNothing)
{
    zt::ScratchKey scratch(HKEY_CURRENT_USER, "Software\\" + zt::UniqueName("ztkey"));
    ASSERT_TRUE(zt::SetString(scratch.Root(), scratch.Path(), "", "default"));
    ScopedRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch.Root(), scratch.Path().c_str(), 0, KEY_ALL_ACCESS, key.Put()));
    RemoveRunEntry(key.Get(), "");
    RemoveRunEntry(key.Get(), nullptr);
    EXPECT_TRUE(zt::ValueExists(scratch.Root(), scratch.Path(), "")) << "the key's default value stays";
}

} // namespace
