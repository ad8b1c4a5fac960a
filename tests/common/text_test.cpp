// Text rules, character classes and the stored form of a PIN.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "coremain.h"
#include "kvp/system.h"
#include "text.h"

namespace {

// The checks of wide text take their work memory from the module's heap.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ModuleAttach(nullptr)); }
    void TearDown() override { ModuleDetach(); }
};

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// The user ID and the PIN rules of the shipped model data.
constexpr DWORD kUserIdFlags = 0x006C0003;
constexpr WORD kUserIdMin = 1, kUserIdMax = 24;
constexpr DWORD kPinFlags = 0x1;
constexpr WORD kPinMin = 4, kPinMax = 7;

TEST(ByteClassTable, BoundariesOfEveryRangeInEachTable)
{
    struct Case {
        BYTE byte;
        WORD sjis, eightBit, euc;
    } cases[] = {
        {0x00, 0x8000, 0x8000, 0x8000}, {0x1F, 0x8000, 0x8000, 0x8000}, {0x20, 0x2, 0x2, 0x2},
        {0x2F, 0x2, 0x2, 0x2},          {0x30, 0x1, 0x1, 0x1},          {0x39, 0x1, 0x1, 0x1},
        {0x3A, 0x2, 0x2, 0x2},          {0x7E, 0x2, 0x2, 0x2},          {0x7F, 0x8000, 0x8000, 0x8000},
        {0x80, 0x8000, 0x8000, 0x8000}, {0x81, 0x8, 0x8000, 0x8000},    {0x9F, 0x8, 0x8000, 0x8000},
        {0xA0, 0x8000, 0x10, 0x8000},   {0xA1, 0x4, 0x10, 0x20},        {0xDF, 0x4, 0x10, 0x20},
        {0xE0, 0x8, 0x10, 0x20},        {0xFC, 0x8, 0x10, 0x20},        {0xFD, 0x8000, 0x10, 0x20},
        {0xFE, 0x8000, 0x10, 0x20},     {0xFF, 0x8000, 0x10, 0x8000},
    };
    const WORD *sjis = GetByteClassTable(0);
    const WORD *eightBit = GetByteClassTable(TEXT_CLASS_HIGH);
    const WORD *euc = GetByteClassTable(TEXT_CLASS_EUC);
    for (const Case &c : cases) {
        EXPECT_EQ(c.sjis, sjis[c.byte]) << "Shift-JIS table, byte " << std::hex << int(c.byte);
        EXPECT_EQ(c.eightBit, eightBit[c.byte]) << "8-bit table, byte " << std::hex << int(c.byte);
        EXPECT_EQ(c.euc, euc[c.byte]) << "EUC table, byte " << std::hex << int(c.byte);
    }
    // The 8-bit table wins over the EUC one when a rule names both.
    EXPECT_EQ(eightBit, GetByteClassTable(TEXT_CLASS_HIGH | TEXT_CLASS_EUC));
}

TEST(ClassifyText, ClassSetAndBlankMark)
{
    struct Case {
        const char *text;
        DWORD flags;
        DWORD expected;
    } cases[] = {
        {"", 0, 0},
        {"   ", 0, 0x10002},
        {"   ", TEXT_NO_SPACE, 0x18000},
        {"a b", TEXT_NO_SPACE, 0x8002},
        {"a b", 0, 0x2},
        {"\"", TEXT_NO_QUOTE, 0x8000},
        {" \" ", 0, 0x2},
        {"12.5", 0, 0x3},
        {"12.5", TEXT_DOT_IS_DIGIT, 0x1},
        {".", TEXT_DOT_IS_DIGIT, 0x1},
        // In the number mode the space and quote options are not looked at.
        {" ", TEXT_DOT_IS_DIGIT | TEXT_NO_SPACE, 0x10002},
        {"\"", TEXT_DOT_IS_DIGIT | TEXT_NO_QUOTE, 0x2},
        {"\x01", 0, 0x8000},
        {"a\x7f", 0, 0x8002},
        {"\xb1\xdf", TEXT_CLASS_KANA, 0x4},
        // Shift-JIS double-byte characters; 0x81 0x40 is the wide space.
        {"\x82\xa0", TEXT_CLASS_SJIS, 0x8},
        {"\x81\x40", TEXT_CLASS_SJIS, 0x10008},
        {" \x81\x40 ", TEXT_CLASS_SJIS, 0x1000A},
        {"\x82\x7f", TEXT_CLASS_SJIS, 0x8000},
        {"\x82\x20", TEXT_CLASS_SJIS, 0x8000},
        {"\xe0\xfc", TEXT_CLASS_SJIS, 0x8},
        // A lead byte without its second byte.
        {"a\x82", TEXT_CLASS_SJIS, 0x8002},
        {" \x82", TEXT_CLASS_SJIS, 0x8002},
        // A lead byte in a rule without double-byte handling stops the walk.
        {"\x82\xa0" "a", TEXT_CLASS_ASCII, 0x8000},
        {"\xe9", TEXT_CLASS_HIGH, 0x10},
        {"\x85", TEXT_CLASS_HIGH, 0x8000},
        {"\xa4\xa2", TEXT_CLASS_EUC, 0x20},
        {"\xa4\x41", TEXT_CLASS_EUC, 0x8000},
        {"\xa1\xa1", TEXT_CLASS_EUC, 0x20},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.expected, ClassifyText(c.text, c.flags))
            << "text \"" << Hex(c.text) << "\" flags 0x" << std::hex << c.flags;
    }
}

TEST(TrimToCharBoundary, NeverLeavesHalfACharacter)
{
    struct Case {
        const char *text;
        DWORD length;
        int mode;
        const char *expected;
    } cases[] = {
        {"ab\x82\xa0\x82\xa2", 5, TRIM_SHIFT_JIS, "ab\x82\xa0"},
        {"ab\x82\xa0\x82\xa2", 4, TRIM_SHIFT_JIS, "ab\x82\xa0"},
        {"ab\x82\xa0\x82\xa2", 3, TRIM_SHIFT_JIS, "ab"},
        {"\x82\xa0", 1, TRIM_SHIFT_JIS, ""},
        // Half-width katakana is one byte.
        {"\xb1\xb2\xb3", 2, TRIM_SHIFT_JIS, "\xb1\xb2"},
        {"\xa4\xa2\xa4\xa4", 3, TRIM_EUC, "\xa4\xa2"},
        {"ab\x82\xa0", 3, TRIM_SINGLE_BYTE, "ab\x82"},
        {"abcdef", 0, TRIM_SINGLE_BYTE, ""},
        {"ab", 2, TRIM_SHIFT_JIS, "ab"},
        // A text shorter than the cut keeps even a dangling lead byte.
        {"a\x82", 5, TRIM_SHIFT_JIS, "a\x82"},
    };
    for (const Case &c : cases) {
        char buffer[16];
        memset(buffer, 0x5A, sizeof(buffer));
        memcpy(buffer, c.text, strlen(c.text) + 1);
        EXPECT_TRUE(TrimToCharBoundary(c.length, c.mode, buffer));
        EXPECT_EQ(Hex(c.expected), Hex(buffer)) << "text \"" << Hex(c.text) << "\" cut at " << c.length;
        // Nothing is written past the text's own terminator.
        EXPECT_EQ(0x5A, buffer[strlen(c.text) + 1]) << "text \"" << Hex(c.text) << "\"";
    }
}

TEST(ValidateText, RuleSteps)
{
    struct Case {
        const char *text;
        DWORD flags;
        WORD minLength, maxLength;
        BOOL ok;
        TextError code;
        const char *after;  // the text after the check
    } cases[] = {
        // Length only: the classes are not looked at, maximum 0 is a limit.
        {"abc", TEXT_MAX_ONLY, 0, 0, FALSE, TEXT_ERROR_TOO_LONG, "abc"},
        {"", TEXT_MAX_ONLY, 0, 0, TRUE, TEXT_ERROR_NONE, ""},
        {"\x01\x02", TEXT_MAX_ONLY | TEXT_CLASS_DIGIT, 0, 2, TRUE, TEXT_ERROR_NONE, "\x01\x02"},
        {"", TEXT_MAX_ONLY | TEXT_EMPTY_ERROR, 0, 5, FALSE, TEXT_ERROR_EMPTY, ""},
        // The cut to the maximum, at a character boundary.
        {"ab\x82\xa0\x82\xa2", TEXT_CLASS_ASCII | TEXT_CLASS_SJIS | TEXT_CUT_TO_MAX, 0, 5, TRUE, TEXT_ERROR_NONE,
         "ab\x82\xa0"},
        {"abcdef", TEXT_CLASS_ASCII | TEXT_CUT_TO_MAX, 0, 4, TRUE, TEXT_ERROR_NONE, "abcd"},
        {"abcdef", TEXT_CLASS_ASCII | TEXT_CUT_TO_MAX, 0, 0, TRUE, TEXT_ERROR_NONE, "abcdef"},
        // Without the cut a long text is refused before its characters.
        {"ab\x01\x02", TEXT_CLASS_ASCII, 0, 3, FALSE, TEXT_ERROR_TOO_LONG, "ab\x01\x02"},
        // Characters, then the minimum.
        {"ab\x01", TEXT_CLASS_ASCII, 5, 0, FALSE, TEXT_ERROR_CHARS, "ab\x01"},
        {"ab", TEXT_CLASS_ASCII, 5, 0, FALSE, TEXT_ERROR_TOO_SHORT, "ab"},
        {"", TEXT_CLASS_ASCII, 5, 0, TRUE, TEXT_ERROR_NONE, ""},
        {"  ", TEXT_CLASS_ASCII, 0, 0, TRUE, TEXT_ERROR_NONE, "  "},
        {"  ", TEXT_CLASS_ASCII | TEXT_NO_BLANK, 0, 0, FALSE, TEXT_ERROR_CHARS, "  "},
        {"\x81\x40", TEXT_CLASS_SJIS | TEXT_NO_BLANK, 0, 0, FALSE, TEXT_ERROR_CHARS, "\x81\x40"},
        // Without classes anything goes.
        {"\x01\xff", 0, 0, 0, TRUE, TEXT_ERROR_NONE, "\x01\xff"},
        {"1.5", TEXT_CLASS_DIGIT | TEXT_DOT_IS_DIGIT, 0, 0, TRUE, TEXT_ERROR_NONE, "1.5"},
        {"1.5", TEXT_CLASS_DIGIT, 0, 0, FALSE, TEXT_ERROR_CHARS, "1.5"},
    };
    for (const Case &c : cases) {
        char buffer[16];
        memcpy(buffer, c.text, strlen(c.text) + 1);
        TextError code = static_cast<TextError>(99);
        EXPECT_EQ(c.ok, ValidateText(buffer, c.flags, c.minLength, c.maxLength, &code))
            << "text \"" << Hex(c.text) << "\" flags 0x" << std::hex << c.flags;
        EXPECT_EQ(c.code, code) << "text \"" << Hex(c.text) << "\" flags 0x" << std::hex << c.flags;
        EXPECT_EQ(Hex(c.after), Hex(buffer)) << "text \"" << Hex(c.text) << "\"";
    }
}

TEST(ValidateText, MissingPointers)
{
    TextError code = TEXT_ERROR_TOO_SHORT;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ValidateText(nullptr, 0, 0, 0, &code));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(TEXT_ERROR_TOO_SHORT, code);
    char text[] = "abc";
    EXPECT_FALSE(ValidateText(text, 0, 0, 0, nullptr));
}

struct WideCase {
    const char16_t *text;
    BOOL ok;
    TextError code;
};

TEST_F(TextTest, UserIdRule)
{
    WideCase cases[] = {
        {u"abc", TRUE, TEXT_ERROR_NONE},
        {u"a", TRUE, TEXT_ERROR_NONE},
        {u"User_01-x", TRUE, TEXT_ERROR_NONE},
        {u"", FALSE, TEXT_ERROR_EMPTY},
        {u"a b", FALSE, TEXT_ERROR_CHARS},
        {u"   ", FALSE, TEXT_ERROR_CHARS},
        {u"a\"b", FALSE, TEXT_ERROR_CHARS},
        {u"abcdefghijklmnopqrstuvwx", TRUE, TEXT_ERROR_NONE},
        {u"abcdefghijklmnopqrstuvwxy", FALSE, TEXT_ERROR_TOO_LONG},
        // Not in code page 932 at all.
        {u"ab\u00e9", FALSE, TEXT_ERROR_CHARS},
        {u"ab\uac00", FALSE, TEXT_ERROR_CHARS},
        // In code page 932, but as double-byte text the rule does not allow.
        {u"\uff41", FALSE, TEXT_ERROR_CHARS},
        {u"\u3042", FALSE, TEXT_ERROR_CHARS},
        {u"ab\tc", FALSE, TEXT_ERROR_CHARS},
    };
    for (const WideCase &c : cases) {
        TextError code = static_cast<TextError>(99);
        EXPECT_EQ(c.ok, ValidateWideText(c.text, kUserIdFlags, kUserIdMin, kUserIdMax, &code))
            << "user ID case " << (&c - cases);
        EXPECT_EQ(c.code, code) << "user ID case " << (&c - cases);
    }
}

TEST_F(TextTest, PinRule)
{
    WideCase cases[] = {
        {u"1234", TRUE, TEXT_ERROR_NONE},
        {u"1234567", TRUE, TEXT_ERROR_NONE},
        {u"123", FALSE, TEXT_ERROR_TOO_SHORT},
        {u"12345678", FALSE, TEXT_ERROR_TOO_LONG},
        {u"123a", FALSE, TEXT_ERROR_CHARS},
        {u"12 34", FALSE, TEXT_ERROR_CHARS},
        {u"12.4", FALSE, TEXT_ERROR_CHARS},
        // Full-width digits are double-byte text in the printer's code page.
        {u"\uff11\uff12\uff13\uff14", FALSE, TEXT_ERROR_TOO_LONG},
        {u"\uff11\uff12", FALSE, TEXT_ERROR_CHARS},
        // The rule has no empty-text flag.
        {u"", TRUE, TEXT_ERROR_NONE},
    };
    for (const WideCase &c : cases) {
        TextError code = static_cast<TextError>(99);
        EXPECT_EQ(c.ok, ValidateWideText(c.text, kPinFlags, kPinMin, kPinMax, &code)) << "PIN case " << (&c - cases);
        EXPECT_EQ(c.code, code) << "PIN case " << (&c - cases);
    }
}

TEST_F(TextTest, CutAtMaximumKeepsWholeDoubleByteCharacters)
{
    char output[32];
    memset(output, 0x5A, sizeof(output));
    TextError code = static_cast<TextError>(99);
    EXPECT_TRUE(ValidateWideText(u"ab\u3042\u3044", TEXT_CLASS_ASCII | TEXT_CLASS_SJIS | TEXT_CUT_TO_MAX, 0, 5, &code,
                                 output, sizeof(output)));
    EXPECT_EQ(TEXT_ERROR_NONE, code);
    EXPECT_EQ(Hex("ab\x82\xa0"), Hex(output));
    EXPECT_EQ(4u, strlen(output));
}

TEST_F(TextTest, DoubleByteRulesConvertWithCodePage932)
{
    kvp::SystemSetAnsiCodePage(1252);
    char output[16] = {};
    TextError code = static_cast<TextError>(99);
    EXPECT_TRUE(ValidateWideText(u"\u3042", TEXT_CLASS_SJIS, 0, 0, &code, output, sizeof(output)));
    EXPECT_EQ(TEXT_ERROR_NONE, code);
    EXPECT_EQ(Hex("\x82\xa0"), Hex(output));

    // Half-width katakana alone also asks for 932.
    EXPECT_TRUE(ValidateWideText(u"\uff71", TEXT_CLASS_KANA, 0, 0, &code, output, sizeof(output)));
    EXPECT_EQ(Hex("\xb1"), Hex(output));
}

TEST_F(TextTest, SingleByteRulesUseTheAnsiCodePage)
{
    kvp::SystemSetAnsiCodePage(1252);
    char output[16] = {};
    TextError code = static_cast<TextError>(99);
    EXPECT_TRUE(ValidateWideText(u"caf\u00e9", TEXT_CLASS_ASCII | TEXT_CLASS_HIGH, 0, 0, &code, output, sizeof(output)));
    EXPECT_EQ(Hex("caf\xe9"), Hex(output));
    // In the Shift-JIS table 0xE9 is a lead byte without its second byte.
    EXPECT_FALSE(ValidateWideText(u"caf\u00e9", TEXT_CLASS_ASCII, 0, 0, &code));
    EXPECT_EQ(TEXT_ERROR_CHARS, code);
    // Not in 1252: refused, not replaced by a look-alike or "?".
    EXPECT_FALSE(ValidateWideText(u"a\u3042", TEXT_CLASS_ASCII | TEXT_CLASS_HIGH, 0, 0, &code));
    EXPECT_EQ(TEXT_ERROR_CHARS, code);
    EXPECT_FALSE(ValidateWideText(u"\u0101", TEXT_CLASS_ASCII | TEXT_CLASS_HIGH, 0, 0, &code));
    EXPECT_EQ(TEXT_ERROR_CHARS, code);
}

TEST_F(TextTest, ValidateWideTextCopiesARejectedTextToo)
{
    char output[8];
    memset(output, 0x5A, sizeof(output));
    TextError code = static_cast<TextError>(99);
    EXPECT_FALSE(ValidateWideText(u"12a", kPinFlags, kPinMin, kPinMax, &code, output, sizeof(output)));
    EXPECT_EQ(TEXT_ERROR_CHARS, code);
    EXPECT_STREQ("12a", output);

    // A short output buffer gets what fits, terminated.
    memset(output, 0x5A, sizeof(output));
    EXPECT_TRUE(ValidateWideText(u"abcdefghij", 0, 0, 0, &code, output, 4));
    EXPECT_STREQ("abc", output);
    EXPECT_EQ(0x5A, output[4]);
}

TEST_F(TextTest, WideToCodePage)
{
    char out[8];
    EXPECT_EQ(4, WideToCodePage(out, u"abc", sizeof(out), CP_ACP));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(3, WideToCodePage(out, u"\u3042", sizeof(out), 932));
    EXPECT_EQ(Hex("\x82\xa0"), Hex(out));
    EXPECT_EQ(1, WideToCodePage(out, u"", sizeof(out), CP_ACP));
    EXPECT_STREQ("", out);

    // Too small: nothing half-written is left behind.
    memset(out, 0x5A, sizeof(out));
    EXPECT_EQ(0, WideToCodePage(out, u"abcdefghij", 4, CP_ACP));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, WideToCodePage(nullptr, u"abc", 8, CP_ACP));
    EXPECT_EQ(0, WideToCodePage(out, nullptr, 8, CP_ACP));
    EXPECT_EQ(0, WideToCodePage(out, u"abc", 0, CP_ACP));
}

TEST(XorWithKey, ScramblesWithTheKeyAndReportsResults)
{
    const BYTE in[] = {'1', '2', '3', '4', '5', '6'};
    BYTE out[8] = {};
    int outLength = -1;
    ASSERT_EQ(CODEC_OK, XorWithKey(in, 6, out, &outLength, sizeof(out)));
    EXPECT_EQ(6, outLength);
    const BYTE expected[] = {0x5F, 0x43, 0x49, 0x56, 0x5B, 0x47};  // "1234" ^ "nqzb", "56" ^ "nq"
    EXPECT_EQ(0, memcmp(expected, out, 6));

    // The same operation undoes itself.
    BYTE back[8] = {};
    ASSERT_EQ(CODEC_OK, XorWithKey(out, 6, back, &outLength, 6));
    EXPECT_EQ(0, memcmp(in, back, 6));

    // Whole groups only in a short output.
    memset(out, 0, sizeof(out));
    EXPECT_EQ(CODEC_OUTPUT_TOO_SMALL, XorWithKey(in, 6, out, &outLength, 5));
    EXPECT_EQ(4, outLength);
    EXPECT_EQ(0, out[4]);

    EXPECT_EQ(CODEC_NULL_POINTER, XorWithKey(nullptr, 6, out, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, XorWithKey(in, 6, nullptr, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, XorWithKey(in, 6, out, nullptr, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, XorWithKey(in, 0, out, &outLength, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, XorWithKey(in, 6, out, &outLength, 0));
    EXPECT_EQ(CODEC_BAD_LENGTH, XorWithKey(in, -1, out, &outLength, 8));
}

// The test vectors of RFC 4648.
struct Base64Vector {
    const char *plain;
    const char *encoded;
} const kBase64Vectors[] = {
    {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64Encode, Rfc4648Vectors)
{
    for (const Base64Vector &v : kBase64Vectors) {
        char out[16];
        memset(out, 0x5A, sizeof(out));
        int outLength = -1;
        ASSERT_EQ(CODEC_OK, Base64Encode(reinterpret_cast<const BYTE *>(v.plain), static_cast<int>(strlen(v.plain)), out,
                                         &outLength, sizeof(out)))
            << v.plain;
        EXPECT_EQ(std::string(v.encoded), std::string(out, outLength)) << v.plain;
        EXPECT_EQ(0x5A, out[outLength]) << "no terminator for " << v.plain;
    }
    const BYTE all[] = {0x00, 0xFB, 0xFF};
    char out[4];
    int outLength = 0;
    ASSERT_EQ(CODEC_OK, Base64Encode(all, 3, out, &outLength, 4));
    EXPECT_EQ("APv/", std::string(out, 4));
}

TEST(Base64Encode, Results)
{
    const BYTE in[] = {'f', 'o', 'o', 'b'};
    char out[8];
    int outLength = -1;
    EXPECT_EQ(CODEC_OUTPUT_TOO_SMALL, Base64Encode(in, 4, out, &outLength, 7));
    EXPECT_EQ(4, outLength);
    EXPECT_EQ(CODEC_NULL_POINTER, Base64Encode(nullptr, 4, out, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, Base64Encode(in, 4, nullptr, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, Base64Encode(in, 4, out, nullptr, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, Base64Encode(in, 0, out, &outLength, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, Base64Encode(in, 4, out, &outLength, 0));
}

TEST(Base64Decode, Rfc4648Vectors)
{
    for (const Base64Vector &v : kBase64Vectors) {
        BYTE out[16] = {};
        int outLength = -1;
        ASSERT_EQ(CODEC_OK, Base64Decode(v.encoded, static_cast<int>(strlen(v.encoded)), out, &outLength, sizeof(out)))
            << v.encoded;
        EXPECT_EQ(std::string(v.plain), std::string(reinterpret_cast<char *>(out), outLength)) << v.encoded;
    }
}

// Text that is not clean Base64: white space is skipped; "=" and any
// character outside the alphabet end the data.
TEST(Base64Decode, ForeignCharactersEndTheData)
{
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {" Zm9v\r\n\tYmFy ", "foobar"},
        {"Zm9vYg", "foob"},
        {"Zm9vYmE", "fooba"},
        {"Zm9vY", "foo"},
        {"Zm9v!mFy", "foo"},
        {"Zm!v", "f"},
        {"Z!", ""},
        {"!Zm9v", ""},
        {"=Zm9v", ""},
        {"Zm9v=Zm9v", "foo"},
        {"Zg==Zm9v", "f"},
        {"Zm9v-_", "foo"},
        {std::string("Zm9v\0Zm9v", 9), "foo"},
        {"Zm9v\xc3\xa9", "foo"},
        {"    ", ""},
    };
    for (const Case &c : cases) {
        // Exactly the text's size, so that a read past it is caught.
        std::vector<char> text(c.text.begin(), c.text.end());
        BYTE out[16] = {};
        int outLength = -1;
        EXPECT_EQ(CODEC_OK, Base64Decode(text.data(), static_cast<int>(text.size()), out, &outLength, sizeof(out)))
            << Hex(c.text);
        EXPECT_EQ(Hex(c.expected), Hex(std::string(reinterpret_cast<char *>(out), outLength))) << Hex(c.text);
    }
}

TEST(Base64Decode, NeedsThreeBytesPerStartedGroup)
{
    BYTE out[8] = {};
    int outLength = -1;
    EXPECT_EQ(CODEC_OUTPUT_TOO_SMALL, Base64Decode("Zm9vYg==", 8, out, &outLength, 5));
    EXPECT_EQ(3, outLength);
    EXPECT_EQ(CODEC_OK, Base64Decode("Zm9vYg==", 8, out, &outLength, 6));
    EXPECT_EQ(4, outLength);
    EXPECT_EQ(CODEC_OUTPUT_TOO_SMALL, Base64Decode("Zg==", 4, out, &outLength, 2));

    EXPECT_EQ(CODEC_NULL_POINTER, Base64Decode(nullptr, 4, out, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, Base64Decode("Zg==", 4, nullptr, &outLength, 8));
    EXPECT_EQ(CODEC_NULL_POINTER, Base64Decode("Zg==", 4, out, nullptr, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, Base64Decode("Zg==", 0, out, &outLength, 8));
    EXPECT_EQ(CODEC_BAD_LENGTH, Base64Decode("Zg==", 4, out, &outLength, -3));
}

std::u16string AsciiPin(int length)
{
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&'()*+,-./:;<=>?@";
    std::u16string pin;
    for (int i = 0; i < length; ++i) pin += static_cast<char16_t>(alphabet[(i * 7) % (sizeof(alphabet) - 1)]);
    return pin;
}

TEST_F(TextTest, EncodePinStoredForm)
{
    WCHAR stored[PIN_TEXT_CAPACITY];
    ASSERT_TRUE(EncodePin(u"1234", stored));
    EXPECT_EQ(std::u16string(u"X0NJVg=="), std::u16string(stored));
    ASSERT_TRUE(EncodePin(u"1234567", stored));
    EXPECT_EQ(std::u16string(u"X0NJVltHTQ=="), std::u16string(stored));
}

TEST_F(TextTest, PinRoundTripOf1To63Characters)
{
    for (int length = 1; length <= 63; ++length) {
        std::u16string pin = AsciiPin(length);
        WCHAR stored[PIN_TEXT_CAPACITY];
        WCHAR decoded[PIN_TEXT_CAPACITY];
        ASSERT_TRUE(EncodePin(reinterpret_cast<LPCWSTR>(pin.c_str()), stored)) << "length " << length;
        EXPECT_NE(pin, std::u16string(stored)) << "length " << length;
        ASSERT_TRUE(DecodePin(stored, decoded)) << "length " << length;
        EXPECT_EQ(pin, std::u16string(decoded)) << "length " << length;
    }
}

TEST_F(TextTest, EmptyPinIsStoredEmpty)
{
    WCHAR text[PIN_TEXT_CAPACITY] = {'x', 0};
    ASSERT_TRUE(EncodePin(u"", text));
    EXPECT_EQ(0, text[0]);
    text[0] = 'x';
    ASSERT_TRUE(DecodePin(u"", text));
    EXPECT_EQ(0, text[0]);
}

TEST_F(TextTest, PinLengthLimits)
{
    WCHAR stored[PIN_TEXT_CAPACITY];
    WCHAR decoded[PIN_TEXT_CAPACITY] = {'x', 0};
    // 64 bytes still fit the scratch area, but their 88 characters need 66
    // bytes to decode into: such a PIN could never be read back.
    ASSERT_TRUE(EncodePin(reinterpret_cast<LPCWSTR>(AsciiPin(64).c_str()), stored));
    EXPECT_FALSE(DecodePin(stored, decoded));
    EXPECT_EQ('x', decoded[0]);

    stored[0] = 'x';
    stored[1] = 0;
    EXPECT_FALSE(EncodePin(reinterpret_cast<LPCWSTR>(AsciiPin(65).c_str()), stored));
    EXPECT_EQ('x', stored[0]);
    EXPECT_FALSE(EncodePin(reinterpret_cast<LPCWSTR>(AsciiPin(200).c_str()), stored));
    EXPECT_EQ('x', stored[0]);
}

TEST_F(TextTest, DecodePinOfDamagedStoredForm)
{
    WCHAR decoded[PIN_TEXT_CAPACITY] = {'x', 0};
    // Nothing decodable: no PIN.
    EXPECT_FALSE(DecodePin(u"!!!!", decoded));
    EXPECT_EQ('x', decoded[0]);
    EXPECT_FALSE(DecodePin(u"    ", decoded));
    // The part before the damage is what is decoded.
    ASSERT_TRUE(DecodePin(u"X0NJ!g==", decoded));
    EXPECT_EQ(std::u16string(u"123"), std::u16string(decoded));
    // Longer than the stored form can be.
    std::u16string huge(400, u'A');
    EXPECT_FALSE(DecodePin(reinterpret_cast<LPCWSTR>(huge.c_str()), decoded));

    EXPECT_FALSE(DecodePin(nullptr, decoded));
    EXPECT_FALSE(EncodePin(nullptr, decoded));
    EXPECT_FALSE(DecodePin(u"X0NJVg==", nullptr));
}

}  // namespace
