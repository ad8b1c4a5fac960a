// The render plug-in's COM object base.
#include "renderingunknown.h"

#include "coremain.h"

HRESULT RefuseInterface(void **ppv)
{
    KV_LOG(LOG_ERROR, "unsupported interface id.\n");
    if (ppv != nullptr) *ppv = nullptr;
    return E_NOINTERFACE;
}

RenderingUnknown::RenderingUnknown() : refCount_(1) { AddModuleObject(); }

RenderingUnknown::~RenderingUnknown() { RemoveModuleObject(); }

HRESULT STDMETHODCALLTYPE RenderingUnknown::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown *>(this);
        AddRef();
        return S_OK;
    }
    return RefuseInterface(ppv);
}

ULONG STDMETHODCALLTYPE RenderingUnknown::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG STDMETHODCALLTYPE RenderingUnknown::Release()
{
    LONG remaining = InterlockedDecrement(&refCount_);
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
}

void *RenderingUnknown::operator new(size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size); }

void RenderingUnknown::operator delete(void *block) noexcept
{
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
