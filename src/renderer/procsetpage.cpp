// Page counting and the sheet rotation fragments of the procset server.
#include "procsetpage.h"

#include <cstring>

const CHAR kRotateSheetFragment[] =
    "grestore\r\n"
    "grestore\r\n"
    "180 rotate\r\n"
    "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
    "startpage\r\n"
    "gsave mysetup concat colspRefresh\r\n";

const CHAR kRotateSheetFragmentPortability[] =
    "userdict pagesave restore\r\n"
    "grestore\r\n"
    "grestore\r\n"
    "180 rotate\r\n"
    "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
    "startpage\r\n"
    "gsave userdict begin /pagesave save def end mysetup concat colspRefresh\r\n";

void InitPageState(PageState *state, PSProcServer *owner)
{
    memset(state, 0, sizeof(*state));
    state->owner = owner;
}

namespace {

void CopySlot(LPSTR destination, LPCSTR source)
{
    DWORD i = 0;
    if (source != nullptr)
        for (; i + 1 < kPageInputSlotSize && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
}

bool SameSlot(LPCSTR a, LPCSTR b) { return strncmp(a, b, kPageInputSlotSize) == 0; }

}  // namespace

void CountPage(PageState *state, const DEVMODEW *devmode, LPCSTR inputSlot, const LONG *pagesPerSheet)
{
    state->previousDevmode = state->currentDevmode;
    memcpy(state->previousInputSlot, state->currentInputSlot, kPageInputSlotSize);
    // The public part is kept whole for the next page's comparison, but read
    // only as far as the host's own dmSize says it goes: an older, shorter
    // public part leaves the rest of the copy zero.
    memset(&state->currentDevmode, 0, kPageDevmodeSize);
    if (devmode != nullptr)
        memcpy(&state->currentDevmode, devmode, devmode->dmSize < kPageDevmodeSize ? devmode->dmSize : kPageDevmodeSize);
    CopySlot(state->currentInputSlot, inputSlot);

    if (state->logicalPages == 0) {
        state->logicalPages = 1;
        state->physicalSheets = 1;
        state->position = 1;
        state->pagesPerSheet = pagesPerSheet != nullptr ? *pagesPerSheet : 1;
        state->rotateSheets = (state->pagesPerSheet == 2 || state->pagesPerSheet == 6) &&
                              state->currentDevmode.dmOrientation == DMORIENT_PORTRAIT;
        state->newSheet = TRUE;
        return;
    }

    const DEVMODEW &now = state->currentDevmode;
    const DEVMODEW &before = state->previousDevmode;
    // Another paper, another feed, or a full sheet: the page goes onto a
    // sheet of its own.
    bool sameSheet = now.dmPaperSize == before.dmPaperSize && now.dmPaperLength == before.dmPaperLength &&
                     now.dmPaperWidth == before.dmPaperWidth &&
                     SameSlot(state->currentInputSlot, state->previousInputSlot) &&
                     state->position != state->pagesPerSheet;
    if (sameSheet) {
        state->newSheet = FALSE;
    } else {
        state->position = 0;
        state->physicalSheets += 1;
        state->newSheet = TRUE;
    }
    state->logicalPages += 1;
    state->position += 1;
}

LPCSTR SelectRotateSheetFragment(LPCSTR outputFormat)
{
    if (outputFormat != nullptr && strcmp(outputFormat, "Portability") == 0) return kRotateSheetFragmentPortability;
    return kRotateSheetFragment;
}
