// Critical sections (a recursive mutex living inside the caller's
// CRITICAL_SECTION record) and the interlocked counters.
#include <mutex>
#include <new>

#include "kvp/kernel.h"

namespace {

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION), "CRITICAL_SECTION holds the mutex");
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION), "CRITICAL_SECTION aligns the mutex");

std::recursive_mutex *MutexOf(LPCRITICAL_SECTION cs)
{
    return std::launder(reinterpret_cast<std::recursive_mutex *>(cs->Opaque));
}

}  // namespace

KVP_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection) new (lpCriticalSection->Opaque) std::recursive_mutex;
}

KVP_API BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount)
{
    if (!lpCriticalSection) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InitializeCriticalSection(lpCriticalSection);
    return TRUE;
}

// A NULL section is no section: entering and leaving it do nothing.
KVP_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection) MutexOf(lpCriticalSection)->lock();
}

KVP_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    return lpCriticalSection && MutexOf(lpCriticalSection)->try_lock() ? TRUE : FALSE;
}

KVP_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection) MutexOf(lpCriticalSection)->unlock();
}

KVP_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection) MutexOf(lpCriticalSection)->~recursive_mutex();
}

KVP_API LONG WINAPI InterlockedIncrement(LONG volatile *Addend)
{
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

KVP_API LONG WINAPI InterlockedDecrement(LONG volatile *Addend)
{
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

KVP_API LONG WINAPI InterlockedExchange(LONG volatile *Target, LONG Value)
{
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

KVP_API LONG WINAPI InterlockedCompareExchange(LONG volatile *Destination, LONG Exchange, LONG Comparand)
{
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comparand;
}

KVP_API LONG WINAPI InterlockedExchangeAdd(LONG volatile *Addend, LONG Value)
{
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
