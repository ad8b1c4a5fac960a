// The printer's PPD file (its product name, which is the key into the model
// library, and the two-letter prefix of its own keywords) and the version
// text of the about box.
//
// The plug-ins always speak of their own PPD keywords with the prefix "KV";
// an installed PPD may carry another prefix (the first two letters of its
// file name), so keywords are translated at the host interface both ways.
#pragma once

#include "kvsys.h"

// A whole file mapped into memory. INVARIANT: file is INVALID_HANDLE_VALUE
// and view is null whenever nothing is mapped.
struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    DWORD size;
    LPVOID view;
};

// The prefix of the plug-ins' own keywords.
constexpr CHAR kSystemKeywordPrefix[2] = {'K', 'V'};

// Capacity that the UI passes to ReadPpdProduct.
constexpr DWORD PPD_PRODUCT_CAPACITY = 65;

// The driver's data file (the PPD) of PRINTER, into OUTPUT (capacity in
// characters, terminator included).
BOOL GetPpdFileName(HANDLE printer, LPWSTR output, DWORD capacity);

// Maps the whole of PATH read-only, or copy-on-write. On failure everything
// opened is closed again and FILE is left closed.
BOOL MapFileView(LPCWSTR path, MappedFile *file, BOOL copyOnWrite);
void UnmapFileView(MappedFile *file);

// The first place in MEMORY[0, SIZE) where PATTERN (without its NUL) lies
// wholly; null when there is none or the pattern is empty.
const BYTE *FindBytes(const void *memory, LPCSTR pattern, DWORD size);

// The byte after the first double quote that follows KEYWORD on its line,
// the keyword being the first occurrence in the file; null when the line
// ends (or the file does) first. The result may be the end of the view.
const CHAR *FindQuotedValue(const MappedFile *file, LPCSTR keyword);

// The product name from the PPD's *Product line: the text between the
// parentheses of its quoted value. *CAPACITY (bytes, terminator included)
// receives the name's length when the value has one, also when it does not
// fit.
BOOL ReadPpdProduct(HANDLE printer, LPSTR output, DWORD *capacity);

// The same from a PPD already mapped.
BOOL ReadProductName(const MappedFile *file, LPSTR output, DWORD *capacity);

// The PPD's keyword prefix: the first two letters of its base name, upper
// case. PREFIX gets two NULs when the driver information cannot be read.
BOOL GetKeywordPrefix(CHAR prefix[2], HANDLE printer);

BOOL IsNotSystemKeyword(LPCSTR keyword);

// Copies KEYWORD into OUTPUT (capacity in bytes, terminator included),
// replacing a leading "KV" with PREFIX. A prefix of NULs (unknown) leaves
// the keyword as it is.
BOOL ToPpdKeyword(const CHAR prefix[2], LPCSTR keyword, LPSTR output, DWORD capacity);

// The same for every string of a double-NUL list of at most LIST_SIZE
// bytes; OUTPUT is closed with an empty string.
BOOL ToPpdKeywordList(const CHAR prefix[2], LPCSTR list, DWORD listSize, LPSTR output, DWORD capacity);

// Replaces a leading PREFIX of KEYWORD with "KV" in place; true when it did.
BOOL ToSystemKeyword(const CHAR prefix[2], LPSTR keyword);

// The same for every string of a double-NUL list of at most LIST_SIZE bytes.
BOOL ToSystemKeywordList(const CHAR prefix[2], LPSTR list, DWORD listSize);

// "Version %d.%d.%d" from the product version of this module's version
// resource (major, minor, build: 1.0.2.5 shows 1.2.5).
BOOL FormatVersionText(LPWSTR output, DWORD capacity);

// The same from a version resource block already in memory.
BOOL FormatVersionFromBlock(const void *block, DWORD size, LPWSTR output, DWORD capacity);
