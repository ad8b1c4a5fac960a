// Conformance tests of the l-string family and CharUpperW/CharLowerW.
#include <gtest/gtest.h>

#include <string>

#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> WString;

TEST(LString, LengthsTakeNull)
{
    EXPECT_EQ(0, lstrlenW(nullptr));
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(3, lstrlenW(TEXT("abc")));
    EXPECT_EQ(4, lstrlenA("\x83\x41xy"));
}

TEST(LString, CopyNCutsAndTerminates)
{
    struct {
        int count;
        const WCHAR *expected;
    } cases[] = {
        {1, TEXT("")}, {2, TEXT("a")}, {4, TEXT("abc")}, {6, TEXT("abcde")}, {20, TEXT("abcde")},
    };
    for (const auto &c : cases) {
        WCHAR buf[24];
        for (WCHAR &w : buf) w = u'#';
        EXPECT_EQ(buf, lstrcpynW(buf, TEXT("abcde"), c.count)) << c.count;
        EXPECT_EQ(WString(c.expected), WString(buf)) << c.count;
        EXPECT_EQ(u'#', buf[lstrlenW(c.expected) + 1]) << c.count;
    }
    WCHAR untouched[2] = {u'#', u'#'};
    EXPECT_EQ(untouched, lstrcpynW(untouched, TEXT("abc"), 0));
    EXPECT_EQ(u'#', untouched[0]);
}

TEST(LString, CopyAndConcatenate)
{
    WCHAR buf[16];
    EXPECT_EQ(buf, lstrcpyW(buf, TEXT("abc")));
    EXPECT_EQ(buf, lstrcatW(buf, TEXT("def")));
    EXPECT_EQ(WString(TEXT("abcdef")), WString(buf));
    EXPECT_EQ(nullptr, lstrcpyW(buf, nullptr));
    EXPECT_EQ(nullptr, lstrcatW(nullptr, TEXT("x")));
}

TEST(LString, CompareSortsLettersBeforeCase)
{
    struct {
        const WCHAR *a;
        const WCHAR *b;
        int sensitive;
        int insensitive;
    } cases[] = {
        {TEXT("same"), TEXT("same"), 0, 0},
        {TEXT("a"), TEXT("A"), -1, 0},
        {TEXT("A"), TEXT("a"), 1, 0},
        {TEXT("B"), TEXT("a"), 1, 1},
        {TEXT("abc"), TEXT("abd"), -1, -1},
        {TEXT("ab"), TEXT("abc"), -1, -1},
        {TEXT("Ab"), TEXT("ab"), 1, 0},
        {TEXT("aB"), TEXT("Ab"), -1, 0},
        {TEXT("_"), TEXT("a"), -1, -1},
        {TEXT("1"), TEXT("a"), -1, -1},
        {u"\u00C4", u"\u00E4", 1, 0},
        {nullptr, TEXT("a"), -1, -1},
        {TEXT("a"), nullptr, 1, 1},
        {nullptr, nullptr, 0, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const auto &c = cases[i];
        EXPECT_EQ(c.sensitive, lstrcmpW(c.a, c.b)) << "case " << i;
        EXPECT_EQ(c.insensitive, lstrcmpiW(c.a, c.b)) << "case " << i;
    }
}

TEST(LString, AnsiCompareKeepsDoubleByteCharactersWhole)
{
    // 0x83 0x41 and 0x83 0x61 are two different katakana whose trail
    // bytes look like 'A' and 'a'.
    EXPECT_NE(0, lstrcmpiA("\x83\x41", "\x83\x61"));
    EXPECT_EQ(0, lstrcmpiA("Printer\x83\x41", "PRINTER\x83\x41"));
    EXPECT_EQ(-1, lstrcmpA("abc", "ABC"));
    EXPECT_EQ(0, lstrcmpA("abc", "abc"));
}

TEST(CharCase, StringsInPlaceAndSingleCharacters)
{
    WCHAR text[] = u"abc\u00E9\uFF41xyz!";
    EXPECT_EQ(text, CharUpperW(text));
    EXPECT_EQ(WString(u"ABC\u00C9\uFF21XYZ!"), WString(text));
    EXPECT_EQ(text, CharLowerW(text));
    EXPECT_EQ(WString(u"abc\u00E9\uFF41xyz!"), WString(text));

    auto one = [](WCHAR c) { return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)); };
    EXPECT_EQ(one(u'Q'), CharUpperW(one(u'q')));
    EXPECT_EQ(one(u'q'), CharLowerW(one(u'Q')));
    EXPECT_EQ(one(u'1'), CharUpperW(one(u'1')));
}

}  // namespace
