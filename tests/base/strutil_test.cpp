// Bounded copies: exact fits, one byte short, and the bytes after the terminator.
#include <gtest/gtest.h>

#include <string.h>

#include "strutil.h"

namespace {

TEST(SafeCopy, FitsCutsAndNeverWritesPastTheBuffer)
{
    char buf[8 + 4];
    memset(buf, 0xcc, sizeof(buf));
    EXPECT_EQ(1, SafeCopy(buf, 8, "1234567"));
    EXPECT_STREQ("1234567", buf);
    memset(buf, 0xcc, sizeof(buf));
    EXPECT_EQ(0, SafeCopy(buf, 8, "12345678"));
    EXPECT_STREQ("1234567", buf);
    EXPECT_EQ(static_cast<char>(0xcc), buf[8]) << "nothing written past the buffer";
    EXPECT_EQ(1, SafeCopy(buf, 8, nullptr));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(0, SafeCopy(buf, 0, "x"));
}

TEST(SafeCopy, CountLimitedCopy)
{
    char buf[6];
    EXPECT_EQ(1, SafeCopyN(buf, sizeof(buf), "abcdef", 3));
    EXPECT_STREQ("abc", buf);
    EXPECT_EQ(1, SafeCopyN(buf, sizeof(buf), "ab", 5)) << "source ends first";
    EXPECT_STREQ("ab", buf);
    EXPECT_EQ(0, SafeCopyN(buf, sizeof(buf), "abcdefgh", 7));
    EXPECT_STREQ("abcde", buf);
}

TEST(SafeAppend, AppendsBoundedAndRepairsUnterminated)
{
    char buf[8];
    SafeCopy(buf, "abc");
    EXPECT_EQ(1, SafeAppend(buf, "defg"));
    EXPECT_STREQ("abcdefg", buf);
    EXPECT_EQ(0, SafeAppend(buf, "h"));
    EXPECT_STREQ("abcdefg", buf);
    memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(0, SafeAppend(buf, "y"));
    EXPECT_EQ('\0', buf[7]);
}

TEST(SafeFormat, BoundedAndTerminated)
{
    char buf[10];
    EXPECT_EQ(1, SafeFormat(buf, sizeof(buf), "%s/%d", "ab", 42));
    EXPECT_STREQ("ab/42", buf);
    EXPECT_EQ(0, SafeFormat(buf, sizeof(buf), "%s", "0123456789abc"));
    EXPECT_STREQ("012345678", buf);
    // A text with percent signs passed as an argument stays as it is.
    EXPECT_EQ(1, SafeFormat(buf, sizeof(buf), "%s", "%s%n%d"));
    EXPECT_STREQ("%s%n%d", buf);
}

} // namespace
