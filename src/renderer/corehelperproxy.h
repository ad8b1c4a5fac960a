// The core helper the rendering functions talk to: the host's IPrintCorePS2
// behind a translation of our own PPD keywords.
//
// Our rendering functions always speak of the PPD's own keywords with the
// prefix "KV"; a PPD installed under another two-letter prefix (the first
// letters of its file name) keeps working because every keyword going to
// the host gets that prefix instead, and every keyword coming back gets
// "KV" again.
#pragma once

#include "kvcontract.h"
#include "renderingunknown.h"

class CoreHelperProxy : public RenderingUnknown, public IPrintCorePS2 {
public:
    // HOST gets one reference for the proxy's lifetime. PREFIX is the PPD's
    // keyword prefix; translation is on when TRANSLATE is set.
    static CoreHelperProxy *Create(IPrintCorePS2 *host, const CHAR prefix[2], BOOL translate);

    // IPrintCorePS2 for the proxy itself, IUnknown as every object of ours;
    // any other interface is the host helper's business.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return RenderingUnknown::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RenderingUnknown::Release(); }

    HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                              DWORD *pdwResult) override;
    HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pmszFeaturesRequested, DWORD cbIn,
                                         PSTR pmszFeatureOptionBuf, DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszAttribute,
                                                 PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                 PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                  PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                  DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                 PCSTR pszOptionKeyword, PCSTR pszAttribute, PDWORD pdwDataType,
                                                 PBYTE pbData, DWORD cbSize, PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, PSTR pmszFeatureList, DWORD cbSize,
                                           PDWORD pcbNeeded) override;
    HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                          PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded) override;

    BOOL Translates() const { return translate_; }
    const CHAR *Prefix() const { return prefix_; }

private:
    CoreHelperProxy(IPrintCorePS2 *host, const CHAR prefix[2], BOOL translate);
    ~CoreHelperProxy() override;

    IPrintCorePS2 *host_;
    BOOL translate_;
    CHAR prefix_[3];
};
