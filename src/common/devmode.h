// The private DEVMODE record: every printer-specific setting of a job,
// stored by the host behind the public DEVMODEW (in its driver-extra bytes),
// in printer defaults and in application documents.
//
// Its byte layout is a stored format shared with every copy of the driver
// ever installed: line A writes version "0020" (316 bytes), line B version
// "0010" (76 bytes), and line A upgrades "0010" records. Fields are selected
// by a DevmodeFieldId and reached only through the accessors below, which
// look the id up in this build's DevmodeFieldTable.
//
// INVARIANT: a record may sit at any byte address (FindPrivateDevmode scans
// byte by byte), so it is read and written byte-wise only.
#pragma once

#include "kvsys.h"
#include "kvcontract.h"
#include "memory.h"

#if !defined(KV_LINE_A) && !defined(KV_LINE_B)
#error "devmode.h needs the build's product line (KV_LINE_A or KV_LINE_B)"
#endif

enum class DevmodeFieldType : DWORD {
    RawBytes = 1,    // the field's bytes as they are
    Flag = 2,        // one bit of the flags word, passed as a 32-bit 0 or 1
    Short = 3,       // 16-bit integer
    Number = 4,      // handled exactly like Short; no field has this kind
    WideString = 5,  // NUL-terminated UTF-16; sizes count code units
};

#if KV_LINE_A
enum class DevmodeFieldId : DWORD {
    PrinterType = 1,
    PrinterId = 2,
    OutputControlByDriver = 3,
    CustomSizePaperSeries = 4,
    SecurePrint = 5,
    DocumentNameMode = 6,
    DocumentName = 7,
    FoldMode = 8,
    StackerMode = 9,
    Baler = 10,
    OutputDirection = 11,
    BindingMargin = 12,
    FoldAdjustment = 13,
    RotateStack = 14,
    EarFold = 15,
    FoldProgram = 16,
    ProgramMargins = 17,
    FoldOutputBin = 18,
    AdvancedFeaturesOff = 19,
};
#else
// Line B numbers the same settings differently and has no secure print.
enum class DevmodeFieldId : DWORD {
    PrinterType = 1,
    PrinterId = 2,
    OutputControlByDriver = 3,
    CustomSizePaperSeries = 4,
    FoldMode = 5,
    StackerMode = 6,
    Baler = 7,
    OutputDirection = 8,
    BindingMargin = 9,
    FoldAdjustment = 10,
    RotateStack = 11,
    EarFold = 12,
    FoldProgram = 13,
    ProgramMargins = 14,
    FoldOutputBin = 15,
};
#endif

// Header values. Both are four characters packed first-character-high, so
// memory holds them reversed: the signature "KBKD" is stored as "DKBK" and
// the version reads "0020" (or "0010") in the stored bytes.
constexpr DWORD kDevmodeSignature = MakeFourCC('K', 'B', 'K', 'D');
constexpr DWORD kDevmodeVersion0020 = MakeFourCC('0', '2', '0', '0');
constexpr DWORD kDevmodeVersion0010 = MakeFourCC('0', '1', '0', '0');
static_assert(kDevmodeSignature == 0x4B424B44, "record signature");
static_assert(kDevmodeVersion0020 == 0x30323030 && kDevmodeVersion0010 == 0x30313030, "record versions");

constexpr DWORD kDevmodeHeaderSize = sizeof(OEM_DMEXTRAHEADER);  // 12
constexpr DWORD kDevmodeDataSize0020 = 304;
constexpr DWORD kDevmodeDataSize0010 = 64;
#if KV_LINE_A
constexpr DWORD kDevmodeVersion = kDevmodeVersion0020;
constexpr DWORD kDevmodeDataSize = kDevmodeDataSize0020;
#else
constexpr DWORD kDevmodeVersion = kDevmodeVersion0010;
constexpr DWORD kDevmodeDataSize = kDevmodeDataSize0010;
#endif

// The record as stored: the host's OEM_DMEXTRAHEADER, then this line's
// private data. Byte arrays only, so that it has no alignment of its own.
struct PrivateDevmode {
    BYTE header[kDevmodeHeaderSize];
    BYTE data[kDevmodeDataSize];
};
constexpr DWORD kPrivateDevmodeSize = sizeof(PrivateDevmode);
static_assert(alignof(PrivateDevmode) == 1, "a record may sit at any address");
#if KV_LINE_A
static_assert(kPrivateDevmodeSize == 316, "version 0020 record");
#else
static_assert(kPrivateDevmodeSize == 76, "version 0010 record");
#endif

// Where the settings sit in the private data (add 12 for the record).
// Lines A and B agree on offsets 0 to 43.
constexpr DWORD kDevmodeFlagsOffset = 20;
constexpr DWORD kDevmodeSettingsOffset = 24;  // ten 16-bit settings, 24 to 42
constexpr DWORD kDevmodeSettingsCount = 10;
constexpr DWORD kDocumentNameLength = 25;  // code units, NUL included

// One row of DevmodeFieldTable. Flag rows name the flags word (offset 20,
// size 4); the bit comes from DevmodeFlagTable.
struct DevmodeField {
    DevmodeFieldId id;  // 0 closes the table
    DevmodeFieldType kind;
    ULONGLONG offset;  // in the private data
    DWORD size;        // bytes; code units for WideString
};
static_assert(sizeof(DevmodeFieldId) == 4 && sizeof(DevmodeFieldType) == 4, "32-bit ids and kinds");

struct DevmodeFlag {
    DevmodeFieldId id;  // 0 closes the table
    DWORD mask;
};

// This build's tables, in id order and closed by a zero row.
extern const DevmodeField DevmodeFieldTable[];
extern const DevmodeFlag DevmodeFlagTable[];
// The private data of a fresh record.
extern const BYTE (&DevmodeDefaultImage)[kDevmodeDataSize];

// Generic accessors. length is in the kind's units (bytes, code units for
// WideString). An id that is not in the table succeeds and does nothing (a
// getter leaves the destination cleared); a kind outside 1 to 5 is logged
// and succeeds. Missing pointers fail with ERROR_INVALID_PARAMETER.
BOOL GetDevmodeField(DevmodeFieldId id, const PrivateDevmode *record, DevmodeFieldType kind, PDWORD length,
                     PVOID destination);
BOOL SetDevmodeField(DevmodeFieldId id, PrivateDevmode *record, DevmodeFieldType kind, DWORD length,
                     LPCVOID source);

// Typed accessors for the option items, the dialogs and the job header.
DWORD GetDevmodeFlag(DevmodeFieldId id, const PrivateDevmode *record);  // 0 or 1
BOOL SetDevmodeFlag(DevmodeFieldId id, PrivateDevmode *record, DWORD value);
SHORT GetDevmodeShort(DevmodeFieldId id, const PrivateDevmode *record);
BOOL SetDevmodeShort(DevmodeFieldId id, PrivateDevmode *record, SHORT value);
// capacity: in, the destination's size in characters; when that is too
// small, out, the characters the field needs (and the getter fails).
BOOL GetDevmodeString(DevmodeFieldId id, const PrivateDevmode *record, PDWORD capacity, LPWSTR destination);
// Fails, keeping the old text, when the text with its NUL does not fit.
BOOL SetDevmodeString(DevmodeFieldId id, PrivateDevmode *record, LPCWSTR text);

// Values of a fresh record: 0 for an id that is not in the table; every
// flag defaults to off.
SHORT GetDefaultShort(DevmodeFieldId id);
DWORD GetDefaultFlag(DevmodeFieldId id);

// Writes this build's header (size, signature, version).
BOOL InitDevmodeHeader(PrivateDevmode *record);
// The header, then the defaults image behind it.
BOOL SetDevmodeDefaults(PrivateDevmode *record);

// OEMDM_CONVERT. The output's header must already be this build's (the host
// sets it from OEMDM_SIZE and the defaults). A record with the same header
// is copied; line A upgrades a "0010" record and refuses other versions;
// line B leaves the output as it is for any other version and succeeds.
//
// Nothing in the input record can be trusted, its dwSize least of all: it
// comes from documents and from other copies of the driver. So the caller
// says how many bytes are really readable at input (inputSize, see
// DevmodeInputSize) and writable at output (outputSize, the host's
// cbBufSize), and no more than those are ever touched.
BOOL ConvertDevmode(PrivateDevmode *output, const PrivateDevmode *input, DWORD outputSize, DWORD inputSize);

// The bytes readable at param->pOEMDMIn for ConvertDevmode. The host keeps
// the record in the driver-extra area of pPublicDMIn, whose dmSize +
// dmDriverExtra the spooler has checked against the buffer: when the input
// record lies there, what is readable is the rest of that area. A record
// the host keeps elsewhere is the host's own buffer, allotted to the size
// the header states.
DWORD DevmodeInputSize(const OEMDMPARAM *param);

// OEMDM_MERGE: every field of the table from input to output. Both are
// records of this build's size (the host hands back only records it has
// converted to the size we asked for); outputSize, the host's cbBufSize
// when it gives one, must hold a whole record or nothing is written.
BOOL MergeDevmode(PrivateDevmode *output, const PrivateDevmode *input, DWORD outputSize = kPrivateDevmodeSize);

// This build's record inside the driver-extra bytes of a public DEVMODEW,
// or null. Only a record that lies wholly inside dmSize + dmDriverExtra is
// found. A caller that knows how many bytes its DEVMODEW buffer really has
// (a copy it made, bytes from a file) passes that too, and the scan stays
// inside both.
constexpr DWORD kDevmodeSizeUnknown = 0xFFFFFFFF;
PrivateDevmode *FindPrivateDevmode(DEVMODEW *devmode, DWORD devmodeSize = kDevmodeSizeUnknown);
const PrivateDevmode *FindPrivateDevmode(const DEVMODEW *devmode, DWORD devmodeSize = kDevmodeSizeUnknown);

// OEMDM_SIZE: 316 (line A) or 76 (line B).
BOOL PrivateDevmodeSize(PDWORD size);
