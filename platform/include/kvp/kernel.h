// Emulated Win32: kernel.
#pragma once

#include "kvp/base.h"

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

KVP_API void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
KVP_API DWORD WINAPI GetLastError();
KVP_API void WINAPI SetLastError(DWORD dwErrCode);
