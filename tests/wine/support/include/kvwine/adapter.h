// Built into every source of the Windows conformance program (forced
// include): what the platform's conformance tests take from their native
// build definitions, and the markers for cases that cannot run on Windows.
//
// The tests are compiled against the platform's own Win32 declarations
// (platform/include: WCHAR is char16_t) and linked against the real system
// DLLs, so the same sources check our emulation natively and, here, the
// reference; the declarations themselves get checked on the way.
#pragma once

namespace kvwine {

// Full Windows path (UTF-8) of a file beside the test program.
const char *TestFilePath(const char *relative);
// True when the program runs under Wine rather than Windows.
bool UnderWine();
// Ends the running test case as skipped, with the reason in the output.
[[noreturn]] void SkipCase(const char *file, int line, const char *why);
// Prints "known Wine difference" with the place and reason, once per
// place; always true.
bool NoteWineDifference(const char *file, int line, const char *why);

}  // namespace kvwine

#define KV_TEST_DLLMAIN kvwine::TestFilePath("dllmain\\kv_test_dllmain.dll")
#define KV_TEST_RESMODULE kvwine::TestFilePath("kv_test_resmodule.dll")

// Markers for the test sources. Natively they are not defined, so each use
// sits inside #ifdef <marker>; native-only rows and checks use #ifndef _WIN32.
//
// A whole case that depends on the emulated system itself (its own controls,
// or behaviour Windows leaves undefined): skipped on Windows.
#define KV_NATIVE_ONLY(reason) kvwine::SkipCase(__FILE__, __LINE__, "native only: " reason)

// A whole case where Wine is known to answer differently from Windows:
// skipped under Wine, run on Windows.
#define KV_KNOWN_WINE_DIFFERENCE(reason)                                                               \
    do {                                                                                               \
        if (kvwine::UnderWine()) kvwine::SkipCase(__FILE__, __LINE__, "known Wine difference: " reason); \
    } while (0)

// One check or one table row where Wine is known to differ: true under Wine
// when CONDITION holds, and the reason is printed once; the caller then
// leaves that check or row out.
#define KV_WINE_DIFFERS(condition, reason) \
    (kvwine::UnderWine() && (condition) && kvwine::NoteWineDifference(__FILE__, __LINE__, reason))

// A whole case where our emulation is known to differ from Windows and the
// fix is still open: skipped on Windows, so that the reference run stays
// meaningful; the case keeps guarding today's native behaviour.
#define KV_EMULATION_DIFFERS(reason) kvwine::SkipCase(__FILE__, __LINE__, "open, the emulation differs: " reason)
