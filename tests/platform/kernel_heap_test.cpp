// Conformance tests of the heap functions.
#include <gtest/gtest.h>

#include <cstring>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

class HeapTest : public ::testing::Test {
protected:
    void SetUp() override { heap = HeapCreate(0, 0, 0); ASSERT_NE(nullptr, heap); }
    void TearDown() override
    {
        if (heap) {
            EXPECT_TRUE(HeapDestroy(heap));
        }
    }

    static void Fill(void *p, size_t n, unsigned char seed)
    {
        auto *b = static_cast<unsigned char *>(p);
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(seed + i);
    }
    static bool Holds(const void *p, size_t n, unsigned char seed)
    {
        auto *b = static_cast<const unsigned char *>(p);
        for (size_t i = 0; i < n; ++i)
            if (b[i] != static_cast<unsigned char>(seed + i)) return false;
        return true;
    }

    HANDLE heap = nullptr;
};

TEST_F(HeapTest, AllocZeroMemoryClearsEveryByte)
{
    for (size_t size : {size_t{1}, size_t{100}, size_t{5000}}) {
        auto *p = static_cast<unsigned char *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size));
        ASSERT_NE(nullptr, p) << "size " << size;
        size_t nonZero = 0;
        for (size_t i = 0; i < size; ++i) nonZero += p[i] != 0;
        EXPECT_EQ(0u, nonZero) << "size " << size;
        EXPECT_EQ(size, HeapSize(heap, 0, p)) << "size " << size;
        EXPECT_TRUE(HeapFree(heap, 0, p));
    }
}

TEST_F(HeapTest, AllocOfZeroBytesGivesAFreeableBlock)
{
    void *p = HeapAlloc(heap, 0, 0);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, HeapSize(heap, 0, p));
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, ReAllocInPlaceOnlyFailsAndLeavesTheBlockAsItWas)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("whether a block can grow in place depends on the layout of the Windows heap");
#endif
    void *p = HeapAlloc(heap, 0, 16);
    ASSERT_NE(nullptr, p);
    Fill(p, 16, 0x40);
    EXPECT_EQ(nullptr, HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 64 * 1024));
    EXPECT_EQ(16u, HeapSize(heap, 0, p));
    EXPECT_TRUE(Holds(p, 16, 0x40));
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, ReAllocInPlaceOnlyGrowsWhenThereIsRoom)
{
    auto *p = static_cast<unsigned char *>(HeapAlloc(heap, 0, 100));
    ASSERT_NE(nullptr, p);
    Fill(p, 100, 0x11);
    void *q = HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY | HEAP_ZERO_MEMORY, p, 120);
    ASSERT_EQ(static_cast<void *>(p), q);
    EXPECT_EQ(120u, HeapSize(heap, 0, p));
    EXPECT_TRUE(Holds(p, 100, 0x11));
    for (size_t i = 100; i < 120; ++i) EXPECT_EQ(0, p[i]) << "byte " << i;
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, ReAllocInPlaceOnlyAlwaysShrinks)
{
    void *p = HeapAlloc(heap, 0, 1000);
    ASSERT_NE(nullptr, p);
    Fill(p, 1000, 0x22);
    EXPECT_EQ(p, HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 10));
    EXPECT_EQ(10u, HeapSize(heap, 0, p));
    EXPECT_TRUE(Holds(p, 10, 0x22));
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, ReAllocMovesAndKeepsTheContentsWhenAllowed)
{
    void *p = HeapAlloc(heap, 0, 16);
    ASSERT_NE(nullptr, p);
    Fill(p, 16, 0x33);
    auto *q = static_cast<unsigned char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 4096));
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(4096u, HeapSize(heap, 0, q));
    EXPECT_TRUE(Holds(q, 16, 0x33));
    size_t nonZero = 0;
    for (size_t i = 16; i < 4096; ++i) nonZero += q[i] != 0;
    EXPECT_EQ(0u, nonZero);
    EXPECT_TRUE(HeapFree(heap, 0, q));
}

TEST_F(HeapTest, MaximumSizeIsEnforcedAndFreeingMakesRoom)
{
    HANDLE fixed = HeapCreate(0, 0, 64 * 1024);
    ASSERT_NE(nullptr, fixed);
    void *a = HeapAlloc(fixed, 0, 40000);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, HeapAlloc(fixed, 0, 40000));
    EXPECT_TRUE(HeapFree(fixed, 0, a));
    void *b = HeapAlloc(fixed, 0, 40000);
    EXPECT_NE(nullptr, b);
    EXPECT_TRUE(HeapDestroy(fixed));
}

TEST_F(HeapTest, MaximumSizeCountsManySmallBlocks)
{
    HANDLE fixed = HeapCreate(0, 0, 16 * 1024);
    ASSERT_NE(nullptr, fixed);
    void *blocks[4096];
    size_t n = 0;
    while (n < 4096 && (blocks[n] = HeapAlloc(fixed, 0, 32)) != nullptr) ++n;
    EXPECT_GT(n, 100u);
    EXPECT_LT(n, 4096u) << "a 16 KiB heap never filled up";
    EXPECT_TRUE(HeapFree(fixed, 0, blocks[0]));
    EXPECT_NE(nullptr, HeapAlloc(fixed, 0, 32));
    EXPECT_TRUE(HeapDestroy(fixed));
}

TEST_F(HeapTest, ReAllocBeyondTheMaximumFailsAndKeepsTheBlock)
{
#ifdef KV_KNOWN_WINE_DIFFERENCE
    KV_KNOWN_WINE_DIFFERENCE("HeapReAlloc grows a block of a fixed-size heap past its maximum");
#endif
    HANDLE fixed = HeapCreate(0, 0, 8 * 1024);
    ASSERT_NE(nullptr, fixed);
    void *p = HeapAlloc(fixed, 0, 64);
    ASSERT_NE(nullptr, p);
    Fill(p, 64, 0x55);
    EXPECT_EQ(nullptr, HeapReAlloc(fixed, 0, p, 16 * 1024));
    EXPECT_EQ(64u, HeapSize(fixed, 0, p));
    EXPECT_TRUE(Holds(p, 64, 0x55));
    EXPECT_TRUE(HeapDestroy(fixed));
}

TEST_F(HeapTest, GrowableHeapHasNoMaximum)
{
    void *p = HeapAlloc(heap, 0, 8 * 1024 * 1024);
    EXPECT_NE(nullptr, p);
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

TEST_F(HeapTest, DestroyFreesTheBlocksLeftInIt)
{
    // Run under LeakSanitizer: whatever HeapDestroy left behind shows up.
    HANDLE other = HeapCreate(0, 4096, 0);
    ASSERT_NE(nullptr, other);
    for (int i = 0; i < 10; ++i) ASSERT_NE(nullptr, HeapAlloc(other, 0, 100 + i * 1000));
    void *grown = HeapAlloc(other, 0, 10);
    ASSERT_NE(nullptr, HeapReAlloc(other, 0, grown, 100000));
    EXPECT_TRUE(HeapDestroy(other));
}

TEST_F(HeapTest, FreeOfNullSucceeds) { EXPECT_TRUE(HeapFree(heap, 0, nullptr)); }

TEST_F(HeapTest, FreeOfAForeignPointerFails)
{
    HANDLE other = HeapCreate(0, 0, 0);
    void *elsewhere = HeapAlloc(other, 0, 10);
    char local[16];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HeapFree(heap, 0, local));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HeapFree(heap, 0, elsewhere));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(static_cast<SIZE_T>(-1), HeapSize(heap, 0, elsewhere));
    EXPECT_FALSE(HeapValidate(heap, 0, elsewhere));
    EXPECT_TRUE(HeapValidate(other, 0, elsewhere));
    EXPECT_TRUE(HeapDestroy(other));
}

TEST_F(HeapTest, DestroyedHeapIsAnUnknownHandle)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("a destroyed heap: Windows documents no answer and faults");
#endif
    HANDLE other = HeapCreate(0, 0, 0);
    ASSERT_TRUE(HeapDestroy(other));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, HeapAlloc(other, 0, 10));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HeapDestroy(other));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(HeapTest, AllocationFaultFailsOneAllocation)
{
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 10));
    void *p = HeapAlloc(heap, 0, 10);
    ASSERT_NE(nullptr, p);
    Fill(p, 10, 0x66);
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(nullptr, HeapReAlloc(heap, 0, p, 10000));
    EXPECT_EQ(10u, HeapSize(heap, 0, p));
    EXPECT_TRUE(Holds(p, 10, 0x66));
    EXPECT_TRUE(HeapFree(heap, 0, p));
}

#if defined(__SANITIZE_ADDRESS__)
// The room a block keeps for growing in place is not the caller's to use.
TEST_F(HeapTest, WritePastTheBlockIsCaughtInsideItsRoom)
{
    volatile char *p = static_cast<char *>(HeapAlloc(heap, 0, 100));
    ASSERT_NE(nullptr, p);
    ASSERT_EQ(static_cast<void *>(const_cast<char *>(p)),
              HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, const_cast<char *>(p), 110));
    p[109] = 1;
    EXPECT_DEATH(p[110] = 1, "use-after-poison");
    ASSERT_EQ(static_cast<void *>(const_cast<char *>(p)),
              HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, const_cast<char *>(p), 50));
    EXPECT_DEATH(p[60] = 1, "use-after-poison");
    EXPECT_TRUE(HeapFree(heap, 0, const_cast<char *>(p)));
}
#endif

TEST_F(HeapTest, ProcessHeapServesAndCannotBeDestroyed)
{
    HANDLE process = GetProcessHeap();
    ASSERT_NE(nullptr, process);
    EXPECT_EQ(process, GetProcessHeap());
    void *p = HeapAlloc(process, HEAP_ZERO_MEMORY, 32);
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(HeapFree(process, 0, p));
    EXPECT_FALSE(HeapDestroy(process));
}

}  // namespace
