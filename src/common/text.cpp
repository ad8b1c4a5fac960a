// Character classes, text rules and the byte tables behind them.
#include "text.h"

#include "memory.h"

namespace {

// One row per byte range: its class in the Shift-JIS, 8-bit and EUC tables.
struct ByteRange {
    BYTE first;
    BYTE last;
    WORD classes[3];
};

enum { TABLE_SJIS, TABLE_8BIT, TABLE_EUC, TABLE_COUNT };

// Lead bytes carry the class of the double-byte character they start.
constexpr ByteRange kByteRanges[] = {
    {0x00, 0x1F, {TEXT_CLASS_INVALID, TEXT_CLASS_INVALID, TEXT_CLASS_INVALID}},
    {0x20, 0x2F, {TEXT_CLASS_ASCII, TEXT_CLASS_ASCII, TEXT_CLASS_ASCII}},
    {0x30, 0x39, {TEXT_CLASS_DIGIT, TEXT_CLASS_DIGIT, TEXT_CLASS_DIGIT}},
    {0x3A, 0x7E, {TEXT_CLASS_ASCII, TEXT_CLASS_ASCII, TEXT_CLASS_ASCII}},
    {0x7F, 0x80, {TEXT_CLASS_INVALID, TEXT_CLASS_INVALID, TEXT_CLASS_INVALID}},
    {0x81, 0x9F, {TEXT_CLASS_SJIS, TEXT_CLASS_INVALID, TEXT_CLASS_INVALID}},
    {0xA0, 0xA0, {TEXT_CLASS_INVALID, TEXT_CLASS_HIGH, TEXT_CLASS_INVALID}},
    {0xA1, 0xDF, {TEXT_CLASS_KANA, TEXT_CLASS_HIGH, TEXT_CLASS_EUC}},
    {0xE0, 0xFC, {TEXT_CLASS_SJIS, TEXT_CLASS_HIGH, TEXT_CLASS_EUC}},
    {0xFD, 0xFE, {TEXT_CLASS_INVALID, TEXT_CLASS_HIGH, TEXT_CLASS_EUC}},
    {0xFF, 0xFF, {TEXT_CLASS_INVALID, TEXT_CLASS_HIGH, TEXT_CLASS_INVALID}},
};

struct ByteClassTable {
    WORD classOf[256];
};

constexpr ByteClassTable MakeTable(int column)
{
    ByteClassTable table{};
    for (const ByteRange &range : kByteRanges)
        for (int b = range.first; b <= range.last; ++b)
            table.classOf[b] = range.classes[column];
    return table;
}

constexpr ByteClassTable kTables[TABLE_COUNT] = {MakeTable(TABLE_SJIS), MakeTable(TABLE_8BIT), MakeTable(TABLE_EUC)};

// Every byte value has exactly one row.
constexpr bool CoversEveryByte()
{
    int next = 0;
    for (const ByteRange &range : kByteRanges) {
        if (range.first != next || range.last < range.first) return false;
        next = range.last + 1;
    }
    return next == 256;
}
static_assert(CoversEveryByte(), "byte ranges must cover 0x00-0xFF once, in order");

constexpr BYTE kPinKey[4] = {'n', 'q', 'z', 'b'};

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of a Base64 character, -1 for "=", -2 for white space,
// -3 for anything else.
int Base64Value(BYTE c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    if (c == '=') return -1;
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return -2;
    return -3;
}

DWORD TextLength(LPCSTR text)
{
    DWORD length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

bool IsShiftJisLead(BYTE b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsShiftJisTrail(BYTE b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
bool IsEucByte(BYTE b) { return b >= 0xA1 && b <= 0xFE; }

}  // namespace

const WORD *GetByteClassTable(DWORD flags)
{
    if (flags & TEXT_CLASS_HIGH) return kTables[TABLE_8BIT].classOf;
    if (flags & TEXT_CLASS_EUC) return kTables[TABLE_EUC].classOf;
    return kTables[TABLE_SJIS].classOf;
}

int WideToCodePage(LPSTR out, LPCWSTR text, int capacity, UINT codePage)
{
    if (out == nullptr || text == nullptr || capacity <= 0) return 0;
    int written = WideCharToMultiByte(codePage, 0, text, -1, out, capacity, nullptr, nullptr);
    if (written <= 0) {
        out[0] = '\0';
        return 0;
    }
    return written;
}

DWORD ClassifyText(LPCSTR text, DWORD flags)
{
    if (text == nullptr || text[0] == '\0') return 0;
    const WORD *table = GetByteClassTable(flags);
    DWORD classes = 0;
    bool blank = true;
    const BYTE *p = reinterpret_cast<const BYTE *>(text);
    while (*p != 0) {
        BYTE b = *p++;
        WORD byteClass = table[b];
        if (byteClass == TEXT_CLASS_SJIS || byteClass == TEXT_CLASS_EUC) {
            BYTE second = *p;
            if (second == 0) return classes | TEXT_CLASS_INVALID;
            ++p;
            if (flags & TEXT_CLASS_SJIS) {
                classes |= IsShiftJisTrail(second) ? TEXT_CLASS_SJIS : TEXT_CLASS_INVALID;
                // The double-byte space 0x81 0x40 is as blank as 0x20.
                if (!(b == 0x81 && second == 0x40)) blank = false;
            } else if (flags & TEXT_CLASS_EUC) {
                classes |= IsEucByte(second) ? TEXT_CLASS_EUC : TEXT_CLASS_INVALID;
                blank = false;
            } else {
                // A lead byte in a rule that allows no double-byte text.
                return classes | TEXT_CLASS_INVALID;
            }
            continue;
        }
        if (flags & TEXT_DOT_IS_DIGIT) {
            // The space and quote options are not looked at in this mode:
            // such rules are for numbers, which have neither.
            if (b == '.') {
                classes |= TEXT_CLASS_DIGIT;
                blank = false;
                continue;
            }
        } else if (b == ' ' && (flags & TEXT_NO_SPACE)) {
            classes |= TEXT_CLASS_INVALID;
            continue;
        } else if (b == '"' && (flags & TEXT_NO_QUOTE)) {
            classes |= TEXT_CLASS_INVALID;
            blank = false;
            continue;
        }
        classes |= byteClass;
        if (b != ' ') blank = false;
    }
    return blank ? classes | TEXT_BLANK : classes;
}

BOOL TrimToCharBoundary(DWORD length, int mode, LPSTR text)
{
    if (text == nullptr) return TRUE;
    // Only a text longer than the cut has anything to lose; a shorter one
    // would have its bytes past the terminator walked.
    DWORD i = 0;
    while (i <= length && text[i] != '\0') ++i;
    if (i <= length) return TRUE;
    text[length] = '\0';

    bool expectSecond = false;
    for (DWORD k = 0; k < length; ++k) {
        BYTE b = static_cast<BYTE>(text[k]);
        if (expectSecond) {
            expectSecond = false;
        } else if (mode == TRIM_SHIFT_JIS) {
            expectSecond = IsShiftJisLead(b);
        } else if (mode == TRIM_EUC) {
            expectSecond = IsEucByte(b);
        }
    }
    if (expectSecond) text[length - 1] = '\0';
    return TRUE;
}

BOOL ValidateText(LPSTR text, DWORD flags, WORD minLength, WORD maxLength, TextError *code)
{
    if (text == nullptr || code == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *code = TEXT_ERROR_NONE;
    DWORD length = TextLength(text);
    if ((flags & TEXT_EMPTY_ERROR) && length == 0) {
        *code = TEXT_ERROR_EMPTY;
        return FALSE;
    }
    if (flags & TEXT_MAX_ONLY) {
        if (length <= maxLength) return TRUE;
        *code = TEXT_ERROR_TOO_LONG;
        return FALSE;
    }
    // A maximum of 0 is no limit, so there is nothing to cut to.
    if ((flags & TEXT_CUT_TO_MAX) && maxLength > 0) {
        int mode = (flags & TEXT_CLASS_SJIS) ? TRIM_SHIFT_JIS : (flags & TEXT_CLASS_EUC) ? TRIM_EUC : TRIM_SINGLE_BYTE;
        TrimToCharBoundary(maxLength, mode, text);
        length = TextLength(text);
    }
    if (maxLength > 0 && length > maxLength) {
        *code = TEXT_ERROR_TOO_LONG;
        return FALSE;
    }
    DWORD allowed = flags & TEXT_CLASS_MASK;
    if (allowed != 0) {
        DWORD classes = ClassifyText(text, flags);
        if ((classes & TEXT_CLASS_MASK & ~allowed) != 0 || ((flags & TEXT_NO_BLANK) && (classes & TEXT_BLANK))) {
            *code = TEXT_ERROR_CHARS;
            return FALSE;
        }
    }
    // An empty text passes the minimum; TEXT_EMPTY_ERROR is for rules that
    // need one.
    if (minLength > 0 && length > 0 && length < minLength) {
        *code = TEXT_ERROR_TOO_SHORT;
        return FALSE;
    }
    return TRUE;
}

BOOL ValidateWideText(LPCWSTR text, DWORD flags, WORD minLength, WORD maxLength, TextError *code, LPSTR output,
                      DWORD outputCapacity)
{
    if (text == nullptr || code == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    UINT codePage = GetACP();
    if (flags & (TEXT_CLASS_KANA | TEXT_CLASS_SJIS)) {
        codePage = 932;
        if (!IsValidCodePage(codePage)) return FALSE;
    }
    // Best-fit mapping would quietly turn a character into another one the
    // user did not type; a character without an exact match is invalid.
    DWORD convertFlags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    LPBOOL usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int needed = WideCharToMultiByte(codePage, convertFlags, text, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0 || usedDefault) {
        *code = TEXT_ERROR_CHARS;
        return FALSE;
    }
    // Room for the cut at the maximum even when the text is shorter.
    DWORD size = static_cast<DWORD>(needed);
    if (size < static_cast<DWORD>(maxLength) + 1) size = static_cast<DWORD>(maxLength) + 1;
    PVOID memory = nullptr;
    if (!MemAllocZero(&memory, size)) return FALSE;
    LPSTR converted = static_cast<LPSTR>(memory);
    if (WideCharToMultiByte(codePage, convertFlags, text, -1, converted, needed, nullptr, usedDefaultOut) <= 0 ||
        usedDefault) {
        MemFree(memory);
        *code = TEXT_ERROR_CHARS;
        return FALSE;
    }
    BOOL ok = ValidateText(converted, flags, minLength, maxLength, code);
    if (output != nullptr && outputCapacity > 0) {
        DWORD i = 0;
        for (; i + 1 < outputCapacity && converted[i] != '\0'; ++i) output[i] = converted[i];
        output[i] = '\0';
    }
    MemFree(memory);
    return ok;
}

int XorWithKey(const BYTE *in, int length, BYTE *out, int *outLength, int capacity)
{
    if (in == nullptr || out == nullptr || outLength == nullptr) return CODEC_NULL_POINTER;
    *outLength = 0;
    if (length <= 0 || capacity <= 0) return CODEC_BAD_LENGTH;
    // A group at a time, so that a short output holds whole groups only.
    for (int i = 0; i < length; i += 4) {
        int group = length - i < 4 ? length - i : 4;
        if (*outLength + group > capacity) return CODEC_OUTPUT_TOO_SMALL;
        for (int k = 0; k < group; ++k) out[i + k] = static_cast<BYTE>(in[i + k] ^ kPinKey[k]);
        *outLength += group;
    }
    return CODEC_OK;
}

int Base64Encode(const BYTE *in, int length, CHAR *out, int *outLength, int capacity)
{
    if (in == nullptr || out == nullptr || outLength == nullptr) return CODEC_NULL_POINTER;
    *outLength = 0;
    if (length <= 0 || capacity <= 0) return CODEC_BAD_LENGTH;
    for (int i = 0; i < length; i += 3) {
        if (*outLength + 4 > capacity) return CODEC_OUTPUT_TOO_SMALL;
        int group = length - i < 3 ? length - i : 3;
        DWORD bits = static_cast<DWORD>(in[i]) << 16;
        if (group > 1) bits |= static_cast<DWORD>(in[i + 1]) << 8;
        if (group > 2) bits |= in[i + 2];
        CHAR *o = out + *outLength;
        o[0] = kBase64Alphabet[(bits >> 18) & 0x3F];
        o[1] = kBase64Alphabet[(bits >> 12) & 0x3F];
        o[2] = group > 1 ? kBase64Alphabet[(bits >> 6) & 0x3F] : '=';
        o[3] = group > 2 ? kBase64Alphabet[bits & 0x3F] : '=';
        *outLength += 4;
    }
    return CODEC_OK;
}

int Base64Decode(const CHAR *text, int length, BYTE *out, int *outLength, int capacity)
{
    if (text == nullptr || out == nullptr || outLength == nullptr) return CODEC_NULL_POINTER;
    *outLength = 0;
    if (length <= 0 || capacity <= 0) return CODEC_BAD_LENGTH;
    DWORD bits = 0;
    int count = 0;  // significant characters of the current group
    for (int i = 0; i < length; ++i) {
        int value = Base64Value(static_cast<BYTE>(text[i]));
        if (value == -2) continue;
        if (value < 0) {
            // "=" or a character outside the alphabet: the data ends here.
            break;
        }
        if (count == 0 && *outLength + 3 > capacity) return CODEC_OUTPUT_TOO_SMALL;
        bits = (bits << 6) | static_cast<DWORD>(value);
        if (++count == 4) {
            out[*outLength] = static_cast<BYTE>(bits >> 16);
            out[*outLength + 1] = static_cast<BYTE>(bits >> 8);
            out[*outLength + 2] = static_cast<BYTE>(bits);
            *outLength += 3;
            bits = 0;
            count = 0;
        }
    }
    // A group cut short by "=", a foreign character or the end of the text:
    // two characters carry one byte, three carry two, one carries none.
    if (count >= 2) {
        bits <<= 6 * (4 - count);
        out[(*outLength)++] = static_cast<BYTE>(bits >> 16);
        if (count == 3) out[(*outLength)++] = static_cast<BYTE>(bits >> 8);
    }
    return CODEC_OK;
}

BOOL EncodePin(LPCWSTR pin, LPWSTR output)
{
    if (pin == nullptr || output == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pin[0] == 0) {
        output[0] = 0;
        return TRUE;
    }
    CHAR ansi[PIN_TEXT_CAPACITY];
    int written = WideToCodePage(ansi, pin, sizeof(ansi), CP_ACP);
    if (written <= 1) return FALSE;
    BYTE scratch[64];
    int scrambled = 0;
    if (XorWithKey(reinterpret_cast<const BYTE *>(ansi), written - 1, scratch, &scrambled, sizeof(scratch)) !=
        CODEC_OK)
        return FALSE;
    CHAR encoded[PIN_TEXT_CAPACITY];
    int encodedLength = 0;
    if (Base64Encode(scratch, scrambled, encoded, &encodedLength, PIN_TEXT_CAPACITY - 1) != CODEC_OK) return FALSE;
    encoded[encodedLength] = '\0';
    WCHAR wide[PIN_TEXT_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, encoded, -1, wide, PIN_TEXT_CAPACITY) <= 0) return FALSE;
    for (int i = 0; i < PIN_TEXT_CAPACITY; ++i) {
        output[i] = wide[i];
        if (wide[i] == 0) break;
    }
    return TRUE;
}

BOOL DecodePin(LPCWSTR stored, LPWSTR output)
{
    if (stored == nullptr || output == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (stored[0] == 0) {
        output[0] = 0;
        return TRUE;
    }
    CHAR ansi[PIN_TEXT_CAPACITY];
    int written = WideToCodePage(ansi, stored, sizeof(ansi), CP_ACP);
    if (written <= 1) return FALSE;
    BYTE scratch[64];
    int decoded = 0;
    if (Base64Decode(ansi, written - 1, scratch, &decoded, sizeof(scratch)) != CODEC_OK) return FALSE;
    BYTE plain[PIN_TEXT_CAPACITY];
    int plainLength = 0;
    if (XorWithKey(scratch, decoded, plain, &plainLength, PIN_TEXT_CAPACITY - 1) != CODEC_OK) return FALSE;
    plain[plainLength] = 0;
    WCHAR wide[PIN_TEXT_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(plain), -1, wide, PIN_TEXT_CAPACITY) <= 0)
        return FALSE;
    for (int i = 0; i < PIN_TEXT_CAPACITY; ++i) {
        output[i] = wide[i];
        if (wide[i] == 0) break;
    }
    return TRUE;
}
