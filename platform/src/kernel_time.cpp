// Local and system time (the local time may be fixed by the emulated
// system for tests), the tick count, Sleep and the process and thread ids.
#include <errno.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "kvp/kernel.h"
#include "kvp/system.h"

namespace {

void FromTm(const struct tm &tm, long nanoseconds, LPSYSTEMTIME out)
{
    out->wYear = static_cast<WORD>(tm.tm_year + 1900);
    out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out->wDay = static_cast<WORD>(tm.tm_mday);
    out->wHour = static_cast<WORD>(tm.tm_hour);
    out->wMinute = static_cast<WORD>(tm.tm_min);
    // A leap second is folded into the last second of the minute.
    out->wSecond = static_cast<WORD>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

}  // namespace

KVP_API void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime) return;
    if (kvp::SystemFixedLocalTime(lpSystemTime)) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm tm;
    localtime_r(&now.tv_sec, &tm);
    FromTm(tm, now.tv_nsec, lpSystemTime);
}

KVP_API void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm tm;
    gmtime_r(&now.tv_sec, &tm);
    FromTm(tm, now.tv_nsec, lpSystemTime);
}

KVP_API DWORD WINAPI GetTickCount()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Wraps every 49.7 days, as on Windows.
    return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                              static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

KVP_API void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    struct timespec wait;
    wait.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
    wait.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

KVP_API DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

KVP_API DWORD WINAPI GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
