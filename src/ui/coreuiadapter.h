// The host's IPrintCoreUI2 as the document sheet's pages see it.
//
// Our pages always name the printer's own PPD features with the prefix
// "KV". An installed PPD may use another two-letter prefix (the first two
// letters of its file name), so the adapter translates the keywords on the
// way to the host and the lists it answers on the way back. With a "KV"
// PPD every call passes through untouched.
#pragma once

#include "kvcontract.h"

class CoreUiAdapter : public IPrintCoreUI2 {
public:
    // An adapter around HOST (which keeps its own reference count: the
    // adapter takes none) for PRINTER's PPD, from the module heap; null when
    // the heap is exhausted.
    static CoreUiAdapter *Create(IPrintCoreUI2 *host, HANDLE printer);
    static void Destroy(CoreUiAdapter *adapter);

    // IUnknown: forwarded to the host.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPrintOemDriverUI: forwarded.
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pci, PCSTR feature, PVOID output, DWORD size,
                                                  PDWORD needed, PDWORD optionsReturned) override;
    HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE printer, PCSTR feature, PCSTR option) override;
    HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID optItem, DWORD previousSelection,
                                                 DWORD mode) override;
    // IPrintCoreUI2: keywords mapped.
    HRESULT STDMETHODCALLTYPE GetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR requested, DWORD requestedSize,
                                         PSTR pairs, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE SetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR pairs, DWORD pairsSize,
                                         PDWORD result) override;
    HRESULT STDMETHODCALLTYPE EnumConstrainedOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list,
                                                     DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE WhyConstrained(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR option,
                                             PSTR reasons, DWORD size, PDWORD needed) override;
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

    IPrintCoreUI2 *Host() const { return host_; }
    BOOL IsMapping() const { return mapping_ != 0; }
    // The PPD's prefix (two NULs when the driver information was unreadable).
    const CHAR *Prefix() const { return prefix_; }

private:
    CoreUiAdapter(IPrintCoreUI2 *host, HANDLE printer);

    IPrintCoreUI2 *host_;  // not referenced
    BYTE mapping_;         // 1 when keywords are translated
    CHAR prefix_[2];
};
