// The device settings tab.
#include "oumiset.h"

#include "coremain.h"
#include "modelquery.h"
#include "pdvalue.h"
#include "resid.h"

#if KV_LINE_A
BOOL GetDeviceSettingsPage(HANDLE printer, WORD *templateId, DLGPROC *procedure)
{
    if (templateId == nullptr || procedure == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WORD printerType = 0;
    if (!LookUpPrinterType(printer, &printerType)) return FALSE;
    // Every shipped library has the tab; one that names no template of its
    // own still gets ours.
    WORD id = 0;
    if (!QueryModel(OUPF_FUNCID_GETDEVICEDIALOG, printerType, nullptr, &id) || id == 0) id = IDD_DEVICE_SETTINGS;
    *templateId = id;
    *procedure = DeviceSettingsProc;
    return TRUE;
}

INT_PTR CALLBACK DeviceSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The switches and their confirmation come with the tab's own change;
    // until then the page accepts its initialisation and handles nothing.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
#endif
