// The printer life cycle through the UI plug-in: installation fills the
// printer data from the model library, upgrades refresh it, deletion
// removes the user's store of the printer.
#include "ui_support.h"

namespace {

using uitest::UiPluginFixture;

struct InstallCase {
    const char *model;
    DWORD capability;
    DWORD jcl;
    bool hasSecurePrint;
    DWORD securePrint;
};
const InstallCase kInstallCases[] = {
    {"Vastrelo 1140 PS", 0x00060007, 3, true, 2},
    {"Vastrelo 1180 PS", 0x000647FF, 3, true, 2},
    {"Vastrelo 1162 PS", 0x000007FF, 3, false, 0},
    {"Vastrelo 1165 PS", 0x000007FF, 3, false, 0},
    {"Vastrelo 1157 PS", 0x000007FF, 3, false, 0},
};

class UiPrinterInstall : public ::testing::TestWithParam<InstallCase> {};

TEST_P(UiPrinterInstall, FillsThePrinterDataFromTheModelLibrary)
{
    const InstallCase &c = GetParam();
    kvhost::InstallOptions options;
    options.printerName = "Plotter";
    options.model = c.model;
    kvhost::InstallResult result;
    ASSERT_TRUE(kvhost::InstallPrinter(options, &result)) << result.error;
    EXPECT_EQ(S_OK, result.initializeResult);

    std::vector<BYTE> capability = uitest::PrinterData("Plotter", "OEMSupportCapability");
    ASSERT_EQ(16u, capability.size());
    DWORD slot1 = capability[0] | (capability[1] << 8) | (capability[2] << 16) | (static_cast<DWORD>(capability[3]) << 24);
    EXPECT_EQ(c.capability, slot1);
    for (size_t i = 4; i < 16; ++i) EXPECT_EQ(0, capability[i]) << "byte " << i;

    DWORD jcl = 0;
    ASSERT_TRUE(uitest::PrinterDataDword("Plotter", "OEMSupportJCL", &jcl));
    EXPECT_EQ(c.jcl, jcl);
    DWORD securePrint = 0;
    EXPECT_EQ(c.hasSecurePrint, uitest::PrinterDataDword("Plotter", "OEMSupportSecurePrint", &securePrint));
    EXPECT_EQ(c.securePrint, securePrint);
    // Every line gives the printer an identity (line B only keeps it out of
    // its records).
    EXPECT_EQ(36u, uitest::PrinterIdText("Plotter").size());
}

INSTANTIATE_TEST_SUITE_P(EveryShippedModel, UiPrinterInstall, ::testing::ValuesIn(kInstallCases),
                         [](const ::testing::TestParamInfo<InstallCase> &info) {
                             std::string name = info.param.model;
                             for (char &ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

TEST(UiPrinterLifeCycle, InstallPrinterPicksThePpdOfTheProduct)
{
    kvhost::InstallOptions options;
    options.printerName = "Second Merrow";
    options.model = "Vastrelo 1165 PS";
    kvhost::InstallResult result;
    ASSERT_TRUE(kvhost::InstallPrinter(options, &result)) << result.error;
    kvp::PrinterSpec spec;
    ASSERT_TRUE(kvp::GetPrinterSpec("Second Merrow", &spec));
    EXPECT_EQ(kvhost::PackagingDir() + "/KV1165.PPD", spec.dataFile);
    EXPECT_EQ(kvhost::DefaultModuleDir() + "/kvpscmwu.dll", spec.configFile);
    EXPECT_EQ(kvhost::DefaultModuleDir() + "/kvpscmwr.dll", spec.driverPath);
    EXPECT_EQ("LPT1:", spec.port);
    EXPECT_NE(0u, spec.attributes & PRINTER_ATTRIBUTE_RAW_ONLY);
}

TEST(UiPrinterLifeCycle, PrinterWithItsOwnPpdLeavesTheOthersDriverAlone)
{
    uitest::Install("Shipped", "tavrin");
    uitest::Install("Copy", "tavrin", true, std::string(KV_TEST_DATA_DIR) + "/ui/AB1180.PPD");
    kvp::PrinterSpec shipped, copy;
    ASSERT_TRUE(kvp::GetPrinterSpec("Shipped", &shipped));
    ASSERT_TRUE(kvp::GetPrinterSpec("Copy", &copy));
    EXPECT_EQ(kvhost::PackagingDir() + "/KV1180.PPD", shipped.dataFile);
    EXPECT_EQ(std::string(KV_TEST_DATA_DIR) + "/ui/AB1180.PPD", copy.dataFile);
    EXPECT_EQ("Korvane Vastrelo 1180 PS (AB1180.PPD)", copy.driverName);
}

TEST(UiPrinterLifeCycle, IdentityIsKeptAcrossInitialisations)
{
    uitest::Install("Plotter", "tavrin");
    std::string id = uitest::PrinterIdText("Plotter");
    ASSERT_EQ(36u, id.size());
    kvhost::CoreUI core;
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.Load(uitest::UiModulePath("tavrin"), &core, &error)) << error;
    EXPECT_EQ(S_OK, host.PrinterEvent("Plotter", PRINTER_EVENT_INITIALIZE));
    EXPECT_EQ(id, uitest::PrinterIdText("Plotter"));
}

TEST_F(UiPluginFixture, UpgradePrinterRefreshesTheModelValues)
{
    uitest::Install("Plotter", "oskel", false);
    LoadPlugin("oskel");
    std::u16string name = kvhost::ToUtf16("Plotter");
    DRIVER_UPGRADE_INFO_1 info = {reinterpret_cast<LPWSTR>(&name[0]), nullptr};
    EXPECT_EQ(S_OK, Plugin()->UpgradePrinter(1, reinterpret_cast<PBYTE>(&info)));
    DWORD securePrint = 0;
    EXPECT_TRUE(uitest::PrinterDataDword("Plotter", "OEMSupportSecurePrint", &securePrint));
    EXPECT_EQ(2u, securePrint);
    EXPECT_EQ(36u, uitest::PrinterIdText("Plotter").size());
}

TEST_F(UiPluginFixture, UpgradeOfAnUnknownProductStoresFallbacksAndFails)
{
    // A product the model library does not know: no answer to any query.
    std::string ppd = uitest::PpdCopy("KV1180.PPD", "KV9999.PPD", "(Vastrelo 1180 PS)", "(Vastrelo 9999 PS)");
    uitest::Install("Stranger", "tavrin", false, ppd);
    LoadPlugin("tavrin");
    std::u16string name = kvhost::ToUtf16("Stranger");
    DRIVER_UPGRADE_INFO_1 info = {reinterpret_cast<LPWSTR>(&name[0]), nullptr};
    EXPECT_EQ(E_FAIL, Plugin()->UpgradePrinter(1, reinterpret_cast<PBYTE>(&info)));

    // Everything before the secure print answer was written all the same.
    DWORD jcl = 0, securePrint = 99;
    EXPECT_TRUE(uitest::PrinterDataDword("Stranger", "OEMSupportJCL", &jcl));
    EXPECT_EQ(1u, jcl);
    EXPECT_TRUE(uitest::PrinterDataDword("Stranger", "OEMSupportSecurePrint", &securePrint));
    EXPECT_EQ(0u, securePrint);
    EXPECT_EQ(16u, uitest::PrinterData("Stranger", "OEMSupportCapability").size());
    EXPECT_EQ(36u, uitest::PrinterIdText("Stranger").size());
    // The same holds for the initialisation event.
    EXPECT_EQ(E_FAIL, host_.PrinterEvent("Stranger", PRINTER_EVENT_INITIALIZE));
}

TEST_F(UiPluginFixture, LineBUpgradeOfAnUnknownProductFailsOnTheJclAnswer)
{
    std::string ppd = uitest::PpdCopy("KV1157.PPD", "KV9998.PPD", "(Vastrelo 1157 PS)", "(Vastrelo 9998 PS)");
    uitest::Install("Stranger", "pellin", false, ppd);
    LoadPlugin("pellin");
    std::u16string name = kvhost::ToUtf16("Stranger");
    DRIVER_UPGRADE_INFO_1 info = {reinterpret_cast<LPWSTR>(&name[0]), nullptr};
    EXPECT_EQ(E_FAIL, Plugin()->UpgradePrinter(1, reinterpret_cast<PBYTE>(&info)));
    DWORD jcl = 0, securePrint = 0;
    EXPECT_TRUE(uitest::PrinterDataDword("Stranger", "OEMSupportJCL", &jcl));
    EXPECT_EQ(1u, jcl);
    EXPECT_FALSE(uitest::PrinterDataDword("Stranger", "OEMSupportSecurePrint", &securePrint));
}

TEST_F(UiPluginFixture, PrinterEventsOnPrintersThatCannotBeReached)
{
    LoadPlugin("tavrin");
    std::u16string missing = kvhost::ToUtf16("No Such Printer");
    LPWSTR name = reinterpret_cast<LPWSTR>(&missing[0]);
    EXPECT_EQ(S_OK, Plugin()->PrinterEvent(name, PRINTER_EVENT_DELETE, 0, 0));
    EXPECT_EQ(S_OK, Plugin()->PrinterEvent(name, PRINTER_EVENT_DELETE_CONNECTION, 0, 0));
    EXPECT_EQ(S_OK, Plugin()->PrinterEvent(nullptr, PRINTER_EVENT_DELETE, 0, 0));
    EXPECT_EQ(E_FAIL, Plugin()->PrinterEvent(name, PRINTER_EVENT_INITIALIZE, 0, 0));
    EXPECT_EQ(S_OK, Plugin()->PrinterEvent(name, PRINTER_EVENT_ADD_CONNECTION, 0, 0));
    EXPECT_EQ(E_FAIL, Plugin()->UpgradePrinter(1, nullptr));
    DRIVER_UPGRADE_INFO_1 info = {name, nullptr};
    EXPECT_EQ(E_FAIL, Plugin()->UpgradePrinter(1, reinterpret_cast<PBYTE>(&info)));
}

// The current user's store of a printer (created by a per-user write).
bool UserKeyExists(const std::string &id)
{
    std::u16string path = kvhost::ToUtf16("Software\\Korvane\\KV PostScript Printer Driver\\PrinterDriverData\\" + id);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(path.c_str()), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void CreateUserKey(const std::string &id)
{
    std::u16string path = kvhost::ToUtf16("Software\\Korvane\\KV PostScript Printer Driver\\PrinterDriverData\\" + id);
    HKEY key = nullptr;
    ASSERT_EQ(static_cast<LONG>(ERROR_SUCCESS),
              RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(path.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr));
    RegCloseKey(key);
}

TEST(UiPrinterLifeCycle, RemovePrinterDeletesTheUsersStoreOfThePrinter)
{
    uitest::Install("Plotter", "tavrin");
    uitest::Install("Other", "tavrin");
    std::string id = uitest::PrinterIdText("Plotter");
    std::string other = uitest::PrinterIdText("Other");
    CreateUserKey(id);
    CreateUserKey(other);

    HRESULT event = E_UNEXPECTED;
    std::string error;
    ASSERT_TRUE(kvhost::RemovePrinter("Plotter", &event, &error)) << error;
    EXPECT_EQ(S_OK, event);
    EXPECT_FALSE(UserKeyExists(id));
    EXPECT_TRUE(UserKeyExists(other));
    kvp::PrinterSpec spec;
    EXPECT_FALSE(kvp::GetPrinterSpec("Plotter", &spec));
}

TEST(UiPrinterLifeCycle, InitializationForgetsStoresOfLocalPrintersThatAreGone)
{
    // Stores of two printers that no longer exist: one was local, one a
    // connection to another machine's printer.
    struct {
        const char *id;
        DWORD attributes;
        bool kept;
    } stale[] = {
        {"11111111-2222-3333-4444-555555555555", PRINTER_ATTRIBUTE_LOCAL, false},
        {"66666666-7777-8888-9999-000000000000", PRINTER_ATTRIBUTE_NETWORK, true},
    };
    for (const auto &s : stale) {
        CreateUserKey(s.id);
        std::u16string path = kvhost::ToUtf16(
            std::string("Software\\Korvane\\KV PostScript Printer Driver\\PrinterDriverData\\") + s.id);
        HKEY key = nullptr;
        ASSERT_EQ(static_cast<LONG>(ERROR_SUCCESS),
                  RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(path.c_str()), 0, KEY_ALL_ACCESS, &key));
        DWORD attributes = s.attributes;
        RegSetValueExW(key, nullptr, 0, REG_BINARY, reinterpret_cast<const BYTE *>(&attributes), sizeof(attributes));
        RegCloseKey(key);
    }
    uitest::Install("Plotter", "tavrin");
    for (const auto &s : stale) EXPECT_EQ(s.kept, UserKeyExists(s.id)) << s.id;
}

TEST_F(UiPluginFixture, DriverEventInitializesOnlyForVersion3DriverInformation)
{
    uitest::Install("Plotter", "tavrin", false);
    LoadPlugin("tavrin");
    std::u16string name = kvhost::ToUtf16("Plotter");
    DRIVER_INFO_3W info = {};
    info.pName = reinterpret_cast<LPWSTR>(&name[0]);

    struct {
        DWORD event;
        DWORD level;
        DWORD version;
        bool initializes;
    } cases[] = {
        {DRIVER_EVENT_INITIALIZE, 3, 2, false},
        {DRIVER_EVENT_INITIALIZE, 2, 3, false},
        {DRIVER_EVENT_DELETE, 3, 3, false},
        {DRIVER_EVENT_INITIALIZE, 3, 3, true},
    };
    for (const auto &c : cases) {
        info.cVersion = c.version;
        EXPECT_EQ(S_OK, Plugin()->DriverEvent(c.event, c.level, reinterpret_cast<LPBYTE>(&info), 0));
        DWORD jcl = 0;
        EXPECT_EQ(c.initializes, uitest::PrinterDataDword("Plotter", "OEMSupportJCL", &jcl))
            << "event " << c.event << " level " << c.level << " version " << c.version;
    }
    EXPECT_EQ(S_OK, Plugin()->DriverEvent(DRIVER_EVENT_INITIALIZE, 3, nullptr, 0));
}

}  // namespace
