// Dialog items, pages and print-time checks of the UI plug-in.
//
// This change brings what the plug-in object needs from here: the resource
// message box, the property page procedure the Options tab is added with,
// the conflict rules the host's document options callback runs, and the
// document event handler. The page contents, the conflict rules and the
// print-time checks themselves come with their own changes; until then the
// procedures answer as the page framework will, and do nothing else.
#pragma once

#include "kvcontract.h"

// Shows a message box. TEXT is a string id of the model library when it is
// below 0x10000 (a string that cannot be loaded shows nothing and answers
// 0); otherwise the text itself. Answers what MessageBoxW answered.
int ShowResourceMessage(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// The dialog procedure of our property pages (the Options tab).
INT_PTR CALLBACK PropertyPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Conflict rules on the host's own document options. Each answers whether
// it changed one of the host's items.
//   on a selection change: the advanced-features and custom page size rules
//   when a page of the host becomes active: the advanced-features rule
BOOL ApplySelectionRules(PCPSUICBPARAM cb, POEMCUIPPARAM param);
BOOL ApplyActivationRule(PCPSUICBPARAM cb, POEMCUIPPARAM param);

// The spooler's document events for a printer without print-speed
// priority: DOCUMENTEVENT_SUCCESS, _UNSUPPORTED or _FAILURE.
INT HandleDocumentEvent(HANDLE printer, HDC hdc, INT event, ULONG inSize, PVOID in, ULONG outSize, PVOID out);
