// Whole jobs through a real render plug-in and the host simulator: the job
// header reaches the spooler ahead of the PostScript, the procset server's
// fragments sit in the host's stream, and the closing universal exit comes
// last.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kvhost/install.h"
#include "kvhost/renderhost.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace {

const char kExit[] = "\x1B%-12345X";

const char kDocument[] =
    "%!PS-Adobe-3.0\r\n%%Pages: 2\r\n%%EndComments\r\n%%BeginProlog\r\n%%EndProlog\r\n"
    "%%Page: 1 1\r\n%%BeginPageSetup\r\n/pagelevel save def\r\n%%EndPageSetup\r\n0 0 moveto 100 100 lineto stroke\r\n"
    "showpage\r\n"
    "%%Page: 2 2\r\n%%BeginPageSetup\r\n/pagelevel save def\r\n%%EndPageSetup\r\n0 0 moveto 50 50 lineto stroke\r\n"
    "showpage\r\n"
    "%%Trailer\r\n%%EOF\r\n";

// The private escape of the UI plug-in: its tag, then the serialized job
// facts (little-endian: magic, version 1, entry count, size behind the
// head; entries of id, kind, length and bytes).
std::vector<BYTE> CredentialsEscape(const std::string &user, const std::string &pin)
{
    std::vector<BYTE> out;
    auto u32 = [&out](DWORD v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
    };
    for (char c : std::string("SPVK")) out.push_back(static_cast<BYTE>(c));
    const size_t head = out.size();
    for (char c : std::string("IJvK")) out.push_back(static_cast<BYTE>(c));
    u32(1);
    u32(2);
    u32(0);  // filled below
    const std::pair<DWORD, std::string> entries[] = {{12, user}, {13, pin}};
    for (const auto &e : entries) {
        u32(e.first);
        u32(4);
        u32(static_cast<DWORD>(e.second.size() + 1));
        for (char c : e.second) out.push_back(static_cast<BYTE>(c));
        out.push_back(0);
    }
    DWORD rest = static_cast<DWORD>(out.size() - head - 16);
    for (int i = 0; i < 4; ++i) out[head + 12 + i] = static_cast<BYTE>(rest >> (8 * i));
    return out;
}

class PjlJobTest : public ::testing::Test {
protected:
    void Install(const std::string &name, const std::string &model, const std::string &port = "LPT1:")
    {
        kvhost::InstallOptions options;
        options.printerName = name;
        options.model = model;
        options.port = port;
        options.attributes = PRINTER_ATTRIBUTE_LOCAL;
        kvhost::InstallResult result;
        ASSERT_TRUE(kvhost::InstallPrinter(options, &result)) << result.error;
        kvp::PrinterSpec spec;
        ASSERT_TRUE(kvp::GetPrinterSpec(name, &spec));
        std::string why;
        model_ = std::make_unique<kvhost::PpdModel>();
        ASSERT_TRUE(model_->Load(spec.dataFile, &why)) << why;
        model_->AddHostFeatures();
        options_ = std::make_unique<kvhost::OptionState>(*model_);
        job_.printerName = name;
        job_.options = options_.get();
        job_.postscript = kDocument;
        // The document's DEVMODEW as the plug-in defaults it, with the
        // driver's output control on.
        kvhost::RenderHost host;
        ASSERT_TRUE(host.Load(spec.driverPath, &why)) << why;
        ASSERT_TRUE(host.UsePrinter(name));
        ASSERT_EQ(S_OK, job_.devmode.Build(host.Plugin(), host.Printer(), kvhost::ToUtf16(name)));
        SetFlag(0x1, true);
    }

    // A bit of the private record's flags word.
    void SetFlag(BYTE mask, bool on)
    {
        BYTE &flags = job_.devmode.PluginRecord()[12 + 20];
        flags = on ? (flags | mask) : (flags & ~mask);
    }

    void SetData(const std::string &printer, const char16_t *name, DWORD type, const std::vector<BYTE> &bytes)
    {
        kvhost::OpenedPrinter handle(printer);
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(handle.get(), const_cast<LPWSTR>(name), type, const_cast<BYTE *>(bytes.data()),
                                  static_cast<DWORD>(bytes.size())));
    }
    void SetDword(const std::string &printer, const char16_t *name, DWORD value)
    {
        SetData(printer, name, REG_DWORD,
                {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                 static_cast<BYTE>(value >> 24)});
    }

    kvhost::RenderResult Render()
    {
        kvhost::RenderResult result;
        EXPECT_TRUE(kvhost::RunRenderJob(job_, &result)) << result.error;
        return result;
    }

    // The spooled size when the host passed its first byte of PostScript.
    static size_t SpooledAtFirstWrite(const kvhost::RenderResult &r)
    {
        for (const auto &e : r.events)
            if (e.what == "Write") return e.spooledBefore;
        return static_cast<size_t>(-1);
    }

    std::unique_ptr<kvhost::PpdModel> model_;
    std::unique_ptr<kvhost::OptionState> options_;
    kvhost::RenderJob job_;
};

TEST_F(PjlJobTest, SecurePrintJobGetsTheUsersCredentialsFromTheEscape)
{
    Install("Secure", "tavrin");
    SetDword("Secure", u"OEMDisablePSFeatures", 0x2);  // the secure print function, speed priority off
    SetFlag(0x8, true);                                  // SecurePrint
    job_.documentName = "Secure plan";
    job_.escapes.push_back({0x4B565056, CredentialsEscape("yamada", "MTIzNA==")});
    kvhost::RenderResult r = Render();
    const std::string header = std::string(kExit) +
                               "@PJL\r\n"
                               "@PJL SET HOLD=STORE\r\n"
                               "@PJL SET HOLDTYPE=PRIVATE\r\n"
                               "@PJL SET HOLDENCRYPTKEY=\"MTIzNA==\"\r\n"
                               "@PJL SET USERNAME=\"yamada\"\r\n"
                               "@PJL SET JOBNAME=\"Secure plan\"\r\n"
                               "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    ASSERT_GE(r.spooled.size(), header.size());
    EXPECT_EQ(header, r.spooled.substr(0, header.size()));
    // Held back until the first page: nothing reached the spooler before.
    EXPECT_EQ(0u, SpooledAtFirstWrite(r));
    EXPECT_EQ(r.hostStream, r.spooled.substr(header.size()));
    EXPECT_EQ(kExit, r.spooled.substr(r.spooled.size() - 9));
}

TEST_F(PjlJobTest, PrintSpeedPriorityPutsTheHeaderAheadOfTheFirstByte)
{
    Install("Fast", "tavrin");
    SetDword("Fast", u"OEMDisablePSFeatures", 0x1);
    job_.devmode.PluginRecord()[12 + 26] = 5;  // FoldMode: cross
    kvhost::RenderResult r = Render();
    const std::string header = std::string(kExit) +
                               "@PJL\r\n"
                               "@PJL DEFAULT FINISHPROGID=CROSS\r\n"
                               "@PJL DEFAULT FINISHCROSSFOLD=CROSSFOLDON\r\n"
                               "@PJL DEFAULT FINISHMARGINS=MARGINSOFF\r\n"
                               "@PJL DEFAULT FINISHSIZE=STANDARD\r\n"
                               "@PJL DEFAULT FINISHROTATE=OFF\r\n"
                               "@PJL DEFAULT FINISHCORNER=OFF\r\n"
                               "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    EXPECT_EQ(header.size(), SpooledAtFirstWrite(r));
    EXPECT_EQ(header + r.hostStream, r.spooled);
}

TEST_F(PjlJobTest, LineBWritesItsHeaderFirstAndIgnoresTheFilePort)
{
    Install("Wide", "pellin", "FILE:");
    job_.devmode.PluginRecord()[12 + 32] = 3;  // OutputDirection: front
    kvhost::RenderResult r = Render();
    const std::string header = std::string(kExit) + "@PJL\r\n@PJL DEFAULT OUTPUTTRAY=TRAY2\r\n"
                                                    "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    EXPECT_EQ(header.size(), SpooledAtFirstWrite(r));
    EXPECT_EQ(header + r.hostStream, r.spooled);
    EXPECT_EQ(kExit, r.spooled.substr(r.spooled.size() - 9));
}

TEST_F(PjlJobTest, HostOptionsDecideHeaderAndClosingExit)
{
    const struct {
        const char *format;
        const char *ctrlD;
        bool header;
        bool exit;
    } kCases[] = {
        {"EPS", "False", false, false},
        {"Archive", "False", false, false},
        {"Portability", "True", true, false},
        {"Portability", "False", true, true},
    };
    Install("Options", "merrow");
    for (const auto &c : kCases) {
        ASSERT_TRUE(options_->Set("%OutputFormat", c.format)) << c.format;
        ASSERT_TRUE(options_->Set("%CtrlDAfter", c.ctrlD)) << c.ctrlD;
        kvhost::RenderResult r = Render();
        std::string where = std::string(c.format) + ", Ctrl-D after " + c.ctrlD;
        EXPECT_EQ(c.header, r.spooled.rfind(kExit, 0) == 0) << where;
        EXPECT_EQ(c.exit, r.spooled.size() >= 9 && r.spooled.substr(r.spooled.size() - 9) == kExit) << where;
    }
}

TEST_F(PjlJobTest, TwoUpPortraitSheetsAreTurnedInTheHostStream)
{
    Install("Nup", "oskel");
    ASSERT_TRUE(options_->Set("%PagePerSheet", "2"));
    job_.devmode.Public()->dmOrientation = DMORIENT_PORTRAIT;
    kvhost::RenderResult r = Render();
    const std::string rotation = "%-OEMPluginInsertBegin\r\ngrestore\r\ngrestore\r\n180 rotate\r\n";
    size_t first = r.hostStream.find(rotation);
    ASSERT_NE(std::string::npos, first) << r.hostStream;
    // The second page shares the first page's sheet.
    EXPECT_EQ(std::string::npos, r.hostStream.find(rotation, first + 1));
}

}  // namespace
