// Printer data values as the render plug-in builds them: only the built-in
// defaults and the printer's data are sources there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "coremain.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvtest_module.h"
#include "kvtest_printers.h"
#include "pdvalue.h"

namespace {

typedef std::u16string WText;
typedef std::vector<BYTE> Bytes;

Bytes DwordBytes(DWORD value)
{
    return Bytes({static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                  static_cast<BYTE>(value >> 24)});
}

class RenderPrinterDataTest : public kvtest::AttachedModuleTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(AttachedModuleTest::SetUp());

        kvp::PrinterSpec spec;
        spec.name = "Plotter";
        spec.driverName = "KV Test Driver";
        ASSERT_TRUE(kvp::AddPrinter(spec));
        printer_ = Open(PRINTER_ALL_ACCESS);
    }

    void TearDown() override
    {
        printers_.CloseAll();
        AttachedModuleTest::TearDown();
    }

    HANDLE Open(DWORD access) { return printers_.Open("Plotter", access); }

    void Store(LPCWSTR name, DWORD type, const Bytes &data)
    {
        ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<LPWSTR>(name), type,
                                                 const_cast<LPBYTE>(data.data()), static_cast<DWORD>(data.size())));
    }

    bool Stored(LPCWSTR name, Bytes *data)
    {
        BYTE buffer[256];
        DWORD type = 0, needed = 0;
        if (GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, buffer, sizeof(buffer), &needed) !=
            ERROR_SUCCESS)
            return false;
        data->assign(buffer, buffer + needed);
        return true;
    }

    int Logged(const std::string &message) const
    {
        std::string log = LogText();
        int count = 0;
        for (size_t at = log.find(message); at != std::string::npos; at = log.find(message, at + 1)) {
            size_t lineStart = log.rfind('\n', at);
            lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
            if (log.compare(at + message.size(), 2, "\r\n") == 0 &&
                log.substr(lineStart, at - lineStart).find("KVPS[ERROR]: ") != std::string::npos)
                ++count;
        }
        return count;
    }

    kvtest::TestPrinters printers_;
    HANDLE printer_ = nullptr;
};

TEST_F(RenderPrinterDataTest, OnlyDefaultAndPrinterSourcesExist)
{
    PrinterDataValues values(printer_);
    Store(kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x1));
    Store(u"OEMDisablePSFeaturesDefault", REG_DWORD, DwordBytes(0x2));

    DWORD flags = 0xA5A5A5A5;
    EXPECT_TRUE(values.ReadValue(kValueDisablePSFeatures, &flags, sizeof(flags), DataSourceDefault));
    EXPECT_EQ(0u, flags);
    EXPECT_TRUE(values.ReadValue(kValueDisablePSFeatures, &flags, sizeof(flags), DataSourcePrinter));
    EXPECT_EQ(0x1u, flags);

    for (DWORD source : {2u, 3u, 4u, 9u}) {
        ClearLog();
        const std::string message = "Invalid DataSource type(" + std::to_string(source) + ").";
        flags = 0xA5A5A5A5;
        EXPECT_FALSE(values.ReadValue(kValueDisablePSFeatures, &flags, sizeof(flags), source)) << source;
        EXPECT_EQ(0xA5A5A5A5u, flags) << source;
        EXPECT_FALSE(values.WriteValue(kValueDisablePSFeatures, REG_DWORD, &flags, sizeof(flags), source)) << source;
        EXPECT_EQ(2, Logged(message)) << source;
    }
    Bytes data;
    ASSERT_TRUE(Stored(kValueDisablePSFeatures, &data));
    EXPECT_EQ(DwordBytes(0x1), data);
}

TEST_F(RenderPrinterDataTest, PrinterSourceFallsBackToBuiltInDefault)
{
    PrinterDataValues values(printer_);
    BYTE slots[16];
    memset(slots, 0xA5, sizeof(slots));
    EXPECT_TRUE(values.ReadValue(kValueSupportCapability, slots, sizeof(slots), DataSourcePrinter));
    EXPECT_EQ(Bytes(16, 0), Bytes(slots, slots + 16));
    EXPECT_FALSE(values.SupportsCapability(0xFFFFFFFF));

    // A too small buffer is no reason to fall back.
    Store(kValueSupportCapability, REG_BINARY, Bytes(20, 0xFF));
    memset(slots, 0xA5, sizeof(slots));
    EXPECT_FALSE(values.ReadValue(kValueSupportCapability, slots, sizeof(slots), DataSourcePrinter));
    EXPECT_EQ(1, Logged("Insufficient buffer size more than 20."));
    EXPECT_EQ(0xA5, slots[0]);
}

TEST_F(RenderPrinterDataTest, WritingTheDefaultSourceIsRefused)
{
    PrinterDataValues values(printer_);
    const DWORD jcl = 3;
    EXPECT_FALSE(values.WriteValue(kValueSupportJCL, REG_DWORD, &jcl, sizeof(jcl), DataSourceDefault));
    EXPECT_EQ(1, Logged("Cannot set the default value."));
    EXPECT_EQ(0u, values.GetSupportJCL(0));
}

TEST_F(RenderPrinterDataTest, CapabilityAndJclComeFromThePrinter)
{
    PrinterDataValues values(printer_);
    Bytes capability = DwordBytes(0x000647FF);
    for (DWORD slot : {0x11u, 0x22u, 0x33u}) {
        Bytes more = DwordBytes(slot);
        capability.insert(capability.end(), more.begin(), more.end());
    }
    Store(kValueSupportCapability, REG_BINARY, capability);
    Store(kValueSupportJCL, REG_DWORD, DwordBytes(3));

    EXPECT_EQ(0x000647FFu, values.GetSupportCapability());
    EXPECT_TRUE(values.SupportsCapability(0x40000));
    EXPECT_FALSE(values.SupportsCapability(0x8000));
    EXPECT_EQ(3u, values.GetSupportJCL(0));
    EXPECT_EQ(0u, values.GetSupportJCL(2));
}

TEST_F(RenderPrinterDataTest, RefusedWriteIsRepeatedThroughFullAccessHandle)
{
    HANDLE user = Open(PRINTER_ACCESS_USE);
    PrinterDataValues values(user);
    const DWORD jcl = 3;
    ASSERT_NE(static_cast<DWORD>(ERROR_SUCCESS),
              SetPrinterDataW(user, const_cast<LPWSTR>(kValueSupportJCL), REG_DWORD,
                              reinterpret_cast<LPBYTE>(const_cast<DWORD *>(&jcl)), sizeof(jcl)));

    EXPECT_TRUE(values.SetSupportFlag(0, 3));

    EXPECT_EQ(3u, values.GetSupportJCL(0));
}

TEST_F(RenderPrinterDataTest, FeatureSwitchesOfThisLine)
{
    PrinterDataValues values(printer_);
#if KV_LINE_A
    EXPECT_FALSE(values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY));
    Store(kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x1));
    EXPECT_TRUE(values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY));
    EXPECT_FALSE(values.IsFeatureSwitchOn(SWITCH_SECURE_PRINT));
    Store(kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x80000000));
    EXPECT_TRUE(values.IsFeatureSwitchOn(SWITCH_SECURE_PRINT));
#else
    // Line B always prints with print-speed priority.
    EXPECT_TRUE(values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY));
    EXPECT_FALSE(values.IsFeatureSwitchOn(1));
    Store(kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x80000000));
    EXPECT_TRUE(values.IsFeatureSwitchOn(1));
#endif
}

#if KV_LINE_A
TEST_F(RenderPrinterDataTest, CredentialsAreReadFromThePrinterData)
{
    PrinterDataValues values(printer_);
    WCHAR buffer[16];
    for (WCHAR &w : buffer) w = u'#';
    // Nothing stored: the built-in empty texts.
    ASSERT_TRUE(values.GetSecurePrintUserName(buffer, sizeof(buffer)));
    EXPECT_EQ(WText(), WText(buffer));

    ASSERT_TRUE(values.SetSecurePrintUserName(u"ito", DataSourcePrinter));
    ASSERT_TRUE(values.SetSecurePrintPIN(u"0042", DataSourcePrinter));
    ASSERT_TRUE(values.GetSecurePrintUserName(buffer, sizeof(buffer)));
    EXPECT_EQ(u"ito", WText(buffer));
    ASSERT_TRUE(values.GetSecurePrintPIN(buffer, sizeof(buffer)));
    EXPECT_EQ(u"0042", WText(buffer));
    EXPECT_FALSE(values.GetSecurePrintPIN(buffer, 4));
}
#endif

}  // namespace
