// Bounded copies: exact fits, one byte short, and the bytes after the terminator.
#include <gtest/gtest.h>

#include <string.h>

#include <windows.h>

#include "strutil.h"
#include "testsupport.h"

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
        // UTF-8: a character is its whole sequence of 2, 3 or 4 bytes.
        {65001, 8, "a\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc", 0, "a\xc3\xbc..."},
        {65001, 8, "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac", 0, "\xe2\x82\xac..."},
        {65001, 8, "a\xf0\x9f\x96\xa8\xf0\x9f\x96\xa8", 0, "a..."},
        {65001, 8, "abc\xc3" "d\xc3\xbc\xc3\xbc", 0, "abc\xc3..."}, // a lead byte without its sequence
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

// Under the test run's code page, 1252; the double-byte rows are in the 932 program.
TEST(SameName, FoldsTheCaseOfEveryLetterAsTheSpoolerDoes)
{
    ASSERT_EQ(1252u, GetACP());
    struct Row {
        const char *a, *b;
        int same;
    } const rows[] = {
        {"Laser A", "LASER a", 1},
        {"B\xfcro", "B\xdcRO", 1},
        {"Caf\xe9", "Cafe", 0},
        {"co-op", "coop", 0},
        {"Laser", "Laser ", 0},
        {nullptr, "", 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, SameName(row.a, row.b)) << (row.a ? row.a : "(null)") << " / " << row.b;
}

// Windows' converter refuses, for UTF-8, every flag but WC_ERR_INVALID_CHARS and a report
// of the default character; Wine's takes them.
int WINAPI WindowsWideToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int count, char* out, int size,
                                  const char* defaultChar, BOOL* usedDefault)
{
    if (codePage == CP_UTF8 && (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (codePage == CP_UTF8 && (defaultChar || usedDefault)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return WideCharToMultiByte(codePage, flags, text, count, out, size, defaultChar, usedDefault);
}

TEST(WideFitsCodePage, ARoundTripWithoutDefaultOrBestFitCharacters)
{
    struct Row {
        unsigned codePage;
        const wchar_t* text;
        int count;
        int fits;
    } const rows[] = {
        {65001, L"B\x00fcro \x30bd", -1, 1},
        {65001, L"a\xd800z", -1, 0}, // a lone surrogate
        {65001, L"a\xd800z", 1, 1},
        {1252, L"B\x00fcro", -1, 1},
        {1252, L"\xff02", -1, 0}, // a quote mark by best fit only
        {932, L"\x30bd\x8868", -1, 1},
        {932, L"\x00fc", -1, 0},
        {932, nullptr, -1, 1},
    };
    g_pfnWideToMultiByte = WindowsWideToMultiByte;
    g_pfnMultiByteToWide = zt::Utf8SystemMultiByteToWide; // and back
    for (const Row& row : rows)
        EXPECT_EQ(row.fits, WideFitsCodePage(row.text, row.count, row.codePage)) << row.codePage << " row " << (&row - rows);
    g_pfnWideToMultiByte = WideCharToMultiByte;
    g_pfnMultiByteToWide = MultiByteToWideChar;
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
