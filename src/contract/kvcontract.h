// The host contract: everything the host PostScript driver and the spooler
// exchange with the plug-ins, declared once for both targets. Product code
// includes this header (after or instead of kvsys.h) and nothing else of
// src/contract.
//
// Where the Windows cross compiler ships a header for a block (the common
// property sheet UI, the driver UI events, property sheet pages, the
// DEVMODEW), the Windows build takes the block from there and the native
// build from our emulated platform; the asserts at the end hold on both, so
// the Windows build proves that our native layouts are the system's.
// Everything the system headers lack is ours on both targets.
#pragma once

#include <cstddef>

#include "kvsys.h"

#ifdef _WIN32
#include <compstui.h>
#include <winddiui.h>
#else
#include "kvp/compstui.h"
#include "kvp/ddi.h"
#include "kvp/devmode.h"
#include "kvp/prsht.h"
#endif

#include "kvgdidriver.h"
#include "kvoem.h"
#include "kvoemintf.h"

// Layouts exchanged with the host, as the x64 host lays them out.
namespace kvcontract_layout {
constexpr bool kWide = sizeof(void *) == 8;

static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmSpecVersion) == 64, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmSize) == 68, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmDriverExtra) == 70, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmFields) == 72, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmOrientation) == 76, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmPaperSize) == 78, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmPaperLength) == 80, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmPaperWidth) == 82, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmCopies) == 86, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmDefaultSource) == 88, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmCollate) == 100, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmFormName) == 102, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmNup) == 180, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmICMMethod) == 188, "DEVMODEW");
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216, "DEVMODEW");

static_assert(sizeof(OEM_DMEXTRAHEADER) == 12, "OEM_DMEXTRAHEADER");
static_assert(!kWide || sizeof(OEMDMPARAM) == 72, "OEMDMPARAM");
static_assert(!kWide || offsetof(OEMDMPARAM, pOEMDMIn) == 48, "OEMDMPARAM");
static_assert(!kWide || offsetof(OEMDMPARAM, cbBufSize) == 64, "OEMDMPARAM");
static_assert(!kWide || sizeof(OEMUIOBJ) == 16, "OEMUIOBJ");
static_assert(!kWide || sizeof(OEMUIPSPARAM) == 88, "OEMUIPSPARAM");
static_assert(!kWide || offsetof(OEMUIPSPARAM, pOEMUserData) == 64, "OEMUIPSPARAM");
static_assert(!kWide || offsetof(OEMUIPSPARAM, dwFlags) == 72, "OEMUIPSPARAM");
static_assert(!kWide || sizeof(OEMCUIPPARAM) == 120, "OEMCUIPPARAM");
static_assert(!kWide || offsetof(OEMCUIPPARAM, pOEMOptItems) == 88, "OEMCUIPPARAM");
static_assert(!kWide || offsetof(OEMCUIPPARAM, OEMCUIPCallback) == 112, "OEMCUIPPARAM");
static_assert(!kWide || sizeof(DEVOBJ) == 64, "DEVOBJ");
static_assert(!kWide || offsetof(DEVOBJ, hPrinter) == 24, "DEVOBJ");
static_assert(!kWide || offsetof(DEVOBJ, pPublicDM) == 40, "DEVOBJ");
static_assert(!kWide || sizeof(USERDATA) == 56, "USERDATA");
static_assert(!kWide || sizeof(DEVQUERYPRINT_INFO) == 40, "DEVQUERYPRINT_INFO");
static_assert(!kWide || sizeof(DRIVER_UPGRADE_INFO_1) == 16, "DRIVER_UPGRADE_INFO_1");

static_assert(!kWide || sizeof(PROPSHEETUI_INFO) == 48, "PROPSHEETUI_INFO");
static_assert(!kWide || sizeof(SETRESULT_INFO) == 24, "SETRESULT_INFO");
static_assert(!kWide || sizeof(OPTPARAM) == 48, "OPTPARAM");
static_assert(!kWide || sizeof(OPTTYPE) == 48, "OPTTYPE");
static_assert(!kWide || sizeof(OPTITEM) == 88, "OPTITEM");
static_assert(!kWide || offsetof(OPTITEM, UserData) == 8, "OPTITEM");
static_assert(!kWide || offsetof(OPTITEM, pName) == 16, "OPTITEM");
static_assert(!kWide || offsetof(OPTITEM, Sel) == 24, "OPTITEM");
static_assert(!kWide || offsetof(OPTITEM, pOptType) == 40, "OPTITEM");
static_assert(!kWide || offsetof(OPTITEM, DMPubID) == 52, "OPTITEM");
static_assert(!kWide || sizeof(CPSUICBPARAM) == 64, "CPSUICBPARAM");
static_assert(!kWide || offsetof(CPSUICBPARAM, pCurItem) == 32, "CPSUICBPARAM");
static_assert(!kWide || offsetof(CPSUICBPARAM, OldSel) == 40, "CPSUICBPARAM");
static_assert(!kWide || offsetof(CPSUICBPARAM, Result) == 56, "CPSUICBPARAM");
static_assert(!kWide || sizeof(PROPSHEETPAGEW) == 96, "PROPSHEETPAGEW");
static_assert(!kWide || offsetof(PROPSHEETPAGEW, hActCtx) == 88, "PROPSHEETPAGEW");
static_assert(sizeof(DOCEVENT_FILTER) == 20, "DOCEVENT_FILTER");
static_assert(!kWide || sizeof(DOCEVENT_CREATEDCPRE) == 32, "DOCEVENT_CREATEDCPRE");

static_assert(!kWide || sizeof(DRVFN) == 16, "DRVFN");
static_assert(!kWide || sizeof(DRVENABLEDATA) == 16, "DRVENABLEDATA");
static_assert(!kWide || sizeof(DEVINFO) == 312, "DEVINFO");
static_assert(!kWide || sizeof(GDIINFO) == 320, "GDIINFO");

// Constants the system headers define on Windows and we define natively.
static_assert(PSINJECT_BEGINSTREAM == 1 && PSINJECT_ENDSTREAM == 20, "PSINJECT");
static_assert(PSINJECT_BEGINPAGESETUP == 101 && PSINJECT_ENDPAGESETUP == 102, "PSINJECT");
static_assert(CPSFUNC_ADD_PROPSHEETPAGEW == 1 && CPSFUNC_SET_RESULT == 9, "CPSFUNC");
static_assert(CPSUICB_REASON_APPLYNOW == 6 && CPSUICB_REASON_SETACTIVE == 10, "CPSUICB_REASON");
static_assert(CPSUICB_ACTION_ITEMS_APPLIED == 4 && OPTIF_CHANGED == 8, "CPSUICB_ACTION");
static_assert(PROPSHEETUI_REASON_SET_RESULT == 3 && CPSUI_OK == 1, "PROPSHEETUI");
static_assert(DOCUMENTEVENT_QUERYFILTER == 14 && DOCUMENTEVENT_LAST == 15, "DOCUMENTEVENT");
static_assert(DOCUMENTEVENT_FAILURE == -1 && PRINTER_EVENT_DELETE == 4, "events");
static_assert(DM_COPIES == 0x100 && DM_PAPERSIZE == 0x2 && DMORIENT_PORTRAIT == 1, "DEVMODEW fields");
static_assert(PSP_USEFUSIONCONTEXT == 0x4000 && PSP_HASHELP == 0x20, "PSP");
}  // namespace kvcontract_layout
