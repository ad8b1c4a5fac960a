// Conformance of the emulated registry with the Win32 registry calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> W;

const WCHAR kTestKey[] = u"Software\\KvRegistryTest";

// ASCII names for failure messages.
std::string N(const WCHAR *s)
{
    std::string out;
    for (; s && *s; ++s) out.push_back(*s < 0x80 ? static_cast<char>(*s) : '?');
    return out;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &main_, &disposition));
    }
    void TearDown() override { RegCloseKey(main_); }

    void SetSz(HKEY key, const WCHAR *name, const WCHAR *text)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                                                static_cast<DWORD>((W(text).size() + 1) * sizeof(WCHAR))));
    }

    void SetDword(HKEY key, const WCHAR *name, DWORD value)
    {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value));
    }

    HKEY Create(HKEY parent, const WCHAR *path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        return key;
    }

    HKEY main_ = nullptr;
};

TEST_F(RegistryTest, QueryValueSizeProtocol)
{
    SetSz(main_, u"Text", u"Value");  // 12 bytes with the NUL
    struct Case {
        const char *what;
        bool withBuffer;
        DWORD size;
        LONG result;
        DWORD sizeAfter;
        bool filled;
    } cases[] = {
        {"size query", false, 0, ERROR_SUCCESS, 12, false},
        {"size query ignores the given size", false, 3, ERROR_SUCCESS, 12, false},
        {"buffer too small", true, 4, ERROR_MORE_DATA, 12, false},
        {"buffer one byte short", true, 11, ERROR_MORE_DATA, 12, false},
        {"exact buffer", true, 12, ERROR_SUCCESS, 12, true},
        {"larger buffer", true, 64, ERROR_SUCCESS, 12, true},
    };
    for (const auto &c : cases) {
        BYTE buf[64];
        std::memset(buf, 0xAB, sizeof buf);
        DWORD type = 0xdeadbeef, size = c.size;
        LONG rc = RegQueryValueExW(main_, u"Text", nullptr, &type, c.withBuffer ? buf : nullptr, &size);
        EXPECT_EQ(c.result, rc) << c.what;
        EXPECT_EQ(c.sizeAfter, size) << c.what;
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << c.what;
        if (c.filled) {
            EXPECT_EQ(0, std::memcmp(buf, u"Value", 12)) << c.what;
        }
    }
}

TEST_F(RegistryTest, QueryMissingValueIsFileNotFound)
{
    SetDword(main_, u"Present", 1);
    DWORD type = 0, size = 4;
    BYTE buf[4];
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Absent", nullptr, &type, buf, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Absent", nullptr, nullptr, nullptr, &size));
    // A missing value is not a short buffer, even with no buffer at all.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(main_, u"Absent", nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, DefaultValueHasNullOrEmptyName)
{
    SetSz(main_, nullptr, u"dflt");
    WCHAR buf[16];
    DWORD size = sizeof buf;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"", nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size));
    EXPECT_EQ(W(u"dflt"), W(buf));
    SetSz(main_, u"", u"other");
    size = sizeof buf;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(main_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size));
    EXPECT_EQ(W(u"other"), W(buf));
}

TEST_F(RegistryTest, DataIsStoredAsGiven)
{
    const BYTE odd[] = {'a', 0, 'b'};  // REG_SZ without NUL and of odd size
    const BYTE multi[] = {'x', 0, 0, 0, 'y', 0, 0, 0, 0, 0};
    const BYTE bin[] = {0, 1, 2, 0xFF};
    struct Case {
        const char *what;
        const WCHAR *name;
        DWORD type;
        const BYTE *data;
        DWORD size;
    } cases[] = {
        {"odd REG_SZ", u"OddSz", REG_SZ, odd, sizeof odd},
        {"REG_EXPAND_SZ", u"Expand", REG_EXPAND_SZ, odd, 2},
        {"REG_MULTI_SZ", u"Multi", REG_MULTI_SZ, multi, sizeof multi},
        {"REG_BINARY", u"Binary", REG_BINARY, bin, sizeof bin},
        {"empty", u"Empty", REG_BINARY, nullptr, 0},
        {"REG_NONE", u"None", REG_NONE, bin, 1},
        {"REG_QWORD", u"Qword", REG_QWORD, multi, 8},
    };
    for (const auto &c : cases)
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(main_, c.name, 0, c.type, c.data, c.size)) << c.what;
    for (const auto &c : cases) {
        BYTE buf[32];
        DWORD type = 0xdeadbeef, size = sizeof buf;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, c.name, nullptr, &type, buf, &size)) << c.what;
        EXPECT_EQ(c.type, type) << c.what;
        ASSERT_EQ(c.size, size) << c.what;
        if (c.size) {
            EXPECT_EQ(0, std::memcmp(buf, c.data, c.size)) << c.what;
        }
    }
}

TEST_F(RegistryTest, NullPointersAreInvalidParameters)
{
    SetDword(main_, u"V", 7);
    DWORD reserved = 0, size = 4, type;
    BYTE buf[4];
    WCHAR name[8];
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(main_, u"V", nullptr, &type, buf, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(main_, u"V", &reserved, &type, buf, &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(main_, u"x", 0, KEY_READ, nullptr));
    size = 8;
#ifndef _WIN32  // undocumented: Windows looks for the subkey before it looks at the pointers
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumKeyExW(main_, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumKeyExW(main_, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
#else
    (void)name;
#endif
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueW(main_, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(main_, nullptr));
    // Data missing where a size says there is some.
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(main_, u"V", 0, REG_BINARY, nullptr, 1));
    size = sizeof buf;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(main_, u"V", nullptr, &type, buf, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
}

TEST_F(RegistryTest, UnknownHandlesAreInvalid)
{
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7777770));
    HKEY out;
    DWORD size = 4, value = 1;
    WCHAR name[8];
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(bogus, u"x", 0, KEY_READ, &out));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegCreateKeyExW(bogus, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bogus, u"x", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegSetValueExW(bogus, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value));
    size = 8;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExW(bogus, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(bogus, u"x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(bogus, u"x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bogus));
    // A closed handle is as unknown as one never given out.
    HKEY sub = Create(main_, u"Sub");
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(sub));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(sub, u"x", nullptr, nullptr, nullptr, &size));
    // Predefined keys need no opening and survive closing.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &out));
    RegCloseKey(out);
}

TEST_F(RegistryTest, KeyNamesIgnoreCaseAndKeepIt)
{
    RegCloseKey(Create(main_, u"MixedCase\\Inner"));
    for (const WCHAR *path : {u"MixedCase", u"MIXEDCASE", u"mixedcase\\INNER", u"mIxEdCaSe\\inner\\"}) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(main_, path, 0, KEY_READ, &key)) << N(path);
        RegCloseKey(key);
    }
    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"MIXEDcase", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                                             &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(again);
    WCHAR name[32];
    DWORD size = 32;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(main_, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(W(u"MixedCase"), W(name));
    EXPECT_EQ(9u, size);
    size = 32;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(main_, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, ValueNamesIgnoreCaseAndKeepTheFirstCase)
{
    SetDword(main_, u"ValName", 1);
    SetDword(main_, u"VALNAME", 2);
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(main_, u"valname", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(2u, value);
    WCHAR name[32];
    DWORD nameSize = 32;
    DWORD type = 0;
    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(main_, 0, name, &nameSize, nullptr, &type,
                                           reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(W(u"ValName"), W(name));
    EXPECT_EQ(7u, nameSize);
    nameSize = 32;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(main_, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(main_, u"VaLnAmE"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(main_, u"ValName"));
}

TEST_F(RegistryTest, SubkeysEnumerateInNameOrderIgnoringCase)
{
    for (const WCHAR *n : {u"beta", u"Alpha", u"GAMMA", u"alpha2"}) RegCloseKey(Create(main_, n));
    std::vector<W> seen;
    WCHAR name[32];
    for (DWORD i = 0;; ++i) {
        DWORD size = 32;
        LONG rc = RegEnumKeyExW(main_, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, rc);
        seen.push_back(name);
    }
    EXPECT_EQ((std::vector<W>{u"Alpha", u"alpha2", u"beta", u"GAMMA"}), seen);
}

TEST_F(RegistryTest, EnumKeyNameBufferCountsTheNul)
{
    RegCloseKey(Create(main_, u"Five5"));
    struct Case {
        DWORD size;
        LONG result;
    } cases[] = {{0, ERROR_MORE_DATA}, {5, ERROR_MORE_DATA}, {6, ERROR_SUCCESS}, {40, ERROR_SUCCESS}};
    for (const auto &c : cases) {
        WCHAR name[40];
        DWORD size = c.size;
        EXPECT_EQ(c.result, RegEnumKeyExW(main_, 0, name, &size, nullptr, nullptr, nullptr, nullptr)) << c.size;
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(5u, size);
            EXPECT_EQ(W(u"Five5"), W(name));
        }
    }
}

TEST_F(RegistryTest, QueryInfoKeyCountsAndLongestNames)
{
    RegCloseKey(Create(main_, u"Short"));
    RegCloseKey(Create(main_, u"MuchLongerName"));
    RegCloseKey(Create(main_, u"Short\\NotCounted"));
    SetSz(main_, u"AB", u"0123456789");  // 22 bytes
    SetDword(main_, u"LongestValue", 1);
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(main_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                              &values, &maxValueName, &maxValue, nullptr, nullptr));
    EXPECT_EQ(2u, subKeys);
    EXPECT_EQ(14u, maxSubKey);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(12u, maxValueName);
    EXPECT_EQ(22u, maxValue);
}

TEST_F(RegistryTest, CreateKeyReportsDispositionAndMakesIntermediateKeys)
{
    HKEY key = nullptr;
    DWORD disposition = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"One\\Two\\Three", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
    HKEY mid = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(main_, u"One\\Two", 0, KEY_READ, &mid));
    RegCloseKey(mid);
    disposition = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"One\\Two\\Three", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    // Only the last component new still counts as created.
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(main_, u"One\\Two\\Four", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
}

TEST_F(RegistryTest, OpenMissingKeyIsFileNotFound)
{
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(main_, u"Nowhere", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    RegCloseKey(Create(main_, u"Here"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(main_, u"Here\\Nowhere", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(main_, u"\\Here", 0, KEY_READ, &key));
}

TEST_F(RegistryTest, DeleteKeyRefusesKeyWithSubkeys)
{
    RegCloseKey(Create(main_, u"Parent\\Child"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(main_, u"Parent"));
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(main_, u"Parent", 0, KEY_READ, &parent));
    RegCloseKey(parent);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(main_, u"PARENT\\child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(main_, u"Parent"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(main_, u"Parent"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""));
}

TEST_F(RegistryTest, HandleToDeletedKeyAnswersKeyDeleted)
{
    HKEY doomed = Create(main_, u"Doomed");
    SetDword(doomed, u"V", 1);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(main_, u"Doomed"));
    DWORD size = 4, value = 2;
    WCHAR name[8];
    HKEY out;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(doomed, u"V", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegSetValueExW(doomed, u"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value));
    size = 8;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExW(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegCreateKeyExW(doomed, u"Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr));
    // A new key of the same name is another key.
    RegCloseKey(Create(main_, u"Doomed"));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(doomed, u"V", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
}

TEST_F(RegistryTest, AccessRightsOfTheHandleAreEnforced)
{
    SetDword(main_, u"V", 1);
    RegCloseKey(Create(main_, u"Existing"));
    struct Case {
        const char *what;
        REGSAM access;
        bool query, set, enumerate, create;
    } cases[] = {
        {"KEY_READ", KEY_READ, true, false, true, false},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, true, false, false, false},
        {"KEY_WRITE", KEY_WRITE, false, true, false, true},
        {"KEY_SET_VALUE", KEY_SET_VALUE, false, true, false, false},
        {"KEY_CREATE_SUB_KEY", KEY_CREATE_SUB_KEY, false, false, false, true},
        {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS, false, false, true, false},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, true, true, true, true},
        {"GENERIC_READ", 0x80000000, true, false, true, false},
    };
    for (const auto &c : cases) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, c.access, &key)) << c.what;
        DWORD value = 5, size = sizeof value;
        WCHAR name[16];
        DWORD nameSize = 16;
        HKEY sub = nullptr;
        auto expect = [&](bool allowed) { return allowed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED; };
        EXPECT_EQ(expect(c.query), RegQueryValueExW(key, u"V", nullptr, nullptr, reinterpret_cast<BYTE *>(&value),
                                                    &size))
            << c.what;
        EXPECT_EQ(expect(c.set),
                  RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value))
            << c.what;
        EXPECT_EQ(c.set ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, RegDeleteValueW(key, u"Missing")) << c.what;
        EXPECT_EQ(expect(c.enumerate), RegEnumKeyExW(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr))
            << c.what;
#ifdef KV_WINE_DIFFERS
        if (!KV_WINE_DIFFERS(!c.create, "RegCreateKeyExW creates a subkey under a handle without "
                                        "KEY_CREATE_SUB_KEY, which Windows requires"))
#endif
        {
            EXPECT_EQ(expect(c.create),
                      RegCreateKeyExW(key, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr))
                << c.what;
        }
        RegCloseKey(sub);
        RegDeleteKeyW(main_, u"New");
        // Opening what is already there needs no right on the parent.
        sub = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(key, u"Existing", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr))
            << c.what;
        RegCloseKey(sub);
        RegCloseKey(key);
    }
}

TEST_F(RegistryTest, FailedCallLeavesStoredDataAsItWas)
{
    SetDword(main_, u"Kept", 1);
    DWORD value = 2;
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED,
              RegSetValueExW(main_, u"Kept", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value));
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegDeleteValueW(main_, u"Kept"));
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(1));
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED,
              RegCreateKeyExW(main_, u"NotMade", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(nullptr, key);
    kvp::SystemFailNext(kvp::Fault::Registry);
    DWORD size = sizeof value;
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED,
              RegQueryValueExW(main_, u"Kept", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));

    size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(main_, u"Kept", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(main_, u"NotMade", 0, KEY_READ, &key));
}

TEST_F(RegistryTest, CurrentUserBelongsToTheSystemsUser)
{
    kvp::SystemSetUserName("alice");
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\PerUser");
    SetDword(key, u"Owner", 1);
    RegCloseKey(key);
    kvp::SystemSetUserName("bob");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\PerUser", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_USERS, u"alice\\Software\\PerUser", 0, KEY_READ, &key));
    RegCloseKey(key);
    kvp::SystemSetUserName("alice");
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\PerUser", 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, MachineKeysAreSharedByAllUsers)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvShared");
    RegCloseKey(key);
    kvp::SystemSetUserName("someone else");
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\kvshared", 0, KEY_READ, &key));
    RegCloseKey(key);
    // The predefined value in its 32-bit form names the same key.
    HKEY machine32 = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(machine32, u"SOFTWARE\\KvShared", 0, KEY_READ, &key));
    RegCloseKey(key);
}

}  // namespace
