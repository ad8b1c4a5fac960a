// Thread-local last error.
#include "kvp/kernel.h"

namespace {
thread_local DWORD t_lastError = 0;
}

KVP_API DWORD WINAPI GetLastError() { return t_lastError; }
KVP_API void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }
