// Conformance tests of the module loader: LoadLibraryW, FreeLibrary,
// GetProcAddress, GetModuleFileNameW, GetModuleHandleW(Ex) and the DllMain
// calls, with a test module that reports its DllMain calls in the process
// environment.
#include <gtest/gtest.h>

#include <string>

#include "kvp/moduleinfo.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> WString;
typedef HINSTANCE (*AttachedHandleFn)();
typedef HMODULE (*OwnModuleFn)();

WString Wide(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    WString out(static_cast<size_t>(n), 0);
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string Narrow(const WString &w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), 0);
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = Wide(KV_TEST_DLLMAIN);
        SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_LOG"), nullptr);
        SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_REFUSE"), nullptr);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_LOG"), nullptr);
        SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_REFUSE"), nullptr);
        for (const WString &f : files) DeleteFileW(f.c_str());
    }

    // The DllMain calls so far: A for attach, D for detach.
    static std::string Calls()
    {
        WCHAR log[64] = {0};
        if (!GetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_LOG"), log, 64)) return std::string();
        return Narrow(log);
    }

    WString TempFile(const char *stem, const char *content)
    {
        WCHAR dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        WString name = dir + Wide("kvk-" + std::to_string(GetCurrentProcessId()) + "-" + stem);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, h) << stem;
        DWORD written = 0;
        WriteFile(h, content, static_cast<DWORD>(std::string(content).size()), &written, nullptr);
        CloseHandle(h);
        files.push_back(name);
        return name;
    }

    WString path;
    std::vector<WString> files;
};

TEST_F(ModuleTest, LoadOfAMissingFileFailsWithModNotFound)
{
    const char *cases[] = {
        "/nonexistent-kv-dir/kvmissing.dll",
        "kv_no_such_module.dll",
        "kv_no_such_module",
    };
    for (const char *name : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, LoadLibraryW(Wide(name).c_str())) << name;
        EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError()) << name;
    }
}

TEST_F(ModuleTest, LoadOfAFileThatIsNoModuleFails)
{
    struct {
        const char *stem;
        const char *content;
        DWORD error;
    } cases[] = {
        {"text.dll", "this is not a module\n", ERROR_BAD_EXE_FORMAT},
        {"short.dll", "\177EL", ERROR_BAD_EXE_FORMAT},
        {"empty.dll", "", ERROR_FILE_INVALID},
    };
    for (const auto &c : cases) {
        WString file = TempFile(c.stem, c.content);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, LoadLibraryW(file.c_str())) << c.stem;
#ifdef KV_WINE_DIFFERS
        if (!KV_WINE_DIFFERS(c.error == ERROR_FILE_INVALID, "an empty file fails with ERROR_BAD_EXE_FORMAT; Windows "
                                                             "cannot map it (ERROR_FILE_INVALID)"))
#endif
        {
            EXPECT_EQ(c.error, GetLastError()) << c.stem;
        }
    }
}

TEST_F(ModuleTest, LoadAttachesOnceAndTheLastFreeDetaches)
{
    HMODULE first = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ("A", Calls());
    HMODULE second = LoadLibraryW(path.c_str());
    EXPECT_EQ(first, second);
    EXPECT_EQ("A", Calls());
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ("A", Calls()) << "still referenced";
    EXPECT_EQ(first, GetModuleHandleW(TEXT("kv_test_dllmain.dll")));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ("AD", Calls());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, GetModuleHandleW(TEXT("kv_test_dllmain.dll")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(ModuleTest, ReloadAfterUnloadAttachesAgain)
{
    ASSERT_TRUE(FreeLibrary(LoadLibraryW(path.c_str())));
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    EXPECT_EQ("ADA", Calls());
    EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, DllMainAndTheModuleItselfSeeTheReturnedHandle)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    auto attached = reinterpret_cast<AttachedHandleFn>(GetProcAddress(h, "AttachedHandle"));
    auto own = reinterpret_cast<OwnModuleFn>(GetProcAddress(h, "OwnModule"));
    ASSERT_NE(nullptr, attached);
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(h, attached());
    EXPECT_EQ(h, own());
    EXPECT_TRUE(FreeLibrary(h));
}

// The system answers a refused attach with the detach call, then unloads.
TEST_F(ModuleTest, RefusedAttachIsDetachedAndUnloaded)
{
    SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_REFUSE"), TEXT("1"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryW(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DLL_INIT_FAILED), GetLastError());
    EXPECT_EQ("AD", Calls());
    EXPECT_EQ(nullptr, GetModuleHandleW(TEXT("kv_test_dllmain.dll")));

    SetEnvironmentVariableW(TEXT("KV_TEST_DLLMAIN_REFUSE"), nullptr);
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    EXPECT_EQ("ADA", Calls());
    EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, GetProcAddressFindsOnlyTheModulesOwnExports)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    EXPECT_NE(nullptr, GetProcAddress(h, "DllMain"));
    struct {
        const char *what;
        LPCSTR name;
    } cases[] = {
        {"missing name", "NoSuchExport"},
        {"ordinal", reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(1))},
        {"import from the platform", "HeapAlloc"},
    };
    for (const auto &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, GetProcAddress(h, c.name)) << c.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError()) << c.what;
    }
    EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, BareNameAndBackslashPathFindTheLoadedModule)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    WString backslashed = path;
    for (WCHAR &c : backslashed)
        if (c == '/') c = '\\';
    const WString names[] = {TEXT("kv_test_dllmain.dll"), TEXT("KV_TEST_DLLMAIN.DLL"), TEXT("kv_test_dllmain"),
                             backslashed};
    for (const WString &name : names) {
        EXPECT_EQ(h, GetModuleHandleW(name.c_str())) << Narrow(name);
        EXPECT_EQ(h, LoadLibraryW(name.c_str())) << Narrow(name);
    }
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("A", Calls()) << "one reference is left";
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("AD", Calls());
}

TEST_F(ModuleTest, GetModuleHandleExTakesAReferenceUnlessAskedNotTo)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    HMODULE same = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, TEXT("kv_test_dllmain.dll"), &same));
    EXPECT_EQ(h, same);
    ASSERT_TRUE(GetModuleHandleExW(0, TEXT("kv_test_dllmain.dll"), &same));
    EXPECT_EQ(h, same);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("A", Calls());
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("AD", Calls());
}

TEST_F(ModuleTest, GetModuleHandleExRejectsBadArguments)
{
    HMODULE out = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(1));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    nullptr, &out));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(nullptr, out);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetModuleHandleExW(0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(ModuleTest, FileNameIsTheFullPath)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    WCHAR name[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(h, name, MAX_PATH * 4);
    EXPECT_EQ(path.size(), n);
    EXPECT_EQ(Narrow(path), Narrow(name));
    EXPECT_STREQ(KV_TEST_DLLMAIN, kvp::ModuleNativePath(h));
    EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, FileNameIsCutToTheBufferAndTerminated)
{
#ifdef KV_KNOWN_WINE_DIFFERENCE
    KV_KNOWN_WINE_DIFFERENCE("GetModuleFileNameW cuts a long name without the NUL, as Windows XP did (later Windows "
                             "terminate it), and clears the last error on success");
#endif
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    const DWORD len = static_cast<DWORD>(path.size());
    struct {
        DWORD size;
        DWORD answer;
        DWORD error;  // 0xdeadbeef: left alone
    } cases[] = {
        {len + 1, len, 0xdeadbeef},
        {len, len, ERROR_INSUFFICIENT_BUFFER},
        {5, 5, ERROR_INSUFFICIENT_BUFFER},
        {1, 1, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const auto &c : cases) {
        WString buf(len + 8, u'#');
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.answer, GetModuleFileNameW(h, &buf[0], c.size)) << "size " << c.size;
        EXPECT_EQ(c.error, GetLastError()) << "size " << c.size;
        const size_t kept = c.size > len ? len : c.size - 1;
        EXPECT_EQ(path.substr(0, kept), buf.substr(0, kept)) << "size " << c.size;
        EXPECT_EQ(0, buf[kept]) << "size " << c.size;
        EXPECT_EQ(u'#', buf[kept + 1]) << "size " << c.size << ": wrote past the terminator";
    }
    EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, NullModuleIsTheExecutable)
{
    WCHAR name[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, name, MAX_PATH * 4);
    ASSERT_GT(n, 0u);
    const std::string exe = Narrow(name);
    EXPECT_NE(std::string::npos, exe.find("kv_platform_tests")) << exe;
    EXPECT_EQ(exe, kvp::ModuleNativePath(nullptr));
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_NE(nullptr, self);
    EXPECT_EQ(n, GetModuleFileNameW(self, name, MAX_PATH * 4));

    HMODULE fromAddress = nullptr;
    static int inTheExecutable = 0;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&inTheExecutable), &fromAddress));
    EXPECT_EQ(self, fromAddress);
}

TEST_F(ModuleTest, ThePlatformIsFoundLikeASystemLibrary)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("the emulated platform's own library");
#endif
    HMODULE platform = GetModuleHandleW(TEXT("libkvplatform.so"));
    ASSERT_NE(nullptr, platform);
    EXPECT_EQ(platform, LoadLibraryW(TEXT("LIBKVPLATFORM.SO")));
    EXPECT_EQ(reinterpret_cast<FARPROC>(&HeapAlloc), GetProcAddress(platform, "HeapAlloc"));
    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&HeapAlloc), &fromAddress));
    EXPECT_EQ(platform, fromAddress);
    EXPECT_TRUE(FreeLibrary(platform));
    EXPECT_EQ(platform, GetModuleHandleW(TEXT("libkvplatform.so"))) << "never unloaded";
}

TEST_F(ModuleTest, DataFileLoadRunsNoCode)
{
    HMODULE h = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ("", Calls());
#ifndef _WIN32  // the file behind a data file load is the emulation's record
    EXPECT_STREQ(KV_TEST_DLLMAIN, kvp::ModuleNativePath(h));
#endif
    EXPECT_EQ(nullptr, GetProcAddress(h, "DllMain"));
    EXPECT_EQ(nullptr, GetModuleHandleW(TEXT("kv_test_dllmain.dll")));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("", Calls());
    EXPECT_STREQ("", kvp::ModuleNativePath(h));
}

TEST_F(ModuleTest, DataFileLoadOfALoadedModuleSharesIt)
{
    HMODULE h = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(h, LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("A", Calls());
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ("AD", Calls());
}

TEST_F(ModuleTest, UnknownHandlesAreRefused)
{
    int notAModule = 0;
    HMODULE bogus = reinterpret_cast<HMODULE>(&notAModule);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FreeLibrary(bogus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    WCHAR name[16];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetModuleFileNameW(bogus, name, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(bogus, "DllMain"));
    EXPECT_STREQ("", kvp::ModuleNativePath(bogus));
#ifndef _WIN32  // unknown load flags are undocumented (Wine ignores them and loads)
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryExW(path.c_str(), nullptr, 0x80000000u));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
#endif
}

}  // namespace
