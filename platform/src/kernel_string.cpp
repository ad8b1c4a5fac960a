// The l-string family and CharUpperW/CharLowerW. Like the Windows versions
// they take NULL without crashing: lengths count it as empty, copies answer
// NULL and comparisons sort it first.
#include <string>

#include "kvp/codepage.h"
#include "kvp/kernel.h"
#include "wstr.h"

namespace {

// Simple case mapping for the scripts names and texts of the plug-ins use:
// ASCII, Latin-1, Greek, Cyrillic and the full-width Latin letters.
WCHAR LowerOf(WCHAR c)
{
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 0x20) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
        return static_cast<WCHAR>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F) return static_cast<WCHAR>(c + 0x50);
    if (c == 0x178) return 0xFF;
    return c;
}

WCHAR UpperOf(WCHAR c)
{
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 0x20) : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 0x50);
    if (c == 0xFF) return 0x178;
    return c;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Letters compare without regard to case (folded to lower case, so that
// ASCII punctuation sorts before letters as in the Windows sort); when the
// texts are equal that way, the first difference in case decides, lower
// case first.
int Compare(LPCWSTR a, LPCWSTR b, bool ignoreCase)
{
    if (!a || !b) return !a && !b ? 0 : (!a ? -1 : 1);
    int caseOrder = 0;
    size_t i = 0;
    for (;; ++i) {
        WCHAR fa = LowerOf(a[i]), fb = LowerOf(b[i]);
        if (fa != fb) return Sign(static_cast<int>(fa) - static_cast<int>(fb));
        if (!a[i]) break;
        if (!caseOrder && a[i] != b[i]) caseOrder = a[i] == fa ? -1 : 1;
    }
    return ignoreCase ? 0 : caseOrder;
}

kvp::wstring16 FromAnsi(LPCSTR s)
{
    kvp::wstring16 out;
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, s, -1, &out[0], n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

int CompareAnsi(LPCSTR a, LPCSTR b, bool ignoreCase)
{
    if (!a || !b) return !a && !b ? 0 : (!a ? -1 : 1);
    // Through the wide form, so that double-byte characters whose trail
    // bytes look like ASCII letters are not folded.
    return Compare(FromAnsi(a).c_str(), FromAnsi(b).c_str(), ignoreCase);
}

}  // namespace

KVP_API int WINAPI lstrlenW(LPCWSTR lpString) { return lpString ? static_cast<int>(kvp::WLen(lpString)) : 0; }

KVP_API int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::char_traits<char>::length(lpString)) : 0; }

KVP_API LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2)
{
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t i = 0;
    for (; lpString2[i]; ++i) lpString1[i] = lpString2[i];
    lpString1[i] = 0;
    return lpString1;
}

KVP_API LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength)
{
    // The count is taken as unsigned, as Windows does.
    UINT count = static_cast<UINT>(iMaxLength);
    if ((!lpString1 && count) || (!lpString2 && count > 1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LPWSTR d = lpString1;
    LPCWSTR s = lpString2;
    while (count > 1 && *s) {
        *d++ = *s++;
        --count;
    }
    if (count) *d = 0;
    return lpString1;
}

KVP_API LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2)
{
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    lstrcpyW(lpString1 + kvp::WLen(lpString1), lpString2);
    return lpString1;
}

KVP_API int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) { return Compare(lpString1, lpString2, false); }

KVP_API int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) { return Compare(lpString1, lpString2, true); }

KVP_API int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) { return CompareAnsi(lpString1, lpString2, false); }

KVP_API int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) { return CompareAnsi(lpString1, lpString2, true); }

KVP_API LPWSTR WINAPI CharUpperW(LPWSTR lpsz)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(lpsz);
    if ((value >> 16) == 0) return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(UpperOf(static_cast<WCHAR>(value))));
    for (LPWSTR p = lpsz; *p; ++p) *p = UpperOf(*p);
    return lpsz;
}

KVP_API LPWSTR WINAPI CharLowerW(LPWSTR lpsz)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(lpsz);
    if ((value >> 16) == 0) return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(LowerOf(static_cast<WCHAR>(value))));
    for (LPWSTR p = lpsz; *p; ++p) *p = LowerOf(*p);
    return lpsz;
}
