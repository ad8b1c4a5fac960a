// The host driver's render half, as far as the render plug-in sees it:
// loading the plug-in, the IPrintCorePS2 it publishes, the DDI entry points
// the plug-in hooks, the device (DEVOBJ with the printer and the document's
// DEVMODEW), the spooler job, the injection points, the output stream that
// passes through the plug-in's WritePrinter, and a job runner that renders a
// PostScript document through all of it.
//
// Everything is synchronous: a byte the plug-in writes back with
// DrvWritePrinter enters the host's stream at once and goes straight on to
// the plug-in's WritePrinter, as the host's own bytes do.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kvcontract.h"
#include "kvhost/devmodeimage.h"
#include "kvhost/ppdmodel.h"

namespace kvhost {

// ---------------------------------------------------------------------------
// A PostScript document as the host emits it: text between injection points.
struct PsStep {
    enum Kind {
        Write,     // TEXT enters the host's output stream
        Command,   // the plug-in's Command at injection point INDEX
        SendPage,  // the page ends: DrvSendPage, whose host part writes TEXT
    };
    Kind kind;
    DWORD index;
    std::string text;
};

// Splits DOCUMENT at its DSC boundaries (comments at the start of a line,
// outside embedded documents):
//   PSINJECT_BEGINSTREAM, the header up to the first "%%Page:";
//   per page: its text up to and including "%%BeginPageSetup",
//   PSINJECT_BEGINPAGESETUP, the page setup, PSINJECT_ENDPAGESETUP, the rest
//   of the page up to its closing part, and SendPage with the closing part
//   (from the last line of the page that shows the page, "showpage", on);
//   the trailer from "%%Trailer" on, then PSINJECT_ENDSTREAM.
// A page without "%%BeginPageSetup" has no page setup injection points; a
// document without "%%Page:" is one page.
std::vector<PsStep> SplitPostScript(const std::string &document);

// ---------------------------------------------------------------------------
// The host's IPrintCorePS2 (coreps.cpp). The object belongs to the host:
// Release never frees it.
class CorePS : public IPrintCorePS2 {
public:
    // One call as the plug-in made it: the method, the keywords it handed
    // in (lists split) and what the host answered.
    struct Call {
        std::string method;
        std::vector<std::string> keywords;
        HRESULT result;
    };
    // Where DrvWritePrinter's bytes go.
    class Stream {
    public:
        virtual HRESULT WriteStream(PDEVOBJ device, const BYTE *bytes, DWORD size, DWORD *written) = 0;

    protected:
        ~Stream() = default;
    };

    explicit CorePS(const OptionState *options = nullptr, Stream *stream = nullptr)
        : options_(options), stream_(stream)
    {
    }

    void SetOptionState(const OptionState *options) { options_ = options; }
    void SetStream(Stream *stream) { stream_ = stream; }
    // Answer every GetOptions with this result instead (S_OK: answer).
    void FailGetOptions(HRESULT result) { getOptionsFailure_ = result; }
    const std::vector<Call> &Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    LONG References() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                              DWORD *pdwResult) override;
    HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pmszFeaturesRequested, DWORD cbIn,
                                         PSTR pmszFeatureOptionBuf, DWORD cbSize, PDWORD pcbNeeded) override;
    // Attributes are not modelled: recorded, answered E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszAttribute,
                                                 PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                 PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                  PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                  DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                 PCSTR pszOptionKeyword, PCSTR pszAttribute, PDWORD pdwDataType,
                                                 PBYTE pbData, DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, PSTR pmszFeatureList, DWORD cbSize,
                                           PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                          PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded) override;

private:
    HRESULT Record(const char *method, std::vector<std::string> keywords, HRESULT result);

    const OptionState *options_;
    Stream *stream_;
    HRESULT getOptionsFailure_ = S_OK;
    LONG refs_ = 0;
    std::vector<Call> calls_;
};

// ---------------------------------------------------------------------------
// The host's render half for one printer and one device.
class RenderHost : private CorePS::Stream {
public:
    // One thing that happened at the host, in order: the host's own DDI
    // functions ("DrvStartDoc", "DrvEndDoc", "DrvSendPage", "DrvEscape"),
    // each host step ("Command", "Write" of a chunk into the plug-in,
    // "DrvWritePrinter"), with what the spooler's job held at that moment.
    struct Event {
        std::string what;
        DWORD value;           // injection index, escape code, byte count
        HRESULT result;
        size_t spooledBefore;  // the job's spooled bytes when it began
        size_t spooledAfter;   // ... and when it was done
    };

    RenderHost();
    // Takes down whatever is still up, in the host's order.
    ~RenderHost();
    RenderHost(const RenderHost &) = delete;
    RenderHost &operator=(const RenderHost &) = delete;

    // LoadLibraryW, DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory),
    // CreateInstance(IID_IUnknown), QueryInterface(IID_IPrintOemPS2) (or only
    // IID_IPrintOemPS when ASKPS2 is false, as an older host does),
    // GetInfo(OEMGI_GETSIGNATURE) and PublishDriverInterface(core helper).
    // False, with the failing step in *ERROR, leaves nothing loaded.
    bool Load(const std::string &modulePath, std::string *error = nullptr, bool askPs2 = true);
    void SetOptionState(const OptionState *options) { core_.SetOptionState(options); }
    HRESULT EnableDriver();
    // Opens PRINTERNAME for the device; false when the spooler refuses.
    bool UsePrinter(const std::string &printerName);
    // The device: DEVOBJ on the printer with DEVMODE's public DEVMODEW
    // (which must outlive the device), the host's GDIINFO and DEVINFO, the
    // host's DDI functions, then the WritePrinter probe.
    HRESULT EnablePDEV(DevmodeImage *devmode);
    // StartDocPrinterW, then DrvStartDoc through the plug-in's hook. When
    // the document does not start, its spooler job is closed as it is (and
    // stays in the spooler's list).
    BOOL StartDoc(const std::string &documentName);
    HRESULT Command(DWORD index);
    // Bytes of the host's output stream: through the plug-in's WritePrinter
    // in chunks (straight to the spooler when the plug-in has none).
    HRESULT Write(const void *bytes, size_t size);
    HRESULT Write(const std::string &text) { return Write(text.data(), text.size()); }
    // DrvSendPage through the plug-in's hook; the host's own part writes
    // CLOSING (the page's closing output) into the stream.
    BOOL SendPage(const std::string &closing = std::string());
    // DrvEscape through the plug-in's hook, as ExtEscape reaches it.
    ULONG Escape(ULONG code, const void *input, ULONG inputSize, void *output = nullptr, ULONG outputSize = 0);
    // DrvEndDoc through the plug-in's hook, then EndDocPrinter.
    BOOL EndDoc(FLONG flags = 0);
    HRESULT DisablePDEV();
    // A second device for the same printer and DEVMODE (EnablePDEV on it),
    // ResetPDEV(old, new), then DisablePDEV of the old one.
    HRESULT ResetPDEV(DevmodeImage *devmode);
    HRESULT DisableDriver();
    // Releases the plug-in; the module stays loaded.
    void ReleasePlugin();
    // Releases the plug-in and frees the module.
    void Unload();
    // The module's DllCanUnloadNow (E_FAIL without a module).
    HRESULT CanUnloadNow();

    // Chunk size of Write (at least 1).
    void SetChunkSize(DWORD size) { chunkSize_ = size != 0 ? size : 1; }
    // What the host's own DrvEscape answers.
    void SetHostEscapeResult(ULONG result) { hostEscapeResult_ = result; }
    // Leave one of the host's four DDI functions out of its table.
    void OmitHostFunction(ULONG index) { omitted_ = index; }
    // Keep the list of events and a copy of the host's stream (on by
    // default). Each event asks the spooler for the job's size and the copy
    // holds the whole stream: a long job measured for speed goes without.
    void SetRecordEvents(bool record) { recordEvents_ = record; }

    HMODULE Module() const { return module_; }
    IPrintOemPS2 *Plugin() const { return plugin_; }
    bool AskedPs2() const { return askedPs2_; }
    CorePS &Core() { return core_; }
    DEVOBJ *Device() { return enabled_ && device_ != nullptr ? &device_->devobj : nullptr; }
    const DEVINFO &DevInfo() const { return devInfo_; }
    HANDLE Printer() const { return printer_; }
    DWORD JobId() const { return jobId_; }
    // The bytes the job has in the spooler so far.
    std::string Spooled() const;
    // Every byte of the host's output stream, in order (the plug-in's
    // DrvWritePrinter bytes included).
    const std::string &HostStream() const { return hostStream_; }
    const std::vector<Event> &Events() const { return events_; }
    // The hooks the plug-in's EnableDriver returned.
    const DRVENABLEDATA &PluginHooks() const { return pluginHooks_; }

    // The host's own DDI functions (public for the plug-in's DRVFN calls).
    static BOOL APIENTRY HostDrvStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
    static BOOL APIENTRY HostDrvEndDoc(SURFOBJ *pso, FLONG fl);
    static BOOL APIENTRY HostDrvSendPage(SURFOBJ *pso);
    static ULONG APIENTRY HostDrvEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

private:
    struct HostDevice {
        DEVOBJ devobj;  // first: the surface's dhpdev points here
        RenderHost *host;
        SURFOBJ surface;
    };

    HRESULT WriteStream(PDEVOBJ device, const BYTE *bytes, DWORD size, DWORD *written) override;
    // Bytes into the plug-in's WritePrinter in chunks.
    HRESULT Pass(const BYTE *bytes, size_t size);
    HRESULT EnableDevice(HostDevice *device, DevmodeImage *devmode);
    PFN PluginHook(ULONG index) const;
    static RenderHost *HostOf(SURFOBJ *pso);
    // Appends an event and answers its index, so that its end can be noted.
    size_t Note(const std::string &what, DWORD value, HRESULT result = S_OK);
    void Done(size_t event, HRESULT result);
    size_t SpooledSize() const;

    HMODULE module_ = nullptr;
    IPrintOemPS2 *plugin_ = nullptr;  // an IPrintOemPS table when !askedPs2_
    bool askedPs2_ = false;
    bool driverEnabled_ = false;
    bool enabled_ = false;
    bool docStarted_ = false;
    bool pluginWrites_ = false;  // the WritePrinter probe said S_OK
    CorePS core_;
    HANDLE printer_ = nullptr;
    std::u16string printerName_;
    // Devices stay where they are until the host goes: the plug-in keeps
    // pointers to them.
    std::vector<std::unique_ptr<HostDevice>> devices_;
    HostDevice *device_ = nullptr;
    GDIINFO gdiInfo_ = {};
    DEVINFO devInfo_ = {};
    DRVFN hostFunctions_[4] = {};
    DRVENABLEDATA hostData_ = {};
    DRVENABLEDATA pluginHooks_ = {};
    DWORD jobId_ = 0;
    DWORD chunkSize_ = 4096;
    ULONG hostEscapeResult_ = 0;
    ULONG omitted_ = 0;
    bool recordEvents_ = true;
    std::string closing_;
    std::string hostStream_;
    std::vector<Event> events_;
};

// ---------------------------------------------------------------------------
// One document rendered through a printer's render plug-in.
struct RenderJob {
    std::string printerName;
    // The render plug-in; empty: the printer driver's (pDriverPath).
    std::string modulePath;
    // The document's DEVMODEW; empty: built by the plug-in's DevMode from
    // its defaults. The page layout number of its host part follows the
    // "%PagePerSheet" option.
    DevmodeImage devmode;
    // The document's options; null: the printer's PPD (pDataFile) with the
    // host's own features, at their defaults.
    const OptionState *options = nullptr;
    std::string documentName = "Untitled";
    std::string postscript;
    // Escapes sent right after the document started, as the UI plug-in
    // sends its private escape (each: code and input bytes).
    struct Escape {
        ULONG code;
        std::vector<BYTE> input;
    };
    std::vector<Escape> escapes;
    DWORD chunkSize = 4096;
    // An older host asks only for IPrintOemPS.
    bool askPs2 = true;
    // RenderResult::events and hostStream (see RenderHost::SetRecordEvents).
    bool recordEvents = true;
};

struct RenderResult {
    bool loaded = false;
    HRESULT enablePdev = E_FAIL;
    BOOL startDoc = FALSE;
    BOOL endDoc = FALSE;
    DWORD jobId = 0;
    DWORD graphicsCaps = 0;      // DEVINFO flGraphicsCaps after EnablePDEV
    std::vector<HRESULT> commands;  // each Command's answer, in order
    std::string spooled;         // what the spooler's job received
    std::string hostStream;      // the host's output stream
    std::vector<RenderHost::Event> events;
    std::string error;           // why the job stopped early
};

// Renders JOB: load, EnableDriver, EnablePDEV, StartDoc, the escapes, the
// document's steps, EndDoc, DisablePDEV, DisableDriver, unload. True when
// every stage ran (the plug-in's answers are in RESULT either way); a job
// the plug-in refuses (EnablePDEV, DrvStartDoc) ends there with false.
bool RunRenderJob(const RenderJob &job, RenderResult *result);

// The host part's page layout number for a "%PagePerSheet" option: 0 for
// one page per sheet, 1 to 5 for 2, 4, 6, 9 and 16, 6 for "Booklet".
DWORD PageLayoutOf(const std::string &pagesPerSheet);

}  // namespace kvhost
