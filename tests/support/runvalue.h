// Values in the shared HKCU and HKLM Run keys, made by tests with unique names.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "startup_reg.h"
#include "testsupport.h"

namespace zt {

// A Run value made for one test and removed at its end.
class RunValue : public TempValue {
public:
    RunValue(HKEY root, const std::string& name, const std::string& data)
        : TempValue(root, RUN_KEY_PATH, name, data)
    {
        EXPECT_TRUE(Ok()) << name;
    }
};

inline std::vector<std::string> RunNames()
{
    return ValueNames(HKEY_CURRENT_USER, RUN_KEY_PATH);
}

// The premise of a test of "the first value that matches".
inline void ExpectEnumerationOrder(std::initializer_list<const RunValue*> values)
{
    std::vector<std::string> names = RunNames(), ours;
    for (const std::string& name : names) {
        for (const RunValue* v : values) {
            if (v->Name() == name)
                ours.push_back(name);
        }
    }
    std::vector<std::string> expected;
    for (const RunValue* v : values)
        expected.push_back(v->Name());
    ASSERT_EQ(expected, ours);
}

} // namespace zt
