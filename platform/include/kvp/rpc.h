// Emulated Win32: rpc.
#pragma once

#include "kvp/base.h"
