// Emulated Win32: property sheet pages as the host's page-adding callback
// receives them (prsht.h on Windows).
//
// Only the page description is here: the host adds the plug-ins' pages
// through its own callback, so the pages never reach a real property sheet
// API. The layout is the one that carries hActCtx (96 bytes on x64), which
// is what the Windows build gets from prsht.h for our target version.
#pragma once

#include <cstddef>

#include "kvp/base.h"

typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

struct _PROPSHEETPAGEW;
typedef UINT(CALLBACK *LPFNPSPCALLBACKW)(HWND hwnd, UINT uMsg, struct _PROPSHEETPAGEW *ppsp);

// A dialog template in memory; the page only passes its address on.
struct DLGTEMPLATE;
typedef const DLGTEMPLATE *PROPSHEETPAGE_RESOURCE;

typedef struct _PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        PROPSHEETPAGE_RESOURCE pResource;
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKW pfnCallback;
    UINT *pcRefParent;
    LPCWSTR pszHeaderTitle;
    LPCWSTR pszHeaderSubTitle;
    HANDLE hActCtx;
} PROPSHEETPAGEW, *LPPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW *LPCPROPSHEETPAGEW;
typedef PROPSHEETPAGEW PROPSHEETPAGE;
typedef LPPROPSHEETPAGEW LPPROPSHEETPAGE;

static_assert(sizeof(PROPSHEETPAGEW) == 96, "PROPSHEETPAGEW with hActCtx is 96 bytes on x64");
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40, "PROPSHEETPAGEW layout");
static_assert(offsetof(PROPSHEETPAGEW, lParam) == 48, "PROPSHEETPAGEW layout");
static_assert(offsetof(PROPSHEETPAGEW, hActCtx) == 88, "PROPSHEETPAGEW layout");

#define PSP_DEFAULT 0x00000000
#define PSP_DLGINDIRECT 0x00000001
#define PSP_USEHICON 0x00000002
#define PSP_USEICONID 0x00000004
#define PSP_USETITLE 0x00000008
#define PSP_RTLREADING 0x00000010
#define PSP_HASHELP 0x00000020
#define PSP_USEREFPARENT 0x00000040
#define PSP_USECALLBACK 0x00000080
#define PSP_PREMATURE 0x00000400
#define PSP_HIDEHEADER 0x00000800
#define PSP_USEHEADERTITLE 0x00001000
#define PSP_USEHEADERSUBTITLE 0x00002000
#define PSP_USEFUSIONCONTEXT 0x00004000

#define PSPCB_ADDREF 0
#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

// Page notifications (WM_NOTIFY codes) and their answers.
#define PSN_FIRST (0U - 200U)
#define PSN_SETACTIVE (PSN_FIRST - 0)
#define PSN_KILLACTIVE (PSN_FIRST - 1)
#define PSN_APPLY (PSN_FIRST - 2)
#define PSN_RESET (PSN_FIRST - 3)
#define PSN_HELP (PSN_FIRST - 5)
#define PSN_QUERYCANCEL (PSN_FIRST - 9)
#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

// Page to sheet messages (WM_USER + n).
#define PSM_CHANGED (0x0400 + 104)
#define PSM_UNCHANGED (0x0400 + 109)
