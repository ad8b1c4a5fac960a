// The device settings tab of the printer properties (line A): its
// template and dialog procedure.
#pragma once

#include "kvcontract.h"

#if KV_LINE_A
// The tab for PRINTER: the model library's device dialog (template 8001
// when the library names none) and DeviceSettingsProc. False, no tab, when
// the printer's type cannot be looked up.
BOOL GetDeviceSettingsPage(HANDLE printer, WORD *templateId, DLGPROC *procedure);

INT_PTR CALLBACK DeviceSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
#endif
