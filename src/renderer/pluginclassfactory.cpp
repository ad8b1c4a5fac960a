// The render plug-in's class factory.
#include "pluginclassfactory.h"

#include "coremain.h"
#include "pluginrenderingsystem.h"

PluginClassFactory *PluginClassFactory::Create() { return new PluginClassFactory(); }

HRESULT STDMETHODCALLTYPE PluginClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IClassFactory) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    return RefuseInterface(ppv);
}

HRESULT STDMETHODCALLTYPE PluginClassFactory::CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject)
{
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr) {
        KV_LOG(LOG_ERROR, "non-Null pUnknownOuter.\n");
        return CLASS_E_NOAGGREGATION;
    }
    PluginRenderingSystem *object = PluginRenderingSystem::Create();
    if (object == nullptr) {
        KV_LOG(LOG_ERROR, "cannot create the PluginRenderingSystem.\n");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = object->QueryInterface(riid, ppvObject);
    // Only the caller's reference is left; without one the object is gone.
    object->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE PluginClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        AddModuleObject();
    else
        RemoveModuleObject();
    return S_OK;
}
