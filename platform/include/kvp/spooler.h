// Emulated Win32: spooler.
#pragma once

#include "kvp/base.h"
