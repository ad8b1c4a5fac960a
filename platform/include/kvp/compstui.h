// Emulated Win32: the common property sheet UI blocks that the host driver
// hands to its plug-ins (compstui.h on Windows).
//
// The host builds these and the plug-ins read or patch them in place, so
// they keep the Windows x64 layout; the Windows build asserts the same sizes
// against the system header (see src/contract/kvcontract.h).
#pragma once

#include <cstddef>

#include "kvp/base.h"

struct _OPTITEM;
struct _CPSUICBPARAM;

typedef LONG_PTR(CALLBACK *PFNCOMPROPSHEET)(HANDLE hComPropSheet, UINT Function, LPARAM lParam1, LPARAM lParam2);

typedef struct _PROPSHEETUI_INFO {
    WORD cbSize;
    WORD Version;
    WORD Flags;
    WORD Reason;
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    LPARAM lParamInit;
    ULONG_PTR UserData;
    ULONG_PTR Result;
} PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;

typedef LONG(CALLBACK *PFNPROPSHEETUI)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam);

typedef struct _SETRESULT_INFO {
    WORD cbSize;
    WORD wReserved;
    HANDLE hSetResult;
    LRESULT Result;
} SETRESULT_INFO, *PSETRESULT_INFO;

typedef struct _OPTPARAM {
    WORD cbSize;
    BYTE Flags;
    BYTE Style;
    LPWSTR pData;
    ULONG_PTR IconID;
    LPARAM lParam;
    ULONG_PTR dwReserved[2];
} OPTPARAM, *POPTPARAM;

typedef struct _OPTTYPE {
    WORD cbSize;
    BYTE Type;
    BYTE Flags;
    WORD Count;
    WORD BegCtrlID;
    POPTPARAM pOptParam;
    WORD Style;
    WORD wReserved[3];
    ULONG_PTR dwReserved[3];
} OPTTYPE, *POPTTYPE;

// Extension boxes and the item extension: the plug-ins only carry the
// pointers, so the blocks stay opaque.
struct _EXTCHKBOX;
struct _EXTPUSH;
struct _OIEXT;
typedef struct _EXTCHKBOX *PEXTCHKBOX;
typedef struct _EXTPUSH *PEXTPUSH;
typedef struct _OIEXT *POIEXT;

typedef struct _OPTITEM {
    WORD cbSize;
    BYTE Level;
    BYTE DlgPageIdx;
    DWORD Flags;
    ULONG_PTR UserData;
    LPWSTR pName;
    union {
        LONG Sel;
        LPWSTR pSel;
    };
    union {
        PEXTCHKBOX pExtChkBox;
        PEXTPUSH pExtPush;
    };
    POPTTYPE pOptType;
    DWORD HelpIndex;
    BYTE DMPubID;
    BYTE UserItemID;
    WORD wReserved;
    POIEXT pOIExt;
    ULONG_PTR dwReserved[3];
} OPTITEM, *POPTITEM;

typedef LONG(CALLBACK *_CPSUICALLBACK)(struct _CPSUICBPARAM *pCPSUICBParam);

typedef struct _CPSUICBPARAM {
    WORD cbSize;
    WORD Reason;
    HWND hDlg;
    POPTITEM pOptItem;
    WORD cOptItem;
    WORD Flags;
    POPTITEM pCurItem;
    union {
        LONG OldSel;
        LPWSTR pOldSel;
    };
    ULONG_PTR UserData;
    ULONG_PTR Result;
} CPSUICBPARAM, *PCPSUICBPARAM;

static_assert(offsetof(OPTITEM, pName) == 16, "OPTITEM layout");
static_assert(offsetof(OPTITEM, Sel) == 24, "OPTITEM layout");
static_assert(offsetof(OPTITEM, pOptType) == 40, "OPTITEM layout");
static_assert(offsetof(OPTITEM, DMPubID) == 52, "OPTITEM layout");
static_assert(offsetof(CPSUICBPARAM, pCurItem) == 32, "CPSUICBPARAM layout");
static_assert(offsetof(CPSUICBPARAM, OldSel) == 40, "CPSUICBPARAM layout");
static_assert(offsetof(PROPSHEETUI_INFO, lParamInit) == 24, "PROPSHEETUI_INFO layout");

// Reasons of the plug-in's property sheet function.
#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3
#define PROPSHEETUI_REASON_GET_ICON 4

// Functions of the host's pfnComPropSheet.
#define CPSFUNC_ADD_PROPSHEETPAGEW 1
#define CPSFUNC_SET_RESULT 9

#define CPSUI_CANCEL 0
#define CPSUI_OK 1

// Option item callbacks.
#define CPSUICB_REASON_SEL_CHANGED 0
#define CPSUICB_REASON_PUSHBUTTON 1
#define CPSUICB_REASON_ECB_CHANGED 2
#define CPSUICB_REASON_DLGPROC 3
#define CPSUICB_REASON_UNDO_CHANGES 4
#define CPSUICB_REASON_EXTPUSH 5
#define CPSUICB_REASON_APPLYNOW 6
#define CPSUICB_REASON_OPTITEM_SETFOCUS 7
#define CPSUICB_REASON_ITEMS_REVERTED 8
#define CPSUICB_REASON_ABOUT 9
#define CPSUICB_REASON_SETACTIVE 10
#define CPSUICB_REASON_KILLACTIVE 11

#define CPSUICB_ACTION_NONE 0
#define CPSUICB_ACTION_OPTIF_CHANGED 1
#define CPSUICB_ACTION_REINIT_ITEMS 2
#define CPSUICB_ACTION_NO_APPLY_EXIT 3
#define CPSUICB_ACTION_ITEMS_APPLIED 4

// Option item flags.
#define OPTIF_COLLAPSE 0x00000001L
#define OPTIF_HIDE 0x00000002L
#define OPTIF_CALLBACK 0x00000004L
#define OPTIF_CHANGED 0x00000008L
#define OPTIF_CHANGEONCE 0x00000010L
#define OPTIF_DISABLED 0x00000020L

// Option types.
#define TVOT_2STATES 0
#define TVOT_3STATES 1
#define TVOT_UDARROW 2
#define TVOT_TRACKBAR 3
#define TVOT_SCROLLBAR 4
#define TVOT_LISTBOX 5
#define TVOT_COMBOBOX 6
#define TVOT_EDITBOX 7
#define TVOT_PUSHBUTTON 8
#define TVOT_CHKBOX 9
