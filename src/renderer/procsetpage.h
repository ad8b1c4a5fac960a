// What the procset server knows about the pages of a document: how many
// logical pages and physical sheets have begun, where the current page sits
// on its sheet, and whether the sheet it begins must be turned.
//
// N-up output in portrait puts two or six pages on a sheet that the
// printer then feeds the other way round; turning every new sheet's
// coordinate system by 180 degrees makes the pages come out upright. The
// two fragments that do this redo the page set-up the host has just
// written, so they are tied to the host's prolog (its startpage procedure,
// its mysetup matrix, colspRefresh and, in "Portability" output, the
// pagesave convention).
#pragma once

#include "kvsys.h"
#include "kvcontract.h"

class PSProcServer;

// Bytes of the public DEVMODEW kept for each page, and of an input slot.
constexpr DWORD kPageDevmodeSize = 220;
constexpr DWORD kPageInputSlotSize = 64;
static_assert(sizeof(DEVMODEW) == kPageDevmodeSize, "the public DEVMODEW is kept whole");

struct PageState {
    LONG logicalPages;    // pages begun so far; 0 before the first page
    LONG physicalSheets;  // sheets begun so far
    LONG position;        // 1-based place of the current page on its sheet
    LONG pagesPerSheet;   // decided at the first page
    DEVMODEW currentDevmode;
    DEVMODEW previousDevmode;
    BYTE rotateSheets;    // decided at the first page
    BYTE newSheet;        // the current page begins a physical sheet
    CHAR currentInputSlot[kPageInputSlotSize];
    CHAR previousInputSlot[kPageInputSlotSize];
    PSProcServer *owner;
};

// Nothing counted yet.
void InitPageState(PageState *state, PSProcServer *owner);

// True before the first page: the caller then looks "%PagePerSheet" up for
// CountPage.
inline BOOL IsBeforeFirstPage(const PageState *state) { return state->logicalPages == 0; }

// Counts the page that begins now. DEVMODE is the job's public DEVMODEW at
// this page (null counts as all zero), INPUTSLOT its "InputSlot" option
// (null when the lookup failed: an empty slot). PAGESPERSHEET is read at
// the first page only; null there (the lookup failed) counts as one page
// per sheet.
void CountPage(PageState *state, const DEVMODEW *devmode, LPCSTR inputSlot, const LONG *pagesPerSheet);

// Whether the page that just began needs its sheet turned (capability bit
// 0x1 of the printer's model given by the caller).
inline BOOL NeedsRotation(const PageState *state, BOOL pageOutputHandling)
{
    return state->newSheet && state->rotateSheets && pageOutputHandling;
}

// Everything the server writes at one injection point lies between these.
inline constexpr CHAR kInsertBeginMarker[] = "%-OEMPluginInsertBegin\r\n";
inline constexpr CHAR kInsertEndMarker[] = "%-OEMPluginInsertEnd\r\n";

// The sheet rotation for every output format but "Portability", and for
// "Portability" (which also restores and saves the host's VM state).
extern const CHAR kRotateSheetFragment[];
extern const CHAR kRotateSheetFragmentPortability[];
// The fragment for an "%OutputFormat" option.
LPCSTR SelectRotateSheetFragment(LPCSTR outputFormat);
