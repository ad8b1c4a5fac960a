// The core helper proxy.
#include "corehelperproxy.h"

#include "ppd.h"

namespace {

// A rewritten request or keyword is built here; longer ones are refused.
constexpr DWORD kRewriteCapacity = 1024;

// The reply bytes the host may have written: no more than the buffer, and
// no more than it says it needed.
DWORD ReplyBytes(DWORD size, const DWORD *needed)
{
    if (needed != nullptr && *needed < size) return *needed;
    return size;
}

// Bytes of a double-NUL list that lies within CAPACITY bytes and is closed
// there, its closing NUL included.
DWORD MultiStringSize(LPCSTR list, DWORD capacity)
{
    DWORD at = 0;
    while (at < capacity && list[at] != '\0') {
        while (at < capacity && list[at] != '\0') ++at;
        ++at;
    }
    return at < capacity ? at + 1 : capacity;
}

}  // namespace

CoreHelperProxy *CoreHelperProxy::Create(IPrintCorePS2 *host, const CHAR prefix[2], BOOL translate)
{
    if (host == nullptr || prefix == nullptr) return nullptr;
    return new CoreHelperProxy(host, prefix, translate);
}

CoreHelperProxy::CoreHelperProxy(IPrintCorePS2 *host, const CHAR prefix[2], BOOL translate)
    : host_(host), translate_(translate)
{
    prefix_[0] = prefix[0];
    prefix_[1] = prefix[1];
    prefix_[2] = '\0';
    host_->AddRef();
}

CoreHelperProxy::~CoreHelperProxy() { host_->Release(); }

HRESULT STDMETHODCALLTYPE CoreHelperProxy::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IPrintCorePS2)) {
        *ppv = static_cast<IPrintCorePS2 *>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IUnknown)) return RenderingUnknown::QueryInterface(riid, ppv);
    return host_->QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                          DWORD *pdwResult)
{
    return host_->DrvWritePrinter(pdevobj, pBuffer, cbSize, pdwResult);
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pmszFeaturesRequested,
                                                     DWORD cbIn, PSTR pmszFeatureOptionBuf, DWORD cbSize,
                                                     PDWORD pcbNeeded)
{
    if (!translate_)
        return host_->GetOptions(pdevobj, dwFlags, pmszFeaturesRequested, cbIn, pmszFeatureOptionBuf, cbSize,
                                 pcbNeeded);
    CHAR request[kRewriteCapacity];
    PCSTR asked = pmszFeaturesRequested;
    DWORD askedSize = cbIn;
    if (pmszFeaturesRequested != nullptr) {
        if (!ToPpdKeywordList(prefix_, pmszFeaturesRequested, cbIn, request, sizeof(request))) return E_INVALIDARG;
        asked = request;
        askedSize = MultiStringSize(request, sizeof(request));
    }
    HRESULT hr = host_->GetOptions(pdevobj, dwFlags, asked, askedSize, pmszFeatureOptionBuf, cbSize, pcbNeeded);
    if (SUCCEEDED(hr) && pmszFeatureOptionBuf != nullptr)
        ToSystemKeywordList(prefix_, pmszFeatureOptionBuf, ReplyBytes(cbSize, pcbNeeded));
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszAttribute,
                                                             PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                             PDWORD pcbNeeded)
{
    return host_->GetGlobalAttribute(pdevobj, dwFlags, pszAttribute, pdwDataType, pbData, cbSize, pcbNeeded);
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags,
                                                              PCSTR pszFeatureKeyword, PCSTR pszAttribute,
                                                              PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                              PDWORD pcbNeeded)
{
    CHAR feature[kRewriteCapacity];
    if (translate_ && pszFeatureKeyword != nullptr) {
        if (!ToPpdKeyword(prefix_, pszFeatureKeyword, feature, sizeof(feature))) return E_INVALIDARG;
        pszFeatureKeyword = feature;
    }
    return host_->GetFeatureAttribute(pdevobj, dwFlags, pszFeatureKeyword, pszAttribute, pdwDataType, pbData,
                                      cbSize, pcbNeeded);
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags,
                                                             PCSTR pszFeatureKeyword, PCSTR pszOptionKeyword,
                                                             PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                             DWORD cbSize, PDWORD pcbNeeded)
{
    CHAR feature[kRewriteCapacity];
    CHAR option[kRewriteCapacity];
    if (translate_ && pszFeatureKeyword != nullptr) {
        if (!ToPpdKeyword(prefix_, pszFeatureKeyword, feature, sizeof(feature))) return E_INVALIDARG;
        pszFeatureKeyword = feature;
    }
    if (translate_ && pszOptionKeyword != nullptr) {
        if (!ToPpdKeyword(prefix_, pszOptionKeyword, option, sizeof(option))) return E_INVALIDARG;
        pszOptionKeyword = option;
    }
    return host_->GetOptionAttribute(pdevobj, dwFlags, pszFeatureKeyword, pszOptionKeyword, pszAttribute,
                                     pdwDataType, pbData, cbSize, pcbNeeded);
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, PSTR pmszFeatureList,
                                                       DWORD cbSize, PDWORD pcbNeeded)
{
    HRESULT hr = host_->EnumFeatures(pdevobj, dwFlags, pmszFeatureList, cbSize, pcbNeeded);
    if (translate_ && SUCCEEDED(hr) && pmszFeatureList != nullptr)
        ToSystemKeywordList(prefix_, pmszFeatureList, ReplyBytes(cbSize, pcbNeeded));
    return hr;
}

HRESULT STDMETHODCALLTYPE CoreHelperProxy::EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                      PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded)
{
    CHAR feature[kRewriteCapacity];
    if (translate_ && pszFeatureKeyword != nullptr) {
        if (!ToPpdKeyword(prefix_, pszFeatureKeyword, feature, sizeof(feature))) return E_INVALIDARG;
        pszFeatureKeyword = feature;
    }
    HRESULT hr = host_->EnumOptions(pdevobj, dwFlags, pszFeatureKeyword, pmszOptionList, cbSize, pcbNeeded);
    if (translate_ && SUCCEEDED(hr) && pmszOptionList != nullptr)
        ToSystemKeywordList(prefix_, pmszOptionList, ReplyBytes(cbSize, pcbNeeded));
    return hr;
}
