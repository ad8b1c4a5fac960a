// Checks of the texts a user types (secure print user ID, PIN, document
// name) before they go into a PJL job header, and the stored form of a PIN.
//
// A text is checked in the code page the printer reads: it is converted to
// the ANSI code page (or 932 for rules that allow Japanese double-byte
// text), every byte or double-byte character is put in a character class,
// and the classes, the length in bytes and a few option bits are checked
// against the control's rule.
#pragma once

#include "kvsys.h"

// Character classes; a text's class set is the OR of its characters'.
enum TextClass : DWORD {
    TEXT_CLASS_DIGIT = 0x0001,      // "0" to "9" (and "." with TEXT_DOT_IS_DIGIT)
    TEXT_CLASS_ASCII = 0x0002,      // any other printable ASCII byte 0x20-0x7E
    TEXT_CLASS_KANA = 0x0004,       // half-width katakana 0xA1-0xDF (Shift-JIS table)
    TEXT_CLASS_SJIS = 0x0008,       // Shift-JIS double-byte character
    TEXT_CLASS_HIGH = 0x0010,       // single byte 0xA0-0xFF (8-bit table)
    TEXT_CLASS_EUC = 0x0020,        // EUC double-byte character
    TEXT_CLASS_INVALID = 0x8000,    // invalid byte or character
};

// Set in the result of ClassifyText when every character is a space.
constexpr DWORD TEXT_BLANK = 0x10000;

// Flags word of a TextRule. The low 16 bits are the allowed classes; some
// class bits also choose the code page and the byte table (see below).
enum TextFlag : DWORD {
    TEXT_CLASS_MASK = 0x0000FFFF,
    // TEXT_CLASS_KANA or TEXT_CLASS_SJIS: convert with code page 932.
    // TEXT_CLASS_SJIS: Shift-JIS lead bytes take a second byte.
    // TEXT_CLASS_HIGH: classify with the 8-bit table.
    // TEXT_CLASS_EUC: classify with the EUC table, EUC lead bytes.
    TEXT_MAX_ONLY = 0x00010000,      // check the maximum length only
    TEXT_CUT_TO_MAX = 0x00020000,    // cut a long text instead of rejecting it
    TEXT_NO_BLANK = 0x00040000,      // a text of spaces only is invalid
    TEXT_EMPTY_ERROR = 0x00080000,   // an empty text is TEXT_ERROR_EMPTY
    TEXT_DOT_IS_DIGIT = 0x00100000,  // "." counts as a digit
    TEXT_NO_QUOTE = 0x00200000,      // the double quote is invalid
    TEXT_NO_SPACE = 0x00400000,      // the space is invalid
};

// The check of one edit control. Lengths are in bytes of the converted
// text, 0 meaning no limit.
struct TextRule {
    DWORD controlId;
    DWORD flags;
    WORD minLength;
    WORD maxLength;
};
static_assert(sizeof(TextRule) == 12, "TextRule layout");

enum TextError {
    TEXT_ERROR_NONE = 0,
    TEXT_ERROR_CHARS = 1,      // invalid characters, or one the code page cannot represent
    TEXT_ERROR_TOO_SHORT = 2,
    TEXT_ERROR_TOO_LONG = 3,
    TEXT_ERROR_EMPTY = 4,
};

// Modes of TrimToCharBoundary.
enum TrimMode {
    TRIM_SINGLE_BYTE = 0,
    TRIM_SHIFT_JIS = 1,
    TRIM_EUC = 2,
};

// Results of XorWithKey, Base64Encode and Base64Decode.
enum CodecResult {
    CODEC_OK = 0,
    CODEC_NULL_POINTER = -1,
    CODEC_BAD_LENGTH = -2,       // length or capacity not positive
    CODEC_OUTPUT_TOO_SMALL = -3,
};

// Capacity in characters, terminator included, of the PIN texts of
// EncodePin and DecodePin.
constexpr int PIN_TEXT_CAPACITY = 128;

// The class of every byte value in the table the flags choose (8-bit with
// TEXT_CLASS_HIGH, else EUC with TEXT_CLASS_EUC, else Shift-JIS).
const WORD *GetByteClassTable(DWORD flags);

// Converts TEXT into OUT (capacity in bytes). Returns the bytes written,
// terminator included; 0 when a pointer is missing or the conversion fails
// (OUT is then empty when it has room for the terminator).
int WideToCodePage(LPSTR out, LPCWSTR text, int capacity, UINT codePage);

// The class set of TEXT, with TEXT_BLANK when it is all spaces; 0 for an
// empty text.
DWORD ClassifyText(LPCSTR text, DWORD flags);

// Cuts TEXT to LENGTH bytes without leaving half a double-byte character
// at its end. A text that is not longer than LENGTH is left alone.
BOOL TrimToCharBoundary(DWORD length, int mode, LPSTR text);

// Checks TEXT against a rule; with TEXT_CUT_TO_MAX the text is cut in place.
// *CODE says why a text is not acceptable.
BOOL ValidateText(LPSTR text, DWORD flags, WORD minLength, WORD maxLength, TextError *code);

// Converts TEXT to the rule's code page and checks it. When OUTPUT is given,
// the converted (and possibly cut) text is copied there (truncated to
// OUTPUT_CAPACITY bytes, terminator included), also when it is rejected.
// False with *CODE unchanged when code page 932 is needed but missing or
// the work memory cannot be had.
BOOL ValidateWideText(LPCWSTR text, DWORD flags, WORD minLength, WORD maxLength, TextError *code,
                      LPSTR output = nullptr, DWORD outputCapacity = 0);

// OUT[i] = IN[i] ^ "nqzb"[i % 4]. *OUT_LENGTH receives the bytes written.
int XorWithKey(const BYTE *in, int length, BYTE *out, int *outLength, int capacity);

// Standard Base64 with "=" padding; no terminator is written.
int Base64Encode(const BYTE *in, int length, CHAR *out, int *outLength, int capacity);

// Decodes Base64, skipping white space. Each started group of four
// characters needs three bytes of capacity.
//
// Text that is not Base64 is not rejected: the first character outside
// the alphabet (a NUL included) ends the data, as "=" does, so the output
// holds what the text before it encodes and nothing is ever guessed.
int Base64Decode(const CHAR *text, int length, BYTE *out, int *outLength, int capacity);

// The stored form of a PIN: ANSI bytes XORed with the key, in Base64.
// OUTPUT holds PIN_TEXT_CAPACITY characters and is left alone on failure.
// A PIN longer than 64 bytes cannot be encoded; one of 64 bytes encodes but
// does not decode, so the dialogs allow fewer.
BOOL EncodePin(LPCWSTR pin, LPWSTR output);
BOOL DecodePin(LPCWSTR stored, LPWSTR output);
