// Conformance tests of the UUID functions.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> WString;

RPC_WSTR Rpc(const WCHAR *text) { return reinterpret_cast<RPC_WSTR>(const_cast<WCHAR *>(text)); }

WString TextOf(const UUID &id)
{
    RPC_WSTR text = nullptr;
    EXPECT_EQ(RPC_S_OK, UuidToStringW(&id, &text));
    WString out = text ? reinterpret_cast<const WCHAR *>(text) : TEXT("<none>");
    EXPECT_EQ(RPC_S_OK, RpcStringFreeW(&text));
#ifdef KV_WINE_DIFFERS
    if (!KV_WINE_DIFFERS(true, "RpcStringFreeW frees the text but leaves the caller's pointer; Windows sets it to NULL"))
#endif
    {
        EXPECT_EQ(nullptr, text);
    }
    return out;
}

TEST(Uuid, TextIsTheLowerCaseThirtySixCharacterForm)
{
    const UUID id = {0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    EXPECT_EQ(WString(TEXT("0123abcd-4567-89ef-fedc-ba9876543210")), TextOf(id));
    EXPECT_EQ(WString(TEXT("00000000-0000-0000-0000-000000000000")), TextOf(UUID{}));
}

TEST(Uuid, NullUuidIsTheNilText)
{
    RPC_WSTR text = nullptr;
    ASSERT_EQ(RPC_S_OK, UuidToStringW(nullptr, &text));
    EXPECT_EQ(WString(TEXT("00000000-0000-0000-0000-000000000000")), WString(reinterpret_cast<WCHAR *>(text)));
    RpcStringFreeW(&text);
}

TEST(Uuid, CreatedUuidsAreRandomVersionFourAndRoundTrip)
{
    std::set<WString> seen;
    for (int i = 0; i < 50; ++i) {
        UUID id;
        ASSERT_EQ(RPC_S_OK, UuidCreate(&id));
        EXPECT_EQ(0x4000, id.Data3 & 0xF000) << "version";
        EXPECT_EQ(0x80, id.Data4[0] & 0xC0) << "variant";
        WString text = TextOf(id);
        ASSERT_EQ(36u, text.size());
        for (size_t k = 0; k < text.size(); ++k) {
            const WCHAR c = text[k];
            if (k == 8 || k == 13 || k == 18 || k == 23) {
                EXPECT_EQ(u'-', c) << "position " << k;
            } else {
                EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) << "position " << k;
            }
        }
        UUID back;
        ASSERT_EQ(RPC_S_OK, UuidFromStringW(Rpc(text.c_str()), &back));
        EXPECT_TRUE(IsEqualGUID(id, back));
        seen.insert(text);
    }
    EXPECT_EQ(50u, seen.size());
}

TEST(Uuid, FromStringTakesEitherCase)
{
    UUID id;
    ASSERT_EQ(RPC_S_OK, UuidFromStringW(Rpc(TEXT("0123ABCD-4567-89EF-FEDC-BA9876543210")), &id));
    const UUID expected = {0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    EXPECT_TRUE(IsEqualGUID(expected, id));
    ASSERT_EQ(RPC_S_OK, UuidFromStringW(nullptr, &id));
    EXPECT_TRUE(IsEqualGUID(UUID{}, id)) << "no text is the nil UUID";
}

TEST(Uuid, FromStringRefusesEverythingElse)
{
    const WCHAR *cases[] = {
        TEXT(""),
        TEXT("0123abcd-4567-89ef-fedc-ba987654321"),     // one digit short
        TEXT("0123abcd-4567-89ef-fedc-ba98765432100"),   // one digit more
        TEXT("{0123abcd-4567-89ef-fedc-ba9876543210}"),  // braces
        TEXT("0123abcd-4567-89ef-fedc_ba9876543210"),    // wrong separator
        TEXT("0123abcd-4567-89ef-fedcba-9876543210"),    // separator moved
        TEXT("0123abcg-4567-89ef-fedc-ba9876543210"),    // not a digit
        TEXT("0123abcd 4567-89ef-fedc-ba9876543210"),
        u"0123abcd-4567-89ef-fedc-ba987654321\uFF10",    // full-width digit
    };
    for (const WCHAR *text : cases) {
        UUID id = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
        const UUID before = id;
        EXPECT_EQ(RPC_S_INVALID_STRING_UUID, UuidFromStringW(Rpc(text), &id)) << WString(text).size();
        EXPECT_TRUE(IsEqualGUID(before, id)) << "left unchanged";
    }
}

TEST(Uuid, ToStringReportsOutOfMemory)
{
    kvp::SystemFailNext(kvp::Fault::Allocation);
    UUID id{};
    RPC_WSTR text = Rpc(TEXT("stale"));
    EXPECT_EQ(RPC_S_OUT_OF_MEMORY, UuidToStringW(&id, &text));
    EXPECT_EQ(nullptr, text);
}

TEST(Uuid, NullOutputsAreRefused)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("null output pointers: Windows documents no answer, and Wine faults");
#endif
    EXPECT_EQ(RPC_S_INVALID_ARG, UuidCreate(nullptr));
    EXPECT_EQ(RPC_S_INVALID_ARG, UuidToStringW(nullptr, nullptr));
    EXPECT_EQ(RPC_S_INVALID_ARG, UuidFromStringW(Rpc(TEXT("x")), nullptr));
    RPC_WSTR none = nullptr;
    EXPECT_EQ(RPC_S_OK, RpcStringFreeW(&none));
}

}  // namespace
