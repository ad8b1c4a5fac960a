// The host driver's render half: the plug-in loaded and driven as the host
// drives it, and a PostScript document rendered through it into the
// spooler.
#include "kvhost/renderhost.h"

#include <cstring>

#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace kvhost {
namespace {

// Function addresses travel as the DDI's generic type.
template <typename Function>
PFN ToPfn(Function function)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(function));
}

template <typename Function>
Function FromPfn(PFN pfn)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(pfn));
}

bool StartsWith(const std::string &text, size_t at, const char *prefix)
{
    size_t n = std::strlen(prefix);
    return text.compare(at, n, prefix) == 0;
}

struct Line {
    size_t start;
    size_t end;  // after its line end
};

// Lines end with LF, CR LF or a lone CR.
std::vector<Line> SplitLines(const std::string &text)
{
    std::vector<Line> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            size_t end = i + 1;
            if (c == '\r' && end < text.size() && text[end] == '\n') ++end;
            lines.push_back({start, end});
            start = end;
            i = end;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back({start, text.size()});
    return lines;
}

struct PageMarks {
    size_t start;
    size_t setupBegin = std::string::npos;  // just after the "%%BeginPageSetup" line
    size_t setupEnd = std::string::npos;    // at the "%%EndPageSetup" line
};

void AddWrite(std::vector<PsStep> *steps, const std::string &document, size_t from, size_t to)
{
    if (to > from) steps->push_back({PsStep::Write, 0, document.substr(from, to - from)});
}

}  // namespace

std::vector<PsStep> SplitPostScript(const std::string &document)
{
    std::vector<Line> lines = SplitLines(document);
    std::vector<PageMarks> pages;
    size_t trailer = std::string::npos;
    int embedded = 0;
    for (const Line &line : lines) {
        // An embedded document's comments are its own, not the job's.
        if (StartsWith(document, line.start, "%%BeginDocument")) {
            ++embedded;
            continue;
        }
        if (StartsWith(document, line.start, "%%EndDocument")) {
            if (embedded > 0) --embedded;
            continue;
        }
        if (embedded > 0) continue;
        if (StartsWith(document, line.start, "%%Page:")) {
            pages.push_back({line.start});
            trailer = std::string::npos;
        } else if (StartsWith(document, line.start, "%%BeginPageSetup")) {
            if (!pages.empty() && pages.back().setupBegin == std::string::npos) pages.back().setupBegin = line.end;
        } else if (StartsWith(document, line.start, "%%EndPageSetup")) {
            if (!pages.empty() && pages.back().setupBegin != std::string::npos &&
                pages.back().setupEnd == std::string::npos)
                pages.back().setupEnd = line.start;
        } else if (StartsWith(document, line.start, "%%Trailer")) {
            if (trailer == std::string::npos) trailer = line.start;
        }
    }
    size_t bodyEnd = trailer != std::string::npos ? trailer : document.size();
    // A document without pages is one page.
    if (pages.empty()) pages.push_back({0});

    std::vector<PsStep> steps;
    steps.push_back({PsStep::Command, PSINJECT_BEGINSTREAM, std::string()});
    AddWrite(&steps, document, 0, pages.front().start);
    for (size_t p = 0; p < pages.size(); ++p) {
        const PageMarks &page = pages[p];
        size_t end = p + 1 < pages.size() ? pages[p + 1].start : bodyEnd;
        // The page's closing output starts at its last line that shows it.
        size_t closing = end;
        size_t after = page.setupEnd != std::string::npos ? page.setupEnd : page.start;
        for (const Line &line : lines) {
            if (line.start < after || line.start >= end) continue;
            if (document.substr(line.start, line.end - line.start).find("showpage") != std::string::npos)
                closing = line.start;
        }
        bool setup = page.setupBegin != std::string::npos && page.setupEnd != std::string::npos &&
                     page.setupEnd <= closing;
        if (setup) {
            AddWrite(&steps, document, page.start, page.setupBegin);
            steps.push_back({PsStep::Command, PSINJECT_BEGINPAGESETUP, std::string()});
            AddWrite(&steps, document, page.setupBegin, page.setupEnd);
            steps.push_back({PsStep::Command, PSINJECT_ENDPAGESETUP, std::string()});
            AddWrite(&steps, document, page.setupEnd, closing);
        } else {
            AddWrite(&steps, document, page.start, closing);
        }
        steps.push_back({PsStep::SendPage, 0, document.substr(closing, end - closing)});
    }
    AddWrite(&steps, document, bodyEnd, document.size());
    steps.push_back({PsStep::Command, PSINJECT_ENDSTREAM, std::string()});
    return steps;
}

DWORD PageLayoutOf(const std::string &pagesPerSheet)
{
    static const char *const kLayouts[] = {"1", "2", "4", "6", "9", "16", "Booklet"};
    for (DWORD i = 0; i < sizeof(kLayouts) / sizeof(kLayouts[0]); ++i)
        if (pagesPerSheet == kLayouts[i]) return i;
    return 0;
}

// ---------------------------------------------------------------------------
// RenderHost

RenderHost::RenderHost() { core_.SetStream(this); }

RenderHost::~RenderHost()
{
    if (plugin_ != nullptr) {
        if (docStarted_) EndDoc();
        if (enabled_) DisablePDEV();
        if (driverEnabled_) DisableDriver();
    }
    Unload();
    if (printer_ != nullptr) ClosePrinter(printer_);
}

bool RenderHost::Load(const std::string &modulePath, std::string *error, bool askPs2)
{
    auto fail = [&](const std::string &why) {
        if (error != nullptr) *error = why;
        Unload();
        return false;
    };
    Unload();
    std::u16string path = ToUtf16(modulePath);
    module_ = LoadLibraryW(reinterpret_cast<LPCWSTR>(path.c_str()));
    if (module_ == nullptr) return fail("LoadLibraryW(" + modulePath + ") failed, error " + std::to_string(GetLastError()));
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectProc)(REFCLSID, REFIID, LPVOID *);
    FARPROC address = GetProcAddress(module_, "DllGetClassObject");
    if (address == nullptr) return fail("no DllGetClassObject");
    auto getClassObject = reinterpret_cast<GetClassObjectProc>(reinterpret_cast<void (*)()>(address));
    void *factoryPointer = nullptr;
    HRESULT hr = getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &factoryPointer);
    if (FAILED(hr) || factoryPointer == nullptr) return fail("DllGetClassObject failed");
    IClassFactory *factory = static_cast<IClassFactory *>(factoryPointer);
    void *unknownPointer = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, &unknownPointer);
    factory->Release();
    if (FAILED(hr) || unknownPointer == nullptr) return fail("CreateInstance failed");
    IUnknown *unknown = static_cast<IUnknown *>(unknownPointer);
    void *pluginPointer = nullptr;
    hr = unknown->QueryInterface(askPs2 ? IID_IPrintOemPS2 : IID_IPrintOemPS, &pluginPointer);
    unknown->Release();
    if (FAILED(hr) || pluginPointer == nullptr) return fail("QueryInterface(IPrintOemPS) failed");
    // Both tables begin alike; without IPrintOemPS2 only its first part is
    // ever called.
    plugin_ = static_cast<IPrintOemPS2 *>(pluginPointer);
    askedPs2_ = askPs2;
    DWORD signature = 0;
    DWORD needed = 0;
    if (FAILED(plugin_->GetInfo(OEMGI_GETSIGNATURE, &signature, sizeof(signature), &needed)))
        return fail("GetInfo(OEMGI_GETSIGNATURE) failed");
    if (FAILED(plugin_->PublishDriverInterface(static_cast<IPrintCorePS2 *>(&core_))))
        return fail("PublishDriverInterface failed");
    return true;
}

void RenderHost::ReleasePlugin()
{
    if (plugin_ != nullptr) {
        plugin_->Release();
        plugin_ = nullptr;
    }
    driverEnabled_ = false;
    enabled_ = false;
}

void RenderHost::Unload()
{
    ReleasePlugin();
    if (module_ != nullptr) {
        FreeLibrary(module_);
        module_ = nullptr;
    }
    driverEnabled_ = false;
    enabled_ = false;
}

HRESULT RenderHost::EnableDriver()
{
    if (plugin_ == nullptr) return E_FAIL;
    pluginHooks_ = {};
    HRESULT hr = plugin_->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(pluginHooks_), &pluginHooks_);
    driverEnabled_ = SUCCEEDED(hr);
    Note("EnableDriver", 0, hr);
    return hr;
}

HRESULT RenderHost::DisableDriver()
{
    if (plugin_ == nullptr) return E_FAIL;
    HRESULT hr = plugin_->DisableDriver();
    driverEnabled_ = false;
    Note("DisableDriver", 0, hr);
    return hr;
}

bool RenderHost::UsePrinter(const std::string &printerName)
{
    if (printer_ != nullptr) ClosePrinter(printer_);
    printer_ = nullptr;
    printerName_ = ToUtf16(printerName);
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    std::u16string name = printerName_;
    if (!OpenPrinterW(reinterpret_cast<LPWSTR>(&name[0]), &printer_, &defaults)) {
        printer_ = nullptr;
        return false;
    }
    return true;
}

HRESULT RenderHost::EnableDevice(HostDevice *device, DevmodeImage *devmode)
{
    device->devobj = {};
    device->devobj.dwSize = sizeof(DEVOBJ);
    device->devobj.hEngine = static_cast<HANDLE>(this);
    device->devobj.hPrinter = printer_;
    device->devobj.hOEM = module_;
    device->devobj.pPublicDM = devmode != nullptr ? devmode->Public() : nullptr;
    device->devobj.pOEMDM = devmode != nullptr ? devmode->PluginRecord() : nullptr;
    device->host = this;
    device->surface = {};
    device->surface.dhpdev = reinterpret_cast<DHPDEV>(&device->devobj);

    const DRVFN all[4] = {
        {INDEX_DrvStartDoc, ToPfn(&RenderHost::HostDrvStartDoc)},
        {INDEX_DrvEndDoc, ToPfn(&RenderHost::HostDrvEndDoc)},
        {INDEX_DrvSendPage, ToPfn(&RenderHost::HostDrvSendPage)},
        {INDEX_DrvEscape, ToPfn(&RenderHost::HostDrvEscape)},
    };
    ULONG count = 0;
    for (const DRVFN &fn : all)
        if (fn.iFunc != omitted_) hostFunctions_[count++] = fn;
    hostData_ = {PRINTER_OEMINTF_VERSION, count, hostFunctions_};

    gdiInfo_ = {};
    gdiInfo_.ulVersion = 0x5000;
    gdiInfo_.ulLogPixelsX = 600;
    gdiInfo_.ulLogPixelsY = 600;
    devInfo_ = {};
    PDEVOEM pdevOem = nullptr;
    std::u16string name = printerName_;
    HRESULT hr = plugin_->EnablePDEV(&device->devobj, reinterpret_cast<PWSTR>(&name[0]), 0, nullptr, sizeof(gdiInfo_),
                                     &gdiInfo_, sizeof(devInfo_), &devInfo_, &hostData_, &pdevOem);
    if (SUCCEEDED(hr)) device->devobj.pdevOEM = pdevOem;
    Note("EnablePDEV", devInfo_.flGraphicsCaps, hr);
    return hr;
}

HRESULT RenderHost::EnablePDEV(DevmodeImage *devmode)
{
    if (plugin_ == nullptr) return E_FAIL;
    devices_.push_back(std::make_unique<HostDevice>());
    HostDevice *device = devices_.back().get();
    HRESULT hr = EnableDevice(device, devmode);
    if (FAILED(hr)) return hr;
    device_ = device;
    enabled_ = true;
    // The host asks once whether the plug-in takes its output.
    pluginWrites_ = askedPs2_ && plugin_->WritePrinter(nullptr, nullptr, 0, nullptr) == S_OK;
    return hr;
}

HRESULT RenderHost::DisablePDEV()
{
    if (plugin_ == nullptr || device_ == nullptr || !enabled_) return E_FAIL;
    HRESULT hr = plugin_->DisablePDEV(&device_->devobj);
    enabled_ = false;
    Note("DisablePDEV", 0, hr);
    return hr;
}

HRESULT RenderHost::ResetPDEV(DevmodeImage *devmode)
{
    if (plugin_ == nullptr || device_ == nullptr || !enabled_) return E_FAIL;
    devices_.push_back(std::make_unique<HostDevice>());
    HostDevice *fresh = devices_.back().get();
    HRESULT hr = EnableDevice(fresh, devmode);
    if (FAILED(hr)) return hr;
    hr = plugin_->ResetPDEV(&device_->devobj, &fresh->devobj);
    Note("ResetPDEV", 0, hr);
    plugin_->DisablePDEV(&device_->devobj);
    device_ = fresh;
    return hr;
}

PFN RenderHost::PluginHook(ULONG index) const
{
    if (pluginHooks_.pdrvfn == nullptr) return nullptr;
    for (ULONG i = 0; i < pluginHooks_.c; ++i)
        if (pluginHooks_.pdrvfn[i].iFunc == index) return pluginHooks_.pdrvfn[i].pfn;
    return nullptr;
}

BOOL RenderHost::StartDoc(const std::string &documentName)
{
    if (device_ == nullptr || printer_ == nullptr) return FALSE;
    std::u16string name = ToUtf16(documentName);
    std::u16string datatype = u"RAW";
    DOC_INFO_1W info = {reinterpret_cast<LPWSTR>(&name[0]), nullptr, reinterpret_cast<LPWSTR>(&datatype[0])};
    jobId_ = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
    if (jobId_ == 0) return FALSE;
    docStarted_ = true;
    PFN hook = PluginHook(INDEX_DrvStartDoc);
    auto start = hook != nullptr ? FromPfn<PFN_DrvStartDoc>(hook) : &RenderHost::HostDrvStartDoc;
    BOOL ok = start(&device_->surface, reinterpret_cast<LPWSTR>(&name[0]), jobId_);
    if (!ok) {
        // A document that never started is not ended through the DDI; its
        // spooler job is closed as it is.
        EndDocPrinter(printer_);
        docStarted_ = false;
    }
    return ok;
}

HRESULT RenderHost::Command(DWORD index)
{
    if (plugin_ == nullptr || device_ == nullptr) return E_FAIL;
    size_t event = Note("Command", index);
    DWORD result = 0;
    HRESULT hr = plugin_->Command(&device_->devobj, index, nullptr, 0, &result);
    Done(event, hr);
    return hr;
}

HRESULT RenderHost::Pass(const BYTE *bytes, size_t size)
{
    if (recordEvents_) hostStream_.append(reinterpret_cast<const char *>(bytes), size);
    size_t at = 0;
    while (at < size) {
        DWORD chunk = static_cast<DWORD>(size - at < chunkSize_ ? size - at : chunkSize_);
        size_t event = Note("Write", chunk);
        DWORD written = 0;
        HRESULT hr = S_OK;
        if (pluginWrites_) {
            hr = plugin_->WritePrinter(&device_->devobj, const_cast<BYTE *>(bytes + at), chunk, &written);
        } else if (!::WritePrinter(printer_, const_cast<BYTE *>(bytes + at), chunk, &written)) {
            hr = HRESULT_FROM_WIN32(GetLastError());
        }
        Done(event, hr);
        if (FAILED(hr)) return hr;
        at += chunk;
    }
    return S_OK;
}

HRESULT RenderHost::Write(const void *bytes, size_t size)
{
    if (plugin_ == nullptr || device_ == nullptr) return E_FAIL;
    return Pass(static_cast<const BYTE *>(bytes), size);
}

HRESULT RenderHost::WriteStream(PDEVOBJ device, const BYTE *bytes, DWORD size, DWORD *written)
{
    size_t event = Note("DrvWritePrinter", size);
    HRESULT hr = device_ != nullptr && device == &device_->devobj ? Pass(bytes, size) : E_INVALIDARG;
    if (written != nullptr) *written = SUCCEEDED(hr) ? size : 0;
    Done(event, hr);
    return hr;
}

BOOL RenderHost::SendPage(const std::string &closing)
{
    if (device_ == nullptr) return FALSE;
    closing_ = closing;
    PFN hook = PluginHook(INDEX_DrvSendPage);
    auto send = hook != nullptr ? FromPfn<PFN_DrvSendPage>(hook) : &RenderHost::HostDrvSendPage;
    BOOL ok = send(&device_->surface);
    closing_.clear();
    return ok;
}

ULONG RenderHost::Escape(ULONG code, const void *input, ULONG inputSize, void *output, ULONG outputSize)
{
    if (device_ == nullptr) return 0;
    PFN hook = PluginHook(INDEX_DrvEscape);
    auto escape = hook != nullptr ? FromPfn<PFN_DrvEscape>(hook) : &RenderHost::HostDrvEscape;
    return escape(&device_->surface, code, inputSize, const_cast<void *>(input), outputSize, output);
}

BOOL RenderHost::EndDoc(FLONG flags)
{
    if (device_ == nullptr) return FALSE;
    PFN hook = PluginHook(INDEX_DrvEndDoc);
    auto end = hook != nullptr ? FromPfn<PFN_DrvEndDoc>(hook) : &RenderHost::HostDrvEndDoc;
    BOOL ok = end(&device_->surface, flags);
    if (docStarted_) EndDocPrinter(printer_);
    docStarted_ = false;
    return ok;
}

RenderHost *RenderHost::HostOf(SURFOBJ *pso)
{
    if (pso == nullptr || pso->dhpdev == nullptr) return nullptr;
    PDEVOBJ device = reinterpret_cast<PDEVOBJ>(pso->dhpdev);
    return static_cast<RenderHost *>(device->hEngine);
}

BOOL APIENTRY RenderHost::HostDrvStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId)
{
    RenderHost *host = HostOf(pso);
    if (host == nullptr) return FALSE;
    host->Note("DrvStartDoc", dwJobId, TRUE);
    return TRUE;
}

BOOL APIENTRY RenderHost::HostDrvEndDoc(SURFOBJ *pso, FLONG fl)
{
    RenderHost *host = HostOf(pso);
    if (host == nullptr) return FALSE;
    host->Note("DrvEndDoc", fl, TRUE);
    return TRUE;
}

BOOL APIENTRY RenderHost::HostDrvSendPage(SURFOBJ *pso)
{
    RenderHost *host = HostOf(pso);
    if (host == nullptr) return FALSE;
    size_t event = host->Note("DrvSendPage", static_cast<DWORD>(host->closing_.size()));
    // The page's closing output is the host's own, written as it ends the
    // page.
    std::string closing;
    closing.swap(host->closing_);
    HRESULT hr = closing.empty() ? S_OK : host->Pass(reinterpret_cast<const BYTE *>(closing.data()), closing.size());
    host->Done(event, hr);
    return SUCCEEDED(hr);
}

ULONG APIENTRY RenderHost::HostDrvEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    RenderHost *host = HostOf(pso);
    if (host == nullptr) return 0;
    host->Note("DrvEscape", iEsc, static_cast<HRESULT>(host->hostEscapeResult_));
    return host->hostEscapeResult_;
}

size_t RenderHost::Note(const std::string &what, DWORD value, HRESULT result)
{
    if (!recordEvents_) return static_cast<size_t>(-1);
    size_t spooled = SpooledSize();
    events_.push_back({what, value, result, spooled, spooled});
    return events_.size() - 1;
}

void RenderHost::Done(size_t event, HRESULT result)
{
    if (event >= events_.size()) return;
    events_[event].result = result;
    events_[event].spooledAfter = SpooledSize();
}

HRESULT RenderHost::CanUnloadNow()
{
    if (module_ == nullptr) return E_FAIL;
    typedef HRESULT(STDAPICALLTYPE * CanUnloadProc)();
    FARPROC address = GetProcAddress(module_, "DllCanUnloadNow");
    if (address == nullptr) return E_FAIL;
    return reinterpret_cast<CanUnloadProc>(reinterpret_cast<void (*)()>(address))();
}

size_t RenderHost::SpooledSize() const
{
    // The spooler's size of the job, without copying its bytes.
    kvp::JobSpec spec;
    if (jobId_ == 0 || !kvp::GetJobSpec(jobId_, &spec)) return 0;
    return spec.size;
}

std::string RenderHost::Spooled() const { return jobId_ != 0 ? kvp::JobBytes(jobId_) : std::string(); }

// ---------------------------------------------------------------------------
// The job runner

bool RunRenderJob(const RenderJob &job, RenderResult *result)
{
    RenderResult local;
    RenderResult &r = result != nullptr ? *result : local;
    r = RenderResult();

    kvp::PrinterSpec spec;
    if (!kvp::GetPrinterSpec(job.printerName, &spec)) {
        r.error = "no printer " + job.printerName;
        return false;
    }
    // What the device refers to outlives the host below.
    PpdModel model;
    const OptionState *options = job.options;
    std::unique_ptr<OptionState> defaults;
    if (options == nullptr) {
        std::string why;
        if (!model.Load(spec.dataFile, &why)) {
            r.error = "cannot read the PPD " + spec.dataFile + ": " + why;
            return false;
        }
        model.AddHostFeatures();
        defaults = std::make_unique<OptionState>(model);
        options = defaults.get();
    }
    DevmodeImage devmode = job.devmode;

    RenderHost host;
    host.SetChunkSize(job.chunkSize);
    host.SetRecordEvents(job.recordEvents);
    host.SetOptionState(options);
    auto finish = [&](bool ok, const std::string &why) {
        if (!why.empty()) r.error = why;
        r.jobId = host.JobId();
        r.spooled = host.Spooled();
        r.hostStream = host.HostStream();
        r.events = host.Events();
        return ok;
    };

    std::string modulePath = job.modulePath.empty() ? spec.driverPath : job.modulePath;
    std::string why;
    if (!host.Load(modulePath, &why, job.askPs2)) return finish(false, why);
    r.loaded = true;
    if (FAILED(host.EnableDriver())) return finish(false, "EnableDriver failed");
    if (!host.UsePrinter(job.printerName)) return finish(false, "OpenPrinterW failed");
    if (devmode.Empty()) {
        HRESULT hr = devmode.Build(host.Plugin(), host.Printer(), ToUtf16(job.printerName));
        if (FAILED(hr)) return finish(false, "the plug-in's DevMode failed");
    }
    devmode.SetPageLayout(PageLayoutOf(options->Get("%PagePerSheet")));

    r.enablePdev = host.EnablePDEV(&devmode);
    r.graphicsCaps = host.DevInfo().flGraphicsCaps;
    if (FAILED(r.enablePdev)) return finish(false, "EnablePDEV refused the job");
    r.startDoc = host.StartDoc(job.documentName);
    if (!r.startDoc) {
        host.DisablePDEV();
        host.DisableDriver();
        return finish(false, "the document start failed");
    }
    for (const RenderJob::Escape &escape : job.escapes)
        host.Escape(escape.code, escape.input.data(), static_cast<ULONG>(escape.input.size()));

    for (const PsStep &step : SplitPostScript(job.postscript)) {
        switch (step.kind) {
        case PsStep::Write:
            host.Write(step.text);
            break;
        case PsStep::Command:
            r.commands.push_back(host.Command(step.index));
            break;
        case PsStep::SendPage:
            host.SendPage(step.text);
            break;
        }
    }
    r.endDoc = host.EndDoc();
    host.DisablePDEV();
    host.DisableDriver();
    return finish(true, std::string());
}

}  // namespace kvhost
