// The UI plug-in in the host's property sheets: the hook into the host's
// own document options, the pages it adds with the record each sheet
// keeps, and the keyword adapter the document pages talk to the host
// through.
#include <algorithm>
#include <cstring>
#include <memory>

#include "ui_support.h"

namespace {

using uitest::UiPluginFixture;

// The plug-in's record of an open sheet, as the pages find it in
// OEMUIPSPARAM.pOEMUserData (line A; line B lacks the device tab state).
struct SheetContextA {
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    HANDLE pageHandle;
    HMODULE resourceModule;
    WCHAR helpFile[MAX_PATH];
    void *deviceTab;
    IPrintCoreUI2 *sheetInterface;
    PDEVMODEW publicDevmode;
    DWORD permission;
};
struct SheetContextB {
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    HANDLE pageHandle;
    HMODULE resourceModule;
    WCHAR helpFile[MAX_PATH];
    IPrintCoreUI2 *sheetInterface;
    PDEVMODEW publicDevmode;
    DWORD permission;
};

HMODULE ModelLibrary(const std::string &model)
{
    std::string path = kvhost::DefaultModuleDir() + "/" + kvhost::FindModel(model)->prefix + "j.fpl";
    return GetModuleHandleW(reinterpret_cast<LPCWSTR>(kvhost::ToUtf16(path).c_str()));
}

std::string HelpFile(const std::string &model)
{
    return kvhost::DefaultModuleDir() + "/" + kvhost::FindModel(model)->prefix + "j.hlp";
}

class UiSheets : public UiPluginFixture {
protected:
    void Open(const std::string &model, const std::string &ppd = "")
    {
        uitest::Install("Plotter", model, true, ppd);
        LoadPlugin(model);
        printer_.reset(new kvhost::OpenedPrinter("Plotter"));
        kvhost::OpenedPrinter &p = *printer_;
        ASSERT_TRUE(p);
        ASSERT_EQ(S_OK, devmode_.Build(Plugin(), p.get(), u"Plotter"));
    }
    void TearDown() override
    {
        printer_.reset();
        UiPluginFixture::TearDown();
    }
    HANDLE Printer() { return printer_->get(); }

    std::unique_ptr<kvhost::OpenedPrinter> printer_;
    kvhost::DevmodeImage devmode_;
};

TEST_F(UiSheets, DocumentSheetAddsTheOptionsTab)
{
    Open("tavrin");
    kvhost::PropertySheetHost sheet(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter", &devmode_);
    EXPECT_EQ(S_OK, sheet.Init());
    EXPECT_EQ(1u, sheet.Info().Result);

    ASSERT_EQ(1u, sheet.Pages().size());
    const PROPSHEETPAGEW &page = sheet.Pages()[0].page;
    EXPECT_EQ(96u, page.dwSize);
    // No activation API here: the page goes without a context.
    EXPECT_EQ(static_cast<DWORD>(PSP_HASHELP), page.dwFlags);
    EXPECT_EQ(nullptr, page.hActCtx);
    ASSERT_NE(nullptr, ModelLibrary("tavrin"));
    EXPECT_EQ(ModelLibrary("tavrin"), page.hInstance);
    EXPECT_EQ(MAKEINTRESOURCEW(1201), page.pszTemplate);
    EXPECT_NE(nullptr, page.pfnDlgProc);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&sheet.Param()), page.lParam);

    const SheetContextA *context = static_cast<const SheetContextA *>(sheet.Param().pOEMUserData);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(sheet.SheetHandle(), context->hComPropSheet);
    EXPECT_EQ(kvhost::PropertySheetHost::Callback(), context->pfnComPropSheet);
    EXPECT_EQ(reinterpret_cast<HANDLE>(sheet.Pages()[0].handle), context->pageHandle);
    EXPECT_EQ(ModelLibrary("tavrin"), context->resourceModule);
    EXPECT_EQ(HelpFile("tavrin"), kvhost::ToUtf8(context->helpFile));
    EXPECT_EQ(nullptr, context->deviceTab);
    // The document pages reach the host through the keyword adapter.
    ASSERT_NE(nullptr, context->sheetInterface);
    EXPECT_NE(static_cast<IPrintCoreUI2 *>(&core_), context->sheetInterface);
    EXPECT_EQ(devmode_.Public(), context->publicDevmode);
    EXPECT_EQ(1u, context->permission);

    EXPECT_EQ(S_OK, sheet.Destroy());
    EXPECT_EQ(nullptr, sheet.Param().pOEMUserData);
    EXPECT_EQ(E_FAIL, sheet.Destroy());
    EXPECT_EQ(0u, sheet.Info().Result);
}

TEST_F(UiSheets, DeviceSheetAddsTheDeviceSettingsTab)
{
    Open("oskel");
    kvhost::PropertySheetHost sheet(Plugin(), kvhost::SheetKind::Device, Printer(), "Plotter");
    EXPECT_EQ(S_OK, sheet.Init());
    ASSERT_EQ(1u, sheet.Pages().size());
    const PROPSHEETPAGEW &page = sheet.Pages()[0].page;
    EXPECT_EQ(static_cast<DWORD>(PSP_HASHELP), page.dwFlags);
    EXPECT_EQ(MAKEINTRESOURCEW(8001), page.pszTemplate);
    EXPECT_NE(nullptr, page.pfnDlgProc);
    EXPECT_EQ(ModelLibrary("oskel"), page.hInstance);

    const SheetContextA *context = static_cast<const SheetContextA *>(sheet.Param().pOEMUserData);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(static_cast<IPrintCoreUI2 *>(&core_), context->sheetInterface);
    EXPECT_EQ(nullptr, context->publicDevmode);
    EXPECT_EQ(HelpFile("oskel"), kvhost::ToUtf8(context->helpFile));
    EXPECT_EQ(1u, context->permission);
}

TEST_F(UiSheets, PermissionFollowsTheSheetsOwnFlag)
{
    Open("tavrin");
    struct {
        kvhost::SheetKind kind;
        DWORD flags;
        DWORD permission;
    } cases[] = {
        {kvhost::SheetKind::Document, 0, 1},
        {kvhost::SheetKind::Document, DM_NOPERMISSION, 0},
        {kvhost::SheetKind::Document, DPS_NOPERMISSION, 1},
        {kvhost::SheetKind::Device, 0, 1},
        {kvhost::SheetKind::Device, DPS_NOPERMISSION, 0},
        {kvhost::SheetKind::Device, DM_NOPERMISSION, 1},
    };
    for (const auto &c : cases) {
        kvhost::PropertySheetHost sheet(Plugin(), c.kind, Printer(), "Plotter", &devmode_);
        sheet.SetFlags(c.flags);
        ASSERT_EQ(S_OK, sheet.Init());
        const SheetContextA *context = static_cast<const SheetContextA *>(sheet.Param().pOEMUserData);
        ASSERT_NE(nullptr, context);
        EXPECT_EQ(c.permission, context->permission)
            << (c.kind == kvhost::SheetKind::Document ? "document" : "device") << " flags " << c.flags;
    }
}

TEST_F(UiSheets, ResultsOfTheOtherReasons)
{
    Open("tavrin");
    kvhost::PropertySheetHost sheet(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter", &devmode_);
    ASSERT_EQ(S_OK, sheet.Init());
    EXPECT_EQ(S_OK, sheet.SetResult(CPSUI_OK));
    EXPECT_EQ(static_cast<ULONG_PTR>(CPSUI_OK), sheet.Info().Result);
    // A cancelled sheet's result answers E_FAIL.
    EXPECT_EQ(E_FAIL, sheet.SetResult(CPSUI_CANCEL));
    EXPECT_EQ(0u, sheet.Info().Result);
    EXPECT_EQ(E_FAIL, sheet.Call(PROPSHEETUI_REASON_SET_RESULT, 0));
    EXPECT_EQ(E_FAIL, sheet.Call(PROPSHEETUI_REASON_GET_INFO_HEADER));
    EXPECT_EQ(E_FAIL, sheet.Call(PROPSHEETUI_REASON_GET_ICON));
    EXPECT_EQ(E_FAIL, Plugin()->DocumentPropertySheets(nullptr, 0));
    EXPECT_EQ(E_FAIL, Plugin()->DevicePropertySheets(nullptr, 0));
}

TEST_F(UiSheets, RefusedPageFailsTheSheetButKeepsItsRecord)
{
    Open("tavrin");
    kvhost::PropertySheetHost sheet(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter", &devmode_);
    sheet.RefusePages(true);
    EXPECT_EQ(E_FAIL, sheet.Init());
    EXPECT_EQ(0u, sheet.Info().Result);
    const SheetContextA *context = static_cast<const SheetContextA *>(sheet.Param().pOEMUserData);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(nullptr, context->pageHandle);
    EXPECT_EQ(S_OK, sheet.Destroy());
}

TEST_F(UiSheets, UnknownProductGetsNoOptionsTab)
{
    std::string ppd = uitest::PpdCopy("KV1180.PPD", "KV9995.PPD", "(Vastrelo 1180 PS)", "(Vastrelo 9995 PS)");
    Open("tavrin", ppd);
    kvhost::PropertySheetHost document(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter", &devmode_);
    EXPECT_EQ(E_FAIL, document.Init());
    EXPECT_TRUE(document.Pages().empty());
    // The device settings tab does not depend on the model's answers.
    kvhost::PropertySheetHost device(Plugin(), kvhost::SheetKind::Device, Printer(), "Plotter");
    EXPECT_EQ(S_OK, device.Init());
    ASSERT_EQ(1u, device.Pages().size());
    EXPECT_EQ(MAKEINTRESOURCEW(8001), device.Pages()[0].page.pszTemplate);
}

TEST_F(UiSheets, PrinterWithoutProductNameGetsNoTabAtAll)
{
    std::string ppd = uitest::PpdCopy("KV1180.PPD", "KV9994.PPD", "*Product:", "*Produkt:");
    uitest::Install("Plotter", "tavrin", false, ppd);
    LoadPlugin("tavrin");
    kvhost::OpenedPrinter printer("Plotter");
    kvhost::PropertySheetHost document(Plugin(), kvhost::SheetKind::Document, printer.get(), "Plotter");
    EXPECT_EQ(E_FAIL, document.Init());
    // The device sheet declines quietly: no page, but no failure either.
    kvhost::PropertySheetHost device(Plugin(), kvhost::SheetKind::Device, printer.get(), "Plotter");
    EXPECT_EQ(S_OK, device.Init());
    EXPECT_EQ(1u, device.Info().Result);
    EXPECT_TRUE(device.Pages().empty());
}

TEST_F(UiSheets, LineBHasAnOptionsTabButNoDeviceTab)
{
    Open("pellin");
    kvhost::PropertySheetHost document(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter", &devmode_);
    EXPECT_EQ(S_OK, document.Init());
    ASSERT_EQ(1u, document.Pages().size());
    EXPECT_EQ(MAKEINTRESOURCEW(1201), document.Pages()[0].page.pszTemplate);
    const SheetContextB *documentContext = static_cast<const SheetContextB *>(document.Param().pOEMUserData);
    ASSERT_NE(nullptr, documentContext);
    EXPECT_EQ(devmode_.Public(), documentContext->publicDevmode);
    EXPECT_EQ(HelpFile("pellin"), kvhost::ToUtf8(documentContext->helpFile));

    kvhost::PropertySheetHost device(Plugin(), kvhost::SheetKind::Device, Printer(), "Plotter");
    EXPECT_EQ(S_OK, device.Init());
    EXPECT_EQ(1u, device.Info().Result);
    EXPECT_TRUE(device.Pages().empty());
    const SheetContextB *context = static_cast<const SheetContextB *>(device.Param().pOEMUserData);
    ASSERT_NE(nullptr, context);
    EXPECT_EQ(device.SheetHandle(), context->hComPropSheet);
    EXPECT_EQ(static_cast<IPrintCoreUI2 *>(&core_), context->sheetInterface);
    EXPECT_EQ(ModelLibrary("pellin"), context->resourceModule);
    EXPECT_EQ(1u, context->permission);
}

TEST_F(UiSheets, SheetsNeedThePublishedHostInterface)
{
    uitest::Install("Plotter", "tavrin");
    std::string error;
    ASSERT_TRUE(host_.Load(uitest::UiModulePath("tavrin"), nullptr, &error)) << error;
    kvhost::OpenedPrinter printer("Plotter");
    kvhost::PropertySheetHost document(Plugin(), kvhost::SheetKind::Document, printer.get(), "Plotter");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(E_FAIL, document.Init());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(document.Pages().empty());
    kvhost::PropertySheetHost device(Plugin(), kvhost::SheetKind::Device, printer.get(), "Plotter");
    EXPECT_EQ(E_FAIL, device.Init());
}

// ---------------------------------------------------------------------------
// CommonUIProp and the document options callback.

TEST_F(UiSheets, CommonUIPropHooksTheDocumentOptionsWithoutAddingItems)
{
    Open("tavrin");
    kvhost::CommonUIHost document(Plugin(), OEMCUIP_DOCPROP, Printer(), "Plotter", &devmode_);
    EXPECT_EQ(S_OK, document.Call());
    EXPECT_EQ(0u, document.Param().cOEMOptItems);
    ASSERT_NE(nullptr, document.Param().pOEMUserData);
    EXPECT_EQ(static_cast<IPrintCoreUI2 *>(&core_), *static_cast<IPrintCoreUI2 **>(document.Param().pOEMUserData));
    EXPECT_NE(nullptr, document.Param().OEMCUIPCallback);

    // The second call fills nothing.
    PVOID data = document.Param().pOEMUserData;
    EXPECT_EQ(S_OK, document.CallAgain());
    EXPECT_EQ(data, document.Param().pOEMUserData);
    EXPECT_EQ(0u, document.Param().cOEMOptItems);

    kvhost::CommonUIHost device(Plugin(), OEMCUIP_PRNPROP, Printer(), "Plotter");
    EXPECT_EQ(S_OK, device.Call());
    EXPECT_NE(nullptr, device.Param().pOEMUserData);
    EXPECT_EQ(nullptr, device.Param().OEMCUIPCallback);

    kvhost::CommonUIHost other(Plugin(), 3, Printer(), "Plotter");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(E_FAIL, other.Call());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(nullptr, other.Param().pOEMUserData);
    EXPECT_EQ(E_FAIL, Plugin()->CommonUIProp(OEMCUIP_DOCPROP, nullptr));
}

TEST_F(UiSheets, DocumentOptionsCallbackAnswersByReason)
{
    struct {
        WORD reason;
        LONG action;
    } cases[] = {
        {CPSUICB_REASON_SEL_CHANGED, CPSUICB_ACTION_OPTIF_CHANGED},
        {CPSUICB_REASON_APPLYNOW, CPSUICB_ACTION_ITEMS_APPLIED},
        {CPSUICB_REASON_SETACTIVE, CPSUICB_ACTION_NONE},
        {CPSUICB_REASON_KILLACTIVE, CPSUICB_ACTION_NONE},
        {CPSUICB_REASON_PUSHBUTTON, CPSUICB_ACTION_NONE},
    };
    for (const char *model : {"tavrin", "merrow"}) {
        kvp::SystemReset();
        uitest::Install("Plotter", model);
        kvhost::UiPluginHost host;
        std::string error;
        ASSERT_TRUE(host.Load(uitest::UiModulePath(model), &core_, &error)) << error;
        kvhost::OpenedPrinter printer("Plotter");
        kvhost::DevmodeImage devmode;
        ASSERT_EQ(S_OK, devmode.Build(host.Plugin(), printer.get(), u"Plotter"));
        kvhost::CommonUIHost common(host.Plugin(), OEMCUIP_DOCPROP, printer.get(), "Plotter", &devmode);
        ASSERT_EQ(S_OK, common.Call());
        OPTITEM item = {};
        item.cbSize = sizeof(item);
        for (const auto &c : cases)
            EXPECT_EQ(c.action, common.Notify(c.reason, &item)) << model << " reason " << c.reason;
    }
}

// ---------------------------------------------------------------------------
// The keyword adapter, reached the way the Options tab reaches it.

class UiAdapter : public UiSheets {
protected:
    void OpenWithPpd(const std::string &ppd)
    {
        std::string error;
        ASSERT_TRUE(model_.Load(ppd, &error)) << error;
        options_.reset(new kvhost::OptionState(model_));
        core_.SetOptionState(options_.get());
        Open("tavrin", ppd);
        sheet_.reset(new kvhost::PropertySheetHost(Plugin(), kvhost::SheetKind::Document, Printer(), "Plotter",
                                                   &devmode_));
        ASSERT_EQ(S_OK, sheet_->Init());
        adapter_ = static_cast<const SheetContextA *>(sheet_->Param().pOEMUserData)->sheetInterface;
        core_.ClearCalls();
    }
    void TearDown() override
    {
        sheet_.reset();
        UiSheets::TearDown();
    }
    std::vector<std::string> Reply(const char *data, DWORD size) { return kvhost::SplitMultiString(data, size); }

    kvhost::PpdModel model_;
    std::unique_ptr<kvhost::OptionState> options_;
    std::unique_ptr<kvhost::PropertySheetHost> sheet_;
    IPrintCoreUI2 *adapter_ = nullptr;
};

TEST_F(UiAdapter, OtherPrefixIsMappedInAndBack)
{
    OpenWithPpd(std::string(KV_TEST_DATA_DIR) + "/ui/AB1180.PPD");

    const char request[] = "KVOutputBin\0PageSize\0";
    char reply[256] = {};
    DWORD needed = 0;
    ASSERT_EQ(S_OK, adapter_->GetOptions(nullptr, 0, request, sizeof(request), reply, sizeof(reply), &needed));
    ASSERT_EQ(1u, core_.Calls().size());
    EXPECT_EQ((std::vector<std::string>{"ABOutputBin", "PageSize"}), core_.Calls()[0].keywords);
    EXPECT_EQ((std::vector<std::string>{"KVOutputBin", "KVBinUpper", "PageSize", "A1"}), Reply(reply, needed));

    const char pairs[] = "KVOutputBin\0KVBinLower\0PageSize\0KVSA1\0";
    DWORD result = 0;
    ASSERT_EQ(S_OK, adapter_->SetOptions(nullptr, 0, pairs, sizeof(pairs), &result));
    EXPECT_EQ("ABBinLower", options_->Get("ABOutputBin"));
    EXPECT_EQ("ABSA1", options_->Get("PageSize"));

    char list[2048] = {};
    ASSERT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, "PageSize", list, sizeof(list), &needed));
    std::vector<std::string> sizes = Reply(list, needed);
    EXPECT_NE(sizes.end(), std::find(sizes.begin(), sizes.end(), "KVSA1"));
    EXPECT_EQ(sizes.end(), std::find(sizes.begin(), sizes.end(), "ABSA1"));
    ASSERT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, "KVOutputBin", list, sizeof(list), &needed));
    EXPECT_EQ((std::vector<std::string>{"KVBinUpper", "KVBinLower"}), Reply(list, needed));

    ASSERT_EQ(S_OK, adapter_->EnumFeatures(nullptr, 0, list, sizeof(list), &needed));
    std::vector<std::string> features = Reply(list, needed);
    EXPECT_NE(features.end(), std::find(features.begin(), features.end(), "KVOutputBin"));

    core_.ClearCalls();
    DWORD type = 0;
    adapter_->GetFeatureAttribute(nullptr, 0, "KVOutputBin", "DisplayName", &type, nullptr, 0, &needed);
    adapter_->GetOptionAttribute(nullptr, 0, "KVOutputBin", "KVBinLower", "DisplayName", &type, nullptr, 0, &needed);
    adapter_->WhyConstrained(nullptr, 0, "KVOutputBin", "KVBinLower", list, sizeof(list), &needed);
    adapter_->EnumConstrainedOptions(nullptr, 0, "KVOutputBin", list, sizeof(list), &needed);
    ASSERT_EQ(4u, core_.Calls().size());
    EXPECT_EQ((std::vector<std::string>{"ABOutputBin"}), core_.Calls()[0].keywords);
    EXPECT_EQ((std::vector<std::string>{"ABOutputBin", "ABBinLower"}), core_.Calls()[1].keywords);
    EXPECT_EQ((std::vector<std::string>{"ABOutputBin", "ABBinLower"}), core_.Calls()[2].keywords);
    EXPECT_EQ((std::vector<std::string>{"ABOutputBin"}), core_.Calls()[3].keywords);
}

TEST_F(UiAdapter, FailedCallsAreNotMappedBack)
{
    OpenWithPpd(std::string(KV_TEST_DATA_DIR) + "/ui/AB1180.PPD");
    char list[4] = {'A', 'B', 'x', '\0'};
    DWORD needed = 0;
    EXPECT_EQ(E_OUTOFMEMORY, adapter_->EnumOptions(nullptr, 0, "PageSize", list, sizeof(list), &needed));
    EXPECT_EQ(0, std::memcmp(list, "ABx", 4));
}

TEST_F(UiAdapter, SystemPrefixInAnyCaseMapsNothing)
{
    for (const std::string &ppd :
         {kvhost::PackagingDir() + "/KV1180.PPD", uitest::PpdCopy("KV1180.PPD", "kv1180-lower.ppd")}) {
        SCOPED_TRACE(ppd);
        sheet_.reset();
        printer_.reset();
        host_.Unload();
        kvp::SystemReset();
        OpenWithPpd(ppd);
        const char request[] = "KVOutputBin\0PageSize\0";
        char reply[256] = {};
        DWORD needed = 0;
        ASSERT_EQ(S_OK, adapter_->GetOptions(nullptr, 0, request, sizeof(request), reply, sizeof(reply), &needed));
        EXPECT_EQ((std::vector<std::string>{"KVOutputBin", "PageSize"}), core_.Calls()[0].keywords);
        EXPECT_EQ((std::vector<std::string>{"PageSize", "A1"}), Reply(reply, needed));
        char list[2048] = {};
        ASSERT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, "PageSize", list, sizeof(list), &needed));
        std::vector<std::string> sizes = Reply(list, needed);
        EXPECT_NE(sizes.end(), std::find(sizes.begin(), sizes.end(), "KVSA1"));
    }
}

TEST_F(UiAdapter, ReferencesGoToTheHostInterface)
{
    OpenWithPpd(std::string(KV_TEST_DATA_DIR) + "/ui/AB1180.PPD");
    LONG before = core_.References();
    adapter_->AddRef();
    EXPECT_EQ(before + 1, core_.References());
    adapter_->Release();
    EXPECT_EQ(before, core_.References());
    void *unknown = nullptr;
    ASSERT_EQ(S_OK, adapter_->QueryInterface(IID_IUnknown, &unknown));
    EXPECT_EQ(static_cast<IUnknown *>(static_cast<IPrintCoreUI2 *>(&core_)), unknown);
    core_.Release();
}

}  // namespace
