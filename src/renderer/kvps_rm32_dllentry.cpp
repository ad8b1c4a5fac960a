// Render plug-in module entry points: the module's start and end, the COM
// server exports through which the host finds our one class, and the
// module object count that decides when the module may be unloaded.
#include "coremain.h"
#include "kvcontract.h"
#include "pluginclassfactory.h"
#include "renderingunknown.h"

namespace {

// INVARIANT: changed only by atomic increments and decrements. Every live
// COM object of the module counts one, and so does every LockServer(TRUE)
// until its LockServer(FALSE).
LONG volatile g_moduleObjects = 0;

}  // namespace

LONG AddModuleObject() { return InterlockedIncrement(&g_moduleObjects); }

LONG RemoveModuleObject() { return InterlockedDecrement(&g_moduleObjects); }

LONG ModuleObjectCount() { return InterlockedCompareExchange(&g_moduleObjects, 0, 0); }

extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
        // Without its heap and its path the module cannot work: refuse the load.
        return ModuleAttach(hinstDLL);
    case DLL_PROCESS_DETACH:
        ModuleDetach();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" KV_DLLEXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_OEMRENDER)) {
        KV_LOG(LOG_ERROR, "unsupported class id.\n");
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    PluginClassFactory *factory = PluginClassFactory::Create();
    if (factory == nullptr) {
        KV_LOG(LOG_ERROR, "cannot create the PluginClassFactory.\n");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" KV_DLLEXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return ModuleObjectCount() == 0 ? S_OK : S_FALSE;
}
