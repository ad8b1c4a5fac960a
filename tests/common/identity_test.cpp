// Printer identity and the per-user registry store, against the emulated
// spooler and registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "coremain.h"
#include "identity.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "memory.h"

namespace {

typedef std::u16string WText;

const WText kRoot = WText(CORE_DEFAULT_REGISTRY_KEY) + u"PrinterDriverData\\";

// Identities of printers that no longer exist.
const WText kStaleA = u"0a1b2c3d-0000-4000-8000-000000000001";
const WText kStaleB = u"0a1b2c3d-0000-4000-8000-000000000002";
const WText kStaleC = u"0a1b2c3d-0000-4000-8000-000000000003";

WText Wide(const std::string &ascii)
{
    return WText(ascii.begin(), ascii.end());
}

std::string Narrow(const WText &text)
{
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

bool KeyExists(const WText &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The raw value NAME (null: default value) of KEY under HKEY_CURRENT_USER.
bool ReadUserRegistry(const WText &path, LPCWSTR name, DWORD *type, std::vector<BYTE> *data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    BYTE buffer[512];
    DWORD size = sizeof(buffer);
    LONG result = RegQueryValueExW(key, name, nullptr, type, buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    data->assign(buffer, buffer + size);
    return true;
}

// A printer key of the user store as an earlier session left it; ATTRIBUTES
// null leaves the key without default value.
void MakeUserPrinterKey(const WText &id, const DWORD *attributes)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (kRoot + id).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    if (attributes != nullptr) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_BINARY,
                                                reinterpret_cast<const BYTE *>(attributes), sizeof(*attributes)));
    }
    const WCHAR user[] = u"someone";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"OEMSecurePrintUserName", 0, REG_SZ,
                                            reinterpret_cast<const BYTE *>(user), sizeof(user)));
    RegCloseKey(key);
}

DWORD Bytes(const WText &text)
{
    return static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
}

class IdentityTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr))); }

    void TearDown() override
    {
        for (HANDLE printer : open_) ClosePrinter(printer);
        ModuleDetach();
    }

    // Installs a printer and opens it with ACCESS.
    HANDLE AddPrinter(const std::string &name, DWORD attributes = PRINTER_ATTRIBUTE_LOCAL,
                      DWORD access = PRINTER_ALL_ACCESS)
    {
        kvp::PrinterSpec spec;
        spec.name = name;
        spec.attributes = attributes;
        spec.driverName = "KV Test Driver";
        EXPECT_TRUE(kvp::AddPrinter(spec)) << name;
        return Open(name, access);
    }

    HANDLE Open(const std::string &name, DWORD access = PRINTER_ALL_ACCESS)
    {
        WText wide = Wide(name);
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE printer = nullptr;
        EXPECT_TRUE(OpenPrinterW(&wide[0], &printer, &defaults)) << name;
        if (printer != nullptr) open_.push_back(printer);
        return printer;
    }

    static DWORD SetId(HANDLE printer, const WText &text)
    {
        return SetPrinterDataW(printer, const_cast<LPWSTR>(u"OEMPrinterID"), REG_SZ,
                               reinterpret_cast<LPBYTE>(const_cast<char16_t *>(text.c_str())), Bytes(text));
    }

    static WText IdOf(HANDLE printer)
    {
        WCHAR text[kPrinterIdChars] = {};
        EXPECT_TRUE(ReadPrinterIdText(printer, text, sizeof(text)));
        return text;
    }

    std::vector<HANDLE> open_;
};

// ---- identity ---------------------------------------------------------------

TEST_F(IdentityTest, FirstCallStoresUuidTextAndLaterCallsReturnItInBinary)
{
    HANDLE printer = AddPrinter("Plotter");

    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));

    WCHAR text[64] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetPrinterDataW(printer, const_cast<LPWSTR>(u"OEMPrinterID"), &type,
                                             reinterpret_cast<LPBYTE>(text), sizeof(text), &needed));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(74u, needed);  // 36 characters and the NUL
    EXPECT_EQ(36u, WText(text).size());
    UUID expected;
    ASSERT_EQ(RPC_S_OK, UuidFromStringW(reinterpret_cast<RPC_WSTR>(text), &expected));

    BYTE id[16] = {};
    ASSERT_TRUE(GetOrCreatePrinterId(printer, id));
    EXPECT_EQ(0, memcmp(id, &expected, 16));

    // Asked again, the printer keeps the identity it has.
    BYTE again[16] = {};
    ASSERT_TRUE(GetOrCreatePrinterId(printer, again));
    EXPECT_EQ(0, memcmp(again, &expected, 16));
    EXPECT_EQ(WText(text), IdOf(printer));
}

TEST_F(IdentityTest, NonZeroBufferBecomesTheNewIdentity)
{
    HANDLE printer = AddPrinter("Plotter");
    UUID uuid;
    ASSERT_EQ(RPC_S_OK, UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<char16_t *>(
                                            u"12345678-9abc-def0-1234-56789abcdef0")),
                                        &uuid));
    BYTE id[16];
    memcpy(id, &uuid, 16);

    ASSERT_TRUE(GetOrCreatePrinterId(printer, id));

    EXPECT_EQ(0, memcmp(id, &uuid, 16));
    EXPECT_EQ(u"12345678-9abc-def0-1234-56789abcdef0", IdOf(printer));
}

TEST_F(IdentityTest, StoredTextThatIsNoUuidLeavesTheBufferAlone)
{
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_EQ(ERROR_SUCCESS, SetId(printer, u"not a uuid"));
    BYTE id[16];
    memset(id, 0xA5, sizeof(id));

    EXPECT_TRUE(GetOrCreatePrinterId(printer, id));

    for (BYTE b : id) EXPECT_EQ(0xA5, b);
    EXPECT_EQ(u"not a uuid", IdOf(printer));
}

TEST_F(IdentityTest, NoPrinterNoIdentity)
{
    BYTE id[16] = {};
    EXPECT_FALSE(GetOrCreatePrinterId(nullptr, id));
    WCHAR text[kPrinterIdChars];
    EXPECT_FALSE(ReadPrinterIdText(nullptr, text, sizeof(text)));
}

TEST_F(IdentityTest, IdentityThatCannotBeStoredIsNotCreated)
{
    AddPrinter("Plotter");
    HANDLE user = Open("Plotter", PRINTER_ACCESS_USE);
    BYTE id[16] = {};

    EXPECT_FALSE(GetOrCreatePrinterId(user, id));

    for (BYTE b : id) EXPECT_EQ(0, b);
}

TEST_F(IdentityTest, ReadPrinterIdTextStaysInsideWhatWasStored)
{
    struct Case {
        const char *what;
        std::vector<char16_t> stored;  // the raw value, NUL or not
        DWORD type;
        DWORD bufferBytes;
        bool ok;
        WText text;
    };
    const Case cases[] = {
        {"text with NUL", {u'a', u'b', u'c', 0}, REG_SZ, 128, true, u"abc"},
        {"text without NUL", {u'a', u'b', u'c'}, REG_SZ, 128, true, u"abc"},
        {"fills buffer without NUL", {u'a', u'b', u'c', u'd'}, REG_SZ, 8, false, u""},
        {"fills buffer with NUL", {u'a', u'b', u'c', 0}, REG_SZ, 8, true, u"abc"},
        {"larger than buffer", {u'a', u'b', u'c', u'd', u'e', 0}, REG_SZ, 8, false, u""},
        {"empty", {0}, REG_SZ, 128, false, u""},
        {"binary", {u'a', u'b', 0}, REG_BINARY, 128, false, u""},
    };
    HANDLE printer = AddPrinter("Plotter");
    for (const Case &c : cases) {
        ASSERT_EQ(ERROR_SUCCESS,
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"OEMPrinterID"), c.type,
                                  reinterpret_cast<LPBYTE>(const_cast<char16_t *>(c.stored.data())),
                                  static_cast<DWORD>(c.stored.size() * sizeof(char16_t))));
        WCHAR buffer[65];
        for (WCHAR &w : buffer) w = u'#';
        BOOL ok = ReadPrinterIdText(printer, buffer, c.bufferBytes);
        EXPECT_EQ(c.ok, ok != FALSE) << c.what;
        if (c.ok) {
            EXPECT_EQ(c.text, WText(buffer)) << c.what;
        }
        // Nothing beyond the given size is touched.
        EXPECT_EQ(u'#', buffer[c.bufferBytes / sizeof(WCHAR)]) << c.what;
    }
}

// ---- key paths ----------------------------------------------------------------

TEST_F(IdentityTest, UserStoreRootNeedsRoomForItsNul)
{
    WCHAR buffer[128];
    DWORD length = static_cast<DWORD>(kRoot.size());

    EXPECT_FALSE(BuildUserStoreRoot(buffer, length));
    ASSERT_TRUE(BuildUserStoreRoot(buffer, length + 1));
    EXPECT_EQ(kRoot, WText(buffer));
    EXPECT_EQ(u"Software\\Korvane\\KV PostScript Printer Driver\\PrinterDriverData\\", WText(buffer));
}

TEST_F(IdentityTest, UserKeyPathSplitsValuePathAtItsLastBackslash)
{
    struct Case {
        const char16_t *valuePath;
        const char16_t *subkeys;  // appended to the printer key
        const char16_t *valueName;
    };
    const Case cases[] = {
        {u"OEMSecurePrintUserName", u"", u"OEMSecurePrintUserName"},
        {u"Jobs\\OEMSecurePrintPIN", u"\\Jobs", u"OEMSecurePrintPIN"},
        {u"Jobs\\Held\\Count", u"\\Jobs\\Held", u"Count"},
        {u"Jobs\\", u"\\Jobs", u""},
    };
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_EQ(ERROR_SUCCESS, SetId(printer, kStaleA));
    for (const Case &c : cases) {
        WCHAR path[512];
        LPCWSTR name = nullptr;
        ASSERT_TRUE(BuildUserKeyPath(printer, c.valuePath, path, 512, &name)) << Narrow(c.valuePath);
        EXPECT_EQ(kRoot + kStaleA + c.subkeys, WText(path)) << Narrow(c.valuePath);
        EXPECT_EQ(WText(c.valueName), WText(name)) << Narrow(c.valuePath);
    }
}

TEST_F(IdentityTest, UserKeyPathFailsWithoutIdentityOrRoom)
{
    HANDLE printer = AddPrinter("Plotter");
    WCHAR path[512];
    LPCWSTR name = nullptr;
    EXPECT_FALSE(BuildUserKeyPath(printer, u"Value", path, 512, &name));

    ASSERT_EQ(ERROR_SUCCESS, SetId(printer, kStaleA));
    DWORD printerKey = static_cast<DWORD>((kRoot + kStaleA).size());
    EXPECT_FALSE(BuildUserKeyPath(printer, u"Value", path, printerKey, &name));
    EXPECT_TRUE(BuildUserKeyPath(printer, u"Value", path, printerKey + 1, &name));
    // "\Sub" needs four more characters.
    EXPECT_FALSE(BuildUserKeyPath(printer, u"Sub\\Value", path, printerKey + 4, &name));
    EXPECT_TRUE(BuildUserKeyPath(printer, u"Sub\\Value", path, printerKey + 5, &name));
}

// ---- reading and writing per-user values -------------------------------------

TEST_F(IdentityTest, FirstWriteCreatesPrinterKeyWithAttributeBits)
{
    const DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_QUEUED;
    HANDLE printer = AddPrinter("Plotter", attributes);
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const WText key = kRoot + IdOf(printer);
    const WText user = u"tanaka";

    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"OEMSecurePrintUserName", REG_SZ,
                                            reinterpret_cast<const BYTE *>(user.c_str()), Bytes(user), FALSE));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadUserRegistry(key, nullptr, &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(4u, data.size());
    DWORD stored = 0;
    memcpy(&stored, data.data(), 4);
    EXPECT_EQ(attributes, stored);

    ASSERT_TRUE(ReadUserRegistry(key, u"OEMSecurePrintUserName", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(Bytes(user), data.size());
    EXPECT_EQ(0, memcmp(data.data(), user.c_str(), data.size()));
}

TEST_F(IdentityTest, ValuePathWithSubkeyLandsInThatSubkey)
{
    HANDLE printer = AddPrinter("Plotter", PRINTER_ATTRIBUTE_LOCAL);
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const WText key = kRoot + IdOf(printer);
    const DWORD count = 7;

    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"Held\\Count", REG_DWORD,
                                            reinterpret_cast<const BYTE *>(&count), sizeof(count), FALSE));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadUserRegistry(key + u"\\Held", u"Count", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>({7, 0, 0, 0}), data);
    EXPECT_FALSE(ReadUserRegistry(key, u"Count", &type, &data));
    // The attribute bits sit on the printer key, where the clean-up looks.
    ASSERT_TRUE(ReadUserRegistry(key, nullptr, &type, &data));
    EXPECT_EQ(std::vector<BYTE>({0x40, 0, 0, 0}), data);

    DWORD read = 0, needed = 0;
    EXPECT_EQ(ERROR_SUCCESS, ReadUserValue(printer, u"Held\\Count", &type, reinterpret_cast<LPBYTE>(&read),
                                           sizeof(read), &needed, FALSE));
    EXPECT_EQ(7u, read);
    EXPECT_EQ(4u, needed);
}

TEST_F(IdentityTest, ValuesBelongToTheUserWhoWroteThem)
{
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const WText pin = u"1234";
    kvp::SystemSetUserName("sato");
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"OEMSecurePrintPIN", REG_SZ,
                                            reinterpret_cast<const BYTE *>(pin.c_str()), Bytes(pin), FALSE));

    kvp::SystemSetUserName("suzuki");
    WCHAR buffer[16] = {};
    DWORD type = 0, needed = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadUserValue(printer, u"OEMSecurePrintPIN", &type,
                                                  reinterpret_cast<LPBYTE>(buffer), sizeof(buffer), &needed, FALSE));

    kvp::SystemSetUserName("sato");
    EXPECT_EQ(ERROR_SUCCESS, ReadUserValue(printer, u"OEMSecurePrintPIN", &type, reinterpret_cast<LPBYTE>(buffer),
                                           sizeof(buffer), &needed, FALSE));
    EXPECT_EQ(pin, WText(buffer));
}

TEST_F(IdentityTest, PrinterDefaultFlagUsesPrinterDataOnly)
{
    HANDLE printer = AddPrinter("Plotter");
    const WText admin = u"admin-default";
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"OEMSecurePrintUserName", REG_SZ,
                                            reinterpret_cast<const BYTE *>(admin.c_str()), Bytes(admin), TRUE));
    // The printer has no identity, so a per-user store could not even be found.
    EXPECT_FALSE(KeyExists(kRoot));

    WCHAR stored[32] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetPrinterDataW(printer, const_cast<LPWSTR>(u"OEMSecurePrintUserNameDefault"), &type,
                                             reinterpret_cast<LPBYTE>(stored), sizeof(stored), &needed));
    EXPECT_EQ(admin, WText(stored));

    // With a per-user value of the same name present, the flag still reads
    // the printer's default and leaves the user's registry as it was.
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const WText mine = u"mine";
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"OEMSecurePrintUserName", REG_SZ,
                                            reinterpret_cast<const BYTE *>(mine.c_str()), Bytes(mine), FALSE));
    WCHAR buffer[32] = {};
    ASSERT_EQ(ERROR_SUCCESS, ReadUserValue(printer, u"OEMSecurePrintUserName", &type,
                                           reinterpret_cast<LPBYTE>(buffer), sizeof(buffer), &needed, TRUE));
    EXPECT_EQ(admin, WText(buffer));
    EXPECT_EQ(Bytes(admin), needed);

    // And a missing default is the spooler's answer, not the user's value.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadUserValue(printer, u"OEMSecurePrintPIN", &type,
                                                  reinterpret_cast<LPBYTE>(buffer), sizeof(buffer), &needed, TRUE));
}

TEST_F(IdentityTest, PrinterDefaultFlagNeverOpensTheUserRegistry)
{
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const WText admin = u"admin";
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"OEMSecurePrintUserName", REG_SZ,
                                            reinterpret_cast<const BYTE *>(admin.c_str()), Bytes(admin), TRUE));
    // Take the user's store away under another user: a read through the
    // user's registry would now fail.
    kvp::SystemSetUserName("nobody-has-a-store");

    WCHAR buffer[32] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, ReadUserValue(printer, u"OEMSecurePrintUserName", &type,
                                           reinterpret_cast<LPBYTE>(buffer), sizeof(buffer), &needed, TRUE));
    EXPECT_EQ(admin, WText(buffer));
    EXPECT_FALSE(KeyExists(kRoot));
}

TEST_F(IdentityTest, ReadAndWriteAnswerWindowsErrorCodes)
{
    HANDLE noId = AddPrinter("Plain");
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const DWORD one = 1;
    BYTE buffer[8];
    DWORD type = 0, needed = 0;

    struct Case {
        const char *what;
        HANDLE printer;
        const char16_t *valuePath;
        DWORD readError;
        DWORD writeError;
    };
    const Case cases[] = {
        {"no printer", nullptr, u"Value", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},
        {"no value path", printer, nullptr, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {"no identity", noId, u"Value", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.readError, ReadUserValue(c.printer, c.valuePath, &type, buffer, sizeof(buffer), &needed, FALSE))
            << c.what;
        EXPECT_EQ(c.writeError, WriteUserValue(c.printer, c.valuePath, REG_DWORD,
                                               reinterpret_cast<const BYTE *>(&one), sizeof(one), FALSE))
            << c.what;
    }
    EXPECT_FALSE(KeyExists(kRoot));

    // Before the first write the printer key does not exist.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadUserValue(printer, u"Value", &type, buffer, sizeof(buffer), &needed, FALSE));
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"Other", REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                                            sizeof(one), FALSE));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadUserValue(printer, u"Value", &type, buffer, sizeof(buffer), &needed, FALSE));

    // A buffer too small reports the size the value needs.
    const BYTE fifty[50] = {1, 2, 3};
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"Big", REG_BINARY, fifty, sizeof(fifty), FALSE));
    needed = 0;
    EXPECT_EQ(ERROR_MORE_DATA, ReadUserValue(printer, u"Big", &type, buffer, 2, &needed, FALSE));
    EXPECT_EQ(50u, needed);
}

// ---- deleting and cleaning up ----------------------------------------------

TEST_F(IdentityTest, DeleteKeyTreeRemovesEverythingBelow)
{
    HKEY leaf = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Tree\\Top\\A\\A1", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &leaf, nullptr));
    RegCloseKey(leaf);
    for (const char16_t *path : {u"Tree\\Top\\A\\A2", u"Tree\\Top\\B", u"Tree\\Keep"}) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &leaf, nullptr));
        RegCloseKey(leaf);
    }
    HKEY tree = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Tree", 0, KEY_ALL_ACCESS, &tree));

    EXPECT_TRUE(DeleteKeyTree(tree, u"Top"));
    EXPECT_FALSE(KeyExists(u"Tree\\Top"));
    EXPECT_TRUE(KeyExists(u"Tree\\Keep"));
    EXPECT_FALSE(DeleteKeyTree(tree, u"Top"));
    RegCloseKey(tree);
}

TEST_F(IdentityTest, DeleteUserPrinterKeyHonoursTheAttributeMask)
{
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    const DWORD connection = PRINTER_ATTRIBUTE_NETWORK;
    struct Case {
        const char *what;
        const DWORD *stored;  // null: no default value
        DWORD mask;
        bool deleted;
    };
    const Case cases[] = {
        {"mask 0 deletes a local printer's key", &local, 0, true},
        {"mask 0 deletes a connection's key", &connection, 0, true},
        {"local bit asked, local key", &local, PRINTER_ATTRIBUTE_LOCAL, true},
        {"local bit asked, connection key", &connection, PRINTER_ATTRIBUTE_LOCAL, false},
        {"local bit asked, key without attributes", nullptr, PRINTER_ATTRIBUTE_LOCAL, false},
    };
    for (const Case &c : cases) {
        MakeUserPrinterKey(kStaleA, c.stored);
        EXPECT_TRUE(DeleteUserPrinterKey(kStaleA.c_str(), c.mask)) << c.what;
        EXPECT_EQ(c.deleted, !KeyExists(kRoot + kStaleA)) << c.what;
        if (KeyExists(kRoot + kStaleA)) {
            ASSERT_TRUE(DeleteUserPrinterKey(kStaleA.c_str(), 0));
        }
    }
}

TEST_F(IdentityTest, DeleteUserPrinterKeyFailsWithoutRootOrKey)
{
    EXPECT_FALSE(DeleteUserPrinterKey(kStaleA.c_str(), 0));
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    MakeUserPrinterKey(kStaleB, &local);
    EXPECT_FALSE(DeleteUserPrinterKey(kStaleA.c_str(), 0));
    EXPECT_TRUE(KeyExists(kRoot + kStaleB));
}

TEST_F(IdentityTest, ListPrinterIdsHoldsEveryPrinterThatHasOne)
{
    EXPECT_EQ(nullptr, ListPrinterIds());

    HANDLE a = AddPrinter("Alpha");
    AddPrinter("Beta");
    HANDLE c = AddPrinter("Gamma");
    ASSERT_EQ(ERROR_SUCCESS, SetId(a, kStaleA));
    ASSERT_EQ(ERROR_SUCCESS, SetId(c, kStaleC));

    PrinterIdList *list = ListPrinterIds();
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(2u, list->count);
    std::vector<WText> ids = {PrinterIdEntry(list, 0), PrinterIdEntry(list, 1)};
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), kStaleA));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), kStaleC));
    MemFree(list);
}

TEST_F(IdentityTest, CleanUpDeletesLocalPrintersKeysAndKeepsConnections)
{
    HANDLE live = AddPrinter("Live");
    ASSERT_TRUE(GetOrCreatePrinterId(live, nullptr));
    const WText liveId = IdOf(live);
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    const DWORD localShared = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED;
    const DWORD connection = PRINTER_ATTRIBUTE_NETWORK;
    const WText connectionId = u"ffffffff-0000-4000-8000-00000000000c";
    MakeUserPrinterKey(liveId, &local);
    // Two stale keys side by side: deleting the first moves the second to
    // the index just visited.
    MakeUserPrinterKey(kStaleA, &local);
    MakeUserPrinterKey(kStaleB, &localShared);
    MakeUserPrinterKey(kStaleC, &local);
    MakeUserPrinterKey(connectionId, &connection);

    CleanUpUserStore();

    EXPECT_TRUE(KeyExists(kRoot + liveId));
    EXPECT_FALSE(KeyExists(kRoot + kStaleA));
    EXPECT_FALSE(KeyExists(kRoot + kStaleB));
    EXPECT_FALSE(KeyExists(kRoot + kStaleC));
    EXPECT_TRUE(KeyExists(kRoot + connectionId));
}

TEST_F(IdentityTest, CleanUpMatchesIdentitiesWithoutRegardToCase)
{
    HANDLE live = AddPrinter("Live");
    const WText upper = u"0A1B2C3D-0000-4000-8000-000000000001";
    ASSERT_EQ(ERROR_SUCCESS, SetId(live, upper));
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    MakeUserPrinterKey(kStaleA, &local);  // the same identity in lower case

    CleanUpUserStore();

    EXPECT_TRUE(KeyExists(kRoot + kStaleA));
}

TEST_F(IdentityTest, NewPrinterKeyTriggersCleanUpButLaterWritesDoNot)
{
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    MakeUserPrinterKey(kStaleA, &local);
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    const DWORD one = 1;

    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"First", REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                                            sizeof(one), FALSE));
    EXPECT_FALSE(KeyExists(kRoot + kStaleA));
    EXPECT_TRUE(KeyExists(kRoot + IdOf(printer)));

    MakeUserPrinterKey(kStaleB, &local);
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"Second", REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                                            sizeof(one), FALSE));
    EXPECT_TRUE(KeyExists(kRoot + kStaleB));
}

TEST_F(IdentityTest, RemoveUserPrinterDataDeletesThatPrinterOrCleansUp)
{
    HANDLE connection = AddPrinter("Remote", PRINTER_ATTRIBUTE_NETWORK);
    HANDLE other = AddPrinter("Other");
    HANDLE noId = AddPrinter("Plain");
    ASSERT_TRUE(GetOrCreatePrinterId(connection, nullptr));
    ASSERT_TRUE(GetOrCreatePrinterId(other, nullptr));
    const DWORD one = 1;
    for (HANDLE printer : {connection, other}) {
        ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, u"Value", REG_DWORD, reinterpret_cast<const BYTE *>(&one),
                                                sizeof(one), FALSE));
    }
    const DWORD local = PRINTER_ATTRIBUTE_LOCAL;
    MakeUserPrinterKey(kStaleA, &local);

    // The printer's own key goes whatever kind of printer it is.
    RemoveUserPrinterData(connection);
    EXPECT_FALSE(KeyExists(kRoot + IdOf(connection)));
    EXPECT_TRUE(KeyExists(kRoot + IdOf(other)));
    EXPECT_TRUE(KeyExists(kRoot + kStaleA));

    RemoveUserPrinterData(noId);
    EXPECT_TRUE(KeyExists(kRoot + IdOf(other)));

    RemoveUserPrinterData(nullptr);
    EXPECT_FALSE(KeyExists(kRoot + kStaleA));
    EXPECT_TRUE(KeyExists(kRoot + IdOf(other)));
}

// ---- printer information -----------------------------------------------------

TEST_F(IdentityTest, PrinterInfo2ComesFromThePrivateHeap)
{
    HANDLE printer = AddPrinter("Plotter", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED);
    PRINTER_INFO_2W *info = GetPrinterInfo2(printer);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(u"Plotter", WText(info->pPrinterName));
    EXPECT_EQ(u"LPT1:", WText(info->pPortName));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED), info->Attributes);
    EXPECT_TRUE(IsValidMemBlock(MemBlockFromData(info)));
    FreePrinterInfo2(info);

    EXPECT_EQ(nullptr, GetPrinterInfo2(nullptr));
}

TEST_F(IdentityTest, RawOnlyFollowsTheAttributeBit)
{
    struct Case {
        const char *name;
        DWORD attributes;
        bool rawOnly;
    };
    const Case cases[] = {
        {"Plain", PRINTER_ATTRIBUTE_LOCAL, false},
        {"Raw", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY, true},
        {"RawShared", PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_SHARED, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.rawOnly, IsRawOnlyPrinter(AddPrinter(c.name, c.attributes)) != FALSE) << c.name;
    }
    EXPECT_FALSE(IsRawOnlyPrinter(nullptr));
}

}  // namespace
