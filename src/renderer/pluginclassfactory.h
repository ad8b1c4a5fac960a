// The class factory of CLSID_OEMRENDER: makes the rendering system objects
// the host asks for, and counts the host's server locks.
#pragma once

#include "renderingunknown.h"

class PluginClassFactory : public RenderingUnknown, public IClassFactory {
public:
    // A new factory on the process heap with one reference; null when the
    // heap refuses.
    static PluginClassFactory *Create();

    // IClassFactory and IUnknown; anything else is refused.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return RenderingUnknown::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RenderingUnknown::Release(); }

    // No aggregation. The new object answers RIID or is gone again.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override;
    // Each lock counts as a live object of the module until it is undone.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

private:
    PluginClassFactory() = default;
    ~PluginClassFactory() override = default;
};
