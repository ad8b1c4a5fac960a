// The activation context step of the UI plug-in.
#include "actctx.h"

#include "coremain.h"
#include "resid.h"

namespace {

typedef HANDLE(WINAPI *CreateActCtxWProc)(PCACTCTXW context);
typedef void(WINAPI *ReleaseActCtxProc)(HANDLE context);
typedef BOOL(WINAPI *ActivateActCtxProc)(HANDLE context, ULONG_PTR *cookie);
typedef BOOL(WINAPI *DeactivateActCtxProc)(DWORD flags, ULONG_PTR cookie);

struct ActivationApi {
    BOOL looked;
    CreateActCtxWProc create;
    ReleaseActCtxProc release;
    ActivateActCtxProc activate;
    DeactivateActCtxProc deactivate;
};

// Module state. INVARIANT: g_context is INVALID_HANDLE_VALUE unless it came
// from CreateActCtxW and has not been released.
ActivationApi g_api = {};
HANDLE g_context = INVALID_HANDLE_VALUE;

template <typename Proc>
Proc LookUp(HMODULE kernel, LPCSTR name)
{
    // The detour through void (*)() is the documented way to change a
    // function pointer's type without a cast-function-type warning.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

const ActivationApi &Api()
{
    if (!g_api.looked) {
        ActivationApi api = {};
        api.looked = TRUE;
        HMODULE kernel = GetModuleHandleW(TEXT("kernel32.dll"));
        if (kernel != nullptr) {
            api.create = LookUp<CreateActCtxWProc>(kernel, "CreateActCtxW");
            api.release = LookUp<ReleaseActCtxProc>(kernel, "ReleaseActCtx");
            api.activate = LookUp<ActivateActCtxProc>(kernel, "ActivateActCtx");
            api.deactivate = LookUp<DeactivateActCtxProc>(kernel, "DeactivateActCtx");
        }
        g_api = api;
    }
    return g_api;
}

// The module's context, created from our manifest when there is none yet.
HANDLE ModuleContext()
{
    if (g_context != INVALID_HANDLE_VALUE) return g_context;
    const ActivationApi &api = Api();
    if (api.create == nullptr || api.release == nullptr) return INVALID_HANDLE_VALUE;
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(GetModuleHandleOfCore(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return INVALID_HANDLE_VALUE;
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path;
    request.lpResourceName = MAKEINTRESOURCEW(IDR_MANIFEST);
    // Two sheets opening at once in two threads may both get here; the
    // later context is kept and the earlier one lives on with its pages.
    HANDLE context = api.create(&request);
    if (context != INVALID_HANDLE_VALUE && context != nullptr) g_context = context;
    return g_context;
}

}  // namespace

void ApplyActivationContext(PROPSHEETPAGEW *page)
{
    if (page == nullptr) return;
    HANDLE context = ModuleContext();
    if (context == INVALID_HANDLE_VALUE) return;
    page->dwFlags |= PSP_USEFUSIONCONTEXT;
    page->hActCtx = context;
}

BOOL ActivatePluginContext(ULONG_PTR *cookie)
{
    if (cookie == nullptr) return FALSE;
    *cookie = 0;
    HANDLE context = ModuleContext();
    const ActivationApi &api = Api();
    if (context == INVALID_HANDLE_VALUE || api.activate == nullptr || api.deactivate == nullptr) return FALSE;
    return api.activate(context, cookie);
}

void DeactivatePluginContext(BOOL activated, ULONG_PTR cookie)
{
    if (!activated || g_api.deactivate == nullptr) return;
    DWORD error = GetLastError();
    g_api.deactivate(0, cookie);
    SetLastError(error);
}

void ReleaseActivationContext()
{
    if (g_context == INVALID_HANDLE_VALUE) return;
    if (g_api.release != nullptr) g_api.release(g_context);
    g_context = INVALID_HANDLE_VALUE;
}

HANDLE CurrentActivationContext() { return g_context; }
