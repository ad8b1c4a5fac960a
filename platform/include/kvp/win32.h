// Everything of the emulated Win32 subset that product code may use.
#pragma once

#include "kvp/base.h"
#include "kvp/devmode.h"
#include "kvp/kernel.h"
#include "kvp/registry.h"
#include "kvp/codepage.h"
#include "kvp/rpc.h"
#include "kvp/spooler.h"
#include "kvp/resource.h"
#include "kvp/user.h"
