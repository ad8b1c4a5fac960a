// Windows stand-in for the emulated system's controls, so that the
// platform's conformance tests compile unchanged. Each control does what
// its counterpart on a real Windows is, or, where Windows has none (fixed
// clock, fault hooks, other users, state directories), ends the test case
// as skipped: the case is native only.
#pragma once

#include "kvp/base.h"
#include "kvp/kernel.h"

#ifndef KVP_CXX_API
#define KVP_CXX_API
#endif

namespace kvp {

enum class Fault {
    Allocation,
    Registry,
    SpoolWrite,
};

// Removes what the tests leave in the registry: every key whose name
// starts with "Kv" under HKCU\Software and HKLM\SOFTWARE.
void SystemReset();
// State directories are the emulation's own: skips.
bool SystemOpenState(const char *dir);
const char *SystemStateDir();  // "" (Windows has no state directory)

void SystemSetLocalTime(const SYSTEMTIME *time);  // non-null: skips; null: the real clock
bool SystemFixedLocalTime(SYSTEMTIME *out);       // false
// The ANSI code page of Windows is fixed at logon: asking for another
// skips; asking for the current one does nothing.
void SystemSetAnsiCodePage(UINT codePage);
UINT SystemAnsiCodePage();
void SystemSetUserName(const char *utf8);     // skips
void SystemSetMachineName(const char *utf8);  // skips
const char *SystemUserName();
const char *SystemMachineName();
void SystemSetTempDir(const char *path);  // skips: temporary paths are Windows paths here
const char *SystemTempDir();

void SystemFailNext(Fault fault, int count = 1);  // skips
bool SystemTakeFault(Fault fault);                // false

typedef void (*ResetHook)();
void SystemAddResetHook(ResetHook hook);

}  // namespace kvp
