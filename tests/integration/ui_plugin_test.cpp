// The UI plug-in's COM surface as the host meets it: the exports, the class
// factory, the object's interfaces, GetInfo, the host interface, and the
// methods that only answer.
#include "kvp/scripted.h"
#include "ui_support.h"

namespace {

using uitest::UiPluginFixture;

struct ModuleCase {
    const char *model;
    DWORD version;  // the private record's version, "0020" or "0010"
};
const ModuleCase kModules[] = {
    {"oskel", 0x30323030},
    {"tavrin", 0x30323030},
    {"merrow", 0x30313030},
    {"pellin", 0x30313030},
};

TEST(UiPluginExports, DllGetClassObjectServesOnlyTheUiClass)
{
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.LoadModule(uitest::UiModulePath("tavrin"), &error)) << error;

    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, host.GetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);

    object = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, host.GetClassObject(CLSID_OEMUI, IID_IPrintOemUI2, &object));
    EXPECT_EQ(nullptr, object);

    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, host.GetClassObject(CLSID_OEMUI, IID_IUnknown, reinterpret_cast<void **>(&unknown)));
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    // The factory counts from 1 and gave its creation reference back.
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(0u, unknown->Release());
}

TEST(UiPluginExports, CanUnloadNowLooksOnlyAtTheLockCount)
{
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.LoadModule(uitest::UiModulePath("tavrin"), &error)) << error;
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, host.GetClassObject(CLSID_OEMUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    IUnknown *object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)));

    // A live factory and a live object do not keep the module.
    EXPECT_EQ(S_OK, host.CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, host.CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, host.CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, host.CanUnloadNow());

    object->Release();
    factory->Release();
}

TEST(UiPluginExports, CreateInstanceRefusesAggregationAndUnknownInterfaces)
{
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.LoadModule(uitest::UiModulePath("tavrin"), &error)) << error;
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, host.GetClassObject(CLSID_OEMUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)));

    kvhost::CoreUI outer;
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    object = reinterpret_cast<void *>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPrintOemPS2, &object));
    EXPECT_EQ(nullptr, object);
    factory->Release();
}

TEST(UiPluginExports, ObjectAnswersItsThreeInterfacesWithOneIdentity)
{
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.LoadModule(uitest::UiModulePath("tavrin"), &error)) << error;
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, host.GetClassObject(CLSID_OEMUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&unknown)));
    factory->Release();

    void *v1 = nullptr, *v2 = nullptr, *none = reinterpret_cast<void *>(1);
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IPrintOemUI, &v1));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IPrintOemUI2, &v2));
    EXPECT_EQ(v1, v2);
    EXPECT_EQ(static_cast<void *>(unknown), v1);
    EXPECT_EQ(E_NOINTERFACE, unknown->QueryInterface(IID_IPrintCoreUI2, &none));
    EXPECT_EQ(nullptr, none);
    // Three references: the creation's went back after the first query.
    EXPECT_EQ(2u, static_cast<IUnknown *>(v1)->Release());
    EXPECT_EQ(1u, static_cast<IUnknown *>(v2)->Release());
    EXPECT_EQ(0u, unknown->Release());
}

class UiPluginGetInfo : public UiPluginFixture, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(UiPluginGetInfo, AnswersSignatureInterfaceVersionAndRecordVersion)
{
    LoadPlugin(GetParam().model);
    EXPECT_EQ(0x4B424B44u, host_.Signature());
    struct {
        DWORD mode;
        DWORD value;
    } cases[] = {{OEMGI_GETSIGNATURE, 0x4B424B44}, {OEMGI_GETINTERFACEVERSION, 0x00010000},
                 {OEMGI_GETVERSION, GetParam().version}};
    for (const auto &c : cases) {
        DWORD value = 0xdeadbeef, needed = 0;
        EXPECT_EQ(S_OK, Plugin()->GetInfo(c.mode, &value, sizeof(value), &needed)) << "mode " << c.mode;
        EXPECT_EQ(c.value, value) << "mode " << c.mode;
        EXPECT_EQ(4u, needed) << "mode " << c.mode;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModelSet, UiPluginGetInfo, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleCase> &info) { return std::string(info.param.model); });

TEST_F(UiPluginFixture, GetInfoWithThreeByteBufferWantsFour)
{
    LoadPlugin("tavrin");
    BYTE buffer[3] = {0xAA, 0xAA, 0xAA};
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(E_FAIL, Plugin()->GetInfo(OEMGI_GETSIGNATURE, buffer, sizeof(buffer), &needed));
    EXPECT_EQ(4u, needed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0xAA, buffer[0]);
    EXPECT_EQ(0xAA, buffer[2]);

    // Without a buffer the host learns the size the same way.
    needed = 0;
    EXPECT_EQ(E_FAIL, Plugin()->GetInfo(OEMGI_GETVERSION, nullptr, 0, &needed));
    EXPECT_EQ(4u, needed);
}

TEST_F(UiPluginFixture, GetInfoWithUnknownModeNeedsNothing)
{
    LoadPlugin("tavrin");
    DWORD value = 0x12345678, needed = 99;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(E_FAIL, Plugin()->GetInfo(4, &value, sizeof(value), &needed));
    EXPECT_EQ(0u, needed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0x12345678u, value);
}

TEST_F(UiPluginFixture, SecondPublishDriverInterfaceKeepsTheFirst)
{
    LoadPlugin("tavrin");
    EXPECT_EQ(1, core_.References());
    kvhost::CoreUI second;
    EXPECT_EQ(S_OK, Plugin()->PublishDriverInterface(&second));
    EXPECT_EQ(0, second.References());
    EXPECT_EQ(1, core_.References());
    host_.Unload();
    // The object gave its reference back when it went.
    EXPECT_EQ(0, core_.References());
}

TEST_F(UiPluginFixture, PublishDriverInterfaceWithoutTheCoreInterfaceFails)
{
    // An object that is not the host's UI helper: our own factory's object.
    kvhost::UiPluginHost other;
    std::string error;
    ASSERT_TRUE(other.Load(uitest::UiModulePath("oskel"), nullptr, &error)) << error;
    ASSERT_TRUE(host_.Load(uitest::UiModulePath("tavrin"), nullptr, &error)) << error;
    EXPECT_EQ(E_FAIL, Plugin()->PublishDriverInterface(other.Plugin()));
    EXPECT_EQ(E_FAIL, Plugin()->PublishDriverInterface(nullptr));
    // Still nothing held: a real host interface is taken afterwards.
    EXPECT_EQ(S_OK, Plugin()->PublishDriverInterface(&core_));
    EXPECT_EQ(1, core_.References());
}

TEST_F(UiPluginFixture, ObjectAskedOnlyForTheFirstInterfaceAddsNoPages)
{
    uitest::Install("Plotter", "tavrin");
    kvhost::UiPluginHost host;
    std::string error;
    ASSERT_TRUE(host.LoadModule(uitest::UiModulePath("tavrin"), &error)) << error;
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, host.GetClassObject(CLSID_OEMUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    IPrintOemUI *first = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPrintOemUI, reinterpret_cast<void **>(&first)));
    factory->Release();
    ASSERT_EQ(S_OK, first->PublishDriverInterface(&core_));

    // The host treats the object through its first interface only; the
    // second's methods are the same object's slots.
    IPrintOemUI2 *plugin = static_cast<IPrintOemUI2 *>(first);
    {
    kvhost::OpenedPrinter printer("Plotter");
    kvhost::PropertySheetHost document(plugin, kvhost::SheetKind::Document, printer.get(), "Plotter");
    kvhost::PropertySheetHost device(plugin, kvhost::SheetKind::Device, printer.get(), "Plotter");
    EXPECT_EQ(E_NOTIMPL, document.Init());
    EXPECT_EQ(E_NOTIMPL, device.Init());
    EXPECT_TRUE(document.Pages().empty());
    EXPECT_TRUE(device.Pages().empty());
    EXPECT_EQ(nullptr, document.Param().pOEMUserData);

    // CommonUIProp tells the user that the driver cannot work, each time.
    kvhost::CommonUIHost common(plugin, OEMCUIP_DOCPROP, printer.get(), "Plotter");
    EXPECT_EQ(E_NOTIMPL, common.Call());
    EXPECT_EQ(E_NOTIMPL, common.Call());
    std::vector<kvp::MessageBoxCall> shown = kvp::LastMessageBoxes();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(nullptr, shown[0].owner);
    EXPECT_EQ(u"本プリンタドライバ内部の不整合により、正常に動作できません。\n"
              u"詳細につきましては、お近くのテレフォンセンターにお問い合わせください。",
              shown[0].text);
    EXPECT_EQ(u"Plotter", shown[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), shown[0].type);
    EXPECT_EQ(nullptr, common.Param().pOEMUserData);
    }
    first->Release();
}

TEST_F(UiPluginFixture, CommonUIPropWithoutHostInterfaceShowsTheInternalErrorMessage)
{
    uitest::Install("Plotter", "merrow");
    std::string error;
    ASSERT_TRUE(host_.Load(uitest::UiModulePath("merrow"), nullptr, &error)) << error;
    kvhost::OpenedPrinter printer("Plotter");
    kvhost::CommonUIHost common(Plugin(), OEMCUIP_PRNPROP, printer.get(), "Plotter");
    EXPECT_EQ(E_NOTIMPL, common.Call());
    ASSERT_EQ(1u, kvp::LastMessageBoxes().size());
    EXPECT_EQ(u"Plotter", kvp::LastMessageBoxes()[0].caption);
}

TEST_F(UiPluginFixture, DeviceCapabilitiesAnswersOnlyMediaReady)
{
    LoadPlugin("tavrin");
    struct {
        WORD capability;
        DWORD expected;
    } cases[] = {{DC_MEDIAREADY, 0}, {DC_PAPERS, 0xdeadbeef}, {DC_BINS, 0xdeadbeef}, {DC_MEDIATYPES, 0xdeadbeef}};
    for (const auto &c : cases) {
        DWORD result = 0xdeadbeef;
        EXPECT_EQ(S_OK, Plugin()->DeviceCapabilities(nullptr, nullptr, nullptr, c.capability, nullptr, nullptr,
                                                     nullptr, 7, &result))
            << "capability " << c.capability;
        EXPECT_EQ(c.expected, result) << "capability " << c.capability;
    }
    EXPECT_EQ(S_OK, Plugin()->DeviceCapabilities(nullptr, nullptr, nullptr, DC_MEDIAREADY, nullptr, nullptr, nullptr,
                                                 7, nullptr));
}

TEST_F(UiPluginFixture, MethodsWeDoNotProvideAnswerNotImplemented)
{
    LoadPlugin("tavrin");
    EXPECT_EQ(E_NOTIMPL, Plugin()->DevQueryPrintEx(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, Plugin()->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, Plugin()->FontInstallerDlgProc(nullptr, 0, 0, 0));
    EXPECT_EQ(E_NOTIMPL, Plugin()->UpdateExternalFonts(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, Plugin()->QueryJobAttributes(nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(E_NOTIMPL, Plugin()->HideStandardUI(0));
}

TEST_F(UiPluginFixture, DocumentEventsFollowThePrintSpeedSwitch)
{
    uitest::Install("Plotter", "tavrin");
    LoadPlugin("tavrin");
    kvhost::OpenedPrinter printer("Plotter");

    // Print-speed priority off: the events are ours (the print-time checks
    // come later and do not handle any yet).
    INT result = 12345;
    EXPECT_EQ(S_OK, Plugin()->DocumentEvent(printer.get(), nullptr, DOCUMENTEVENT_STARTDOC, 0, nullptr, 0, nullptr,
                                            &result));
    EXPECT_EQ(DOCUMENTEVENT_UNSUPPORTED, result);

    struct {
        DWORD features;
        const char *what;
    } on[] = {{0x1, "print-speed priority"}, {0x80000000, "every switch"}, {0x3, "both switches"}};
    for (const auto &c : on) {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), uitest::SetPrinterDataDword("Plotter", "OEMDisablePSFeatures", c.features));
        result = 12345;
        EXPECT_EQ(E_NOTIMPL, Plugin()->DocumentEvent(printer.get(), nullptr, DOCUMENTEVENT_STARTDOC, 0, nullptr, 0,
                                                     nullptr, &result))
            << c.what;
        EXPECT_EQ(DOCUMENTEVENT_UNSUPPORTED, result) << c.what;
    }
}

TEST_F(UiPluginFixture, LineBTakesNoPartInDocumentEvents)
{
    uitest::Install("Plotter", "pellin");
    LoadPlugin("pellin");
    kvhost::OpenedPrinter printer("Plotter");
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), uitest::SetPrinterDataDword("Plotter", "OEMDisablePSFeatures", 0));
    INT result = 12345;
    EXPECT_EQ(E_NOTIMPL, Plugin()->DocumentEvent(printer.get(), nullptr, DOCUMENTEVENT_CREATEDCPRE, 0, nullptr, 0,
                                                 nullptr, &result));
    EXPECT_EQ(DOCUMENTEVENT_UNSUPPORTED, result);
}

}  // namespace
