// The host PostScript driver's plug-in blocks, constants and class and
// interface ids: what the host hands to the plug-ins and expects back.
//
// No header of the Windows cross compiler declares these, so they are ours
// on both targets. Include kvcontract.h, not this file.
#pragma once

#include "kvsys.h"

// The host's header in front of every plug-in's private DEVMODE record.
// dwSize counts the whole record, this header included.
typedef struct _OEM_DMEXTRAHEADER {
    DWORD dwSize;
    DWORD dwSignature;
    DWORD dwVersion;
} OEM_DMEXTRAHEADER, *POEM_DMEXTRAHEADER;

// DevMode's parameter block. cbBufSize is what the host allotted behind
// pOEMDMOut (OEMDM_SIZE writes the size the plug-in needs into it).
typedef struct _OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PDEVMODEW pPublicDMIn;
    PDEVMODEW pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
} OEMDMPARAM, *POEMDMPARAM;

typedef BOOL(APIENTRY *PFN_DrvGetDriverSetting)(PVOID pdriverobj, PCSTR Feature, PVOID pOutput, DWORD cbSize,
                                                PDWORD pcbNeeded, PDWORD pdwOptionsReturned);
typedef BOOL(APIENTRY *PFN_DrvUpdateUISetting)(PVOID pdriverobj, PVOID pOptItem, DWORD dwPreviousSelection,
                                               DWORD dwMode);

typedef struct _OEMUIPROCS {
    PFN_DrvGetDriverSetting DrvGetDriverSetting;
    PFN_DrvUpdateUISetting DrvUpdateUISetting;
} OEMUIPROCS, *POEMUIPROCS;

// The host's UI object: plug-ins only hand it back to the host.
typedef struct _OEMUIOBJ {
    DWORD cbSize;
    POEMUIPROCS pOemUIProcs;
} OEMUIOBJ, *POEMUIOBJ;

// The host's block for DocumentPropertySheets and DevicePropertySheets
// (PROPSHEETUI_INFO.lParamInit points to it).
typedef struct _OEMUIPSPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    PVOID pOEMUserData;
    DWORD dwFlags;
    PVOID pOemEntry;
} OEMUIPSPARAM, *POEMUIPSPARAM;

struct _OEMCUIPPARAM;
typedef LONG(APIENTRY *OEMCUIPCALLBACK)(PCPSUICBPARAM pCallbackParam, struct _OEMCUIPPARAM *pOEMUIParam);

// The host's block for CommonUIProp: its own option items and room for ours.
typedef struct _OEMCUIPPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    DWORD dwFlags;
    POPTITEM pDrvOptItems;
    DWORD cDrvOptItems;
    POPTITEM pOEMOptItems;
    DWORD cOEMOptItems;
    PVOID pOEMUserData;
    OEMCUIPCALLBACK OEMCUIPCallback;
} OEMCUIPPARAM, *POEMCUIPPARAM;

// What the UserData of each of the host's own option items points to; the
// keyword names the PPD feature behind the item.
typedef struct _USERDATA {
    DWORD dwSize;
    ULONG_PTR dwItemID;
    PSTR pKeyWordName;
    DWORD dwReserved[8];
} USERDATA, *PUSERDATA;

// The render side's view of one device; pdevOEM is what EnablePDEV returned.
typedef PVOID PDEVOEM;
typedef struct _DEVOBJ {
    DWORD dwSize;
    PDEVOEM pdevOEM;
    HANDLE hEngine;
    HANDLE hPrinter;
    HANDLE hOEM;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    PVOID pDrvProcs;
} DEVOBJ, *PDEVOBJ;

typedef struct _DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    PDEVMODEW pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
} DEVQUERYPRINT_INFO, *PDEVQUERYPRINT_INFO;

typedef struct _DRIVER_UPGRADE_INFO_1 {
    LPWSTR pPrinterName;
    LPWSTR pOldDriverDirectory;
} DRIVER_UPGRADE_INFO_1, *PDRIVER_UPGRADE_INFO_1;

// GetInfo modes.
#define OEMGI_GETSIGNATURE 1
#define OEMGI_GETINTERFACEVERSION 2
#define OEMGI_GETVERSION 3

// DevMode modes.
#define OEMDM_SIZE 1
#define OEMDM_DEFAULT 2
#define OEMDM_CONVERT 3
#define OEMDM_MERGE 4

// CommonUIProp modes.
#define OEMCUIP_DOCPROP 1
#define OEMCUIP_PRNPROP 2

#define PRINTER_OEMINTF_VERSION 0x00010000

// OEMUIPSPARAM.dwFlags: the user may look but not change.
#define DM_NOPERMISSION 0x00000020  // document sheets
#define DPS_NOPERMISSION 0x00000001 // device sheets

#ifndef _WIN32
// Injection points of Command (wingdi.h declares them on Windows).
#define PSINJECT_BEGINSTREAM 1
#define PSINJECT_PSADOBE 2
#define PSINJECT_PAGESATEND 3
#define PSINJECT_PAGES 4
#define PSINJECT_DOCNEEDEDRES 5
#define PSINJECT_DOCSUPPLIEDRES 6
#define PSINJECT_PAGEORDER 7
#define PSINJECT_ORIENTATION 8
#define PSINJECT_BOUNDINGBOX 9
#define PSINJECT_DOCUMENTPROCESSCOLORS 10
#define PSINJECT_COMMENTS 11
#define PSINJECT_BEGINDEFAULTS 12
#define PSINJECT_ENDDEFAULTS 13
#define PSINJECT_BEGINPROLOG 14
#define PSINJECT_ENDPROLOG 15
#define PSINJECT_BEGINSETUP 16
#define PSINJECT_ENDSETUP 17
#define PSINJECT_TRAILER 18
#define PSINJECT_EOF 19
#define PSINJECT_ENDSTREAM 20
#define PSINJECT_PAGENUMBER 100
#define PSINJECT_BEGINPAGESETUP 101
#define PSINJECT_ENDPAGESETUP 102
#define PSINJECT_PAGETRAILER 103
#define PSINJECT_PLATECOLOR 104
#define PSINJECT_SHOWPAGE 105
#define PSINJECT_PAGEBBOX 106
#define PSINJECT_ENDPAGECOMMENTS 107
#endif

// Class and interface ids of the host's plug-in contract.
inline constexpr CLSID CLSID_OEMUI = {0xABCE80D7, 0x9F46, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr CLSID CLSID_OEMRENDER = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr IID IID_IPrintOemUI = {0xC6A7A9D0, 0x774C, 0x11D1, {0x94, 0x7F, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
inline constexpr IID IID_IPrintOemUI2 = {0x292515F9, 0xB54B, 0x489B, {0x92, 0x75, 0xBA, 0xB5, 0x68, 0x21, 0x39, 0x5E}};
inline constexpr IID IID_IPrintCoreUI2 = {0x085CCFCA, 0x3ADF, 0x4C9E, {0xB4, 0x91, 0xD8, 0x51, 0xA6, 0xED, 0xC9, 0x97}};
inline constexpr IID IID_IPrintOemPS = {0x688342B5, 0x8E1A, 0x11D1, {0x88, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
inline constexpr IID IID_IPrintOemPS2 = {0xBECF7F34, 0x51B3, 0x46C9, {0x8A, 0x1C, 0x18, 0x67, 0x9B, 0xD2, 0x1F, 0x36}};
inline constexpr IID IID_IPrintCorePS2 = {0xCDBB0B0B, 0xA917, 0x40D7, {0x9F, 0xBF, 0x48, 0x3B, 0x3B, 0xE7, 0xEF, 0x22}};
