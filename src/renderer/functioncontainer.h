// The function container: owns the rendering functions of one document,
// binds them to the rendering system's services and hands them the
// rendering system's events in a fixed order.
//
// INVARIANT: an entry takes part in events only while its last result is
// S_OK; a function that once answers anything else hears nothing more from
// this container, and a negative answer makes every later event of the
// container report E_FAIL.
#pragma once

#include "renderingfunction.h"
#include "renderingintf.h"
#include "renderingunknown.h"

class JclHandler;
class PropertyHandler;

constexpr LONG kMaxFunctions = 64;

class FunctionContainer : public RenderingUnknown, public IFunctionContainer {
public:
    struct Entry {
        LONG kind;                    // FunctionKind
        RenderingFunction *function;  // owned
        LPCSTR name;                  // the function's own
        HRESULT result;               // of the last call; 0 when added
    };

    // A container holding its PSProcServer (kind 0) as entry 0; null when
    // either cannot be allocated.
    static FunctionContainer *Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return RenderingUnknown::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RenderingUnknown::Release(); }

    HRESULT STDMETHODCALLTYPE Initialize(IRenderingSystem *services) override;
    HRESULT STDMETHODCALLTYPE AddFunction(LONG kind, RenderingFunction *function) override;
    HRESULT STDMETHODCALLTYPE FireEvent(DWORD id, PVOID argument) override;
    HRESULT STDMETHODCALLTYPE Dispatch(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data) override;

    LONG Count() const { return count_; }
    const Entry &At(LONG index) const { return table_[index]; }
    bool IsInitialized() const { return initialized_; }
    IRenderingSystem *Services() const { return services_; }

private:
    FunctionContainer();
    ~FunctionContainer() override;

    // Calls CALL on every entry of KIND that takes part, in table order,
    // keeping each answer as the entry's result.
    template <typename Call>
    void ForKind(LONG kind, Call call);
    // Document functions first, then system functions.
    template <typename Call>
    void ForAll(Call call);
    // The steps by which a version-1 provider receives the job's state.
    HRESULT SerializePublicDevmode();
    HRESULT SerializeJobInformation();
    HRESULT SerializeDocumentName(LPCWSTR documentName);
    HRESULT SerializeBeginStream();
    HRESULT WriteSerializedProperty(LPCSTR name, DWORD size, LPCVOID data);

    Entry table_[kMaxFunctions];
    LONG count_;
    bool initialized_;
    IRenderingSystem *services_;  // one reference, taken for us by our creator
};

// Builds a document's functions and their container with SERVICES: the
// PropertyHandler and the JclHandler (initialized in that order), then the
// container with its PSProcServer, the JclHandler and the PropertyHandler
// (kind 1 each). The container holds one reference to SERVICES. The two
// functions are borrowed from the container.
HRESULT CreateFunctionContainer(IRenderingSystem *services, IFunctionContainer **container, JclHandler **jclHandler,
                                PropertyHandler **propertyHandler);
