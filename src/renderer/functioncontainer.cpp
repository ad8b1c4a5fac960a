// The function container and the creation of a document's functions.
#include "functioncontainer.h"

#include <cstring>

#include "coremain.h"
#include "jclhandler.h"
#include "jobinfo.h"
#include "memory.h"
#include "propertyhandler.h"
#include "rfpsprocserver.h"

namespace {

// Owner and names of the serialization steps.
inline constexpr CHAR kSerializeOwner[] = "__Serialize__";
inline constexpr CHAR kPublicDevmodeProperty[] = "__PublicDM__";
inline constexpr CHAR kJobInfoProperty[] = "__JobInfo__";
inline constexpr CHAR kStartDocProperty[] = "__StartDoc__";
inline constexpr CHAR kBeginStreamProperty[] = "__BeginStream__";

}  // namespace

FunctionContainer *FunctionContainer::Create()
{
    FunctionContainer *container = new FunctionContainer();
    if (container == nullptr) return nullptr;
    PSProcServer *server = new PSProcServer();
    if (server == nullptr) {
        container->Release();
        return nullptr;
    }
    container->AddFunction(FUNCTION_KIND_SYSTEM, server);
    return container;
}

FunctionContainer::FunctionContainer() : table_{}, count_(0), initialized_(false), services_(nullptr) {}

FunctionContainer::~FunctionContainer()
{
    for (LONG i = 0; i < count_; ++i) delete table_[i].function;
    count_ = 0;
    if (services_ != nullptr) services_->Release();
}

HRESULT STDMETHODCALLTYPE FunctionContainer::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IFunctionContainer)) {
        *ppv = static_cast<IFunctionContainer *>(this);
        AddRef();
        return S_OK;
    }
    return RenderingUnknown::QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE FunctionContainer::Initialize(IRenderingSystem *services)
{
    if (services == nullptr) return E_INVALIDARG;
    services_ = services;
    for (LONG i = 0; i < count_; ++i) {
        Entry &entry = table_[i];
        if (!initialized_) {
            entry.result = entry.function->Initialize(services);
        } else {
            // The device was reset: a function that bowed out stays out, a
            // failed one fails the container, the others follow the new
            // services.
            if (entry.result > 0) continue;
            if (entry.result == S_OK) entry.result = entry.function->Bind(services);
        }
        if (FAILED(entry.result)) {
            KV_LOG(LOG_ERROR, "Function[%s] initialization failed.\n", entry.name != nullptr ? entry.name : "");
            return E_FAIL;
        }
    }
    initialized_ = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FunctionContainer::AddFunction(LONG kind, RenderingFunction *function)
{
    if (function == nullptr) return E_INVALIDARG;
    if (count_ >= kMaxFunctions) return E_OUTOFMEMORY;
    LPCSTR name = nullptr;
    if (FAILED(function->GetName(&name))) name = nullptr;
    table_[count_] = Entry{kind, function, name, S_OK};
    ++count_;
    return S_OK;
}

template <typename Call>
void FunctionContainer::ForKind(LONG kind, Call call)
{
    for (LONG i = 0; i < count_; ++i) {
        Entry &entry = table_[i];
        if (entry.kind != kind || entry.function == nullptr || entry.result != S_OK) continue;
        entry.result = call(entry.function);
    }
}

template <typename Call>
void FunctionContainer::ForAll(Call call)
{
    ForKind(FUNCTION_KIND_DOCUMENT, call);
    ForKind(FUNCTION_KIND_SYSTEM, call);
}

HRESULT STDMETHODCALLTYPE FunctionContainer::FireEvent(DWORD id, PVOID argument)
{
    if (!initialized_) return E_FAIL;
    HRESULT hr = S_OK;
    switch (id) {
    case RF_STARTDOC: {
        const StartDocEvent *start = static_cast<const StartDocEvent *>(argument);
        if (start == nullptr) return E_INVALIDARG;
        ForAll([&](RenderingFunction *f) { return f->OnStartDoc(start->documentName, start->jobId); });
        if (services_->GetVersion() == kServicesVersionSerializing) {
            if (FAILED(hr = SerializePublicDevmode())) return hr;
            if (FAILED(hr = SerializeJobInformation())) return hr;
            ForAll([](RenderingFunction *f) { return f->Serialize(); });
            if (FAILED(hr = SerializeDocumentName(start->documentName))) return hr;
        }
        break;
    }
    case RF_ENDDOC:
        ForAll([](RenderingFunction *f) { return f->OnEndDoc(); });
        break;
    case RF_BEGINSTREAM:
        ForKind(FUNCTION_KIND_DOCUMENT, [](RenderingFunction *f) { return f->PreBeginStream(); });
        ForAll([](RenderingFunction *f) { return f->OnBeginStream(); });
        if (services_->GetVersion() == kServicesVersionSerializing) {
            if (FAILED(hr = SerializePublicDevmode())) return hr;
            if (FAILED(hr = SerializeBeginStream())) return hr;
        }
        break;
    case RF_ENDJOB:
        ForAll([](RenderingFunction *f) { return f->OnEndJob(); });
        ForKind(FUNCTION_KIND_DOCUMENT, [](RenderingFunction *f) { return f->PostEndJob(); });
        break;
    case RF_BEGINJOB:
        ForAll([](RenderingFunction *f) { return f->OnBeginJob(); });
        break;
    case RF_ENDSTREAM:
        ForAll([](RenderingFunction *f) { return f->OnEndStream(); });
        break;
    case RF_PSINJECT: {
        const PSInjectEvent *inject = static_cast<const PSInjectEvent *>(argument);
        if (inject == nullptr) return E_INVALIDARG;
        ForAll([&](RenderingFunction *f) { return f->OnPSInject(inject->index); });
        break;
    }
    case RF_REJECTED:
        return E_NOTIMPL;
    default:
        break;
    }
    for (LONG i = 0; i < count_; ++i)
        if (FAILED(table_[i].result)) return E_FAIL;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FunctionContainer::Dispatch(LPCSTR owner, LPCSTR name, DWORD type, DWORD size,
                                                     LPCVOID data)
{
    if (owner == nullptr || name == nullptr || data == nullptr) return E_INVALIDARG;
    if (!initialized_) return E_FAIL;
    HRESULT hr = S_FALSE;
    for (LONG i = 0; i < count_; ++i) {
        Entry &entry = table_[i];
        if (entry.function == nullptr || entry.name == nullptr || std::strcmp(entry.name, owner) != 0) continue;
        hr = entry.function->OnProperty(name, data, size);
        if (hr == S_OK) break;
    }
    return hr;
}

HRESULT FunctionContainer::WriteSerializedProperty(LPCSTR name, DWORD size, LPCVOID data)
{
    return services_->WriteProperty(kSerializeOwner, name, kPropertyTypeBinary, size, data);
}

HRESULT FunctionContainer::SerializePublicDevmode()
{
    PDEVMODEW devmode = nullptr;
    if (FAILED(services_->GetPublicDevmode(&devmode)) || devmode == nullptr) return E_FAIL;
    DWORD size = static_cast<DWORD>(devmode->dmSize) + devmode->dmDriverExtra;
    return WriteSerializedProperty(kPublicDevmodeProperty, size, devmode);
}

HRESULT FunctionContainer::SerializeJobInformation()
{
    JobInfo *info = nullptr;
    if (FAILED(services_->GetJobInfo(&info)) || info == nullptr) return E_FAIL;
    BYTE *bytes = nullptr;
    DWORD size = 0;
    if (!SerializeJobInfoAlloc(info, &bytes, &size)) return E_OUTOFMEMORY;
    HRESULT hr = WriteSerializedProperty(kJobInfoProperty, size, bytes);
    MemFree(bytes);
    return hr;
}

HRESULT FunctionContainer::SerializeDocumentName(LPCWSTR documentName)
{
    static const WCHAR kEmpty[] = {0};
    if (documentName == nullptr) documentName = kEmpty;
    DWORD characters = 0;
    while (documentName[characters] != 0) ++characters;
    return WriteSerializedProperty(kStartDocProperty, 2 * characters + 2, documentName);
}

HRESULT FunctionContainer::SerializeBeginStream()
{
    const BYTE marker[4] = {RF_BEGINSTREAM, 0, 0, 0};
    return WriteSerializedProperty(kBeginStreamProperty, sizeof(marker), marker);
}

HRESULT CreateFunctionContainer(IRenderingSystem *services, IFunctionContainer **container, JclHandler **jclHandler,
                                PropertyHandler **propertyHandler)
{
    if (services == nullptr || container == nullptr || jclHandler == nullptr || propertyHandler == nullptr)
        return E_INVALIDARG;
    *container = nullptr;
    *jclHandler = nullptr;
    *propertyHandler = nullptr;

    PropertyHandler *property = new PropertyHandler();
    JclHandler *jcl = new JclHandler();
    if (property == nullptr || jcl == nullptr) {
        delete property;
        delete jcl;
        return E_OUTOFMEMORY;
    }
    HRESULT hr = property->Initialize(services);
    if (SUCCEEDED(hr)) hr = jcl->Initialize(services);
    if (FAILED(hr)) {
        delete property;
        delete jcl;
        return hr;
    }

    FunctionContainer *created = FunctionContainer::Create();
    if (created == nullptr) {
        delete property;
        delete jcl;
        return E_FAIL;
    }
    JclHandler *jclAdded = jcl;
    PropertyHandler *propertyAdded = property;
    // The container keeps the services from its Initialize on and lets go
    // of them when it is destroyed, also on the failures below.
    services->AddRef();
    hr = created->Initialize(services);
    if (SUCCEEDED(hr)) {
        hr = created->AddFunction(FUNCTION_KIND_DOCUMENT, jcl);
        if (SUCCEEDED(hr)) jcl = nullptr;
    }
    if (SUCCEEDED(hr)) {
        hr = created->AddFunction(FUNCTION_KIND_DOCUMENT, property);
        if (SUCCEEDED(hr)) property = nullptr;
    }
    if (FAILED(hr)) {
        // What the container does not own yet is still ours.
        delete property;
        delete jcl;
        if (created->Services() == nullptr) services->Release();
        created->Release();
        return hr;
    }
    *container = created;
    *jclHandler = jclAdded;
    *propertyHandler = propertyAdded;
    return S_OK;
}
