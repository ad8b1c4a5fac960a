// The three rendering functions of the job on the wire, on services of the
// test's own: the job header writer, the procset server and the property
// comment writer.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "devmode.h"
#include "jclhandler.h"
#include "jobinfo.h"
#include "kvp/spoolctl.h"
#include "kvtest_module.h"
#include "kvtest_printers.h"
#include "memory.h"
#include "pdvalue.h"
#include "propertyhandler.h"
#include "rfpsprocserver.h"

namespace {

// The host's helper, answering GetOptions from a map of options.
class FakeCore : public IPrintCorePS2 {
public:
    std::map<std::string, std::string> options;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintCorePS2)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ, PVOID, DWORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ, DWORD, PCSTR request, DWORD size, PSTR reply, DWORD replySize,
                                         PDWORD needed) override
    {
        std::string out;
        for (PCSTR p = request; p < request + size && *p != '\0'; p += strlen(p) + 1) {
            auto it = options.find(p);
            if (it == options.end()) continue;
            out += it->first + '\0' + it->second + '\0';
        }
        if (out.empty()) return E_INVALIDARG;
        out += '\0';
        if (needed != nullptr) *needed = static_cast<DWORD>(out.size());
        if (out.size() > replySize) return E_OUTOFMEMORY;
        memcpy(reply, out.data(), out.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ, DWORD, PCSTR, PDWORD, PBYTE, DWORD, PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ, DWORD, PCSTR, PCSTR, PDWORD, PBYTE, DWORD,
                                                  PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ, DWORD, PCSTR, PCSTR, PCSTR, PDWORD, PBYTE, DWORD,
                                                 PDWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ, DWORD, PSTR, DWORD, PDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ, DWORD, PCSTR, PSTR, DWORD, PDWORD) override { return E_NOTIMPL; }

    LONG refs = 1;
};

// The rendering system's services over one device, recording what the
// functions write where.
class FakeServices : public IRenderingSystem {
public:
    LONG version = kServicesVersionPlugin;
    HANDLE printer = nullptr;
    DEVMODEW *devmode = nullptr;
    JobInfo *job = nullptr;
    DEVOBJ *device = nullptr;
    FakeCore *core = nullptr;
    std::string spooler;  // WriteSpooler
    std::string stream;   // Write and WriteStream
    HRESULT spoolerResult = S_OK;
    struct Property {
        std::string owner, name;
        DWORD type;
        std::string data;
    };
    std::vector<Property> properties;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override
    {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    LONG STDMETHODCALLTYPE GetVersion() override { return version; }
    HRESULT STDMETHODCALLTYPE GetDevObj(PDEVOBJ *out) override { return Answer(out, device); }
    HRESULT STDMETHODCALLTYPE GetCoreHelper(IPrintCorePS2 **out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = core;
        if (core == nullptr) return E_FAIL;
        core->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPrinterHandle(HANDLE *out) override { return Answer(out, printer); }
    HRESULT STDMETHODCALLTYPE GetPublicDevmode(PDEVMODEW *out) override { return Answer(out, devmode); }
    HRESULT STDMETHODCALLTYPE GetJobInfo(JobInfo **out) override { return Answer(out, job); }
    HRESULT STDMETHODCALLTYPE WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data) override
    {
        properties.push_back({owner, name, type, std::string(static_cast<const char *>(data), size)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCVOID bytes, DWORD length) override { return WriteStream(bytes, length); }
    HRESULT STDMETHODCALLTYPE Reserved() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WriteSpooler(LPCVOID bytes, DWORD length) override
    {
        if (FAILED(spoolerResult)) return spoolerResult;
        spooler.append(static_cast<const char *>(bytes), length);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteStream(LPCVOID bytes, DWORD length) override
    {
        stream.append(static_cast<const char *>(bytes), length);
        return S_OK;
    }

private:
    template <typename T>
    static HRESULT Answer(T **out, T *value)
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = value;
        return value != nullptr ? S_OK : E_FAIL;
    }
};

const char kExit[] = "\x1B%-12345X";

class FunctionTest : public kvtest::AttachedModuleTest {
protected:
    void SetUp() override
    {
        AttachedModuleTest::SetUp();
        kvp::PrinterSpec spec;
        spec.name = "Plotter";
        spec.driverName = "KV Test Driver";
        printer_ = printers_.Add(spec);
        ASSERT_NE(nullptr, printer_);

        devmode_.assign(sizeof(DEVMODEW) + kPrivateDevmodeSize, 0);
        DEVMODEW *dm = Public();
        dm->dmSize = sizeof(DEVMODEW);
        dm->dmDriverExtra = kPrivateDevmodeSize;
        dm->dmCopies = 1;
        dm->dmOrientation = DMORIENT_PORTRAIT;
        dm->dmPaperSize = 8;
        ASSERT_TRUE(SetDevmodeDefaults(Record()));
        ASSERT_TRUE(SetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, Record(), 1));
        ASSERT_TRUE(SetDevmodeShort(DevmodeFieldId::FoldMode, Record(), 3));
        InitJobInfo(&job_);
        SetData(kValueSupportJCL, REG_DWORD, 2);

        core_.options = {{"%OutputFormat", "Portability"}, {"%CtrlDAfter", "False"}, {"%PagePerSheet", "1"},
                         {"InputSlot", "Auto"}};
        device_.dwSize = sizeof(device_);
        device_.hPrinter = printer_;
        device_.pPublicDM = Public();
        services_.printer = printer_;
        services_.devmode = Public();
        services_.job = &job_;
        services_.device = &device_;
        services_.core = &core_;
    }

    void TearDown() override
    {
        printers_.CloseAll();
        AttachedModuleTest::TearDown();
    }

    DEVMODEW *Public() { return reinterpret_cast<DEVMODEW *>(devmode_.data()); }
    PrivateDevmode *Record() { return reinterpret_cast<PrivateDevmode *>(devmode_.data() + sizeof(DEVMODEW)); }

    void SetData(LPCWSTR name, DWORD type, DWORD value)
    {
        DWORD slots[4] = {value, 0, 0, 0};
        DWORD size = type == REG_DWORD ? 4 : sizeof(slots);
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer_, const_cast<LPWSTR>(name), type, reinterpret_cast<BYTE *>(slots), size));
    }
    void SetCapability(DWORD bits) { SetData(kValueSupportCapability, REG_BINARY, bits); }

    kvtest::TestPrinters printers_;
    HANDLE printer_ = nullptr;
    std::vector<BYTE> devmode_;
    JobInfo job_;
    DEVOBJ device_ = {};
    FakeCore core_;
    FakeServices services_;
};

// ---------------------------------------------------------------------------
// JclHandler

TEST_F(FunctionTest, JclHandlerReadsItsTwoOptions)
{
    const struct {
        const char *format;
        const char *ctrlD;
        bool fileFormat;
        bool ctrlDAfter;
    } kCases[] = {
        {"Portability", "False", false, false}, {"EPS", "False", true, false},   {"Archive", "True", true, true},
        {"eps", "false", false, true},          {"Optimized", "True", false, true},
    };
    for (const auto &c : kCases) {
        core_.options["%OutputFormat"] = c.format;
        core_.options["%CtrlDAfter"] = c.ctrlD;
        JclHandler handler;
        ASSERT_EQ(S_OK, handler.Initialize(&services_)) << c.format;
        EXPECT_EQ(c.fileFormat, handler.FileFormat()) << c.format;
        EXPECT_EQ(c.ctrlDAfter, handler.CtrlDAfter()) << c.ctrlD;
    }
}

TEST_F(FunctionTest, JclHandlerFailsWhenAnOptionCannotBeLookedUp)
{
    for (const char *missing : {"%OutputFormat", "%CtrlDAfter"}) {
        core_.options = {{"%OutputFormat", "Portability"}, {"%CtrlDAfter", "False"}};
        core_.options.erase(missing);
        JclHandler handler;
        EXPECT_EQ(E_FAIL, handler.Initialize(&services_)) << missing;
    }
    // A services provider of another version is not asked.
    core_.options.clear();
    services_.version = kServicesVersionNone;
    JclHandler handler;
    EXPECT_EQ(S_OK, handler.Initialize(&services_));
}

TEST_F(FunctionTest, JclHandlerWritesTheHeaderOnceAndClosesTheJob)
{
    JclHandler handler;
    ASSERT_EQ(S_OK, handler.Initialize(&services_));
    EXPECT_EQ(S_OK, handler.OnBeginJob());
    const std::string header = std::string(kExit) + "@PJL\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    EXPECT_EQ(header, services_.spooler);
    EXPECT_TRUE(handler.HeaderWritten());
    EXPECT_EQ(S_OK, handler.OnBeginJob());
    EXPECT_EQ(header, services_.spooler);
    EXPECT_EQ("", services_.stream);
    EXPECT_EQ(S_OK, handler.PostEndJob());
    EXPECT_EQ(kExit, services_.stream);
}

TEST_F(FunctionTest, JclHandlerCases)
{
    const struct {
        const char *name;
        const char *format;
        const char *ctrlD;
        DWORD jcl;
        bool header;
        bool trailer;
    } kCases[] = {
        {"EPS", "EPS", "False", 2, false, false},
        {"Archive", "Archive", "False", 2, false, false},
        {"Portability", "Portability", "False", 2, true, true},
        {"Ctrl-D after", "Portability", "True", 2, true, false},
        {"JCL mode 0", "Portability", "False", 0, false, false},
    };
    for (const auto &c : kCases) {
        core_.options["%OutputFormat"] = c.format;
        core_.options["%CtrlDAfter"] = c.ctrlD;
        SetData(kValueSupportJCL, REG_DWORD, c.jcl);
        services_.spooler.clear();
        services_.stream.clear();
        JclHandler handler;
        ASSERT_EQ(S_OK, handler.Initialize(&services_)) << c.name;
        EXPECT_EQ(S_OK, handler.OnBeginJob()) << c.name;
        EXPECT_EQ(S_OK, handler.PostEndJob()) << c.name;
        EXPECT_EQ(c.header, services_.spooler.rfind(kExit, 0) == 0) << c.name;
        EXPECT_EQ(c.trailer ? kExit : "", services_.stream) << c.name;
    }
}

TEST_F(FunctionTest, JclHandlerTriesAgainAfterAFailedSpoolerWrite)
{
    JclHandler handler;
    ASSERT_EQ(S_OK, handler.Initialize(&services_));
    services_.spoolerResult = E_FAIL;
    EXPECT_EQ(S_OK, handler.OnBeginJob());
    EXPECT_FALSE(handler.HeaderWritten());
    EXPECT_EQ(S_OK, handler.PostEndJob());
    EXPECT_EQ("", services_.stream);  // never closed what was never opened
    services_.spoolerResult = S_OK;
    EXPECT_EQ(S_OK, handler.OnBeginJob());
    EXPECT_TRUE(handler.HeaderWritten());
    EXPECT_EQ(0u, services_.spooler.rfind(kExit, 0));
}

TEST_F(FunctionTest, JclHandlerSerializesItsTwoOptionBytes)
{
    core_.options["%OutputFormat"] = "EPS";
    core_.options["%CtrlDAfter"] = "True";
    JclHandler handler;
    ASSERT_EQ(S_OK, handler.Initialize(&services_));
    ASSERT_EQ(S_OK, handler.Serialize());
    ASSERT_EQ(1u, services_.properties.size());
    EXPECT_EQ("JclHandler", services_.properties[0].owner);
    EXPECT_EQ("__Serialize__", services_.properties[0].name);
    EXPECT_EQ(1u, services_.properties[0].type);
    EXPECT_EQ(std::string("\x01\x01", 2), services_.properties[0].data);

    JclHandler other;
    const BYTE state[2] = {1, 0};
    EXPECT_EQ(S_OK, other.Deserialize(state, 2));
    EXPECT_TRUE(other.CtrlDAfter());
    EXPECT_FALSE(other.FileFormat());
    const BYTE one[1] = {0};
    EXPECT_EQ(S_OK, other.Deserialize(one, 1));  // only what is there
    EXPECT_FALSE(other.CtrlDAfter());
    EXPECT_FALSE(other.FileFormat());
}

#if KV_LINE_A
TEST_F(FunctionTest, JclHandlerTakesTheJobFactsAsTheyAreAtTheBeginningOfTheJob)
{
    JclHandler handler;
    ASSERT_EQ(S_OK, handler.Initialize(&services_));
    ASSERT_TRUE(SetDevmodeFlag(DevmodeFieldId::SecurePrint, Record(), 1));
    SetData(kValueDisablePSFeatures, REG_DWORD, 0x2);
    // The UI plug-in's escape arrives after the document start.
    ASSERT_TRUE(SetJobInfoString(&job_, JobInfoFieldId::UserName, "yamada"));
    ASSERT_TRUE(SetJobInfoString(&job_, JobInfoFieldId::DocumentName, "Plan"));
    EXPECT_EQ(S_OK, handler.OnBeginJob());
    EXPECT_EQ(std::string(kExit) +
                  "@PJL\r\n@PJL SET HOLD=STORE\r\n@PJL SET USERNAME=\"yamada\"\r\n@PJL SET JOBNAME=\"Plan\"\r\n"
                  "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n",
              services_.spooler);
}
#endif

// ---------------------------------------------------------------------------
// PSProcServer

class ProcServerTest : public FunctionTest {
protected:
    // Runs the page set-up injection points of PAGES pages and returns the
    // stream bytes each page's end of set-up produced.
    std::vector<std::string> Pages(PSProcServer *server, int pages)
    {
        std::vector<std::string> out;
        for (int i = 0; i < pages; ++i) {
            services_.stream.clear();
            EXPECT_EQ(S_OK, server->OnPSInject(PSINJECT_BEGINPAGESETUP));
            EXPECT_EQ("", services_.stream) << "page " << i + 1;
            EXPECT_EQ(S_OK, server->OnPSInject(PSINJECT_ENDPAGESETUP));
            out.push_back(services_.stream);
        }
        return out;
    }
};

TEST_F(ProcServerTest, NeedsADeviceAndACoreHelper)
{
    {
        PSProcServer server;
        EXPECT_EQ(S_OK, server.Initialize(&services_));
        ASSERT_NE(nullptr, server.State());
        EXPECT_EQ(0, server.State()->logicalPages);
    }
    services_.core = nullptr;
    {
        PSProcServer server;
        EXPECT_EQ(E_FAIL, server.Initialize(&services_));
    }
    services_.core = &core_;
    services_.device = nullptr;
    {
        PSProcServer server;
        EXPECT_EQ(E_FAIL, server.Initialize(&services_));
    }
}

TEST_F(ProcServerTest, TwoUpPortraitTurnsEachNewSheetBetweenTheMarkers)
{
    const std::string kA = "%-OEMPluginInsertBegin\r\n"
                           "grestore\r\ngrestore\r\n180 rotate\r\n"
                           "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
                           "startpage\r\ngsave mysetup concat colspRefresh\r\n"
                           "%-OEMPluginInsertEnd\r\n";
    const std::string kB = "%-OEMPluginInsertBegin\r\n"
                           "userdict pagesave restore\r\ngrestore\r\ngrestore\r\n180 rotate\r\n"
                           "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
                           "startpage\r\ngsave userdict begin /pagesave save def end mysetup concat colspRefresh\r\n"
                           "%-OEMPluginInsertEnd\r\n";
    SetCapability(CAP_PAGE_OUTPUT_HANDLING);
    core_.options["%PagePerSheet"] = "2";
    for (const char *format : {"Optimized", "Portability"}) {
        core_.options["%OutputFormat"] = format;
        PSProcServer server;
        ASSERT_EQ(S_OK, server.Initialize(&services_));
        const std::string &fragment = std::string(format) == "Portability" ? kB : kA;
        std::vector<std::string> expected = {fragment, "", fragment, "", fragment};
        EXPECT_EQ(expected, Pages(&server, 5)) << format;
        EXPECT_EQ(5, server.State()->logicalPages);
        EXPECT_EQ(3, server.State()->physicalSheets);
    }
}

TEST_F(ProcServerTest, NoRotationCases)
{
    const struct {
        const char *name;
        DWORD capability;
        const char *pagesPerSheet;
        SHORT orientation;
        bool formatKnown;
    } kCases[] = {
        {"capability bit clear", 0, "2", DMORIENT_PORTRAIT, true},
        {"landscape", CAP_PAGE_OUTPUT_HANDLING, "2", DMORIENT_LANDSCAPE, true},
        {"4-up", CAP_PAGE_OUTPUT_HANDLING, "4", DMORIENT_PORTRAIT, true},
        {"one page per sheet", CAP_PAGE_OUTPUT_HANDLING, "1", DMORIENT_PORTRAIT, true},
        {"output format unknown", CAP_PAGE_OUTPUT_HANDLING, "2", DMORIENT_PORTRAIT, false},
    };
    for (const auto &c : kCases) {
        SetCapability(c.capability);
        core_.options["%PagePerSheet"] = c.pagesPerSheet;
        Public()->dmOrientation = c.orientation;
        if (c.formatKnown)
            core_.options["%OutputFormat"] = "Optimized";
        else
            core_.options.erase("%OutputFormat");
        PSProcServer server;
        ASSERT_EQ(S_OK, server.Initialize(&services_)) << c.name;
        EXPECT_EQ(std::vector<std::string>(3, ""), Pages(&server, 3)) << c.name;
    }
}

TEST_F(ProcServerTest, SixUpTurnsOnlyTheFirstOfSixPagesAndBookletCountsAsTwo)
{
    SetCapability(CAP_PAGE_OUTPUT_HANDLING);
    core_.options["%PagePerSheet"] = "6";
    PSProcServer server;
    ASSERT_EQ(S_OK, server.Initialize(&services_));
    std::vector<std::string> pages = Pages(&server, 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(i == 0 || i == 6, !pages[i].empty()) << "page " << i + 1;

    // The printer is not RAW-only: a booklet is two pages per sheet.
    core_.options["%PagePerSheet"] = "Booklet";
    PSProcServer booklet;
    ASSERT_EQ(S_OK, booklet.Initialize(&services_));
    pages = Pages(&booklet, 3);
    EXPECT_FALSE(pages[0].empty());
    EXPECT_TRUE(pages[1].empty());
    EXPECT_FALSE(pages[2].empty());
}

TEST_F(ProcServerTest, OtherInjectionPointsWriteNothing)
{
    SetCapability(CAP_PAGE_OUTPUT_HANDLING);
    core_.options["%PagePerSheet"] = "2";
    PSProcServer server;
    ASSERT_EQ(S_OK, server.Initialize(&services_));
    for (DWORD index : {1u, 2u, 14u, 20u, 100u, 103u, 105u, 0u, 0xFFFFFFFFu}) {
        EXPECT_EQ(S_OK, server.OnPSInject(index)) << index;
    }
    EXPECT_EQ("", services_.stream);
    EXPECT_EQ(0, server.State()->logicalPages);
    // The end of a page set-up before any page began writes nothing either.
    EXPECT_EQ(S_OK, server.OnPSInject(PSINJECT_ENDPAGESETUP));
    EXPECT_EQ("", services_.stream);
}

TEST_F(ProcServerTest, InputSlotChangeBeginsANewSheet)
{
    SetCapability(CAP_PAGE_OUTPUT_HANDLING);
    core_.options["%PagePerSheet"] = "2";
    PSProcServer server;
    ASSERT_EQ(S_OK, server.Initialize(&services_));
    ASSERT_EQ(S_OK, server.OnPSInject(PSINJECT_BEGINPAGESETUP));
    core_.options["InputSlot"] = "Roll2";
    ASSERT_EQ(S_OK, server.OnPSInject(PSINJECT_BEGINPAGESETUP));
    EXPECT_EQ(2, server.State()->physicalSheets);
    EXPECT_TRUE(server.State()->newSheet);
}

TEST_F(ProcServerTest, LogsThePageCount)
{
    PSProcServer server;
    ASSERT_EQ(S_OK, server.Initialize(&services_));
    SetDebugLevel(LOG_NOTICE);
    Pages(&server, 2);
    std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("PageCount: cLogical(1), cPhysical(1), cNup(1)")) << log;
    EXPECT_NE(std::string::npos, log.find("PageCount: cLogical(2), cPhysical(2), cNup(1)")) << log;
}

// ---------------------------------------------------------------------------
// PropertyHandler

TEST_F(FunctionTest, PropertyHandlerWritesItsLineStraightToTheSpooler)
{
    PropertyHandler handler;
    ASSERT_EQ(S_OK, handler.Initialize(&services_));
    const DWORD three = 3;
    EXPECT_EQ(S_OK, handler.WriteProperty("__Serialize__", "__BeginStream__", 1, 4, &three));
    EXPECT_EQ("%KVPS PROPERTY owner=__Serialize__ name=__BeginStream__ type=BINARY size=4 data=03000000\r\n",
              services_.spooler);
    services_.spooler.clear();
    EXPECT_EQ(E_NOTIMPL, handler.WriteProperty("__Serialize__", "x", 2, 4, &three));
    EXPECT_EQ("", services_.spooler);
    services_.spoolerResult = E_FAIL;
    EXPECT_EQ(E_FAIL, handler.WriteProperty("a", "b", 1, 0, nullptr));
}

TEST_F(FunctionTest, PropertyHandlerParsesThroughItsSlot)
{
    PropertyHandler handler;
    CHAR owner[kPropertyWordMax + 1], name[kPropertyWordMax + 1];
    DWORD type = 0, size = 0;
    BYTE *data = nullptr;
    LPCSTR next = nullptr;
    const char text[] = "%KVPS PROPERTY owner=JclHandler name=__Serialize__ type=BINARY size=2 data=0100\r\nX";
    EXPECT_TRUE(handler.IsPropertyLine(text));
    ASSERT_EQ(S_OK, handler.ParseProperty(text, owner, name, &type, &size, &data, &next));
    EXPECT_STREQ("JclHandler", owner);
    EXPECT_STREQ("__Serialize__", name);
    EXPECT_EQ(1u, type);
    ASSERT_EQ(2u, size);
    EXPECT_EQ(1, data[0]);
    EXPECT_EQ(0, data[1]);
    EXPECT_STREQ("X", next);
    MemFree(data);
    EXPECT_EQ(E_INVALIDARG, handler.ParseProperty(text, nullptr, name, &type, &size, &data, &next));

    char hex[3] = {};
    EXPECT_EQ(hex + 2, handler.EncodeHexByte(hex, 0xC4));
    EXPECT_STREQ("C4", hex);
    BYTE byte = 0;
    EXPECT_EQ(hex + 2, handler.DecodeHexByte(&byte, hex));
    EXPECT_EQ(0xC4, byte);
}

}  // namespace
