// Printer data values as the UI plug-in builds them (every data source),
// for line A and line B, against the emulated spooler and registry; and the
// printer initialisation with a scripted model library.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "coremain.h"
#include "identity.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvtest_module.h"
#include "kvtest_printers.h"
#include "pdvalue.h"

namespace {

typedef std::u16string WText;
typedef std::vector<BYTE> Bytes;

const WText kRoot = WText(CORE_DEFAULT_REGISTRY_KEY) + u"PrinterDriverData\\";

Bytes TextBytes(const WText &text)
{
    const BYTE *p = reinterpret_cast<const BYTE *>(text.c_str());
    return Bytes(p, p + (text.size() + 1) * sizeof(WCHAR));
}

Bytes DwordBytes(DWORD value)
{
    return Bytes({static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                  static_cast<BYTE>(value >> 24)});
}

Bytes SlotBytes(DWORD s1, DWORD s2, DWORD s3, DWORD s4)
{
    Bytes out;
    for (DWORD v : {s1, s2, s3, s4}) {
        Bytes b = DwordBytes(v);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

std::string Narrow(LPCWSTR text)
{
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// The log of the module under test goes to a directory of this test's own,
// at the lowest level, so that every line can be checked.
class PrinterDataTest : public kvtest::AttachedModuleTest {
protected:
    void TearDown() override
    {
        printers_.CloseAll();
        SetModelQueryFunction(nullptr);
        AttachedModuleTest::TearDown();
    }

    HANDLE AddPrinter(const std::string &name, const std::string &ppd = std::string(),
                      DWORD access = PRINTER_ALL_ACCESS)
    {
        kvp::PrinterSpec spec;
        spec.name = name;
        spec.driverName = "KV Test Driver " + name;
        spec.dataFile = ppd;
        return printers_.Add(spec, access);
    }

    HANDLE Open(const std::string &name, DWORD access) { return printers_.Open(name, access); }

    static void Store(HANDLE printer, LPCWSTR name, DWORD type, const Bytes &data)
    {
        ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer, const_cast<LPWSTR>(name), type,
                                                 const_cast<LPBYTE>(data.data()), static_cast<DWORD>(data.size())))
            << Narrow(name);
    }

    // The printer data value NAME, or false when it is missing.
    static bool Stored(HANDLE printer, LPCWSTR name, Bytes *data, DWORD *type = nullptr)
    {
        BYTE buffer[256];
        DWORD localType = 0, needed = 0;
        if (GetPrinterDataW(printer, const_cast<LPWSTR>(name), &localType, buffer, sizeof(buffer), &needed) !=
            ERROR_SUCCESS)
            return false;
        data->assign(buffer, buffer + needed);
        if (type != nullptr) *type = localType;
        return true;
    }

    // Number of log lines at LEVEL that end with MESSAGE.
    int Logged(const std::string &level, const std::string &message) const
    {
        std::string log = LogText();
        int count = 0;
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find("\r\n", start);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(start, end - start);
            if (line.find("KVPS[" + level + "]: ") != std::string::npos && line.size() >= message.size() &&
                line.compare(line.size() - message.size(), message.size(), message) == 0)
                ++count;
            start = end + 2;
        }
        return count;
    }

    kvtest::TestPrinters printers_;
};

// ---- built-in defaults --------------------------------------------------------

TEST_F(PrinterDataTest, DefaultSourceAnswersTheBuiltInTable)
{
    struct Case {
        const WCHAR *name;
        DWORD size;  // 0: no built-in default in this line
    };
    const Case cases[] = {
#if KV_LINE_A
        {u"OEMLastCheckedPort", 2},
        {u"OEMPrinterID", 2},
        {u"OEMSecurePrintUserName", 2},
        {u"OEMSecurePrintPIN", 2},
#else
        {u"OEMLastCheckedPort", 0},
        {u"OEMPrinterID", 0},
        {u"OEMSecurePrintUserName", 0},
        {u"OEMSecurePrintPIN", 0},
#endif
        {u"OEMDisablePSFeatures", 4},
        {u"OEMSupportCapability", 16},
        {u"OEMEnableFunction", 16},
        {u"OEMSupportJCL", 0},
        {u"OEMSupportSecurePrint", 0},
        {u"oemdisablepsfeatures", 0},  // names compare with their case
        {u"OEMDisablePSFeaturesX", 0},
    };
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataDefaults defaults;
    PrinterDataValues values(printer);
    for (const Case &c : cases) {
        for (PrinterDataDefaults *object : {&defaults, static_cast<PrinterDataDefaults *>(&values)}) {
            BYTE buffer[32];
            memset(buffer, 0xA5, sizeof(buffer));
            BOOL ok = object->ReadValue(c.name, buffer, sizeof(buffer), DataSourceDefault);
            EXPECT_EQ(c.size != 0, ok != FALSE) << Narrow(c.name);
            for (DWORD i = 0; i < sizeof(buffer); ++i) {
                EXPECT_EQ(i < c.size ? 0x00 : 0xA5, buffer[i]) << Narrow(c.name) << " byte " << i;
            }
            // A buffer one byte short takes nothing.
            if (c.size != 0) {
                memset(buffer, 0xA5, sizeof(buffer));
                EXPECT_FALSE(object->ReadValue(c.name, buffer, c.size - 1, DataSourceDefault)) << Narrow(c.name);
                EXPECT_EQ(0xA5, buffer[0]) << Narrow(c.name);
            }
        }
    }
}

TEST_F(PrinterDataTest, DefaultsObjectKnowsNoPrinter)
{
    PrinterDataDefaults defaults;
    BYTE buffer[16];
    EXPECT_FALSE(defaults.ReadValue(kValueSupportCapability, buffer, sizeof(buffer), DataSourcePrinter));
    EXPECT_FALSE(defaults.SupportsCapability(0xFFFFFFFF));
    EXPECT_FALSE(defaults.IsFunctionEnabled(0xFFFFFFFF, 1, DataSourceDefault));
}

TEST_F(PrinterDataTest, NeverInitialisedPrinterSupportsNothing)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    BYTE buffer[16];
    memset(buffer, 0xA5, sizeof(buffer));

    EXPECT_TRUE(values.ReadValue(kValueSupportCapability, buffer, sizeof(buffer), DataSourcePrinter));
    EXPECT_EQ(Bytes(16, 0), Bytes(buffer, buffer + 16));
    EXPECT_EQ(0u, values.GetSupportCapability());
    EXPECT_FALSE(values.SupportsCapability(0xFFFFFFFF));
    for (DWORD slot = 1; slot <= 4; ++slot) EXPECT_FALSE(values.IsFunctionEnabled(0xFFFFFFFF, slot, DataSourcePrinter));
}

// ---- reading by source ----------------------------------------------------------

TEST_F(PrinterDataTest, PrinterSourceReadsStoredValueAndFallsBackToDefault)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Store(printer, kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x2));

    DWORD flags = 0xA5A5A5A5;
    EXPECT_TRUE(values.ReadValue(kValueDisablePSFeatures, &flags, sizeof(flags), DataSourcePrinter));
    EXPECT_EQ(0x2u, flags);

    // Missing with a built-in default: the default.
    BYTE slots[16];
    memset(slots, 0xA5, sizeof(slots));
    EXPECT_TRUE(values.ReadValue(kValueEnableFunction, slots, sizeof(slots), DataSourcePrinter));
    EXPECT_EQ(Bytes(16, 0), Bytes(slots, slots + 16));

    // Missing without one: nothing, and the caller's buffer stays.
    DWORD jcl = 0xA5A5A5A5;
    EXPECT_FALSE(values.ReadValue(kValueSupportJCL, &jcl, sizeof(jcl), DataSourcePrinter));
    EXPECT_EQ(0xA5A5A5A5u, jcl);
    EXPECT_EQ(0u, values.GetSupportJCL(0));
}

TEST_F(PrinterDataTest, UserSourceFallsBackToPrinterDefaultThenBuiltIn)
{
#if KV_LINE_A
    const bool builtIn = true;
#else
    const bool builtIn = false;  // line B has no secure print values
#endif
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    PrinterDataValues values(printer);
    const WText mine = u"yamada", admin = u"guest";
    Store(printer, u"OEMSecurePrintUserNameDefault", REG_SZ, TextBytes(admin));
    Bytes user = TextBytes(mine);
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, kValueSecurePrintUserName, REG_SZ, user.data(),
                                            static_cast<DWORD>(user.size()), FALSE));

    WCHAR buffer[32];
    for (WCHAR &w : buffer) w = u'#';
    ASSERT_TRUE(values.ReadValue(kValueSecurePrintUserName, buffer, sizeof(buffer), DataSourceUser));
    EXPECT_EQ(mine, WText(buffer));

    // A user who never stored one gets the administrator's default.
    kvp::SystemSetUserName("newcomer");
    for (WCHAR &w : buffer) w = u'#';
    ASSERT_TRUE(values.ReadValue(kValueSecurePrintUserName, buffer, sizeof(buffer), DataSourceUser));
    EXPECT_EQ(admin, WText(buffer));

    // Without that, the built-in empty text.
    ASSERT_EQ(ERROR_SUCCESS, DeletePrinterDataW(printer, const_cast<LPWSTR>(u"OEMSecurePrintUserNameDefault")));
    for (WCHAR &w : buffer) w = u'#';
    EXPECT_EQ(builtIn, values.ReadValue(kValueSecurePrintUserName, buffer, sizeof(buffer), DataSourceUser) != FALSE);
    EXPECT_EQ(builtIn ? u'\0' : u'#', buffer[0]);

    // A printer without identity has no user store at all: straight to the
    // printer's default.
    HANDLE plain = AddPrinter("Plain");
    Store(plain, u"OEMSecurePrintUserNameDefault", REG_SZ, TextBytes(admin));
    PrinterDataValues plainValues(plain);
    ASSERT_TRUE(plainValues.ReadValue(kValueSecurePrintUserName, buffer, sizeof(buffer), DataSourceUser));
    EXPECT_EQ(admin, WText(buffer));
}

TEST_F(PrinterDataTest, PrinterDefaultSourceReadsNameWithDefaultAppended)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Store(printer, kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x1));
    Store(printer, u"OEMDisablePSFeaturesDefault", REG_DWORD, DwordBytes(0x2));

    DWORD flags = 0;
    EXPECT_TRUE(values.ReadValue(kValueDisablePSFeatures, &flags, sizeof(flags), DataSourcePrinterDefault));
    EXPECT_EQ(0x2u, flags);

    // Missing: the built-in default of the value's own name.
    BYTE slots[16];
    memset(slots, 0xA5, sizeof(slots));
    EXPECT_TRUE(values.ReadValue(kValueSupportCapability, slots, sizeof(slots), DataSourcePrinterDefault));
    EXPECT_EQ(Bytes(16, 0), Bytes(slots, slots + 16));
}

TEST_F(PrinterDataTest, TooSmallBufferLogsNeededSizeAndNeverFallsBack)
{
    struct Case {
        const char *what;
        DataSource source;
    };
    const Case cases[] = {
        {"printer", DataSourcePrinter},
        {"user", DataSourceUser},
        {"printer default", DataSourcePrinterDefault},
    };
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    PrinterDataValues values(printer);
    const Bytes fifty(50, 0x31);
    // Each place holds a 50-byte value; the user source's fallback has a
    // short one that would fit.
    Store(printer, kValueSecurePrintUserName, REG_SZ, fifty);
    Store(printer, u"OEMSecurePrintUserNameDefault", REG_SZ, fifty);
    ASSERT_EQ(ERROR_SUCCESS, WriteUserValue(printer, kValueSecurePrintUserName, REG_SZ, fifty.data(), 50, FALSE));
    for (const Case &c : cases) {
        if (c.source == DataSourceUser) Store(printer, u"OEMSecurePrintUserNameDefault", REG_SZ, Bytes(2, 0));
        ClearLog();
        BYTE buffer[2] = {0xA5, 0xA5};

        EXPECT_FALSE(values.ReadValue(kValueSecurePrintUserName, buffer, sizeof(buffer), c.source)) << c.what;

        EXPECT_EQ(0xA5, buffer[0]) << c.what;
        EXPECT_EQ(0xA5, buffer[1]) << c.what;
        EXPECT_EQ(1, Logged("ERROR", "Insufficient buffer size more than 50.")) << c.what << "\n" << LogText();
        if (c.source == DataSourceUser) Store(printer, u"OEMSecurePrintUserNameDefault", REG_SZ, fifty);
    }
}

TEST_F(PrinterDataTest, ReservedAndUnknownSourcesAreRefused)
{
    struct Case {
        DWORD source;
        const char *message;
    };
    const Case cases[] = {
        {DataSourceReserved, "Currentry not implemented yet."},
        {5, "Invalid DataSource type(5)."},
        {0xFFFFFFFF, "Invalid DataSource type(-1)."},
    };
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    for (const Case &c : cases) {
        ClearLog();
        DWORD value = 0xA5A5A5A5;
        EXPECT_FALSE(values.ReadValue(kValueDisablePSFeatures, &value, sizeof(value), c.source)) << c.message;
        EXPECT_EQ(0xA5A5A5A5u, value);
        EXPECT_FALSE(values.WriteValue(kValueDisablePSFeatures, REG_DWORD, &value, sizeof(value), c.source))
            << c.message;
        EXPECT_EQ(2, Logged("ERROR", c.message)) << c.message << "\n" << LogText();
    }
    Bytes stored;
    EXPECT_FALSE(Stored(printer, kValueDisablePSFeatures, &stored));
}

// ---- writing by source -----------------------------------------------------------

TEST_F(PrinterDataTest, WritingTheDefaultSourceIsRefused)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    const DWORD flags = 0x1;

    EXPECT_FALSE(values.WriteValue(kValueDisablePSFeatures, REG_DWORD, &flags, sizeof(flags), DataSourceDefault));

    EXPECT_EQ(1, Logged("ERROR", "Cannot set the default value.")) << LogText();
    Bytes stored;
    EXPECT_FALSE(Stored(printer, kValueDisablePSFeatures, &stored));
    DWORD read = 0xA5A5A5A5;
    EXPECT_TRUE(values.ReadValue(kValueDisablePSFeatures, &read, sizeof(read), DataSourceDefault));
    EXPECT_EQ(0u, read);
}

TEST_F(PrinterDataTest, EachSourceWritesToItsOwnPlace)
{
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    PrinterDataValues values(printer);
    WCHAR id[kPrinterIdChars];
    ASSERT_TRUE(ReadPrinterIdText(printer, id, sizeof(id)));

    const DWORD one = 1, two = 2, three = 3;
    ASSERT_TRUE(values.WriteValue(u"OEMTestValue", REG_DWORD, &one, sizeof(one), DataSourcePrinter));
    ASSERT_TRUE(values.WriteValue(u"OEMTestValue", REG_DWORD, &two, sizeof(two), DataSourceUser));
    ASSERT_TRUE(values.WriteValue(u"OEMTestValue", REG_DWORD, &three, sizeof(three), DataSourcePrinterDefault));

    Bytes data;
    DWORD type = 0;
    ASSERT_TRUE(Stored(printer, u"OEMTestValue", &data, &type));
    EXPECT_EQ(DwordBytes(1), data);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_TRUE(Stored(printer, u"OEMTestValueDefault", &data));
    EXPECT_EQ(DwordBytes(3), data);
    DWORD user = 0;
    DWORD needed = 0;
    ASSERT_EQ(ERROR_SUCCESS, ReadUserValue(printer, u"OEMTestValue", &type, reinterpret_cast<LPBYTE>(&user),
                                           sizeof(user), &needed, FALSE));
    EXPECT_EQ(2u, user);

    for (DataSource source : {DataSourcePrinter, DataSourceUser, DataSourcePrinterDefault}) {
        DWORD read = 0;
        EXPECT_TRUE(values.ReadValue(u"OEMTestValue", &read, sizeof(read), source)) << source;
        EXPECT_EQ(static_cast<DWORD>(source), read) << source;
    }
}

TEST_F(PrinterDataTest, RefusedPrinterWriteIsRepeatedThroughFullAccessHandle)
{
    AddPrinter("Plotter");
    HANDLE user = Open("Plotter", PRINTER_ACCESS_USE);
    const DWORD flags = 0x2;
    // The handle itself may not change the printer.
    ASSERT_NE(static_cast<DWORD>(ERROR_SUCCESS),
              SetPrinterDataW(user, const_cast<LPWSTR>(kValueDisablePSFeatures), REG_DWORD,
                              reinterpret_cast<LPBYTE>(const_cast<DWORD *>(&flags)), sizeof(flags)));
    PrinterDataValues values(user);

    EXPECT_TRUE(values.WriteValue(kValueDisablePSFeatures, REG_DWORD, &flags, sizeof(flags), DataSourcePrinter));

    Bytes data;
    ASSERT_TRUE(Stored(user, kValueDisablePSFeatures, &data));
    EXPECT_EQ(DwordBytes(0x2), data);
    // The capability goes the same way.
    EXPECT_TRUE(values.SetSupportCapability(0x8000));
    EXPECT_TRUE(values.SupportsCapability(0x8000));
}

// ---- capability, functions and support flags ----------------------------------

TEST_F(PrinterDataTest, SetSupportCapabilityReplacesSlotOneOnly)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Store(printer, kValueSupportCapability, REG_BINARY, SlotBytes(0x1, 0x11, 0x22, 0x33));

    ASSERT_TRUE(values.SetSupportCapability(0x00060007));

    Bytes data;
    DWORD type = 0;
    ASSERT_TRUE(Stored(printer, kValueSupportCapability, &data, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(SlotBytes(0x00060007, 0x11, 0x22, 0x33), data);
    EXPECT_EQ(0x00060007u, values.GetSupportCapability());
    EXPECT_TRUE(values.SupportsCapability(0x40000));
    EXPECT_TRUE(values.SupportsCapability(0x8 | 0x4));
    EXPECT_FALSE(values.SupportsCapability(0x8));
    EXPECT_FALSE(values.SupportsCapability(0x10 | 0x8000));
}

TEST_F(PrinterDataTest, SetSupportCapabilityOnEmptyPrinterWritesSixteenBytes)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    ASSERT_TRUE(values.SetSupportCapability(0x8000));
    Bytes data;
    ASSERT_TRUE(Stored(printer, kValueSupportCapability, &data));
    EXPECT_EQ(SlotBytes(0x8000, 0, 0, 0), data);
}

TEST_F(PrinterDataTest, IsFunctionEnabledTestsTheAskedSlot)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Store(printer, kValueEnableFunction, REG_BINARY, SlotBytes(0x1, 0x2, 0x4, 0x80000000));
    Store(printer, u"OEMEnableFunctionDefault", REG_BINARY, SlotBytes(0x100, 0, 0, 0));
    struct Case {
        DWORD bits;
        DWORD slot;
        DataSource source;
        bool enabled;
    };
    const Case cases[] = {
        {0x1, 1, DataSourcePrinter, true},
        {0x1, 2, DataSourcePrinter, false},
        {0x2, 2, DataSourcePrinter, true},
        {0x6, 3, DataSourcePrinter, true},
        {0x80000000, 4, DataSourcePrinter, true},
        {0x7FFFFFFF, 4, DataSourcePrinter, false},
        {0x100, 1, DataSourcePrinterDefault, true},
        {0x1, 1, DataSourcePrinterDefault, false},
        {0x1, 1, DataSourceDefault, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.enabled, values.IsFunctionEnabled(c.bits, c.slot, c.source) != FALSE)
            << "bits " << c.bits << " slot " << c.slot << " source " << c.source;
    }
    for (DWORD slot : {0u, 5u}) {
        ClearLog();
        EXPECT_FALSE(values.IsFunctionEnabled(0xFFFFFFFF, slot, DataSourcePrinter));
        EXPECT_EQ(1, Logged("ERROR", "Invalid slot no = " + std::to_string(slot) + ".")) << LogText();
    }
}

TEST_F(PrinterDataTest, SetSupportFlagWritesOnlyTheKnownFlags)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Bytes data;
    DWORD type = 0;

    EXPECT_FALSE(values.SetSupportFlag(1, 7));
    EXPECT_FALSE(Stored(printer, kValueSupportJCL, &data));
    EXPECT_FALSE(Stored(printer, kValueSupportSecurePrint, &data));

    ASSERT_TRUE(values.SetSupportFlag(0, 0xFFFF));
    ASSERT_TRUE(Stored(printer, kValueSupportJCL, &data, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(DwordBytes(0xFFFF), data);
    EXPECT_EQ(0xFFFFu, values.GetSupportJCL(0));
    EXPECT_EQ(0u, values.GetSupportJCL(1));

#if KV_LINE_A
    ASSERT_TRUE(values.SetSupportFlag(2, 2));
    ASSERT_TRUE(Stored(printer, kValueSupportSecurePrint, &data, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(DwordBytes(2), data);
    DWORD support = 0;
    EXPECT_TRUE(ReadSecurePrintSupport(printer, &support));
    EXPECT_EQ(2u, support);
#else
    EXPECT_FALSE(values.SetSupportFlag(2, 2));
    EXPECT_FALSE(Stored(printer, kValueSupportSecurePrint, &data));
#endif
}

// ---- feature switches --------------------------------------------------------------

TEST_F(PrinterDataTest, FeatureSwitchesFollowTheirBits)
{
    struct Case {
        bool stored;
        DWORD flags;
        DWORD featureSwitch;
        bool on;
    };
    const Case cases[] = {
#if KV_LINE_A
        {false, 0, 0, false},
        {false, 0, 1, false},
        {true, 0x1, 0, true},
        {true, 0x1, 1, false},
        {true, 0x2, 1, true},
        {true, 0x2, 0, false},
        {true, 0x80000000, 0, true},
        {true, 0x80000000, 1, true},
        {true, 0x80000000, 2, true},
        {true, 0x80000000, 7, true},
        {true, 0x3, 2, false},
        {true, 0x7FFFFFFF, 7, false},
#else
        // Line B: print-speed priority is always on; any other switch only
        // through the all-switches bit.
        {false, 0, 0, true},
        {true, 0, 0, true},
        {false, 0, 1, false},
        {true, 0x2, 1, false},
        {true, 0x1, 1, false},
        {true, 0x80000000, 1, true},
        {true, 0x80000000, 2, true},
        {true, 0x80000000, 7, true},
        {true, 0x7FFFFFFF, 7, false},
#endif
    };
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    for (const Case &c : cases) {
        DeletePrinterDataW(printer, const_cast<LPWSTR>(kValueDisablePSFeatures));
        if (c.stored) Store(printer, kValueDisablePSFeatures, REG_DWORD, DwordBytes(c.flags));
        EXPECT_EQ(c.on, values.IsFeatureSwitchOn(c.featureSwitch) != FALSE)
            << "flags " << std::hex << c.flags << " switch " << c.featureSwitch;
    }
}

#if KV_LINE_A
TEST_F(PrinterDataTest, SetAndClearFeatureSwitchKeepOtherBits)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    Bytes data;
    DWORD type = 0;

    ASSERT_TRUE(values.SetFeatureSwitch(SWITCH_SECURE_PRINT));
    ASSERT_TRUE(Stored(printer, kValueDisablePSFeatures, &data, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(DwordBytes(0x2), data);

    ASSERT_TRUE(values.SetFeatureSwitch(SWITCH_PRINT_SPEED_PRIORITY));
    ASSERT_TRUE(Stored(printer, kValueDisablePSFeatures, &data));
    EXPECT_EQ(DwordBytes(0x3), data);

    Store(printer, kValueDisablePSFeatures, REG_DWORD, DwordBytes(0x80000003));
    ASSERT_TRUE(values.ClearFeatureSwitch(SWITCH_SECURE_PRINT));
    ASSERT_TRUE(Stored(printer, kValueDisablePSFeatures, &data));
    EXPECT_EQ(DwordBytes(0x80000001), data);
    // The all-switches bit still holds the switch on.
    EXPECT_TRUE(values.IsFeatureSwitchOn(SWITCH_SECURE_PRINT));

    // A switch without bit changes nothing but is still written.
    ASSERT_TRUE(values.SetFeatureSwitch(9));
    ASSERT_TRUE(Stored(printer, kValueDisablePSFeatures, &data));
    EXPECT_EQ(DwordBytes(0x80000001), data);
}

TEST_F(PrinterDataTest, FeatureSwitchWriteFailsOnHandleWithoutAccess)
{
    AddPrinter("Plotter");
    HANDLE user = Open("Plotter", PRINTER_ACCESS_USE);
    PrinterDataValues values(user);
    EXPECT_FALSE(values.SetFeatureSwitch(SWITCH_PRINT_SPEED_PRIORITY));
    Bytes data;
    EXPECT_FALSE(Stored(user, kValueDisablePSFeatures, &data));
}

// ---- secure print credentials --------------------------------------------------------

TEST_F(PrinterDataTest, CredentialsAreStoredAsTextWithItsNul)
{
    HANDLE printer = AddPrinter("Plotter");
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    PrinterDataValues values(printer);

    ASSERT_TRUE(values.SetSecurePrintUserName(u"kobayashi", DataSourcePrinter));
    ASSERT_TRUE(values.SetSecurePrintPIN(u"", DataSourcePrinter));
    ASSERT_TRUE(values.SetSecurePrintPIN(u"4321", DataSourceUser));
    EXPECT_FALSE(values.SetSecurePrintUserName(nullptr, DataSourcePrinter));

    Bytes data;
    DWORD type = 0;
    ASSERT_TRUE(Stored(printer, kValueSecurePrintUserName, &data, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(TextBytes(u"kobayashi"), data);
    ASSERT_TRUE(Stored(printer, kValueSecurePrintPin, &data));
    EXPECT_EQ(TextBytes(u""), data);

    WCHAR buffer[32];
    ASSERT_TRUE(values.GetSecurePrintUserName(buffer, sizeof(buffer), DataSourcePrinter));
    EXPECT_EQ(u"kobayashi", WText(buffer));
    ASSERT_TRUE(values.GetSecurePrintPIN(buffer, sizeof(buffer), DataSourceUser));
    EXPECT_EQ(u"4321", WText(buffer));
}

TEST_F(PrinterDataTest, CredentialGettersStopAtWhatWasStored)
{
    HANDLE printer = AddPrinter("Plotter");
    PrinterDataValues values(printer);
    // Texts written by someone else, without their NUL.
    Store(printer, kValueSecurePrintUserName, REG_SZ, Bytes({'a', 0, 'b', 0}));
    Store(printer, kValueSecurePrintPin, REG_SZ, Bytes({'1', 0, '2', 0, '3', 0, '4', 0}));

    WCHAR buffer[8];
    for (WCHAR &w : buffer) w = u'#';
    ASSERT_TRUE(values.GetSecurePrintUserName(buffer, sizeof(buffer), DataSourcePrinter));
    EXPECT_EQ(u"ab", WText(buffer));
    // Exactly as long as the buffer: no room for a NUL.
    EXPECT_FALSE(values.GetSecurePrintPIN(buffer, 8, DataSourcePrinter));
    ASSERT_TRUE(values.GetSecurePrintPIN(buffer, 10, DataSourcePrinter));
    EXPECT_EQ(u"1234", WText(buffer));
}

TEST_F(PrinterDataTest, ReadSecurePrintSupportNeedsTheValue)
{
    HANDLE printer = AddPrinter("Plotter");
    DWORD support = 0xA5A5A5A5;
    EXPECT_FALSE(ReadSecurePrintSupport(printer, &support));
    EXPECT_EQ(0xA5A5A5A5u, support);
    EXPECT_FALSE(ReadSecurePrintSupport(printer, nullptr));
}
#endif

// ---- printer initialisation ----------------------------------------------------------

#if KV_LINE_A
const DWORD kQueryJcl = 100;
const DWORD kQueryCapability = 300;
const DWORD kQuerySecurePrint = 202;
#else
const DWORD kQueryJcl = 1006;
const DWORD kQueryCapability = 1001;
#endif

// A model library played by the test: which queries it answers and with what.
struct ScriptedModel {
    bool answersType = true;
    bool answersCapability = true;
    bool answersJcl = true;
    bool answersSecurePrint = true;
    std::string product = "Vastrelo 1140 PS";
    WORD type = 8001;
    DWORD capability = 0x00060007;
    WORD jcl = 3;
    WORD securePrint = 2;
    std::vector<std::pair<DWORD, DWORD>> asked;  // query, printer type
    std::string askedProduct;
};
ScriptedModel g_model;

BOOL ScriptedQuery(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    g_model.asked.push_back({queryId, printerType});
    // Like the real library, a type it does not know answers nothing but
    // the type lookup.
    bool known = printerType == g_model.type;
    switch (queryId) {
    case 1:
        if (!g_model.answersType) return FALSE;
        g_model.askedProduct = static_cast<const char *>(input);
        *static_cast<WORD *>(output) = g_model.askedProduct == g_model.product ? g_model.type : 0;
        return TRUE;
    case kQueryCapability:
        if (!g_model.answersCapability || !known) return FALSE;
        *static_cast<DWORD *>(output) = g_model.capability;
        return TRUE;
    case kQueryJcl:
        if (!g_model.answersJcl || !known) return FALSE;
        *static_cast<WORD *>(output) = g_model.jcl;
        return TRUE;
#if KV_LINE_A
    case kQuerySecurePrint:
        if (!g_model.answersSecurePrint || !known) return FALSE;
        *static_cast<WORD *>(output) = g_model.securePrint;
        return TRUE;
#endif
    default:
        return FALSE;
    }
}

class InitPrinterDataTest : public PrinterDataTest {
protected:
    void SetUp() override
    {
        PrinterDataTest::SetUp();
        g_model = ScriptedModel();
        SetModelQueryFunction(ScriptedQuery);
    }

    HANDLE AddModelPrinter() { return AddPrinter("Plotter", std::string(KV_SOURCE_DIR) + "/packaging/KV1140.PPD"); }

    static DWORD StoredDword(HANDLE printer, LPCWSTR name)
    {
        Bytes data;
        DWORD type = 0;
        EXPECT_TRUE(Stored(printer, name, &data, &type)) << Narrow(name);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << Narrow(name);
        DWORD value = 0;
        if (data.size() == 4) memcpy(&value, data.data(), 4);
        return value;
    }
};

TEST_F(InitPrinterDataTest, QueryFunctionDefaultsToQueryModel)
{
    EXPECT_EQ(ScriptedQuery, SetModelQueryFunction(nullptr));
    EXPECT_EQ(QueryModel, SetModelQueryFunction(ScriptedQuery));
}

TEST_F(InitPrinterDataTest, StoresTheModelsAnswers)
{
    HANDLE printer = AddModelPrinter();
    Store(printer, kValueSupportCapability, REG_BINARY, SlotBytes(0xFFFFFFFF, 0x11, 0x22, 0x33));

    EXPECT_TRUE(InitPrinterData(printer));

    EXPECT_EQ("Vastrelo 1140 PS", g_model.askedProduct);
    Bytes data;
    ASSERT_TRUE(Stored(printer, kValueSupportCapability, &data));
    EXPECT_EQ(SlotBytes(0x00060007, 0x11, 0x22, 0x33), data);
    EXPECT_EQ(3u, StoredDword(printer, kValueSupportJCL));
#if KV_LINE_A
    EXPECT_EQ(2u, StoredDword(printer, kValueSupportSecurePrint));
#else
    EXPECT_FALSE(Stored(printer, kValueSupportSecurePrint, &data));
#endif
    WCHAR id[kPrinterIdChars];
    EXPECT_TRUE(ReadPrinterIdText(printer, id, sizeof(id)));
    for (const auto &query : g_model.asked) {
        if (query.first != 1) {
            EXPECT_EQ(8001u, query.second) << "query " << query.first;
        }
    }
    EXPECT_EQ(0, Logged("ERROR", "")) << LogText();
}

TEST_F(InitPrinterDataTest, KeepsTheIdentityItHas)
{
    HANDLE printer = AddModelPrinter();
    ASSERT_TRUE(GetOrCreatePrinterId(printer, nullptr));
    WCHAR before[kPrinterIdChars], after[kPrinterIdChars];
    ASSERT_TRUE(ReadPrinterIdText(printer, before, sizeof(before)));
    InitPrinterData(printer);
    ASSERT_TRUE(ReadPrinterIdText(printer, after, sizeof(after)));
    EXPECT_EQ(WText(before), WText(after));
}

TEST_F(InitPrinterDataTest, MissingAnswersAreLoggedAndReplaced)
{
    struct Case {
        const char *what;
        bool capability, jcl, securePrint;
        DWORD storedCapability, storedJcl, storedSecurePrint;
        bool result;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
#if KV_LINE_A
        {"no secure print", true, true, false, 0x00060007, 3, 0, false,
         {"Not support OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT. wPrnType=[8001]"}},
        {"no JCL", true, false, true, 0x00060007, 1, 2, true,
         {"Not support KVPS_FUNCID_GETSUPPORTTYPE_JCL. wPrnType=[8001]"}},
        {"no capability", false, true, true, 0, 3, 2, true,
         {"Not support OUPF_FUNCID_GETCAPABILITY. wPrnType=[8001]"}},
        {"nothing", false, false, false, 0, 1, 0, false,
         {"Not support OUPF_FUNCID_GETCAPABILITY. wPrnType=[8001]",
          "Not support KVPS_FUNCID_GETSUPPORTTYPE_JCL. wPrnType=[8001]",
          "Not support OUPF_FUNCID_GETSUPPORTTYPE_SECUREPRINT. wPrnType=[8001]"}},
#else
        {"no JCL", true, false, true, 0x00060007, 1, 0, false,
         {"Not support KVPS_FUNCID_GETSUPPORTTYPE_JCL. wPrnType=[8001]"}},
        {"no capability", false, true, true, 0, 3, 0, true,
         {"Not support OUPF_FUNCID_GETCAPABILITY. wPrnType=[8001]"}},
#endif
    };
    for (const Case &c : cases) {
        HANDLE printer = AddModelPrinter();
        Store(printer, kValueSupportCapability, REG_BINARY, SlotBytes(0x1234, 0, 0, 0));
        g_model.answersCapability = c.capability;
        g_model.answersJcl = c.jcl;
        g_model.answersSecurePrint = c.securePrint;
        ClearLog();

        EXPECT_EQ(c.result, InitPrinterData(printer) != FALSE) << c.what;

        Bytes data;
        ASSERT_TRUE(Stored(printer, kValueSupportCapability, &data)) << c.what;
        EXPECT_EQ(SlotBytes(c.storedCapability, 0, 0, 0), data) << c.what;
        EXPECT_EQ(c.storedJcl, StoredDword(printer, kValueSupportJCL)) << c.what;
#if KV_LINE_A
        EXPECT_EQ(c.storedSecurePrint, StoredDword(printer, kValueSupportSecurePrint)) << c.what;
#endif
        for (const std::string &message : c.messages) {
            EXPECT_EQ(1, Logged("ERROR", message)) << c.what << "\n" << LogText();
        }
        EXPECT_EQ(static_cast<int>(c.messages.size()), Logged("ERROR", "")) << c.what << "\n" << LogText();

        printers_.Close(printer);
        ASSERT_TRUE(kvp::DeletePrinter("Plotter"));
    }
}

TEST_F(InitPrinterDataTest, UnknownProductGetsTheFallbacks)
{
    g_model.product = "Some Other Model";
    HANDLE printer = AddModelPrinter();

    EXPECT_FALSE(InitPrinterData(printer));

    Bytes data;
    ASSERT_TRUE(Stored(printer, kValueSupportCapability, &data));
    EXPECT_EQ(SlotBytes(0, 0, 0, 0), data);
    EXPECT_EQ(1u, StoredDword(printer, kValueSupportJCL));
    EXPECT_EQ(1, Logged("ERROR", "Not support KVPS_FUNCID_GETSUPPORTTYPE_JCL. wPrnType=[0]")) << LogText();
#if KV_LINE_A
    EXPECT_EQ(0u, StoredDword(printer, kValueSupportSecurePrint));
#endif
    // The identity does not depend on the model.
    WCHAR id[kPrinterIdChars];
    EXPECT_TRUE(ReadPrinterIdText(printer, id, sizeof(id)));
}

TEST_F(InitPrinterDataTest, NoPrinterTypeMeansNothingIsWritten)
{
    HANDLE withoutPpd = AddPrinter("NoPpd", KV_SOURCE_DIR "/packaging/missing.PPD");
    EXPECT_FALSE(InitPrinterData(withoutPpd));
    EXPECT_TRUE(g_model.asked.empty());
    EXPECT_EQ(0, Logged("ERROR", "")) << LogText();

    HANDLE printer = AddModelPrinter();
    g_model.answersType = false;
    EXPECT_FALSE(InitPrinterData(printer));
    EXPECT_EQ(1, Logged("ERROR", "Not support KVPS_QUILFEN_GETPRINTERTYPE. szProductName=[Vastrelo 1140 PS]"))
        << LogText();

    for (HANDLE h : {withoutPpd, printer}) {
        Bytes data;
        EXPECT_FALSE(Stored(h, kValuePrinterId, &data));
        EXPECT_FALSE(Stored(h, kValueSupportCapability, &data));
        EXPECT_FALSE(Stored(h, kValueSupportJCL, &data));
    }
}

TEST_F(InitPrinterDataTest, WithoutModelLibraryThePrinterTypeCannotBeFound)
{
    SetModelQueryFunction(nullptr);
    HANDLE printer = AddModelPrinter();
    EXPECT_FALSE(InitPrinterData(printer));
    EXPECT_EQ(1, Logged("ERROR", "Not support KVPS_QUILFEN_GETPRINTERTYPE. szProductName=[Vastrelo 1140 PS]"))
        << LogText();
}

}  // namespace
