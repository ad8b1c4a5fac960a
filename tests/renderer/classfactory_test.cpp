// The module's COM entry: DllGetClassObject, the class factory, the module
// object count behind DllCanUnloadNow, and the rendering system's
// interfaces.
#include "pluginclassfactory.h"
#include "render_support.h"

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

using namespace rendertest;

const CLSID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

class ClassFactoryTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        // Every earlier test let go of what it made.
        ASSERT_EQ(0, ModuleObjectCount());
    }

    IClassFactory *Factory()
    {
        void *factory = nullptr;
        EXPECT_EQ(S_OK, DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &factory));
        return static_cast<IClassFactory *>(factory);
    }
};

TEST_F(ClassFactoryTest, OnlyTheRenderClassIsServed)
{
    void *object = reinterpret_cast<void *>(0x1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(CLSID_OEMUI, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(kOtherClass, IID_IClassFactory, &object));
    EXPECT_NE(std::string::npos, LogText().find("KVPS[ERROR]: kvps_rm32_dllentry("));
    EXPECT_NE(std::string::npos, LogText().find("unsupported class id."));
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ClassFactoryTest, FactoryAnswersItsTwoInterfacesOnly)
{
    void *object = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(CLSID_OEMRENDER, IID_IUnknown, &object));
    ASSERT_NE(nullptr, object);
    static_cast<IUnknown *>(object)->Release();

    // The creation reference goes with the failed QueryInterface: nothing
    // stays alive.
    object = reinterpret_cast<void *>(0x1);
    EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_OEMRENDER, IID_IPrintOemPS2, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_NE(std::string::npos, LogText().find("unsupported interface id."));
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ClassFactoryTest, FactoryThatCannotBeAllocatedIsOutOfMemory)
{
    void *object = reinterpret_cast<void *>(0x1);
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(E_OUTOFMEMORY, DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_NE(std::string::npos, LogText().find("cannot create the PluginClassFactory."));
}

TEST_F(ClassFactoryTest, CreateInstanceRefusesAggregation)
{
    IClassFactory *factory = Factory();
    ASSERT_NE(nullptr, factory);
    FakeCore outer;
    void *object = reinterpret_cast<void *>(0x1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_NE(std::string::npos, LogText().find("non-Null pUnknownOuter."));
    EXPECT_EQ(1, ModuleObjectCount());
    factory->Release();
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ClassFactoryTest, CreateInstanceOutOfMemoryAndUnknownInterface)
{
    IClassFactory *factory = Factory();
    ASSERT_NE(nullptr, factory);
    void *object = reinterpret_cast<void *>(0x1);
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IPrintOemPS2, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_NE(std::string::npos, LogText().find("cannot create the PluginRenderingSystem."));

    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPrintOemUI2, &object));
    EXPECT_EQ(nullptr, object);
    // The object that did not answer is gone again.
    EXPECT_EQ(1, ModuleObjectCount());
    factory->Release();
}

TEST_F(ClassFactoryTest, CanUnloadNowWhileLockedOrObjectsLive)
{
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    IClassFactory *factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    // The lock alone keeps the module.
    EXPECT_EQ(1, ModuleObjectCount());
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());

    factory = Factory();
    void *object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPrintOemPS2, &object));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    static_cast<IUnknown *>(object)->Release();
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ClassFactoryTest, ReferenceCountsStartAtOneAndReportTheNewCount)
{
    IClassFactory *factory = Factory();
    ASSERT_NE(nullptr, factory);
    void *object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, &object));
    factory->Release();
    IUnknown *unknown = static_cast<IUnknown *>(object);
    EXPECT_EQ(2u, unknown->AddRef());
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(0u, unknown->Release());
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ClassFactoryTest, RenderingSystemInterfacesShareOneObject)
{
    PluginRenderingSystem *system = PluginRenderingSystem::Create();
    ASSERT_NE(nullptr, system);
    struct Case {
        const char *name;
        const IID *iid;
        bool answers;
    } cases[] = {
        {"IUnknown", &IID_IUnknown, true},
        {"IPrintOemPS", &IID_IPrintOemPS, true},
        {"IPrintOemPS2", &IID_IPrintOemPS2, true},
        {"IRenderingSystem", &IID_IRenderingSystem, true},
        {"IFunctionContainer", &IID_IFunctionContainer, false},
        {"IPrintOemUI2", &IID_IPrintOemUI2, false},
        {"IClassFactory", &IID_IClassFactory, false},
    };
    void *ps = nullptr;
    for (const Case &c : cases) {
        void *object = reinterpret_cast<void *>(0x1);
        HRESULT hr = system->QueryInterface(*c.iid, &object);
        EXPECT_EQ(c.answers ? S_OK : E_NOINTERFACE, hr) << c.name;
        if (!c.answers) {
            EXPECT_EQ(nullptr, object) << c.name;
            continue;
        }
        // Every interface counts on the same object.
        EXPECT_EQ(3u, static_cast<IUnknown *>(object)->AddRef()) << c.name;
        static_cast<IUnknown *>(object)->Release();
        static_cast<IUnknown *>(object)->Release();
        if (c.iid == &IID_IPrintOemPS) ps = object;
    }
    // IPrintOemPS and IPrintOemPS2 are the same table.
    void *ps2 = nullptr;
    system->QueryInterface(IID_IPrintOemPS2, &ps2);
    EXPECT_EQ(ps, ps2);
    static_cast<IUnknown *>(ps2)->Release();
    EXPECT_EQ(0u, system->Release());
    EXPECT_EQ(0, ModuleObjectCount());
}

TEST_F(ClassFactoryTest, RenderingSystemVersionAndServicesWithoutADevice)
{
    PluginRenderingSystem *system = PluginRenderingSystem::Create();
    ASSERT_NE(nullptr, system);
    IRenderingSystem *services = system;
    EXPECT_EQ(2, services->GetVersion());
    PDEVOBJ device = reinterpret_cast<PDEVOBJ>(0x1);
    EXPECT_EQ(E_FAIL, services->GetDevObj(&device));
    EXPECT_EQ(nullptr, device);
    IPrintCorePS2 *core = reinterpret_cast<IPrintCorePS2 *>(0x1);
    EXPECT_EQ(E_FAIL, services->GetCoreHelper(&core));
    EXPECT_EQ(nullptr, core);
    HANDLE printer = reinterpret_cast<HANDLE>(0x1);
    EXPECT_EQ(E_FAIL, services->GetPrinterHandle(&printer));
    EXPECT_EQ(nullptr, printer);
    PDEVMODEW devmode = reinterpret_cast<PDEVMODEW>(0x1);
    EXPECT_EQ(E_FAIL, services->GetPublicDevmode(&devmode));
    EXPECT_EQ(nullptr, devmode);
    JobInfo *info = reinterpret_cast<JobInfo *>(0x1);
    EXPECT_EQ(E_FAIL, services->GetJobInfo(&info));
    EXPECT_EQ(nullptr, info);
    EXPECT_EQ(E_INVALIDARG, services->GetDevObj(nullptr));
    EXPECT_EQ(E_INVALIDARG, services->GetCoreHelper(nullptr));
    EXPECT_EQ(E_INVALIDARG, services->GetPrinterHandle(nullptr));
    EXPECT_EQ(E_INVALIDARG, services->GetPublicDevmode(nullptr));
    EXPECT_EQ(E_INVALIDARG, services->GetJobInfo(nullptr));
    EXPECT_EQ(E_FAIL, services->WriteSpooler("x", 1));
    EXPECT_EQ(E_FAIL, services->WriteStream("x", 1));
    EXPECT_EQ(E_FAIL, services->Write("x", 1));
    EXPECT_EQ(E_FAIL, services->WriteProperty("a", "b", 1, 1, "x"));
    EXPECT_EQ(E_NOTIMPL, services->Reserved());
    system->Release();
}

TEST_F(ClassFactoryTest, ContainerFromModuleChecksItsArguments)
{
    PluginRenderingSystem *system = PluginRenderingSystem::Create();
    ASSERT_NE(nullptr, system);
    IFunctionContainer *container = reinterpret_cast<IFunctionContainer *>(0x1);
    EXPECT_EQ(E_INVALIDARG, system->CreateContainerFromModule(nullptr, &container, system));
    EXPECT_EQ(nullptr, container);
    EXPECT_EQ(E_INVALIDARG, system->CreateContainerFromModule(GetModuleHandleW(nullptr), nullptr, system));
    container = reinterpret_cast<IFunctionContainer *>(0x1);
    EXPECT_EQ(E_INVALIDARG, system->CreateContainerFromModule(GetModuleHandleW(nullptr), &container, nullptr));
    EXPECT_EQ(nullptr, container);
    EXPECT_EQ(0u, system->Release());
}

}  // namespace
