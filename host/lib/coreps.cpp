// The host's IPrintCorePS2: the render plug-in's window on the document's
// options and on the host's output stream.
#include "kvhost/renderhost.h"

namespace kvhost {
namespace {

std::vector<std::string> Keyword(PCSTR keyword)
{
    return keyword != nullptr ? std::vector<std::string>{keyword} : std::vector<std::string>{};
}

}  // namespace

HRESULT CorePS::Record(const char *method, std::vector<std::string> keywords, HRESULT result)
{
    calls_.push_back({method, std::move(keywords), result});
    return result;
}

HRESULT STDMETHODCALLTYPE CorePS::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintCorePS2)) {
        *ppv = static_cast<IPrintCorePS2 *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CorePS::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE CorePS::Release() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

HRESULT STDMETHODCALLTYPE CorePS::DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult)
{
    if (pdevobj == nullptr || (pBuffer == nullptr && cbSize != 0))
        return Record("DrvWritePrinter", {}, E_INVALIDARG);
    DWORD written = 0;
    HRESULT hr = stream_ != nullptr ? stream_->WriteStream(pdevobj, static_cast<const BYTE *>(pBuffer), cbSize,
                                                           &written)
                                    : E_FAIL;
    if (pdwResult != nullptr) *pdwResult = written;
    return Record("DrvWritePrinter", {}, hr);
}

HRESULT STDMETHODCALLTYPE CorePS::GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pmszFeaturesRequested, DWORD cbIn,
                                            PSTR pmszFeatureOptionBuf, DWORD cbSize, PDWORD pcbNeeded)
{
    std::vector<std::string> keywords;
    if (pmszFeaturesRequested != nullptr) keywords = SplitMultiString(pmszFeaturesRequested, cbIn);
    if (getOptionsFailure_ != S_OK) return Record("GetOptions", keywords, getOptionsFailure_);
    if (options_ == nullptr || pdevobj == nullptr || pcbNeeded == nullptr)
        return Record("GetOptions", keywords, E_INVALIDARG);
    return Record("GetOptions", keywords,
                  options_->GetOptions(pmszFeaturesRequested, cbIn, pmszFeatureOptionBuf, cbSize, pcbNeeded));
}

HRESULT STDMETHODCALLTYPE CorePS::GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszAttribute,
                                                    PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                    PDWORD pcbNeeded)
{
    return Record("GetGlobalAttribute", Keyword(pszAttribute), E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CorePS::GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                     PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                     DWORD cbSize, PDWORD pcbNeeded)
{
    return Record("GetFeatureAttribute", Keyword(pszFeatureKeyword), E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CorePS::GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                    PCSTR pszOptionKeyword, PCSTR pszAttribute, PDWORD pdwDataType,
                                                    PBYTE pbData, DWORD cbSize, PDWORD pcbNeeded)
{
    std::vector<std::string> keywords = Keyword(pszFeatureKeyword);
    if (pszOptionKeyword != nullptr) keywords.push_back(pszOptionKeyword);
    return Record("GetOptionAttribute", keywords, E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE CorePS::EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, PSTR pmszFeatureList, DWORD cbSize,
                                              PDWORD pcbNeeded)
{
    if (options_ == nullptr || pcbNeeded == nullptr) return Record("EnumFeatures", {}, E_INVALIDARG);
    return Record("EnumFeatures", {}, options_->EnumFeatures(pmszFeatureList, cbSize, pcbNeeded));
}

HRESULT STDMETHODCALLTYPE CorePS::EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                             PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded)
{
    if (options_ == nullptr || pszFeatureKeyword == nullptr || pcbNeeded == nullptr)
        return Record("EnumOptions", Keyword(pszFeatureKeyword), E_INVALIDARG);
    return Record("EnumOptions", Keyword(pszFeatureKeyword),
                  options_->EnumOptions(pszFeatureKeyword, pmszOptionList, cbSize, pcbNeeded));
}

}  // namespace kvhost
