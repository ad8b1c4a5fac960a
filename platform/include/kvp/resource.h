// Emulated Win32: resources and file version information.
//
// Natively every module carries the .res image that windres compiles from
// its resource script, in the ELF section ".kvrsrc". These functions read
// that image from the module's file (once per module, then cached), so both
// targets answer from the same resource bytes.
//
// Language choice (FindResourceW, LoadStringW, and FindResourceExW with a
// neutral language, i.e. primary language LANG_NEUTRAL): the first of
//   1. language 0 (neutral),
//   2. the emulated user's UI language: Japanese (0x0411) when the system's
//      ANSI code page is 932, US English (0x0409) otherwise,
//   3. the primary language of 2 with SUBLANG_NEUTRAL,
//   4. US English (0x0409),
//   5. the first resource of that type and name in the image.
// FindResourceExW with a specific language takes that language, then its
// primary language with SUBLANG_NEUTRAL, then language 0; otherwise it fails
// with ERROR_RESOURCE_LANG_NOT_FOUND.
//
// Errors (GetLastError): ERROR_INVALID_HANDLE for a module handle that names
// no loaded module; ERROR_RESOURCE_DATA_NOT_FOUND when the module carries no
// resources; ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND,
// ERROR_RESOURCE_LANG_NOT_FOUND as on Windows.
#pragma once

#include <vector>

#include "kvp/base.h"

#ifndef KVP_CXX_API
#define KVP_CXX_API __attribute__((visibility("default")))
#endif

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_MANIFEST MAKEINTRESOURCEW(24)

#ifndef LANG_USER_DEFAULT
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, 0x02)
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#endif

#ifndef VS_VERSION_INFO
#define VS_VERSION_INFO 1
#endif
#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#ifndef VS_FFI_FILEFLAGSMASK
#define VS_FFI_FILEFLAGSMASK 0x0000003Fu
#endif
#define VS_FF_DEBUG 0x00000001u
#define VS_FF_PRERELEASE 0x00000002u
#ifndef VOS_NT_WINDOWS32
#define VOS_NT_WINDOWS32 0x00040004u
#endif
#define VFT_APP 0x00000001u
#ifndef VFT_DLL
#define VFT_DLL 0x00000002u
#endif

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO layout");

KVP_API HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
KVP_API HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage);
// The data of a found resource. INVARIANT: the pointer stays valid for the
// life of the process (the module's image is never dropped from the cache).
KVP_API HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
KVP_API LPVOID WINAPI LockResource(HGLOBAL hResData);
KVP_API DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Obsolete on Windows: does nothing and answers FALSE.
KVP_API BOOL WINAPI FreeResource(HGLOBAL hResData);
// cchBufferMax 0: lpBuffer receives a read-only pointer to the string in the
// resource (not NUL-terminated) and the result is its length.
KVP_API int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

// By file path (native path). The size is that of the VS_VERSIONINFO
// resource; a file that is not a module with resources answers 0 with
// ERROR_RESOURCE_TYPE_NOT_FOUND. A buffer shorter than the resource receives
// its start, with the root length cut to the buffer so that VerQueryValueW
// stays inside it.
KVP_API DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
KVP_API BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// "\\" gives the VS_FIXEDFILEINFO; other paths name blocks and values, keys
// compared without regard to case. *puLen: bytes for binary values,
// characters (with the NUL) for text values.
KVP_API BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen);

namespace kvp {

// One record of a .res image: type and name (an integer id, or a UTF-16
// name kept as an offset into the image), language and where the data is.
struct ResEntry {
    bool typeIsId;
    WORD typeId;
    DWORD typeNameOffset;  // when !typeIsId: offset of the name, in bytes
    DWORD typeNameLength;  // in characters, without the NUL
    bool nameIsId;
    WORD nameId;
    DWORD nameOffset;
    DWORD nameLength;
    WORD language;
    DWORD dataOffset;
    DWORD dataSize;
};

// Parse a .res image as windres writes it: the empty 32-byte record first,
// then RESOURCEHEADER records, each header and its data DWORD-aligned
// (the last record's padding may be missing). Every length is checked against
// SIZE; any malformed or truncated record rejects the whole image (false,
// ENTRIES emptied), so a damaged module answers "not found".
KVP_CXX_API bool ParseResImage(const BYTE *image, size_t size, std::vector<ResEntry> *entries);

enum class ElfSectionResult {
    Ok,
    NoFile,     // the file cannot be opened or read; *sysError has errno
    NotElf,     // not a 64-bit little-endian ELF file, or its headers are damaged
    NoSection,  // no section of that name, or it lies outside the file
};
// Read the contents of the named section from an ELF file on disk.
KVP_CXX_API ElfSectionResult ReadElfSection(const char *path, const char *sectionName, std::vector<BYTE> *contents,
                                            int *sysError = nullptr);

}  // namespace kvp
