// The .res image parser: the binary that windres writes with -O res and
// that every native module carries in its ".kvrsrc" section.
//
// Record layout (all little-endian, record start DWORD-aligned):
//   DWORD DataSize, DWORD HeaderSize,
//   TYPE, NAME: 0xFFFF + WORD id, or a NUL-terminated UTF-16 name,
//   padding to a DWORD boundary,
//   DWORD DataVersion, WORD MemoryFlags, WORD LanguageId,
//   DWORD Version, DWORD Characteristics,
//   then DataSize bytes of data at record start + HeaderSize, padded to a DWORD.
#include <cstring>

#include "kvp/resource.h"
#include "resource_internal.h"

namespace kvp {
namespace {

const size_t kMinHeader = 32;  // sizes, two ordinals and the fixed tail
const size_t kFixedTail = 16;

// A TYPE or NAME field at *pos, which must end before END.
bool ReadId(const BYTE *image, size_t *pos, size_t end, bool *isId, WORD *id, DWORD *offset, DWORD *length)
{
    size_t p = *pos;
    if (end < 2 || p > end - 2) return false;
    if (Word(image + p) == 0xFFFF) {
        if (p > end - 4) return false;
        *isId = true;
        *id = Word(image + p + 2);
        *offset = 0;
        *length = 0;
        *pos = p + 4;
        return true;
    }
    size_t q = p;
    while (true) {
        if (q > end - 2) return false;  // no NUL inside the header
        if (Word(image + q) == 0) break;
        q += 2;
    }
    *isId = false;
    *id = 0;
    *offset = static_cast<DWORD>(p);
    *length = static_cast<DWORD>((q - p) / 2);
    *pos = q + 2;
    return true;
}

}  // namespace

bool ParseResImage(const BYTE *image, size_t size, std::vector<ResEntry> *entries)
{
    if (!entries) return false;
    entries->clear();
    // Offsets are kept as DWORDs, as in the file format.
    if (!image || size < kMinHeader || size > 0xFFFFFFFFu) return false;

    std::vector<ResEntry> found;
    size_t pos = 0;
    bool first = true;
    while (pos < size) {
        const size_t left = size - pos;
        if (left < kMinHeader) return false;
        const size_t dataSize = Dword(image + pos);
        const size_t headerSize = Dword(image + pos + 4);
        if (headerSize < kMinHeader || headerSize % 4 != 0 || headerSize > left) return false;
        if (dataSize > left - headerSize) return false;

        const size_t headerEnd = pos + headerSize;
        size_t p = pos + 8;
        ResEntry e{};
        if (!ReadId(image, &p, headerEnd, &e.typeIsId, &e.typeId, &e.typeNameOffset, &e.typeNameLength))
            return false;
        if (!ReadId(image, &p, headerEnd, &e.nameIsId, &e.nameId, &e.nameOffset, &e.nameLength)) return false;
        p = pos + AlignUp4(p - pos);
        if (p > headerEnd || headerEnd - p < kFixedTail) return false;
        e.language = Word(image + p + 6);
        e.dataOffset = static_cast<DWORD>(headerEnd);
        e.dataSize = static_cast<DWORD>(dataSize);

        if (first) {
            // The image starts with an empty record of type 0, name 0: the
            // mark of a 32-bit .res file.
            if (dataSize != 0 || headerSize != kMinHeader || !e.typeIsId || e.typeId != 0 || !e.nameIsId ||
                e.nameId != 0)
                return false;
            first = false;
        } else {
            found.push_back(e);
        }
        pos = headerEnd + dataSize;
        pos = AlignUp4(pos) <= size ? AlignUp4(pos) : size;
    }
    if (first) return false;
    entries->swap(found);
    return true;
}

}  // namespace kvp
