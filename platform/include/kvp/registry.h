// Emulated Win32: registry.
#pragma once

#include "kvp/base.h"
