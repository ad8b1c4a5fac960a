// The keyword-translating stand-in for the host's IPrintCoreUI2.
#include "coreuiadapter.h"

#include <new>

#include "coremain.h"
#include "memory.h"
#include "ppd.h"

namespace {

// A single keyword travels in a buffer of this size; PPD keywords are at
// most 40 characters, so only a broken caller comes near it.
constexpr DWORD kKeywordCapacity = 1024;

// A copy of one argument list with our prefix turned into the PPD's. Lists
// up to kKeywordCapacity bytes are copied on the stack, longer ones into a
// block of the module heap.
class MappedList {
public:
    MappedList(const CHAR prefix[2], PCSTR list, DWORD listSize)
    {
        if (list == nullptr) {
            ok_ = TRUE;
            return;
        }
        // The copy is as long as the list (a keyword keeps its length) plus
        // the terminators a list cut at listSize lacks.
        DWORD capacity = listSize + 2;
        if (capacity < listSize) return;
        if (capacity > sizeof(local_)) {
            PVOID block = nullptr;
            if (!MemAlloc(nullptr, &block, capacity)) return;
            heap_ = static_cast<LPSTR>(block);
        }
        LPSTR out = heap_ != nullptr ? heap_ : local_;
        if (!ToPpdKeywordList(prefix, list, listSize, out, capacity)) return;
        // The host gets the list up to and including its closing NUL.
        DWORD at = 0;
        while (out[at] != '\0') {
            while (out[at] != '\0') ++at;
            ++at;
        }
        size_ = at + 1;
        data_ = out;
        ok_ = TRUE;
    }
    ~MappedList() { MemFree(heap_); }
    MappedList(const MappedList &) = delete;
    MappedList &operator=(const MappedList &) = delete;

    BOOL Ok() const { return ok_; }
    PCSTR Data() const { return data_; }
    DWORD Size() const { return size_; }

private:
    CHAR local_[kKeywordCapacity];
    LPSTR heap_ = nullptr;
    PCSTR data_ = nullptr;
    DWORD size_ = 0;
    BOOL ok_ = FALSE;
};

// One keyword argument, mapped the same way. A null keyword stays null.
class MappedKeyword {
public:
    MappedKeyword(const CHAR prefix[2], PCSTR keyword)
    {
        if (keyword == nullptr) {
            ok_ = TRUE;
            return;
        }
        ok_ = ToPpdKeyword(prefix, keyword, text_, sizeof(text_));
        if (ok_) data_ = text_;
    }
    BOOL Ok() const { return ok_; }
    PCSTR Data() const { return data_; }

private:
    CHAR text_[kKeywordCapacity];
    PCSTR data_ = nullptr;
    BOOL ok_ = FALSE;
};

}  // namespace

CoreUiAdapter::CoreUiAdapter(IPrintCoreUI2 *host, HANDLE printer) : host_(host), mapping_(0), prefix_{0, 0}
{
    // A PPD we cannot name keeps our keywords as they are: the host then
    // answers for the features it knows by those names, which is better
    // than keywords with their first two letters lost.
    if (GetKeywordPrefix(prefix_, printer) && !(prefix_[0] == kSystemKeywordPrefix[0] &&
                                                 prefix_[1] == kSystemKeywordPrefix[1])) {
        mapping_ = 1;
    }
}

CoreUiAdapter *CoreUiAdapter::Create(IPrintCoreUI2 *host, HANDLE printer)
{
    PVOID block = nullptr;
    if (!MemAlloc(nullptr, &block, sizeof(CoreUiAdapter))) return nullptr;
    return new (block) CoreUiAdapter(host, printer);
}

void CoreUiAdapter::Destroy(CoreUiAdapter *adapter)
{
    if (adapter == nullptr) return;
    adapter->~CoreUiAdapter();
    MemFree(adapter);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::QueryInterface(REFIID riid, void **ppv)
{
    return host_->QueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CoreUiAdapter::AddRef() { return host_->AddRef(); }

ULONG STDMETHODCALLTYPE CoreUiAdapter::Release() { return host_->Release(); }

HRESULT STDMETHODCALLTYPE CoreUiAdapter::DrvGetDriverSetting(PVOID pci, PCSTR feature, PVOID output, DWORD size,
                                                             PDWORD needed, PDWORD optionsReturned)
{
    return host_->DrvGetDriverSetting(pci, feature, output, size, needed, optionsReturned);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::DrvUpgradeRegistrySetting(HANDLE printer, PCSTR feature, PCSTR option)
{
    return host_->DrvUpgradeRegistrySetting(printer, feature, option);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::DrvUpdateUISetting(PVOID pci, PVOID optItem, DWORD previousSelection,
                                                            DWORD mode)
{
    return host_->DrvUpdateUISetting(pci, optItem, previousSelection, mode);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::GetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR requested,
                                                    DWORD requestedSize, PSTR pairs, DWORD size, PDWORD needed)
{
    if (!mapping_) return host_->GetOptions(poemuiobj, flags, requested, requestedSize, pairs, size, needed);
    MappedList in(prefix_, requested, requestedSize);
    if (!in.Ok()) return E_INVALIDARG;
    HRESULT hr = host_->GetOptions(poemuiobj, flags, in.Data(), requested != nullptr ? in.Size() : requestedSize,
                                   pairs, size, needed);
    if (SUCCEEDED(hr) && pairs != nullptr) ToSystemKeywordList(prefix_, pairs, size);
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::SetOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR pairs, DWORD pairsSize,
                                                    PDWORD result)
{
    if (!mapping_) return host_->SetOptions(poemuiobj, flags, pairs, pairsSize, result);
    MappedList in(prefix_, pairs, pairsSize);
    if (!in.Ok()) return E_INVALIDARG;
    return host_->SetOptions(poemuiobj, flags, in.Data(), pairs != nullptr ? in.Size() : pairsSize, result);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::EnumConstrainedOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature,
                                                                PSTR list, DWORD size, PDWORD needed)
{
    if (!mapping_) return host_->EnumConstrainedOptions(poemuiobj, flags, feature, list, size, needed);
    MappedKeyword f(prefix_, feature);
    if (!f.Ok()) return E_INVALIDARG;
    HRESULT hr = host_->EnumConstrainedOptions(poemuiobj, flags, f.Data(), list, size, needed);
    if (SUCCEEDED(hr) && list != nullptr) ToSystemKeywordList(prefix_, list, size);
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::WhyConstrained(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature,
                                                        PCSTR option, PSTR reasons, DWORD size, PDWORD needed)
{
    if (!mapping_) return host_->WhyConstrained(poemuiobj, flags, feature, option, reasons, size, needed);
    MappedKeyword f(prefix_, feature);
    MappedKeyword o(prefix_, option);
    if (!f.Ok() || !o.Ok()) return E_INVALIDARG;
    HRESULT hr = host_->WhyConstrained(poemuiobj, flags, f.Data(), o.Data(), reasons, size, needed);
    if (SUCCEEDED(hr) && reasons != nullptr) ToSystemKeywordList(prefix_, reasons, size);
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::GetGlobalAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR attribute,
                                                            PDWORD type, PBYTE data, DWORD size, PDWORD needed)
{
    return host_->GetGlobalAttribute(poemuiobj, flags, attribute, type, data, size, needed);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::GetFeatureAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature,
                                                             PCSTR attribute, PDWORD type, PBYTE data, DWORD size,
                                                             PDWORD needed)
{
    if (!mapping_) return host_->GetFeatureAttribute(poemuiobj, flags, feature, attribute, type, data, size, needed);
    MappedKeyword f(prefix_, feature);
    if (!f.Ok()) return E_INVALIDARG;
    return host_->GetFeatureAttribute(poemuiobj, flags, f.Data(), attribute, type, data, size, needed);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::GetOptionAttribute(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature,
                                                            PCSTR option, PCSTR attribute, PDWORD type, PBYTE data,
                                                            DWORD size, PDWORD needed)
{
    if (!mapping_)
        return host_->GetOptionAttribute(poemuiobj, flags, feature, option, attribute, type, data, size, needed);
    MappedKeyword f(prefix_, feature);
    MappedKeyword o(prefix_, option);
    if (!f.Ok() || !o.Ok()) return E_INVALIDARG;
    return host_->GetOptionAttribute(poemuiobj, flags, f.Data(), o.Data(), attribute, type, data, size,
                                     needed);
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::EnumFeatures(POEMUIOBJ poemuiobj, DWORD flags, PSTR list, DWORD size,
                                                      PDWORD needed)
{
    HRESULT hr = host_->EnumFeatures(poemuiobj, flags, list, size, needed);
    if (mapping_ && SUCCEEDED(hr) && list != nullptr) ToSystemKeywordList(prefix_, list, size);
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::EnumOptions(POEMUIOBJ poemuiobj, DWORD flags, PCSTR feature, PSTR list,
                                                     DWORD size, PDWORD needed)
{
    if (!mapping_) return host_->EnumOptions(poemuiobj, flags, feature, list, size, needed);
    MappedKeyword f(prefix_, feature);
    if (!f.Ok()) return E_INVALIDARG;
    HRESULT hr = host_->EnumOptions(poemuiobj, flags, f.Data(), list, size, needed);
    if (SUCCEEDED(hr) && list != nullptr) ToSystemKeywordList(prefix_, list, size);
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreUiAdapter::QuerySimulationSupport(HANDLE printer, DWORD level, PBYTE caps, DWORD size,
                                                                PDWORD needed)
{
    return host_->QuerySimulationSupport(printer, level, caps, size, needed);
}
