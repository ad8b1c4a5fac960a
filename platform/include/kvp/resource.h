// Emulated Win32: resource.
#pragma once

#include "kvp/base.h"
