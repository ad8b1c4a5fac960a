// Model resource library: the model queries.
#include "kvsys.h"

extern "C" KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved)
{
    return TRUE;
}

extern "C" KV_DLLEXPORT void OupmFunction(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
}
