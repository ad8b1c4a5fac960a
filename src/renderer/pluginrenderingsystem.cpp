// The rendering system object: the host's IPrintOemPS2, the services of the
// rendering functions, the document start and end, and the output held back
// until the job header can go first.
#include "pluginrenderingsystem.h"

#include <cstring>
#include <new>

#include "coremain.h"
#include "devmode.h"
#include "functioncontainer.h"
#include "memory.h"
#include "pdvalue.h"
#include "ppd.h"
#include "propertyhandler.h"
#include "spoolerinfo.h"
#include "text.h"

namespace {

inline constexpr CHAR kPagePerSheet[] = "%PagePerSheet";
inline constexpr CHAR kPageSize[] = "PageSize";
inline constexpr CHAR kInputSlot[] = "InputSlot";
inline constexpr CHAR kMediaType[] = "MediaType";
inline constexpr CHAR kCustomPageSize[] = "CustomPageSize";
inline constexpr CHAR kAutoSlot[] = "Auto";

// Reply sizes of the document start's option questions.
constexpr DWORD kPagePerSheetReply = 256;
constexpr DWORD kOptionReply = 64;

// The credentials configured for a printer, in characters with the NUL.
constexpr DWORD kCredentialChars = 256;
constexpr int kMinPinLength = 4;

// A document name as the document start hands it to the functions: 520
// bytes of UTF-16.
constexpr int kDocumentNameChars = 260;

inline constexpr WCHAR kFilePort[] = TEXT("FILE:");

OemPdev *PdevOf(PDEVOBJ device) { return device != nullptr ? static_cast<OemPdev *>(device->pdevOEM) : nullptr; }

DocumentInfo *DocumentOf(PDEVOBJ device)
{
    OemPdev *pdev = PdevOf(device);
    return pdev != nullptr ? pdev->document : nullptr;
}

bool SameText(LPCSTR a, LPCSTR b) { return std::strcmp(a, b) == 0; }

// What the spooler's failed write tells the host.
HRESULT SpoolerError(DWORD code)
{
    LONG c = static_cast<LONG>(code);
    if (c <= 0) return c;
    return static_cast<HRESULT>(0x80070000u + (code & 0xFFFF));
}

// Asks the core helper for the current option of FEATURE; REPLY (REPLYSIZE
// bytes) gets the host's answer. True when the host answered; *NAMED then
// tells whether the answer's first feature is FEATURE, and *OPTION points
// at its option.
bool AskHostOption(IPrintCorePS2 *helper, PDEVOBJ device, LPCSTR feature, LPSTR reply, DWORD replySize,
                   bool *named, LPCSTR *option)
{
    *named = false;
    *option = "";
    if (helper == nullptr) return false;
    CHAR request[32] = {};
    DWORD length = static_cast<DWORD>(std::strlen(feature));
    std::memcpy(request, feature, length);
    std::memset(reply, 0, replySize);
    DWORD needed = 0;
    if (FAILED(helper->GetOptions(device, 0, request, length + 2, reply, replySize, &needed))) return false;
    // Whatever the host wrote, the answer ends inside the reply.
    reply[replySize - 1] = '\0';
    DWORD first = static_cast<DWORD>(std::strlen(reply));
    if (first + 1 < replySize) *option = reply + first + 1;
    *named = SameText(reply, feature);
    return true;
}

// The document name of the job facts, for the functions (UTF-16).
void JobDocumentName(const JobInfo *info, WCHAR *name, int capacity)
{
    name[0] = 0;
#if KV_LINE_A
    LPCSTR ansi = GetJobInfoString(info, JobInfoFieldId::DocumentName);
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, name, capacity) <= 0) name[0] = 0;
#endif
}

}  // namespace

DocumentInfo *CreateDocumentInfo()
{
    PVOID block = nullptr;
    if (!MemAllocZero(&block, sizeof(DocumentInfo))) return nullptr;
    DocumentInfo *document = static_cast<DocumentInfo *>(block);
    document->ended = false;
    document->direct = false;
    InitJobInfo(&document->jobInfo);
    InitByteBuffer(&document->output, kOutputBufferInitial);
    return document;
}

void FreeDocumentInfo(DocumentInfo *document)
{
    if (document == nullptr) return;
    FreeByteBuffer(&document->output);
    MemFree(document);
}

#if KV_LINE_A
BOOL PermitPrinting(PDEVOBJ device, BOOL *securePrint, BOOL *speedPriority)
{
    const PrivateDevmode *record = device->pPublicDM != nullptr ? FindPrivateDevmode(device->pPublicDM) : nullptr;
    BOOL secure = record != nullptr && GetDevmodeFlag(DevmodeFieldId::SecurePrint, record) != 0;
    PrinterDataValues values(device->hPrinter);
    BOOL speed = values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY);
    *securePrint = secure;
    *speedPriority = speed;
    if (!speed || !secure) return TRUE;

    // Print speed priority keeps the UI plug-in out of the job, so the
    // per-user credentials never arrive: the job must be printable with the
    // ones configured for the printer.
    WCHAR user[kCredentialChars] = {};
    values.GetSecurePrintUserName(user, sizeof(user));
    user[kCredentialChars - 1] = 0;
    if (user[0] == 0) {
        KV_LOG(LOG_WARN, "Force dis-printing by PreConfig.\n");
        return FALSE;
    }
    WCHAR stored[kCredentialChars] = {};
    values.GetSecurePrintPIN(stored, sizeof(stored));
    stored[kCredentialChars - 1] = 0;
    WCHAR pin[kCredentialChars] = {};
    if (values.SupportsCapability(CAP_ENCODED_PIN)) {
        // A stored text that does not decode counts as no PIN at all.
        if (!DecodePin(stored, pin)) pin[0] = 0;
    } else {
        std::memcpy(pin, stored, sizeof(pin));
    }
    int pinLength = 0;
    while (pinLength < static_cast<int>(kCredentialChars) && pin[pinLength] != 0) ++pinLength;
    if (pinLength < kMinPinLength || !values.IsFeatureSwitchOn(SWITCH_SECURE_PRINT)) {
        KV_LOG(LOG_WARN, "Force dis-printing by SecurePrint.\n");
        return FALSE;
    }
    auto *info = static_cast<PRINTER_INFO_2W *>(ReadPrinterInfo(device->hPrinter, 2));
    if (info == nullptr) return FALSE;
    BOOL toFile = info->pPortName != nullptr && lstrcmpW(info->pPortName, kFilePort) == 0;
    MemFree(info);
    if (toFile) {
        KV_LOG(LOG_WARN, "Force dis-printing by use port.\n");
        return FALSE;
    }
    return TRUE;
}
#endif

// ---------------------------------------------------------------------------
// RenderingSystem

HRESULT STDMETHODCALLTYPE RenderingSystem::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IRenderingSystem)) {
        *ppv = static_cast<IRenderingSystem *>(this);
        AddRef();
        return S_OK;
    }
    return RenderingUnknown::QueryInterface(riid, ppv);
}

HRESULT RenderingSystem::CreateContainerFromModule(HMODULE module, IFunctionContainer **container,
                                                   IRenderingSystem *services)
{
    if (container == nullptr) return E_INVALIDARG;
    *container = nullptr;
    if (module == nullptr || services == nullptr) return E_INVALIDARG;
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectProc)(REFCLSID, REFIID, LPVOID *);
    FARPROC address = GetProcAddress(module, "DllGetClassObject");
    if (address == nullptr) return E_FAIL;
    // Through the generic function type, which converts to any other.
    auto getClassObject = reinterpret_cast<GetClassObjectProc>(reinterpret_cast<void (*)()>(address));
    void *factoryPointer = nullptr;
    HRESULT hr = getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &factoryPointer);
    if (FAILED(hr)) return hr;
    IClassFactory *factory = static_cast<IClassFactory *>(factoryPointer);
    void *created = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IFunctionContainer, &created);
    factory->Release();
    if (FAILED(hr)) return hr;
    IFunctionContainer *result = static_cast<IFunctionContainer *>(created);
    // The container's reference to its services, which it lets go of when
    // it is destroyed (also right below, when it refuses them).
    services->AddRef();
    hr = result->Initialize(services);
    if (FAILED(hr)) {
        result->Release();
        return hr;
    }
    *container = result;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RenderingSystem::GetDevObj(PDEVOBJ *device)
{
    if (device == nullptr) return E_INVALIDARG;
    *device = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RenderingSystem::GetCoreHelper(IPrintCorePS2 **helper)
{
    if (helper == nullptr) return E_INVALIDARG;
    *helper = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RenderingSystem::GetPrinterHandle(HANDLE *printer)
{
    if (printer == nullptr) return E_INVALIDARG;
    *printer = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RenderingSystem::GetPublicDevmode(PDEVMODEW *devmode)
{
    if (devmode == nullptr) return E_INVALIDARG;
    *devmode = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RenderingSystem::GetJobInfo(JobInfo **info)
{
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// PluginRenderingSystem: object and services

PluginRenderingSystem *PluginRenderingSystem::Create() { return new PluginRenderingSystem(); }

PluginRenderingSystem::PluginRenderingSystem()
    : RenderingSystem(kServicesVersionPlugin),
      coreHelper_(nullptr),
      currentDevice_(nullptr),
      hostInterface_(nullptr),
      ps2Requested_(false)
{
}

PluginRenderingSystem::~PluginRenderingSystem()
{
    if (coreHelper_ != nullptr) coreHelper_->Release();
    if (hostInterface_ != nullptr) hostInterface_->Release();
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IPrintOemPS2) || IsEqualIID(riid, IID_IPrintOemPS)) {
        // Only a host that knows the second version calls Command the way
        // the functions' events expect.
        if (IsEqualIID(riid, IID_IPrintOemPS2)) ps2Requested_ = true;
        *ppv = static_cast<IPrintOemPS2 *>(this);
        AddRef();
        return S_OK;
    }
    return RenderingSystem::QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetDevObj(PDEVOBJ *device)
{
    if (device == nullptr) return E_INVALIDARG;
    *device = currentDevice_;
    return currentDevice_ != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetCoreHelper(IPrintCorePS2 **helper)
{
    if (helper == nullptr) return E_INVALIDARG;
    *helper = coreHelper_;
    if (coreHelper_ == nullptr) return E_FAIL;
    coreHelper_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetPrinterHandle(HANDLE *printer)
{
    if (printer == nullptr) return E_INVALIDARG;
    *printer = currentDevice_ != nullptr ? currentDevice_->hPrinter : nullptr;
    return *printer != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetPublicDevmode(PDEVMODEW *devmode)
{
    if (devmode == nullptr) return E_INVALIDARG;
    *devmode = currentDevice_ != nullptr ? currentDevice_->pPublicDM : nullptr;
    return *devmode != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetJobInfo(JobInfo **info)
{
    if (info == nullptr) return E_INVALIDARG;
    DocumentInfo *document = DocumentOf(currentDevice_);
    *info = document != nullptr ? &document->jobInfo : nullptr;
    return *info != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size,
                                                              LPCVOID data)
{
    OemPdev *pdev = PdevOf(currentDevice_);
    if (pdev == nullptr || pdev->propertyHandler == nullptr) return E_FAIL;
    return pdev->propertyHandler->WriteProperty(owner, name, type, size, data);
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::Write(LPCVOID bytes, DWORD length)
{
    return WriteStream(bytes, length);
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::Reserved() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::WriteSpooler(LPCVOID bytes, DWORD length)
{
    if (currentDevice_ == nullptr || currentDevice_->hPrinter == nullptr) return E_FAIL;
    DWORD written = 0;
    if (!::WritePrinter(currentDevice_->hPrinter, const_cast<LPVOID>(bytes), length, &written)) return E_FAIL;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::WriteStream(LPCVOID bytes, DWORD length)
{
    if (coreHelper_ == nullptr || currentDevice_ == nullptr) return E_FAIL;
    DWORD written = 0;
    return coreHelper_->DrvWritePrinter(currentDevice_, const_cast<LPVOID>(bytes), length, &written);
}

// ---------------------------------------------------------------------------
// PluginRenderingSystem: IPrintOemPS2

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded)
{
    if (pcbNeeded == nullptr) return E_INVALIDARG;
    *pcbNeeded = sizeof(DWORD);
    if (pBuffer == nullptr || cbSize < sizeof(DWORD)) return E_FAIL;
    DWORD value = 0;
    switch (dwMode) {
    case OEMGI_GETSIGNATURE:
        value = kDevmodeSignature;
        break;
    case OEMGI_GETINTERFACEVERSION:
        value = PRINTER_OEMINTF_VERSION;
        break;
    case OEMGI_GETVERSION:
        value = kDevmodeVersion;
        break;
    default:
        return E_NOTIMPL;
    }
    std::memcpy(pBuffer, &value, sizeof(value));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam)
{
    if (pOemDMParam == nullptr) return E_INVALIDARG;
    PrinterDataValues values(pOemDMParam->hPrinter);
    auto *output = static_cast<PrivateDevmode *>(pOemDMParam->pOEMDMOut);
    auto *input = static_cast<const PrivateDevmode *>(pOemDMParam->pOEMDMIn);
    BOOL ok = FALSE;
    switch (dwMode) {
    case OEMDM_SIZE:
        ok = PrivateDevmodeSize(&pOemDMParam->cbBufSize);
        break;
    case OEMDM_DEFAULT:
        // The host's buffer must hold the whole record we asked for.
        if (output == nullptr || pOemDMParam->cbBufSize < kPrivateDevmodeSize) break;
        ok = SetDevmodeDefaults(output);
        if (ok && values.SupportsCapability(CAP_OUTPUT_CONTROL_DEFAULT_ON))
            SetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, output, 1);
        break;
    case OEMDM_CONVERT:
        ok = ConvertDevmode(output, input, pOemDMParam->cbBufSize, DevmodeInputSize(pOemDMParam));
        break;
    case OEMDM_MERGE:
        ok = MergeDevmode(output, input, pOemDMParam->cbBufSize);
        break;
    default:
        break;
    }
    return ok ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                                             PDRVENABLEDATA pded)
{
    // The host says how big its block is; a smaller one cannot take ours.
    if (pded == nullptr || cbSize < sizeof(DRVENABLEDATA)) return E_INVALIDARG;
    pded->iDriverVersion = PRINTER_OEMINTF_VERSION;
    pded->c = HOOK_COUNT;
    pded->pdrvfn = const_cast<DRVFN *>(kHookTable);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::DisableDriver()
{
    if (coreHelper_ != nullptr) {
        coreHelper_->Release();
        coreHelper_ = nullptr;
    }
    if (hostInterface_ != nullptr) {
        hostInterface_->Release();
        hostInterface_ = nullptr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                                           HSURF *phsurfPatterns, ULONG cjGdiInfo,
                                                           GDIINFO *pGdiInfo, ULONG cjDevInfo, DEVINFO *pDevInfo,
                                                           DRVENABLEDATA *pded, PDEVOEM *pDevOem)
{
    if (pdevobj == nullptr || pDevOem == nullptr) return E_INVALIDARG;
    currentDevice_ = pdevobj;
#if KV_LINE_A
    BOOL securePrint = FALSE;
    BOOL speedPriority = FALSE;
    if (!PermitPrinting(pdevobj, &securePrint, &speedPriority)) return E_FAIL;
#endif
    OemPdev *pdev = CreateOemPdev(pdevobj, pded);
    if (pdev == nullptr) {
        *pDevOem = nullptr;
        return E_FAIL;
    }
    pdev->renderingSystem = this;
#if KV_LINE_A
    // A secure print job rendered in the application's process lets the UI
    // plug-in hand over the per-user credentials with its escape.
    if (!speedPriority && securePrint && pDevInfo != nullptr && cjDevInfo >= sizeof(pDevInfo->flGraphicsCaps))
        pDevInfo->flGraphicsCaps |= GCAPS_DONTJOURNAL;
#endif
    *pDevOem = pdev;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::DisablePDEV(PDEVOBJ pdevobj)
{
    if (pdevobj == nullptr) return E_INVALIDARG;
    OemPdev *pdev = PdevOf(pdevobj);
    if (pdev != nullptr) {
        // The container owns the functions and destroys them with itself.
        if (pdev->container != nullptr) pdev->container->Release();
        FreeDocumentInfo(pdev->document);
        FreeOemPdev(pdev);
        pdevobj->pdevOEM = nullptr;
    }
    if (currentDevice_ == pdevobj) currentDevice_ = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew)
{
    if (pdevobjOld == nullptr || pdevobjNew == nullptr) return E_INVALIDARG;
    OemPdev *from = PdevOf(pdevobjOld);
    OemPdev *to = PdevOf(pdevobjNew);
    if (from == nullptr || to == nullptr) return E_FAIL;
    currentDevice_ = pdevobjNew;
    to->document = from->document;
    from->document = nullptr;
    if (from->container == nullptr) return S_OK;

    to->container = from->container;
    to->jclHandler = from->jclHandler;
    to->propertyHandler = from->propertyHandler;
    from->container = nullptr;
    from->jclHandler = nullptr;
    from->propertyHandler = nullptr;
    // The container holds one reference to its services. It now serves
    // this object, so it takes one of ours and gives back the one it held
    // to the old device's rendering system (which may well be us): adding
    // ours without giving that back would keep an object alive for good.
    IRenderingSystem *previous = from->renderingSystem;
    AddRef();
    HRESULT hr = to->container->Initialize(static_cast<IRenderingSystem *>(this));
    if (previous != nullptr) previous->Release();
    return SUCCEEDED(hr) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::PublishDriverInterface(IUnknown *pIUnknown)
{
    if (pIUnknown == nullptr) return E_INVALIDARG;
    pIUnknown->AddRef();
    // A second publication replaces the first; the first must not leak.
    if (hostInterface_ != nullptr) hostInterface_->Release();
    hostInterface_ = pIUnknown;
    return S_OK;
}

HRESULT PluginRenderingSystem::Fire(OemPdev *pdev, DWORD id, PVOID argument)
{
    if (pdev == nullptr || pdev->container == nullptr) return E_FAIL;
    return pdev->container->FireEvent(id, argument);
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pData, DWORD cbSize,
                                                        DWORD *pdwResult)
{
    if (pdevobj == nullptr || pdwResult == nullptr) return E_INVALIDARG;
    if (!ps2Requested_) return S_OK;
    currentDevice_ = pdevobj;
    OemPdev *pdev = PdevOf(pdevobj);
    if (pdev == nullptr || pdev->container == nullptr) return E_FAIL;

    // Every event of an injection point is fired even when one before it
    // failed: a function that failed is already left out by the container,
    // and the others (the job trailer among them) still need theirs. The
    // host hears of the first failure.
    HRESULT first = S_OK;
    auto fire = [&](DWORD id, PVOID argument) {
        HRESULT hr = Fire(pdev, id, argument);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    PSInjectEvent inject = {dwIndex};
    switch (dwIndex) {
    case PSINJECT_BEGINSTREAM:
        if (pdev->document == nullptr) return E_FAIL;
        if (SpeedPriority(pdevobj)) {
            fire(RF_BEGINSTREAM, nullptr);
            fire(RF_BEGINJOB, nullptr);
        }
        fire(RF_PSINJECT, &inject);
        break;
    case PSINJECT_ENDSTREAM:
        fire(RF_PSINJECT, &inject);
        fire(RF_ENDSTREAM, nullptr);
        fire(RF_ENDJOB, nullptr);
        break;
    default:
        fire(RF_PSINJECT, &inject);
        break;
    }
    return first;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer,
                                                             PDWORD pcbWritten)
{
    // The host's probe (no device, no bytes) and empty writes.
    if (pdevobj == nullptr || pBuf == nullptr || cbBuffer == 0) return S_OK;
    currentDevice_ = pdevobj;
    DocumentInfo *document = DocumentOf(pdevobj);
    if (document == nullptr || document->direct) {
        DWORD written = 0;
        BOOL ok = ::WritePrinter(pdevobj->hPrinter, pBuf, cbBuffer, &written);
        if (pcbWritten != nullptr) *pcbWritten = written;
        return ok ? S_OK : SpoolerError(GetLastError());
    }
    if (!AppendBytes(&document->output, pBuf, cbBuffer)) {
        if (pcbWritten != nullptr) *pcbWritten = 0;
        return E_OUTOFMEMORY;
    }
    if (pcbWritten != nullptr) *pcbWritten = cbBuffer;
    if (document->output.length > kFlushThreshold) FlushOutput(pdevobj);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PluginRenderingSystem::GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType, PVOID pBuf,
                                                                  DWORD cbBuffer, BOOL *pbAdjustmentDone)
{
    if (pbAdjustmentDone != nullptr) *pbAdjustmentDone = FALSE;
    return S_OK;
}

// ---------------------------------------------------------------------------
// PluginRenderingSystem: documents and output

BOOL PluginRenderingSystem::SpeedPriority(PDEVOBJ device)
{
    PrinterDataValues values(device->hPrinter);
    return values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY);
}

BOOL PluginRenderingSystem::AttachCoreHelper(PDEVOBJ device)
{
    if (coreHelper_ != nullptr) return TRUE;
    if (hostInterface_ == nullptr) return FALSE;
    void *asked = nullptr;
    if (FAILED(hostInterface_->QueryInterface(IID_IPrintCorePS2, &asked)) || asked == nullptr) return FALSE;
    IPrintCorePS2 *host = static_cast<IPrintCorePS2 *>(asked);
    CHAR prefix[2] = {};
    GetKeywordPrefix(prefix, device->hPrinter);
    // Without the PPD's name there is no prefix to translate to; sending
    // our keywords as they are is the only sound choice then.
    BOOL known = prefix[0] != '\0' && prefix[1] != '\0';
    BOOL translate = known && !(prefix[0] == kSystemKeywordPrefix[0] && prefix[1] == kSystemKeywordPrefix[1]);
    CoreHelperProxy *proxy = CoreHelperProxy::Create(host, prefix, translate);
    host->Release();
    // Without the proxy the document goes on without a core helper.
    coreHelper_ = proxy;
    return TRUE;
}

void PluginRenderingSystem::GatherDocumentFacts(PDEVOBJ device, DocumentInfo *document, LPCWSTR documentName,
                                                DWORD jobId, BOOL speedPriority)
{
    JobInfo *info = &document->jobInfo;
    bool named = false;
    LPCSTR option = nullptr;

    CHAR pages[kPagePerSheetReply];
    if (AskHostOption(coreHelper_, device, kPagePerSheet, pages, sizeof(pages), &named, &option) && named)
        SetJobInfoShort(info, JobInfoFieldId::PagesPerSheet,
                        static_cast<SHORT>(PagesPerSheetOf(option, device->hPrinter)));
#if KV_LINE_A
    if (GetJobInfoString(info, JobInfoFieldId::DocumentName)[0] == '\0')
        SetJobInfoWideString(info, JobInfoFieldId::DocumentName, documentName);
#endif

    CHAR reply[kOptionReply];
    if (AskHostOption(coreHelper_, device, kPageSize, reply, sizeof(reply), &named, &option) && named) {
        SetJobInfoString(info, JobInfoFieldId::PageSize, option);
        SHORT flags = GetJobInfoShort(info, JobInfoFieldId::Flags);
        if (SameText(option, kCustomPageSize)) flags = static_cast<SHORT>(flags | kJobFlagCustomPageSize);
        SetJobInfoShort(info, JobInfoFieldId::Flags, flags);
    }
    if (AskHostOption(coreHelper_, device, kInputSlot, reply, sizeof(reply), &named, &option))
        SetJobInfoString(info, JobInfoFieldId::InputSlot, named ? option : kAutoSlot);
    if (AskHostOption(coreHelper_, device, kMediaType, reply, sizeof(reply), &named, &option) && named)
        SetJobInfoString(info, JobInfoFieldId::MediaType, option);

#if KV_LINE_A
    if (auto *printer = static_cast<PRINTER_INFO_5W *>(ReadPrinterInfo(device->hPrinter, 5))) {
        if (printer->pPortName != nullptr) SetJobInfoWideString(info, JobInfoFieldId::PortName, printer->pPortName);
        if (printer->pPrinterName != nullptr)
            SetJobInfoWideString(info, JobInfoFieldId::PrinterName, printer->pPrinterName);
        MemFree(printer);
    }
    if (auto *job = static_cast<JOB_INFO_2W *>(ReadJobInfo2(device->hPrinter, jobId))) {
        if (job->pDocument != nullptr) SetJobInfoWideString(info, JobInfoFieldId::DocumentName, job->pDocument);
        MemFree(job);
    }
#endif
    SetJobInfoLong(info, JobInfoFieldId::JobId, static_cast<LONG>(jobId));

#if KV_LINE_A
    if (speedPriority) {
        PrinterDataValues values(device->hPrinter);
        WCHAR text[kCredentialChars] = {};
        if (values.GetSecurePrintUserName(text, sizeof(text))) {
            text[kCredentialChars - 1] = 0;
            SetJobInfoWideString(info, JobInfoFieldId::UserName, text);
        }
        std::memset(text, 0, sizeof(text));
        if (values.GetSecurePrintPIN(text, sizeof(text))) {
            text[kCredentialChars - 1] = 0;
            SetJobInfoWideString(info, JobInfoFieldId::Pin, text);
        }
    }
#endif
}

BOOL PluginRenderingSystem::StartDocument(PDEVOBJ device, LPCWSTR documentName, DWORD jobId)
{
    OemPdev *pdev = PdevOf(device);
    if (pdev == nullptr) return FALSE;
    currentDevice_ = device;
    if (!AttachCoreHelper(device)) return FALSE;

    BOOL speedPriority = SpeedPriority(device);
    bool hasDocument = documentName != nullptr && jobId != 0;
    if (hasDocument) {
        if (pdev->document == nullptr) {
            pdev->document = CreateDocumentInfo();
            if (pdev->document == nullptr) {
                KV_LOG(LOG_ERROR, "Cannot create the DocumentInfo.");
                return FALSE;
            }
            if (speedPriority) pdev->document->direct = true;
        }
        GatherDocumentFacts(device, pdev->document, documentName, jobId, speedPriority);
    }

    DocumentInfo *document = pdev->document;
    if (document != nullptr && document->ended) {
        if (pdev->container != nullptr) pdev->container->Release();
        pdev->container = nullptr;
        pdev->jclHandler = nullptr;
        pdev->propertyHandler = nullptr;
        document->ended = false;
        if (!speedPriority) document->direct = false;
        // Whatever an ended document left uncollected belongs to its own
        // job, never to the next one.
        EmptyByteBuffer(&document->output);
    }

    if (pdev->container == nullptr) {
        HRESULT hr = CreateFunctionContainer(static_cast<IRenderingSystem *>(this), &pdev->container,
                                             &pdev->jclHandler, &pdev->propertyHandler);
        if (FAILED(hr)) {
            pdev->container = nullptr;
            KV_LOG(LOG_ERROR, "cannot create the Function, StartDoc failed.\n");
            return FALSE;
        }
    }

    if (hasDocument && document->direct) {
        StartDocEvent start = {documentName, jobId};
        if (FAILED(Fire(pdev, RF_STARTDOC, &start))) {
            KV_LOG(LOG_ERROR, "RF_STARTDOC event failed.\n");
            return FALSE;
        }
    }
    return TRUE;
}

BOOL PluginRenderingSystem::EndDocument(PDEVOBJ device)
{
    OemPdev *pdev = PdevOf(device);
    if (pdev == nullptr) return FALSE;
    currentDevice_ = device;
    if (FAILED(Fire(pdev, RF_ENDDOC))) return FALSE;
    if (pdev->document != nullptr) pdev->document->ended = true;
    return TRUE;
}

void PluginRenderingSystem::EndPage(PDEVOBJ device)
{
    OemPdev *pdev = PdevOf(device);
    if (pdev == nullptr) return;
    currentDevice_ = device;
    if (pdev->document != nullptr && !SpeedPriority(device)) FlushOutput(device);
}

void PluginRenderingSystem::FlushOutput(PDEVOBJ device)
{
    OemPdev *pdev = PdevOf(device);
    DocumentInfo *document = pdev != nullptr ? pdev->document : nullptr;
    if (document == nullptr || document->direct) return;
    currentDevice_ = device;
    document->direct = true;
    if (pdev->container != nullptr && !SpeedPriority(device)) {
        // The job header goes to the spooler during RF_BEGINJOB, ahead of
        // everything collected so far. The events' results do not stop the
        // output.
        WCHAR name[kDocumentNameChars];
        JobDocumentName(&document->jobInfo, name, kDocumentNameChars);
        StartDocEvent start = {name, static_cast<DWORD>(GetJobInfoLong(&document->jobInfo, JobInfoFieldId::JobId))};
        Fire(pdev, RF_STARTDOC, &start);
        Fire(pdev, RF_BEGINSTREAM);
        Fire(pdev, RF_BEGINJOB);
    }
    if (document->output.length != 0) {
        DWORD written = 0;
        ::WritePrinter(device->hPrinter, document->output.data, document->output.length, &written);
        EmptyByteBuffer(&document->output);
    }
}
