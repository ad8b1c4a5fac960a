// Emulated Win32: kernel. Heaps, critical sections, interlocked counters,
// the last error, modules, files, file mappings, time, the temporary path,
// environment and names, and the l-string family.
#pragma once

#include "kvp/base.h"

// Error codes of this area that the common list in base.h does not carry.
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_DIRECTORY 267L
#define ERROR_FILE_INVALID 1006L
#define ERROR_MAPPED_ALIGNMENT 1132L

// ---------------------------------------------------------------------------
// Last error (thread-local).
KVP_API DWORD WINAPI GetLastError();
KVP_API void WINAPI SetLastError(DWORD dwErrCode);

// ---------------------------------------------------------------------------
// Heaps. A heap created with a maximum size (dwMaximumSize != 0) is fixed:
// its live blocks, each charged with its reserved size plus a 16-byte
// header, never exceed the maximum (rounded up to whole 4 KiB pages). Every
// block reserves a quarter of its size (rounded to 16 bytes) as room to grow
// in place, so HEAP_REALLOC_IN_PLACE_ONLY succeeds within that room and fails
// beyond it. HEAP_GENERATE_EXCEPTIONS is accepted; failures still answer
// NULL, as there are no structured exceptions here.
#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GROWABLE 0x00000002
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010
#define HEAP_CREATE_ENABLE_EXECUTE 0x00040000

KVP_API HANDLE WINAPI HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
KVP_API BOOL WINAPI HeapDestroy(HANDLE hHeap);
KVP_API LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
KVP_API LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
KVP_API BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
KVP_API SIZE_T WINAPI HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);
// lpMem NULL validates the whole heap; otherwise the one block.
KVP_API BOOL WINAPI HeapValidate(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);
KVP_API HANDLE WINAPI GetProcessHeap();

// ---------------------------------------------------------------------------
// Critical sections and interlocked counters.
typedef struct _RTL_CRITICAL_SECTION {
    // Room for the recursive mutex behind it (the Windows record is 40 bytes
    // on x64; nothing outside the platform looks inside).
    alignas(8) unsigned char Opaque[64];
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

KVP_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
KVP_API BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
KVP_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
KVP_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
KVP_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
KVP_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

KVP_API LONG WINAPI InterlockedIncrement(LONG volatile *Addend);
KVP_API LONG WINAPI InterlockedDecrement(LONG volatile *Addend);
KVP_API LONG WINAPI InterlockedExchange(LONG volatile *Target, LONG Value);
KVP_API LONG WINAPI InterlockedCompareExchange(LONG volatile *Destination, LONG Exchange, LONG Comparand);
KVP_API LONG WINAPI InterlockedExchangeAdd(LONG volatile *Addend, LONG Value);

// ---------------------------------------------------------------------------
// Modules. A module is an ELF shared object; LoadLibraryW opens it with
// dlopen and calls its exported DllMain. LOAD_LIBRARY_AS_DATAFILE opens the
// file for its resources only: no code is loaded and DllMain is not called
// (unless the module is already loaded normally, whose handle is then
// returned with one more reference).
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

typedef BOOL(WINAPI *PDLLMAIN)(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

KVP_API HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
KVP_API HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
KVP_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
KVP_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
KVP_API DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
KVP_API HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
KVP_API BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE *phModule);

// ---------------------------------------------------------------------------
// Files and file mappings. Paths may use '\' or '/' as separators; share
// modes are enforced between the handles of this process.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define DELETE 0x00010000u
#define FILE_READ_DATA 0x00000001
#define FILE_WRITE_DATA 0x00000002
#define FILE_APPEND_DATA 0x00000004
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// Overlapped (asynchronous) I/O is not supported: ReadFile and WriteFile
// refuse a non-NULL lpOverlapped with ERROR_INVALID_PARAMETER.
typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

KVP_API HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                  DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
KVP_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                             LPOVERLAPPED lpOverlapped);
KVP_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                              LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
KVP_API DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                    DWORD dwMoveMethod);
KVP_API BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                                     DWORD dwMoveMethod);
KVP_API BOOL WINAPI SetEndOfFile(HANDLE hFile);
KVP_API DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
KVP_API BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);
KVP_API BOOL WINAPI FlushFileBuffers(HANDLE hFile);
KVP_API BOOL WINAPI CloseHandle(HANDLE hObject);
KVP_API BOOL WINAPI DeleteFileW(LPCWSTR lpFileName);
KVP_API DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName);
KVP_API BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
KVP_API BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName);

#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_WRITECOPY 0x08
#define SEC_COMMIT 0x08000000
#define FILE_MAP_COPY 0x00000001
#define FILE_MAP_WRITE 0x00000002
#define FILE_MAP_READ 0x00000004
#define FILE_MAP_ALL_ACCESS 0x000F001F

// hFile INVALID_HANDLE_VALUE makes a mapping backed by memory only; it needs
// a size. lpName is accepted and ignored: mappings are not shared by name.
KVP_API HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                         DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName);
KVP_API LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                                    DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap);
KVP_API BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress);

// ---------------------------------------------------------------------------
// Time, the temporary path, environment and names.
typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

// The fixed clock of the emulated system when one is set, else the real one.
KVP_API void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
KVP_API void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
KVP_API DWORD WINAPI GetTickCount();
KVP_API void WINAPI Sleep(DWORD dwMilliseconds);
KVP_API DWORD WINAPI GetCurrentProcessId();
KVP_API DWORD WINAPI GetCurrentThreadId();

// The emulated system's temporary directory with a trailing separator.
KVP_API DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);
KVP_API DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize);
KVP_API BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue);
#define MAX_COMPUTERNAME_LENGTH 15
#define UNLEN 256
KVP_API BOOL WINAPI GetComputerNameW(LPWSTR lpBuffer, LPDWORD nSize);
// advapi32 on Windows: the size counts the terminating NUL.
KVP_API BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer);

// ---------------------------------------------------------------------------
// The l-string family. Comparisons order letters without regard to case
// first (lower case before upper case on a tie), as the Windows word sort
// does for letters and digits; NULL sorts before every string.
KVP_API int WINAPI lstrlenW(LPCWSTR lpString);
KVP_API int WINAPI lstrlenA(LPCSTR lpString);
KVP_API LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
KVP_API LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
KVP_API LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2);
KVP_API int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
KVP_API int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
KVP_API int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
KVP_API int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
// A pointer whose high word is zero is one character in its low word.
KVP_API LPWSTR WINAPI CharUpperW(LPWSTR lpsz);
KVP_API LPWSTR WINAPI CharLowerW(LPWSTR lpsz);

// The generic names of the wide functions, as <windows.h> maps them for a
// Unicode build.
#define LoadLibrary LoadLibraryW
#define LoadLibraryEx LoadLibraryExW
#define GetModuleFileName GetModuleFileNameW
#define GetModuleHandle GetModuleHandleW
#define GetModuleHandleEx GetModuleHandleExW
#define CreateFile CreateFileW
#define DeleteFile DeleteFileW
#define GetFileAttributes GetFileAttributesW
#define CreateDirectory CreateDirectoryW
#define RemoveDirectory RemoveDirectoryW
#define CreateFileMapping CreateFileMappingW
#define GetTempPath GetTempPathW
#define GetEnvironmentVariable GetEnvironmentVariableW
#define SetEnvironmentVariable SetEnvironmentVariableW
#define GetComputerName GetComputerNameW
#define GetUserName GetUserNameW
#define lstrlen lstrlenW
#define lstrcpy lstrcpyW
#define lstrcpyn lstrcpynW
#define lstrcat lstrcatW
#define lstrcmp lstrcmpW
#define lstrcmpi lstrcmpiW
#define CharUpper CharUpperW
#define CharLower CharLowerW
