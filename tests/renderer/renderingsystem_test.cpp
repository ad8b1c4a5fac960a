// The rendering system behind IPrintOemPS2: identity, DEVMODE, the hook
// table, the print permission check and the journal rule, the document's
// facts, the command dispatch, the output held back until the first page,
// and the device's life cycle.
#include "functioncontainer.h"
#include "render_support.h"
#include "text.h"

#include <cctype>

namespace {

using namespace rendertest;

class RenderingSystemTest : public SessionTest {};

TEST_F(RenderingSystemTest, GetInfoAnswersFourBytes)
{
    Prepare();
    IPrintOemPS2 *ps2 = plugin_->ps2;
    struct Case {
        DWORD mode;
        HRESULT result;
        DWORD value;
    } cases[] = {
        {OEMGI_GETSIGNATURE, S_OK, 0x4B424B44},
        {OEMGI_GETINTERFACEVERSION, S_OK, 0x00010000},
#if KV_LINE_A
        {OEMGI_GETVERSION, S_OK, 0x30323030},
#else
        {OEMGI_GETVERSION, S_OK, 0x30313030},
#endif
        {0, E_NOTIMPL, 0xCCCCCCCC},
        {4, E_NOTIMPL, 0xCCCCCCCC},
    };
    for (const Case &c : cases) {
        DWORD value = 0xCCCCCCCC;
        DWORD needed = 0;
        EXPECT_EQ(c.result, ps2->GetInfo(c.mode, &value, sizeof(value), &needed)) << "mode " << c.mode;
        EXPECT_EQ(4u, needed) << "mode " << c.mode;
        EXPECT_EQ(c.value, value) << "mode " << c.mode;
    }
    BYTE small[3] = {0xCC, 0xCC, 0xCC};
    DWORD needed = 0;
    EXPECT_EQ(E_FAIL, ps2->GetInfo(OEMGI_GETSIGNATURE, small, sizeof(small), &needed));
    EXPECT_EQ(4u, needed);
    EXPECT_EQ(0xCC, small[0]);
    needed = 0;
    EXPECT_EQ(E_FAIL, ps2->GetInfo(OEMGI_GETSIGNATURE, nullptr, 4, &needed));
    EXPECT_EQ(4u, needed);
    DWORD value = 0;
    EXPECT_EQ(E_INVALIDARG, ps2->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof(value), nullptr));
}

TEST_F(RenderingSystemTest, DevModeSizesDefaultsConvertsAndMerges)
{
    Prepare();
    SetCapability(printer_, 0x8000);
    IPrintOemPS2 *ps2 = plugin_->ps2;
    EXPECT_EQ(E_INVALIDARG, ps2->DevMode(OEMDM_SIZE, nullptr));

    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.hPrinter = printer_;
    ASSERT_EQ(S_OK, ps2->DevMode(OEMDM_SIZE, &param));
    EXPECT_EQ(kPrivateDevmodeSize, param.cbBufSize);

    Bytes record(kPrivateDevmodeSize, 0xEE);
    param.pOEMDMOut = record.data();
    ASSERT_EQ(S_OK, ps2->DevMode(OEMDM_DEFAULT, &param));
    const PrivateDevmode *fresh = reinterpret_cast<const PrivateDevmode *>(record.data());
    EXPECT_EQ(1u, GetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, fresh));
    // A buffer smaller than the record is not written.
    Bytes small(kPrivateDevmodeSize - 1, 0xEE);
    param.pOEMDMOut = small.data();
    param.cbBufSize = static_cast<DWORD>(small.size());
    EXPECT_EQ(E_FAIL, ps2->DevMode(OEMDM_DEFAULT, &param));
    EXPECT_EQ(Bytes(small.size(), 0xEE), small);

    Bytes input = record;
    SetDevmodeShort(DevmodeFieldId::FoldMode, reinterpret_cast<PrivateDevmode *>(input.data()), 3);
    Bytes output(kPrivateDevmodeSize, 0);
    InitDevmodeHeader(reinterpret_cast<PrivateDevmode *>(output.data()));
    param.pOEMDMIn = input.data();
    param.pOEMDMOut = output.data();
    param.cbBufSize = kPrivateDevmodeSize;
    EXPECT_EQ(S_OK, ps2->DevMode(OEMDM_CONVERT, &param));
    EXPECT_EQ(input, output);

    SetDevmodeShort(DevmodeFieldId::FoldMode, reinterpret_cast<PrivateDevmode *>(input.data()), 2);
    EXPECT_EQ(S_OK, ps2->DevMode(OEMDM_MERGE, &param));
    EXPECT_EQ(2, GetDevmodeShort(DevmodeFieldId::FoldMode, reinterpret_cast<PrivateDevmode *>(output.data())));
    EXPECT_EQ(E_FAIL, ps2->DevMode(5, &param));
}

TEST_F(RenderingSystemTest, EnableDriverHandsOutTheFourHooks)
{
    Prepare();
    DRVENABLEDATA data = {};
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(data), nullptr));
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(data) - 1, &data));
    ASSERT_EQ(S_OK, plugin_->ps2->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(data), &data));
    EXPECT_EQ(0x00010000u, data.iDriverVersion);
    ASSERT_EQ(4u, data.c);
    const ULONG order[] = {INDEX_DrvSendPage, INDEX_DrvEscape, INDEX_DrvStartDoc, INDEX_DrvEndDoc};
    for (ULONG i = 0; i < 4; ++i) {
        EXPECT_EQ(order[i], data.pdrvfn[i].iFunc) << i;
        EXPECT_NE(nullptr, data.pdrvfn[i].pfn) << i;
    }
    EXPECT_EQ(reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&OemStartDoc)), data.pdrvfn[2].pfn);
}

TEST_F(RenderingSystemTest, HostInterfaceIsHeldOnceAndLetGo)
{
    Prepare();
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->PublishDriverInterface(nullptr));
    EXPECT_EQ(1, core_.refs);
    FakeCore second;
    EXPECT_EQ(S_OK, plugin_->ps2->PublishDriverInterface(&second));
    // The first one is given back when the second replaces it.
    EXPECT_EQ(0, core_.refs);
    EXPECT_EQ(1, second.refs);
    EXPECT_EQ(S_OK, plugin_->ps2->DisableDriver());
    EXPECT_EQ(0, second.refs);
    EXPECT_EQ(nullptr, plugin_->system->HostInterface());
}

TEST_F(RenderingSystemTest, GetPDEVAdjustmentReportsNothing)
{
    Prepare();
    BOOL done = TRUE;
    EXPECT_EQ(S_OK, plugin_->ps2->GetPDEVAdjustment(&device_->devobj, 1, nullptr, 0, &done));
    EXPECT_FALSE(done);
}

TEST_F(RenderingSystemTest, EnablePdevNeedsDeviceAndOutPointer)
{
    Prepare();
    PDEVOEM pdev = nullptr;
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->EnablePDEV(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                                     &host_->data, &pdev));
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->EnablePDEV(&device_->devobj, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                                     &host_->data, nullptr));
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->DisablePDEV(nullptr));
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->ResetPDEV(nullptr, &device_->devobj));
}

TEST_F(RenderingSystemTest, EnablePdevWithoutMemoryGivesNoRecord)
{
    Prepare();
    GDIINFO gdi = {};
    DEVINFO info = {};
    PDEVOEM pdev = reinterpret_cast<PDEVOEM>(0x1);
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(E_FAIL, plugin_->ps2->EnablePDEV(&device_->devobj, nullptr, 0, nullptr, sizeof(gdi), &gdi,
                                               sizeof(info), &info, &host_->data, &pdev));
    EXPECT_EQ(nullptr, pdev);
    EXPECT_NE(std::string::npos, LogText().find("cannot allocate OEM PDEV."));
}

#if KV_LINE_A
// The print permission check of a secure print job in print speed priority.
struct PermissionCase {
    const char *name;
    bool securePrint;
    DWORD switches;  // 0x1 speed priority, 0x2 secure print function
    const char *user;
    const char *pin;
    bool encoded;  // capability 0x40000: the stored PIN is encoded
    const char *port;
    HRESULT result;
    const char *log;  // the WARN line, or null
};

const PermissionCase kPermissionCases[] = {
    {"secure print off", false, 0x1, "", "", false, "FILE:", S_OK, nullptr},
    {"speed priority off", true, 0x2, "", "", false, "FILE:", S_OK, nullptr},
    {"empty configured user", true, 0x3, "", "1234", false, "LPT1:", E_FAIL, "Force dis-printing by PreConfig."},
    {"PIN of 3 characters", true, 0x3, "user", "123", false, "LPT1:", E_FAIL, "Force dis-printing by SecurePrint."},
    {"PIN of 4 characters", true, 0x3, "user", "1234", false, "LPT1:", S_OK, nullptr},
    {"encoded PIN of 4 characters", true, 0x3, "user", "9876", true, "LPT1:", S_OK, nullptr},
    {"encoded PIN of 3 characters", true, 0x3, "user", "987", true, "LPT1:", E_FAIL,
     "Force dis-printing by SecurePrint."},
    // Stored as is although the printer wants it encoded: it decodes to
    // bytes that are no PIN of four characters.
    {"PIN not encoded as asked", true, 0x3, "user", "12", true, "LPT1:", E_FAIL,
     "Force dis-printing by SecurePrint."},
    {"secure print function off", true, 0x1, "user", "1234", false, "LPT1:", E_FAIL,
     "Force dis-printing by SecurePrint."},
    {"every switch on", true, 0x80000000, "user", "1234", false, "LPT1:", S_OK, nullptr},
    {"port FILE:", true, 0x3, "user", "1234", false, "FILE:", E_FAIL, "Force dis-printing by use port."},
    {"port file:", true, 0x3, "user", "1234", false, "file:", S_OK, nullptr},
};

class PermissionTest : public SessionTest, public ::testing::WithParamInterface<PermissionCase> {};

TEST_P(PermissionTest, SecurePrintJobMustBePrintableWithTheConfiguredCredentials)
{
    const PermissionCase &c = GetParam();
    Prepare(c.switches, c.port);
    SetDevmodeFlag(DevmodeFieldId::SecurePrint, device_->Record(), c.securePrint ? 1 : 0);
    SetText(printer_, "OEMSecurePrintUserName", c.user);
    std::u16string pin = U16(c.pin);
    if (c.encoded) {
        SetCapability(printer_, 0x40000);
        WCHAR stored[PIN_TEXT_CAPACITY] = {};
        if (std::string(c.pin).size() > 2)
            ASSERT_TRUE(EncodePin(reinterpret_cast<LPCWSTR>(pin.c_str()), stored));
        else
            std::memcpy(stored, pin.c_str(), (pin.size() + 1) * sizeof(WCHAR));
        pin = reinterpret_cast<const char16_t *>(stored);
    }
    SetData(printer_, "OEMSecurePrintPIN", REG_SZ, pin.c_str(), static_cast<DWORD>((pin.size() + 1) * 2));
    ClearLog();
    EXPECT_EQ(c.result, Enable());
    if (FAILED(c.result)) {
        EXPECT_EQ(nullptr, device_->devobj.pdevOEM);
    }
    for (const char *line : {"Force dis-printing by PreConfig.", "Force dis-printing by SecurePrint.",
                             "Force dis-printing by use port."}) {
        bool expected = c.log != nullptr && std::string(c.log) == line;
        EXPECT_EQ(expected, LogText().find(std::string("KVPS[WARN]: ")) != std::string::npos &&
                                LogText().find(line) != std::string::npos)
            << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PermissionTest, ::testing::ValuesIn(kPermissionCases),
                         [](const ::testing::TestParamInfo<PermissionCase> &info) {
                             std::string name;
                             for (const char *p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(RenderingSystemTest, JournalingIsOffForSecurePrintWithoutSpeedPriority)
{
    struct Case {
        bool securePrint;
        DWORD switches;
        bool dontJournal;
    } cases[] = {
        {false, 0x0, false},
        {false, 0x2, false},
        {true, 0x2, true},
        {true, 0x0, true},
        {true, 0x3, false},
    };
    Prepare();
    SetText(printer_, "OEMSecurePrintUserName", "user");
    SetText(printer_, "OEMSecurePrintPIN", "1234");
    for (const Case &c : cases) {
        SetSwitches(printer_, c.switches);
        SetDevmodeFlag(DevmodeFieldId::SecurePrint, device_->Record(), c.securePrint ? 1 : 0);
        devInfo_.flGraphicsCaps = 0x11;
        ASSERT_EQ(S_OK, Enable()) << c.securePrint << " " << c.switches;
        EXPECT_EQ(c.dontJournal ? 0x11u | GCAPS_DONTJOURNAL : 0x11u, devInfo_.flGraphicsCaps)
            << c.securePrint << " " << c.switches;
        plugin_->ps2->DisablePDEV(&device_->devobj);
    }
}
#else
TEST_F(RenderingSystemTest, LineBNeitherRefusesNorChangesJournaling)
{
    Prepare(0, "FILE:");
    devInfo_.flGraphicsCaps = 0x11;
    EXPECT_EQ(S_OK, Enable());
    EXPECT_EQ(0x11u, devInfo_.flGraphicsCaps);
}
#endif

TEST_F(RenderingSystemTest, DocumentStartGathersTheJobsFacts)
{
    Prepare();
    core_.options["%PagePerSheet"] = "4";
    core_.options["PageSize"] = "CustomPageSize";
    core_.options["InputSlot"] = "Roll2";
    core_.options["MediaType"] = "Film";
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("Site plan"));
    JobInfo *info = Job();
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(static_cast<LONG>(job_), GetJobInfoLong(info, JobInfoFieldId::JobId));
    EXPECT_EQ(4, GetJobInfoShort(info, JobInfoFieldId::PagesPerSheet));
    EXPECT_STREQ("CustomPageSize", GetJobInfoString(info, JobInfoFieldId::PageSize));
    EXPECT_EQ(kJobFlagCustomPageSize, GetJobInfoShort(info, JobInfoFieldId::Flags));
    EXPECT_STREQ("Roll2", GetJobInfoString(info, JobInfoFieldId::InputSlot));
    EXPECT_STREQ("Film", GetJobInfoString(info, JobInfoFieldId::MediaType));
#if KV_LINE_A
    EXPECT_STREQ("Site plan", GetJobInfoString(info, JobInfoFieldId::DocumentName));
    EXPECT_STREQ("Session", GetJobInfoString(info, JobInfoFieldId::PrinterName));
    EXPECT_STREQ("LPT1:", GetJobInfoString(info, JobInfoFieldId::PortName));
    // No credentials without print speed priority: the UI plug-in sends them.
    EXPECT_FALSE(IsJobInfoSet(info, JobInfoFieldId::UserName));
#endif
    // The helper was asked these first, in this order.
    ASSERT_LE(4u, core_.requested.size());
    EXPECT_EQ(std::vector<std::string>({"%PagePerSheet", "PageSize", "InputSlot", "MediaType"}),
              std::vector<std::string>(core_.requested.begin(), core_.requested.begin() + 4));
    // The host's own document start followed.
    EXPECT_EQ(std::vector<std::string>({"DrvStartDoc Site plan " + std::to_string(job_)}), HostDdi::calls);
}

TEST_F(RenderingSystemTest, PagesPerSheetFromTheHostsOption)
{
    struct Case {
        const char *option;
        DWORD attributes;
        SHORT pages;
    } cases[] = {
        {"Booklet", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY, 1},
        {"Booklet", PRINTER_ATTRIBUTE_LOCAL, 2},
        {"16", PRINTER_ATTRIBUTE_LOCAL, 16},
        {"6x", PRINTER_ATTRIBUTE_LOCAL, 6},
        {"booklet", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY, 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.option) + " attributes " + std::to_string(c.attributes));
        TearDown();
        SetUp();
        printerName_ = "Pages" + std::to_string(n++);
        Prepare(0, "LPT1:", c.attributes);
        core_.options["%PagePerSheet"] = c.option;
        ASSERT_EQ(S_OK, Enable());
        ASSERT_TRUE(StartDoc());
        EXPECT_EQ(c.pages, GetJobInfoShort(Job(), JobInfoFieldId::PagesPerSheet));
    }
}

TEST_F(RenderingSystemTest, RepliesNamingAnotherFeature)
{
    Prepare();
    core_.answerAs["InputSlot"] = "KVInputSlot";
    core_.answerAs["PageSize"] = "PageRegion";
    core_.answerAs["MediaType"] = "MediaColor";
    core_.answerAs["%PagePerSheet"] = "%Other";
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    // An input slot answered for another feature is taken as automatic; the
    // other features are left alone.
    EXPECT_STREQ("Auto", GetJobInfoString(Job(), JobInfoFieldId::InputSlot));
    EXPECT_FALSE(IsJobInfoSet(Job(), JobInfoFieldId::PageSize));
    EXPECT_FALSE(IsJobInfoSet(Job(), JobInfoFieldId::MediaType));
    EXPECT_FALSE(IsJobInfoSet(Job(), JobInfoFieldId::PagesPerSheet));
}

TEST_F(RenderingSystemTest, OptionsTheHostCannotAnswerAreLeftUnset)
{
    Prepare();
    core_.options.erase("InputSlot");
    core_.options.erase("MediaType");
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    EXPECT_FALSE(IsJobInfoSet(Job(), JobInfoFieldId::InputSlot));
    EXPECT_FALSE(IsJobInfoSet(Job(), JobInfoFieldId::MediaType));
    EXPECT_STREQ("A1", GetJobInfoString(Job(), JobInfoFieldId::PageSize));
}

#if KV_LINE_A
TEST_F(RenderingSystemTest, SpeedPriorityTakesTheConfiguredCredentials)
{
    Prepare(0x3);
    SetCapability(printer_, 0x40000);
    SetText(printer_, "OEMSecurePrintUserName", "admin");
    SetText(printer_, "OEMSecurePrintPIN", "bWVuZA==");
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    EXPECT_STREQ("admin", GetJobInfoString(Job(), JobInfoFieldId::UserName));
    // The PIN travels in its stored form.
    EXPECT_STREQ("bWVuZA==", GetJobInfoString(Job(), JobInfoFieldId::Pin));
}

TEST_F(RenderingSystemTest, SpoolersDocumentNameWinsOverTheHosts)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    job_ = StartJob(printer_, "Spooler title");
    std::u16string given = u"Given title";
    ASSERT_TRUE(OemStartDoc(&device_->surface, reinterpret_cast<LPWSTR>(&given[0]), job_));
    EXPECT_STREQ("Spooler title", GetJobInfoString(Job(), JobInfoFieldId::DocumentName));
}
#endif

TEST_F(RenderingSystemTest, DocumentStartWithoutHelperFails)
{
    Prepare();
    ASSERT_EQ(S_OK, plugin_->ps2->DisableDriver());
    ASSERT_EQ(S_OK, Enable());
    EXPECT_FALSE(StartDoc());
    // The host's document never started.
    EXPECT_TRUE(HostDdi::calls.empty());
}

TEST_F(RenderingSystemTest, DocumentStartFailsWhenTheFunctionsCannotBeMade)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    // Without a document name there is no document, and without a document
    // the functions have no job to bind to.
    job_ = StartJob(printer_, "x");
    EXPECT_FALSE(OemStartDoc(&device_->surface, nullptr, job_));
    EXPECT_NE(std::string::npos, LogText().find("cannot create the Function, StartDoc failed."));
    EXPECT_TRUE(HostDdi::calls.empty());
}

#if KV_LINE_A
TEST_F(RenderingSystemTest, NothingReachesTheSpoolerBeforeTheFirstPage)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    ASSERT_EQ(S_OK, Command(PSINJECT_BEGINSTREAM));
    ASSERT_EQ(S_OK, Write("%!PS-Adobe-3.0\n"));
    ASSERT_EQ(S_OK, Write("%%Page: 1 1\n"));
    EXPECT_EQ("", Spooled());
    EXPECT_EQ(27u, device_->Document()->output.length);
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ("%!PS-Adobe-3.0\n%%Page: 1 1\n", Spooled());
    EXPECT_TRUE(device_->Document()->direct);
    EXPECT_EQ(0u, device_->Document()->output.length);
    ASSERT_EQ(S_OK, Write("showpage\n"));
    EXPECT_EQ("%!PS-Adobe-3.0\n%%Page: 1 1\nshowpage\n", Spooled());
}

TEST_F(RenderingSystemTest, CollectedOutputFlushesOnlyBeyondTheThreshold)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    std::string block(0x3FF000 - 1, 'a');
    ASSERT_EQ(S_OK, Write(block));
    ASSERT_EQ(S_OK, Write("b"));
    // Exactly 4,190,208 bytes stay collected.
    EXPECT_EQ(0u, Spooled().size());
    EXPECT_EQ(0x3FF000u, device_->Document()->output.length);
    EXPECT_FALSE(device_->Document()->direct);
    ASSERT_EQ(S_OK, Write("c"));
    EXPECT_EQ(0x3FF001u, Spooled().size());
    EXPECT_TRUE(device_->Document()->direct);
    ASSERT_EQ(S_OK, Write("d"));
    EXPECT_EQ(block + "bcd", Spooled());
}

TEST_F(RenderingSystemTest, FlushFiresTheJobsStartBeforeTheCollectedOutput)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("Plan"));
    Watch("watch");
    ASSERT_EQ(S_OK, Write("collected"));
    CallLog::entries.clear();
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ(std::vector<std::string>({"watch OnStartDoc Plan " + std::to_string(job_), "watch PreBeginStream", "watch OnBeginStream",
                                        "watch OnBeginJob"}),
              CallLog::entries);
    // ... all before the host ends its page.
    EXPECT_EQ("DrvSendPage", HostDdi::calls.back());
    // A later page flushes nothing and fires nothing.
    CallLog::entries.clear();
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_TRUE(CallLog::entries.empty());
    EXPECT_EQ("collected", Spooled());
}

#else
TEST_F(RenderingSystemTest, LineBWritesEveryByteStraightToTheSpooler)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    EXPECT_TRUE(device_->Document()->direct);
    ASSERT_EQ(S_OK, Write("%!PS-Adobe-3.0\n"));
    EXPECT_EQ("%!PS-Adobe-3.0\n", Spooled());
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ("%!PS-Adobe-3.0\n", Spooled());
}
#endif

TEST_F(RenderingSystemTest, SpeedPriorityWritesStraightThrough)
{
    Prepare(0x1);
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    EXPECT_TRUE(device_->Document()->direct);
    Watch("watch");
    ASSERT_EQ(S_OK, Command(PSINJECT_BEGINSTREAM));
    // The job header goes before the host's first byte.
    EXPECT_EQ(std::vector<std::string>({"watch PreBeginStream", "watch OnBeginStream", "watch OnBeginJob",
                                        "watch OnPSInject 1"}),
              CallLog::entries);
    ASSERT_EQ(S_OK, Write("%!PS"));
    EXPECT_EQ("%!PS", Spooled());
    CallLog::entries.clear();
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_TRUE(CallLog::entries.empty());
}

TEST_F(RenderingSystemTest, SpoolerWriteErrorsBecomeResults)
{
    Prepare(0x1);
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    kvp::SystemFailNext(kvp::Fault::SpoolWrite);
    DWORD written = 77;
    EXPECT_EQ(static_cast<HRESULT>(0x8007001D),
              plugin_->ps2->WritePrinter(&device_->devobj, const_cast<char *>("xy"), 2, &written));
    EXPECT_EQ(0u, written);
    // No device, no bytes or no length: nothing to do.
    EXPECT_EQ(S_OK, plugin_->ps2->WritePrinter(nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(S_OK, plugin_->ps2->WritePrinter(&device_->devobj, nullptr, 5, nullptr));
    EXPECT_EQ(S_OK, plugin_->ps2->WritePrinter(&device_->devobj, const_cast<char *>("z"), 0, nullptr));
    EXPECT_EQ("", Spooled());
}

TEST_F(RenderingSystemTest, CommandWithoutIPrintOemPS2FiresNothing)
{
    Prepare(0, "LPT1:", PRINTER_ATTRIBUTE_LOCAL, 0, false);
    ASSERT_FALSE(plugin_->system->Ps2Requested());
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    Watch("watch");
    for (DWORD index : {PSINJECT_BEGINSTREAM, PSINJECT_BEGINPAGESETUP, PSINJECT_ENDSTREAM})
        EXPECT_EQ(S_OK, Command(index)) << index;
    EXPECT_TRUE(CallLog::entries.empty());
}

TEST_F(RenderingSystemTest, CommandDispatch)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    DWORD result = 0;
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->Command(nullptr, 1, nullptr, 0, &result));
    EXPECT_EQ(E_INVALIDARG, plugin_->ps2->Command(&device_->devobj, 1, nullptr, 0, nullptr));
    // No document yet: no container.
    EXPECT_EQ(E_FAIL, Command(PSINJECT_BEGINPAGESETUP));
    ASSERT_TRUE(StartDoc());
    Watch("watch");
    struct Case {
        DWORD index;
        std::vector<std::string> calls;
    } cases[] = {
#if KV_LINE_A
        {PSINJECT_BEGINSTREAM, {"watch OnPSInject 1"}},
#else
        // Line B always has print speed priority: the job begins here.
        {PSINJECT_BEGINSTREAM,
         {"watch PreBeginStream", "watch OnBeginStream", "watch OnBeginJob", "watch OnPSInject 1"}},
#endif
        {PSINJECT_BEGINPAGESETUP, {"watch OnPSInject 101"}},
        {PSINJECT_ENDSTREAM,
         {"watch OnPSInject 20", "watch OnEndStream", "watch OnEndJob", "watch PostEndJob"}},
        {PSINJECT_TRAILER, {"watch OnPSInject 18"}},
    };
    for (const Case &c : cases) {
        CallLog::entries.clear();
        EXPECT_EQ(S_OK, Command(c.index)) << c.index;
        EXPECT_EQ(c.calls, CallLog::entries) << c.index;
    }
}

TEST_F(RenderingSystemTest, CommandFiresEveryEventAndReportsTheFirstFailure)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    RecordingFunction *failing = Watch("failing");
    Watch("trailer");
    failing->answers["OnPSInject"] = E_UNEXPECTED;
    EXPECT_EQ(E_FAIL, Command(PSINJECT_ENDSTREAM));
    // The job's end still reaches the healthy function.
    EXPECT_EQ(std::vector<std::string>({"failing OnPSInject 20", "trailer OnPSInject 20", "trailer OnEndStream",
                                        "trailer OnEndJob", "trailer PostEndJob"}),
              CallLog::entries);
}

#if KV_LINE_A
TEST_F(RenderingSystemTest, SecondDocumentRebuildsTheFunctionsAndCollectsAgain)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("one"));
    IFunctionContainer *first = device_->Pdev()->container;
    ASSERT_EQ(S_OK, Write("page one"));
    ASSERT_TRUE(OemSendPage(&device_->surface));
    ASSERT_EQ(S_OK, Write("rest of one"));
    ASSERT_TRUE(OemEndDoc(&device_->surface, 0));
    EXPECT_TRUE(device_->Document()->ended);
    EXPECT_EQ("page onerest of one", Spooled());

    ASSERT_TRUE(StartDoc("two"));
    DocumentInfo *document = device_->Document();
    EXPECT_FALSE(document->ended);
    EXPECT_FALSE(document->direct);
    EXPECT_NE(nullptr, device_->Pdev()->container);
    // The document record is kept; its facts are the new job's.
    EXPECT_EQ(static_cast<LONG>(job_), GetJobInfoLong(&document->jobInfo, JobInfoFieldId::JobId));
    ASSERT_EQ(S_OK, Write("page two"));
    EXPECT_EQ("", Spooled());
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ("page two", Spooled());
    (void)first;
}

TEST_F(RenderingSystemTest, EndedDocumentsUncollectedOutputStaysWithIt)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("one"));
    ASSERT_EQ(S_OK, Write("never sent"));
    ASSERT_TRUE(OemEndDoc(&device_->surface, 0));
    ASSERT_TRUE(StartDoc("two"));
    ASSERT_EQ(S_OK, Write("two"));
    ASSERT_TRUE(OemSendPage(&device_->surface));
    EXPECT_EQ("two", Spooled());
}

#endif

TEST_F(RenderingSystemTest, ResetPdevMovesTheDocumentAndKeepsReferencesBalanced)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc("moved"));
    ASSERT_EQ(S_OK, Write("held"));
    RecordingFunction *watch = Watch("watch");
    LONG references = plugin_->system->References();
    OemPdev *old = device_->Pdev();
    DocumentInfo *document = old->document;
    IFunctionContainer *container = old->container;

    TestDevice fresh(printer_);
    ASSERT_EQ(S_OK, plugin_->Enable(fresh, *host_));
    CallLog::entries.clear();
    ASSERT_EQ(S_OK, plugin_->ps2->ResetPDEV(&device_->devobj, &fresh.devobj));
    EXPECT_EQ(document, fresh.Pdev()->document);
    EXPECT_EQ(container, fresh.Pdev()->container);
    EXPECT_EQ(nullptr, old->document);
    EXPECT_EQ(nullptr, old->container);
    EXPECT_EQ(std::vector<std::string>({"watch Bind"}), CallLog::entries);
    EXPECT_EQ(&fresh.devobj, watch->Device());
    EXPECT_EQ(references, plugin_->system->References());

    ASSERT_EQ(S_OK, plugin_->ps2->DisablePDEV(&device_->devobj));
    ASSERT_TRUE(OemSendPage(&fresh.surface));
    EXPECT_EQ("held", Spooled());
    ASSERT_EQ(S_OK, plugin_->ps2->DisablePDEV(&fresh.devobj));
    // Only the host's own reference is left.
    EXPECT_EQ(1, plugin_->system->References());
}

TEST_F(RenderingSystemTest, DisablePdevLetsGoOfEverything)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    EXPECT_EQ(2, plugin_->system->References());
    ASSERT_EQ(S_OK, plugin_->ps2->DisablePDEV(&device_->devobj));
    EXPECT_EQ(nullptr, device_->devobj.pdevOEM);
    EXPECT_EQ(1, plugin_->system->References());
    EXPECT_EQ(nullptr, plugin_->system->CurrentDevice());
}

TEST_F(RenderingSystemTest, ServicesAnswerForTheCurrentDevice)
{
    Prepare();
    ASSERT_EQ(S_OK, Enable());
    ASSERT_TRUE(StartDoc());
    IRenderingSystem *services = plugin_->system;
    PDEVOBJ device = nullptr;
    EXPECT_EQ(S_OK, services->GetDevObj(&device));
    EXPECT_EQ(&device_->devobj, device);
    HANDLE printer = nullptr;
    EXPECT_EQ(S_OK, services->GetPrinterHandle(&printer));
    EXPECT_EQ(printer_, printer);
    PDEVMODEW devmode = nullptr;
    EXPECT_EQ(S_OK, services->GetPublicDevmode(&devmode));
    EXPECT_EQ(device_->Public(), devmode);
    JobInfo *info = nullptr;
    EXPECT_EQ(S_OK, services->GetJobInfo(&info));
    EXPECT_EQ(Job(), info);
    IPrintCorePS2 *helper = nullptr;
    EXPECT_EQ(S_OK, services->GetCoreHelper(&helper));
    ASSERT_NE(nullptr, helper);
    // Our own proxy, which writes into the host's stream.
    EXPECT_EQ(S_OK, services->WriteStream("abc", 3));
    EXPECT_EQ(S_OK, services->Write("de", 2));
    EXPECT_EQ("abcde", core_.stream);
    EXPECT_EQ(&device_->devobj, core_.writeDevices.back());
    helper->Release();
    // Straight to the spooler, past what is collected.
    ASSERT_EQ(S_OK, Write("collected"));
    EXPECT_EQ(S_OK, services->WriteSpooler("header", 6));
#if KV_LINE_A
    EXPECT_EQ("header", Spooled());
#else
    EXPECT_EQ("collectedheader", Spooled());
#endif
    // Property lines go to the property function, whose writer is not
    // there yet or answers itself.
    HRESULT hr = services->WriteProperty("o", "n", 1, 1, "x");
    EXPECT_TRUE(hr == E_NOTIMPL || SUCCEEDED(hr)) << std::hex << hr;
}

}  // namespace
