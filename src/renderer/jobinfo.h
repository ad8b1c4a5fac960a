// The facts of one print job (JobInfo): what the document start gathers
// from the host and the spooler, what the UI plug-in's private escape adds,
// and what the job header is built from; with the serialized form in which
// the UI plug-in sends it.
//
// The serialized form comes from another process (the application's, where
// the UI plug-in runs), so its reader trusts none of its counts and sizes.
//
// INVARIANT: every field's storage keeps one zero byte behind its capacity,
// so a string field reads as a terminated string whatever was stored in it.
#pragma once

#include "kvsys.h"
#include "memory.h"

#if !defined(KV_LINE_A) && !defined(KV_LINE_B)
#error "jobinfo.h needs the build's product line (KV_LINE_A or KV_LINE_B)"
#endif

enum JobInfoKind : DWORD {
    JOBINFO_SHORT = 1,   // 16-bit integer
    JOBINFO_LONG = 2,    // 32-bit integer
    JOBINFO_STRING = 4,  // NUL-terminated single-byte text
};

#if KV_LINE_A
// Ids 3 and 5 (the job's user and machine names) have no field: storing
// them is ignored.
enum class JobInfoFieldId : DWORD {
    JobId = 1,
    DocumentName = 2,
    PrinterName = 4,
    PortName = 6,
    PagesPerSheet = 7,
    PageSize = 8,
    InputSlot = 9,
    MediaType = 10,
    Flags = 11,
    UserName = 12,
    Pin = 13,
    JobName = 14,
};
constexpr DWORD kJobInfoMaxId = 14;
constexpr DWORD kJobInfoStorage = 731;
#else
// Line B has no secure print and no names of the job.
enum class JobInfoFieldId : DWORD {
    JobId = 1,
    PagesPerSheet = 2,
    PageSize = 3,
    InputSlot = 4,
    MediaType = 5,
    Flags = 6,
};
constexpr DWORD kJobInfoMaxId = 6;
constexpr DWORD kJobInfoStorage = 206;
#endif

// Flags field: the page size is the host's custom page size.
constexpr SHORT kJobFlagCustomPageSize = 0x2;

// One row of the field table; closed by a row with id 0.
struct JobInfoField {
    DWORD id;
    DWORD kind;
    DWORD capacity;  // bytes the field takes (a string's NUL included)
    DWORD offset;    // in JobInfo::data; the storage is capacity + 1 bytes
};
extern const JobInfoField JobInfoFieldTable[];

struct JobInfo {
    BYTE set[kJobInfoMaxId + 1];  // by id
    BYTE data[kJobInfoStorage];
};

// Serialized form: a 16-byte head, then one entry per set field in
// ascending id order (id, kind, length, then the bytes); little-endian.
constexpr DWORD kJobInfoMagic = MakeFourCC('K', 'v', 'J', 'I');  // the bytes "IJvK"
constexpr DWORD kJobInfoFormatVersion = 1;
constexpr DWORD kJobInfoHeadSize = 16;
constexpr DWORD kJobInfoEntryHeadSize = 12;
static_assert(kJobInfoMagic == 0x4B764A49, "JobInfo magic");

// Every field zero and unset.
void InitJobInfo(JobInfo *info);
// The row of ID, or null when the id has no field in this line.
const JobInfoField *FindJobInfoField(DWORD id);

// Stores LENGTH bytes into field ID and marks it set. Bytes longer than the
// field's capacity are refused (false); an id without a field is ignored
// (true, nothing stored).
BOOL SetJobInfoField(JobInfo *info, DWORD id, LPCVOID bytes, DWORD length);
BOOL IsJobInfoSet(const JobInfo *info, JobInfoFieldId id);

SHORT GetJobInfoShort(const JobInfo *info, JobInfoFieldId id);
BOOL SetJobInfoShort(JobInfo *info, JobInfoFieldId id, SHORT value);
LONG GetJobInfoLong(const JobInfo *info, JobInfoFieldId id);
BOOL SetJobInfoLong(JobInfo *info, JobInfoFieldId id, LONG value);
// "" for an unset field or an id without a field.
LPCSTR GetJobInfoString(const JobInfo *info, JobInfoFieldId id);
// False, field unchanged, when TEXT with its NUL exceeds the capacity.
BOOL SetJobInfoString(JobInfo *info, JobInfoFieldId id, LPCSTR text);
// The same for UTF-16 text, converted to the ANSI code page; a text that
// cannot be converted or does not fit is not stored.
BOOL SetJobInfoWideString(JobInfo *info, JobInfoFieldId id, LPCWSTR text);

// Bytes of the serialized form of INFO.
DWORD SerializedJobInfoSize(const JobInfo *info);
// Writes the serialized form into OUT (CAPACITY bytes); false, nothing
// promised about OUT, when it does not fit.
BOOL SerializeJobInfo(const JobInfo *info, BYTE *out, DWORD capacity, DWORD *written);
// The serialized form in a new private-heap block (MemFree it).
BOOL SerializeJobInfoAlloc(const JobInfo *info, BYTE **out, DWORD *size);

// Reads a serialized JobInfo of SIZE bytes into INFO: only magic
// kJobInfoMagic with version 1 is accepted; each entry that fits its
// field's capacity is stored (the kind is not compared), the others are
// skipped. Nothing is ever read outside DATA[0, SIZE), whatever the entry
// count, the total size or an entry's length claim. True when the head was
// accepted.
BOOL ReadSerializedJobInfo(JobInfo *info, const BYTE *data, DWORD size);
