#include "wstr.h"

namespace kvp {

size_t WLen(const WCHAR *s)
{
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

wstring16 WFromUtf8(const std::string &utf8)
{
    wstring16 out;
    size_t i = 0;
    const size_t n = utf8.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < n) {
            cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3F);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n) {
            cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < n) {
            cp = ((c & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) |
                 (utf8[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        PutUtf16(cp, [&](WCHAR u) { out.push_back(u); });
    }
    return out;
}

std::string WToUtf8(const WCHAR *s)
{
    std::string out;
    if (!s) return out;
    for (size_t i = 0; s[i]; ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        PutUtf8(cp, [&](char c) { out.push_back(c); });
    }
    return out;
}

std::string WToUtf8(const wstring16 &s) { return WToUtf8(s.c_str()); }

wstring16 WUpper(const wstring16 &s)
{
    wstring16 out(s);
    for (auto &c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<WCHAR>(c - 0x20);
        else if (c >= 0xFF41 && c <= 0xFF5A) c = static_cast<WCHAR>(c - 0x20);  // full-width a-z
    }
    return out;
}

bool WEqualNoCase(const wstring16 &a, const wstring16 &b) { return a.size() == b.size() && WUpper(a) == WUpper(b); }

}  // namespace kvp
