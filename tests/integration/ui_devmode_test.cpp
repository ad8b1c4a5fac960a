// The private DEVMODE record as the UI plug-in sizes, defaults, converts and
// merges it inside the host's document DEVMODEW.
#include <cstring>

#include "ui_support.h"

namespace {

using uitest::UiPluginFixture;

// Offsets inside the record: the host's 12-byte header, then the data.
constexpr size_t kPrinterType = 12;
constexpr size_t kPrinterId = 16;
constexpr size_t kFlags = 32;
constexpr size_t kSettings = 36;  // ten 16-bit settings
constexpr size_t kDocumentNameMode = 56;
constexpr DWORD kOutputControlByDriver = 0x1;

DWORD Dword(const BYTE *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }
WORD Word(const BYTE *p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

std::vector<BYTE> IdBytes(const std::string &text)
{
    std::u16string wide = kvhost::ToUtf16(text);
    UUID uuid = {};
    if (UuidFromStringW(reinterpret_cast<RPC_WSTR>(&wide[0]), &uuid) != RPC_S_OK) return {};
    const BYTE *p = reinterpret_cast<const BYTE *>(&uuid);
    return std::vector<BYTE>(p, p + sizeof(uuid));
}

class UiDevmode : public UiPluginFixture {
protected:
    // A document image of PRINTER built by the plug-in of MODEL.
    HRESULT Build(const std::string &printer, kvhost::DevmodeImage *image)
    {
        kvhost::OpenedPrinter handle(printer);
        return image->Build(Plugin(), handle.get(), kvhost::ToUtf16(printer));
    }
};

TEST_F(UiDevmode, SizeIsTheLinesRecordSize)
{
    struct {
        const char *model;
        DWORD size;
    } cases[] = {{"tavrin", 316}, {"oskel", 316}, {"merrow", 76}, {"pellin", 76}};
    for (const auto &c : cases) {
        kvhost::UiPluginHost host;
        std::string error;
        ASSERT_TRUE(host.Load(uitest::UiModulePath(c.model), &core_, &error)) << error;
        OEMDMPARAM param = {};
        param.cbSize = sizeof(param);
        EXPECT_EQ(S_OK, host.Plugin()->DevMode(OEMDM_SIZE, &param)) << c.model;
        EXPECT_EQ(c.size, param.cbBufSize) << c.model;
    }
}

TEST_F(UiDevmode, BadModesAndMissingBlocksFail)
{
    LoadPlugin("tavrin");
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    for (DWORD mode : {0u, 5u, 0xFFFFFFFFu}) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(E_FAIL, Plugin()->DevMode(mode, &param)) << "mode " << mode;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << "mode " << mode;
    }
    for (DWORD mode : {OEMDM_SIZE, OEMDM_DEFAULT, OEMDM_CONVERT, OEMDM_MERGE}) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(E_FAIL, Plugin()->DevMode(mode, nullptr)) << "mode " << mode;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << "mode " << mode;
    }
}

TEST_F(UiDevmode, DefaultsNameThePrinterByTypeAndIdentity)
{
    // Installed without initialisation: the printer has no identity yet.
    uitest::Install("Plotter", "tavrin", false);
    ASSERT_TRUE(uitest::PrinterIdText("Plotter").empty());
    LoadPlugin("tavrin");
    kvhost::DevmodeImage image;
    ASSERT_EQ(S_OK, Build("Plotter", &image));

    ASSERT_EQ(316u, image.PluginRecordSize());
    EXPECT_EQ(220, image.Public()->dmSize);
    EXPECT_EQ(kvhost::DevmodeImage::kHostPartSize + 316, image.Public()->dmDriverExtra);
    const BYTE *record = image.PluginRecord();
    const BYTE header[12] = {0x3C, 0x01, 0, 0, 0x44, 0x4B, 0x42, 0x4B, '0', '0', '2', '0'};
    EXPECT_EQ(0, std::memcmp(header, record, sizeof(header)));
    EXPECT_EQ(8091, Word(record + kPrinterType));

    // The identity was made for the record and stored for the printer.
    std::string id = uitest::PrinterIdText("Plotter");
    ASSERT_EQ(36u, id.size());
    std::vector<BYTE> binary = IdBytes(id);
    ASSERT_EQ(16u, binary.size());
    EXPECT_EQ(0, std::memcmp(binary.data(), record + kPrinterId, 16));

    // A printer never initialised has no capability bits: the driver does
    // not control the output.
    EXPECT_EQ(0u, Dword(record + kFlags));
    const WORD settings[10] = {1, 1, 1, 1, 1, 1, 2, 21, 2, 14};
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(settings[i], Word(record + kSettings + 2 * i)) << "setting " << i;
    EXPECT_EQ(2, Word(record + kDocumentNameMode));

    // A second document of the same printer carries the same identity.
    kvhost::DevmodeImage second;
    ASSERT_EQ(S_OK, Build("Plotter", &second));
    EXPECT_EQ(0, std::memcmp(binary.data(), second.PluginRecord() + kPrinterId, 16));
    EXPECT_EQ(id, uitest::PrinterIdText("Plotter"));
}

TEST_F(UiDevmode, Capability0x8000PutsOutputUnderDriverControl)
{
    struct {
        const char *model;
        DWORD capability;
        DWORD flags;
    } cases[] = {
        {"tavrin", 0x00008000, kOutputControlByDriver},
        {"tavrin", 0x000647FF, 0},
        {"tavrin", 0xFFFF7FFF, 0},
        {"merrow", 0x00008000, kOutputControlByDriver},
        {"merrow", 0x000007FF, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.model) + " capability " + std::to_string(c.capability));
        kvp::SystemReset();
        uitest::Install("Plotter", c.model, false);
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), uitest::SetCapability("Plotter", c.capability));
        kvhost::UiPluginHost host;
        std::string error;
        ASSERT_TRUE(host.Load(uitest::UiModulePath(c.model), &core_, &error)) << error;
        kvhost::OpenedPrinter printer("Plotter");
        kvhost::DevmodeImage image;
        ASSERT_EQ(S_OK, image.Build(host.Plugin(), printer.get(), u"Plotter"));
        EXPECT_EQ(c.flags, Dword(image.PluginRecord() + kFlags));
    }
}

TEST_F(UiDevmode, LineBRecordCarriesNoIdentity)
{
    uitest::Install("Plotter", "merrow");
    ASSERT_EQ(36u, uitest::PrinterIdText("Plotter").size());
    LoadPlugin("merrow");
    kvhost::DevmodeImage image;
    ASSERT_EQ(S_OK, Build("Plotter", &image));
    ASSERT_EQ(76u, image.PluginRecordSize());
    const BYTE *record = image.PluginRecord();
    const BYTE header[12] = {76, 0, 0, 0, 0x44, 0x4B, 0x42, 0x4B, '0', '0', '1', '0'};
    EXPECT_EQ(0, std::memcmp(header, record, sizeof(header)));
    EXPECT_EQ(8011, Word(record + kPrinterType));
    const BYTE zero[16] = {};
    EXPECT_EQ(0, std::memcmp(zero, record + kPrinterId, 16));
}

TEST_F(UiDevmode, DefaultsOfAnUnknownProductHaveTypeZero)
{
    std::string ppd = uitest::PpdCopy("KV1140.PPD", "KV9997.PPD", "(Vastrelo 1140 PS)", "(Vastrelo 9997 PS)");
    uitest::Install("Stranger", "oskel", false, ppd);
    LoadPlugin("oskel");
    kvhost::DevmodeImage image;
    ASSERT_EQ(S_OK, Build("Stranger", &image));
    EXPECT_EQ(0, Word(image.PluginRecord() + kPrinterType));
}

TEST_F(UiDevmode, DefaultsFailWithoutAReadableProductName)
{
    struct {
        const char *name;
        std::string ppd;
    } cases[] = {
        {"Missing PPD", uitest::ScratchDir() + "/not-there.PPD"},
        {"No Product", uitest::PpdCopy("KV1180.PPD", "KV9996.PPD", "*Product:", "*Produkt:")},
    };
    LoadPlugin("tavrin");
    for (const auto &c : cases) {
        uitest::Install(c.name, "tavrin", false, c.ppd);
        kvhost::DevmodeImage image;
        EXPECT_EQ(E_FAIL, Build(c.name, &image)) << c.name;
        EXPECT_TRUE(image.Empty()) << c.name;
        EXPECT_TRUE(uitest::PrinterIdText(c.name).empty()) << c.name;
    }
}

TEST_F(UiDevmode, ConvertUpgradesALineBRecord)
{
    uitest::Install("Merrow", "merrow");
    uitest::Install("Tavrin", "tavrin");
    kvhost::UiPluginHost lineB;
    std::string error;
    ASSERT_TRUE(lineB.Load(uitest::UiModulePath("merrow"), &core_, &error)) << error;
    kvhost::DevmodeImage old;
    {
        kvhost::OpenedPrinter printer("Merrow");
        ASSERT_EQ(S_OK, old.Build(lineB.Plugin(), printer.get(), u"Merrow"));
    }
    BYTE *oldRecord = old.PluginRecord();
    oldRecord[kFlags] = 0x05;           // OutputControlByDriver and EarFold
    oldRecord[kSettings + 2] = 7;       // FoldMode

    LoadPlugin("tavrin");
    kvhost::DevmodeImage image;
    ASSERT_EQ(S_OK, Build("Tavrin", &image));
    kvhost::OpenedPrinter printer("Tavrin");
    ASSERT_EQ(S_OK, image.Convert(Plugin(), printer.get(), old));
    const BYTE *record = image.PluginRecord();
    EXPECT_EQ(316u, Dword(record));
    EXPECT_EQ(8011, Word(record + kPrinterType));
    EXPECT_EQ(0x05u, Dword(record + kFlags));
    EXPECT_EQ(7, Word(record + kSettings + 2));
    EXPECT_EQ(2, Word(record + kDocumentNameMode));
    const BYTE zero[16] = {};
    EXPECT_EQ(0, std::memcmp(zero, record + kPrinterId, 16));
}

TEST_F(UiDevmode, MergeTakesEveryFieldOfTheInput)
{
    uitest::Install("Plotter", "tavrin");
    LoadPlugin("tavrin");
    kvhost::DevmodeImage edited, fresh;
    ASSERT_EQ(S_OK, Build("Plotter", &edited));
    ASSERT_EQ(S_OK, Build("Plotter", &fresh));
    BYTE *in = edited.PluginRecord();
    in[kFlags] = 0x0F;
    for (size_t i = 0; i < 10; ++i) in[kSettings + 2 * i] = static_cast<BYTE>(3 + i);
    kvhost::OpenedPrinter printer("Plotter");
    ASSERT_EQ(S_OK, fresh.Merge(Plugin(), printer.get(), edited));
    EXPECT_EQ(0, std::memcmp(in, fresh.PluginRecord(), 316));
}

}  // namespace
