// Property comment lines: writing and reading.
#include "propertycodec.h"

#include "format.h"
#include "memory.h"

namespace {

constexpr CHAR kHexDigits[] = "0123456789ABCDEF";
constexpr CHAR kLineHead[] = "%%KVPS PROPERTY owner=%s name=%s type=%s size=%d data=";
constexpr CHAR kTypeWord[] = "BINARY";
// Room for the head beyond the hex digits: the fixed words, the size and
// two short names, with the NUL.
constexpr DWORD kHeadRoom = 324;

int HexValue(CHAR c)
{
    for (int i = 0; i < 16; ++i)
        if (kHexDigits[i] == c) return i;
    return -1;
}

bool IsBlank(CHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The head is read the way the C library's scanf reads the format
// "%%KVPS PROPERTY owner=%80s name=%80s type=%80s size=%d data=": a blank
// in the format takes any run of blanks (none included), a word is up to 80
// characters that are not blanks, and reading stops at the first literal
// that does not match. Unlike scanf, a blank never takes a line break, so
// the head cannot run on into the next line.
class HeadReader {
public:
    explicit HeadReader(LPCSTR text) : p_(text) {}

    bool Literal(LPCSTR literal)
    {
        for (; *literal != '\0'; ++literal) {
            if (*literal == ' ') {
                while (*p_ == ' ' || *p_ == '\t') ++p_;
                continue;
            }
            if (*p_ != *literal) return false;
            ++p_;
        }
        return true;
    }

    bool Word(LPSTR out)
    {
        while (*p_ == ' ' || *p_ == '\t') ++p_;
        DWORD n = 0;
        while (n < kPropertyWordMax && *p_ != '\0' && !IsBlank(*p_)) out[n++] = *p_++;
        out[n] = '\0';
        return n > 0;
    }

    bool Number(LONG *value)
    {
        while (*p_ == ' ' || *p_ == '\t') ++p_;
        bool negative = false;
        if (*p_ == '-' || *p_ == '+') negative = *p_++ == '-';
        if (*p_ < '0' || *p_ > '9') return false;
        LONGLONG v = 0;
        while (*p_ >= '0' && *p_ <= '9') {
            if (v <= 0x7FFFFFFF) v = v * 10 + (*p_ - '0');
            ++p_;
        }
        // Too many digits for a 32-bit size: no size at all.
        if (v > 0x7FFFFFFF) return false;
        *value = static_cast<LONG>(negative ? -v : v);
        return true;
    }

    LPCSTR Position() const { return p_; }

private:
    LPCSTR p_;
};

// The first "data=" at or after FROM, on the same line.
LPCSTR FindDataField(LPCSTR from)
{
    static constexpr CHAR kData[] = "data=";
    for (LPCSTR p = from; *p != '\0' && *p != '\r' && *p != '\n'; ++p) {
        DWORD i = 0;
        while (kData[i] != '\0' && p[i] == kData[i]) ++i;
        if (kData[i] == '\0') return p + i;
    }
    return nullptr;
}

}  // namespace

LPSTR EncodeHexByte(LPSTR out, BYTE value)
{
    out[0] = kHexDigits[value >> 4];
    out[1] = kHexDigits[value & 0xF];
    return out + 2;
}

LPCSTR DecodeHexByte(BYTE *value, LPCSTR text)
{
    int high = HexValue(text[0]);
    if (high < 0) return nullptr;
    int low = HexValue(text[1]);
    if (low < 0) return nullptr;
    *value = static_cast<BYTE>((high << 4) | low);
    return text + 2;
}

BOOL IsPropertyLine(LPCSTR text)
{
    if (text == nullptr) return FALSE;
    for (DWORD i = 0; i < kPropertyLinePrefixLength; ++i)
        if (text[i] != kPropertyLinePrefix[i]) return FALSE;
    return TRUE;
}

HRESULT FormatPropertyLine(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data, LPSTR *line,
                           DWORD *length)
{
    if (type != kPropertyTypeBinaryData) return E_NOTIMPL;
    if (owner == nullptr || name == nullptr || line == nullptr || length == nullptr || (data == nullptr && size != 0))
        return E_INVALIDARG;
    if (size > (0xFFFFFFFFu - kHeadRoom) / 2) return E_OUTOFMEMORY;
    const DWORD room = 2 * size + kHeadRoom;
    PVOID block = nullptr;
    if (!MemAlloc(nullptr, &block, room)) return E_OUTOFMEMORY;
    LPSTR text = static_cast<LPSTR>(block);
    // The head gets what the digits, CR LF and the NUL leave of the block:
    // a head allowed into the digits' room would push them past its end.
    int head = FormatTextA(text, kHeadRoom - 2, kLineHead, owner, name, kTypeWord, static_cast<int>(size));
    if (head <= 0) {
        MemFree(block);
        return E_FAIL;
    }
    LPSTR p = text + head;
    const BYTE *bytes = static_cast<const BYTE *>(data);
    for (DWORD i = 0; i < size; ++i) p = EncodeHexByte(p, bytes[i]);
    *p++ = '\r';
    *p++ = '\n';
    *p = '\0';
    *line = text;
    *length = static_cast<DWORD>(p - text);
    return S_OK;
}

HRESULT ParsePropertyLine(LPCSTR text, ParsedProperty *out)
{
    if (text == nullptr || out == nullptr) return E_INVALIDARG;
    ParsedProperty parsed{};
    CHAR type[kPropertyWordMax + 1] = {};
    LONG size = 0;
    HeadReader reader(text);
    int fields = 0;
    if (reader.Literal("%KVPS PROPERTY owner=") && reader.Word(parsed.owner)) ++fields;
    if (fields == 1 && reader.Literal(" name=") && reader.Word(parsed.name)) ++fields;
    if (fields == 2 && reader.Literal(" type=") && reader.Word(type)) ++fields;
    if (fields == 3 && reader.Literal(" size=") && reader.Number(&size)) ++fields;
    if (fields < 4 || size < 0) return E_FAIL;

    LPCSTR digits = FindDataField(reader.Position());
    if (digits == nullptr) return E_FAIL;

    // The size field is only a claim: a line holding fewer digit pairs than
    // it says would have us decode whatever follows the line (the next
    // line, or memory past the text), so such a line is refused whole.
    LPCSTR end = digits;
    for (LONG i = 0; i < size; ++i, end += 2)
        if (HexValue(end[0]) < 0 || HexValue(end[1]) < 0) return E_FAIL;

    PVOID block = nullptr;
    if (!MemAlloc(nullptr, &block, size > 0 ? static_cast<DWORD>(size) : 1)) return E_OUTOFMEMORY;
    BYTE *data = static_cast<BYTE *>(block);
    LPCSTR p = digits;
    for (LONG i = 0; i < size; ++i) p = DecodeHexByte(&data[i], p);
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;

    parsed.type = kPropertyTypeBinaryData;
    parsed.size = static_cast<DWORD>(size);
    parsed.data = data;
    parsed.next = p;
    *out = parsed;
    return S_OK;
}
