// Module start-up and shut-down, the binding to the model library and the
// diagnostics log. Each module has its own copy of this state (plain
// globals): a DLL's globals are its own.
#include "coremain.h"

#include <clocale>
#include <cstdarg>

#include "format.h"

namespace {

HMODULE g_module;
WCHAR g_moduleDir[MAX_PATH + 1];   // with its trailing separator
WCHAR g_moduleName[MAX_PATH + 1];  // names the log file
HANDLE g_heap;
// Guards only the destruction of the private heap at detach.
CRITICAL_SECTION g_moduleLock;
bool g_moduleLockReady;
int g_debugLevel;
CoreStringLoader g_stringLoader;

#ifndef KV_BUILD_MODELLIB
// The host calls the plug-ins from several threads; the first binding is
// serialised so that two threads cannot each load the library, or one
// unload it under the other.
CRITICAL_SECTION g_bindLock;
bool g_bindLockReady;
HMODULE g_modelLibrary;
OupmFunctionProc g_queryEntry;
#endif

const DWORD kInitialHeapSize = 0x10000;

int LoadCoreString(UINT id, LPWSTR buffer, int capacity)
{
    if (capacity <= 0) return 0;
    buffer[0] = 0;
    int length = g_stringLoader ? g_stringLoader(id, buffer, capacity) : LoadStringW(g_module, id, buffer, capacity);
    if (length <= 0 || length >= capacity) {
        buffer[0] = 0;
        return 0;
    }
    buffer[length] = 0;
    return length;
}

// Splits a full path at its last separator (either kind: Win32 takes both).
void SplitModulePath(LPCWSTR path, size_t length)
{
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i)
        if (path[i] == '\\' || path[i] == '/') nameStart = i + 1;
    for (size_t i = 0; i < nameStart; ++i) g_moduleDir[i] = path[i];
    g_moduleDir[nameStart] = 0;
    size_t n = 0;
    for (size_t i = nameStart; i < length; ++i) g_moduleName[n++] = path[i];
    g_moduleName[n] = 0;
}

#ifndef KV_BUILD_MODELLIB
size_t TextLength(LPCWSTR text)
{
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// module directory + string 2 + suffix into out; false when string 2 is
// missing or the whole (NUL included) needs more than capacity characters.
bool ComposeModelFilePath(LPWSTR out, size_t capacity, LPCWSTR suffix)
{
    WCHAR base[MAX_PATH + 1];
    if (LoadCoreString(CORE_STRING_LIBRARY_NAME, base, MAX_PATH + 1) == 0) return false;
    LPCWSTR parts[] = {g_moduleDir, base, suffix};
    size_t total = 0;
    for (LPCWSTR part : parts) total += TextLength(part);
    if (total + 1 > capacity) return false;
    size_t n = 0;
    for (LPCWSTR part : parts)
        for (size_t i = 0; part[i]; ++i) out[n++] = part[i];
    out[n] = 0;
    return true;
}

bool BindLocked()
{
    if (g_modelLibrary && g_queryEntry) return true;

    // The path is built on every attempt, so a library that appears after
    // a failure is found on the next one.
    WCHAR path[2 * MAX_PATH];
    if (!ComposeModelFilePath(path, sizeof(path) / sizeof(path[0]), TEXT(".fpl"))) return false;

    // A library that loaded but had no entry is let go before trying again.
    if (g_modelLibrary) {
        FreeLibrary(g_modelLibrary);
        g_modelLibrary = nullptr;
    }
    HMODULE library = LoadLibraryW(path);
    if (!library) {
        KV_LOG(LOG_ERROR, "Cannot load the Printer DLL [name = %S, err = %d].", path, static_cast<int>(GetLastError()));
        return false;
    }
    g_modelLibrary = library;
    g_queryEntry = reinterpret_cast<OupmFunctionProc>(reinterpret_cast<void (*)()>(GetProcAddress(library, "OupmFunction")));
    return g_queryEntry != nullptr;
}

// Binds and hands back what is bound, both read under the lock.
bool Bind(HMODULE *library, OupmFunctionProc *entry)
{
    if (!g_bindLockReady) return false;
    EnterCriticalSection(&g_bindLock);
    bool bound = BindLocked();
    if (library) *library = bound ? g_modelLibrary : nullptr;
    if (entry) *entry = bound ? g_queryEntry : nullptr;
    LeaveCriticalSection(&g_bindLock);
    return bound;
}
#endif

}  // namespace

BOOL ModuleAttach(HMODULE module)
{
    g_module = module;
    g_moduleDir[0] = 0;
    g_moduleName[0] = 0;
    g_debugLevel = 0;
    InitializeCriticalSection(&g_moduleLock);
    g_moduleLockReady = true;
#ifndef KV_BUILD_MODELLIB
    InitializeCriticalSection(&g_bindLock);
    g_bindLockReady = true;
    g_modelLibrary = nullptr;
    g_queryEntry = nullptr;
#endif

    // Serialised, so that blocks may come and go on any thread.
    g_heap = HeapCreate(0, kInitialHeapSize, ReadTuningValue(TEXT("MaxHeapSize")));

    WCHAR path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    // A path of MAX_PATH characters or more came back cut (and maybe not
    // terminated): the directory would be wrong.
    if (!g_heap || length == 0 || length >= MAX_PATH) {
        ModuleDetach();
        return FALSE;
    }
    SplitModulePath(path, length);

    setlocale(LC_CTYPE, "");

#ifndef KV_BUILD_MODELLIB
    DWORD level = ReadTuningValue(TEXT("DebugLevel"));
    g_debugLevel = (level >= LOG_INFO && level <= LOG_ASSERT) ? static_cast<int>(level) : 0;
#endif
    return TRUE;
}

void ModuleDetach()
{
#ifndef KV_BUILD_MODELLIB
    if (g_bindLockReady) {
        EnterCriticalSection(&g_bindLock);
        if (g_modelLibrary) FreeLibrary(g_modelLibrary);
        g_modelLibrary = nullptr;
        g_queryEntry = nullptr;
        LeaveCriticalSection(&g_bindLock);
        DeleteCriticalSection(&g_bindLock);
        g_bindLockReady = false;
    }
#endif
    if (!g_moduleLockReady) return;
    EnterCriticalSection(&g_moduleLock);
    if (g_heap && g_heap != GetProcessHeap()) HeapDestroy(g_heap);
    g_heap = nullptr;
    LeaveCriticalSection(&g_moduleLock);
    DeleteCriticalSection(&g_moduleLock);
    g_moduleLockReady = false;
    // Nothing is logged once the module is going away.
    g_debugLevel = 0;
}

DWORD ReadTuningValue(LPCWSTR valueName)
{
    if (!valueName) return 0;
    WCHAR keyName[MAX_PATH + 1];
    LPCWSTR key = keyName;
    if (LoadCoreString(CORE_STRING_REGISTRY_KEY, keyName, MAX_PATH + 1) == 0) key = CORE_DEFAULT_REGISTRY_KEY;

    HKEY hkey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hkey) != ERROR_SUCCESS) return 0;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG result = RegQueryValueExW(hkey, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(hkey);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return 0;
    return value;
}

HMODULE GetModuleHandleOfCore() { return g_module; }

HANDLE GetPrivateHeap() { return g_heap; }

void SetCoreStringLoader(CoreStringLoader loader) { g_stringLoader = loader; }

#ifndef KV_BUILD_MODELLIB
BOOL BindModelLibrary() { return Bind(nullptr, nullptr) ? TRUE : FALSE; }

BOOL RunModelQuery(OupmFunctionProc entry, DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    if (!entry) return FALSE;
    DWORD supported = 0;
    entry(0, printerType, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(queryId)), &supported);
    if (supported == 0) return FALSE;
    entry(queryId, printerType, input, output);
    return TRUE;
}

BOOL QueryModel(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    OupmFunctionProc entry = nullptr;
    if (!Bind(nullptr, &entry)) return FALSE;
    return RunModelQuery(entry, queryId, printerType, input, output);
}
#endif

#ifdef KV_BUILD_UI
HMODULE GetResourceModule()
{
    HMODULE library = nullptr;
    return Bind(&library, nullptr) ? library : nullptr;
}

BOOL BuildModelFilePath(LPWSTR buffer, DWORD capacity, LPCWSTR suffix)
{
    if (!buffer || !suffix) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WCHAR path[3 * MAX_PATH];
    if (!ComposeModelFilePath(path, sizeof(path) / sizeof(path[0]), suffix)) return FALSE;
    size_t length = TextLength(path);
    if (length + 1 > capacity) return FALSE;
    for (size_t i = 0; i <= length; ++i) buffer[i] = path[i];
    return TRUE;
}
#endif

#ifdef KV_BUILD_MODELLIB
void LogPrint(int, LPCSTR, int, LPCSTR, LPCSTR, ...) {}
#else
namespace {

const char *const kLevelNames[] = {"NONE", "INFO", "NOTICE", "WARN", "ERROR", "ASSERT"};

// One line under construction; never longer than the limit allows.
struct LogLine {
    CHAR text[kLogLineMax + 1];
    size_t length = 0;

    void AppendV(LPCSTR format, va_list args)
    {
        FormatTextVA(text + length, sizeof(text) - length, format, args);
        while (length < kLogLineMax && text[length]) ++length;
    }
    void Append(LPCSTR format, ...)
    {
        va_list args;
        va_start(args, format);
        AppendV(format, args);
        va_end(args);
    }
};

void WriteLogLine(const LogLine &line)
{
    // GetTempPathW answers with the length it needs when the buffer is too
    // small, so anything above 259 characters is a path we do not use.
    WCHAR path[MAX_PATH + 1 + MAX_PATH + 8];
    DWORD tempLength = GetTempPathW(MAX_PATH + 1, path);
    if (tempLength == 0 || tempLength > MAX_PATH - 1) return;
    size_t n = tempLength;
    for (size_t i = 0; g_moduleName[i]; ++i) path[n++] = g_moduleName[i];
    for (LPCWSTR s = TEXT(".log"); *s; ++s) path[n++] = *s;
    path[n] = 0;

    // No sharing: a line is written whole or not at all. Two modules logging
    // at the same instant lose one line rather than interleave.
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.text, static_cast<DWORD>(line.length), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void LogPrint(int level, LPCSTR sourceFile, int line, LPCSTR function, LPCSTR format, ...)
{
    if (g_debugLevel == 0 || level < g_debugLevel || level > LOG_ASSERT || !format || !g_moduleName[0]) return;
    DWORD lastError = GetLastError();

    SYSTEMTIME now;
    GetLocalTime(&now);
    LogLine out;
    out.text[0] = 0;
    out.Append("%04d/%02d/%02d %02d:%02d:%02d ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
               now.wSecond);
    out.Append("KVPS[%s]: ", kLevelNames[level]);
    if (sourceFile && sourceFile[0]) {
        LPCSTR unit = sourceFile;
        for (LPCSTR p = sourceFile; *p; ++p)
            if (*p == '\\' || *p == '/') unit = p + 1;
        out.Append("%s(%d): ", unit, line);
    }
    if (function && function[0]) out.Append("%s: ", function);
    va_list args;
    va_start(args, format);
    out.AppendV(format, args);
    va_end(args);

    // The text may run past the room left for the CR LF, so that a line
    // feed ending a message of the longest length is seen and dropped
    // before the cut, not kept in place of a character of the message.
    if (out.length > 0 && out.text[out.length - 1] == '\n') --out.length;
    if (out.length > kLogLineMax - 2) out.length = kLogLineMax - 2;
    out.text[out.length++] = '\r';
    out.text[out.length++] = '\n';
    out.text[out.length] = 0;

    WriteLogLine(out);
    SetLastError(lastError);
}
#endif
