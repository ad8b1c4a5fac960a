// UI plug-in module entry points: the module's start and end, and the COM
// server exports through which the host finds our one class.
#include "actctx.h"
#include "coremain.h"
#include "kvcontract.h"
#include "oumplugi.h"

extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
        // Without its heap and its path the module cannot work: refuse the load.
        return ModuleAttach(hinstDLL);
    case DLL_PROCESS_DETACH:
        // Our own user-interface state goes first, while the heap and the
        // model library it came from are still there.
        ReleaseActivationContext();
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
    if (!IsEqualCLSID(rclsid, CLSID_OEMUI)) return CLASS_E_CLASSNOTAVAILABLE;
    UiClassFactory *factory = UiClassFactory::Create();
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" KV_DLLEXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    // Live factories and objects do not keep us loaded; only LockServer does.
    return UiLockCount() == 0 ? S_OK : S_FALSE;
}
