// Conformance tests of critical sections and interlocked counters.
#include <gtest/gtest.h>

#include <thread>

#include "kvp/win32.h"

namespace {

TEST(CriticalSection, OwnerMayEnterAgain)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    DeleteCriticalSection(&cs);
}

TEST(CriticalSection, OtherThreadWaitsUntilEveryEntryIsLeft)
{
    CRITICAL_SECTION cs;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 4000));
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    BOOL whileHeld = TRUE;
    std::thread([&] { whileHeld = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(whileHeld);
    LeaveCriticalSection(&cs);
    std::thread([&] { whileHeld = TryEnterCriticalSection(&cs); }).join();
    EXPECT_FALSE(whileHeld) << "one entry is still held";
    LeaveCriticalSection(&cs);
    BOOL afterLeave = FALSE;
    std::thread([&] {
        afterLeave = TryEnterCriticalSection(&cs);
        if (afterLeave) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_TRUE(afterLeave);
    DeleteCriticalSection(&cs);
}

TEST(CriticalSection, SerialisesConcurrentUpdates)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long total = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&cs);
            total = total + 1;
            LeaveCriticalSection(&cs);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(40000, total);
    DeleteCriticalSection(&cs);
}

TEST(CriticalSection, NullSectionIsIgnored)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("a NULL critical section: Windows documents no answer and faults");
#endif
    EnterCriticalSection(nullptr);
    EXPECT_FALSE(TryEnterCriticalSection(nullptr));
    LeaveCriticalSection(nullptr);
    DeleteCriticalSection(nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(InitializeCriticalSectionAndSpinCount(nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(Interlocked, IncrementAndDecrementAnswerTheNewValue)
{
    LONG volatile v = 0;
    EXPECT_EQ(1, InterlockedIncrement(&v));
    EXPECT_EQ(2, InterlockedIncrement(&v));
    EXPECT_EQ(1, InterlockedDecrement(&v));
    EXPECT_EQ(0, InterlockedDecrement(&v));
    EXPECT_EQ(-1, InterlockedDecrement(&v));
}

TEST(Interlocked, ExchangesAnswerTheOldValue)
{
    LONG volatile v = 5;
    EXPECT_EQ(5, InterlockedExchange(&v, 7));
    EXPECT_EQ(7, InterlockedCompareExchange(&v, 9, 8)) << "no match leaves it";
    EXPECT_EQ(7, v);
    EXPECT_EQ(7, InterlockedCompareExchange(&v, 9, 7));
    EXPECT_EQ(9, v);
    EXPECT_EQ(9, InterlockedExchangeAdd(&v, -4));
    EXPECT_EQ(5, v);
}

TEST(Interlocked, CountsFromManyThreads)
{
    LONG volatile v = 0;
    auto work = [&] {
        for (int i = 0; i < 50000; ++i) InterlockedIncrement(&v);
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(150000, v);
}

}  // namespace
