// Emulated Win32: code pages. The ANSI code page is a setting of the
// emulated system (932 unless a test or the kvps command changes it).
// Supported: 932, 1252, 20127 (US-ASCII) and CP_UTF8. Conversions have no
// best-fit mappings beyond the ones of the code page tables themselves:
// a character the code page cannot hold becomes the default character.
#pragma once

#include "kvp/base.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2
typedef struct _cpinfo {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
} CPINFO, *LPCPINFO;

// CP_ACP, CP_OEMCP and CP_THREAD_ACP all stand for the system's ANSI code
// page here.
KVP_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                       LPWSTR lpWideCharStr, int cchWideChar);
KVP_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                       LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                       LPBOOL lpUsedDefaultChar);
KVP_API UINT WINAPI GetACP();
KVP_API BOOL WINAPI IsValidCodePage(UINT CodePage);
KVP_API BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo);
KVP_API BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);
KVP_API BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
