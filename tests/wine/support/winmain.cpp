// Test main of the Windows conformance program: as natively, every test
// starts on a clean system (here: without the registry keys tests leave).
#include <gtest/gtest.h>

#include <cstdio>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

class CleanSystem : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { kvp::SystemReset(); }
    void OnTestProgramEnd(const ::testing::UnitTest &) override { kvp::SystemReset(); }
};

typedef UINT (*SetErrorModeProc)(UINT);
typedef const char *(*WineVersionProc)();

}  // namespace

int main(int argc, char **argv)
{
    // A module that fails to load must answer with an error code, never
    // with a dialog box (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX).
    HMODULE kernel = GetModuleHandleW(u"kernel32.dll");
    auto setErrorMode = reinterpret_cast<SetErrorModeProc>(GetProcAddress(kernel, "SetErrorMode"));
    if (setErrorMode) setErrorMode(0x0001 | 0x8000);
    auto wineVersion = reinterpret_cast<WineVersionProc>(
        GetProcAddress(GetModuleHandleW(u"ntdll.dll"), "wine_get_version"));
    std::printf("reference: %s%s, ANSI code page %u\n", wineVersion ? "Wine " : "Windows",
                wineVersion ? wineVersion() : "", GetACP());

    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new CleanSystem);
    return RUN_ALL_TESTS();
}
