// Whole jobs through the host simulator and the real render plug-in
// modules: what reaches the spooler, and when.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "kvhost/install.h"
#include "kvhost/renderhost.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace {

using kvhost::RenderHost;
using kvhost::RenderJob;
using kvhost::RenderResult;

const char kUniversalExit[] = "\x1b%-12345X";

std::string Sample()
{
    std::ifstream in(std::string(KV_SOURCE_DIR) + "/samples/drawing.ps", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void SetDword(const std::string &printer, const char *name, DWORD value)
{
    kvhost::OpenedPrinter handle(printer);
    std::u16string n = kvhost::ToUtf16(name);
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(handle.get(), reinterpret_cast<LPWSTR>(&n[0]), REG_DWORD,
                                             reinterpret_cast<LPBYTE>(&value), sizeof(value)));
}

// Bits of the private record's flags word (private data offset 20, behind
// the record's 12-byte header).
constexpr BYTE kOutputControlByDriver = 0x01;
constexpr BYTE kSecurePrint = 0x08;

class RenderJobTest : public ::testing::Test {
protected:
    // The document's DEVMODEW as the plug-in defaults it for PRINTER, with
    // FLAGS added to the private record's flags word.
    static kvhost::DevmodeImage Devmode(const std::string &printer, const std::string &module, BYTE flags)
    {
        kvhost::DevmodeImage devmode;
        RenderHost host;
        EXPECT_TRUE(host.Load(kvhost::DefaultModuleDir() + "/" + module));
        EXPECT_TRUE(host.UsePrinter(printer));
        EXPECT_EQ(S_OK, devmode.Build(host.Plugin(), host.Printer(), kvhost::ToUtf16(printer)));
        if (!devmode.Empty()) devmode.PluginRecord()[12 + 20] |= flags;
        return devmode;
    }

    void Install(const std::string &name, const std::string &model, const std::string &port = "LPT1:")
    {
        kvhost::InstallOptions options;
        options.printerName = name;
        options.model = model;
        options.port = port;
        // The printer's data comes from the UI plug-in, as at installation.
        kvhost::InstallResult result;
        ASSERT_TRUE(kvhost::InstallPrinter(options, &result)) << result.error;
    }

    RenderJob Job(const std::string &printer)
    {
        RenderJob job;
        job.printerName = printer;
        job.documentName = "Sample drawing";
        job.postscript = Sample();
        job.chunkSize = 1000;
        return job;
    }

    static std::vector<const RenderHost::Event *> Find(const RenderResult &r, const std::string &what)
    {
        std::vector<const RenderHost::Event *> found;
        for (const RenderHost::Event &e : r.events)
            if (e.what == what) found.push_back(&e);
        return found;
    }

    // HOST, with its plug-in loaded, driven as the host drives it up to the
    // start of DOCUMENT on PRINTER: option state on KV1180.PPD, driver and
    // device enabled on the plug-in's default DEVMODEW. The options and the
    // DEVMODEW belong to the fixture, so that they outlive the host.
    void StartDocument(RenderHost &host, const std::string &printer, const std::string &document)
    {
        ASSERT_TRUE(model_.Load(kvhost::PackagingDir() + "/KV1180.PPD", nullptr));
        model_.AddHostFeatures();
        options_ = std::make_unique<kvhost::OptionState>(model_);
        host.SetOptionState(options_.get());
        ASSERT_EQ(S_OK, host.EnableDriver());
        ASSERT_TRUE(host.UsePrinter(printer));
        ASSERT_EQ(S_OK, devmode_.Build(host.Plugin(), host.Printer(), kvhost::ToUtf16(printer)));
        ASSERT_EQ(S_OK, host.EnablePDEV(&devmode_));
        ASSERT_TRUE(host.StartDoc(document));
    }

    kvhost::PpdModel model_;
    std::unique_ptr<kvhost::OptionState> options_;
    kvhost::DevmodeImage devmode_;
};

TEST_F(RenderJobTest, ThreePagesReachTheSpoolerAfterTheFirstPageEnds)
{
    Install("Tavrin", "tavrin");
    // The driver controls the printer's output and folds (FoldMode 2 at
    // private data offset 26): the job gets a header.
    RenderJob job = Job("Tavrin");
    job.devmode = Devmode("Tavrin", "kvpsctvr.dll", kOutputControlByDriver);
    ASSERT_FALSE(job.devmode.Empty());
    job.devmode.PluginRecord()[12 + 26] = 2;
    RenderResult r;
    ASSERT_TRUE(kvhost::RunRenderJob(job, &r)) << r.error;
    EXPECT_EQ(S_OK, r.enablePdev);
    EXPECT_TRUE(r.startDoc);
    EXPECT_TRUE(r.endDoc);
    for (HRESULT hr : r.commands) EXPECT_EQ(S_OK, hr);

    std::vector<const RenderHost::Event *> pages = Find(r, "DrvSendPage");
    ASSERT_EQ(3u, pages.size());
    // The job header, written by the plug-in straight to the spooler, is
    // the spool's head; then comes the host's stream, whole and in order.
    ASSERT_GT(r.spooled.size(), r.hostStream.size());
    size_t head = r.spooled.size() - r.hostStream.size();
    EXPECT_EQ(0u, r.spooled.find(std::string(kUniversalExit) + "@PJL\r\n"));
    EXPECT_EQ(r.hostStream, r.spooled.substr(head));
    // The job's closing universal exit came back through the host's stream,
    // behind the host's last byte.
    ASSERT_FALSE(Find(r, "DrvWritePrinter").empty());
    EXPECT_EQ(job.postscript + kUniversalExit, r.hostStream);

    // Nothing reached the spooler before the first page ended.
    size_t collected = 0;
    for (const RenderHost::Event &e : r.events) {
        if (&e == pages[0]) break;
        EXPECT_EQ(0u, e.spooledAfter) << e.what << " " << e.value;
        if (e.what == "Write") collected += e.value;
    }
    // The host's DrvSendPage of page 1 found the header and everything
    // collected in the spooler already: the flush came first.
    EXPECT_EQ(head + collected, pages[0]->spooledBefore);
    EXPECT_LT(collected, r.hostStream.size());

    // From then on every write went straight through.
    bool afterFirst = false;
    for (const RenderHost::Event &e : r.events) {
        if (&e == pages[0]) afterFirst = true;
        if (afterFirst && e.what == "Write") {
            EXPECT_EQ(e.spooledBefore + e.value, e.spooledAfter);
        }
    }
    // The spooler job carries the document's name.
    kvp::JobSpec spec;
    ASSERT_TRUE(kvp::GetJobSpec(r.jobId, &spec));
    EXPECT_EQ("Sample drawing", spec.document);
}

TEST_F(RenderJobTest, SpeedPriorityWritesEveryByteAsItComes)
{
    Install("Fast", "tavrin");
    SetDword("Fast", "OEMDisablePSFeatures", 0x1);
    RenderResult r;
    ASSERT_TRUE(kvhost::RunRenderJob(Job("Fast"), &r)) << r.error;
    size_t head = r.spooled.size() - r.hostStream.size();
    EXPECT_EQ(r.hostStream, r.spooled.substr(head));
    std::vector<const RenderHost::Event *> writes = Find(r, "Write");
    ASSERT_FALSE(writes.empty());
    // The job header, if any, was there before the host's first byte.
    EXPECT_EQ(head, writes[0]->spooledBefore);
    for (const RenderHost::Event *e : writes) EXPECT_EQ(e->spooledBefore + e->value, e->spooledAfter);
}

TEST_F(RenderJobTest, LineBWritesEveryByteAsItComes)
{
    Install("Merrow", "merrow", "FILE:");
    RenderResult r;
    ASSERT_TRUE(kvhost::RunRenderJob(Job("Merrow"), &r)) << r.error;
    EXPECT_EQ(S_OK, r.enablePdev);
    size_t head = r.spooled.size() - r.hostStream.size();
    EXPECT_EQ(r.hostStream, r.spooled.substr(head));
    std::vector<const RenderHost::Event *> writes = Find(r, "Write");
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(head, writes[0]->spooledBefore);
    for (const RenderHost::Event *e : writes) EXPECT_EQ(e->spooledBefore + e->value, e->spooledAfter);
}

TEST_F(RenderJobTest, HostWithoutIPrintOemPS2GetsNoEvents)
{
    Install("Older", "tavrin");
    RenderJob job = Job("Older");
    job.askPs2 = false;
    RenderResult r;
    ASSERT_TRUE(kvhost::RunRenderJob(job, &r)) << r.error;
    EXPECT_EQ(8u, r.commands.size());
    for (HRESULT hr : r.commands) EXPECT_EQ(S_OK, hr);
    // The host wrote its stream itself, and the plug-in added nothing.
    EXPECT_EQ(job.postscript, r.spooled);
    EXPECT_TRUE(Find(r, "DrvWritePrinter").empty());
}

TEST_F(RenderJobTest, SecurePrintToFileIsRefusedAtEnablePdev)
{
    Install("Secure", "tavrin", "FILE:");
    SetDword("Secure", "OEMDisablePSFeatures", 0x3);
    {
        kvhost::OpenedPrinter handle("Secure");
        for (const char *name : {"OEMSecurePrintUserName", "OEMSecurePrintPIN"}) {
            std::u16string n = kvhost::ToUtf16(name);
            std::u16string value = u"1234";
            ASSERT_EQ(ERROR_SUCCESS,
                      SetPrinterDataW(handle.get(), reinterpret_cast<LPWSTR>(&n[0]), REG_SZ,
                                      reinterpret_cast<LPBYTE>(&value[0]), (value.size() + 1) * sizeof(WCHAR)));
        }
    }
    // The document asks for secure print: the plug-in's record says so.
    RenderJob job = Job("Secure");
    job.devmode = Devmode("Secure", "kvpsctvr.dll", kSecurePrint);

    RenderResult r;
    EXPECT_FALSE(kvhost::RunRenderJob(job, &r));
    EXPECT_EQ(E_FAIL, r.enablePdev);
    EXPECT_EQ(0u, r.jobId);
    EXPECT_EQ("", r.spooled);
}

TEST_F(RenderJobTest, PrivateEscapeIsAnsweredByThePlugin)
{
    Install("Escape", "tavrin");
    RenderHost host;
    ASSERT_TRUE(host.Load(kvhost::DefaultModuleDir() + "/kvpsctvr.dll"));
    ASSERT_NO_FATAL_FAILURE(StartDocument(host, "Escape", "Escaped"));
    const BYTE query[] = {0x56, 0x50, 0x56, 0x4B};
    EXPECT_EQ(1u, host.Escape(QUERYESCSUPPORT, query, sizeof(query)));
    // Tag, then a serialized record with nothing in it.
    const BYTE escape[] = {0x53, 0x50, 0x56, 0x4B, 0x49, 0x4A, 0x76, 0x4B, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(1u, host.Escape(0x4B565056, escape, sizeof(escape)));
    host.SetHostEscapeResult(3);
    const BYTE other[] = {1, 0, 0, 0};
    EXPECT_EQ(3u, host.Escape(QUERYESCSUPPORT, other, sizeof(other)));
    // Only the question about another escape reached the host.
    int hostEscapes = 0;
    for (const RenderHost::Event &e : host.Events())
        if (e.what == "DrvEscape") ++hostEscapes;
    EXPECT_EQ(1, hostEscapes);
}

TEST_F(RenderJobTest, ModuleCanUnloadOnceTheHostLetGo)
{
    Install("Unload", "tavrin");
    RenderHost host;
    ASSERT_TRUE(host.Load(kvhost::DefaultModuleDir() + "/kvpsctvr.dll"));
    EXPECT_EQ(S_FALSE, host.CanUnloadNow());
    ASSERT_NO_FATAL_FAILURE(StartDocument(host, "Unload", "Doc"));
    ASSERT_EQ(S_OK, host.Command(PSINJECT_BEGINSTREAM));
    ASSERT_EQ(S_OK, host.Write("%!PS\n"));
    ASSERT_TRUE(host.SendPage("showpage\n"));
    ASSERT_EQ(S_OK, host.Command(PSINJECT_ENDSTREAM));
    ASSERT_TRUE(host.EndDoc());
    ASSERT_EQ(S_OK, host.DisablePDEV());
    ASSERT_EQ(S_OK, host.DisableDriver());
    // The host still holds the plug-in.
    EXPECT_EQ(S_FALSE, host.CanUnloadNow());
    host.ReleasePlugin();
    EXPECT_EQ(S_OK, host.CanUnloadNow());
}

}  // namespace
