// What the platform knows about a loaded module beyond Win32: for the other
// areas of the platform (the resource reader) and the tests, never for
// product code.
#pragma once

#include "kvp/base.h"
#include "kvp/system.h"

namespace kvp {

// The native path of the file behind a module handle: a module loaded with
// LoadLibraryW or LoadLibraryExW (data file loads included), a module found
// with GetModuleHandleW or GetModuleHandleExW, or, for NULL, the executable.
// "" (never null) for a handle that is no module. The text stays valid
// until the module is freed for the last time.
KVP_CXX_API const char *ModuleNativePath(HMODULE module);

}  // namespace kvp
