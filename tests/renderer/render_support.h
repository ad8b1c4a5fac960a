// Shared set-up of the render core's unit tests: the module started as the
// plug-in is (private heap, log at the lowest level in a directory of the
// test's own), printers in the emulated spooler, a host core helper that
// answers from a table of options, a device with its DEVMODEW, and the
// host's own DDI functions that record their calls.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "coremain.h"
#include "ddihook.h"
#include "devmode.h"
#include "jobinfo.h"
#include "kvcontract.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvtest_module.h"
#include "kvtest_printers.h"
#include "pluginrenderingsystem.h"
#include "renderingfunction.h"
#include "renderingintf.h"

namespace rendertest {

typedef std::vector<BYTE> Bytes;

inline std::u16string U16(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline std::string Narrow(const WCHAR *text)
{
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// A double-NUL list of STRINGS, as the host's helpers exchange them.
inline std::string MultiString(const std::vector<std::string> &strings)
{
    std::string out;
    for (const std::string &s : strings) out += s + '\0';
    return out + '\0';
}

inline std::vector<std::string> SplitList(const char *list, size_t size)
{
    std::vector<std::string> out;
    size_t at = 0;
    while (at < size && list[at] != '\0') {
        size_t n = strnlen(list + at, size - at);
        out.emplace_back(list + at, n);
        at += n + 1;
    }
    return out;
}

inline std::string PackagingPpd(const char *name) { return std::string(KV_SOURCE_DIR) + "/packaging/" + name; }

// ---------------------------------------------------------------------------
// The host's IPrintCorePS2: current options from a table, the host's
// output stream in a string.
class FakeCore : public IPrintCorePS2 {
public:
    std::map<std::string, std::string> options;
    // A reply that names another feature than the one asked for.
    std::map<std::string, std::string> answerAs;
    HRESULT getOptionsResult = S_OK;
    HRESULT writeResult = S_OK;
    std::vector<std::string> requested;  // every feature asked for, in order
    std::vector<std::string> calls;      // method names, in order
    std::string stream;                  // what DrvWritePrinter received
    std::vector<PDEVOBJ> writeDevices;
    LONG refs = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintCorePS2)) {
            *ppv = static_cast<IPrintCorePS2 *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

    HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) override
    {
        calls.push_back("DrvWritePrinter");
        writeDevices.push_back(pdevobj);
        if (FAILED(writeResult)) return writeResult;
        stream.append(static_cast<const char *>(pBuffer), cbSize);
        if (pdwResult != nullptr) *pdwResult = cbSize;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR request, DWORD cbIn, PSTR reply,
                                         DWORD cbSize, PDWORD needed) override
    {
        calls.push_back("GetOptions");
        std::vector<std::string> features = SplitList(request, cbIn);
        requested.insert(requested.end(), features.begin(), features.end());
        if (FAILED(getOptionsResult)) return getOptionsResult;
        std::vector<std::string> pairs;
        for (const std::string &f : features) {
            auto it = options.find(f);
            if (it == options.end()) continue;
            auto as = answerAs.find(f);
            pairs.push_back(as != answerAs.end() ? as->second : f);
            pairs.push_back(it->second);
        }
        if (pairs.empty()) return E_INVALIDARG;
        std::string out = MultiString(pairs);
        if (needed != nullptr) *needed = static_cast<DWORD>(out.size());
        if (out.size() > cbSize) return E_OUTOFMEMORY;
        std::memcpy(reply, out.data(), out.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ, DWORD, PCSTR attribute, PDWORD, PBYTE, DWORD,
                                                 PDWORD) override
    {
        calls.push_back(std::string("GetGlobalAttribute ") + attribute);
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ, DWORD, PCSTR feature, PCSTR attribute, PDWORD, PBYTE,
                                                  DWORD, PDWORD) override
    {
        calls.push_back(std::string("GetFeatureAttribute ") + feature + " " + attribute);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ, DWORD, PCSTR feature, PCSTR option, PCSTR attribute,
                                                 PDWORD, PBYTE, DWORD, PDWORD) override
    {
        calls.push_back(std::string("GetOptionAttribute ") + feature + " " + option + " " + attribute);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ, DWORD, PSTR list, DWORD size, PDWORD needed) override
    {
        calls.push_back("EnumFeatures");
        std::vector<std::string> names;
        for (const auto &o : options) names.push_back(o.first);
        return Answer(names, list, size, needed);
    }
    HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ, DWORD, PCSTR feature, PSTR list, DWORD size, PDWORD needed) override
    {
        calls.push_back(std::string("EnumOptions ") + feature);
        auto it = options.find(feature);
        if (it == options.end()) return E_INVALIDARG;
        return Answer({it->second, it->second + "2"}, list, size, needed);
    }

private:
    static HRESULT Answer(const std::vector<std::string> &strings, PSTR list, DWORD size, PDWORD needed)
    {
        std::string out = MultiString(strings);
        if (needed != nullptr) *needed = static_cast<DWORD>(out.size());
        if (list == nullptr || out.size() > size) return E_OUTOFMEMORY;
        std::memcpy(list, out.data(), out.size());
        return S_OK;
    }
};

// ---------------------------------------------------------------------------
// The host's own DDI functions: they record what reached them.
struct HostDdi {
    static inline std::vector<std::string> calls;
    static inline ULONG escapeAnswer = 0;
    static inline BOOL startAnswer = TRUE;

    static BOOL APIENTRY StartDoc(SURFOBJ *, LPWSTR name, DWORD job)
    {
        calls.push_back("DrvStartDoc " + Narrow(name) + " " + std::to_string(job));
        return startAnswer;
    }
    static BOOL APIENTRY EndDoc(SURFOBJ *, FLONG flags)
    {
        calls.push_back("DrvEndDoc " + std::to_string(flags));
        return TRUE;
    }
    static BOOL APIENTRY SendPage(SURFOBJ *)
    {
        calls.push_back("DrvSendPage");
        return TRUE;
    }
    static ULONG APIENTRY Escape(SURFOBJ *, ULONG code, ULONG, PVOID, ULONG, PVOID)
    {
        calls.push_back("DrvEscape " + std::to_string(code));
        return escapeAnswer;
    }

    // The host's table; OMIT leaves one index out.
    explicit HostDdi(ULONG omit = 0)
    {
        calls.clear();
        escapeAnswer = 0;
        startAnswer = TRUE;
        const DRVFN all[] = {
            {INDEX_DrvStartDoc, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&StartDoc))},
            {INDEX_DrvEndDoc, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&EndDoc))},
            {INDEX_DrvSendPage, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&SendPage))},
            {INDEX_DrvEscape, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&Escape))},
            // Another entry point the plug-in does not hook.
            {17, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&SendPage))},
        };
        for (const DRVFN &fn : all)
            if (fn.iFunc != omit) table[count++] = fn;
        data = {PRINTER_OEMINTF_VERSION, count, table};
    }

    DRVFN table[5] = {};
    ULONG count = 0;
    DRVENABLEDATA data = {};
};

// ---------------------------------------------------------------------------
// The module attached as a plug-in is, with printers of its own.
class RenderTest : public kvtest::AttachedModuleTest {
protected:
    void TearDown() override
    {
        printers_.CloseAll();
        AttachedModuleTest::TearDown();
    }

    // A printer with its driver's PPD, opened with full access.
    HANDLE AddPrinter(const std::string &name, const std::string &port = "LPT1:",
                      DWORD attributes = PRINTER_ATTRIBUTE_LOCAL, const std::string &ppd = PackagingPpd("KV1180.PPD"))
    {
        kvp::PrinterSpec spec;
        spec.name = name;
        spec.port = port;
        spec.attributes = attributes;
        spec.driverName = "KV Render Test " + name;
        spec.dataFile = ppd;
        return printers_.Add(spec);
    }

    static void SetData(HANDLE printer, const char *name, DWORD type, const void *data, DWORD size)
    {
        std::u16string n = U16(name);
        ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(printer, reinterpret_cast<LPWSTR>(&n[0]), type,
                                                 static_cast<LPBYTE>(const_cast<void *>(data)), size));
    }
    static void SetDword(HANDLE printer, const char *name, DWORD value)
    {
        SetData(printer, name, REG_DWORD, &value, sizeof(value));
    }
    static void SetText(HANDLE printer, const char *name, const std::string &text)
    {
        std::u16string value = U16(text);
        SetData(printer, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    }
    // OEMDisablePSFeatures: 0x1 print speed priority, 0x2 secure print function.
    static void SetSwitches(HANDLE printer, DWORD bits) { SetDword(printer, "OEMDisablePSFeatures", bits); }
    static void SetCapability(HANDLE printer, DWORD bits)
    {
        DWORD slots[4] = {bits, 0, 0, 0};
        SetData(printer, "OEMSupportCapability", REG_BINARY, slots, sizeof(slots));
    }

    kvtest::TestPrinters printers_;
};

// ---------------------------------------------------------------------------
// One device of a printer: the DEVOBJ the host hands the plug-in, with the
// document's DEVMODEW (public part, then this build's private record).
struct TestDevice {
    explicit TestDevice(HANDLE printer) : devmode(sizeof(DEVMODEW) + kPrivateDevmodeSize, 0)
    {
        DEVMODEW *dm = Public();
        dm->dmSize = sizeof(DEVMODEW);
        dm->dmDriverExtra = static_cast<WORD>(kPrivateDevmodeSize);
        dm->dmOrientation = DMORIENT_PORTRAIT;
        SetDevmodeDefaults(Record());
        devobj.dwSize = sizeof(DEVOBJ);
        devobj.hPrinter = printer;
        devobj.pPublicDM = dm;
        devobj.pOEMDM = Record();
        surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
    }
    TestDevice(const TestDevice &) = delete;
    TestDevice &operator=(const TestDevice &) = delete;

    DEVMODEW *Public() { return reinterpret_cast<DEVMODEW *>(devmode.data()); }
    PrivateDevmode *Record() { return reinterpret_cast<PrivateDevmode *>(devmode.data() + sizeof(DEVMODEW)); }
    OemPdev *Pdev() { return static_cast<OemPdev *>(devobj.pdevOEM); }
    DocumentInfo *Document() { return Pdev() != nullptr ? Pdev()->document : nullptr; }

    std::vector<BYTE> devmode;
    DEVOBJ devobj = {};
    SURFOBJ surface = {};
};

// ---------------------------------------------------------------------------
// The rendering system as the host holds it: created, asked for
// IPrintOemPS2 (unless told otherwise), handed the host's helper.
struct Plugin {
    explicit Plugin(IPrintCorePS2 *core, bool askPs2 = true)
    {
        system = PluginRenderingSystem::Create();
        void *asked = nullptr;
        system->QueryInterface(askPs2 ? IID_IPrintOemPS2 : IID_IPrintOemPS, &asked);
        ps2 = static_cast<IPrintOemPS2 *>(asked);
        system->Release();
        if (core != nullptr) ps2->PublishDriverInterface(core);
    }
    ~Plugin()
    {
        if (ps2 != nullptr) {
            ps2->DisableDriver();
            ps2->Release();
        }
    }
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    // EnablePDEV as the host calls it; the host keeps the answer in the
    // device.
    HRESULT Enable(TestDevice &device, HostDdi &host, DEVINFO *devInfo = nullptr)
    {
        GDIINFO gdi = {};
        DEVINFO local = {};
        DEVINFO *info = devInfo != nullptr ? devInfo : &local;
        PDEVOEM pdev = nullptr;
        HRESULT hr = ps2->EnablePDEV(&device.devobj, const_cast<PWSTR>(u"Test"), 0, nullptr, sizeof(gdi), &gdi,
                                     sizeof(*info), info, &host.data, &pdev);
        device.devobj.pdevOEM = pdev;
        return hr;
    }

    PluginRenderingSystem *system = nullptr;  // borrowed from ps2
    IPrintOemPS2 *ps2 = nullptr;
};

// A spooler job on PRINTER, as the host starts one before DrvStartDoc.
inline DWORD StartJob(HANDLE printer, const std::string &document)
{
    std::u16string name = U16(document);
    std::u16string type = u"RAW";
    DOC_INFO_1W info = {reinterpret_cast<LPWSTR>(&name[0]), nullptr, reinterpret_cast<LPWSTR>(&type[0])};
    return StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
}

// A serialized JobInfo built entry by entry, lies included.
struct SerializedJob {
    Bytes bytes;
    DWORD count = 0;

    static void Put(Bytes &out, DWORD value)
    {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
    }
    SerializedJob &Entry(DWORD id, DWORD kind, const Bytes &data)
    {
        Put(bytes, id);
        Put(bytes, kind);
        Put(bytes, static_cast<DWORD>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        ++count;
        return *this;
    }
    SerializedJob &Text(DWORD id, const std::string &text)
    {
        Bytes data(text.begin(), text.end());
        data.push_back(0);
        return Entry(id, JOBINFO_STRING, data);
    }
    // The whole form; COUNT and TOTAL replace the true values when given.
    Bytes Build(DWORD magic = kJobInfoMagic, DWORD version = 1, long long countClaim = -1,
                long long totalClaim = -1) const
    {
        Bytes out;
        Put(out, magic);
        Put(out, version);
        Put(out, countClaim >= 0 ? static_cast<DWORD>(countClaim) : count);
        Put(out, totalClaim >= 0 ? static_cast<DWORD>(totalClaim) : static_cast<DWORD>(bytes.size()));
        out.insert(out.end(), bytes.begin(), bytes.end());
        return out;
    }
};

// ---------------------------------------------------------------------------
// A rendering function that writes every call it gets into one shared log,
// and answers what a test tells it to.
struct CallLog {
    static inline std::vector<std::string> entries;
};

class RecordingFunction : public RenderingFunction {
public:
    explicit RecordingFunction(const std::string &name) : name_(name) {}

    // The answer to an operation by its name ("OnBeginJob", ...); S_OK when
    // not given.
    std::map<std::string, HRESULT> answers;

    HRESULT GetName(LPCSTR *name) override
    {
        *name = name_.c_str();
        return S_OK;
    }
    HRESULT Initialize(IRenderingSystem *services) override
    {
        Log("Initialize");
        HRESULT hr = RenderingFunction::Initialize(services);
        return FAILED(hr) ? hr : Answer("Initialize");
    }
    HRESULT Bind(IRenderingSystem *services) override
    {
        Log("Bind");
        HRESULT hr = RenderingFunction::Bind(services);
        return FAILED(hr) ? hr : Answer("Bind");
    }
    HRESULT Serialize() override { return Call("Serialize"); }
    HRESULT Deserialize(LPCVOID data, DWORD size) override
    {
        Log("Deserialize " + std::string(static_cast<const char *>(data), size));
        return Answer("Deserialize");
    }
    HRESULT OnStartDoc(LPCWSTR documentName, DWORD jobId) override
    {
        return Call("OnStartDoc " + Narrow(documentName) + " " + std::to_string(jobId), "OnStartDoc");
    }
    HRESULT OnEndDoc() override { return Call("OnEndDoc"); }
    HRESULT PreBeginStream() override { return Call("PreBeginStream"); }
    HRESULT PostEndJob() override { return Call("PostEndJob"); }
    HRESULT OnBeginStream() override { return Call("OnBeginStream"); }
    HRESULT OnEndJob() override { return Call("OnEndJob"); }
    HRESULT OnBeginJob() override { return Call("OnBeginJob"); }
    HRESULT OnEndStream() override { return Call("OnEndStream"); }
    HRESULT OnPSInject(DWORD index) override { return Call("OnPSInject " + std::to_string(index), "OnPSInject"); }

private:
    void Log(const std::string &what) { CallLog::entries.push_back(name_ + " " + what); }
    HRESULT Answer(const std::string &operation)
    {
        auto it = answers.find(operation);
        return it != answers.end() ? it->second : S_OK;
    }
    HRESULT Call(const std::string &what, const std::string &operation = std::string())
    {
        Log(what);
        return Answer(operation.empty() ? what : operation);
    }

    std::string name_;
};

// ---------------------------------------------------------------------------
// Services of a rendering system that a test controls: the version, the
// facts it hands out, and a record of what was written through it.
class FakeServices : public IRenderingSystem {
public:
    struct Property {
        std::string owner;
        std::string name;
        DWORD type;
        Bytes data;
    };

    LONG version = 2;
    HANDLE printer = reinterpret_cast<HANDLE>(0x10);
    PDEVMODEW devmode = nullptr;
    JobInfo *jobInfo = nullptr;
    PDEVOBJ device = nullptr;
    IPrintCorePS2 *core = nullptr;
    HRESULT propertyResult = S_OK;
    std::vector<Property> properties;
    std::string written;  // Write and WriteStream
    std::string spooled;  // WriteSpooler
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRenderingSystem)) {
            *ppv = static_cast<IRenderingSystem *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    LONG STDMETHODCALLTYPE GetVersion() override { return version; }
    HRESULT STDMETHODCALLTYPE GetDevObj(PDEVOBJ *out) override { return Give(out, device); }
    HRESULT STDMETHODCALLTYPE GetCoreHelper(IPrintCorePS2 **out) override
    {
        if (core != nullptr) core->AddRef();
        return Give(out, core);
    }
    HRESULT STDMETHODCALLTYPE GetPrinterHandle(HANDLE *out) override { return Give(out, printer); }
    HRESULT STDMETHODCALLTYPE GetPublicDevmode(PDEVMODEW *out) override { return Give(out, devmode); }
    HRESULT STDMETHODCALLTYPE GetJobInfo(JobInfo **out) override { return Give(out, jobInfo); }
    HRESULT STDMETHODCALLTYPE WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size,
                                            LPCVOID data) override
    {
        const BYTE *bytes = static_cast<const BYTE *>(data);
        properties.push_back({owner, name, type, Bytes(bytes, bytes + size)});
        CallLog::entries.push_back(std::string("WriteProperty ") + owner + " " + name);
        return propertyResult;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCVOID bytes, DWORD length) override { return WriteStream(bytes, length); }
    HRESULT STDMETHODCALLTYPE Reserved() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WriteSpooler(LPCVOID bytes, DWORD length) override
    {
        spooled.append(static_cast<const char *>(bytes), length);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteStream(LPCVOID bytes, DWORD length) override
    {
        written.append(static_cast<const char *>(bytes), length);
        return S_OK;
    }

private:
    template <typename T>
    static HRESULT Give(T *out, T value)
    {
        if (out == nullptr) return E_INVALIDARG;
        *out = value;
        return value != nullptr ? S_OK : E_FAIL;
    }
};

// ---------------------------------------------------------------------------
// One printer, one device, the host's DDI table and the plug-in, ready for
// EnablePDEV and the document's hooks.
class SessionTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        CallLog::entries.clear();
        core_.options = {{"%PagePerSheet", "1"}, {"%OutputFormat", "Speed"}, {"%CtrlDAfter", "False"},
                         {"PageSize", "A1"},    {"InputSlot", "Auto"},      {"MediaType", "Plain"}};
    }

    void TearDown() override
    {
        if (plugin_ != nullptr && device_ != nullptr && device_->Pdev() != nullptr)
            plugin_->ps2->DisablePDEV(&device_->devobj);
        plugin_.reset();
        if (job_ != 0) EndDocPrinter(printer_);
        job_ = 0;
        RenderTest::TearDown();
    }

    // The printer (print speed priority with SWITCHES 0x1), its device, the
    // host's table (without OMIT) and the plug-in.
    void Prepare(DWORD switches = 0, const std::string &port = "LPT1:", DWORD attributes = PRINTER_ATTRIBUTE_LOCAL,
                 ULONG omit = 0, bool askPs2 = true)
    {
        printer_ = AddPrinter(printerName_, port, attributes);
        SetSwitches(printer_, switches);
        device_ = std::make_unique<TestDevice>(printer_);
        host_ = std::make_unique<HostDdi>(omit);
        plugin_ = std::make_unique<Plugin>(&core_, askPs2);
    }

    HRESULT Enable() { return plugin_->Enable(*device_, *host_, &devInfo_); }

    // A spooler job, then the plug-in's document start hook.
    BOOL StartDoc(const std::string &name = "Drawing")
    {
        if (job_ != 0) EndDocPrinter(printer_);
        job_ = StartJob(printer_, name);
        std::u16string wide = U16(name);
        return OemStartDoc(&device_->surface, reinterpret_cast<LPWSTR>(&wide[0]), job_);
    }

    HRESULT Write(const std::string &bytes)
    {
        DWORD written = 0;
        return plugin_->ps2->WritePrinter(&device_->devobj, const_cast<char *>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()), &written);
    }

    HRESULT Command(DWORD index)
    {
        DWORD result = 0;
        return plugin_->ps2->Command(&device_->devobj, index, nullptr, 0, &result);
    }

    // A recording function in the device's container.
    RecordingFunction *Watch(const std::string &name, LONG kind = FUNCTION_KIND_DOCUMENT)
    {
        RecordingFunction *f = new RecordingFunction(name);
        OemPdev *pdev = device_->Pdev();
        EXPECT_TRUE(pdev != nullptr && pdev->container != nullptr);
        if (pdev == nullptr || pdev->container == nullptr) {
            delete f;
            return nullptr;
        }
        EXPECT_EQ(S_OK, pdev->container->AddFunction(kind, f));
        EXPECT_EQ(S_OK, f->Initialize(plugin_->system));
        CallLog::entries.clear();
        return f;
    }

    std::string Spooled() const { return job_ != 0 ? kvp::JobBytes(job_) : std::string(); }
    JobInfo *Job() { return device_->Document() != nullptr ? &device_->Document()->jobInfo : nullptr; }

    FakeCore core_;
    std::string printerName_ = "Session";
    HANDLE printer_ = nullptr;
    std::unique_ptr<TestDevice> device_;
    std::unique_ptr<HostDdi> host_;
    std::unique_ptr<Plugin> plugin_;
    DEVINFO devInfo_ = {};
    DWORD job_ = 0;
};

}  // namespace rendertest
