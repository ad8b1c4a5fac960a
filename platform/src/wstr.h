// Text helpers of the platform's own: UTF-16 (WCHAR) to and from UTF-8 for
// native paths and storage, and the case folding Win32 uses for names.
#pragma once

#include <string>

#include "kvp/base.h"

namespace kvp {

typedef std::basic_string<WCHAR> wstring16;

size_t WLen(const WCHAR *s);
wstring16 WFromUtf8(const std::string &utf8);
std::string WToUtf8(const WCHAR *s);
std::string WToUtf8(const wstring16 &s);
// Upper-case fold for case-insensitive names (ASCII and Latin-1 letters;
// other characters compare as they are).
wstring16 WUpper(const wstring16 &s);
bool WEqualNoCase(const wstring16 &a, const wstring16 &b);

// Code point CP as UTF-8, one byte at a time through PUT(char).
template <class Put>
void PutUtf8(uint32_t cp, Put put)
{
    if (cp < 0x80) {
        put(static_cast<char>(cp));
    } else if (cp < 0x800) {
        put(static_cast<char>(0xC0 | (cp >> 6)));
        put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        put(static_cast<char>(0xE0 | (cp >> 12)));
        put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        put(static_cast<char>(0xF0 | (cp >> 18)));
        put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Code point CP as UTF-16 (a surrogate pair beyond U+FFFF) through
// PUT(WCHAR).
template <class Put>
void PutUtf16(uint32_t cp, Put put)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        put(static_cast<WCHAR>(0xD800 + (cp >> 10)));
        put(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
        put(static_cast<WCHAR>(cp));
    }
}

}  // namespace kvp
