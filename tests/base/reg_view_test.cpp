// HKLM keys in the two registry views of 64-bit Windows: which view a lookup takes.
// These run where there are two views (the 64-bit build, and the 32-bit one in a win64
// prefix); with one view, both lookups reach the same key and there is nothing to tell.
#include <gtest/gtest.h>

#include <string>

#include "reg_read.h"
#include "reg_view.h"
#include "testsupport.h"

namespace {

const char kWhich[] = "Which"; // each view's key names its view here
const char kValue[] = "V";
const REGSAM kNoView = 0xdead;

std::string ViewName(REGSAM view)
{
    return view == REG_VIEW_OWN ? "own" : view == REG_VIEW_OTHER ? "other" : "none";
}

// The view whose key `key` is, from the value it holds; "none" for no key.
std::string ViewOf(HKEY key)
{
    char text[16];
    return key && QueryText(key, kWhich, text, sizeof(text)) ? text : "none";
}

TEST(RegView, OwnViewFirstThenTheOther)
{
    if (!zt::HasTwoRegistryViews())
        GTEST_SKIP() << "one registry view only";
    struct Case {
        const char* what;
        bool ownKey, ownValue, otherKey, otherValue;
        const char* keyView; // OpenMachineKey: view opened, or "none"
        const char* forView; // OpenMachineKeyFor(kValue)
    } cases[] = {
        {"own view only", true, true, false, false, "own", "own"},
        {"other view only", false, false, true, true, "other", "other"},
        {"both, with the value", true, true, true, true, "own", "own"},
        {"both, the value in the other", true, false, true, true, "own", "other"},
        {"both, the value in the own", true, true, true, false, "own", "own"},
        {"other view's key, no value anywhere", false, false, true, false, "other", "other"},
        {"no key", false, false, false, false, "none", "none"},
    };
    zt::SoftwareInView own(REG_VIEW_OWN), other(REG_VIEW_OTHER);
    ASSERT_TRUE(own.Root() && other.Root());
    for (const Case& c : cases) {
        const std::string path = "software\\ORVEL\\ZET3\\" + zt::UniqueName("ztview");
        zt::DeleteKeyTree(own.Root(), zt::UnderSoftware(path));
        zt::DeleteKeyTree(other.Root(), zt::UnderSoftware(path));
        auto make = [&](HKEY root, const char* name, bool made, bool hasValue) {
            if (made) {
                ASSERT_TRUE(zt::SetString(root, zt::UnderSoftware(path), kWhich, name));
            }
            if (hasValue) {
                ASSERT_TRUE(zt::SetDword(root, zt::UnderSoftware(path), kValue, 1));
            }
        };
        make(own.Root(), "own", c.ownKey, c.ownValue);
        make(other.Root(), "other", c.otherKey, c.otherValue);

        HKEY key = nullptr;
        REGSAM view = kNoView;
        LONG result = OpenMachineKey(path.c_str(), KEY_READ, &key, &view);
        EXPECT_EQ(c.keyView == std::string("none") ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, result) << c.what;
        EXPECT_EQ(c.keyView, ViewOf(key)) << c.what;
        EXPECT_EQ(c.keyView, ViewName(view)) << c.what << ": the view reported is the key's";
        if (key)
            RegCloseKey(key);

        key = nullptr;
        view = kNoView;
        result = OpenMachineKeyFor(path.c_str(), kValue, KEY_READ, &key, &view);
        EXPECT_EQ(c.forView == std::string("none") ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, result) << c.what;
        EXPECT_EQ(c.forView, ViewOf(key)) << c.what << ", value lookup";
        EXPECT_EQ(c.forView, ViewName(view)) << c.what << ", value lookup";
        if (key)
            RegCloseKey(key);

        zt::DeleteKeyTree(own.Root(), zt::UnderSoftware(path));
        zt::DeleteKeyTree(other.Root(), zt::UnderSoftware(path));
    }
}

TEST(RegView, BadArgumentsOpenNothing)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, OpenMachineKey(nullptr, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, OpenMachineKeyInView("software", KEY_READ, REG_VIEW_OWN, nullptr));
}

} // namespace
