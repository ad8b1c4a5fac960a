// The UI plug-in object, its class factory and the work behind the host's
// calls.
#include "oumplugi.h"

#include <cstring>
#include <new>

#include "actctx.h"
#include "coremain.h"
#include "coreuiadapter.h"
#include "devmode.h"
#include "identity.h"
#include "modelquery.h"
#include "oumiset.h"
#include "pdvalue.h"
#include "resid.h"
#include "uicntrl.h"

namespace {

// INVARIANT: changed only by atomic increments and decrements.
LONG volatile g_lockCount = 0;

constexpr DWORD kInfoSize = sizeof(DWORD);

// The host hands its buffers to GetInfo without a size we could check
// against, and neither target lets us probe memory safely (the old probing
// calls are unreliable on Windows and do not exist here), so a buffer the
// host gives counts as writable for the size it states.
BOOL IsWritableBuffer(PVOID buffer, DWORD size)
{
    return buffer != nullptr;
}

// DEFAULT: the fresh record, then what only this printer can tell. The
// record is built aside and copied out whole, so that a printer we cannot
// look up leaves the host's buffer as it was.
BOOL DefaultDevmode(POEMDMPARAM param)
{
    PrivateDevmode *record = static_cast<PrivateDevmode *>(param->pOEMDMOut);
    if (record == nullptr || param->cbBufSize < kPrivateDevmodeSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PrivateDevmode fresh;
    if (!SetDevmodeDefaults(&fresh)) return FALSE;
    WORD printerType = 0;
    if (!LookUpPrinterType(param->hPrinter, &printerType)) return FALSE;
    if (!SetDevmodeShort(DevmodeFieldId::PrinterType, &fresh, static_cast<SHORT>(printerType))) return FALSE;
#if KV_LINE_A
    // The record names its printer, so that settings kept per user can be
    // found again from a document.
    BYTE id[kPrinterIdBytes] = {};
    if (!GetOrCreatePrinterId(param->hPrinter, id)) return FALSE;
    if (!SetDevmodeField(DevmodeFieldId::PrinterId, &fresh, DevmodeFieldType::RawBytes, sizeof(id), id))
        return FALSE;
#endif
    PrinterDataValues values(param->hPrinter);
    if (values.SupportsCapability(CAP_OUTPUT_CONTROL_DEFAULT_ON))
        SetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, &fresh, 1);
    memcpy(record, &fresh, sizeof(fresh));
    return TRUE;
}

// Opens PRINTER for the life-cycle events, which change its data.
HANDLE OpenPrinterForChange(LPWSTR name)
{
    if (name == nullptr) return nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(name, &printer, &defaults)) return nullptr;
    return printer;
}

HRESULT InitializePrinter(LPWSTR name)
{
    HANDLE printer = OpenPrinterForChange(name);
    if (printer == nullptr) return E_FAIL;
    BOOL ok = InitPrinterData(printer);
    ClosePrinter(printer);
    // A new printer is a good moment to forget the per-user settings of
    // printers that are gone.
    RemoveUserPrinterData(nullptr);
    return ok ? S_OK : E_FAIL;
}

// Adds our page to a sheet (PROPSHEETUI_REASON_INIT). True when the page
// was added, or when a device sheet has no page of ours to add.
BOOL AddSheetPage(BOOL document, IPrintCoreUI2 *sheetInterface, PPROPSHEETUI_INFO info)
{
    POEMUIPSPARAM param = reinterpret_cast<POEMUIPSPARAM>(info->lParamInit);
    if (param == nullptr || param->hOEMHeap == nullptr || info->pfnComPropSheet == nullptr) return FALSE;

    SheetContext *context =
        static_cast<SheetContext *>(HeapAlloc(param->hOEMHeap, HEAP_ZERO_MEMORY, sizeof(SheetContext)));
    if (context == nullptr) return FALSE;
    param->pOEMUserData = context;

    context->hComPropSheet = info->hComPropSheet;
    context->pfnComPropSheet = info->pfnComPropSheet;
    context->resourceModule = GetResourceModule();
    if (context->resourceModule == nullptr) return FALSE;
    context->sheetInterface = sheetInterface;
    if (document) {
        context->publicDevmode = param->pPublicDM;
        context->permission = (param->dwFlags & DM_NOPERMISSION) == 0 ? 1 : 0;
    } else {
        context->permission = (param->dwFlags & DPS_NOPERMISSION) == 0 ? 1 : 0;
    }
    if (!BuildModelFilePath(context->helpFile, MAX_PATH, TEXT(".hlp"))) context->helpFile[0] = 0;

    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_HASHELP;
    page.hInstance = context->resourceModule;
    page.lParam = reinterpret_cast<LPARAM>(param);
    ApplyActivationContext(&page);

    if (document) {
        WORD printerType = 0;
        if (!LookUpPrinterType(param->hPrinter, &printerType)) return FALSE;
        WORD templateId = 0;
        if (!QueryModel(OUPF_FUNCID_GETOPTIONDIALOG, printerType, nullptr, &templateId) || templateId == 0)
            return FALSE;
        page.pszTemplate = MAKEINTRESOURCEW(templateId);
        page.pfnDlgProc = PropertyPageProc;
    } else {
#if KV_LINE_A
        WORD templateId = 0;
        DLGPROC procedure = nullptr;
        if (!GetDeviceSettingsPage(param->hPrinter, &templateId, &procedure)) return TRUE;
        page.pszTemplate = MAKEINTRESOURCEW(templateId);
        page.pfnDlgProc = procedure;
#else
        // Line B has no device settings tab.
        return TRUE;
#endif
    }

    LONG_PTR handle =
        info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0);
    context->pageHandle = reinterpret_cast<HANDLE>(handle);
    return handle != 0;
}

BOOL DestroySheetContext(PPROPSHEETUI_INFO info)
{
    POEMUIPSPARAM param = reinterpret_cast<POEMUIPSPARAM>(info->lParamInit);
    if (param == nullptr || param->hOEMHeap == nullptr || param->pOEMUserData == nullptr) return FALSE;
    HeapFree(param->hOEMHeap, 0, param->pOEMUserData);
    param->pOEMUserData = nullptr;
    return TRUE;
}

}  // namespace

// ---------------------------------------------------------------------------
// Module state.

LONG UiLockCount() { return g_lockCount; }

void UiLockServer(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&g_lockCount);
    else
        InterlockedDecrement(&g_lockCount);
}

// ---------------------------------------------------------------------------
// UiClassFactory

// COM objects come from the process heap, so that they do not depend on the
// module heap's life.
UiClassFactory *UiClassFactory::Create()
{
    PVOID block = HeapAlloc(GetProcessHeap(), 0, sizeof(UiClassFactory));
    return block != nullptr ? new (block) UiClassFactory() : nullptr;
}

HRESULT STDMETHODCALLTYPE UiClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE UiClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE UiClassFactory::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        this->~UiClassFactory();
        HeapFree(GetProcessHeap(), 0, this);
    }
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE UiClassFactory::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    UiPlugin *plugin = UiPlugin::Create();
    if (plugin == nullptr) return E_OUTOFMEMORY;
    // The creation reference goes once the caller has its own: a failed
    // QueryInterface destroys the object here.
    HRESULT hr = plugin->QueryInterface(riid, ppv);
    plugin->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE UiClassFactory::LockServer(BOOL lock)
{
    UiLockServer(lock);
    return S_OK;
}

// ---------------------------------------------------------------------------
// UiPlugin

UiPlugin *UiPlugin::Create()
{
    PVOID block = HeapAlloc(GetProcessHeap(), 0, sizeof(UiPlugin));
    return block != nullptr ? new (block) UiPlugin() : nullptr;
}

UiPlugin::~UiPlugin()
{
    CoreUiAdapter::Destroy(adapter_);
    adapter_ = nullptr;
    if (core_ != nullptr) core_->Release();
    core_ = nullptr;
}

HRESULT STDMETHODCALLTYPE UiPlugin::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IPrintOemUI2)) {
        // Only a host that knows the second interface gets our pages.
        version2_ = 1;
    } else if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPrintOemUI)) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IPrintOemUI2 *>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE UiPlugin::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE UiPlugin::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        this->~UiPlugin();
        HeapFree(GetProcessHeap(), 0, this);
    }
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE UiPlugin::GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed)
{
    return GetPluginInfo(mode, buffer, size, needed) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::DevMode(DWORD mode, POEMDMPARAM param)
{
    return HandleDevMode(mode, param) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::PublishDriverInterface(IUnknown *unknown)
{
    // INVARIANT: the first interface the host published stays for the
    // object's life; the adapter wraps it.
    if (core_ != nullptr) return S_OK;
    if (unknown == nullptr) return E_FAIL;
    IPrintCoreUI2 *core = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IPrintCoreUI2, reinterpret_cast<void **>(&core))) || core == nullptr)
        return E_FAIL;
    core_ = core;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE UiPlugin::CommonUIProp(DWORD mode, POEMCUIPPARAM param)
{
    return HookCommonUI(version2_ != 0, core_, mode, param);
}

HRESULT STDMETHODCALLTYPE UiPlugin::DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (!version2_) return E_NOTIMPL;
    // One adapter serves every document sheet of this object. Without a
    // host interface there is nothing to adapt, and the sheet fails.
    if (adapter_ == nullptr && info != nullptr && core_ != nullptr) {
        POEMUIPSPARAM param = reinterpret_cast<POEMUIPSPARAM>(info->lParamInit);
        adapter_ = CoreUiAdapter::Create(core_, param != nullptr ? param->hPrinter : nullptr);
    }
    return HandlePropertySheets(TRUE, adapter_, info, lParam);
}

HRESULT STDMETHODCALLTYPE UiPlugin::DevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (!version2_) return E_NOTIMPL;
    return HandlePropertySheets(FALSE, core_, info, lParam);
}

HRESULT STDMETHODCALLTYPE UiPlugin::DevQueryPrintEx(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO info,
                                                    PDEVMODEW publicDM, PVOID oemDM)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::DeviceCapabilities(POEMUIOBJ poemuiobj, HANDLE printer, PWSTR deviceName,
                                                       WORD capability, PVOID output, PDEVMODEW publicDM,
                                                       PVOID oemDM, DWORD old, DWORD *result)
{
    return HandleDeviceCapabilities(capability, result);
}

HRESULT STDMETHODCALLTYPE UiPlugin::UpgradePrinter(DWORD level, PBYTE upgradeInfo)
{
    return HandleUpgradePrinter(level, upgradeInfo);
}

HRESULT STDMETHODCALLTYPE UiPlugin::PrinterEvent(PWSTR printerName, INT event, DWORD flags, LPARAM lParam)
{
    return HandlePrinterEvent(printerName, event, flags, lParam);
}

HRESULT STDMETHODCALLTYPE UiPlugin::DriverEvent(DWORD event, DWORD level, LPBYTE driverInfo, LPARAM lParam)
{
    return HandleDriverEvent(event, level, driverInfo, lParam);
}

HRESULT STDMETHODCALLTYPE UiPlugin::QueryColorProfile(HANDLE printer, POEMUIOBJ poemuiobj, PDEVMODEW publicDM,
                                                      PVOID oemDM, ULONG queryMode, VOID *profileData,
                                                      ULONG *profileDataSize, FLONG *profileFlags)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::FontInstallerDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::UpdateExternalFonts(HANDLE printer, HANDLE heap, PWSTR cartridges)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::QueryJobAttributes(HANDLE printer, PDEVMODEW devmode, DWORD level,
                                                       LPBYTE attributeInfo)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE UiPlugin::HideStandardUI(DWORD mode) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE UiPlugin::DocumentEvent(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in,
                                                  ULONG outSize, PVOID out, PINT result)
{
    return HandleDocumentEventEntry(printer, hdc, event, inSize, in, outSize, out, result);
}

// ---------------------------------------------------------------------------
// The work behind the methods.

BOOL GetPluginInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed)
{
    DWORD value = 0;
    switch (mode) {
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
        if (needed != nullptr) *needed = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (buffer != nullptr && needed != nullptr && !IsWritableBuffer(buffer, size)) {
        *needed = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (needed != nullptr) *needed = kInfoSize;
    if (buffer == nullptr || size < kInfoSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // The host's buffer need not be aligned for a DWORD.
    const BYTE *from = reinterpret_cast<const BYTE *>(&value);
    BYTE *to = static_cast<BYTE *>(buffer);
    for (DWORD i = 0; i < kInfoSize; ++i) to[i] = from[i];
    return TRUE;
}

BOOL HandleDevMode(DWORD mode, POEMDMPARAM param)
{
    if (param == nullptr || mode < OEMDM_SIZE || mode > OEMDM_MERGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    switch (mode) {
    case OEMDM_SIZE:
        return PrivateDevmodeSize(&param->cbBufSize);
    case OEMDM_DEFAULT:
        return DefaultDevmode(param);
    case OEMDM_CONVERT:
        return ConvertDevmode(static_cast<PrivateDevmode *>(param->pOEMDMOut),
                              static_cast<const PrivateDevmode *>(param->pOEMDMIn), param->cbBufSize,
                              DevmodeInputSize(param));
    default:
        return MergeDevmode(static_cast<PrivateDevmode *>(param->pOEMDMOut),
                            static_cast<const PrivateDevmode *>(param->pOEMDMIn), param->cbBufSize);
    }
}

HRESULT HookCommonUI(BOOL version2, IPrintCoreUI2 *core, DWORD mode, POEMCUIPPARAM param)
{
    if (!version2 || core == nullptr) {
        // A host that cannot give us its interface cannot run our
        // settings either: tell the user once per call.
        ShowResourceMessage(nullptr, MAKEINTRESOURCEW(IDS_INTERNAL_ERROR), param != nullptr ? param->pPrinterName : nullptr,
                            MB_ICONWARNING);
        return E_NOTIMPL;
    }
    if ((mode != OEMCUIP_DOCPROP && mode != OEMCUIP_PRNPROP) || param == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    // The host's second call, which comes only after we asked for items.
    if (param->pOEMOptItems != nullptr) return S_OK;
    if (param->hOEMHeap == nullptr) return E_FAIL;

    DocumentOptionsData *data = static_cast<DocumentOptionsData *>(
        HeapAlloc(param->hOEMHeap, HEAP_ZERO_MEMORY, sizeof(DocumentOptionsData)));
    if (data == nullptr) return E_FAIL;
    data->core = core;
    param->pOEMUserData = data;
    // We add no items of our own to the host's tree; we only watch the
    // host's document options.
    param->cOEMOptItems = 0;
    if (mode == OEMCUIP_DOCPROP) param->OEMCUIPCallback = DocumentOptionsCallback;
    return S_OK;
}

LONG APIENTRY DocumentOptionsCallback(PCPSUICBPARAM cb, POEMCUIPPARAM param)
{
    if (cb == nullptr) return CPSUICB_ACTION_NONE;
    switch (cb->Reason) {
    case CPSUICB_REASON_SEL_CHANGED:
        ApplySelectionRules(cb, param);
        return CPSUICB_ACTION_OPTIF_CHANGED;
    case CPSUICB_REASON_APPLYNOW:
        return CPSUICB_ACTION_ITEMS_APPLIED;
#if KV_LINE_A
    case CPSUICB_REASON_SETACTIVE:
        return ApplyActivationRule(cb, param) ? CPSUICB_ACTION_OPTIF_CHANGED : CPSUICB_ACTION_NONE;
#endif
    default:
        return CPSUICB_ACTION_NONE;
    }
}

HRESULT HandlePropertySheets(BOOL document, IPrintCoreUI2 *sheetInterface, PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (info == nullptr || sheetInterface == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
        info->Result = AddSheetPage(document, sheetInterface, info) ? 1 : 0;
        break;
    case PROPSHEETUI_REASON_DESTROY:
        info->Result = DestroySheetContext(info) ? 1 : 0;
        break;
    case PROPSHEETUI_REASON_SET_RESULT: {
        const SETRESULT_INFO *result = reinterpret_cast<const SETRESULT_INFO *>(lParam);
        info->Result = result != nullptr ? static_cast<ULONG_PTR>(result->Result) : 0;
        break;
    }
    default:
        info->Result = 0;
        break;
    }
    // A cancelled sheet's SET_RESULT answers E_FAIL, as the host expects.
    return info->Result != 0 ? S_OK : E_FAIL;
}

HRESULT HandleUpgradePrinter(DWORD level, PBYTE upgradeInfo)
{
    if (upgradeInfo == nullptr) return E_FAIL;
    const DRIVER_UPGRADE_INFO_1 *info = reinterpret_cast<const DRIVER_UPGRADE_INFO_1 *>(upgradeInfo);
    HANDLE printer = OpenPrinterForChange(info->pPrinterName);
    if (printer == nullptr) return E_FAIL;
    BOOL ok = InitPrinterData(printer);
    ClosePrinter(printer);
    return ok ? S_OK : E_FAIL;
}

HRESULT HandlePrinterEvent(PWSTR printerName, INT event, DWORD flags, LPARAM lParam)
{
    switch (event) {
    case PRINTER_EVENT_INITIALIZE:
        return InitializePrinter(printerName);
    case PRINTER_EVENT_DELETE_CONNECTION:
    case PRINTER_EVENT_DELETE: {
        // A printer that is already beyond reach leaves its per-user
        // settings to a later clean-up.
        HANDLE printer = nullptr;
        if (printerName != nullptr && OpenPrinterW(printerName, &printer, nullptr) && printer != nullptr) {
            RemoveUserPrinterData(printer);
            ClosePrinter(printer);
        }
        return S_OK;
    }
    default:
        return S_OK;
    }
}

HRESULT HandleDriverEvent(DWORD event, DWORD level, LPBYTE driverInfo, LPARAM lParam)
{
    if (event == DRIVER_EVENT_INITIALIZE && level == 3 && driverInfo != nullptr) {
        const DRIVER_INFO_3W *info = reinterpret_cast<const DRIVER_INFO_3W *>(driverInfo);
        if (info->cVersion == 3) InitializePrinter(info->pName);
    }
    return S_OK;
}

HRESULT HandleDeviceCapabilities(WORD capability, DWORD *result)
{
    // The host cannot know which media a roll-paper printer has loaded;
    // we do not either, so we claim none rather than the host's guess.
    if (capability == DC_MEDIAREADY && result != nullptr) *result = 0;
    return S_OK;
}

HRESULT HandleDocumentEventEntry(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in, ULONG outSize,
                                 PVOID out, PINT result)
{
    PrinterDataValues values(printer);
    if (values.IsFeatureSwitchOn(SWITCH_PRINT_SPEED_PRIORITY)) {
        if (result != nullptr) *result = DOCUMENTEVENT_UNSUPPORTED;
        return E_NOTIMPL;
    }
    INT answer = HandleDocumentEvent(printer, hdc, event, inSize, in, outSize, out);
    if (result != nullptr) *result = answer;
    return S_OK;
}
