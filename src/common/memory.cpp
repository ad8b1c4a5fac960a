// Private heap memory blocks. The header in front of every block lets us
// refuse a pointer that is not ours before the heap ever sees it: a heap
// handed a stray pointer corrupts itself silently, a log line does not.
#include "memory.h"

#include <cstring>

#include "coremain.h"

namespace {

MemBlock *HeaderOf(PVOID data)
{
    return reinterpret_cast<MemBlock *>(static_cast<BYTE *>(data) - sizeof(MemBlock));
}

PVOID DataOf(MemBlock *block) { return reinterpret_cast<BYTE *>(block) + sizeof(MemBlock); }

// Addresses go to the log as 32-bit values, as the message has always shown
// them; the low half is enough to tell blocks apart in a log.
DWORD LogAddress(const void *p) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)); }

}  // namespace

MemBlock *AllocMemBlock(HANDLE heap, DWORD size, BOOL zeroFill)
{
    if (!heap) heap = GetPrivateHeap();
    if (!heap) return nullptr;
    // In SIZE_T, so that a size near 4 GB cannot wrap around the header.
    SIZE_T total = static_cast<SIZE_T>(size) + sizeof(MemBlock);
    auto *block = static_cast<MemBlock *>(HeapAlloc(heap, zeroFill ? HEAP_ZERO_MEMORY : 0, total));
    if (!block) return nullptr;
    block->signature = kMemBlockSignature;
    block->heap = heap;
    block->size = size;
    block->data = DataOf(block);
    return block;
}

BOOL IsValidMemBlock(const MemBlock *block)
{
    if (block && block->signature == kMemBlockSignature &&
        block->data == reinterpret_cast<const BYTE *>(block) + sizeof(MemBlock))
        return TRUE;
    KV_LOG(LOG_INFO, "Invalid MemBlock, addr = %08x.\n", LogAddress(block));
    return FALSE;
}

void FreeMemBlock(MemBlock *block)
{
    if (!IsValidMemBlock(block)) return;
    // A second free of the same pointer then fails the check instead of
    // reaching the heap, as long as the memory has not been reused.
    block->signature = 0;
    HeapFree(block->heap, 0, block);
}

MemBlock *MemBlockFromData(PVOID data)
{
    if (!data) return nullptr;
    MemBlock *block = HeaderOf(data);
    return IsValidMemBlock(block) ? block : nullptr;
}

BOOL MemAlloc(HANDLE heap, PVOID *data, DWORD size)
{
    if (!data || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MemBlock *block = AllocMemBlock(heap, size, FALSE);
    if (!block) {
        KV_LOG(LOG_NOTICE, "hHeap(%08x), dwSize(%d).\n", LogAddress(heap), size);
        return FALSE;
    }
    *data = block->data;
    return TRUE;
}

BOOL MemAllocZero(PVOID *data, DWORD size)
{
    if (!data || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MemBlock *block = AllocMemBlock(nullptr, size, TRUE);
    if (!block) {
        KV_LOG(LOG_NOTICE, "dwSize(%d).\n", size);
        return FALSE;
    }
    *data = block->data;
    return TRUE;
}

void MemFree(PVOID data)
{
    if (!data) return;
    // Checked (and a stray pointer logged) once, here.
    MemBlock *block = MemBlockFromData(data);
    if (block) FreeMemBlock(block);
}

#ifdef KV_BUILD_RENDER
MemBlock *ReallocMemBlock(MemBlock *block, DWORD size, BOOL mayMove)
{
    if (!IsValidMemBlock(block)) return nullptr;
    HANDLE heap = block->heap;
    SIZE_T total = static_cast<SIZE_T>(size) + sizeof(MemBlock);
    auto *resized =
        static_cast<MemBlock *>(HeapReAlloc(heap, mayMove ? 0 : HEAP_REALLOC_IN_PLACE_ONLY, block, total));
    KV_LOG(LOG_INFO, "reallocMemBlock: pOld = 0x%08x pNew = 0x%08x dwSize = 0x%08x", LogAddress(block),
           LogAddress(resized), size);
    if (resized) {
        resized->size = size;
        resized->data = DataOf(resized);
        return resized;
    }

    // The heap could not do it; the old block is still intact and stays so
    // unless the new one can be had.
    MemBlock *fresh = AllocMemBlock(heap, size, FALSE);
    if (!fresh) return nullptr;
    // Never more than the new block holds: a shrink that the heap refused in
    // place must not overrun it.
    memcpy(fresh->data, block->data, block->size < size ? block->size : size);
    FreeMemBlock(block);
    return fresh;
}

BOOL MemRealloc(PVOID *data, DWORD size, BOOL mayMove)
{
    if (!data || !*data || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MemBlock *block = MemBlockFromData(*data);
    if (!block) return FALSE;
    MemBlock *resized = ReallocMemBlock(block, size, mayMove);
    if (!resized) {
        KV_LOG(LOG_NOTICE, "dwSize(%d).\n", size);
        return FALSE;
    }
    *data = resized->data;
    return TRUE;
}
#endif
