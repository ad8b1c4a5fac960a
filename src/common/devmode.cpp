// The private DEVMODE record: its tables, its accessors and the host's
// size, defaults, convert and merge operations on it.
#include "devmode.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "coremain.h"

namespace {

using Id = DevmodeFieldId;
using Kind = DevmodeFieldType;

constexpr DWORD kFlagSize = 4;
constexpr DWORD kShortSize = 2;
constexpr Id kEndOfTable = static_cast<Id>(0);

}  // namespace

// INVARIANT: rows in id order 1, 2, 3, ... and the zero row last; every row
// lies inside the private data (checked below at compile time).
// One table for both lines: line B's records hold the same settings at the
// same offsets, without secure print; the enum gives each line's numbering.
constexpr DevmodeField DevmodeFieldTable[] = {
    {Id::PrinterType, Kind::Short, 0, kShortSize},
    {Id::PrinterId, Kind::RawBytes, 4, 16},
    {Id::OutputControlByDriver, Kind::Flag, kDevmodeFlagsOffset, kFlagSize},
    {Id::CustomSizePaperSeries, Kind::Short, 24, kShortSize},
#if KV_LINE_A
    {Id::SecurePrint, Kind::Flag, kDevmodeFlagsOffset, kFlagSize},
    {Id::DocumentNameMode, Kind::Short, 44, kShortSize},
    {Id::DocumentName, Kind::WideString, 46, kDocumentNameLength},
#endif
    {Id::FoldMode, Kind::Short, 26, kShortSize},
    {Id::StackerMode, Kind::Short, 28, kShortSize},
    {Id::Baler, Kind::Short, 30, kShortSize},
    {Id::OutputDirection, Kind::Short, 32, kShortSize},
    {Id::BindingMargin, Kind::Short, 34, kShortSize},
    {Id::FoldAdjustment, Kind::Short, 36, kShortSize},
    {Id::RotateStack, Kind::Flag, kDevmodeFlagsOffset, kFlagSize},
    {Id::EarFold, Kind::Flag, kDevmodeFlagsOffset, kFlagSize},
    {Id::FoldProgram, Kind::Short, 38, kShortSize},
    {Id::ProgramMargins, Kind::Short, 40, kShortSize},
    {Id::FoldOutputBin, Kind::Short, 42, kShortSize},
#if KV_LINE_A
    {Id::AdvancedFeaturesOff, Kind::Short, 176, kShortSize},
#endif
    {kEndOfTable, static_cast<Kind>(0), 0, 0},
};

constexpr DevmodeFlag DevmodeFlagTable[] = {
    {Id::OutputControlByDriver, 0x1},
    {Id::RotateStack, 0x2},
    {Id::EarFold, 0x4},
#if KV_LINE_A
    {Id::SecurePrint, 0x8},
#endif
    {kEndOfTable, 0},
};

namespace {

// The settings that differ from zero in a fresh record, as (offset, value).
// Both lines share the first ten; line A adds the document name mode.
struct DefaultValue {
    DWORD offset;
    WORD value;
};
constexpr DefaultValue kDefaultValues[] = {
    {24, 1},   // CustomSizePaperSeries: A series
    {26, 1},   // FoldMode: the printer's setting
    {28, 1},   // StackerMode: the printer's setting
    {30, 1},   // Baler: the printer's setting
    {32, 1},   // OutputDirection: the printer's setting
    {34, 1},   // BindingMargin: 0 mm
    {36, 2},   // FoldAdjustment: 210 mm
    {38, 21},  // FoldProgram: bypass
    {40, 2},   // ProgramMargins: the program's margins
    {42, 14},  // FoldOutputBin: don't care
#if KV_LINE_A
    {44, 2},  // DocumentNameMode: taken from the job
#endif
};

struct DefaultImage {
    BYTE bytes[kDevmodeDataSize];
};

constexpr DefaultImage MakeDefaultImage()
{
    DefaultImage image{};
    for (const DefaultValue &v : kDefaultValues) {
        image.bytes[v.offset] = static_cast<BYTE>(v.value & 0xFF);  // little-endian, as stored
        image.bytes[v.offset + 1] = static_cast<BYTE>(v.value >> 8);
    }
    return image;
}
constexpr DefaultImage kDefaultImage = MakeDefaultImage();

constexpr DWORD RowBytes(const DevmodeField &row)
{
    return row.kind == Kind::WideString ? row.size * static_cast<DWORD>(sizeof(WCHAR)) : row.size;
}

// The stored format cannot change by accident: ids in order, every row
// inside the private data, a closing row.
template <size_t N>
constexpr bool IsWellFormed(const DevmodeField (&table)[N])
{
    for (size_t i = 0; i + 1 < N; ++i) {
        if (static_cast<DWORD>(table[i].id) != i + 1) return false;
        if (table[i].offset + RowBytes(table[i]) > kDevmodeDataSize) return false;
        if (table[i].kind == Kind::Flag && (table[i].offset != kDevmodeFlagsOffset || table[i].size != kFlagSize))
            return false;
    }
    return table[N - 1].id == kEndOfTable;
}
static_assert(IsWellFormed(DevmodeFieldTable), "DevmodeFieldTable");

// The biggest field, for the merge's scratch buffer.
template <size_t N>
constexpr DWORD LargestRow(const DevmodeField (&table)[N])
{
    DWORD largest = 0;
    for (const DevmodeField &row : table)
        if (RowBytes(row) > largest) largest = RowBytes(row);
    return largest;
}
constexpr DWORD kLargestRow = LargestRow(DevmodeFieldTable);

const DevmodeField *FindField(Id id)
{
    for (const DevmodeField *row = DevmodeFieldTable;; ++row) {
        if (row->id == kEndOfTable) return nullptr;
        if (row->id == id) return row;
    }
}

const DevmodeFlag *FindFlag(Id id)
{
    for (const DevmodeFlag *flag = DevmodeFlagTable;; ++flag) {
        if (flag->id == kEndOfTable) return nullptr;
        if (flag->id == id) return flag;
    }
}

// Records sit at any byte address: every multi-byte value goes through
// these.
DWORD ReadDword(const BYTE *at)
{
    DWORD value;
    memcpy(&value, at, sizeof(value));
    return value;
}

void WriteDword(BYTE *at, DWORD value) { memcpy(at, &value, sizeof(value)); }

WCHAR ReadUnit(const BYTE *at)
{
    WCHAR unit;
    memcpy(&unit, at, sizeof(unit));
    return unit;
}

struct Header {
    DWORD size;
    DWORD signature;
    DWORD version;
};

Header ReadHeader(const PrivateDevmode *record)
{
    return {ReadDword(record->header), ReadDword(record->header + 4), ReadDword(record->header + 8)};
}

bool SameHeader(const Header &a, const Header &b)
{
    return a.size == b.size && a.signature == b.signature && a.version == b.version;
}

void BuildHeader(BYTE (&header)[kDevmodeHeaderSize])
{
    WriteDword(header, kPrivateDevmodeSize);
    WriteDword(header + 4, kDevmodeSignature);
    WriteDword(header + 8, kDevmodeVersion);
}

BOOL InvalidArgument()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

void LogInvalidKind() { KV_LOG(LOG_ERROR, "A data type is invalid."); }

// Code units of a string field that the record really holds.
DWORD StringUnits(const DevmodeField &row)
{
    DWORD room = static_cast<DWORD>((kDevmodeDataSize - row.offset) / sizeof(WCHAR));
    return row.size < room ? row.size : room;
}

// Every field goes from the input to the output; this is where a field
// could be held back.
bool MergeAccepts(const DevmodeField &) { return true; }

// The same-version copy: the record's own size, but never more than the
// input really holds nor more than the output can take.
void CopySameVersion(PrivateDevmode *output, const PrivateDevmode *input, DWORD recordSize, DWORD outputSize,
                     DWORD inputSize)
{
    DWORD count = recordSize;
    if (count > inputSize) count = inputSize;
    if (count > outputSize) count = outputSize;
    memmove(output, input, count);
}

}  // namespace

const BYTE (&DevmodeDefaultImage)[kDevmodeDataSize] = kDefaultImage.bytes;

BOOL GetDevmodeField(DevmodeFieldId id, const PrivateDevmode *record, DevmodeFieldType kind, PDWORD length,
                     PVOID destination)
{
    if (!record || !length || !destination) return InvalidArgument();
    auto *out = static_cast<BYTE *>(destination);

    switch (kind) {
    case Kind::RawBytes:
    case Kind::Short:
    case Kind::Number: {
        const DevmodeField *row = FindField(id);
        // The callers pass exactly the field's size; one that passes less
        // (a Short read of a wider field) gets told, not overrun.
        if (row && *length < RowBytes(*row)) {
            *length = RowBytes(*row);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memset(out, 0, *length);
        if (!row) return TRUE;
        memcpy(out, record->data + row->offset, RowBytes(*row));
        return TRUE;
    }
    case Kind::Flag: {
        if (*length < kFlagSize) {
            *length = kFlagSize;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memset(out, 0, *length);
        const DevmodeFlag *flag = FindFlag(id);
        if (!flag) return TRUE;
        DWORD value = (ReadDword(record->data + kDevmodeFlagsOffset) & flag->mask) ? 1 : 0;
        WriteDword(out, value);
        return TRUE;
    }
    case Kind::WideString: {
        memset(out, 0, static_cast<size_t>(*length) * sizeof(WCHAR));
        const DevmodeField *row = FindField(id);
        if (!row) return TRUE;
        if (*length < row->size) {
            *length = row->size;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        // A stored name without its NUL (a damaged or foreign record) is cut
        // at the end of its field rather than read on into the next one.
        DWORD units = StringUnits(*row);
        auto *text = static_cast<LPWSTR>(destination);
        for (DWORD i = 0; i < units; ++i) {
            text[i] = ReadUnit(record->data + row->offset + i * sizeof(WCHAR));
            if (text[i] == 0) return TRUE;
        }
        if (units > 0) text[units - 1] = 0;
        return TRUE;
    }
    default:
        // Like an unknown id, an unknown kind leaves the caller nothing but
        // a cleared destination.
        memset(out, 0, *length);
        LogInvalidKind();
        return TRUE;
    }
}

BOOL SetDevmodeField(DevmodeFieldId id, PrivateDevmode *record, DevmodeFieldType kind, DWORD length, LPCVOID source)
{
    if (!record || !source) return InvalidArgument();
    const auto *in = static_cast<const BYTE *>(source);

    switch (kind) {
    case Kind::RawBytes: {
        const DevmodeField *row = FindField(id);
        if (!row) return TRUE;
        DWORD size = RowBytes(*row);
        if (length > size) return FALSE;
        // The source holds length bytes; a shorter source leaves the rest
        // of the field zero instead of being read past its end.
        memcpy(record->data + row->offset, in, length);
        memset(record->data + row->offset + length, 0, size - length);
        return TRUE;
    }
    case Kind::Short:
    case Kind::Number: {
        const DevmodeField *row = FindField(id);
        if (!row) return TRUE;
        // The source is one 16-bit value, whatever the row's width.
        DWORD size = RowBytes(*row) < kShortSize ? RowBytes(*row) : kShortSize;
        memcpy(record->data + row->offset, in, size);
        return TRUE;
    }
    case Kind::Flag: {
        const DevmodeFlag *flag = FindFlag(id);
        if (!flag) return TRUE;
        DWORD value = ReadDword(in);
        DWORD flags = ReadDword(record->data + kDevmodeFlagsOffset);
        flags = value ? (flags | flag->mask) : (flags & ~flag->mask);
        WriteDword(record->data + kDevmodeFlagsOffset, flags);
        return TRUE;
    }
    case Kind::WideString: {
        const DevmodeField *row = FindField(id);
        if (!row) return TRUE;
        // The text with its NUL must fit the field; it is looked for no
        // further than the source's stated length.
        DWORD room = StringUnits(*row);
        DWORD limit = length < room ? length : room;
        DWORD units = 0;
        while (units < limit && ReadUnit(in + units * sizeof(WCHAR)) != 0) ++units;
        if (units >= limit) return FALSE;
        memcpy(record->data + row->offset, in, (units + 1) * sizeof(WCHAR));
        return TRUE;
    }
    default:
        LogInvalidKind();
        return TRUE;
    }
}

DWORD GetDevmodeFlag(DevmodeFieldId id, const PrivateDevmode *record)
{
    DWORD value = 0;
    DWORD length = sizeof(value);
    GetDevmodeField(id, record, Kind::Flag, &length, &value);
    return value ? 1 : 0;
}

BOOL SetDevmodeFlag(DevmodeFieldId id, PrivateDevmode *record, DWORD value)
{
    return SetDevmodeField(id, record, Kind::Flag, sizeof(value), &value);
}

SHORT GetDevmodeShort(DevmodeFieldId id, const PrivateDevmode *record)
{
    SHORT value = 0;
    DWORD length = sizeof(value);
    if (!GetDevmodeField(id, record, Kind::Short, &length, &value)) return 0;
    return value;
}

BOOL SetDevmodeShort(DevmodeFieldId id, PrivateDevmode *record, SHORT value)
{
    return SetDevmodeField(id, record, Kind::Short, sizeof(value), &value);
}

BOOL GetDevmodeString(DevmodeFieldId id, const PrivateDevmode *record, PDWORD capacity, LPWSTR destination)
{
    return GetDevmodeField(id, record, Kind::WideString, capacity, destination);
}

BOOL SetDevmodeString(DevmodeFieldId id, PrivateDevmode *record, LPCWSTR text)
{
    if (!record || !text) return InvalidArgument();
    DWORD length = 0;
    while (text[length]) ++length;
    return SetDevmodeField(id, record, Kind::WideString, length + 1, text);
}

SHORT GetDefaultShort(DevmodeFieldId id)
{
    const DevmodeField *row = FindField(id);
    if (!row) return 0;
    WORD value = static_cast<WORD>(kDefaultImage.bytes[row->offset] | (kDefaultImage.bytes[row->offset + 1] << 8));
    return static_cast<SHORT>(value);
}

DWORD GetDefaultFlag(DevmodeFieldId) { return 0; }

BOOL InitDevmodeHeader(PrivateDevmode *record)
{
    if (!record) return InvalidArgument();
    BuildHeader(record->header);
    return TRUE;
}

BOOL SetDevmodeDefaults(PrivateDevmode *record)
{
    if (!InitDevmodeHeader(record)) return FALSE;
    memcpy(record->data, kDefaultImage.bytes, kDevmodeDataSize);
    return TRUE;
}

BOOL ConvertDevmode(PrivateDevmode *output, const PrivateDevmode *input, DWORD outputSize, DWORD inputSize)
{
    if (!output || !input) return InvalidArgument();
    // Mended: a header that is not wholly there is not read at all, on
    // either side; the old code compared whatever lay behind a short
    // buffer.
    if (outputSize < kDevmodeHeaderSize) return InvalidArgument();
    Header out = ReadHeader(output);
    if (inputSize < kDevmodeHeaderSize) {
#if KV_LINE_A
        return FALSE;  // cannot be a "0010" record
#else
        return TRUE;  // another version: left alone
#endif
    }
    Header in = ReadHeader(input);

    if (SameHeader(in, out)) {
        // Mended: the record's dwSize is the input's own claim; the copy is
        // also bounded by what the input and output buffers really hold.
        CopySameVersion(output, input, in.size, outputSize, inputSize);
        return TRUE;
    }

#if KV_LINE_A
    PVOID oldData = nullptr;
    PVOID newData = nullptr;
    if (!MemAllocZero(&oldData, kDevmodeDataSize0020)) return FALSE;
    if (!MemAllocZero(&newData, kDevmodeDataSize0020)) {
        MemFree(oldData);
        return FALSE;
    }
    // Mended: the input's private data is taken as far as its dwSize says,
    // but never further than the input buffer really reaches; a dwSize
    // below the header's own size takes nothing.
    DWORD available = in.size < inputSize ? in.size : inputSize;
    DWORD count = available > kDevmodeHeaderSize ? available - kDevmodeHeaderSize : 0;
    if (count > kDevmodeDataSize0020) count = kDevmodeDataSize0020;
    memcpy(oldData, input->data, count);

    if (in.version != kDevmodeVersion0010) {
        MemFree(newData);
        MemFree(oldData);
        return FALSE;
    }

    // "0010" to "0020": the printer type, the flags word and the ten
    // settings keep their offsets; the printer identity is not carried over
    // (line B never had one) and the secure print fields start fresh.
    const auto *from = static_cast<const BYTE *>(oldData);
    auto *to = static_cast<BYTE *>(newData);
    memcpy(to + 0, from + 0, kShortSize);
    memcpy(to + kDevmodeFlagsOffset, from + kDevmodeFlagsOffset, kFlagSize);
    memcpy(to + kDevmodeSettingsOffset, from + kDevmodeSettingsOffset, kDevmodeSettingsCount * kShortSize);
    to[44] = 2;  // DocumentNameMode: taken from the job
    to[45] = 0;
    // DocumentName (46) stays empty and AdvancedFeaturesOff (176) 0.

    // Mended: the output takes its own dwSize worth of data, but no more
    // than the buffer behind it holds; a dwSize below the header's size
    // used to wrap around to the whole scratch block.
    DWORD wanted = out.size > kDevmodeHeaderSize ? out.size - kDevmodeHeaderSize : 0;
    DWORD room = outputSize - kDevmodeHeaderSize;
    if (wanted > room) wanted = room;
    if (wanted > kDevmodeDataSize0020) wanted = kDevmodeDataSize0020;
    memcpy(output->data, to, wanted);

    MemFree(newData);
    MemFree(oldData);
    return TRUE;
#else
    // Line B knows no other version: the output keeps its defaults.
    return TRUE;
#endif
}

DWORD DevmodeInputSize(const OEMDMPARAM *param)
{
    if (!param || !param->pOEMDMIn) return 0;
    auto record = reinterpret_cast<uintptr_t>(param->pOEMDMIn);
    if (param->pPublicDMIn) {
        auto begin = reinterpret_cast<uintptr_t>(param->pPublicDMIn) + param->pPublicDMIn->dmSize;
        auto end = begin + param->pPublicDMIn->dmDriverExtra;
        if (record >= begin && record < end) return static_cast<DWORD>(end - record);
    }
    return ReadDword(static_cast<const BYTE *>(param->pOEMDMIn));
}

BOOL MergeDevmode(PrivateDevmode *output, const PrivateDevmode *input, DWORD outputSize)
{
    if (!output || !input) return InvalidArgument();
    // Mended: the host's buffer must take the whole record; a short one is
    // left as it is rather than written past its end.
    if (outputSize < kPrivateDevmodeSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    alignas(8) BYTE scratch[kLargestRow];
    for (const DevmodeField *row = DevmodeFieldTable; row->id != kEndOfTable; ++row) {
        DWORD length = row->size;
        if (!GetDevmodeField(row->id, input, row->kind, &length, scratch)) continue;
        if (!MergeAccepts(*row)) continue;
        SetDevmodeField(row->id, output, row->kind, row->size, scratch);
    }
    return TRUE;
}

const PrivateDevmode *FindPrivateDevmode(const DEVMODEW *devmode, DWORD devmodeSize)
{
    // Not even the two size fields are there.
    if (!devmode || devmodeSize < offsetof(DEVMODEW, dmFields)) return nullptr;
    BYTE header[kDevmodeHeaderSize];
    BuildHeader(header);

    // Mended: the scan stays inside dmSize + dmDriverExtra (and inside the
    // caller's buffer when it knows its size), and only a record that lies
    // wholly inside is found: a header near the end of the area belongs to
    // a cut-off record, whose fields would be read past it.
    const auto *base = reinterpret_cast<const BYTE *>(devmode);
    size_t begin = devmode->dmSize;
    size_t end = begin + devmode->dmDriverExtra;
    if (end > devmodeSize) end = devmodeSize;
    for (size_t at = begin; at + kPrivateDevmodeSize <= end; ++at) {
        if (memcmp(base + at, header, kDevmodeHeaderSize) == 0)
            return reinterpret_cast<const PrivateDevmode *>(base + at);
    }
    return nullptr;
}

PrivateDevmode *FindPrivateDevmode(DEVMODEW *devmode, DWORD devmodeSize)
{
    return const_cast<PrivateDevmode *>(FindPrivateDevmode(static_cast<const DEVMODEW *>(devmode), devmodeSize));
}

BOOL PrivateDevmodeSize(PDWORD size)
{
    if (!size) return InvalidArgument();
    *size = kPrivateDevmodeSize;
    return TRUE;
}
