// The host's IPrintCoreUI2: the plug-in's window on the document's options.
#include "kvhost/uihost.h"

#include <cstring>

namespace kvhost {
namespace {

std::vector<std::string> Keyword(PCSTR keyword)
{
    return keyword != nullptr ? std::vector<std::string>{keyword} : std::vector<std::string>{};
}

// An empty list (just its closing NUL), with the size protocol of the
// helper calls.
HRESULT EmptyList(PSTR list, DWORD size, PDWORD needed)
{
    if (needed != nullptr) *needed = 1;
    if (list == nullptr || size < 1) return E_OUTOFMEMORY;
    list[0] = '\0';
    return S_OK;
}

}  // namespace

HRESULT CoreUI::Record(const char *method, std::vector<std::string> keywords, HRESULT result)
{
    calls_.push_back({method, std::move(keywords), result});
    return result;
}

HRESULT STDMETHODCALLTYPE CoreUI::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintCoreUI2)) {
        *ppv = static_cast<IPrintCoreUI2 *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CoreUI::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE CoreUI::Release() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

HRESULT STDMETHODCALLTYPE CoreUI::DrvGetDriverSetting(PVOID pci, PCSTR feature, PVOID output, DWORD size,
                                                     PDWORD needed, PDWORD optionsReturned)
{
    if (feature == nullptr || needed == nullptr) return Record("DrvGetDriverSetting", {}, E_INVALIDARG);
    if (options_ == nullptr || options_->Model().Find(feature) == nullptr)
        return Record("DrvGetDriverSetting", Keyword(feature), E_INVALIDARG);
    // The reply is a multi-string: the option, then the closing NUL.
    std::string option = options_->Get(feature);
    DWORD bytes = static_cast<DWORD>(option.size() + 2);
    *needed = bytes;
    if (output == nullptr || size < bytes) return Record("DrvGetDriverSetting", Keyword(feature), E_OUTOFMEMORY);
    char *out = static_cast<char *>(output);
    std::memcpy(out, option.c_str(), option.size() + 1);
    out[option.size() + 1] = '\0';
    if (optionsReturned != nullptr) *optionsReturned = 1;
    return Record("DrvGetDriverSetting", Keyword(feature), S_OK);
}

HRESULT STDMETHODCALLTYPE CoreUI::DrvUpgradeRegistrySetting(HANDLE printer, PCSTR feature, PCSTR option)
{
    std::vector<std::string> keywords = Keyword(feature);
    if (option != nullptr) keywords.push_back(option);
    return Record("DrvUpgradeRegistrySetting", keywords, S_OK);
}

HRESULT STDMETHODCALLTYPE CoreUI::DrvUpdateUISetting(PVOID pci, PVOID optItem, DWORD previousSelection, DWORD mode)
{
    return Record("DrvUpdateUISetting", {}, S_OK);
}

HRESULT STDMETHODCALLTYPE CoreUI::GetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR requested, DWORD requestedSize,
                                            PSTR pairs, DWORD size, PDWORD needed)
{
    std::vector<std::string> keywords;
    if (requested != nullptr) keywords = SplitMultiString(requested, requestedSize);
    if (options_ == nullptr || needed == nullptr) return Record("GetOptions", keywords, E_FAIL);
    return Record("GetOptions", keywords, options_->GetOptions(requested, requestedSize, pairs, size, needed));
}

HRESULT STDMETHODCALLTYPE CoreUI::SetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR pairs, DWORD pairsSize,
                                            PDWORD result)
{
    std::vector<std::string> keywords;
    if (pairs != nullptr) keywords = SplitMultiString(pairs, pairsSize);
    if (options_ == nullptr || pairs == nullptr) return Record("SetOptions", keywords, E_FAIL);
    HRESULT hr = options_->SetOptions(pairs, pairsSize);
    // The host's result code for "set, no constraint resolved".
    if (result != nullptr) *result = SUCCEEDED(hr) ? 1 : 0;
    return Record("SetOptions", keywords, hr);
}

HRESULT STDMETHODCALLTYPE CoreUI::EnumConstrainedOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list,
                                                        DWORD size, PDWORD needed)
{
    return Record("EnumConstrainedOptions", Keyword(feature), EmptyList(list, size, needed));
}

HRESULT STDMETHODCALLTYPE CoreUI::WhyConstrained(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR option,
                                                PSTR reasons, DWORD size, PDWORD needed)
{
    std::vector<std::string> keywords = Keyword(feature);
    if (option != nullptr) keywords.push_back(option);
    return Record("WhyConstrained", keywords, EmptyList(reasons, size, needed));
}

HRESULT STDMETHODCALLTYPE CoreUI::GetGlobalAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR attribute,
                                                    PDWORD type, PBYTE data, DWORD size, PDWORD needed)
{
    return Record("GetGlobalAttribute", Keyword(attribute), E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CoreUI::GetFeatureAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature,
                                                     PCSTR attribute, PDWORD type, PBYTE data, DWORD size,
                                                     PDWORD needed)
{
    return Record("GetFeatureAttribute", Keyword(feature), E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CoreUI::GetOptionAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PCSTR option,
                                                    PCSTR attribute, PDWORD type, PBYTE data, DWORD size,
                                                    PDWORD needed)
{
    std::vector<std::string> keywords = Keyword(feature);
    if (option != nullptr) keywords.push_back(option);
    return Record("GetOptionAttribute", keywords, E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CoreUI::EnumFeatures(POEMUIOBJ poemuiobj, DWORD flags, PSTR list, DWORD size,
                                              PDWORD needed)
{
    if (options_ == nullptr || needed == nullptr) return Record("EnumFeatures", {}, E_FAIL);
    return Record("EnumFeatures", {}, options_->EnumFeatures(list, size, needed));
}

HRESULT STDMETHODCALLTYPE CoreUI::EnumOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list,
                                             DWORD size, PDWORD needed)
{
    if (options_ == nullptr || feature == nullptr || needed == nullptr)
        return Record("EnumOptions", Keyword(feature), E_FAIL);
    return Record("EnumOptions", Keyword(feature), options_->EnumOptions(feature, list, size, needed));
}

HRESULT STDMETHODCALLTYPE CoreUI::QuerySimulationSupport(HANDLE printer, DWORD level, PBYTE caps, DWORD size,
                                                        PDWORD needed)
{
    return Record("QuerySimulationSupport", {}, E_NOTIMPL);
}

}  // namespace kvhost
