// Which paths a library is loaded from: full paths of existing files only.
#include <gtest/gtest.h>

#include <windows.h>

#include "library.h"
#include "testsupport.h"

namespace {

TEST(IsFullFilePath, OnlyFullPathsOfExistingFiles)
{
    zt::TempDirectory dir;
    const std::string file = dir.Path() + "lib.dll";
    ASSERT_TRUE(zt::WriteFileBytes(file, "x"));
    char current[MAX_PATH] = "";
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(current), current));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    const std::string drive = file.substr(0, 2);
    struct {
        std::string path;
        int full;
    } cases[] = {
        {file, 1},
        {dir.Path() + "missing.dll", 0},
        {dir.Path(), 0},                            // a folder
        {"lib.dll", 0},                             // the current directory's file
        {".\\lib.dll", 0},
        {drive + "lib.dll", 0},                     // relative to the drive's current folder
        {file.substr(2), 0},                        // the current drive's root
        {"\\\\", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.full, IsFullFilePath(c.path.c_str()));
    }
    EXPECT_EQ(0, IsFullFilePath(nullptr));
    EXPECT_EQ(nullptr, LoadResourceLibrary("lib.dll"));
    EXPECT_EQ(nullptr, LoadCodeLibrary("lib.dll"));
    SetCurrentDirectoryA(current);
}

} // namespace
