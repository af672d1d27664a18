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

TEST(SafeCopyEllipsis, CutsOnACharacterBoundaryWithDots)
{
    // "\x95\x5c" is one character in code page 932 (its second byte is a backslash).
    struct Row {
        unsigned codePage;
        size_t size;
        const char* src;
        int whole;
        const char* expected;
    } const rows[] = {
        {1252, 8, "1234567", 1, "1234567"},
        {1252, 8, "12345678", 0, "1234..."},
        {932, 8, "\x95\x5c\x95\x5c\x95\x5c", 1, "\x95\x5c\x95\x5c\x95\x5c"},
        {932, 8, "\x95\x5c\x95\x5c\x95\x5c\x95\x5c", 0, "\x95\x5c\x95\x5c..."},
        {932, 8, "a\x95\x5c\x95\x5c\x95\x5c\x95\x5c", 0, "a\x95\x5c..."},
        {1252, 8, "a\x95\x5c\x95\x5c\x95\x5c\x95\x5c", 0, "a\x95\x5c\x95..."},
        {932, 9, "1234567\x95", 1, "1234567\x95"}, // a lead byte at the end counts alone
        {1252, 3, "abcd", 0, ".."},
        {1252, 4, nullptr, 1, ""},
    };
    for (const Row& row : rows) {
        char buf[8 + 4];
        memset(buf, 0xcc, sizeof(buf));
        EXPECT_EQ(row.whole, SafeCopyEllipsis(buf, row.size, row.src, row.codePage)) << row.expected;
        EXPECT_STREQ(row.expected, buf);
        EXPECT_EQ(static_cast<char>(0xcc), buf[row.size]) << "nothing written past the buffer";
    }
}

// "\x95\x5c" (a character of 932 whose second byte is a backslash) ends a folder's name.
TEST(CharScans, SecondByteOfADoubleByteCharacterIsNoSeparator)
{
    struct Row {
        unsigned codePage;
        const char *text, *set;
        int first, last, endsWith; // offsets, -1 for none
    } const rows[] = {
        {932, "C:\\\x95\x5c", "\\", 2, 2, 0},
        {1252, "C:\\\x95\x5c", "\\", 2, 4, 1},
        {932, "C:\\\x95\x5c\\", "\\", 2, 5, 1},
        {932, "\x95\x5c/\x95\x5c\\x", "\\/", 2, 5, 0},
        {932, "ab\x95", "\\", -1, -1, 0}, // a lead byte at the end counts alone
        {932, nullptr, "\\", -1, -1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.codePage << " " << (row.text ? row.text : "(null)"));
        const char* first = FindCharOf(row.text, row.set, row.codePage);
        const char* last = FindLastCharOf(row.text, row.set, row.codePage);
        EXPECT_EQ(row.first, first ? first - row.text : -1);
        EXPECT_EQ(row.last, last ? last - row.text : -1);
        EXPECT_EQ(row.endsWith, EndsWithCharOf(row.text, row.set, row.codePage));
    }
}

TEST(SameTextNoCase, FoldsOnlyASCIILettersOfWholeCharacters)
{
    // "\x83\x41" and "\x83\x61" are two characters of 932; in 1252 they end in "A" and "a".
    struct Row {
        unsigned codePage;
        const char *a, *b;
        int same;
    } const rows[] = {
        {932, "Laser \x83\x41", "LASER \x83\x41", 1},
        {932, "\x83\x41", "\x83\x61", 0},
        {1252, "\x83\x41", "\x83\x61", 1},
        {932, "\x83\x41", "\x83\x41" "b", 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, SameTextNoCase(row.a, row.b, row.codePage)) << row.codePage << " row " << (&row - rows);
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
