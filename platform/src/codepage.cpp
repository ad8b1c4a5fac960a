// Code page conversions. 932 and 1252 go through iconv (its "CP932" and
// "CP1252" tables are the Windows ones), with the descriptors kept per
// thread; UTF-8 and US-ASCII are converted here directly. ASCII runs never
// reach iconv: most of what the plug-ins convert is plain ASCII, on the
// print path.
//
// Where iconv refuses a byte or a character, this file answers as Windows
// does: the bytes 932 leaves undefined map to their fixed code points, an
// invalid double-byte sequence becomes U+30FB, and a character a code page
// cannot hold becomes the default character, one per UTF-16 unit.
#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "kvp/codepage.h"
#include "kvp/kernel.h"
#include "kvp/system.h"
#include "wstr.h"

namespace {

enum class Page { Utf8, Cp932, Cp1252, Ascii, Unknown };

Page Resolve(UINT codePage)
{
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP) codePage = kvp::SystemAnsiCodePage();
    switch (codePage) {
    case CP_UTF8:
        return Page::Utf8;
    case 932:
        return Page::Cp932;
    case 1252:
        return Page::Cp1252;
    case 20127:
        return Page::Ascii;
    default:
        return Page::Unknown;
    }
}

// The conversion calls answer a failure with 0 and the reason as the last
// error.
int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

bool IsLead932(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail932(unsigned b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
// The five bytes 1252 leaves undefined stand for the C1 controls of the
// same value, in both directions.
bool IsHole1252(unsigned v) { return v == 0x81 || v == 0x8D || v == 0x8F || v == 0x90 || v == 0x9D; }

// Counts every unit and stores those that fit; a size query has no buffer.
template <typename T>
struct Out {
    T *buf;
    size_t cap;
    size_t n = 0;

    bool Full() const { return buf && n > cap; }
    void Put(T v)
    {
        if (buf && n < cap) buf[n] = v;
        ++n;
    }
};

iconv_t OpenDescriptor(Page page, bool toWide)
{
    const char *table = page == Page::Cp932 ? "CP932" : "CP1252";
    return toWide ? iconv_open("UTF-16LE", table) : iconv_open(table, "UTF-16LE");
}

// Set once this thread's descriptors are closed: conversions made later by
// destructors at exit open descriptors of their own.
thread_local bool t_convertersGone = false;

// iconv descriptors of this thread, opened on first use.
struct Converters {
    iconv_t cd[2][2] = {{(iconv_t)-1, (iconv_t)-1}, {(iconv_t)-1, (iconv_t)-1}};

    ~Converters()
    {
        for (auto &pair : cd)
            for (iconv_t c : pair)
                if (c != (iconv_t)-1) iconv_close(c);
        t_convertersGone = true;
    }

    iconv_t Get(Page page, bool toWide)
    {
        iconv_t &c = cd[page == Page::Cp932 ? 0 : 1][toWide ? 1 : 0];
        if (c == (iconv_t)-1) c = OpenDescriptor(page, toWide);
        return c;
    }
};

thread_local Converters t_converters;

// The descriptor of one conversion, in its initial state.
class Descriptor {
public:
    Descriptor(Page page, bool toWide)
    {
        if (t_convertersGone) {
            cd_ = OpenDescriptor(page, toWide);
            owned_ = true;
        } else {
            cd_ = t_converters.Get(page, toWide);
        }
        if (cd_ != (iconv_t)-1) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    ~Descriptor()
    {
        if (owned_ && cd_ != (iconv_t)-1) iconv_close(cd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_ = (iconv_t)-1;
    bool owned_ = false;
};

// ---- multi-byte to UTF-16 --------------------------------------------------

// Returns false when the input held invalid sequences.
bool DecodeUtf8(const unsigned char *s, size_t len, Out<WCHAR> &out)
{
    bool valid = true;
    size_t i = 0;
    while (i < len && !out.Full()) {
        unsigned b = s[i];
        if (b < 0x80) {
            out.Put(static_cast<WCHAR>(b));
            ++i;
            continue;
        }
        size_t need;
        unsigned lo = 0x80, hi = 0xBF;
        uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;  // no encoded surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.Put(0xFFFD);
            valid = false;
            ++i;
            continue;
        }
        // One U+FFFD replaces the longest valid beginning of a sequence.
        size_t j = i + 1;
        bool complete = true;
        for (size_t k = 0; k < need; ++k, ++j) {
            unsigned t = j < len ? s[j] : 0;
            if (j >= len || t < (k == 0 ? lo : 0x80) || t > (k == 0 ? hi : 0xBF)) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (t & 0x3F);
        }
        i = j;
        if (!complete) {
            out.Put(0xFFFD);
            valid = false;
        } else {
            kvp::PutUtf16(cp, [&](WCHAR u) { out.Put(u); });
        }
    }
    return valid;
}

bool DecodeAscii(const unsigned char *s, size_t len, Out<WCHAR> &out)
{
    // 20127 is a seven-bit code page: the eighth bit is dropped.
    for (size_t i = 0; i < len && !out.Full(); ++i) out.Put(static_cast<WCHAR>(s[i] & 0x7F));
    return true;
}

// The answer for the byte at S[*i] that iconv refused; advances *i.
bool DecodeRefused(Page page, const unsigned char *s, size_t len, size_t *i, Out<WCHAR> &out)
{
    unsigned b = s[*i];
    if (page == Page::Cp1252) {
        out.Put(static_cast<WCHAR>(b));
        ++*i;
        return IsHole1252(b);
    }
    if (b == 0x80) {
        out.Put(0x0080);
    } else if (b == 0xA0) {
        out.Put(0xF8F0);
    } else if (b >= 0xFD) {
        out.Put(static_cast<WCHAR>(0xF8F1 + (b - 0xFD)));
    } else {
        // A lead byte with no or an unassigned partner.
        if (IsLead932(b) && *i + 1 < len && IsTrail932(s[*i + 1])) ++*i;
        ++*i;
        out.Put(0x30FB);
        return false;
    }
    ++*i;
    return true;
}

bool DecodeTable(Page page, const unsigned char *s, size_t len, Out<WCHAR> &out)
{
    Descriptor lease(page, true);
    iconv_t cd = lease.Get();
    bool valid = true;
    size_t i = 0;
    WCHAR chunk[256];
    while (i < len && !out.Full()) {
        if (s[i] < 0x80) {
            out.Put(static_cast<WCHAR>(s[i]));
            ++i;
            continue;
        }
        if (cd == (iconv_t)-1) {
            valid = DecodeRefused(page, s, len, &i, out) && valid;
            continue;
        }
        char *in = const_cast<char *>(reinterpret_cast<const char *>(s + i));
        size_t inLeft = len - i;
        char *outp = reinterpret_cast<char *>(chunk);
        size_t outLeft = sizeof chunk;
        size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
        int err = errno;
        size_t produced = (sizeof chunk - outLeft) / sizeof(WCHAR);
        for (size_t k = 0; k < produced; ++k) out.Put(chunk[k]);
        i = len - inLeft;
        if (r == static_cast<size_t>(-1) && err != E2BIG && i < len) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            valid = DecodeRefused(page, s, len, &i, out) && valid;
        }
    }
    return valid;
}

// ---- UTF-16 to multi-byte --------------------------------------------------

bool EncodeUtf8(const WCHAR *s, size_t len, Out<char> &out)
{
    bool valid = true;
    for (size_t i = 0; i < len && !out.Full(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xE000) {
            if (cp < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
                ++i;
            } else {
                cp = 0xFFFD;
                valid = false;
            }
        }
        kvp::PutUtf8(cp, [&](char c) { out.Put(c); });
    }
    return valid;
}

struct DefaultChar {
    char bytes[2];
    size_t size;

    void PutTo(Out<char> &out) const
    {
        for (size_t k = 0; k < size; ++k) out.Put(bytes[k]);
    }
};

// Converts one UTF-16 unit with iconv; 0 when the table has no byte form.
size_t EncodeOne(iconv_t cd, WCHAR unit, char *bytes, size_t room)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = reinterpret_cast<char *>(&unit);
    size_t inLeft = sizeof unit;
    char *outp = bytes;
    size_t outLeft = room;
    if (iconv(cd, &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) return 0;
    return room - outLeft;
}

// With WC_NO_BEST_FIT_CHARS a character counts as held only when its bytes
// read back as the same character (the tables map some characters one way,
// such as U+00A5 to the 932 backslash).
bool RoundTrips(Page page, WCHAR unit, const char *bytes, size_t size)
{
    Descriptor lease(page, true);
    iconv_t back = lease.Get();
    if (back == (iconv_t)-1) return false;
    WCHAR again[2] = {0, 0};
    char *in = const_cast<char *>(bytes);
    size_t inLeft = size;
    char *outp = reinterpret_cast<char *>(again);
    size_t outLeft = sizeof again;
    if (iconv(back, &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) return false;
    return outLeft == sizeof again - sizeof(WCHAR) && again[0] == unit;
}

bool EncodeTable(Page page, const WCHAR *s, size_t len, bool noBestFit, const DefaultChar &dflt, Out<char> &out)
{
    if (page == Page::Ascii) {
        // Seven bits: everything beyond ASCII is the default character.
        bool held = true;
        for (size_t i = 0; i < len && !out.Full(); ++i) {
            if (s[i] < 0x80) {
                out.Put(static_cast<char>(s[i]));
            } else {
                dflt.PutTo(out);
                held = false;
            }
        }
        return held;
    }
    Descriptor lease(page, false);
    iconv_t cd = lease.Get();
    bool held = true;
    size_t i = 0;
    char chunk[512];
    while (i < len && !out.Full()) {
        WCHAR u = s[i];
        if (u < 0x80) {
            out.Put(static_cast<char>(u));
            ++i;
            continue;
        }
        if (page == Page::Cp1252 && IsHole1252(u)) {
            out.Put(static_cast<char>(u));
            ++i;
            continue;
        }
        if (cd == (iconv_t)-1) {
            dflt.PutTo(out);
            held = false;
            ++i;
            continue;
        }
        if (noBestFit) {
            char bytes[8];
            size_t n = EncodeOne(cd, u, bytes, sizeof bytes);
            if (n && RoundTrips(page, u, bytes, n)) {
                for (size_t k = 0; k < n; ++k) out.Put(bytes[k]);
            } else {
                dflt.PutTo(out);
                held = false;
            }
            ++i;
            continue;
        }
        char *in = const_cast<char *>(reinterpret_cast<const char *>(s + i));
        size_t inLeft = (len - i) * sizeof(WCHAR);
        char *outp = chunk;
        size_t outLeft = sizeof chunk;
        size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
        int err = errno;
        size_t produced = sizeof chunk - outLeft;
        for (size_t k = 0; k < produced; ++k) out.Put(chunk[k]);
        i = len - inLeft / sizeof(WCHAR);
        if (r == static_cast<size_t>(-1) && err != E2BIG && i < len) {
            // Each UTF-16 unit iconv cannot place (a surrogate pair gives
            // two) becomes one default character.
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            dflt.PutTo(out);
            held = false;
            ++i;
        }
    }
    return held;
}

}  // namespace

KVP_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                       LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar))
        return Fail(ERROR_INVALID_PARAMETER);
    Page page = Resolve(CodePage);
    if (page == Page::Unknown) return Fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8 ? (dwFlags & ~MB_ERR_INVALID_CHARS) != 0
                           : ((dwFlags & ~(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS)) ||
                              ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE))))
        return Fail(ERROR_INVALID_FLAGS);
    // -1: the text is NUL-terminated and the NUL is converted too.
    size_t len = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const unsigned char *s = reinterpret_cast<const unsigned char *>(lpMultiByteStr);

    Out<WCHAR> out{cchWideChar ? lpWideCharStr : nullptr, static_cast<size_t>(cchWideChar)};
    bool valid;
    switch (page) {
    case Page::Utf8:
        valid = DecodeUtf8(s, len, out);
        break;
    case Page::Ascii:
        valid = DecodeAscii(s, len, out);
        break;
    default:
        valid = DecodeTable(page, s, len, out);
        break;
    }
    if (out.Full()) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (!valid && (dwFlags & MB_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    return static_cast<int>(out.n);
}

KVP_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                       LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                       LPBOOL lpUsedDefaultChar)
{
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (!lpMultiByteStr && cbMultiByte))
        return Fail(ERROR_INVALID_PARAMETER);
    Page page = Resolve(CodePage);
    if (page == Page::Unknown) return Fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8) {
        // UTF-8 holds every character: there is no default character.
        if (lpDefaultChar || lpUsedDefaultChar) return Fail(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~WC_ERR_INVALID_CHARS) return Fail(ERROR_INVALID_FLAGS);
    } else if (dwFlags & ~(WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS)) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    size_t len = cchWideChar < 0 ? static_cast<size_t>(lstrlenW(lpWideCharStr)) + 1 : static_cast<size_t>(cchWideChar);

    Out<char> out{cbMultiByte ? lpMultiByteStr : nullptr, static_cast<size_t>(cbMultiByte)};
    bool ok;
    if (page == Page::Utf8) {
        ok = EncodeUtf8(lpWideCharStr, len, out);
        if (!ok && (dwFlags & WC_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        DefaultChar dflt{{'?', 0}, 1};
        if (lpDefaultChar) {
            const unsigned char *d = reinterpret_cast<const unsigned char *>(lpDefaultChar);
            dflt.bytes[0] = static_cast<char>(d[0]);
            if (page == Page::Cp932 && IsLead932(d[0]) && d[1]) {
                dflt.bytes[1] = static_cast<char>(d[1]);
                dflt.size = 2;
            }
        }
        ok = EncodeTable(page, lpWideCharStr, len, (dwFlags & WC_NO_BEST_FIT_CHARS) != 0, dflt, out);
    }
    if (out.Full()) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = ok ? FALSE : TRUE;
    return static_cast<int>(out.n);
}

KVP_API UINT WINAPI GetACP() { return kvp::SystemAnsiCodePage(); }

KVP_API BOOL WINAPI IsValidCodePage(UINT CodePage)
{
    return CodePage == 932 || CodePage == 1252 || CodePage == 20127 || CodePage == CP_UTF8;
}

KVP_API BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo)
{
    Page page = Resolve(CodePage);
    if (!lpCPInfo || page == Page::Unknown) return Fail(ERROR_INVALID_PARAMETER);
    std::memset(lpCPInfo, 0, sizeof *lpCPInfo);
    lpCPInfo->DefaultChar[0] = '?';
    lpCPInfo->MaxCharSize = page == Page::Utf8 ? 4 : (page == Page::Cp932 ? 2 : 1);
    if (page == Page::Cp932) {
        const BYTE ranges[] = {0x81, 0x9F, 0xE0, 0xFC};
        std::memcpy(lpCPInfo->LeadByte, ranges, sizeof ranges);
    }
    return TRUE;
}

KVP_API BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar)
{
    Page page = Resolve(CodePage);
    if (page == Page::Unknown || page == Page::Utf8) return Fail(ERROR_INVALID_PARAMETER);
    return page == Page::Cp932 && IsLead932(TestChar);
}

KVP_API BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }
