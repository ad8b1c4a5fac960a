// The job information record and its serialized form.
#include "jobinfo.h"

#include <cstring>

#include "text.h"

// The table is declared extern in the header; defining it constexpr here
// lets the layout check below run at compile time.
constexpr JobInfoField JobInfoFieldTable[] = {
#if KV_LINE_A
    {1, JOBINFO_LONG, 4, 0},        // spooler job id
    {2, JOBINFO_STRING, 261, 5},    // document name
    {4, JOBINFO_STRING, 33, 267},   // printer name
    {6, JOBINFO_STRING, 33, 301},   // port name
    {7, JOBINFO_SHORT, 2, 335},     // logical pages per physical sheet
    {8, JOBINFO_STRING, 64, 338},   // "PageSize" option
    {9, JOBINFO_STRING, 64, 403},   // "InputSlot" option
    {10, JOBINFO_STRING, 64, 468},  // "MediaType" option
    {11, JOBINFO_SHORT, 2, 533},    // flags
    {12, JOBINFO_STRING, 64, 536},  // secure print user name
    {13, JOBINFO_STRING, 64, 601},  // secure print PIN, stored form
    {14, JOBINFO_STRING, 64, 666},  // secure print job name
#else
    {1, JOBINFO_LONG, 4, 0},       // spooler job id
    {2, JOBINFO_SHORT, 2, 5},      // logical pages per physical sheet
    {3, JOBINFO_STRING, 64, 8},    // "PageSize" option
    {4, JOBINFO_STRING, 64, 73},   // "InputSlot" option
    {5, JOBINFO_STRING, 64, 138},  // "MediaType" option
    {6, JOBINFO_SHORT, 2, 203},    // flags
#endif
    {0, 0, 0, 0},
};

namespace {

const JobInfoField *const kFields = JobInfoFieldTable;

// The largest field (the document name).
constexpr DWORD kJobInfoLongestField = 261;

constexpr bool FieldsFit()
{
    for (const JobInfoField &row : JobInfoFieldTable)
        if (row.capacity > kJobInfoLongestField) return false;
    return true;
}
static_assert(FieldsFit(), "a field is longer than the conversion buffer");

// Each field's storage (capacity + 1 bytes) follows the previous one, and
// together they fill JobInfo::data exactly.
constexpr bool StorageIsPacked()
{
    DWORD at = 0;
    DWORD lastId = 0;
    for (const JobInfoField &row : JobInfoFieldTable) {
        if (row.id == 0) return at == kJobInfoStorage;
        if (row.offset != at || row.id <= lastId || row.id > kJobInfoMaxId) return false;
        at += row.capacity + 1;
        lastId = row.id;
    }
    return false;
}
static_assert(StorageIsPacked(), "JobInfo field table and storage disagree");

void PutDword(BYTE *out, DWORD value)
{
    out[0] = static_cast<BYTE>(value);
    out[1] = static_cast<BYTE>(value >> 8);
    out[2] = static_cast<BYTE>(value >> 16);
    out[3] = static_cast<BYTE>(value >> 24);
}

DWORD GetDword(const BYTE *in)
{
    return static_cast<DWORD>(in[0]) | (static_cast<DWORD>(in[1]) << 8) | (static_cast<DWORD>(in[2]) << 16) |
           (static_cast<DWORD>(in[3]) << 24);
}

// The bytes a set field contributes to the serialized form: a string with
// its NUL, an integer at its full width.
DWORD EntryLength(const JobInfo *info, const JobInfoField &row)
{
    if (row.kind != JOBINFO_STRING) return row.capacity;
    const BYTE *text = info->data + row.offset;
    DWORD length = 0;
    while (length < row.capacity && text[length] != 0) ++length;
    // Storage keeps a NUL at capacity, so a full string still ends there.
    return length < row.capacity ? length + 1 : row.capacity;
}

const JobInfoField *Row(JobInfoFieldId id) { return FindJobInfoField(static_cast<DWORD>(id)); }

}  // namespace

void InitJobInfo(JobInfo *info)
{
    if (info != nullptr) std::memset(info, 0, sizeof(*info));
}

const JobInfoField *FindJobInfoField(DWORD id)
{
    for (const JobInfoField *row = kFields; row->id != 0; ++row)
        if (row->id == id) return row;
    return nullptr;
}

BOOL SetJobInfoField(JobInfo *info, DWORD id, LPCVOID bytes, DWORD length)
{
    if (info == nullptr || (bytes == nullptr && length != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const JobInfoField *row = FindJobInfoField(id);
    if (row == nullptr) return TRUE;
    if (length > row->capacity) return FALSE;
    BYTE *field = info->data + row->offset;
    std::memset(field, 0, row->capacity + 1);
    if (length != 0) std::memcpy(field, bytes, length);
    info->set[id] = 1;
    return TRUE;
}

BOOL IsJobInfoSet(const JobInfo *info, JobInfoFieldId id)
{
    const JobInfoField *row = Row(id);
    return info != nullptr && row != nullptr && info->set[row->id] != 0;
}

SHORT GetJobInfoShort(const JobInfo *info, JobInfoFieldId id)
{
    const JobInfoField *row = Row(id);
    if (info == nullptr || row == nullptr) return 0;
    const BYTE *field = info->data + row->offset;
    return static_cast<SHORT>(field[0] | (field[1] << 8));
}

BOOL SetJobInfoShort(JobInfo *info, JobInfoFieldId id, SHORT value)
{
    BYTE bytes[2] = {static_cast<BYTE>(value), static_cast<BYTE>(static_cast<WORD>(value) >> 8)};
    return SetJobInfoField(info, static_cast<DWORD>(id), bytes, sizeof(bytes));
}

LONG GetJobInfoLong(const JobInfo *info, JobInfoFieldId id)
{
    const JobInfoField *row = Row(id);
    if (info == nullptr || row == nullptr) return 0;
    return static_cast<LONG>(GetDword(info->data + row->offset));
}

BOOL SetJobInfoLong(JobInfo *info, JobInfoFieldId id, LONG value)
{
    BYTE bytes[4];
    PutDword(bytes, static_cast<DWORD>(value));
    return SetJobInfoField(info, static_cast<DWORD>(id), bytes, sizeof(bytes));
}

LPCSTR GetJobInfoString(const JobInfo *info, JobInfoFieldId id)
{
    const JobInfoField *row = Row(id);
    if (info == nullptr || row == nullptr || info->set[row->id] == 0) return "";
    return reinterpret_cast<LPCSTR>(info->data + row->offset);
}

BOOL SetJobInfoString(JobInfo *info, JobInfoFieldId id, LPCSTR text)
{
    if (text == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const JobInfoField *row = Row(id);
    if (row == nullptr) return TRUE;
    size_t length = std::strlen(text);
    if (length + 1 > row->capacity) return FALSE;
    return SetJobInfoField(info, row->id, text, static_cast<DWORD>(length + 1));
}

BOOL SetJobInfoWideString(JobInfo *info, JobInfoFieldId id, LPCWSTR text)
{
    if (text == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const JobInfoField *row = Row(id);
    if (row == nullptr) return TRUE;
    // The conversion itself is limited to the field's capacity: a text
    // whose bytes and NUL do not fit fails there and is not stored.
    CHAR ansi[kJobInfoLongestField];
    int written = WideToCodePage(ansi, text, static_cast<int>(row->capacity), CP_ACP);
    if (written <= 0) return FALSE;
    return SetJobInfoString(info, id, ansi);
}

DWORD SerializedJobInfoSize(const JobInfo *info)
{
    if (info == nullptr) return 0;
    DWORD size = kJobInfoHeadSize;
    for (const JobInfoField *row = kFields; row->id != 0; ++row)
        if (info->set[row->id] != 0) size += kJobInfoEntryHeadSize + EntryLength(info, *row);
    return size;
}

BOOL SerializeJobInfo(const JobInfo *info, BYTE *out, DWORD capacity, DWORD *written)
{
    if (info == nullptr || out == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = SerializedJobInfoSize(info);
    if (capacity < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD count = 0;
    DWORD at = kJobInfoHeadSize;
    for (const JobInfoField *row = kFields; row->id != 0; ++row) {
        if (info->set[row->id] == 0) continue;
        DWORD length = EntryLength(info, *row);
        PutDword(out + at, row->id);
        PutDword(out + at + 4, row->kind);
        PutDword(out + at + 8, length);
        std::memcpy(out + at + kJobInfoEntryHeadSize, info->data + row->offset, length);
        at += kJobInfoEntryHeadSize + length;
        ++count;
    }
    PutDword(out, kJobInfoMagic);
    PutDword(out + 4, kJobInfoFormatVersion);
    PutDword(out + 8, count);
    PutDword(out + 12, total - kJobInfoHeadSize);
    if (written != nullptr) *written = total;
    return TRUE;
}

BOOL SerializeJobInfoAlloc(const JobInfo *info, BYTE **out, DWORD *size)
{
    if (info == nullptr || out == nullptr || size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = SerializedJobInfoSize(info);
    PVOID block = nullptr;
    if (!MemAlloc(nullptr, &block, total)) return FALSE;
    if (!SerializeJobInfo(info, static_cast<BYTE *>(block), total, nullptr)) {
        MemFree(block);
        return FALSE;
    }
    *out = static_cast<BYTE *>(block);
    *size = total;
    return TRUE;
}

BOOL ReadSerializedJobInfo(JobInfo *info, const BYTE *data, DWORD size)
{
    if (info == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (size < kJobInfoHeadSize) return FALSE;
    if (GetDword(data) != kJobInfoMagic || GetDword(data + 4) != kJobInfoFormatVersion) return FALSE;
    // The sender's count and total size are claims, not facts: the entries
    // are read only as far as the bytes that really arrived, and no further
    // than the sender's own total when that is smaller.
    DWORD count = GetDword(data + 8);
    DWORD claimed = GetDword(data + 12);
    DWORD end = size;
    if (claimed <= size - kJobInfoHeadSize) end = kJobInfoHeadSize + claimed;

    DWORD at = kJobInfoHeadSize;
    for (DWORD i = 0; i < count; ++i) {
        if (end - at < kJobInfoEntryHeadSize) break;
        DWORD id = GetDword(data + at);
        DWORD length = GetDword(data + at + 8);
        at += kJobInfoEntryHeadSize;
        if (length > end - at) break;
        const JobInfoField *row = FindJobInfoField(id);
        if (row != nullptr && length <= row->capacity) SetJobInfoField(info, id, data + at, length);
        at += length;
    }
    return TRUE;
}
