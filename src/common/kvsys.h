// The one system header of the product code. On Windows it is the real
// Win32 headers; on Linux it is our emulated platform with the same names.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef UNICODE
#define UNICODE 1
#endif
#ifndef _UNICODE
#define _UNICODE 1
#endif
#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#include <windows.h>
#include <winspool.h>
#include <objbase.h>
#include <rpc.h>
#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>
// winspool.h turns DeviceCapabilities into a macro; the UI plug-in has a
// method of that name.
#undef DeviceCapabilities
// Exports come from the module's .def file.
#define KV_DLLEXPORT
#else
#include "kvp/win32.h"
#define KV_DLLEXPORT __attribute__((visibility("default")))
#endif
