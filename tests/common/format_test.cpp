// Tests of the project's formatter (FormatTextA/W): every conversion, the
// flags and widths, text of the other width through the ANSI code page,
// Windows sizes and truncation.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "format.h"
#include "kvp/system.h"

namespace {

typedef std::basic_string<WCHAR> WString;

std::string A(const char *format, ...)
{
    char buf[256];
    va_list args;
    va_start(args, format);
    int n = FormatTextVA(buf, sizeof buf, format, args);
    va_end(args);
    std::string out(buf);
    if (n != static_cast<int>(out.size())) out += "<answered " + std::to_string(n) + ">";
    return out;
}

WString W(const WCHAR *format, ...)
{
    WCHAR buf[256];
    va_list args;
    va_start(args, format);
    int n = FormatTextVW(buf, sizeof buf / sizeof buf[0], format, args);
    va_end(args);
    WString out(buf);
    if (n != static_cast<int>(out.size())) out += TEXT("<bad answer>");
    return out;
}

std::string Hex(const WString &text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (WCHAR c : text) {
        if (!out.empty()) out += ' ';
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 15];
    }
    return out;
}

struct NarrowCase {
    const char *what;
    std::string expected;
    std::string got;
};

TEST(FormatTextA, Conversions)
{
    const NarrowCase cases[] = {
        {"%d", "42", A("%d", 42)},
        {"%d negative", "-42", A("%d", -42)},
        {"%i smallest", "-2147483648", A("%i", static_cast<int>(INT32_MIN))},
        {"%u", "4294967295", A("%u", 0xFFFFFFFFu)},
        {"%x", "beef", A("%x", 0xBEEFu)},
        {"%X", "BEEF", A("%X", 0xBEEFu)},
        {"%o", "17", A("%o", 15u)},
        {"%c", "A", A("%c", 'A')},
        {"%s", "abc", A("%s", "abc")},
        {"%s null", "(null)", A("%s", static_cast<const char *>(nullptr))},
        {"%%", "100%", A("100%%")},
        {"%p", "0000000000001234", A("%p", reinterpret_cast<void *>(static_cast<uintptr_t>(0x1234)))},
        {"unknown conversion", "%q", A("%q")},
        {"lone percent at the end", "x", A("x%")},
        {"several", "PJL 3 of 7: job", A("%s %d of %u: %s", "PJL", 3, 7u, "job")},
    };
    for (const auto &c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
}

TEST(FormatTextA, WidthsFlagsAndPrecision)
{
    const NarrowCase cases[] = {
        {"%08x", "00001234", A("%08x", 0x1234u)},
        {"%04x wider than the width", "abcde", A("%04x", 0xABCDEu)},
        {"%5d", "   42", A("%5d", 42)},
        {"%-5d", "42   |", A("%-5d|", 42)},
        {"%05d negative", "-0042", A("%05d", -42)},
        {"%-05d ignores the zero", "-42  |", A("%-05d|", -42)},
        {"%+d", "+5", A("%+d", 5)},
        {"% d", " 5", A("% d", 5)},
        {"%+d negative", "-5", A("%+d", -5)},
        {"%.3d", "005", A("%.3d", 5)},
        {"%06.3d: precision wins over zero", "   005", A("%06.3d", 5)},
        {"%#x", "0xff", A("%#x", 255u)},
        {"%#X", "0XFF", A("%#X", 255u)},
        {"%*d", "   7", A("%*d", 4, 7)},
        {"%*d negative width", "7   |", A("%*d|", -4, 7)},
        {"%5s", "  abc", A("%5s", "abc")},
        {"%-5s", "abc  |", A("%-5s|", "abc")},
        {"%.2s", "ab", A("%.2s", "abc")},
        {"%.*s", "a", A("%.*s", 1, "abc")},
        {"%3c", "  A", A("%3c", 'A')},
        {"%-3c", "A  |", A("%-3c|", 'A')},
    };
    for (const auto &c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
}

TEST(FormatTextA, SizesAreTheWindowsOnes)
{
    const NarrowCase cases[] = {
        {"%ld", "-1", A("%ld", static_cast<LONG>(-1))},
        {"%lx", "ffffffff", A("%lx", static_cast<DWORD>(0xFFFFFFFFu))},
        {"%lu then %d", "4000000000 7", A("%lu %d", static_cast<ULONG>(4000000000u), 7)},
        {"%lld", "-5000000000", A("%lld", -5000000000LL)},
        {"%I64d", "-5000000000 1", A("%I64d %d", -5000000000LL, 1)},
        {"%I64x", "123456789abcdef", A("%I64x", 0x123456789ABCDEFULL)},
        {"%hd", "4464", A("%hd", 70000)},
        {"%hu", "65535", A("%hu", -1)},
    };
    for (const auto &c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
}

TEST(FormatTextA, WideTextGoesThroughTheAnsiCodePage)
{
    const NarrowCase cases[] = {
        {"%S Japanese", "\x88\xF3\x8D\xFC", A("%S", u"\u5370\u5237")},
        {"%S half-width katakana", "\xB6\xC5", A("%S", u"\uFF76\uFF85")},
        {"%S a character 932 lacks", "a?b", A("%S", u"a\u0E01b")},
        {"%ls", "\x88\xF3", A("%ls", u"\u5370")},
        {"%ws", "\x88\xF3", A("%ws", u"\u5370")},
        {"%hs stays narrow", "abc", A("%hs", "abc")},
        {"%6S pads the converted bytes", "  \x88\xF3\x8D\xFC", A("%6S", u"\u5370\u5237")},
        {"%.1S cuts characters", "\x88\xF3", A("%.1S", u"\u5370\u5237")},
        {"%S null", "(null)", A("%S", static_cast<const WCHAR *>(nullptr))},
        {"%C", "x", A("%C", u'x')},
        {"%C a double-byte character", "?", A("%C", u'\u5370')},
    };
    for (const auto &c : cases) EXPECT_EQ(c.expected, c.got) << c.what;

    kvp::SystemSetAnsiCodePage(1252);
    EXPECT_EQ("caf\xE9", A("%S", u"caf\u00E9"));
}

TEST(FormatTextW, Conversions)
{
    struct {
        const char *what;
        WString expected;
        WString got;
    } cases[] = {
        {"%s", u"\u5370\u5237", W(TEXT("%s"), u"\u5370\u5237")},
        {"%S narrow through the ANSI code page", u"\u5370x", W(TEXT("%S"), "\x88\xF3x")},
        {"%hs", u"\u5370", W(TEXT("%hs"), "\x88\xF3")},
        {"%ls", TEXT("wide"), W(TEXT("%ls"), TEXT("wide"))},
        {"%c", u"\u3042", W(TEXT("%c"), u'\u3042')},
        {"%C", TEXT("x"), W(TEXT("%C"), 'x')},
        {"%C half-width katakana byte", u"\uFF71", W(TEXT("%C"), '\xB1')},
        {"%s null", TEXT("(null)"), W(TEXT("%s"), static_cast<const WCHAR *>(nullptr))},
        {"%4S", u"   \u5370", W(TEXT("%4S"), "\x88\xF3")},
        {"numbers", TEXT("-0042 beef 0X1F 4294967295"),
         W(TEXT("%05d %x %#X %lu"), -42, 0xBEEFu, 0x1Fu, static_cast<ULONG>(0xFFFFFFFFu))},
        {"%%", TEXT("50%"), W(TEXT("50%%"))},
    };
    for (const auto &c : cases) EXPECT_EQ(Hex(c.expected), Hex(c.got)) << c.what;
}

TEST(FormatText, TruncationAnswersMinusOneWithTerminatedOutput)
{
    struct {
        size_t capacity;
        int answer;
        const char *kept;
    } cases[] = {
        {8, 6, "abcdef"}, {7, 6, "abcdef"}, {6, -1, "abcde"}, {2, -1, "a"}, {1, -1, ""},
    };
    for (const auto &c : cases) {
        char buf[10];
        std::fill(buf, buf + 10, '#');
        EXPECT_EQ(c.answer, FormatTextA(buf, c.capacity, "%s", "abcdef")) << "capacity " << c.capacity;
        EXPECT_STREQ(c.kept, buf) << "capacity " << c.capacity;
        EXPECT_EQ('#', buf[c.capacity]) << "capacity " << c.capacity << ": wrote past the buffer";

        WCHAR wbuf[10];
        std::fill(wbuf, wbuf + 10, u'#');
        EXPECT_EQ(c.answer, FormatTextW(wbuf, c.capacity, TEXT("%d%s"), 1, TEXT("bcdef"))) << "capacity " << c.capacity;
        EXPECT_EQ(std::string(c.kept).size(), WString(wbuf).size()) << "capacity " << c.capacity;
        EXPECT_EQ(u'#', wbuf[c.capacity]) << "capacity " << c.capacity;
    }
    // Padding counts against the capacity as well.
    char pad[6];
    EXPECT_EQ(-1, FormatTextA(pad, sizeof pad, "%8d", 1));
    EXPECT_STREQ("     ", pad);
}

TEST(FormatText, NoBufferAnswersMinusOne)
{
    char untouched = '#';
    EXPECT_EQ(-1, FormatTextA(&untouched, 0, "abc"));
    EXPECT_EQ('#', untouched);
    EXPECT_EQ(-1, FormatTextA(nullptr, 10, "abc"));
    EXPECT_EQ(-1, FormatTextW(nullptr, 10, TEXT("abc")));
    char buf[4];
    EXPECT_EQ(0, FormatTextA(buf, sizeof buf, nullptr));
    EXPECT_STREQ("", buf);
}

}  // namespace
