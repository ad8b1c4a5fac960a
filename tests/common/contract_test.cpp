// The host contract as the host sees it: each interface method in its
// vtable slot, and the class and interface ids.
//
// A method in the wrong slot compiles and links and is only found when the
// host calls it, so every slot is called here through the raw vtable, the
// way the host calls it, and must answer its own slot number.
#include <gtest/gtest.h>

#include <cstdio>
#include <type_traits>
#include <string>

#include "kvcontract.h"

namespace {

// Every method answers the slot the host documentation gives it.
struct SlotUi : IPrintOemUI2 {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return 0; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD, PVOID, DWORD, PDWORD) override { return 3; }
    HRESULT STDMETHODCALLTYPE DevMode(DWORD, POEMDMPARAM) override { return 4; }
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *) override { return 5; }
    HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD, POEMCUIPPARAM) override { return 6; }
    HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PPROPSHEETUI_INFO, LPARAM) override { return 7; }
    HRESULT STDMETHODCALLTYPE DevicePropertySheets(PPROPSHEETUI_INFO, LPARAM) override { return 8; }
    HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ, PDEVQUERYPRINT_INFO, PDEVMODEW, PVOID) override { return 9; }
    HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ, HANDLE, PWSTR, WORD, PVOID, PDEVMODEW, PVOID, DWORD,
                                                 DWORD *) override
    {
        return 10;
    }
    HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD, PBYTE) override { return 11; }
    HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR, INT, DWORD, LPARAM) override { return 12; }
    HRESULT STDMETHODCALLTYPE DriverEvent(DWORD, DWORD, LPBYTE, LPARAM) override { return 13; }
    HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE, POEMUIOBJ, PDEVMODEW, PVOID, ULONG, VOID *, ULONG *,
                                                FLONG *) override
    {
        return 14;
    }
    HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND, UINT, WPARAM, LPARAM) override { return 15; }
    HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE, HANDLE, PWSTR) override { return 16; }
    HRESULT STDMETHODCALLTYPE QueryJobAttributes(HANDLE, PDEVMODEW, DWORD, LPBYTE) override { return 17; }
    HRESULT STDMETHODCALLTYPE HideStandardUI(DWORD) override { return 18; }
    HRESULT STDMETHODCALLTYPE DocumentEvent(HANDLE, HDC, INT, ULONG, PVOID, ULONG, PVOID, PINT) override { return 19; }
};

struct SlotCoreUi : IPrintCoreUI2 {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return 0; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return 3; }
    HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE, PCSTR, PCSTR) override { return 4; }
    HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID, PVOID, DWORD, DWORD) override { return 5; }
    HRESULT STDMETHODCALLTYPE GetOptions(POEMUIOBJ, DWORD, PCSTR, DWORD, PSTR, DWORD, PDWORD) override { return 6; }
    HRESULT STDMETHODCALLTYPE SetOptions(POEMUIOBJ, DWORD, PCSTR, DWORD, PDWORD) override { return 7; }
    HRESULT STDMETHODCALLTYPE EnumConstrainedOptions(POEMUIOBJ, DWORD, PCSTR, PSTR, DWORD, PDWORD) override { return 8; }
    HRESULT STDMETHODCALLTYPE WhyConstrained(POEMUIOBJ, DWORD, PCSTR, PCSTR, PSTR, DWORD, PDWORD) override { return 9; }
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(POEMUIOBJ, DWORD, PCSTR, PDWORD, PBYTE, DWORD, PDWORD) override
    {
        return 10;
    }
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(POEMUIOBJ, DWORD, PCSTR, PCSTR, PDWORD, PBYTE, DWORD,
                                                  PDWORD) override
    {
        return 11;
    }
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(POEMUIOBJ, DWORD, PCSTR, PCSTR, PCSTR, PDWORD, PBYTE, DWORD,
                                                 PDWORD) override
    {
        return 12;
    }
    HRESULT STDMETHODCALLTYPE EnumFeatures(POEMUIOBJ, DWORD, PSTR, DWORD, PDWORD) override { return 13; }
    HRESULT STDMETHODCALLTYPE EnumOptions(POEMUIOBJ, DWORD, PCSTR, PSTR, DWORD, PDWORD) override { return 14; }
    HRESULT STDMETHODCALLTYPE QuerySimulationSupport(HANDLE, DWORD, PBYTE, DWORD, PDWORD) override { return 15; }
};

struct SlotPs : IPrintOemPS2 {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return 0; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD, PVOID, DWORD, PDWORD) override { return 3; }
    HRESULT STDMETHODCALLTYPE DevMode(DWORD, POEMDMPARAM) override { return 4; }
    HRESULT STDMETHODCALLTYPE EnableDriver(DWORD, DWORD, PDRVENABLEDATA) override { return 5; }
    HRESULT STDMETHODCALLTYPE DisableDriver() override { return 6; }
    HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ, PWSTR, ULONG, HSURF *, ULONG, GDIINFO *, ULONG, DEVINFO *,
                                         DRVENABLEDATA *, PDEVOEM *) override
    {
        return 7;
    }
    HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ) override { return 8; }
    HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ, PDEVOBJ) override { return 9; }
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown *) override { return 10; }
    HRESULT STDMETHODCALLTYPE Command(PDEVOBJ, DWORD, PVOID, DWORD, DWORD *) override { return 11; }
    HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) override { return 12; }
    HRESULT STDMETHODCALLTYPE GetPDEVAdjustment(PDEVOBJ, DWORD, PVOID, DWORD, BOOL *) override { return 13; }
};

struct SlotCorePs : IPrintCorePS2 {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return 0; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE DrvWritePrinter(PDEVOBJ, PVOID, DWORD, DWORD *) override { return 3; }
    HRESULT STDMETHODCALLTYPE GetOptions(PDEVOBJ, DWORD, PCSTR, DWORD, PSTR, DWORD, PDWORD) override { return 4; }
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(PDEVOBJ, DWORD, PCSTR, PDWORD, PBYTE, DWORD, PDWORD) override
    {
        return 5;
    }
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(PDEVOBJ, DWORD, PCSTR, PCSTR, PDWORD, PBYTE, DWORD, PDWORD) override
    {
        return 6;
    }
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(PDEVOBJ, DWORD, PCSTR, PCSTR, PCSTR, PDWORD, PBYTE, DWORD,
                                                 PDWORD) override
    {
        return 7;
    }
    HRESULT STDMETHODCALLTYPE EnumFeatures(PDEVOBJ, DWORD, PSTR, DWORD, PDWORD) override { return 8; }
    HRESULT STDMETHODCALLTYPE EnumOptions(PDEVOBJ, DWORD, PCSTR, PSTR, DWORD, PDWORD) override { return 9; }
};

// Calls slot n of the object's vtable as the host does: the object pointer
// first. The slot methods ignore their other arguments.
long CallSlot(IUnknown *object, int slot)
{
    typedef long (*SlotFn)(IUnknown *);
    void **vtable = *reinterpret_cast<void ***>(object);
    return reinterpret_cast<SlotFn>(vtable[slot])(object);
}

void ExpectSlots(IUnknown *object, int count, const char *name)
{
    for (int slot = 3; slot < count; ++slot) EXPECT_EQ(slot, CallSlot(object, slot)) << name << " slot " << slot;
}

TEST(HostContract, MethodsSitInTheHostsSlots)
{
    SlotUi ui;
    SlotCoreUi coreUi;
    SlotPs ps;
    SlotCorePs corePs;
    ExpectSlots(&ui, 20, "IPrintOemUI2");
    ExpectSlots(&coreUi, 16, "IPrintCoreUI2");
    ExpectSlots(&ps, 14, "IPrintOemPS2");
    ExpectSlots(&corePs, 10, "IPrintCorePS2");
    // No destructor slot in front of the COM methods either.
    static_assert(!std::has_virtual_destructor<IPrintOemUI2>::value, "no virtual destructor");
    static_assert(!std::has_virtual_destructor<IPrintOemPS2>::value, "no virtual destructor");
    static_assert(!std::has_virtual_destructor<IPrintCoreUI2>::value, "no virtual destructor");
    static_assert(!std::has_virtual_destructor<IPrintCorePS2>::value, "no virtual destructor");
}

std::string GuidText(const GUID &g)
{
    char text[40];
    snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.Data1),
             g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
             g.Data4[7]);
    return text;
}

TEST(HostContract, IdsAreThePublishedOnes)
{
    const struct {
        const GUID &id;
        const char *text;
    } cases[] = {
        {CLSID_OEMUI, "{ABCE80D7-9F46-11D1-882A-00C04FB961EC}"},
        {CLSID_OEMRENDER, "{6D6ABF26-9F38-11D1-882A-00C04FB961EC}"},
        {IID_IPrintOemUI, "{C6A7A9D0-774C-11D1-947F-00A0C90640B8}"},
        {IID_IPrintOemUI2, "{292515F9-B54B-489B-9275-BAB56821395E}"},
        {IID_IPrintCoreUI2, "{085CCFCA-3ADF-4C9E-B491-D851A6EDC997}"},
        {IID_IPrintOemPS, "{688342B5-8E1A-11D1-881F-00C04FB961EC}"},
        {IID_IPrintOemPS2, "{BECF7F34-51B3-46C9-8A1C-18679BD21F36}"},
        {IID_IPrintCorePS2, "{CDBB0B0B-A917-40D7-9FBF-483B3BE7EF22}"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.text, GuidText(c.id));
}

}  // namespace
