// Conformance of the emulated spooler with the Win32 spooler calls, and its
// control calls for the host simulator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> W;

const char kPrinter[] = "KV Tavrin";
const WCHAR kPrinterW[] = u"KV Tavrin";

kvp::PrinterSpec TavrinSpec()
{
    kvp::PrinterSpec spec;
    spec.name = kPrinter;
    spec.port = "USB001";
    spec.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY;
    spec.comment = "wide format";
    spec.location = "2F";
    spec.driverName = "KV PS Tavrin";
    spec.dataFile = "/opt/kv/KVTV.PPD";
    spec.configFile = "/opt/kv/ps5ui.dll";
    spec.driverPath = "/opt/kv/pscript5.dll";
    spec.dependentFiles = {"kvpsctvu.dll", "kvpsctvr.dll"};
    return spec;
}

// Reads a level structure the way callers do: size first, then the data.
std::vector<BYTE> ReadLevel(BOOL (*call)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD), HANDLE h, DWORD level)
{
    DWORD needed = 0;
    EXPECT_FALSE(call(h, level, nullptr, 0, &needed));
    std::vector<BYTE> buf(needed);
    EXPECT_TRUE(call(h, level, buf.data(), needed, &needed));
    return buf;
}

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kvp::AddPrinter(TavrinSpec())); }
    void TearDown() override
    {
        for (HANDLE h : open_) ClosePrinter(h);
    }

    HANDLE Open(const WCHAR *name, DWORD access)
    {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name), &h, &defaults));
        if (h) open_.push_back(h);
        return h;
    }

    DWORD SetData(HANDLE h, const WCHAR *name, DWORD value)
    {
        return SetPrinterDataW(h, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE *>(&value),
                               sizeof value);
    }

    DWORD StartDoc(HANDLE h, const WCHAR *document)
    {
        DOC_INFO_1W doc = {const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
        return StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&doc));
    }

    BOOL Write(HANDLE h, const std::string &bytes)
    {
        DWORD written = 0xdeadbeef;
        BOOL ok = WritePrinter(h, const_cast<char *>(bytes.data()), static_cast<DWORD>(bytes.size()), &written);
        EXPECT_EQ(ok ? bytes.size() : 0u, written);
        return ok;
    }

    std::vector<HANDLE> open_;
};

TEST_F(SpoolerTest, OpenPrinterFindsPrintersByNameIgnoringCase)
{
    struct Case {
        const char *what;
        const WCHAR *name;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"exact", u"KV Tavrin", TRUE, 0},
        {"other case", u"kv TAVRIN", TRUE, 0},
        {"this machine's server prefix", u"\\\\kvhost\\KV Tavrin", TRUE, 0},
        {"unknown", u"KV Nowhere", FALSE, ERROR_INVALID_PRINTER_NAME},
        {"another server", u"\\\\ELSEWHERE\\KV Tavrin", FALSE, ERROR_INVALID_PRINTER_NAME},
    };
    for (const auto &c : cases) {
        HANDLE h = reinterpret_cast<HANDLE>(1);
        SetLastError(0xdeadbeef);
        BOOL ok = OpenPrinterW(const_cast<LPWSTR>(c.name), &h, nullptr);
        EXPECT_EQ(c.ok, ok) << c.what;
        if (ok) {
            EXPECT_NE(nullptr, h) << c.what;
            ClosePrinter(h);
        } else {
            EXPECT_EQ(c.error, GetLastError()) << c.what;
            EXPECT_EQ(nullptr, h) << c.what;
        }
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(kPrinterW), nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(SpoolerTest, UnknownPrinterHandlesAreInvalid)
{
    HANDLE bogus = reinterpret_cast<HANDLE>(0x4242);
    DWORD needed = 0, written = 0, type = 0;
    BYTE buf[8];
    struct Case {
        const char *what;
        BOOL ok;
    } cases[] = {
        {"GetPrinterW", GetPrinterW(bogus, 2, buf, sizeof buf, &needed)},
        {"GetPrinterDriverW", GetPrinterDriverW(bogus, nullptr, 2, buf, sizeof buf, &needed)},
        {"WritePrinter", WritePrinter(bogus, buf, 1, &written)},
        {"EndDocPrinter", EndDocPrinter(bogus)},
        {"GetJobW", GetJobW(bogus, 1, 2, buf, sizeof buf, &needed)},
        {"ClosePrinter", ClosePrinter(bogus)},
    };
    for (const auto &c : cases) EXPECT_FALSE(c.ok) << c.what;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterW(bogus, 2, buf, sizeof buf, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE),
              GetPrinterDataW(bogus, const_cast<LPWSTR>(u"x"), &type, buf, sizeof buf, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), SetData(bogus, u"x", 1));
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    ASSERT_TRUE(ClosePrinter(h));
    open_.clear();
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ClosePrinter(h));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(SpoolerTest, GetPrinterLevel2SizeProtocol)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    ASSERT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_GT(needed, sizeof(PRINTER_INFO_2W));
    std::vector<BYTE> buf(needed + 16, 0xCD);
    struct Case {
        DWORD size;
        BOOL ok;
    } cases[] = {{sizeof(PRINTER_INFO_2W), FALSE}, {needed - 1, FALSE}, {needed, TRUE}, {needed + 16, TRUE}};
    for (const auto &c : cases) {
        DWORD got = 0;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.ok, GetPrinterW(h, 2, buf.data(), c.size, &got)) << c.size;
        EXPECT_EQ(needed, got) << c.size;
        if (!c.ok) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << c.size;
        }
    }
    // Nothing is written past what was asked for.
    ASSERT_TRUE(GetPrinterW(h, 2, buf.data(), needed, &needed));
    EXPECT_EQ(0xCD, buf[needed]);
}

TEST_F(SpoolerTest, GetPrinterLevel2DescribesThePrinter)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    std::vector<BYTE> buf = ReadLevel(GetPrinterW, h, 2);
    ASSERT_GE(buf.size(), sizeof(PRINTER_INFO_2W));
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(buf.data());
    EXPECT_EQ(nullptr, info->pServerName);
    EXPECT_EQ(W(u"KV Tavrin"), W(info->pPrinterName));
    EXPECT_EQ(W(u"USB001"), W(info->pPortName));
    EXPECT_EQ(W(u"KV PS Tavrin"), W(info->pDriverName));
    EXPECT_EQ(W(u"wide format"), W(info->pComment));
    EXPECT_EQ(W(u"2F"), W(info->pLocation));
    EXPECT_EQ(W(u"winprint"), W(info->pPrintProcessor));
    EXPECT_EQ(W(u"RAW"), W(info->pDatatype));
    EXPECT_EQ(nullptr, info->pDevMode);
    EXPECT_EQ(nullptr, info->pSecurityDescriptor);
    EXPECT_EQ(static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY), info->Attributes);
    EXPECT_EQ(0u, info->cJobs);
    // The strings live in the caller's buffer.
    const BYTE *port = reinterpret_cast<const BYTE *>(info->pPortName);
    EXPECT_TRUE(port >= buf.data() + sizeof(PRINTER_INFO_2W) && port < buf.data() + buf.size());
}

TEST_F(SpoolerTest, GetPrinterLevels4And5)
{
    HANDLE h = Open(u"kv tavrin", PRINTER_ACCESS_USE);
    std::vector<BYTE> buf4 = ReadLevel(GetPrinterW, h, 4);
    const PRINTER_INFO_4W *info4 = reinterpret_cast<const PRINTER_INFO_4W *>(buf4.data());
    EXPECT_EQ(W(u"KV Tavrin"), W(info4->pPrinterName));  // as installed, not as opened
    EXPECT_EQ(nullptr, info4->pServerName);
    EXPECT_EQ(static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY), info4->Attributes);
    std::vector<BYTE> buf5 = ReadLevel(GetPrinterW, h, 5);
    const PRINTER_INFO_5W *info5 = reinterpret_cast<const PRINTER_INFO_5W *>(buf5.data());
    EXPECT_EQ(W(u"KV Tavrin"), W(info5->pPrinterName));
    EXPECT_EQ(W(u"USB001"), W(info5->pPortName));
    EXPECT_EQ(info4->Attributes, info5->Attributes);
    EXPECT_EQ(15000u, info5->DeviceNotSelectedTimeout);
    EXPECT_EQ(45000u, info5->TransmissionRetryTimeout);
}

TEST_F(SpoolerTest, GetPrinterRejectsUnknownLevels)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    BYTE buf[512];
    DWORD needed = 0;
    for (DWORD level : {42u, 1000u}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetPrinterW(h, level, buf, sizeof buf, &needed)) << level;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError()) << level;
    }
}

TEST_F(SpoolerTest, GetPrinterAGivesAnsiCodePageText)
{
    kvp::PrinterSpec spec = TavrinSpec();
    spec.name = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // katakana "tesuto"
    spec.port = "FILE:";
    ASSERT_TRUE(kvp::AddPrinter(spec));
    HANDLE h = Open(u"\u30C6\u30B9\u30C8", PRINTER_ACCESS_USE);
    std::vector<BYTE> buf = ReadLevel(GetPrinterA, h, 2);
    const PRINTER_INFO_2A *info = reinterpret_cast<const PRINTER_INFO_2A *>(buf.data());
    EXPECT_STREQ("\x83\x65\x83\x58\x83\x67", info->pPrinterName);  // code page 932
    EXPECT_STREQ("FILE:", info->pPortName);
    EXPECT_STREQ("KV PS Tavrin", info->pDriverName);
    EXPECT_EQ(static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY), info->Attributes);
    // What the code page cannot hold comes out as '?'.
    kvp::SystemSetAnsiCodePage(1252);
    buf = ReadLevel(GetPrinterA, h, 2);
    info = reinterpret_cast<const PRINTER_INFO_2A *>(buf.data());
    EXPECT_STREQ("???", info->pPrinterName);
}

TEST_F(SpoolerTest, GetPrinterDriverLevel2)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    ASSERT_FALSE(GetPrinterDriverW(h, nullptr, 2, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> buf(needed);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed - 1, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 2, buf.data(), needed, &needed));
    const DRIVER_INFO_2W *info = reinterpret_cast<const DRIVER_INFO_2W *>(buf.data());
    EXPECT_EQ(3u, info->cVersion);
    EXPECT_EQ(W(u"KV PS Tavrin"), W(info->pName));
    EXPECT_EQ(W(u"Windows x64"), W(info->pEnvironment));
    EXPECT_EQ(W(u"/opt/kv/pscript5.dll"), W(info->pDriverPath));
    EXPECT_EQ(W(u"/opt/kv/KVTV.PPD"), W(info->pDataFile));
    EXPECT_EQ(W(u"/opt/kv/ps5ui.dll"), W(info->pConfigFile));
    // The same with the environment named.
    ASSERT_TRUE(GetPrinterDriverW(h, const_cast<LPWSTR>(u"Windows x64"), 2, buf.data(), needed, &needed));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterDriverW(h, const_cast<LPWSTR>(u"Windows NT x86"), 2, buf.data(), needed, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
}

TEST_F(SpoolerTest, GetPrinterDriverLevel3ListsDependentFiles)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    DWORD needed = 0;
    ASSERT_FALSE(GetPrinterDriverW(h, nullptr, 3, nullptr, 0, &needed));
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 3, buf.data(), needed, &needed));
    const DRIVER_INFO_3W *info = reinterpret_cast<const DRIVER_INFO_3W *>(buf.data());
    const WCHAR expected[] = u"kvpsctvu.dll\0kvpsctvr.dll\0";
    EXPECT_EQ(0, std::memcmp(expected, info->pDependentFiles, sizeof expected));
    EXPECT_EQ(W(u"/opt/kv/KVTV.PPD"), W(info->pDataFile));
}

TEST_F(SpoolerTest, EnumPrintersLevel4ListsLocalPrinters)
{
    kvp::PrinterSpec second = TavrinSpec();
    second.name = "A Oskel";
    second.attributes = PRINTER_ATTRIBUTE_LOCAL;
    ASSERT_TRUE(kvp::AddPrinter(second));
    kvp::PrinterSpec connection = TavrinSpec();
    connection.name = "Remote Merrow";
    connection.attributes = PRINTER_ATTRIBUTE_NETWORK;
    ASSERT_TRUE(kvp::AddPrinter(connection));

    DWORD needed = 0, returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    ASSERT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, returned);
    std::vector<BYTE> buf(needed);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buf.data(), needed - 1, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buf.data(), needed, &needed, &returned));
    ASSERT_EQ(2u, returned);
    const PRINTER_INFO_4W *info = reinterpret_cast<const PRINTER_INFO_4W *>(buf.data());
    EXPECT_EQ(W(u"A Oskel"), W(info[0].pPrinterName));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL), info[0].Attributes);
    EXPECT_EQ(W(u"KV Tavrin"), W(info[1].pPrinterName));
    EXPECT_EQ(nullptr, info[1].pServerName);

    ASSERT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed,
                               &returned));
    buf.resize(needed);
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buf.data(), needed,
                              &needed, &returned));
    EXPECT_EQ(3u, returned);
}

TEST_F(SpoolerTest, EnumPrintersWithoutPrintersSucceedsEmpty)
{
    ASSERT_TRUE(kvp::DeletePrinter(kPrinter));
    DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned));
    EXPECT_EQ(0u, needed);
    EXPECT_EQ(0u, returned);
}

TEST_F(SpoolerTest, SetPrinterDataNeedsAdministrativeAccess)
{
    struct Case {
        const char *what;
        DWORD access;
        DWORD result;
    } cases[] = {
        {"use", PRINTER_ACCESS_USE, ERROR_ACCESS_DENIED},
        {"default (no defaults)", 0, ERROR_ACCESS_DENIED},
        {"read", PRINTER_READ, ERROR_ACCESS_DENIED},
        {"administer", PRINTER_ACCESS_ADMINISTER, ERROR_SUCCESS},
        {"all", PRINTER_ALL_ACCESS, ERROR_SUCCESS},
    };
    HANDLE admin = Open(kPrinterW, PRINTER_ALL_ACCESS);
    for (const auto &c : cases) {
        HANDLE h = Open(kPrinterW, c.access);
        EXPECT_EQ(c.result, SetData(h, u"OEMDisablePSFeatures", 5)) << c.what;
        EXPECT_EQ(c.result == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_FILE_NOT_FOUND) : c.result,
                  DeletePrinterDataW(h, const_cast<LPWSTR>(u"Missing")))
            << c.what;
        DWORD value = 0, needed = 0;
        DWORD rc = GetPrinterDataW(admin, const_cast<LPWSTR>(u"OEMDisablePSFeatures"), nullptr,
                                   reinterpret_cast<BYTE *>(&value), sizeof value, &needed);
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(ERROR_SUCCESS, rc) << c.what;
            EXPECT_EQ(5u, value) << c.what;
        } else {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, rc) << c.what;
        }
        DeletePrinterDataW(admin, const_cast<LPWSTR>(u"OEMDisablePSFeatures"));
    }
}

TEST_F(SpoolerTest, GetPrinterDataTellsShortBufferFromMissingValue)
{
    HANDLE admin = Open(kPrinterW, PRINTER_ALL_ACCESS);
    const WCHAR id[] = u"0c8d8ab0-0f6e-4a3e-9a43-5c7b8f7d2b11";  // 74 bytes with the NUL
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(admin, const_cast<LPWSTR>(u"OEMPrinterID"), REG_SZ,
                                             reinterpret_cast<BYTE *>(const_cast<WCHAR *>(id)), sizeof id));
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    struct Case {
        const char *what;
        const WCHAR *name;
        DWORD size;
        DWORD result;
        DWORD needed;
    } cases[] = {
        {"size query", u"OEMPrinterID", 0, ERROR_MORE_DATA, 74},
        {"too small", u"OEMPrinterID", 2, ERROR_MORE_DATA, 74},
        {"one short", u"OEMPrinterID", 73, ERROR_MORE_DATA, 74},
        {"exact", u"OEMPrinterID", 74, ERROR_SUCCESS, 74},
        {"name in other case", u"oemprinterid", 128, ERROR_SUCCESS, 74},
        {"missing", u"OEMSupportJCL", 128, ERROR_FILE_NOT_FOUND, 0},
        {"missing, size query", u"OEMSupportJCL", 0, ERROR_FILE_NOT_FOUND, 0},
    };
    for (const auto &c : cases) {
        BYTE buf[128];
        DWORD type = 0xdeadbeef, needed = 0xdeadbeef;
        EXPECT_EQ(c.result, GetPrinterDataW(h, const_cast<LPWSTR>(c.name), &type, c.size ? buf : nullptr, c.size,
                                            &needed))
            << c.what;
        if (c.needed) {
            EXPECT_EQ(c.needed, needed) << c.what;
        }
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << c.what;
            EXPECT_EQ(0, std::memcmp(buf, id, sizeof id)) << c.what;
        }
    }
}

TEST_F(SpoolerTest, PrinterDataIsKeptInThePrintersRegistryKey)
{
    ASSERT_EQ(ERROR_SUCCESS, SetData(Open(kPrinterW, PRINTER_ALL_ACCESS), u"OEMSupportJCL", 3));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\KV Tavrin\\PrinterDriverData", 0,
                            KEY_READ, &key));
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, u"OEMSupportJCL", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(3u, value);
    RegCloseKey(key);
}

TEST_F(SpoolerTest, FailedPrinterDataWriteKeepsTheOldValue)
{
    HANDLE h = Open(kPrinterW, PRINTER_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, SetData(h, u"OEMDisablePSFeatures", 1));
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(static_cast<DWORD>(ERROR_REGISTRY_IO_FAILED), SetData(h, u"OEMDisablePSFeatures", 2));
    DWORD value = 0, needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, GetPrinterDataW(h, const_cast<LPWSTR>(u"OEMDisablePSFeatures"), nullptr,
                                             reinterpret_cast<BYTE *>(&value), sizeof value, &needed));
    EXPECT_EQ(1u, value);
}

TEST_F(SpoolerTest, PrinterDataExUsesKeysOfThePrinter)
{
    HANDLE h = Open(kPrinterW, PRINTER_ALL_ACCESS);
    DWORD value = 9, got = 0, needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataExW(h, u"PrinterDriverData", u"Same", REG_DWORD,
                                               reinterpret_cast<BYTE *>(&value), sizeof value));
    ASSERT_EQ(ERROR_SUCCESS, GetPrinterDataW(h, const_cast<LPWSTR>(u"Same"), nullptr, reinterpret_cast<BYTE *>(&got),
                                             sizeof got, &needed));
    EXPECT_EQ(9u, got);
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataExW(h, u"KvExtra\\Deeper", u"Other", REG_DWORD,
                                               reinterpret_cast<BYTE *>(&value), sizeof value));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetPrinterDataW(h, const_cast<LPWSTR>(u"Other"), nullptr,
                                                    reinterpret_cast<BYTE *>(&got), sizeof got, &needed));
    EXPECT_EQ(ERROR_SUCCESS, GetPrinterDataExW(h, u"kvextra\\deeper", u"Other", nullptr,
                                               reinterpret_cast<BYTE *>(&got), sizeof got, &needed));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetPrinterDataExW(h, u"NoSuchKey", u"Other", nullptr,
                                                      reinterpret_cast<BYTE *>(&got), sizeof got, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              GetPrinterDataExW(h, u"", u"Other", nullptr, reinterpret_cast<BYTE *>(&got), sizeof got, &needed));
}

TEST_F(SpoolerTest, EnumPrinterDataWalksTheValues)
{
    HANDLE h = Open(kPrinterW, PRINTER_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, SetData(h, u"First", 1));
    ASSERT_EQ(ERROR_SUCCESS, SetData(h, u"SecondLonger", 2));
    DWORD nameSize = 0, dataSize = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
              EnumPrinterDataW(h, 0, nullptr, 0, &nameSize, nullptr, nullptr, 0, &dataSize));
    EXPECT_EQ(26u, nameSize);  // "SecondLonger" with its NUL
    EXPECT_EQ(4u, dataSize);
    std::vector<W> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[32];
        DWORD value = 0, type = 0;
        DWORD rc = EnumPrinterDataW(h, i, name, sizeof name, &nameSize, &type, reinterpret_cast<BYTE *>(&value),
                                    sizeof value, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, rc);
        EXPECT_EQ(i + 1, value);
        names.push_back(name);
    }
    EXPECT_EQ((std::vector<W>{u"First", u"SecondLonger"}), names);
}

TEST_F(SpoolerTest, JobCarriesItsBytesInOrder)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"drawing.plt");
    ASSERT_EQ(1u, job);
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(Write(h, "\x1b%-12345X@PJL\r\n"));
    ASSERT_TRUE(Write(h, std::string("%!PS\n\0binary", 12)));
    ASSERT_TRUE(Write(h, ""));
    ASSERT_TRUE(EndPagePrinter(h));
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ(std::string("\x1b%-12345X@PJL\r\n%!PS\n\0binary", 27), kvp::JobBytes(job));
    EXPECT_EQ(job, kvp::LastJobId());
    // Job ids keep counting per system.
    EXPECT_EQ(2u, StartDoc(h, u"second"));
    EXPECT_TRUE(EndDocPrinter(h));
}

TEST_F(SpoolerTest, GetJobLevel2NamesDocumentUserAndMachine)
{
    kvp::SystemSetUserName("taro");
    kvp::SystemSetMachineName("PC01");
    const SYSTEMTIME when = {2024, 3, 5, 15, 10, 20, 30, 400};
    kvp::SystemSetLocalTime(&when);
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"\u56F3\u9762.pdf");
    ASSERT_NE(0u, job);
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(Write(h, "12345"));

    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    ASSERT_FALSE(GetJobW(h, job, 2, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> buf(needed);
    EXPECT_FALSE(GetJobW(h, job, 2, buf.data(), needed - 1, &needed));
    ASSERT_TRUE(GetJobW(h, job, 2, buf.data(), needed, &needed));
    const JOB_INFO_2W *info = reinterpret_cast<const JOB_INFO_2W *>(buf.data());
    EXPECT_EQ(job, info->JobId);
    EXPECT_EQ(W(u"KV Tavrin"), W(info->pPrinterName));
    EXPECT_EQ(W(u"\\\\PC01"), W(info->pMachineName));
    EXPECT_EQ(W(u"taro"), W(info->pUserName));
    EXPECT_EQ(W(u"\u56F3\u9762.pdf"), W(info->pDocument));
    EXPECT_EQ(W(u"RAW"), W(info->pDatatype));
    EXPECT_EQ(W(u"KV PS Tavrin"), W(info->pDriverName));
    EXPECT_EQ(nullptr, info->pDevMode);
    EXPECT_TRUE(info->Status & JOB_STATUS_SPOOLING);
    EXPECT_EQ(1u, info->TotalPages);
    EXPECT_EQ(5u, info->Size);
    EXPECT_EQ(1u, info->Position);
    EXPECT_EQ(2024, info->Submitted.wYear);
    EXPECT_EQ(15, info->Submitted.wDay);
    EXPECT_EQ(400, info->Submitted.wMilliseconds);

    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(GetJobW(h, job, 2, buf.data(), needed, &needed));
    info = reinterpret_cast<const JOB_INFO_2W *>(buf.data());
    EXPECT_FALSE(info->Status & JOB_STATUS_SPOOLING);
    EXPECT_TRUE(info->Status & JOB_STATUS_COMPLETE);
}

TEST_F(SpoolerTest, GetJobAnswersOnlyForJobsOfTheHandlesPrinter)
{
    kvp::PrinterSpec other = TavrinSpec();
    other.name = "Other";
    ASSERT_TRUE(kvp::AddPrinter(other));
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    HANDLE o = Open(u"Other", PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"doc");
    ASSERT_TRUE(EndDocPrinter(h));
    BYTE buf[1024];
    DWORD needed = 0;
    struct Case {
        const char *what;
        HANDLE h;
        DWORD job;
        DWORD level;
        DWORD error;
    } cases[] = {
        {"another printer's job", o, job, 2, ERROR_INVALID_PARAMETER},
        {"a job that never was", h, job + 10, 2, ERROR_INVALID_PARAMETER},
        {"unknown level", h, job, 3, ERROR_INVALID_LEVEL},
    };
    for (const auto &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetJobW(c.h, c.job, c.level, buf, sizeof buf, &needed)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    EXPECT_TRUE(GetJobW(h, job, 1, buf, sizeof buf, &needed));
    EXPECT_EQ(W(u"doc"), W(reinterpret_cast<JOB_INFO_1W *>(buf)->pDocument));
}

TEST_F(SpoolerTest, FailedSpoolWriteLeavesTheJobAsItWas)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"doc");
    ASSERT_TRUE(Write(h, "abc"));
    kvp::SystemFailNext(kvp::Fault::SpoolWrite);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Write(h, "def"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), GetLastError());
    EXPECT_EQ("abc", kvp::JobBytes(job));
    ASSERT_TRUE(Write(h, "ghi"));
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_EQ("abcghi", kvp::JobBytes(job));
}

TEST_F(SpoolerTest, DocumentCallsNeedAStartedDocument)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    DWORD written = 0;
    struct Case {
        const char *what;
        BOOL ok;
    } cases[] = {
        {"WritePrinter", WritePrinter(h, const_cast<char *>("x"), 1, &written)},
        {"StartPagePrinter", StartPagePrinter(h)},
        {"EndPagePrinter", EndPagePrinter(h)},
        {"EndDocPrinter", EndDocPrinter(h)},
        {"AbortPrinter", AbortPrinter(h)},
    };
    for (const auto &c : cases) EXPECT_FALSE(c.ok) << c.what;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrinter(h, const_cast<char *>("x"), 1, &written));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SPL_NO_STARTDOC), GetLastError());

    ASSERT_NE(0u, StartDoc(h, u"first"));
    EXPECT_EQ(0u, StartDoc(h, u"second"));
    DOC_INFO_1W bad = {const_cast<LPWSTR>(u"d"), nullptr, const_cast<LPWSTR>(u"XPS")};
    HANDLE h2 = Open(kPrinterW, PRINTER_ACCESS_USE);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, StartDocPrinterW(h2, 1, reinterpret_cast<BYTE *>(&bad)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATATYPE), GetLastError());
}

TEST_F(SpoolerTest, AbortPrinterDropsTheJob)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"doc");
    ASSERT_TRUE(Write(h, "partial"));
    ASSERT_TRUE(AbortPrinter(h));
    BYTE buf[512];
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetJobW(h, job, 2, buf, sizeof buf, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ("", kvp::JobBytes(job));
    EXPECT_TRUE(kvp::ListJobs(kPrinter).empty());
}

TEST_F(SpoolerTest, ClosingThePrinterEndsItsDocument)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    const DWORD job = StartDoc(h, u"doc");
    ASSERT_TRUE(Write(h, "kept"));
    ASSERT_TRUE(ClosePrinter(h));
    open_.clear();
    kvp::JobSpec spec;
    ASSERT_TRUE(kvp::GetJobSpec(job, &spec));
    EXPECT_TRUE(spec.status & JOB_STATUS_COMPLETE);
    EXPECT_EQ(4u, spec.size);
    EXPECT_EQ("kept", kvp::JobBytes(job));
}

TEST_F(SpoolerTest, PrinterCountsItsJobs)
{
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(0u, StartDoc(h, u"doc"));
        ASSERT_TRUE(EndDocPrinter(h));
    }
    std::vector<BYTE> buf = ReadLevel(GetPrinterW, h, 2);
    EXPECT_EQ(2u, reinterpret_cast<const PRINTER_INFO_2W *>(buf.data())->cJobs);
    EXPECT_EQ(2u, kvp::ListJobs(kPrinter).size());
    EXPECT_EQ(2u, kvp::ListJobs().size());
}

TEST_F(SpoolerTest, AddPrinterRefusesDuplicatesAndBadNames)
{
    kvp::PrinterSpec spec = TavrinSpec();
    struct Case {
        const char *what;
        const char *name;
        const char *driver;
        DWORD error;
    } cases[] = {
        {"same name", "KV Tavrin", "d", ERROR_PRINTER_ALREADY_EXISTS},
        {"same name, other case", "kv tavrin", "d", ERROR_PRINTER_ALREADY_EXISTS},
        {"empty name", "", "d", ERROR_INVALID_PRINTER_NAME},
        {"backslash", "a\\b", "d", ERROR_INVALID_PRINTER_NAME},
        {"comma", "a,b", "d", ERROR_INVALID_PRINTER_NAME},
        {"no driver", "New", "", ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        spec.name = c.name;
        spec.driverName = c.driver;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(kvp::AddPrinter(spec)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    ASSERT_EQ(1u, kvp::ListPrinters().size());
    EXPECT_EQ("KV Tavrin", kvp::ListPrinters()[0].name);
}

TEST_F(SpoolerTest, ControlCallsReadBackAndChangePrinters)
{
    kvp::PrinterSpec spec;
    ASSERT_TRUE(kvp::GetPrinterSpec("kv tavrin", &spec));
    EXPECT_EQ("KV Tavrin", spec.name);
    EXPECT_EQ("/opt/kv/KVTV.PPD", spec.dataFile);
    EXPECT_EQ((std::vector<std::string>{"kvpsctvu.dll", "kvpsctvr.dll"}), spec.dependentFiles);
    spec.port = "FILE:";
    ASSERT_TRUE(kvp::UpdatePrinter(spec));
    HANDLE h = Open(kPrinterW, PRINTER_ACCESS_USE);
    std::vector<BYTE> buf = ReadLevel(GetPrinterW, h, 5);
    EXPECT_EQ(W(u"FILE:"), W(reinterpret_cast<const PRINTER_INFO_5W *>(buf.data())->pPortName));
    spec.name = "Not Installed";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(kvp::UpdatePrinter(spec));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
}

TEST_F(SpoolerTest, DeletePrinterTakesItsDataAndJobs)
{
    HANDLE h = Open(kPrinterW, PRINTER_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, SetData(h, u"OEMSupportJCL", 1));
    const DWORD job = StartDoc(h, u"doc");
    ASSERT_TRUE(Write(h, "bytes"));
    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(kvp::DeletePrinter("KV TAVRIN"));
    EXPECT_TRUE(kvp::ListPrinters().empty());
    EXPECT_EQ("", kvp::JobBytes(job));
    // A handle outliving its printer answers that the printer is gone.
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
    // Installed again, it starts without the old data.
    ASSERT_TRUE(kvp::AddPrinter(TavrinSpec()));
    DWORD value = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetPrinterDataW(Open(kPrinterW, PRINTER_ACCESS_USE),
                                                    const_cast<LPWSTR>(u"OEMSupportJCL"), nullptr,
                                                    reinterpret_cast<BYTE *>(&value), sizeof value, &needed));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(kvp::DeletePrinter("Never There"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
}

}  // namespace
