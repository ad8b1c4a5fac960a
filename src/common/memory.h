// Private heap memory blocks: every allocation of a module comes from its
// own heap behind a checked header, so a stray pointer handed back is
// reported instead of corrupting the heap.
#pragma once

#include "kvsys.h"

// Four ASCII characters packed first-character-high.
constexpr DWORD MakeFourCC(char a, char b, char c, char d)
{
    return (static_cast<DWORD>(static_cast<BYTE>(a)) << 24) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 16) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 8) | static_cast<DWORD>(static_cast<BYTE>(d));
}

constexpr DWORD kMemBlockSignature = MakeFourCC('K', 'V', 'p', 'D');  // 0x4B567044

struct MemBlock {
    DWORD signature;
    HANDLE heap;
    DWORD size;
    PVOID data;
};

MemBlock *AllocMemBlock(HANDLE heap, DWORD size, BOOL zeroFill);
BOOL IsValidMemBlock(const MemBlock *block);
void FreeMemBlock(MemBlock *block);
MemBlock *MemBlockFromData(PVOID data);
BOOL MemAlloc(HANDLE heap, PVOID *data, DWORD size);
BOOL MemAllocZero(PVOID *data, DWORD size);
void MemFree(PVOID data);
#ifdef KV_BUILD_RENDER
MemBlock *ReallocMemBlock(MemBlock *block, DWORD size, BOOL mayMove);
BOOL MemRealloc(PVOID *data, DWORD size, BOOL mayMove);
#endif
