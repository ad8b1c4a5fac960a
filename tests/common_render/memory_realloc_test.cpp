// Resizing memory blocks (render build): the old bytes survive whether the
// heap resizes in place or a new block is taken, and a failure leaves the
// old block as it was.
//
// The emulated heap keeps a quarter of each block's size as room to grow in
// place; beyond that, in-place-only resizing fails, as a full Windows heap
// would.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "coremain.h"
#include "kvp/system.h"
#include "kvsys.h"
#include "kvtest_module.h"
#include "memory.h"

namespace {

using kvtest::Hex8;
using kvtest::SetDriverDword;

class ReallocTest : public kvtest::ModuleTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ModuleTest::SetUp());
        SetDriverDword(TEXT("DebugLevel"), LOG_INFO);
    }

    // Data of size bytes counting up from seed.
    static PVOID Filled(DWORD size, BYTE seed)
    {
        PVOID data = nullptr;
        if (!MemAlloc(nullptr, &data, size)) return nullptr;
        for (DWORD i = 0; i < size; ++i) static_cast<BYTE *>(data)[i] = static_cast<BYTE>(seed + i);
        return data;
    }

    static bool HoldsSequence(PVOID data, DWORD count, BYTE seed)
    {
        for (DWORD i = 0; i < count; ++i)
            if (static_cast<BYTE *>(data)[i] != static_cast<BYTE>(seed + i)) return false;
        return true;
    }
};

TEST_F(ReallocTest, ResizingKeepsTheOldBytes)
{
    struct Case {
        DWORD from;
        DWORD to;
        BOOL mayMove;
        bool inPlace;  // what the emulated heap does with it
    } cases[] = {
        {16, 1000, FALSE, false},  // beyond the room: a new block after all
        {16, 1000, TRUE, false},
        {1000, 1100, FALSE, true},  // within the room
        {1000, 10, FALSE, true},
        {1000, 10, TRUE, true},
    };
    Attach();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << (c.mayMove ? " may move" : " in place"));
        PVOID data = Filled(c.from, 7);
        ASSERT_NE(nullptr, data);
        PVOID before = data;
        ASSERT_TRUE(MemRealloc(&data, c.to, c.mayMove));
        EXPECT_EQ(c.inPlace, data == before);
        EXPECT_TRUE(HoldsSequence(data, c.from < c.to ? c.from : c.to, 7));
        MemBlock *block = MemBlockFromData(data);
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(c.to, block->size);
        EXPECT_EQ(GetPrivateHeap(), block->heap);
        // The whole new size is usable.
        memset(data, 0, c.to);
        MemFree(data);
    }
}

TEST_F(ReallocTest, EachResizeIsLoggedWithBothAddresses)
{
    Attach();
    PVOID data = Filled(16, 0);
    MemBlock *old = MemBlockFromData(data);
    ASSERT_TRUE(MemRealloc(&data, 1000, FALSE));
    PVOID grown = data;
    ASSERT_TRUE(MemRealloc(&data, 1100, FALSE));
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    // The heap refused in place (new header none), then granted it.
    EXPECT_NE(std::string::npos, lines[0].find("KVPS[INFO]: memory("));
    EXPECT_NE(std::string::npos, lines[0].find("): ReallocMemBlock: reallocMemBlock: pOld = 0x" + Hex8(old) +
                                               " pNew = 0x00000000 dwSize = 0x000003e8\r\n"))
        << lines[0];
    MemBlock *header = MemBlockFromData(grown);
    EXPECT_NE(std::string::npos, lines[1].find("reallocMemBlock: pOld = 0x" + Hex8(header) + " pNew = 0x" +
                                               Hex8(header) + " dwSize = 0x0000044c\r\n"))
        << lines[1];
    MemFree(data);
}

TEST_F(ReallocTest, BlockStaysOnItsOwnHeap)
{
    Attach();
    HANDLE heap = HeapCreate(0, 0, 0);
    ASSERT_NE(nullptr, heap);
    PVOID data = nullptr;
    ASSERT_TRUE(MemAlloc(heap, &data, 16));
    ASSERT_TRUE(MemRealloc(&data, 4096, FALSE));
    MemBlock *block = MemBlockFromData(data);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(heap, block->heap);
    MemFree(data);
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(ReallocTest, FailureLeavesTheOldBlockAlone)
{
    SetDriverDword(TEXT("MaxHeapSize"), 0x20000);
    Attach();
    struct Case {
        BOOL mayMove;
    } cases[] = {{FALSE}, {TRUE}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mayMove ? "may move" : "in place");
        PVOID data = Filled(0x8000, 3);
        ASSERT_NE(nullptr, data);
        PVOID before = data;
        EXPECT_FALSE(MemRealloc(&data, 0x40000, c.mayMove));
        EXPECT_EQ(before, data);
        MemBlock *block = MemBlockFromData(data);
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(0x8000u, block->size);
        EXPECT_TRUE(HoldsSequence(data, 0x8000, 3));
        std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(std::string::npos, lines.back().find("KVPS[NOTICE]: memory("));
        EXPECT_NE(std::string::npos, lines.back().find("): MemRealloc: dwSize(262144).\r\n")) << lines.back();
        MemFree(data);
    }
}

TEST_F(ReallocTest, BadArgumentsFail)
{
    Attach();
    PVOID data = Filled(64, 1);
    PVOID none = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MemRealloc(nullptr, 16, TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(MemRealloc(&none, 16, TRUE));
    EXPECT_EQ(nullptr, none);
    PVOID same = data;
    EXPECT_FALSE(MemRealloc(&same, 0, TRUE));
    EXPECT_EQ(data, same);
    EXPECT_TRUE(LogLines().empty());

    // A pointer into the block: refused and logged, the block untouched.
    PVOID middle = static_cast<BYTE *>(data) + 40;
    EXPECT_FALSE(MemRealloc(&middle, 128, TRUE));
    EXPECT_EQ(static_cast<BYTE *>(data) + 40, middle);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find("Invalid MemBlock, addr = " + Hex8(static_cast<BYTE *>(middle) - sizeof(MemBlock)) + ".\r\n"))
        << lines[0];
    EXPECT_TRUE(HoldsSequence(data, 64, 1));
    EXPECT_EQ(nullptr, ReallocMemBlock(nullptr, 16, TRUE));
    MemFree(data);
}

}  // namespace
