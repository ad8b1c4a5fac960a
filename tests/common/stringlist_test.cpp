// Bounded double-NUL string lists.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "stringlist.h"

namespace {

std::string Printable(const char *bytes, size_t size)
{
    std::string out;
    for (size_t i = 0; i < size; ++i) out += bytes[i] == '\0' ? std::string("\\0") : std::string(1, bytes[i]);
    return out;
}

// Fills LIST with strings of 9 characters up to USED bytes (a multiple of 10).
void FillTo(StringList &list, DWORD used)
{
    for (DWORD i = 0; i < used / 10; ++i) {
        char text[16];
        snprintf(text, sizeof(text), "item%05u", static_cast<unsigned>(i));
        ASSERT_TRUE(list.Add(text)) << i;
    }
    ASSERT_EQ(used + 1, list.GetSize());
}

TEST(StringList, StartsEmpty)
{
    StringList list;
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(nullptr, list.First());
    EXPECT_EQ(nullptr, list.Next());
    EXPECT_EQ(nullptr, list.GetAt(0));
    EXPECT_FALSE(list.Contains(""));
    EXPECT_EQ(1u, list.GetSize());
    EXPECT_EQ('\0', list.GetBuffer()[0]);
}

TEST(StringList, AddBuildsADoubleNulList)
{
    StringList list;
    EXPECT_TRUE(list.Add("Letter"));
    EXPECT_TRUE(list.Add("A4"));
    EXPECT_FALSE(list.Add(""));
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_EQ(2, list.GetCount());
    ASSERT_EQ(11u, list.GetSize());
    EXPECT_EQ("Letter\\0A4\\0\\0", Printable(list.GetBuffer(), list.GetSize()));
}

TEST(StringList, FirstAndNextWalkTheStrings)
{
    StringList list("A\0BB\0CCC\0");
    EXPECT_STREQ("A", list.First());
    EXPECT_STREQ("BB", list.Next());
    EXPECT_STREQ("CCC", list.Next());
    EXPECT_EQ(nullptr, list.Next());
    EXPECT_EQ(nullptr, list.Next());
    // First starts over.
    EXPECT_STREQ("A", list.First());
    EXPECT_STREQ("BB", list.Next());
    // A string added at the end is reached from where the walk stands.
    EXPECT_TRUE(list.Add("DDDD"));
    EXPECT_STREQ("CCC", list.Next());
    EXPECT_STREQ("DDDD", list.Next());
    EXPECT_EQ(nullptr, list.Next());
}

TEST(StringList, GetAtInsideTheCountOnly)
{
    StringList list("A\0BB\0CCC\0");
    ASSERT_EQ(3, list.GetCount());
    EXPECT_STREQ("A", list.GetAt(0));
    EXPECT_STREQ("BB", list.GetAt(1));
    EXPECT_STREQ("CCC", list.GetAt(2));
    EXPECT_EQ(nullptr, list.GetAt(3));
    EXPECT_EQ(nullptr, list.GetAt(-1));
}

TEST(StringList, ContainsComparesWholeStringsExactly)
{
    StringList list("Letter\0A4\0Roll1\0");
    struct Case {
        const char *text;
        BOOL expected;
    } cases[] = {
        {"Letter", TRUE}, {"A4", TRUE},    {"Roll1", TRUE}, {"letter", FALSE}, {"Let", FALSE},
        {"Letter2", FALSE}, {"A", FALSE}, {"Roll", FALSE}, {"", FALSE},
    };
    for (const Case &c : cases) EXPECT_EQ(c.expected, list.Contains(c.text)) << c.text;
    EXPECT_FALSE(list.Contains(nullptr));
}

// 2040 bytes used: a string needs its length, its NUL and the closing NUL.
TEST(StringList, FullListRefusesWhatDoesNotFit)
{
    struct Case {
        const char *text;
        BOOL fits;
    } cases[] = {
        {"1234567", FALSE},
        {"123456", TRUE},  // exactly 2048 bytes
        {"12345", TRUE},
    };
    for (const Case &c : cases) {
        StringList list;
        FillTo(list, 2040);
        int count = list.GetCount();
        EXPECT_EQ(c.fits, list.Add(c.text)) << c.text;
        EXPECT_EQ(count + (c.fits ? 1 : 0), list.GetCount()) << c.text;
        EXPECT_EQ(c.fits, list.Contains(c.text)) << c.text;
        // Still a well-formed list.
        DWORD size = list.GetSize();
        ASSERT_LE(size, StringList::kCapacity);
        EXPECT_EQ('\0', list.GetBuffer()[size - 1]) << c.text;
        EXPECT_EQ('\0', list.GetBuffer()[size - 2]) << c.text;
    }
}

TEST(StringList, AddListAllOrNothing)
{
    StringList list;
    FillTo(list, 2040);
    // 6 bytes of strings and the closing NUL in the 8 free bytes.
    EXPECT_TRUE(list.AddList("ab\0cd\0"));
    EXPECT_EQ(206, list.GetCount());
    EXPECT_STREQ("cd", list.GetAt(205));
    EXPECT_EQ(2047u, list.GetSize());

    // One byte left: an empty list still fits, nothing else does.
    EXPECT_FALSE(list.AddList("e\0"));
    EXPECT_EQ(206, list.GetCount());
    EXPECT_EQ(2047u, list.GetSize());
    EXPECT_TRUE(list.AddList(""));
    EXPECT_EQ(206, list.GetCount());
    EXPECT_FALSE(list.AddList(nullptr));
}

TEST(StringList, AddListExactFit)
{
    StringList list;
    FillTo(list, 2040);
    // 7 bytes of strings and the closing NUL fill the 8 free bytes.
    EXPECT_TRUE(list.AddList("abc\0de\0"));
    EXPECT_EQ(2048u, list.GetSize());
    EXPECT_STREQ("de", list.GetAt(list.GetCount() - 1));

    StringList other;
    FillTo(other, 2040);
    EXPECT_FALSE(other.AddList("abc\0def\0"));
    EXPECT_EQ(2041u, other.GetSize());
    EXPECT_EQ(204, other.GetCount());
}

// A list longer than the free space is never read past that space, even
// when it is not closed at all.
TEST(StringList, AddListOfUnclosedListStaysInside)
{
    const size_t size = 3000;
    std::unique_ptr<char[]> huge(new char[size]);
    memset(huge.get(), 'x', size);
    StringList list;
    EXPECT_FALSE(list.AddList(huge.get()));
    EXPECT_EQ(0, list.GetCount());
    EXPECT_FALSE(list.Add(huge.get()));
    EXPECT_EQ(1u, list.GetSize());
}

TEST(StringList, ConstructedFromAList)
{
    StringList list("KVFold\0KVBinding\0");
    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ("KVFold\\0KVBinding\\0\\0", Printable(list.GetBuffer(), list.GetSize()));
    StringList empty("");
    EXPECT_EQ(0, empty.GetCount());
}

}  // namespace
