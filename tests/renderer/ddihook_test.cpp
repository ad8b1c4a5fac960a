// The DDI hooks: the per-device record and the host's functions behind it,
// the document and page hooks, and the escape hook with the UI plug-in's
// private escape.
#include "render_support.h"

namespace {

using namespace rendertest;

class DdiHookTest : public SessionTest {
protected:
    ULONG Escape(ULONG code, const Bytes &input)
    {
        // The input in a block of exactly its size.
        std::unique_ptr<BYTE[]> exact(new BYTE[input.size() + 1]);
        if (!input.empty()) std::memcpy(exact.get(), input.data(), input.size());
        return OemEscape(&device_->surface, code, static_cast<ULONG>(input.size()), exact.get(), 0, nullptr);
    }

    static Bytes Tagged(const Bytes &serialized)
    {
        Bytes out;
        SerializedJob::Put(out, kPrivateEscapeTag);
        out.insert(out.end(), serialized.begin(), serialized.end());
        return out;
    }
};

TEST_F(DdiHookTest, RecordKeepsTheHostsFunctionsInHookOrder)
{
    HostDdi host;
    DEVOBJ device = {};
    OemPdev *pdev = CreateOemPdev(&device, &host.data);
    ASSERT_NE(nullptr, pdev);
    EXPECT_EQ(host.table[2].pfn, pdev->hostFunctions[HOOK_SEND_PAGE]);
    EXPECT_EQ(host.table[3].pfn, pdev->hostFunctions[HOOK_ESCAPE]);
    EXPECT_EQ(host.table[0].pfn, pdev->hostFunctions[HOOK_START_DOC]);
    EXPECT_EQ(host.table[1].pfn, pdev->hostFunctions[HOOK_END_DOC]);
    EXPECT_EQ(nullptr, pdev->renderingSystem);
    EXPECT_EQ(nullptr, pdev->document);
    FreeOemPdev(pdev);

    EXPECT_EQ(nullptr, CreateOemPdev(nullptr, &host.data));
    EXPECT_EQ(nullptr, CreateOemPdev(&device, nullptr));
    // A table that says it has entries but has none gives no functions.
    DRVENABLEDATA empty = {PRINTER_OEMINTF_VERSION, 4, nullptr};
    pdev = CreateOemPdev(&device, &empty);
    ASSERT_NE(nullptr, pdev);
    for (PFN fn : pdev->hostFunctions) EXPECT_EQ(nullptr, fn);
    FreeOemPdev(pdev);
}

TEST_F(DdiHookTest, HostWithoutAFunctionIsNeverCalledForIt)
{
    struct Case {
        ULONG omitted;
        const char *call;
    } cases[] = {
        {INDEX_DrvStartDoc, "DrvStartDoc"},
        {INDEX_DrvSendPage, "DrvSendPage"},
        {INDEX_DrvEndDoc, "DrvEndDoc"},
        {INDEX_DrvEscape, "DrvEscape"},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.call);
        TearDown();
        SetUp();
        printerName_ = "Omit" + std::to_string(n++);
        Prepare(0, "LPT1:", PRINTER_ATTRIBUTE_LOCAL, c.omitted);
        ASSERT_EQ(S_OK, Enable());
        EXPECT_EQ(c.omitted != INDEX_DrvStartDoc, StartDoc() != 0);
        EXPECT_EQ(c.omitted != INDEX_DrvSendPage, OemSendPage(&device_->surface) != 0);
        EXPECT_EQ(0u, Escape(77, {1, 2, 3, 4}));
        EXPECT_EQ(c.omitted != INDEX_DrvEndDoc, OemEndDoc(&device_->surface, 0) != 0);
        for (const std::string &call : HostDdi::calls) EXPECT_EQ(std::string::npos, call.find(c.call)) << call;
    }
}

TEST_F(DdiHookTest, HooksWithoutDeviceOrRecordAnswerFalse)
{
    Prepare();
    SURFOBJ bare = {};
    EXPECT_FALSE(OemStartDoc(nullptr, nullptr, 1));
    EXPECT_FALSE(OemStartDoc(&bare, nullptr, 1));
    EXPECT_FALSE(OemEndDoc(&bare, 0));
    EXPECT_FALSE(OemSendPage(&bare));
    EXPECT_EQ(0u, OemEscape(&bare, QUERYESCSUPPORT, 0, nullptr, 0, nullptr));
    // A device whose EnablePDEV never ran has no record.
    EXPECT_FALSE(OemSendPage(&device_->surface));
    EXPECT_TRUE(HostDdi::calls.empty());
}

TEST_F(DdiHookTest, FailedDocumentStartKeepsTheHostOut)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    HostDdi::startAnswer = FALSE;
    // The host's own answer is passed on when the plug-in's part succeeded.
    EXPECT_FALSE(StartDoc());
    ASSERT_EQ(1u, HostDdi::calls.size());
    plugin_->ps2->DisableDriver();
    HostDdi::calls.clear();
    HostDdi::startAnswer = TRUE;
    ASSERT_EQ(S_OK, plugin_->ps2->DisablePDEV(&device_->devobj));
    ASSERT_EQ(S_OK, Enable());
    EXPECT_FALSE(StartDoc());
    EXPECT_TRUE(HostDdi::calls.empty());
}

TEST_F(DdiHookTest, DocumentEndMarksTheDocumentAndAlwaysEndsTheHosts)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    RecordingFunction *watch = Watch("watch");
    watch->answers["OnEndDoc"] = E_FAIL;
    EXPECT_TRUE(OemEndDoc(&device_->surface, ED_ABORTDOC));
    EXPECT_EQ(std::vector<std::string>({"watch OnEndDoc"}), CallLog::entries);
    // The functions failed the event: the document is not marked ended...
    EXPECT_FALSE(device_->Document()->ended);
    // ... and the host ended its own document all the same.
    EXPECT_EQ("DrvEndDoc 1", HostDdi::calls.back());
}

TEST_F(DdiHookTest, QueryEscSupport)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    HostDdi::escapeAnswer = 5;
    Bytes ours;
    SerializedJob::Put(ours, kPrivateEscapeCode);
    Bytes other;
    SerializedJob::Put(other, 4101);
    EXPECT_EQ(1u, Escape(QUERYESCSUPPORT, ours));
    EXPECT_TRUE(HostDdi::calls.empty());
    EXPECT_EQ(5u, Escape(QUERYESCSUPPORT, other));
    EXPECT_EQ(std::vector<std::string>({"DrvEscape 8"}), HostDdi::calls);
    // No code to ask about: no answer, and nothing read.
    HostDdi::calls.clear();
    EXPECT_EQ(0u, OemEscape(&device_->surface, QUERYESCSUPPORT, 4, nullptr, 0, nullptr));
    EXPECT_EQ(0u, Escape(QUERYESCSUPPORT, {0x56, 0x50, 0x56}));
    EXPECT_TRUE(HostDdi::calls.empty());
}

TEST_F(DdiHookTest, OtherEscapesGoToTheHost)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    HostDdi::escapeAnswer = 9;
    EXPECT_EQ(9u, Escape(4115, {1, 2}));
    EXPECT_EQ(std::vector<std::string>({"DrvEscape 4115"}), HostDdi::calls);
}

TEST_F(DdiHookTest, PrivateEscapeMergesTheUiPluginsJobFacts)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("Local name"));
    SerializedJob job;
    job.Entry(1, JOBINFO_LONG, {0x39, 0x30, 0, 0});
#if KV_LINE_A
    job.Text(2, "From the application").Text(12, "taro").Text(13, "4321");
#else
    job.Entry(2, JOBINFO_SHORT, {6, 0});
#endif
    EXPECT_EQ(1u, Escape(kPrivateEscapeCode, Tagged(job.Build())));
    // The host never hears of it.
    EXPECT_EQ(1u, HostDdi::calls.size());
    EXPECT_EQ(12345, GetJobInfoLong(Job(), JobInfoFieldId::JobId));
#if KV_LINE_A
    EXPECT_STREQ("From the application", GetJobInfoString(Job(), JobInfoFieldId::DocumentName));
    EXPECT_STREQ("taro", GetJobInfoString(Job(), JobInfoFieldId::UserName));
    EXPECT_STREQ("4321", GetJobInfoString(Job(), JobInfoFieldId::Pin));
#else
    EXPECT_EQ(6, GetJobInfoShort(Job(), JobInfoFieldId::PagesPerSheet));
#endif
    // What the escape did not carry stays as gathered.
    EXPECT_STREQ("A1", GetJobInfoString(Job(), JobInfoFieldId::PageSize));
}

TEST_F(DdiHookTest, PrivateEscapeThatCarriesNothingUsableIsAcceptedAndIgnored)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    SerializedJob job;
    job.Entry(1, JOBINFO_LONG, {0x39, 0x30, 0, 0});
    Bytes good = Tagged(job.Build());

    // Before the document started there is nowhere to put it.
    EXPECT_EQ(1u, Escape(kPrivateEscapeCode, good));
    ASSERT_TRUE(StartDoc());
    LONG jobId = GetJobInfoLong(Job(), JobInfoFieldId::JobId);
    Bytes otherTag = good;
    otherTag[0] ^= 0xFF;
    const Bytes cases[] = {
        {},
        {0x53, 0x50, 0x56, 0x4B},  // the tag alone: 4 bytes
        Bytes(good.begin(), good.begin() + 19),
        otherTag,
        Tagged(job.Build(kJobInfoMagic, 2)),
    };
    for (const Bytes &input : cases) {
        EXPECT_EQ(1u, Escape(kPrivateEscapeCode, input)) << input.size();
        EXPECT_EQ(jobId, GetJobInfoLong(Job(), JobInfoFieldId::JobId)) << input.size();
    }
    EXPECT_EQ(1u, OemEscape(&device_->surface, kPrivateEscapeCode, 40, nullptr, 0, nullptr));
    EXPECT_EQ(1u, HostDdi::calls.size());
}

TEST_F(DdiHookTest, PageEndWithSpeedPriorityFlushesNothing)
{
    Prepare(0x1);
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    Watch("watch");
    EXPECT_TRUE(OemSendPage(&device_->surface));
    EXPECT_TRUE(CallLog::entries.empty());
    EXPECT_EQ("DrvSendPage", HostDdi::calls.back());
}

TEST_F(DdiHookTest, PageEndBeforeAnyDocumentOnlyEndsTheHostsPage)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    EXPECT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ(std::vector<std::string>({"DrvSendPage"}), HostDdi::calls);
}

}  // namespace
