// A growable array of bytes on the module's private heap: the output the
// rendering system holds back until the job header can go first, and the
// job header while it is being built.
//
// INVARIANT: length <= capacity; data is null exactly while capacity is 0.
// A failed append leaves the buffer as it was.
#pragma once

#include "kvsys.h"

struct ByteBuffer {
    BYTE *data;
    DWORD capacity;
    DWORD length;
    DWORD initialCapacity;  // taken at the first append
};

// The room a formatted append asks for before it formats.
constexpr DWORD kFormatReserve = 1024;

// An empty buffer that allocates INITIALCAPACITY bytes at its first append.
void InitByteBuffer(ByteBuffer *buffer, DWORD initialCapacity);
// Makes room for EXTRA more bytes: the capacity doubles until they fit.
BOOL ReserveBytes(ByteBuffer *buffer, DWORD extra);
BOOL AppendBytes(ByteBuffer *buffer, LPCVOID bytes, DWORD size);
// Formats with FormatTextA (Windows semantics) and appends the text without
// its NUL.
BOOL AppendFormat(ByteBuffer *buffer, LPCSTR format, ...);
// Keeps the memory for the next use.
void EmptyByteBuffer(ByteBuffer *buffer);
// Gives the memory back; the buffer can be used again.
void FreeByteBuffer(ByteBuffer *buffer);
