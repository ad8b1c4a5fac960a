// The work behind the UI plug-in's methods, called directly: the argument
// checks and corner cases that the host never shows through the module.
#include <gtest/gtest.h>

#include <cstring>

#include "actctx.h"
#include "coremain.h"
#include "devmode.h"
#include "kvp/scripted.h"
#include "kvp/spoolctl.h"
#include "kvtest_printers.h"
#include "oumplugi.h"
#include "pdvalue.h"
#include "uicntrl.h"

namespace {

class UiWork : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr))); }
    void TearDown() override
    {
        SetModelQueryFunction(nullptr);
        printers_.CloseAll();
        ModuleDetach();
    }

    HANDLE AddPrinter(const std::string &ppd)
    {
        kvp::PrinterSpec spec;
        spec.name = "Plotter";
        spec.driverName = "Korvane Vastrelo 1180 PS";
        spec.dataFile = ppd;
        printer_ = printers_.Add(spec);
        return printer_;
    }

    kvtest::TestPrinters printers_;
    HANDLE printer_ = nullptr;
};

// A model library that knows one product.
BOOL FakeModel(DWORD query, DWORD printerType, PVOID input, PVOID output)
{
    if (query == 1 && strcmp(static_cast<const char *>(input), "Vastrelo 1180 PS") == 0) {
        *static_cast<WORD *>(output) = 8091;
        return TRUE;
    }
    return FALSE;
}

TEST_F(UiWork, GetInfoWritesFourBytesAnywhere)
{
    BYTE buffer[8];
    memset(buffer, 0xCC, sizeof(buffer));
    DWORD needed = 0;
    // The host's buffer need not be aligned.
    ASSERT_TRUE(GetPluginInfo(OEMGI_GETSIGNATURE, buffer + 1, 4, &needed));
    const BYTE expected[8] = {0xCC, 0x44, 0x4B, 0x42, 0x4B, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(0, memcmp(expected, buffer, sizeof(buffer)));
    EXPECT_EQ(4u, needed);
    // A host that does not ask for the size still gets the value.
    DWORD value = 0;
    EXPECT_TRUE(GetPluginInfo(OEMGI_GETINTERFACEVERSION, &value, sizeof(value), nullptr));
    EXPECT_EQ(0x00010000u, value);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPluginInfo(0, &value, sizeof(value), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(UiWork, DefaultsNeedAWholeRecord)
{
    AddPrinter(std::string(KV_SOURCE_DIR) + "/packaging/KV1180.PPD");
    SetModelQueryFunction(FakeModel);
    std::vector<BYTE> record(kPrivateDevmodeSize + 4, 0xEE);
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.hPrinter = printer_;
    param.pOEMDMOut = record.data();
    param.cbBufSize = kPrivateDevmodeSize - 1;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HandleDevMode(OEMDM_DEFAULT, &param));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    for (BYTE b : record) ASSERT_EQ(0xEE, b);

    param.cbBufSize = kPrivateDevmodeSize;
    ASSERT_TRUE(HandleDevMode(OEMDM_DEFAULT, &param));
    const PrivateDevmode *written = reinterpret_cast<const PrivateDevmode *>(record.data());
    EXPECT_EQ(8091, GetDevmodeShort(DevmodeFieldId::PrinterType, written));
    for (size_t i = kPrivateDevmodeSize; i < record.size(); ++i) EXPECT_EQ(0xEE, record[i]) << "byte " << i;

    param.pOEMDMOut = nullptr;
    EXPECT_FALSE(HandleDevMode(OEMDM_DEFAULT, &param));
}

TEST_F(UiWork, DefaultsFailWhenTheModelLibraryCannotBeAsked)
{
    AddPrinter(std::string(KV_SOURCE_DIR) + "/packaging/KV1180.PPD");
    // No fake model: this test program has no model library beside it.
    std::vector<BYTE> record(kPrivateDevmodeSize, 0xEE);
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.hPrinter = printer_;
    param.pOEMDMOut = record.data();
    param.cbBufSize = kPrivateDevmodeSize;
    EXPECT_FALSE(HandleDevMode(OEMDM_DEFAULT, &param));
    // The host's buffer keeps what it had.
    for (BYTE b : record) ASSERT_EQ(0xEE, b);
}

TEST_F(UiWork, SheetsWithoutTheirInterfaceOrBlockFail)
{
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof(info);
    info.Reason = PROPSHEETUI_REASON_SET_RESULT;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(E_FAIL, HandlePropertySheets(TRUE, nullptr, &info, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    // Any interface will do for the reasons that do not reach it.
    IPrintCoreUI2 *sheetInterface = reinterpret_cast<IPrintCoreUI2 *>(&info);
    info.Result = 7;
    EXPECT_EQ(E_FAIL, HandlePropertySheets(TRUE, sheetInterface, &info, 0));
    EXPECT_EQ(0u, info.Result);
    SETRESULT_INFO result = {sizeof(SETRESULT_INFO), 0, nullptr, CPSUI_OK};
    EXPECT_EQ(S_OK, HandlePropertySheets(FALSE, sheetInterface, &info, reinterpret_cast<LPARAM>(&result)));
    EXPECT_EQ(1u, info.Result);

    // INIT and DESTROY without the host's block.
    info.Reason = PROPSHEETUI_REASON_INIT;
    EXPECT_EQ(E_FAIL, HandlePropertySheets(TRUE, sheetInterface, &info, 0));
    info.Reason = PROPSHEETUI_REASON_DESTROY;
    EXPECT_EQ(E_FAIL, HandlePropertySheets(TRUE, sheetInterface, &info, 0));
}

TEST_F(UiWork, SheetWithoutResourceModuleAddsNoPageButKeepsItsRecord)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    OEMUIPSPARAM param = {};
    param.cbSize = sizeof(param);
    param.hOEMHeap = heap;
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof(info);
    info.Reason = PROPSHEETUI_REASON_INIT;
    info.pfnComPropSheet = [](HANDLE, UINT, LPARAM, LPARAM) -> LONG_PTR {
        ADD_FAILURE() << "no page may be added without the model library";
        return 1;
    };
    info.lParamInit = reinterpret_cast<LPARAM>(&param);
    IPrintCoreUI2 *sheetInterface = reinterpret_cast<IPrintCoreUI2 *>(&info);
    EXPECT_EQ(E_FAIL, HandlePropertySheets(TRUE, sheetInterface, &info, 0));
    EXPECT_NE(nullptr, param.pOEMUserData);
    info.Reason = PROPSHEETUI_REASON_DESTROY;
    EXPECT_EQ(S_OK, HandlePropertySheets(TRUE, sheetInterface, &info, 0));
    EXPECT_EQ(nullptr, param.pOEMUserData);
    HeapDestroy(heap);
}

TEST_F(UiWork, CommonUIPropNeedsTheHostsHeap)
{
    IPrintCoreUI2 *core = reinterpret_cast<IPrintCoreUI2 *>(this);
    OEMCUIPPARAM param = {};
    param.cbSize = sizeof(param);
    EXPECT_EQ(E_FAIL, HookCommonUI(TRUE, core, OEMCUIP_DOCPROP, &param));
    EXPECT_EQ(nullptr, param.pOEMUserData);
    EXPECT_EQ(nullptr, param.OEMCUIPCallback);
    EXPECT_EQ(CPSUICB_ACTION_NONE, DocumentOptionsCallback(nullptr, &param));
}

TEST_F(UiWork, NoActivationContextWithoutTheSystemsApi)
{
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_HASHELP;
    ApplyActivationContext(&page);
    EXPECT_EQ(static_cast<DWORD>(PSP_HASHELP), page.dwFlags);
    EXPECT_EQ(nullptr, page.hActCtx);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CurrentActivationContext());

    ULONG_PTR cookie = 99;
    EXPECT_FALSE(ActivatePluginContext(&cookie));
    EXPECT_EQ(0u, cookie);
    SetLastError(1234);
    DeactivatePluginContext(FALSE, cookie);
    EXPECT_EQ(1234u, GetLastError());
    ReleaseActivationContext();
    EXPECT_EQ(INVALID_HANDLE_VALUE, CurrentActivationContext());
}

TEST_F(UiWork, LockCountCountsBothWays)
{
    LONG before = UiLockCount();
    UiLockServer(TRUE);
    UiLockServer(TRUE);
    EXPECT_EQ(before + 2, UiLockCount());
    UiLockServer(FALSE);
    UiLockServer(FALSE);
    EXPECT_EQ(before, UiLockCount());
}

TEST_F(UiWork, ResourceMessageShowsATextGivenAsText)
{
    HWND owner = reinterpret_cast<HWND>(0x55);
    kvp::ScriptMessageBoxAnswer(IDNO);
    EXPECT_EQ(IDNO, ShowResourceMessage(owner, u"literal", u"caption", MB_YESNO));
    // A string id needs the model library, which this program lacks: nothing
    // is shown.
    EXPECT_EQ(0, ShowResourceMessage(owner, MAKEINTRESOURCEW(1102), u"caption", MB_OK));
    std::vector<kvp::MessageBoxCall> shown = kvp::LastMessageBoxes();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(owner, shown[0].owner);
    EXPECT_EQ(u"literal", shown[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), shown[0].type);
}

TEST_F(UiWork, PrinterDeletionOfAnUnknownPrinterSucceeds)
{
    EXPECT_EQ(S_OK, HandlePrinterEvent(const_cast<LPWSTR>(u"Nobody"), PRINTER_EVENT_DELETE, 0, 0));
    EXPECT_EQ(E_FAIL, HandlePrinterEvent(const_cast<LPWSTR>(u"Nobody"), PRINTER_EVENT_INITIALIZE, 0, 0));
    EXPECT_EQ(S_OK, HandlePrinterEvent(nullptr, PRINTER_EVENT_CACHE_REFRESH, 0, 0));
}

}  // namespace
