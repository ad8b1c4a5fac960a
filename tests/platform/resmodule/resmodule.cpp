// The resource test module: nothing but its resources and an entry point.
#include "kvp/base.h"

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason,
                                                                      LPVOID lpvReserved)
{
    return TRUE;
}
