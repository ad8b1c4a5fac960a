// Render plug-in module entry points.
#include "kvsys.h"

extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
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
