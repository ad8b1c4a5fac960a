// Heaps: HeapCreate with an enforced maximum, blocks that can grow in place,
// and the process heap.
//
// Each block is its own allocation of the C library with a reserved room
// above its requested size; the heap keeps the table of its blocks, so a
// pointer that is not one of its blocks is refused instead of corrupting
// anything. Under AddressSanitizer the room above the requested size is
// poisoned, so product code that writes past its block is caught even when
// the write stays inside the reservation.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "kvp/kernel.h"
#include "kvp/system.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KVP_POISON(addr, size) ASAN_POISON_MEMORY_REGION(addr, size)
#define KVP_UNPOISON(addr, size) ASAN_UNPOISON_MEMORY_REGION(addr, size)
#else
#define KVP_POISON(addr, size) ((void)(addr), (void)(size))
#define KVP_UNPOISON(addr, size) ((void)(addr), (void)(size))
#endif

namespace {

constexpr size_t kGranule = 16;
constexpr size_t kBlockHeader = 16;  // bookkeeping charged per block
constexpr size_t kPage = 4096;
constexpr size_t kLargest = (size_t)1 << 46;  // beyond any real request

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// The room a block of SIZE bytes reserves: its size plus a quarter to grow
// in place, in whole granules.
size_t Reservation(size_t size)
{
    size_t r = RoundUp(size + size / 4, kGranule);
    return r ? r : kGranule;
}

struct Block {
    size_t size;
    size_t capacity;
};

struct Heap {
    DWORD options = 0;
    size_t maximum = 0;  // 0: growable
    size_t charged = 0;  // reservations + headers of the live blocks
    std::unordered_map<void *, Block> blocks;
};

// Never destroyed: modules may free blocks from their own static
// destructors after this library's statics would have gone.
struct Heaps {
    std::mutex lock;
    std::unordered_set<Heap *> live;
    Heap *process = nullptr;
};

Heaps &H()
{
    static Heaps *h = [] {
        Heaps *p = new Heaps;
        p->process = new Heap;
        p->live.insert(p->process);
        return p;
    }();
    return *h;
}

Heap *FindHeap(HANDLE handle)
{
    auto it = H().live.find(static_cast<Heap *>(handle));
    return it == H().live.end() ? nullptr : *it;
}

// FindHeap for the calls that report an unknown heap: null, with
// ERROR_INVALID_HANDLE as the last error.
Heap *HeapOf(HANDLE handle)
{
    Heap *heap = FindHeap(handle);
    if (!heap) SetLastError(ERROR_INVALID_HANDLE);
    return heap;
}

bool Fits(const Heap &heap, size_t more)
{
    return heap.maximum == 0 || (heap.charged <= heap.maximum && more <= heap.maximum - heap.charged);
}

void *NewBlock(Heap &heap, size_t size, bool zero)
{
    if (size >= kLargest) return nullptr;
    size_t capacity = Reservation(size);
    if (!Fits(heap, capacity + kBlockHeader)) return nullptr;
    void *p = std::malloc(capacity);
    if (!p) return nullptr;
    if (zero) std::memset(p, 0, size);
    KVP_POISON(static_cast<char *>(p) + size, capacity - size);
    heap.blocks.emplace(p, Block{size, capacity});
    heap.charged += capacity + kBlockHeader;
    return p;
}

void DropBlock(Heap &heap, std::unordered_map<void *, Block>::iterator it)
{
    KVP_UNPOISON(it->first, it->second.capacity);
    heap.charged -= it->second.capacity + kBlockHeader;
    std::free(it->first);
    heap.blocks.erase(it);
}

}  // namespace

KVP_API HANDLE WINAPI HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize)
{
    if (dwInitialSize >= kLargest || dwMaximumSize >= kLargest) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Heap *heap = new Heap;
    heap->options = flOptions;
    if (dwMaximumSize != 0) {
        // As on Windows, a maximum below the initial size is raised to it.
        size_t maximum = dwMaximumSize < dwInitialSize ? dwInitialSize : dwMaximumSize;
        heap->maximum = RoundUp(maximum, kPage);
    }
    std::lock_guard<std::mutex> guard(H().lock);
    H().live.insert(heap);
    return heap;
}

KVP_API BOOL WINAPI HeapDestroy(HANDLE hHeap)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = HeapOf(hHeap);
    if (!heap) return FALSE;
    if (heap == H().process) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    while (!heap->blocks.empty()) DropBlock(*heap, heap->blocks.begin());
    H().live.erase(heap);
    delete heap;
    return TRUE;
}

KVP_API LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = HeapOf(hHeap);
    if (!heap) return nullptr;
    // Like Windows, a failed allocation does not touch the last error.
    if (kvp::SystemTakeFault(kvp::Fault::Allocation)) return nullptr;
    return NewBlock(*heap, dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0);
}

KVP_API LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = HeapOf(hHeap);
    if (!heap) return nullptr;
    auto it = lpMem ? heap->blocks.find(lpMem) : heap->blocks.end();
    if (it == heap->blocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (kvp::SystemTakeFault(kvp::Fault::Allocation)) return nullptr;
    if (dwBytes >= kLargest) return nullptr;

    Block &block = it->second;
    char *base = static_cast<char *>(lpMem);
    const bool zero = (dwFlags & HEAP_ZERO_MEMORY) != 0;
    if (dwBytes <= block.capacity) {
        // Shrinking, or growing into the block's own room: stays where it is.
        if (dwBytes > block.size) {
            KVP_UNPOISON(base + block.size, dwBytes - block.size);
            if (zero) std::memset(base + block.size, 0, dwBytes - block.size);
        } else {
            KVP_POISON(base + dwBytes, block.size - dwBytes);
        }
        block.size = dwBytes;
        return lpMem;
    }
    if (dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) return nullptr;

    const size_t oldSize = block.size;
    char *moved = static_cast<char *>(NewBlock(*heap, dwBytes, false));
    if (!moved) return nullptr;
    std::memcpy(moved, base, oldSize);
    if (zero) std::memset(moved + oldSize, 0, dwBytes - oldSize);
    DropBlock(*heap, heap->blocks.find(lpMem));
    return moved;
}

KVP_API BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = HeapOf(hHeap);
    if (!heap) return FALSE;
    if (!lpMem) return TRUE;
    auto it = heap->blocks.find(lpMem);
    if (it == heap->blocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DropBlock(*heap, it);
    return TRUE;
}

KVP_API SIZE_T WINAPI HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = FindHeap(hHeap);
    if (!heap) return static_cast<SIZE_T>(-1);
    auto it = heap->blocks.find(const_cast<void *>(lpMem));
    return it == heap->blocks.end() ? static_cast<SIZE_T>(-1) : it->second.size;
}

KVP_API BOOL WINAPI HeapValidate(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem)
{
    std::lock_guard<std::mutex> guard(H().lock);
    Heap *heap = FindHeap(hHeap);
    if (!heap) return FALSE;
    if (!lpMem) return TRUE;
    return heap->blocks.count(const_cast<void *>(lpMem)) ? TRUE : FALSE;
}

KVP_API HANDLE WINAPI GetProcessHeap() { return H().process; }
