// The growable byte buffer.
#include "bytebuffer.h"

#include <cstdarg>
#include <cstring>

#include "format.h"
#include "memory.h"

namespace {

// A formatted line longer than this is refused rather than grown for
// without end.
constexpr DWORD kFormatReserveMax = 64 * 1024;

}  // namespace

void InitByteBuffer(ByteBuffer *buffer, DWORD initialCapacity)
{
    if (buffer == nullptr) return;
    buffer->data = nullptr;
    buffer->capacity = 0;
    buffer->length = 0;
    buffer->initialCapacity = initialCapacity != 0 ? initialCapacity : 1;
}

BOOL ReserveBytes(ByteBuffer *buffer, DWORD extra)
{
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // In 64 bits: a length near 4 GB must not wrap around to a small need.
    ULONGLONG needed = static_cast<ULONGLONG>(buffer->length) + extra;
    if (needed <= buffer->capacity) return TRUE;
    if (needed > 0xFFFFFFFFull) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    ULONGLONG capacity = buffer->capacity != 0 ? buffer->capacity : buffer->initialCapacity;
    while (capacity < needed) capacity *= 2;
    if (capacity > 0xFFFFFFFFull) capacity = needed;

    PVOID data = buffer->data;
    BOOL ok = data == nullptr ? MemAlloc(nullptr, &data, static_cast<DWORD>(capacity))
                              : MemRealloc(&data, static_cast<DWORD>(capacity), TRUE);
    if (!ok) return FALSE;
    buffer->data = static_cast<BYTE *>(data);
    buffer->capacity = static_cast<DWORD>(capacity);
    return TRUE;
}

BOOL AppendBytes(ByteBuffer *buffer, LPCVOID bytes, DWORD size)
{
    if (buffer == nullptr || (bytes == nullptr && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (size == 0) return TRUE;
    if (!ReserveBytes(buffer, size)) return FALSE;
    std::memcpy(buffer->data + buffer->length, bytes, size);
    buffer->length += size;
    return TRUE;
}

BOOL AppendFormat(ByteBuffer *buffer, LPCSTR format, ...)
{
    if (buffer == nullptr || format == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (DWORD reserve = kFormatReserve; reserve <= kFormatReserveMax; reserve *= 2) {
        if (!ReserveBytes(buffer, reserve)) return FALSE;
        va_list args;
        va_start(args, format);
        int written = FormatTextVA(reinterpret_cast<LPSTR>(buffer->data + buffer->length), reserve, format, args);
        va_end(args);
        if (written >= 0) {
            buffer->length += static_cast<DWORD>(written);
            return TRUE;
        }
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

void EmptyByteBuffer(ByteBuffer *buffer)
{
    if (buffer != nullptr) buffer->length = 0;
}

void FreeByteBuffer(ByteBuffer *buffer)
{
    if (buffer == nullptr) return;
    MemFree(buffer->data);
    buffer->data = nullptr;
    buffer->capacity = 0;
    buffer->length = 0;
}
