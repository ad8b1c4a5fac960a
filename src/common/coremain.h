// Module start-up and shut-down, the model library binding and the
// diagnostics log shared by every module.
#pragma once

#include "kvsys.h"

enum LogLevel {
    LOG_NONE = 0,
    LOG_INFO = 1,
    LOG_NOTICE = 2,
    LOG_WARN = 3,
    LOG_ERROR = 4,
    LOG_ASSERT = 5,
};

BOOL ModuleAttach(HMODULE module);
void ModuleDetach();
DWORD ReadTuningValue(LPCWSTR valueName);
BOOL BindModelLibrary();
BOOL QueryModel(DWORD queryId, DWORD printerType, PVOID input, PVOID output);
HMODULE GetResourceModule();
BOOL BuildModelFilePath(LPWSTR buffer, DWORD capacity, LPCWSTR suffix);
HMODULE GetModuleHandleOfCore();
// The module's private heap (none before attach).
HANDLE GetPrivateHeap();
void LogPrint(int level, LPCSTR sourceFile, int line, LPCSTR function, LPCSTR format, ...);

// Logs with the calling unit's file, line and function.
#define KV_LOG(level, ...) LogPrint((level), __FILE__, __LINE__, __func__, __VA_ARGS__)
