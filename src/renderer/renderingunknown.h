// The base of every COM object of the render plug-in: its reference count,
// its share of the module object count, and its memory.
//
// INVARIANT: an object adds one to the module object count from its
// construction to its destruction, so DllCanUnloadNow can tell whether any
// object of the module is still alive.
#pragma once

#include <cstddef>

#include "kvcontract.h"

// The module object count (kvps_rm32_dllentry): live objects and server
// locks. Changed only by atomic increments and decrements, because the
// host may release objects from any thread.
LONG AddModuleObject();
LONG RemoveModuleObject();
LONG ModuleObjectCount();

// Logs the refusal of an interface id and clears the result.
HRESULT RefuseInterface(void **ppv);

class RenderingUnknown : public IUnknown {
public:
    // The count starts at 1: the creator's reference.
    RenderingUnknown();
    RenderingUnknown(const RenderingUnknown &) = delete;
    RenderingUnknown &operator=(const RenderingUnknown &) = delete;

    // IUnknown only; anything else is logged and refused.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    // The new count.
    ULONG STDMETHODCALLTYPE AddRef() override;
    // The remaining count; the object is gone when it reaches 0.
    ULONG STDMETHODCALLTYPE Release() override;
    virtual ~RenderingUnknown();

    // COM objects live on the process heap, where the host can outlive our
    // private heap. Null when the heap refuses: a new-expression then
    // yields null and constructs nothing.
    static void *operator new(size_t size) noexcept;
    static void operator delete(void *block) noexcept;

    LONG References() const { return refCount_; }

protected:
    LONG volatile refCount_;
};
