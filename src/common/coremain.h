// Module start-up and shut-down, the model library binding and the
// diagnostics log shared by every module.
//
// Every module (UI plug-in, render plug-in, model library) runs ModuleAttach
// from its DllMain before anything else and ModuleDetach last. The model
// library build (KV_BUILD_MODELLIB) has the start-up only: no log (LogPrint
// does nothing there) and no model library of its own to bind.
#pragma once

#include <cstddef>

#include "kvsys.h"

enum LogLevel {
    LOG_NONE = 0,
    LOG_INFO = 1,
    LOG_NOTICE = 2,
    LOG_WARN = 3,
    LOG_ERROR = 4,
    LOG_ASSERT = 5,
};

// The string ids of every module's own string table that the core reads.
#define CORE_STRING_REGISTRY_KEY 1  // the driver's key under HKEY_LOCAL_MACHINE
#define CORE_STRING_LIBRARY_NAME 2  // base name of the model library, no extension

// Text of string 1 in every module; also what the core uses when a module
// carries no string 1 (a test executable), since the key is the same for
// every module of the driver.
#define CORE_DEFAULT_REGISTRY_KEY TEXT("Software\\Korvane\\KV PostScript Printer Driver\\")

// False makes the module refuse to load; the core has then cleaned up.
BOOL ModuleAttach(HMODULE module);
void ModuleDetach();
// A REG_DWORD under the driver's key; 0 when the key or value is missing or
// the value is of another type or size.
DWORD ReadTuningValue(LPCWSTR valueName);
HMODULE GetModuleHandleOfCore();
// The module's private heap (none before attach and after detach).
HANDLE GetPrivateHeap();

#ifndef KV_BUILD_MODELLIB
// The model library's single export.
typedef void (*OupmFunctionProc)(DWORD queryId, DWORD printerType, PVOID input, PVOID output);

// Loads the model library (module directory + string 2 + ".fpl") and finds
// its OupmFunction, once; a failed attempt is logged and retried next time.
BOOL BindModelLibrary();
// True when the library answered query queryId for printerType; false (and
// output untouched) when it cannot be bound or does not support the query.
BOOL QueryModel(DWORD queryId, DWORD printerType, PVOID input, PVOID output);
// The query protocol behind QueryModel, on a given entry: query 0 asks
// whether queryId is supported for printerType, then the query itself runs.
BOOL RunModelQuery(OupmFunctionProc entry, DWORD queryId, DWORD printerType, PVOID input, PVOID output);
#endif

#ifdef KV_BUILD_UI
// The module holding every user-interface resource (the model library),
// bound first if needed; null when it cannot be loaded.
HMODULE GetResourceModule();
// module directory + string 2 + suffix into buffer. False, buffer untouched,
// when string 2 is missing or the path and its NUL need more than capacity
// characters.
BOOL BuildModelFilePath(LPWSTR buffer, DWORD capacity, LPCWSTR suffix);
#endif

// Test seam: where the core reads its module's strings 1 and 2. The default
// (also after passing null) is LoadStringW on GetModuleHandleOfCore(). The
// loader answers like LoadStringW: the length copied, 0 when missing.
typedef int (*CoreStringLoader)(UINT id, LPWSTR buffer, int capacity);
void SetCoreStringLoader(CoreStringLoader loader);

// Longest log line, its CR LF included.
constexpr size_t kLogLineMax = 255;

// Writes one line to "<module file name>.log" in the temporary directory
// when level is at least the DebugLevel (1 to 5) and at most LOG_ASSERT:
//   "yyyy/mm/dd hh:mm:ss KVPS[LEVEL]: unit(line): function: message\r\n"
// The unit is whatever follows the last backslash (or slash) of sourceFile;
// "unit(line): " is left out for a null or empty sourceFile and
// "function: " for a null or empty function. One trailing line feed of the
// message is dropped; the whole line is cut to kLogLineMax characters,
// CR LF included. Keeps the caller's last error.
void LogPrint(int level, LPCSTR sourceFile, int line, LPCSTR function, LPCSTR format, ...);

// The source unit of a log line is the calling file's name without its
// directory and extension ("memory" for src/common/memory.cpp), worked out
// at compile time from __FILE__ so that both targets print the same unit
// whatever path the compiler saw. Product code logs through KV_LOG:
//   KV_LOG(LOG_ERROR, "Cannot open %S.\n", path);
namespace kvlog {
template <size_t N>
struct UnitName {
    char text[N];
};

template <size_t N>
constexpr UnitName<N> UnitOf(const char (&path)[N])
{
    UnitName<N> unit{};
    size_t start = 0;
    for (size_t i = 0; i + 1 < N; ++i)
        if (path[i] == '/' || path[i] == '\\') start = i + 1;
    size_t end = N - 1;
    for (size_t i = start; i + 1 < N; ++i)
        if (path[i] == '.') end = i;
    size_t n = 0;
    for (size_t i = start; i < end; ++i) unit.text[n++] = path[i];
    unit.text[n] = 0;
    return unit;
}
}  // namespace kvlog

#define KV_LOG(level, ...)                                                                       \
    do {                                                                                         \
        static constexpr ::kvlog::UnitName<sizeof(__FILE__)> kvLogUnit = ::kvlog::UnitOf(__FILE__); \
        LogPrint((level), kvLogUnit.text, __LINE__, __func__, __VA_ARGS__);                      \
    } while (0)
