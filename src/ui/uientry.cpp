// UI plug-in module entry points.
#include "coremain.h"
#include "kvsys.h"

extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
        // Without its heap and its path the module cannot work: refuse the load.
        return ModuleAttach(hinstDLL);
    case DLL_PROCESS_DETACH:
        // The plug-in's own user-interface state is released before this
        // point, while the heap and the model library it came from are
        // still there.
        ModuleDetach();
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" KV_DLLEXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (ppv) *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" KV_DLLEXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return S_OK;
}
