// Property comment lines: the exact line written, and reading lines back,
// of which nothing is trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kvtest_module.h"
#include "memory.h"
#include "propertycodec.h"

namespace {

class PropertyLineTest : public kvtest::AttachedModuleTest {
protected:
    std::string Format(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data, HRESULT expected = S_OK)
    {
        LPSTR line = nullptr;
        DWORD length = 0;
        HRESULT hr = FormatPropertyLine(owner, name, type, size, data, &line, &length);
        EXPECT_EQ(expected, hr);
        if (FAILED(hr)) {
            EXPECT_EQ(nullptr, line);
            return std::string();
        }
        std::string text(line, length);
        EXPECT_EQ(strlen(line), length);
        MemFree(line);
        return text;
    }
};

TEST_F(PropertyLineTest, BeginStreamMarkerLine)
{
    const DWORD three = 3;
    EXPECT_EQ("%KVPS PROPERTY owner=__Serialize__ name=__BeginStream__ type=BINARY size=4 data=03000000\r\n",
              Format("__Serialize__", "__BeginStream__", 1, 4, &three));
}

TEST_F(PropertyLineTest, TypeOtherThanBinaryIsNotImplemented)
{
    const DWORD three = 3;
    for (DWORD type : {0u, 2u, 0xFFFFFFFFu}) Format("o", "n", type, 4, &three, E_NOTIMPL);
}

TEST_F(PropertyLineTest, SizeZeroEndsWithDataAndLineEnd)
{
    EXPECT_EQ("%KVPS PROPERTY owner=JclHandler name=__Serialize__ type=BINARY size=0 data=\r\n",
              Format("JclHandler", "__Serialize__", 1, 0, nullptr));
}

TEST_F(PropertyLineTest, EveryByteValueIsTwoUpperCaseDigits)
{
    BYTE all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<BYTE>(i);
    std::string line = Format("o", "n", 1, sizeof(all), all);
    std::string expected;
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
        expected += kDigits[i >> 4];
        expected += kDigits[i & 15];
    }
    EXPECT_EQ("%KVPS PROPERTY owner=o name=n type=BINARY size=256 data=" + expected + "\r\n", line);
}

TEST_F(PropertyLineTest, HeadThatDoesNotFitItsRoomFails)
{
    // The data's digits have room of their own: a long head must not take
    // theirs, however many bytes there are.
    static const struct {
        size_t ownerLength;
        DWORD size;
        HRESULT expected;
    } kCases[] = {
        {400, 0, E_FAIL},
        {400, 100, E_FAIL},
        {268, 4, S_OK},  // a head of 321 characters
        {269, 4, E_FAIL},
    };
    const BYTE data[100] = {};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.ownerLength);
        std::string owner(c.ownerLength, 'x');
        std::string line = Format(owner.c_str(), "n", 1, c.size, data, c.expected);
        if (c.expected == S_OK) {
            EXPECT_EQ("%KVPS PROPERTY owner=" + owner + " name=n type=BINARY size=4 data=00000000\r\n", line);
        }
    }
}

TEST_F(PropertyLineTest, MissingPointersAreRefused)
{
    LPSTR line = nullptr;
    DWORD length = 0;
    const BYTE byte = 1;
    EXPECT_EQ(E_INVALIDARG, FormatPropertyLine(nullptr, "n", 1, 1, &byte, &line, &length));
    EXPECT_EQ(E_INVALIDARG, FormatPropertyLine("o", nullptr, 1, 1, &byte, &line, &length));
    EXPECT_EQ(E_INVALIDARG, FormatPropertyLine("o", "n", 1, 1, nullptr, &line, &length));
    EXPECT_EQ(E_INVALIDARG, FormatPropertyLine("o", "n", 1, 1, &byte, nullptr, &length));
}

TEST(PropertyLineRecognition, PrefixIsFifteenCharactersExactly)
{
    static const struct {
        const char *text;
        BOOL expected;
    } kCases[] = {
        {"%KVPS PROPERTY owner=a", TRUE},
        {"%KVPS PROPERTY ", TRUE},
        {"%KVPS PROPERTY", FALSE},
        {"%%KVPS PROPERTY owner=a", FALSE},
        {"%kvps property owner=a", FALSE},
        {"%KVPS  PROPERTY owner=a", FALSE},
        {"", FALSE},
    };
    for (const auto &c : kCases) EXPECT_EQ(c.expected, IsPropertyLine(c.text)) << "'" << c.text << "'";
    EXPECT_FALSE(IsPropertyLine(nullptr));
}

TEST(HexCodec, EncodesHighHalfFirstInUpperCase)
{
    char out[3] = {};
    EXPECT_EQ(out + 2, EncodeHexByte(out, 0xA7));
    EXPECT_STREQ("A7", out);
    EXPECT_EQ(out + 2, EncodeHexByte(out, 0x0F));
    EXPECT_STREQ("0F", out);
}

TEST(HexCodec, DecodesOnlyUpperCaseDigits)
{
    static const struct {
        const char *text;
        int expected;  // -1: refused
    } kCases[] = {
        {"00", 0x00}, {"FF", 0xFF}, {"7E", 0x7E}, {"A0", 0xA0}, {"ff", -1},
        {"fF", -1},   {"G0", -1},   {"0G", -1},   {"0", -1},    {" 1", -1},
    };
    for (const auto &c : kCases) {
        BYTE value = 0x55;
        LPCSTR next = DecodeHexByte(&value, c.text);
        if (c.expected < 0) {
            EXPECT_EQ(nullptr, next) << c.text;
            EXPECT_EQ(0x55, value) << c.text;
        } else {
            EXPECT_EQ(c.text + 2, next) << c.text;
            EXPECT_EQ(c.expected, value) << c.text;
        }
    }
}

TEST_F(PropertyLineTest, ParsesWhatWasWrittenAndPointsAtTheNextLine)
{
    const BYTE data[] = {0x00, 0x01, 0xFE, 0xFF, 0x80};
    std::string text = Format("JclHandler", "__Serialize__", 1, sizeof(data), data) + "next line\r\n";
    ParsedProperty parsed;
    ASSERT_EQ(S_OK, ParsePropertyLine(text.c_str(), &parsed));
    EXPECT_STREQ("JclHandler", parsed.owner);
    EXPECT_STREQ("__Serialize__", parsed.name);
    EXPECT_EQ(1u, parsed.type);
    ASSERT_EQ(sizeof(data), parsed.size);
    EXPECT_EQ(0, memcmp(data, parsed.data, sizeof(data)));
    EXPECT_STREQ("next line\r\n", parsed.next);
    MemFree(parsed.data);
}

TEST_F(PropertyLineTest, AnyTypeWordReadsAsTypeOne)
{
    ParsedProperty parsed;
    ASSERT_EQ(S_OK, ParsePropertyLine("%KVPS PROPERTY owner=a name=b type=TEXT size=1 data=41\r\n", &parsed));
    EXPECT_EQ(1u, parsed.type);
    EXPECT_EQ(0x41, parsed.data[0]);
    MemFree(parsed.data);
}

TEST_F(PropertyLineTest, SizeZeroParsesToAnEmptyBlock)
{
    ParsedProperty parsed;
    const char text[] = "%KVPS PROPERTY owner=a name=b type=BINARY size=0 data=\r\n";
    ASSERT_EQ(S_OK, ParsePropertyLine(text, &parsed));
    EXPECT_EQ(0u, parsed.size);
    EXPECT_NE(nullptr, parsed.data);
    EXPECT_EQ(text + strlen(text), parsed.next);
    MemFree(parsed.data);
}

TEST_F(PropertyLineTest, MalformedLinesFailAndFillNothing)
{
    static const char *const kLines[] = {
        // no "data="
        "%KVPS PROPERTY owner=a name=b type=BINARY size=1 \r\n",
        // size field missing, or not a number
        "%KVPS PROPERTY owner=a name=b type=BINARY data=41\r\n",
        "%KVPS PROPERTY owner=a name=b type=BINARY size=x data=41\r\n",
        // a negative size, and one beyond 32 bits
        "%KVPS PROPERTY owner=a name=b type=BINARY size=-1 data=41\r\n",
        "%KVPS PROPERTY owner=a name=b type=BINARY size=99999999999 data=41\r\n",
        // fields out of order or missing
        "%KVPS PROPERTY name=b owner=a type=BINARY size=1 data=41\r\n",
        "%KVPS PROPERTY owner=a type=BINARY size=1 data=41\r\n",
        "%KVPS PROPERTY owner= name=b type=BINARY size=1 data=41\r\n",
        // not a property line
        "%KVPS PROPERTIES owner=a name=b type=BINARY size=1 data=41\r\n",
        "",
        // lower-case digits are not ours
        "%KVPS PROPERTY owner=a name=b type=BINARY size=1 data=4f\r\n",
        // an owner longer than 80 characters leaves the rest of the word
        // where " name=" should be
        "%KVPS PROPERTY owner=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa "
        "name=b type=BINARY size=1 data=41\r\n",
        // the head does not go on into the next line
        "%KVPS PROPERTY owner=a name=b type=BINARY size=1\r\ndata=41\r\n",
    };
    for (const char *line : kLines) {
        ParsedProperty parsed;
        memset(&parsed, 0x5A, sizeof(parsed));
        EXPECT_EQ(E_FAIL, ParsePropertyLine(line, &parsed)) << line;
        EXPECT_EQ(0x5A5A5A5Au, parsed.size) << line;
    }
}

TEST_F(PropertyLineTest, OwnerOfEightyCharactersIsRead)
{
    std::string owner(80, 'o');
    std::string line = "%KVPS PROPERTY owner=" + owner + " name=b type=BINARY size=1 data=41\r\n";
    ParsedProperty parsed;
    ASSERT_EQ(S_OK, ParsePropertyLine(line.c_str(), &parsed));
    EXPECT_EQ(owner, parsed.owner);
    MemFree(parsed.data);
}

// A size field that claims more bytes than the line holds must not have the
// reader decode the next line, or anything after the text, as data.
TEST_F(PropertyLineTest, SizeClaimingMoreThanTheLineHoldsDecodesNothingPastTheLine)
{
    static const char *const kLines[] = {
        "%KVPS PROPERTY owner=a name=b type=BINARY size=4 data=0102\r\n4142434445464748\r\n",
        "%KVPS PROPERTY owner=a name=b type=BINARY size=2 data=01",
        "%KVPS PROPERTY owner=a name=b type=BINARY size=2 data=010",
        "%KVPS PROPERTY owner=a name=b type=BINARY size=2147483647 data=01",
    };
    for (const char *line : kLines) {
        // Exactly the line's bytes on the heap, so reading past it is caught.
        std::unique_ptr<char[]> copy(new char[strlen(line) + 1]);
        memcpy(copy.get(), line, strlen(line) + 1);
        ParsedProperty parsed;
        EXPECT_EQ(E_FAIL, ParsePropertyLine(copy.get(), &parsed)) << line;
    }
}

TEST_F(PropertyLineTest, MissingPointersAreRefusedWhenParsing)
{
    ParsedProperty parsed;
    EXPECT_EQ(E_INVALIDARG, ParsePropertyLine(nullptr, &parsed));
    EXPECT_EQ(E_INVALIDARG, ParsePropertyLine("%KVPS PROPERTY owner=a name=b type=BINARY size=0 data=", nullptr));
}

}  // namespace
