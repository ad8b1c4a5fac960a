// The Windows side of the emulated system's controls (kvp/system.h and
// kvp/moduleinfo.h stand-ins), the test markers of kvwine/adapter.h, and the
// interlocked functions, which Windows has as compiler intrinsics rather
// than as exports of kernel32.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kvp/moduleinfo.h"
#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

std::string Utf8(const WCHAR *text, int length)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

// Texts handed out as const char *: they stay valid for the rest of the
// run, as the native ones do while their module is loaded.
const char *Keep(const std::string &text)
{
    static std::vector<std::string *> kept;
    for (const std::string *s : kept)
        if (*s == text) return s->c_str();
    kept.push_back(new std::string(text));
    return kept.back()->c_str();
}

bool StartsWithKv(const WCHAR *name)
{
    return (name[0] == u'K' || name[0] == u'k') && (name[1] == u'V' || name[1] == u'v');
}

// RegDeleteKeyW removes only keys without subkeys: remove from the leaves up.
void DeleteTree(HKEY parent, const WCHAR *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    WCHAR child[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(key, child);
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, name);
}

void DeleteTestKeys(HKEY root, const WCHAR *software)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, software, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    std::vector<std::basic_string<WCHAR>> doomed;
    WCHAR name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (StartsWithKv(name)) doomed.emplace_back(name, length);
    }
    for (const auto &d : doomed) DeleteTree(key, d.c_str());
    RegCloseKey(key);
}

void RecordSkip(const char *file, int line, const char *why)
{
    ::testing::internal::AssertHelper(::testing::TestPartResult::kSkip, file, line, why) = ::testing::Message();
}

}  // namespace

namespace kvwine {

const char *TestFilePath(const char *relative)
{
    WCHAR exe[1024];
    DWORD n = GetModuleFileNameW(nullptr, exe, 1024);
    std::string path = Utf8(exe, static_cast<int>(n));
    size_t slash = path.find_last_of("\\/");
    path.resize(slash == std::string::npos ? 0 : slash + 1);
    return Keep(path + relative);
}

bool UnderWine()
{
    static const bool wine =
        GetProcAddress(GetModuleHandleW(u"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// gtest takes an AssertionException as a result already reported: the
// skip recorded just before it is what the case ends with.
void SkipCase(const char *file, int line, const char *why)
{
    RecordSkip(file, line, why);
    throw ::testing::AssertionException(::testing::TestPartResult(::testing::TestPartResult::kSkip, file, line, why));
}

bool NoteWineDifference(const char *file, int line, const char *why)
{
    static std::vector<std::pair<const char *, int>> noted;
    for (const auto &n : noted)
        if (n.first == file && n.second == line) return true;
    noted.emplace_back(file, line);
    const char *name = std::strrchr(file, '/');
    std::printf("[ WINE DIF ] %s:%d: known Wine difference: %s\n", name ? name + 1 : file, line, why);
    std::fflush(stdout);
    return true;
}

}  // namespace kvwine

#define SKIP_CASE(why) kvwine::SkipCase(__FILE__, __LINE__, why)

namespace kvp {

void SystemReset()
{
    DeleteTestKeys(HKEY_CURRENT_USER, u"Software");
    DeleteTestKeys(HKEY_LOCAL_MACHINE, u"SOFTWARE");
}

bool SystemOpenState(const char *) { SKIP_CASE("native only: state directories of the emulated system"); }
const char *SystemStateDir() { return ""; }

void SystemSetLocalTime(const SYSTEMTIME *time)
{
    if (time) SKIP_CASE("native only: the fixed clock of the emulated system");
}
bool SystemFixedLocalTime(SYSTEMTIME *) { return false; }

void SystemSetAnsiCodePage(UINT codePage)
{
    if (codePage != GetACP()) SKIP_CASE("native only: another ANSI code page (Windows fixes it at logon)");
}
UINT SystemAnsiCodePage() { return GetACP(); }

void SystemSetUserName(const char *) { SKIP_CASE("native only: another user name (Windows has the logged-on user)"); }
void SystemSetMachineName(const char *) { SKIP_CASE("native only: another computer name"); }

const char *SystemUserName()
{
    WCHAR name[257];
    DWORD size = 257;
    return GetUserNameW(name, &size) ? Keep(Utf8(name, -1).c_str()) : "";
}

const char *SystemMachineName()
{
    WCHAR name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? Keep(Utf8(name, -1).c_str()) : "";
}

void SystemSetTempDir(const char *) { SKIP_CASE("native only: a native temporary directory"); }

const char *SystemTempDir()
{
    WCHAR path[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    std::string text = Utf8(path, static_cast<int>(n));
    if (!text.empty() && text.back() == '\\') text.pop_back();
    return Keep(text);
}

void SystemFailNext(Fault, int) { SKIP_CASE("native only: fault hooks of the emulated system"); }
bool SystemTakeFault(Fault) { return false; }
void SystemAddResetHook(ResetHook) {}

const char *ModuleNativePath(HMODULE module)
{
    WCHAR path[1024];
    DWORD n = GetModuleFileNameW(module, path, 1024);
    return n ? Keep(Utf8(path, static_cast<int>(n))) : "";
}

}  // namespace kvp

// On Windows these are intrinsics with full barriers.
KVP_API LONG WINAPI InterlockedIncrement(LONG volatile *addend) { return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST); }
KVP_API LONG WINAPI InterlockedDecrement(LONG volatile *addend) { return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST); }
KVP_API LONG WINAPI InterlockedExchange(LONG volatile *target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
KVP_API LONG WINAPI InterlockedCompareExchange(LONG volatile *destination, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
KVP_API LONG WINAPI InterlockedExchangeAdd(LONG volatile *addend, LONG value)
{
    return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
