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

}  // namespace kvp
