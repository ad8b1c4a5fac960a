// Control of the emulated system itself: not Win32. Used by the host
// simulator, the kvps command and the tests, never by product code.
//
// INVARIANT: there is one system per process. It lives in memory unless it
// was opened on a state directory (SystemOpenState, or the KVPS_STATE
// environment variable when the platform library is loaded), in which case
// the registry and the spooler are persisted there and shared with every
// other process that opens the same directory.
#pragma once

#include "kvp/base.h"
#include "kvp/kernel.h"

#define KVP_CXX_API __attribute__((visibility("default")))

namespace kvp {

enum class Fault {
    Allocation,  // the next heap allocation fails
    Registry,    // the next registry call that reads or writes fails
    SpoolWrite,  // the next spooler write fails
};

// Forget everything and start a fresh in-memory system with the default
// settings (clock real, ANSI code page 932, user "user", machine "KVHOST",
// temporary directory $TMPDIR or /tmp). Open modules stay loaded.
KVP_CXX_API void SystemReset();
// Reset, then keep the registry and spooler in DIR (created when missing).
KVP_CXX_API bool SystemOpenState(const char *dir);
// The state directory in use, or "" for an in-memory system.
KVP_CXX_API const char *SystemStateDir();

// A fixed local time for GetLocalTime; null returns to the real clock.
KVP_CXX_API void SystemSetLocalTime(const SYSTEMTIME *time);
KVP_CXX_API bool SystemFixedLocalTime(SYSTEMTIME *out);
KVP_CXX_API void SystemSetAnsiCodePage(UINT codePage);
KVP_CXX_API UINT SystemAnsiCodePage();
KVP_CXX_API void SystemSetUserName(const char *utf8);
KVP_CXX_API void SystemSetMachineName(const char *utf8);
KVP_CXX_API const char *SystemUserName();
KVP_CXX_API const char *SystemMachineName();
// Native path of the temporary directory, without trailing separator.
KVP_CXX_API void SystemSetTempDir(const char *path);
KVP_CXX_API const char *SystemTempDir();

// Make the next COUNT operations of a kind fail.
KVP_CXX_API void SystemFailNext(Fault fault, int count = 1);
// For the platform's own areas: true (and one fewer pending) when the
// current operation of that kind must fail.
KVP_CXX_API bool SystemTakeFault(Fault fault);

// Called by SystemReset / SystemOpenState so that each area can drop or
// reload its state. Areas register once, at library load.
typedef void (*ResetHook)();
KVP_CXX_API void SystemAddResetHook(ResetHook hook);

}  // namespace kvp
