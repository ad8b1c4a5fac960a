// Windows stand-in: the file behind a module handle, as GetModuleFileNameW
// knows it (UTF-8); "" for a handle that is no module.
#pragma once

#include "kvp/base.h"
#include "kvp/system.h"

namespace kvp {

const char *ModuleNativePath(HMODULE module);

}  // namespace kvp
