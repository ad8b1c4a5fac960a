// The object the host PostScript driver talks to while it renders a job
// (IPrintOemPS2), and the services it offers the rendering functions
// (IRenderingSystem).
//
// It decides whether a job may be printed at all, gathers the facts of each
// document into a DocumentInfo, holds back the host's output until the job
// header can go first, and turns the host's calls into events for the
// rendering functions.
//
// INVARIANT: the host calls one object for one device at a time; the
// current device is simply the last one any method was handed.
#pragma once

#include "bytebuffer.h"
#include "corehelperproxy.h"
#include "ddihook.h"
#include "jobinfo.h"
#include "kvcontract.h"
#include "renderingintf.h"
#include "renderingunknown.h"

// One device's document state: created at the first document start and
// kept across the documents of that device.
struct DocumentInfo {
    bool ended;   // the host ended the document: the next start rebuilds the functions
    bool direct;  // output goes straight to the spooler; collected while clear
    JobInfo jobInfo;
    ByteBuffer output;
};

// The collected output starts this big and is written to the spooler once
// it holds more than kFlushThreshold bytes (or at the first page end).
constexpr DWORD kOutputBufferInitial = 65536;
constexpr DWORD kFlushThreshold = 0x3FF000;

// GetInfo answers.
constexpr DWORD kPluginSignature = 0x4B424B44;

DocumentInfo *CreateDocumentInfo();
void FreeDocumentInfo(DocumentInfo *document);

// The rendering system without a host: version 0, no services.
class RenderingSystem : public RenderingUnknown, public IRenderingSystem {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return RenderingUnknown::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RenderingUnknown::Release(); }

    // The last operation of the main table: a function container served by
    // another module's DllGetClassObject, initialized with SERVICES (which
    // it holds one reference to).
    virtual HRESULT CreateContainerFromModule(HMODULE module, IFunctionContainer **container,
                                              IRenderingSystem *services);

    LONG STDMETHODCALLTYPE GetVersion() override { return servicesVersion_; }
    HRESULT STDMETHODCALLTYPE GetDevObj(PDEVOBJ *device) override;
    HRESULT STDMETHODCALLTYPE GetCoreHelper(IPrintCorePS2 **helper) override;
    HRESULT STDMETHODCALLTYPE GetPrinterHandle(HANDLE *printer) override;
    HRESULT STDMETHODCALLTYPE GetPublicDevmode(PDEVMODEW *devmode) override;
    HRESULT STDMETHODCALLTYPE GetJobInfo(JobInfo **info) override;

protected:
    explicit RenderingSystem(LONG servicesVersion) : servicesVersion_(servicesVersion) {}
    ~RenderingSystem() override = default;

    LONG servicesVersion_;
};

class PluginRenderingSystem : public RenderingSystem, public IPrintOemPS2 {
public:
    // A new object on the process heap with one reference; null when the
    // heap refuses.
    static PluginRenderingSystem *Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return RenderingUnknown::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RenderingUnknown::Release(); }

    // IRenderingSystem, for the current device.
    HRESULT STDMETHODCALLTYPE GetDevObj(PDEVOBJ *device) override;
    HRESULT STDMETHODCALLTYPE GetCoreHelper(IPrintCorePS2 **helper) override;
    HRESULT STDMETHODCALLTYPE GetPrinterHandle(HANDLE *printer) override;
    HRESULT STDMETHODCALLTYPE GetPublicDevmode(PDEVMODEW *devmode) override;
    HRESULT STDMETHODCALLTYPE GetJobInfo(JobInfo **info) override;
    HRESULT STDMETHODCALLTYPE WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size,
                                            LPCVOID data) override;
    HRESULT STDMETHODCALLTYPE Write(LPCVOID bytes, DWORD length) override;
    HRESULT STDMETHODCALLTYPE Reserved() override;
    HRESULT STDMETHODCALLTYPE WriteSpooler(LPCVOID bytes, DWORD length) override;
    HRESULT STDMETHODCALLTYPE WriteStream(LPCVOID bytes, DWORD length) override;

    // IPrintOemPS2.
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize, PDRVENABLEDATA pded) override;
    HRESULT STDMETHODCALLTYPE DisableDriver() override;
    HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                         HSURF *phsurfPatterns, ULONG cjGdiInfo, GDIINFO *pGdiInfo, ULONG cjDevInfo,
                                         DEVINFO *pDevInfo, DRVENABLEDATA *pded, PDEVOEM *pDevOem) override;
    HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) override;
    HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *pIUnknown) override;
    HRESULT STDMETHODCALLTYPE Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pData, DWORD cbSize,
                                      DWORD *pdwResult) override;
    HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, PDWORD pcbWritten) override;
    HRESULT STDMETHODCALLTYPE GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType, PVOID pBuf, DWORD cbBuffer,
                                                BOOL *pbAdjustmentDone) override;

    // The work behind the DDI hooks.
    // Document start: the core helper, the document's facts, the functions;
    // RF_STARTDOC when output is direct. False makes the host's document
    // fail.
    BOOL StartDocument(PDEVOBJ device, LPCWSTR documentName, DWORD jobId);
    // Document end: RF_ENDDOC, and the document is marked ended when the
    // functions took it.
    BOOL EndDocument(PDEVOBJ device);
    // Page end: the first one releases the collected output (unless print
    // speed priority sends everything straight away).
    void EndPage(PDEVOBJ device);
    // Sends the job header and the collected output to the spooler; from
    // then on output is direct. Nothing once it is.
    void FlushOutput(PDEVOBJ device);

    // Whether the host asked for IPrintOemPS2: a host that did not gets no
    // events from Command.
    bool Ps2Requested() const { return ps2Requested_; }
    PDEVOBJ CurrentDevice() const { return currentDevice_; }
    IPrintCorePS2 *CoreHelper() const { return coreHelper_; }
    IUnknown *HostInterface() const { return hostInterface_; }

private:
    PluginRenderingSystem();
    ~PluginRenderingSystem() override;

    // Print speed priority of the device's printer.
    BOOL SpeedPriority(PDEVOBJ device);
    BOOL AttachCoreHelper(PDEVOBJ device);
    void GatherDocumentFacts(PDEVOBJ device, DocumentInfo *document, LPCWSTR documentName, DWORD jobId,
                             BOOL speedPriority);
    HRESULT Fire(OemPdev *pdev, DWORD id, PVOID argument = nullptr);

    IPrintCorePS2 *coreHelper_;  // our proxy; created at the first document start
    PDEVOBJ currentDevice_;
    IUnknown *hostInterface_;    // one reference held
    bool ps2Requested_;
};

#if KV_LINE_A
// The print permission check of EnablePDEV: a secure print job in print
// speed priority must be printable with the credentials configured for the
// printer. SECUREPRINT receives the job's secure print flag.
BOOL PermitPrinting(PDEVOBJ device, BOOL *securePrint, BOOL *speedPriority);
#endif
