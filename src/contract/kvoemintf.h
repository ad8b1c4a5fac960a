// The host PostScript driver's COM interfaces: the two the plug-ins
// implement (IPrintOemUI2, IPrintOemPS2) and the two helpers the host
// publishes to them (IPrintCoreUI2, IPrintCorePS2).
//
// INVARIANT: every method is a pure virtual in the host's slot order and no
// class has a virtual destructor, so the vtable is exactly the COM one on
// both ABIs. Never add, remove or reorder a method. Include kvcontract.h,
// not this file.
#pragma once

#include "kvsys.h"

// winspool.h maps this name to its A/W variant; here it is a method.
#undef DeviceCapabilities

// Slots 3 and 4, shared by the UI and the render plug-in interfaces.
struct IPrintOemCommon : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) = 0;
};

// Slots 5 to 16.
struct IPrintOemUI : public IPrintOemCommon {
    virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *pIUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO pDQPInfo,
                                                      PDEVMODEW pPublicDM, PVOID pOEMDM) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ poemuiobj, HANDLE hPrinter, PWSTR pDeviceName,
                                                         WORD wCapability, PVOID pOutput, PDEVMODEW pPublicDM,
                                                         PVOID pOEMDM, DWORD dwOld, DWORD *dwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD dwLevel, PBYTE pDriverUpgradeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags,
                                                   LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DriverEvent(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo,
                                                  LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE hPrinter, POEMUIOBJ poemuiobj, PDEVMODEW pPublicDM,
                                                        PVOID pOEMDM, ULONG ulQueryMode, VOID *pvProfileData,
                                                        ULONG *pcbProfileData, FLONG *pflProfileData) = 0;
    virtual HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND hWnd, UINT usMsg, WPARAM wParam, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE hPrinter, HANDLE hHeap, PWSTR pwstrCartridges) = 0;
};

// Slots 17 to 19.
struct IPrintOemUI2 : public IPrintOemUI {
    virtual HRESULT STDMETHODCALLTYPE QueryJobAttributes(HANDLE hPrinter, PDEVMODEW pDevmode, DWORD dwLevel,
                                                         LPBYTE lpAttributeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE HideStandardUI(DWORD dwMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE DocumentEvent(HANDLE hPrinter, HDC hdc, INT iEsc, ULONG cbIn, PVOID pvIn,
                                                    ULONG cbOut, PVOID pvOut, PINT piResult) = 0;
};

// The host UI's helper, slots 3 to 5.
struct IPrintOemDriverUI : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pci, PCSTR Feature, PVOID pOutput, DWORD cbSize,
                                                          PDWORD pcbNeeded, PDWORD pdwOptionsReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE hPrinter, PCSTR pFeature, PCSTR pOption) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection,
                                                         DWORD dwMode) = 0;
};

// Slots 6 to 15. Feature and option lists are NUL-separated and end with an
// empty string.
struct IPrintCoreUI2 : public IPrintOemDriverUI {
    virtual HRESULT STDMETHODCALLTYPE GetOptions(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pmszFeaturesRequested,
                                                 DWORD cbIn, PSTR pmszFeatureOptionBuf, DWORD cbSize,
                                                 PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOptions(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pmszFeatureOptionBuf,
                                                 DWORD cbIn, PDWORD pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumConstrainedOptions(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                             PSTR pmszConstrainedOptionList, DWORD cbSize,
                                                             PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE WhyConstrained(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                     PCSTR pszOptionKeyword, PSTR pmszReasonList, DWORD cbSize,
                                                     PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGlobalAttribute(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszAttribute,
                                                         PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                         PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFeatureAttribute(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                          PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                          DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOptionAttribute(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                         PCSTR pszOptionKeyword, PCSTR pszAttribute,
                                                         PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                         PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFeatures(POEMUIOBJ poemuiobj, DWORD dwFlags, PSTR pmszFeatureList,
                                                   DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumOptions(POEMUIOBJ poemuiobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                  PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE QuerySimulationSupport(HANDLE hPrinter, DWORD dwLevel, PBYTE pCaps,
                                                             DWORD cbSize, PDWORD pcbNeeded) = 0;
};

// Slots 5 to 11.
struct IPrintOemPS : public IPrintOemCommon {
    virtual HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize, PDRVENABLEDATA pded) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisableDriver() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                                 HSURF *phsurfPatterns, ULONG cjGdiInfo, GDIINFO *pGdiInfo,
                                                 ULONG cjDevInfo, DEVINFO *pDevInfo, DRVENABLEDATA *pded,
                                                 PDEVOEM *pDevOem) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) = 0;
    virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *pIUnknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE Command(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pData, DWORD cbSize,
                                              DWORD *pdwResult) = 0;
};

// Slots 12 and 13. The host probes WritePrinter once with a null device,
// a null buffer and size 0: S_OK tells it the method is implemented.
struct IPrintOemPS2 : public IPrintOemPS {
    virtual HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer,
                                                   PDWORD pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType, PVOID pBuf,
                                                        DWORD cbBuffer, BOOL *pbAdjustmentDone) = 0;
};

// The host renderer's helper, slots 3 to 9. Slot 3 is the host's spool
// buffer write, which puts bytes into the job's output stream.
struct IPrintCorePS2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                      DWORD *pdwResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pmszFeaturesRequested,
                                                 DWORD cbIn, PSTR pmszFeatureOptionBuf, DWORD cbSize,
                                                 PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszAttribute,
                                                         PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                         PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                          PCSTR pszAttribute, PDWORD pdwDataType, PBYTE pbData,
                                                          DWORD cbSize, PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                         PCSTR pszOptionKeyword, PCSTR pszAttribute,
                                                         PDWORD pdwDataType, PBYTE pbData, DWORD cbSize,
                                                         PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ pdevobj, DWORD dwFlags, PSTR pmszFeatureList, DWORD cbSize,
                                                   PDWORD pcbNeeded) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ pdevobj, DWORD dwFlags, PCSTR pszFeatureKeyword,
                                                  PSTR pmszOptionList, DWORD cbSize, PDWORD pcbNeeded) = 0;
};
