// Dialog items, pages and print-time checks.
#include "uicntrl.h"

#include "coremain.h"

namespace {
// Longest message text, terminator included.
constexpr int kMessageCapacity = 1024;
}  // namespace

int ShowResourceMessage(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    WCHAR loaded[kMessageCapacity];
    if (IS_INTRESOURCE(text)) {
        HMODULE resources = GetResourceModule();
        if (resources == nullptr) return 0;
        if (LoadStringW(resources, LOWORD(reinterpret_cast<ULONG_PTR>(text)), loaded, kMessageCapacity) <= 0)
            return 0;
        text = loaded;
    }
    return MessageBoxW(owner, text, caption, type);
}

INT_PTR CALLBACK PropertyPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The Options tab's page object comes with the page framework; until
    // then the page accepts its initialisation and handles nothing.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

BOOL ApplySelectionRules(PCPSUICBPARAM cb, POEMCUIPPARAM param)
{
    // The conflict rules come with the Options tab; nothing to change yet.
    return FALSE;
}

BOOL ApplyActivationRule(PCPSUICBPARAM cb, POEMCUIPPARAM param)
{
    return FALSE;
}

INT HandleDocumentEvent(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in, ULONG outSize, PVOID out)
{
    // The print-time checks and the job information come with their own
    // change; until then the spooler treats every event as one we do not
    // handle.
    return DOCUMENTEVENT_UNSUPPORTED;
}
