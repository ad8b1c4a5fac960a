// Private heap memory blocks: every allocation of a module comes from its
// own heap behind a checked header, so a stray pointer handed back is
// reported instead of corrupting the heap.
//
// INVARIANT: a block is valid when its signature is kMemBlockSignature and
// its data pointer is the address right after its header. Nothing touches
// the heap for a pointer that fails this check.
#pragma once

#include "kvsys.h"

// Four ASCII characters packed first-character-high.
constexpr DWORD MakeFourCC(char a, char b, char c, char d)
{
    return (static_cast<DWORD>(static_cast<BYTE>(a)) << 24) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 16) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 8) | static_cast<DWORD>(static_cast<BYTE>(d));
}

constexpr DWORD kMemBlockSignature = MakeFourCC('K', 'V', 'p', 'D');  // 0x4B567044
static_assert(kMemBlockSignature == 0x4B567044, "signature packs first character high");

// The header in front of the caller's bytes.
struct MemBlock {
    DWORD signature;
    HANDLE heap;  // the heap the block came from, and goes back to
    DWORD size;   // the caller's bytes, header not included
    PVOID data;   // the first byte after the header
};

// A new block of size bytes from heap (null: the module's private heap),
// cleared when zeroFill is set; null when the heap refuses.
MemBlock *AllocMemBlock(HANDLE heap, DWORD size, BOOL zeroFill);
// True for a valid block; anything else is logged (INFO) with its address.
BOOL IsValidMemBlock(const MemBlock *block);
// Returns a valid block to its own heap; ignores anything else.
void FreeMemBlock(MemBlock *block);
// The header of the caller's pointer when it heads a valid block, else null.
MemBlock *MemBlockFromData(PVOID data);

// The caller's interface: true with *data set, or false with *data as it
// was. Size 0 or a missing out pointer fail without a log line.
BOOL MemAlloc(HANDLE heap, PVOID *data, DWORD size);
BOOL MemAllocZero(PVOID *data, DWORD size);
// Null does nothing; a pointer that is not ours is logged and left alone.
void MemFree(PVOID data);

#ifdef KV_BUILD_RENDER
// Resizes a block on its own heap. With mayMove clear the heap is asked to
// resize in place; when it cannot (either way), a new block is taken on the
// same heap and the old bytes are copied over, so the result may still be a
// different block. Null leaves the old block as it was.
MemBlock *ReallocMemBlock(MemBlock *block, DWORD size, BOOL mayMove);
// True with *data pointing at the resized bytes; false leaves *data and its
// block untouched.
BOOL MemRealloc(PVOID *data, DWORD size, BOOL mayMove);
#endif
