// Emulated Win32: codepage.
#pragma once

#include "kvp/base.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

KVP_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                       LPWSTR lpWideCharStr, int cchWideChar);
KVP_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                       LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                       LPBOOL lpUsedDefaultChar);
KVP_API UINT WINAPI GetACP();
KVP_API BOOL WINAPI IsValidCodePage(UINT CodePage);
KVP_API BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);
