// PPD product name, keyword prefixes and the version text.
//
// The PPD comes from outside: every walk over the mapped view is bounded by
// the file's size, whatever the file holds (no line feeds, no closing quote,
// binary data).
#include "ppd.h"

#include "coremain.h"
#include "format.h"
#include "memory.h"
#include "text.h"

namespace {

constexpr char kProductKeyword[] = "\n*Product";
constexpr DWORD kPrefixPathCapacity = 256;
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

void ClearMappedFile(MappedFile *file)
{
    file->file = INVALID_HANDLE_VALUE;
    file->mapping = nullptr;
    file->size = 0;
    file->view = nullptr;
}

// The driver information of PRINTER at level 2, from the private heap;
// null when it cannot be read. Free with MemFree.
DRIVER_INFO_2W *ReadDriverInfo(HANDLE printer)
{
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
    if (needed < sizeof(DRIVER_INFO_2W)) return nullptr;
    PVOID memory = nullptr;
    if (!MemAllocZero(&memory, needed)) return nullptr;
    DWORD size = needed;
    if (!GetPrinterDriverW(printer, nullptr, 2, static_cast<LPBYTE>(memory), size, &needed)) {
        MemFree(memory);
        return nullptr;
    }
    return static_cast<DRIVER_INFO_2W *>(memory);
}

// A prefix of two NULs means the PPD's prefix is unknown; one NUL (a PPD
// named with one letter) cannot stand for two letters either.
bool IsUsablePrefix(const CHAR prefix[2]) { return prefix[0] != '\0' && prefix[1] != '\0'; }

// Both characters are compared, so a one-character text never matches and
// never has its terminator replaced.
bool StartsWith(LPCSTR text, const CHAR prefix[2]) { return text[0] == prefix[0] && text[1] == prefix[1] && text[1] != '\0'; }

}  // namespace

BOOL GetPpdFileName(HANDLE printer, LPWSTR output, DWORD capacity)
{
    if (printer == nullptr || output == nullptr || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DRIVER_INFO_2W *info = ReadDriverInfo(printer);
    if (info == nullptr) return FALSE;
    BOOL ok = FALSE;
    if (info->pDataFile != nullptr) {
        DWORD length = 0;
        while (info->pDataFile[length] != 0) ++length;
        if (length < capacity) {
            for (DWORD i = 0; i <= length; ++i) output[i] = info->pDataFile[i];
            ok = TRUE;
        } else {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
        }
    }
    MemFree(info);
    return ok;
}

BOOL MapFileView(LPCWSTR path, MappedFile *file, BOOL copyOnWrite)
{
    if (path == nullptr || file == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ClearMappedFile(file);
    HANDLE handle =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return FALSE;
    HANDLE mapping = CreateFileMappingW(handle, nullptr, copyOnWrite ? PAGE_WRITECOPY : PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        CloseHandle(handle);
        return FALSE;
    }
    DWORD size = GetFileSize(handle, nullptr);
    LPVOID view = nullptr;
    if (size != INVALID_FILE_SIZE && size != 0)
        view = MapViewOfFile(mapping, copyOnWrite ? FILE_MAP_COPY : FILE_MAP_READ, 0, 0, size);
    if (view == nullptr) {
        CloseHandle(mapping);
        CloseHandle(handle);
        return FALSE;
    }
    file->file = handle;
    file->mapping = mapping;
    file->size = size;
    file->view = view;
    return TRUE;
}

void UnmapFileView(MappedFile *file)
{
    if (file == nullptr) return;
    if (file->view != nullptr) UnmapViewOfFile(file->view);
    if (file->mapping != nullptr) CloseHandle(file->mapping);
    if (file->file != INVALID_HANDLE_VALUE && file->file != nullptr) CloseHandle(file->file);
    ClearMappedFile(file);
}

const BYTE *FindBytes(const void *memory, LPCSTR pattern, DWORD size)
{
    if (memory == nullptr || pattern == nullptr || pattern[0] == '\0') return nullptr;
    DWORD length = 0;
    while (pattern[length] != '\0') ++length;
    if (length > size) return nullptr;
    const BYTE *bytes = static_cast<const BYTE *>(memory);
    const BYTE *wanted = reinterpret_cast<const BYTE *>(pattern);
    for (DWORD at = 0; at <= size - length; ++at) {
        if (bytes[at] != wanted[0]) continue;
        DWORD k = 1;
        while (k < length && bytes[at + k] == wanted[k]) ++k;
        if (k == length) return bytes + at;
    }
    return nullptr;
}

const CHAR *FindQuotedValue(const MappedFile *file, LPCSTR keyword)
{
    if (file == nullptr || file->view == nullptr || keyword == nullptr) return nullptr;
    const BYTE *start = static_cast<const BYTE *>(file->view);
    const BYTE *end = start + file->size;
    const BYTE *found = FindBytes(start, keyword, file->size);
    if (found == nullptr) return nullptr;
    DWORD keywordLength = 0;
    while (keyword[keywordLength] != '\0') ++keywordLength;
    // The colon right after the keyword is skipped unseen.
    DWORD offset = static_cast<DWORD>(found - start) + keywordLength + 1;
    for (const BYTE *p = start + (offset < file->size ? offset : file->size); p < end; ++p) {
        if (*p == '\n') return nullptr;
        if (*p == '"') return reinterpret_cast<const CHAR *>(p + 1);
    }
    return nullptr;
}

BOOL ReadProductName(const MappedFile *file, LPSTR output, DWORD *capacity)
{
    if (file == nullptr || file->view == nullptr || output == nullptr || capacity == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const CHAR *value = FindQuotedValue(file, kProductKeyword);
    const CHAR *end = static_cast<const CHAR *>(file->view) + file->size;
    if (value == nullptr || value >= end || *value != '(') return FALSE;
    const CHAR *name = value + 1;
    const CHAR *p = name;
    // A NUL is no text: the name would reach the model lookup cut short.
    while (p < end && *p != ')' && *p != '\n' && *p != '\r' && *p != '\0') ++p;
    if (p >= end || *p != ')') return FALSE;
    DWORD count = static_cast<DWORD>(p - name);
    BOOL ok = FALSE;
    if (count < *capacity) {
        for (DWORD i = 0; i < count; ++i) output[i] = name[i];
        output[count] = '\0';
        ok = TRUE;
    }
    // Also on failure, so that the caller learns what it would take.
    *capacity = count;
    return ok;
}

BOOL ReadPpdProduct(HANDLE printer, LPSTR output, DWORD *capacity)
{
    if (printer == nullptr || output == nullptr || capacity == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WCHAR path[MAX_PATH];
    if (!GetPpdFileName(printer, path, MAX_PATH)) return FALSE;
    MappedFile file;
    if (!MapFileView(path, &file, FALSE)) {
        KV_LOG(LOG_WARN, "cannot map the PPD file (error %lu)", GetLastError());
        return FALSE;
    }
    BOOL ok = ReadProductName(&file, output, capacity);
    UnmapFileView(&file);
    return ok;
}

BOOL GetKeywordPrefix(CHAR prefix[2], HANDLE printer)
{
    if (prefix == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    prefix[0] = '\0';
    prefix[1] = '\0';
    if (printer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DRIVER_INFO_2W *info = ReadDriverInfo(printer);
    if (info == nullptr) return FALSE;
    BOOL ok = FALSE;
    if (info->pDataFile != nullptr) {
        // Split in UTF-16: in code page 932 a trail byte may look like "\".
        LPCWSTR base = info->pDataFile;
        for (LPCWSTR p = info->pDataFile; *p != 0; ++p)
            if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
        WCHAR name[kPrefixPathCapacity];
        DWORD length = 0;
        while (length + 1 < kPrefixPathCapacity && base[length] != 0) {
            name[length] = base[length];
            ++length;
        }
        name[length] = 0;
        for (DWORD i = length; i > 0; --i) {
            if (name[i - 1] == '.') {
                name[i - 1] = 0;
                break;
            }
        }
        CHAR ansi[kPrefixPathCapacity];
        if (WideToCodePage(ansi, name, sizeof(ansi), CP_ACP) > 0) {
            for (int i = 0; i < 2 && ansi[i] != '\0'; ++i)
                prefix[i] = (ansi[i] >= 'a' && ansi[i] <= 'z') ? static_cast<CHAR>(ansi[i] - 'a' + 'A') : ansi[i];
            ok = prefix[0] != '\0';
        }
    }
    MemFree(info);
    return ok;
}

BOOL IsNotSystemKeyword(LPCSTR keyword)
{
    return keyword == nullptr || !StartsWith(keyword, kSystemKeywordPrefix);
}

BOOL ToPpdKeyword(const CHAR prefix[2], LPCSTR keyword, LPSTR output, DWORD capacity)
{
    if (prefix == nullptr || keyword == nullptr || output == nullptr || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD length = 0;
    while (keyword[length] != '\0') ++length;
    if (length >= capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    for (DWORD i = 0; i <= length; ++i) output[i] = keyword[i];
    if (IsUsablePrefix(prefix) && StartsWith(output, kSystemKeywordPrefix)) {
        output[0] = prefix[0];
        output[1] = prefix[1];
    }
    return TRUE;
}

BOOL ToPpdKeywordList(const CHAR prefix[2], LPCSTR list, DWORD listSize, LPSTR output, DWORD capacity)
{
    if (prefix == nullptr || list == nullptr || output == nullptr || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD in = 0;
    DWORD out = 0;
    while (in < listSize && list[in] != '\0') {
        DWORD length = 0;
        while (in + length < listSize && list[in + length] != '\0') ++length;
        // The string, its NUL and the list's closing NUL.
        if (out + length + 2 > capacity) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        for (DWORD i = 0; i < length; ++i) output[out + i] = list[in + i];
        output[out + length] = '\0';
        if (IsUsablePrefix(prefix) && StartsWith(output + out, kSystemKeywordPrefix)) {
            output[out] = prefix[0];
            output[out + 1] = prefix[1];
        }
        out += length + 1;
        in += length + 1;
    }
    output[out] = '\0';
    return TRUE;
}

BOOL ToSystemKeyword(const CHAR prefix[2], LPSTR keyword)
{
    if (prefix == nullptr || keyword == nullptr || !IsUsablePrefix(prefix)) return FALSE;
    if (!StartsWith(keyword, prefix)) return FALSE;
    keyword[0] = kSystemKeywordPrefix[0];
    keyword[1] = kSystemKeywordPrefix[1];
    return TRUE;
}

BOOL ToSystemKeywordList(const CHAR prefix[2], LPSTR list, DWORD listSize)
{
    if (prefix == nullptr || list == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD at = 0;
    while (at < listSize && list[at] != '\0') {
        DWORD length = 0;
        while (at + length < listSize && list[at + length] != '\0') ++length;
        // Only the first two bytes are looked at, and they are inside.
        if (length >= 2) ToSystemKeyword(prefix, list + at);
        at += length + 1;
    }
    return TRUE;
}

BOOL FormatVersionFromBlock(const void *block, DWORD size, LPWSTR output, DWORD capacity)
{
    if (block == nullptr || size == 0 || output == nullptr || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The version functions want a block they may write into.
    PVOID copy = nullptr;
    if (!MemAllocZero(&copy, size)) return FALSE;
    const BYTE *from = static_cast<const BYTE *>(block);
    BYTE *to = static_cast<BYTE *>(copy);
    for (DWORD i = 0; i < size; ++i) to[i] = from[i];
    BOOL ok = FALSE;
    LPVOID fixed = nullptr;
    UINT fixedSize = 0;
    if (VerQueryValueW(copy, TEXT("\\"), &fixed, &fixedSize) && fixed != nullptr &&
        fixedSize >= sizeof(VS_FIXEDFILEINFO) && static_cast<BYTE *>(fixed) >= to &&
        static_cast<BYTE *>(fixed) + sizeof(VS_FIXEDFILEINFO) <= to + size) {
        const VS_FIXEDFILEINFO *info = static_cast<const VS_FIXEDFILEINFO *>(fixed);
        if (info->dwSignature == kFixedFileInfoSignature) {
            ok = FormatTextW(output, capacity, TEXT("Version %d.%d.%d"), static_cast<int>(HIWORD(info->dwProductVersionMS)),
                             static_cast<int>(HIWORD(info->dwProductVersionLS)),
                             static_cast<int>(LOWORD(info->dwProductVersionLS))) >= 0;
        }
    }
    MemFree(copy);
    return ok;
}

BOOL FormatVersionText(LPWSTR output, DWORD capacity)
{
    if (output == nullptr || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE module = GetModuleHandleOfCore();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_VERSION);
    if (resource == nullptr) return FALSE;
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void *data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) return FALSE;
    return FormatVersionFromBlock(data, size, output, capacity);
}
