// Memory blocks on the module's private heap: the header, the checks that
// keep a stray pointer away from the heap, and the log lines of failures.
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

const SYSTEMTIME kFixedClock = {2024, 3, 2, 5, 7, 8, 9, 0};
const char kFixedStamp[] = "2024/03/05 07:08:09 ";

using kvtest::Hex8;
using kvtest::SetDriverDword;

// The test executable attached as the module, logging everything into a
// temporary directory of its own.
class MemoryTest : public kvtest::ModuleTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ModuleTest::SetUp());
        kvp::SystemSetLocalTime(&kFixedClock);
        SetDriverDword(TEXT("DebugLevel"), LOG_INFO);
    }
};

class AttachedMemoryTest : public MemoryTest {
protected:
    void SetUp() override
    {
        MemoryTest::SetUp();
        Attach();
    }
};

// Each failure's line: "<stamp>KVPS[<level>]: memory(<n>): <function>: <message>\r\n".
void ExpectMemoryLine(const std::string &line, const char *level, const char *function, const std::string &message)
{
    const std::string head = std::string(kFixedStamp) + "KVPS[" + level + "]: memory(";
    EXPECT_EQ(0u, line.find(head)) << line;
    EXPECT_NE(std::string::npos, line.find(std::string("): ") + function + ": ")) << line;
    const std::string tail = message + "\r\n";
    ASSERT_GE(line.size(), tail.size()) << line;
    EXPECT_EQ(tail, line.substr(line.size() - tail.size())) << line;
}

TEST_F(AttachedMemoryTest, BlockHeaderDescribesTheBlock)
{
    MemBlock *block = AllocMemBlock(nullptr, 24, FALSE);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0x4B567044u, block->signature);
    // First character high: the bytes in memory read backwards.
    EXPECT_EQ(0, memcmp(block, "DpVK", 4));
    EXPECT_EQ(GetPrivateHeap(), block->heap);
    EXPECT_EQ(24u, block->size);
    EXPECT_EQ(static_cast<PVOID>(block + 1), block->data);
    EXPECT_EQ(block, MemBlockFromData(block->data));
    FreeMemBlock(block);
}

TEST_F(AttachedMemoryTest, MemAllocHandsOutUsableBytes)
{
    PVOID data = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &data, 100));
    ASSERT_NE(nullptr, data);
    memset(data, 0xab, 100);
    MemBlock *block = MemBlockFromData(data);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(100u, block->size);
    EXPECT_EQ(GetPrivateHeap(), block->heap);
    MemFree(data);
    EXPECT_EQ("", LogText());
}

TEST_F(AttachedMemoryTest, MemAllocZeroClearsTheBytes)
{
    // Dirty the heap first so that cleared bytes are not luck.
    PVOID dirty = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &dirty, 4096));
    memset(dirty, 0xcd, 4096);
    MemFree(dirty);
    PVOID data = nullptr;
    ASSERT_TRUE(MemAllocZero(&data, 4096));
    std::vector<BYTE> zero(4096, 0);
    EXPECT_EQ(0, memcmp(zero.data(), data, 4096));
    MemFree(data);
}

TEST_F(AttachedMemoryTest, MemAllocOnAnotherHeapKeepsThatHeap)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    ASSERT_NE(nullptr, heap);
    PVOID data = nullptr;
    ASSERT_TRUE(MemAlloc(heap, &data, 32));
    MemBlock *block = MemBlockFromData(data);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(heap, block->heap);
    MemFree(data);
    EXPECT_TRUE(HeapValidate(heap, 0, nullptr));
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(AttachedMemoryTest, BadAllocationArgumentsFailSilently)
{
    PVOID data = reinterpret_cast<PVOID>(0x1234);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MemAlloc(nullptr, &data, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(MemAlloc(nullptr, nullptr, 16));
    EXPECT_FALSE(MemAllocZero(&data, 0));
    EXPECT_FALSE(MemAllocZero(nullptr, 16));
    EXPECT_EQ(reinterpret_cast<PVOID>(0x1234), data);
    EXPECT_EQ("", LogText());
}

TEST_F(AttachedMemoryTest, MemFreeOfNullDoesNothing)
{
    MemFree(nullptr);
    EXPECT_EQ("", LogText());
}

TEST_F(AttachedMemoryTest, MemFreeIntoTheMiddleOfABlockIsLoggedAndFreesNothing)
{
    PVOID data = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &data, 256));
    memset(data, 0x11, 256);
    BYTE *middle = static_cast<BYTE *>(data) + 64;
    MemFree(middle);
    ExpectMemoryLine(LogText(), "INFO", "IsValidMemBlock",
                     "Invalid MemBlock, addr = " + Hex8(middle - sizeof(MemBlock)) + ".");
    // The block is still ours and whole.
    EXPECT_EQ(0x11, static_cast<BYTE *>(data)[255]);
    ASSERT_NE(nullptr, MemBlockFromData(data));
    MemFree(data);
}

TEST_F(AttachedMemoryTest, HeaderLookalikeWithForeignDataPointerIsRefused)
{
    // Bytes inside a block shaped like a header, signature and all, whose
    // data pointer is not right behind it.
    PVOID data = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &data, 256));
    auto *fake = reinterpret_cast<MemBlock *>(static_cast<BYTE *>(data) + 64);
    fake->signature = kMemBlockSignature;
    fake->heap = GetPrivateHeap();
    fake->size = 16;
    fake->data = data;
    EXPECT_FALSE(IsValidMemBlock(fake));
    EXPECT_EQ(nullptr, MemBlockFromData(fake + 1));
    MemFree(fake + 1);
    EXPECT_NE(nullptr, MemBlockFromData(data));
    MemFree(data);

    // The same lookalike with the right data pointer is, by design, taken.
    MemBlock real = {kMemBlockSignature, nullptr, 0, nullptr};
    real.data = &real + 1;
    EXPECT_TRUE(IsValidMemBlock(&real));
}

TEST_F(AttachedMemoryTest, EachRefusedBlockIsLoggedOnceWithItsAddress)
{
    // Right place for the data, wrong signature.
    MemBlock bogus = {0x44705654, GetPrivateHeap(), 4, nullptr};
    bogus.data = &bogus + 1;
    EXPECT_FALSE(IsValidMemBlock(&bogus));
    FreeMemBlock(&bogus);
    const std::string line = "Invalid MemBlock, addr = " + Hex8(&bogus) + ".\r\n";
    const std::string text = LogText();
    size_t count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    EXPECT_EQ(2u, count) << text;
    EXPECT_EQ(2u * (text.find("\r\n") + 2), text.size()) << "two lines, nothing else";
}

TEST_F(MemoryTest, MaxHeapSizeBoundsThePrivateHeap)
{
    struct Case {
        DWORD maxHeapSize;
        DWORD size;
        bool fits;
    } cases[] = {
        {0, 0x40000, true},
        {0x20000, 0x1000, true},
        {0x20000, 0x40000, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "MaxHeapSize " << c.maxHeapSize << ", size " << c.size);
        SetDriverDword(TEXT("MaxHeapSize"), c.maxHeapSize);
        Attach();
        PVOID data = nullptr;
        EXPECT_EQ(c.fits, MemAlloc(nullptr, &data, c.size) != FALSE);
        MemFree(data);
        data = nullptr;
        EXPECT_EQ(c.fits, MemAllocZero(&data, c.size) != FALSE);
        MemFree(data);
        ModuleDetach();
        attached_ = false;
    }
}

TEST_F(MemoryTest, AllocationFailuresAreLoggedAtNotice)
{
    SetDriverDword(TEXT("MaxHeapSize"), 0x20000);
    Attach();
    PVOID data = nullptr;
    EXPECT_FALSE(MemAlloc(nullptr, &data, 0x40000));
    EXPECT_FALSE(MemAllocZero(&data, 0x40000));
    EXPECT_EQ(nullptr, data);

    HANDLE heap = HeapCreate(0, 0, 0x10000);
    ASSERT_NE(nullptr, heap);
    EXPECT_FALSE(MemAlloc(heap, &data, 0x20000));
    HeapDestroy(heap);

    std::string text = LogText();
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        ASSERT_NE(std::string::npos, end);
        lines.push_back(text.substr(start, end + 2 - start));
    }
    ASSERT_EQ(3u, lines.size()) << text;
    ExpectMemoryLine(lines[0], "NOTICE", "MemAlloc", "hHeap(00000000), dwSize(262144).");
    ExpectMemoryLine(lines[1], "NOTICE", "MemAllocZero", "dwSize(262144).");
    ExpectMemoryLine(lines[2], "NOTICE", "MemAlloc", "hHeap(" + Hex8(heap) + "), dwSize(131072).");
}

TEST_F(MemoryTest, NothingIsAllocatedBeforeAttach)
{
    PVOID data = nullptr;
    EXPECT_EQ(nullptr, GetPrivateHeap());
    EXPECT_EQ(nullptr, AllocMemBlock(nullptr, 16, FALSE));
    EXPECT_FALSE(MemAllocZero(&data, 16));
    EXPECT_EQ(nullptr, data);
}

}  // namespace
