// The UI plug-in's COM object and class factory, and the work behind the
// host's calls into it: identity and DEVMODE upkeep, the hooks into the
// host's property sheets, the printer life-cycle events and the document
// events.
//
// The COM methods only check what the host passed and hand off to the plain
// functions declared here, which the unit tests call directly.
#pragma once

#include "kvcontract.h"

class CoreUiAdapter;

// ---------------------------------------------------------------------------
// Module state.

// The LockServer count; the only thing DllCanUnloadNow looks at.
LONG UiLockCount();
void UiLockServer(BOOL lock);

// ---------------------------------------------------------------------------
// The record of one open property sheet. It lives in the host's heap
// (OEMUIPSPARAM.hOEMHeap) and its address in OEMUIPSPARAM.pOEMUserData,
// where the pages find it. The layout is read by the pages of every later
// change: fields are only ever added at the end.
struct DeviceSettingsState;

struct SheetContext {
    HANDLE hComPropSheet;             // the host's sheet
    PFNCOMPROPSHEET pfnComPropSheet;  // the host's sheet callback
    HANDLE pageHandle;                // what the callback answered when the page was added
    HMODULE resourceModule;           // the model library: templates, strings, bitmaps
    WCHAR helpFile[MAX_PATH];         // empty when the path does not fit
#if KV_LINE_A
    DeviceSettingsState *deviceTab;   // owned by the device settings tab; null in a document sheet
#endif
    IPrintCoreUI2 *sheetInterface;    // document sheet: the adapter; device sheet: the host's interface
    PDEVMODEW publicDevmode;          // document sheet only
    DWORD permission;                 // 1 when the user may change the settings
};

// What CommonUIProp leaves in OEMCUIPPARAM.pOEMUserData for the document
// options callback (from the host's heap, zero-filled).
struct DocumentOptionsData {
    IPrintCoreUI2 *core;  // INVARIANT: first member; the callback finds the host here
};

// ---------------------------------------------------------------------------
// The COM objects. Both live in the process heap.

class UiClassFactory : public IClassFactory {
public:
    // A factory with one reference, or null when the heap is exhausted.
    static UiClassFactory *Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    UiClassFactory() = default;
    LONG refs_ = 1;
};

class UiPlugin : public IPrintOemUI2 {
public:
    // An object with one reference, or null when the heap is exhausted.
    static UiPlugin *Create();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPrintOemUI
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE DevMode(DWORD mode, POEMDMPARAM param) override;
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *unknown) override;
    HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD mode, POEMCUIPPARAM param) override;
    HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO info, PDEVMODEW publicDM,
                                              PVOID oemDM) override;
    HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ poemuiobj, HANDLE printer, PWSTR deviceName,
                                                 WORD capability, PVOID output, PDEVMODEW publicDM, PVOID oemDM,
                                                 DWORD old, DWORD *result) override;
    HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD level, PBYTE upgradeInfo) override;
    HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR printerName, INT event, DWORD flags, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DriverEvent(DWORD event, DWORD level, LPBYTE driverInfo, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE printer, POEMUIOBJ poemuiobj, PDEVMODEW publicDM, PVOID oemDM,
                                                ULONG queryMode, VOID *profileData, ULONG *profileDataSize,
                                                FLONG *profileFlags) override;
    HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE printer, HANDLE heap, PWSTR cartridges) override;
    // IPrintOemUI2
    HRESULT STDMETHODCALLTYPE QueryJobAttributes(HANDLE printer, PDEVMODEW devmode, DWORD level,
                                                 LPBYTE attributeInfo) override;
    HRESULT STDMETHODCALLTYPE HideStandardUI(DWORD mode) override;
    HRESULT STDMETHODCALLTYPE DocumentEvent(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in,
                                            ULONG outSize, PVOID out, PINT result) override;

    IPrintCoreUI2 *HostInterface() const { return core_; }
    CoreUiAdapter *Adapter() const { return adapter_; }
    BOOL IsVersion2() const { return version2_ != 0; }

private:
    UiPlugin() = default;
    ~UiPlugin();

    LONG refs_ = 1;
    IPrintCoreUI2 *core_ = nullptr;    // one reference held
    CoreUiAdapter *adapter_ = nullptr;  // owned; made by the first document sheet
    BYTE version2_ = 0;                 // set when the host asked for IPrintOemUI2
};

// ---------------------------------------------------------------------------
// The work behind the methods. Booleans leave a Windows error code behind
// on bad arguments and leave their outputs untouched on failure.

// GetInfo: the record's signature, the interface version or the record's
// version as 4 bytes. *needed gets 4 (0 for an unknown mode).
BOOL GetPluginInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed);

// DevMode: size, defaults (with the printer's type, identity and the
// capability 0x8000 default), convert and merge of the private record.
BOOL HandleDevMode(DWORD mode, POEMDMPARAM param);

// CommonUIProp: hooks the host's document options without adding items.
// VERSION2 and CORE are the object's state.
HRESULT HookCommonUI(BOOL version2, IPrintCoreUI2 *core, DWORD mode, POEMCUIPPARAM param);

// The host's callback for its own document option items.
LONG APIENTRY DocumentOptionsCallback(PCPSUICBPARAM cb, POEMCUIPPARAM param);

// DocumentPropertySheets / DevicePropertySheets once the object has its
// sheet interface (null when it has none).
HRESULT HandlePropertySheets(BOOL document, IPrintCoreUI2 *sheetInterface, PPROPSHEETUI_INFO info, LPARAM lParam);

// The printer life-cycle events.
HRESULT HandleUpgradePrinter(DWORD level, PBYTE upgradeInfo);
HRESULT HandlePrinterEvent(PWSTR printerName, INT event, DWORD flags, LPARAM lParam);
HRESULT HandleDriverEvent(DWORD event, DWORD level, LPBYTE driverInfo, LPARAM lParam);

// DeviceCapabilities: only DC_MEDIAREADY has an answer of ours.
HRESULT HandleDeviceCapabilities(WORD capability, DWORD *result);

// DocumentEvent: nothing to do with print-speed priority on.
HRESULT HandleDocumentEventEntry(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in, ULONG outSize,
                                 PVOID out, PINT result);
