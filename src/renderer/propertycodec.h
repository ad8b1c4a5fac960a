// Property comment lines: a named block of bytes carried inside the print
// job as one PostScript comment that the printer skips,
//
//   %KVPS PROPERTY owner=<word> name=<word> type=BINARY size=<n> data=<hex>\r\n
//
// with the bytes as upper-case hexadecimal pairs, high half first. The
// rendering framework writes the job's state this way for a services
// provider that asks for it, and reads it back into the function named by
// the owner.
//
// A property line read back comes from a spool file, that is from outside:
// nothing in it is trusted, its size field least of all.
#pragma once

#include "kvsys.h"

// Every property line begins with these 15 characters.
inline constexpr CHAR kPropertyLinePrefix[] = "%KVPS PROPERTY ";
constexpr DWORD kPropertyLinePrefixLength = 15;
// The longest owner, name or type word a reader takes.
constexpr DWORD kPropertyWordMax = 80;
// The one type there is; it is written as "BINARY".
constexpr DWORD kPropertyTypeBinaryData = 1;

// Two upper-case hexadecimal digits of VALUE at OUT; the position after them.
LPSTR EncodeHexByte(LPSTR out, BYTE value);
// The byte of the two digits at TEXT into *VALUE and the position after
// them; null (*VALUE untouched) when either is not one of "0123456789ABCDEF".
LPCSTR DecodeHexByte(BYTE *value, LPCSTR text);

// True when TEXT begins with kPropertyLinePrefix.
BOOL IsPropertyLine(LPCSTR text);

// The whole line, CR LF included, in a new private-heap block (MemFree it)
// of *LENGTH bytes plus a NUL. E_NOTIMPL for a type other than 1,
// E_INVALIDARG for a missing pointer, E_OUTOFMEMORY, E_FAIL when the head
// does not fit its room (owner and name of hundreds of characters).
HRESULT FormatPropertyLine(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data, LPSTR *line,
                           DWORD *length);

// One property read back.
struct ParsedProperty {
    CHAR owner[kPropertyWordMax + 1];
    CHAR name[kPropertyWordMax + 1];
    DWORD type;   // always 1, whatever the line's type word was
    DWORD size;
    BYTE *data;   // private-heap block of at least one byte; MemFree it
    LPCSTR next;  // where the next line begins
};

// Reads the property line at TEXT (NUL-terminated; it may go on with more
// lines). E_FAIL when the head has fewer than its four fields, "data=" is
// missing, or the line holds fewer hex pairs than its size claims;
// E_OUTOFMEMORY; E_INVALIDARG for a missing pointer. OUT is filled only on
// success.
HRESULT ParsePropertyLine(LPCSTR text, ParsedProperty *out);
