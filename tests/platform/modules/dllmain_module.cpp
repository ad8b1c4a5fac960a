// A tiny module for the loader's conformance tests. It writes every DllMain
// call into the process environment (a letter per call: A attach, D detach),
// which outlives the module, and refuses its attach when asked to.
#include "kvp/win32.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HINSTANCE g_attachedAs = nullptr;

void Record(WCHAR letter)
{
    WCHAR log[64] = {0};
    DWORD n = GetEnvironmentVariableW(u"KV_TEST_DLLMAIN_LOG", log, 62);
    if (n > 61) n = 0;
    log[n] = letter;
    log[n + 1] = 0;
    SetEnvironmentVariableW(u"KV_TEST_DLLMAIN_LOG", log);
}

}  // namespace

TEST_EXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    if (fdwReason == DLL_PROCESS_ATTACH) {
        Record(u'A');
        WCHAR refuse[4];
        if (GetEnvironmentVariableW(u"KV_TEST_DLLMAIN_REFUSE", refuse, 4) == 1 && refuse[0] == u'1') return FALSE;
        g_attachedAs = hinstDLL;
    } else if (fdwReason == DLL_PROCESS_DETACH) {
        Record(u'D');
    }
    return TRUE;
}

// The handle DllMain was given at attach.
TEST_EXPORT HINSTANCE AttachedHandle() { return g_attachedAs; }

// The module as its own code finds it.
TEST_EXPORT HMODULE OwnModule()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&AttachedHandle), &self);
    return self;
}
