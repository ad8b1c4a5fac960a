// The temporary path, environment variables and the computer and user
// names, all answering with the Win32 size protocols.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "kvp/kernel.h"
#include "kvp/system.h"
#include "wstr.h"

extern char **environ;

namespace {

void CopyOut(const kvp::wstring16 &text, LPWSTR out)
{
    for (size_t i = 0; i < text.size(); ++i) out[i] = text[i];
    out[text.size()] = 0;
}

// Windows names its variables without regard to case.
const char *FindVariable(const std::string &name)
{
    if (const char *exact = std::getenv(name.c_str())) return exact;
    for (char **e = environ; e && *e; ++e) {
        const char *eq = std::strchr(*e, '=');
        if (eq && static_cast<size_t>(eq - *e) == name.size() && strncasecmp(*e, name.c_str(), name.size()) == 0)
            return eq + 1;
    }
    return nullptr;
}

}  // namespace

KVP_API DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    kvp::wstring16 path = kvp::WFromUtf8(kvp::SystemTempDir());
    if (path.empty() || path.back() != u'/') path.push_back(u'/');
    const DWORD length = static_cast<DWORD>(path.size());
    if (lpBuffer && nBufferLength > length) {
        CopyOut(path, lpBuffer);
        return length;
    }
    // A buffer the path does not fit is cleared rather than left holding
    // a stale or partial path.
    if (lpBuffer)
        for (DWORD i = 0; i < nBufferLength; ++i) lpBuffer[i] = 0;
    return length + 1;
}

KVP_API DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize)
{
    const char *value = lpName && *lpName ? FindVariable(kvp::WToUtf8(lpName)) : nullptr;
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    kvp::wstring16 text = kvp::WFromUtf8(value);
    const DWORD length = static_cast<DWORD>(text.size());
    if (!lpBuffer || nSize <= length) return length + 1;
    CopyOut(text, lpBuffer);
    return length;
}

KVP_API BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue)
{
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name = kvp::WToUtf8(lpName);
    if (name.find('=') != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!lpValue) {
        if (!FindVariable(name)) {
            SetLastError(ERROR_ENVVAR_NOT_FOUND);
            return FALSE;
        }
        unsetenv(name.c_str());
        return TRUE;
    }
    if (setenv(name.c_str(), kvp::WToUtf8(lpValue).c_str(), 1) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

KVP_API BOOL WINAPI GetComputerNameW(LPWSTR lpBuffer, LPDWORD nSize)
{
    if (!nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    kvp::wstring16 name = kvp::WFromUtf8(kvp::SystemMachineName());
    const DWORD length = static_cast<DWORD>(name.size());
    if (!lpBuffer || *nSize <= length) {
        *nSize = length + 1;
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    CopyOut(name, lpBuffer);
    *nSize = length;
    return TRUE;
}

KVP_API BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer)
{
    if (!pcbBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    kvp::wstring16 name = kvp::WFromUtf8(kvp::SystemUserName());
    const DWORD needed = static_cast<DWORD>(name.size()) + 1;
    if (!lpBuffer || *pcbBuffer < needed) {
        *pcbBuffer = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    CopyOut(name, lpBuffer);
    *pcbBuffer = needed;
    return TRUE;
}
