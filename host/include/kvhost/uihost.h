// The host driver's UI half, as far as the UI plug-in sees it: loading the
// plug-in, the IPrintCoreUI2 it publishes, the CommonUIProp hook, the two
// property sheet calls at the level of the pages they add, and the printer
// events.
//
// Pages are not shown here: the sheet's page-adding callback records the
// PROPSHEETPAGEW it is handed and answers a fake page handle; what a page
// does once shown comes with the window system.
#pragma once

#include <string>
#include <vector>

#include "kvcontract.h"
#include "kvhost/devmodeimage.h"
#include "kvhost/ppdmodel.h"

namespace kvhost {

std::u16string ToUtf16(const std::string &utf8);
std::string ToUtf8(const WCHAR *text);
std::string ToUtf8(const std::u16string &text);

// ---------------------------------------------------------------------------
// The host's IPrintCoreUI2, answering from a document's option state
// (coreui.cpp). The object belongs to the host: Release never frees it.
class CoreUI : public IPrintCoreUI2 {
public:
    // One call as the plug-in made it: the method's name, every keyword it
    // handed in (lists split), and what the host answered.
    struct Call {
        std::string method;
        std::vector<std::string> keywords;
        HRESULT result;
    };

    explicit CoreUI(OptionState *options = nullptr) : options_(options) {}

    void SetOptionState(OptionState *options) { options_ = options; }
    const std::vector<Call> &Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // References the plug-ins hold (AddRef minus Release).
    LONG References() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // The current option of a feature: "PageSize" gives e.g. "A4".
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pci, PCSTR feature, PVOID output, DWORD size,
                                                  PDWORD needed, PDWORD optionsReturned) override;
    HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE printer, PCSTR feature, PCSTR option) override;
    HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID optItem, DWORD previousSelection,
                                                 DWORD mode) override;
    HRESULT STDMETHODCALLTYPE GetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR requested, DWORD requestedSize,
                                         PSTR pairs, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE SetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR pairs, DWORD pairsSize,
                                         PDWORD result) override;
    // The PPD's constraints are not modelled: nothing is ever constrained.
    HRESULT STDMETHODCALLTYPE EnumConstrainedOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list,
                                                     DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE WhyConstrained(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR option,
                                             PSTR reasons, DWORD size, PDWORD needed) override;
    // Attributes are not modelled: recorded, answered E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR attribute, PDWORD type,
                                                 PBYTE data, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR attribute,
                                                  PDWORD type, PBYTE data, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR option,
                                                 PCSTR attribute, PDWORD type, PBYTE data, DWORD size,
                                                 PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE EnumFeatures(POEMUIOBJ poemuiobj, DWORD flags, PSTR list, DWORD size,
                                           PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE EnumOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list, DWORD size,
                                          PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE QuerySimulationSupport(HANDLE printer, DWORD level, PBYTE caps, DWORD size,
                                                     PDWORD needed) override;

private:
    HRESULT Record(const char *method, std::vector<std::string> keywords, HRESULT result);

    OptionState *options_;
    LONG refs_ = 0;
    std::vector<Call> calls_;
};

// ---------------------------------------------------------------------------
// A UI plug-in loaded as the host loads it.
class UiPluginHost {
public:
    UiPluginHost() = default;
    ~UiPluginHost();
    UiPluginHost(const UiPluginHost &) = delete;
    UiPluginHost &operator=(const UiPluginHost &) = delete;

    // LoadLibraryW, DllGetClassObject(CLSID_OEMUI, IID_IClassFactory),
    // CreateInstance(IID_IUnknown), QueryInterface(IID_IPrintOemUI2),
    // GetInfo(OEMGI_GETSIGNATURE) and PublishDriverInterface(CORE) when CORE
    // is given. False, with the failing step in *ERROR, leaves nothing
    // loaded.
    bool Load(const std::string &modulePath, IUnknown *core, std::string *error = nullptr);
    // Only LoadLibraryW: the COM steps are the caller's.
    bool LoadModule(const std::string &modulePath, std::string *error = nullptr);
    // Releases the object and frees the module.
    void Unload();

    // The module's exports.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **ppv);
    HRESULT CanUnloadNow();

    HMODULE Module() const { return module_; }
    IPrintOemUI2 *Plugin() const { return plugin_; }
    DWORD Signature() const { return signature_; }

    HRESULT PrinterEvent(const std::string &printerName, INT event, DWORD flags = 0);

private:
    HMODULE module_ = nullptr;
    IPrintOemUI2 *plugin_ = nullptr;
    DWORD signature_ = 0;
};

// ---------------------------------------------------------------------------
// The host's CommonUIProp call for one sheet, with its own heap.
class CommonUIHost {
public:
    // MODE is OEMCUIP_DOCPROP or OEMCUIP_PRNPROP. DEVMODE (document sheets)
    // supplies pPublicDM and pOEMDM; it must outlive this object.
    CommonUIHost(IPrintOemUI2 *plugin, DWORD mode, HANDLE printer, const std::string &printerName,
                 DevmodeImage *devmode = nullptr);
    ~CommonUIHost();
    CommonUIHost(const CommonUIHost &) = delete;
    CommonUIHost &operator=(const CommonUIHost &) = delete;

    // The first call, which asks how many items the plug-in adds.
    HRESULT Call();
    // The second call, which the host makes only after a non-zero count:
    // pOEMOptItems points at the room for the plug-in's items.
    HRESULT CallAgain();
    // The host's callback for its own option item CURRENT (null: none) for
    // REASON; -1 when the plug-in installed no callback.
    LONG Notify(WORD reason, POPTITEM current = nullptr);

    OEMCUIPPARAM &Param() { return param_; }
    DWORD Mode() const { return mode_; }

private:
    IPrintOemUI2 *plugin_;
    DWORD mode_;
    HANDLE heap_;
    std::u16string printerName_;
    OEMUIOBJ uiObject_ = {};
    std::vector<OPTITEM> items_;
    OEMCUIPPARAM param_ = {};
};

// ---------------------------------------------------------------------------
// One property sheet of the host, document or device, with its own heap.
enum class SheetKind { Document, Device };

class PropertySheetHost {
public:
    struct AddedPage {
        PROPSHEETPAGEW page;  // a copy of what the plug-in handed in (dwSize bytes at most)
        LONG_PTR handle;      // the fake handle answered for it
    };
    struct SetResultCall {
        LPARAM pageHandle;
        LPARAM result;
    };

    PropertySheetHost(IPrintOemUI2 *plugin, SheetKind kind, HANDLE printer, const std::string &printerName,
                      DevmodeImage *devmode = nullptr);
    // Sends PROPSHEETUI_REASON_DESTROY when the sheet was opened and not
    // yet destroyed, then drops the heap.
    ~PropertySheetHost();
    PropertySheetHost(const PropertySheetHost &) = delete;
    PropertySheetHost &operator=(const PropertySheetHost &) = delete;

    // OEMUIPSPARAM.dwFlags (DM_NOPERMISSION, DPS_NOPERMISSION).
    void SetFlags(DWORD flags) { param_.dwFlags = flags; }
    // The page-adding callback answers 0 (no page) from now on.
    void RefusePages(bool refuse) { refusePages_ = refuse; }

    HRESULT Init();
    HRESULT SetResult(LRESULT result);
    HRESULT Destroy();
    HRESULT Call(WORD reason, LPARAM lParam = 0);

    PROPSHEETUI_INFO &Info() { return info_; }
    OEMUIPSPARAM &Param() { return param_; }
    const std::vector<AddedPage> &Pages() const { return pages_; }
    const std::vector<SetResultCall> &SetResults() const { return setResults_; }
    HANDLE SheetHandle() const { return reinterpret_cast<HANDLE>(const_cast<PropertySheetHost *>(this)); }
    static PFNCOMPROPSHEET Callback() { return &PageCallback; }

private:
    static LONG_PTR CALLBACK PageCallback(HANDLE sheet, UINT function, LPARAM lParam1, LPARAM lParam2);
    HRESULT Send(WORD reason, LPARAM lParam);

    IPrintOemUI2 *plugin_;
    SheetKind kind_;
    HANDLE heap_;
    std::u16string printerName_;
    OEMUIOBJ uiObject_ = {};
    OEMUIPSPARAM param_ = {};
    PROPSHEETUI_INFO info_ = {};
    bool open_ = false;
    bool refusePages_ = false;
    std::vector<AddedPage> pages_;
    std::vector<SetResultCall> setResults_;
};

}  // namespace kvhost
