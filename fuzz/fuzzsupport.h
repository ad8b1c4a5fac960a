// Set-up shared by the fuzz targets: the fuzzer process plays one loaded
// module of the plug-in, on a fresh in-memory emulated system.
#pragma once

#include <cstdlib>

#include "coremain.h"
#include "kvsys.h"

// Attaches the fuzzer executable as the module, once per process, so that
// the private heap and the log exist as they do in a loaded plug-in.
inline void KvFuzzAttachModule()
{
    static const bool attached = [] {
        if (!ModuleAttach(GetModuleHandleW(nullptr))) abort();
        return true;
    }();
    (void)attached;
}
