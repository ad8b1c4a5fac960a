// Printer identity and the per-user registry store.
#include "identity.h"

#include <cstring>

#include "coremain.h"
#include "memory.h"

namespace {

// Registry key names are at most 255 characters; paths in the store are the
// root, one identity and a few subkeys of ours.
constexpr DWORD kKeyPathChars = 512;
constexpr DWORD kKeyNameChars = 256;
constexpr DWORD kValueNameChars = 260;
// Attribute bit of a printer installed on this machine (not a connection).
constexpr DWORD kLocalPrinterAttribute = 0x40;
constexpr DWORD kRawOnlyAttribute = 0x1000;

DWORD TextLength(LPCWSTR text)
{
    DWORD length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

// Appends TEXT at position *LENGTH of BUFFER, keeping the NUL; false (buffer
// unchanged past *LENGTH) when it does not fit CAPACITY.
BOOL AppendText(LPWSTR buffer, DWORD capacity, DWORD *length, LPCWSTR text, DWORD textLength)
{
    if (*length + textLength + 1 > capacity) {
        return FALSE;
    }
    for (DWORD i = 0; i < textLength; ++i) {
        buffer[*length + i] = text[i];
    }
    *length += textLength;
    buffer[*length] = 0;
    return TRUE;
}

WCHAR FoldCase(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c - u'A' + u'a') : c;
}

// Key names compare as the registry compares them: without regard to case.
BOOL SameKeyName(LPCWSTR a, LPCWSTR b)
{
    for (;; ++a, ++b) {
        if (FoldCase(*a) != FoldCase(*b)) {
            return FALSE;
        }
        if (*a == 0) {
            return TRUE;
        }
    }
}

// VALUEPATH + "Default": the printer data value that holds the administrator's
// default for every user.
BOOL BuildDefaultValueName(LPCWSTR valuePath, LPWSTR buffer, DWORD capacity)
{
    DWORD length = 0;
    buffer[0] = 0;
    return AppendText(buffer, capacity, &length, valuePath, TextLength(valuePath)) &&
           AppendText(buffer, capacity, &length, TEXT("Default"), 7);
}

// Root path + identity; *LENGTH receives the length. False when the printer
// has no identity or the path does not fit.
BOOL BuildPrinterKeyPath(HANDLE printer, LPWSTR buffer, DWORD capacity, DWORD *length)
{
    WCHAR id[kPrinterIdChars];
    if (!BuildUserStoreRoot(buffer, capacity) || !ReadPrinterIdText(printer, id, sizeof(id))) {
        return FALSE;
    }
    *length = TextLength(buffer);
    return AppendText(buffer, capacity, length, id, TextLength(id));
}

// Reads a spooler information level into a private heap block.
PVOID ReadPrinterLevel(HANDLE printer, DWORD level)
{
    DWORD needed = 0;
    if (printer == nullptr) {
        return nullptr;
    }
    GetPrinterW(printer, level, nullptr, 0, &needed);
    if (needed == 0) {
        return nullptr;
    }
    PVOID block = nullptr;
    if (!MemAlloc(GetPrivateHeap(), &block, needed)) {
        return nullptr;
    }
    if (!GetPrinterW(printer, level, static_cast<LPBYTE>(block), needed, &needed)) {
        MemFree(block);
        return nullptr;
    }
    return block;
}

}  // namespace

BOOL GetOrCreatePrinterId(HANDLE printer, LPBYTE id)
{
    if (printer == nullptr) {
        return FALSE;
    }

    WCHAR text[kPrinterIdChars];
    if (ReadPrinterIdText(printer, text, sizeof(text))) {
        UUID stored;
        if (id != nullptr &&
            UuidFromStringW(reinterpret_cast<RPC_WSTR>(text), &stored) == RPC_S_OK) {
            memcpy(id, &stored, kPrinterIdBytes);
        }
        return TRUE;
    }

    UUID uuid;
    BOOL given = FALSE;
    if (id != nullptr) {
        for (DWORD i = 0; i < kPrinterIdBytes; ++i) {
            given |= id[i] != 0;
        }
    }
    if (given) {
        memcpy(&uuid, id, kPrinterIdBytes);
    } else {
        RPC_STATUS status = UuidCreate(&uuid);
        // A UUID that is unique on this machine only is still unique among its
        // printers, which is all the identity needs.
        if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) {
            return FALSE;
        }
    }

    RPC_WSTR uuidText = nullptr;
    if (UuidToStringW(&uuid, &uuidText) != RPC_S_OK || uuidText == nullptr) {
        return FALSE;
    }
    LPWSTR newText = reinterpret_cast<LPWSTR>(uuidText);
    DWORD result = SetPrinterDataW(printer, const_cast<LPWSTR>(kValuePrinterId), REG_SZ,
                                   reinterpret_cast<LPBYTE>(newText), (TextLength(newText) + 1) * sizeof(WCHAR));
    RpcStringFreeW(&uuidText);
    if (result != ERROR_SUCCESS) {
        return FALSE;
    }
    if (id != nullptr) {
        memcpy(id, &uuid, kPrinterIdBytes);
    }
    return TRUE;
}

BOOL ReadPrinterIdText(HANDLE printer, LPWSTR buffer, DWORD size)
{
    DWORD capacity = size / sizeof(WCHAR);
    if (printer == nullptr || buffer == nullptr || capacity == 0) {
        return FALSE;
    }
    DWORD type = REG_NONE;
    DWORD needed = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(kValuePrinterId), &type, reinterpret_cast<LPBYTE>(buffer),
                        capacity * sizeof(WCHAR), &needed) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return FALSE;
    }
    // The stored text need not carry its NUL; read no further than it goes.
    DWORD chars = needed / sizeof(WCHAR);
    if (chars > capacity) {
        return FALSE;
    }
    DWORD length = 0;
    while (length < chars && buffer[length] != 0) {
        ++length;
    }
    if (length == capacity) {
        return FALSE;
    }
    buffer[length] = 0;
    return length != 0;
}

BOOL BuildUserStoreRoot(LPWSTR buffer, DWORD capacity)
{
    WCHAR key[kKeyPathChars];
    key[0] = 0;
    HMODULE module = GetModuleHandleOfCore();
    int loaded = module != nullptr ? LoadStringW(module, CORE_STRING_REGISTRY_KEY, key, kKeyPathChars) : 0;
    DWORD length = 0;
    if (loaded <= 0 || static_cast<DWORD>(loaded) + 1 >= kKeyPathChars) {
        // A module without string 1 (a test executable) uses the text every
        // module of the driver carries there.
        AppendText(key, kKeyPathChars, &length, CORE_DEFAULT_REGISTRY_KEY, TextLength(CORE_DEFAULT_REGISTRY_KEY));
    } else {
        length = static_cast<DWORD>(loaded);
    }
    if (!AppendText(key, kKeyPathChars, &length, KV_USER_STORE_SUBKEY, TextLength(KV_USER_STORE_SUBKEY)) ||
        buffer == nullptr || capacity < length + 1) {
        return FALSE;
    }
    memcpy(buffer, key, (length + 1) * sizeof(WCHAR));
    return TRUE;
}

BOOL BuildUserKeyPath(HANDLE printer, LPCWSTR valuePath, LPWSTR buffer, DWORD capacity, LPCWSTR *valueName)
{
    if (valuePath == nullptr || buffer == nullptr || valueName == nullptr) {
        return FALSE;
    }
    DWORD length = 0;
    if (!BuildPrinterKeyPath(printer, buffer, capacity, &length)) {
        return FALSE;
    }
    DWORD pathLength = TextLength(valuePath);
    DWORD lastSlash = pathLength;
    for (DWORD i = 0; i < pathLength; ++i) {
        if (valuePath[i] == u'\\') {
            lastSlash = i;
        }
    }
    if (lastSlash == pathLength) {
        *valueName = valuePath;
        return TRUE;
    }
    if (!AppendText(buffer, capacity, &length, TEXT("\\"), 1) ||
        !AppendText(buffer, capacity, &length, valuePath, lastSlash)) {
        return FALSE;
    }
    *valueName = valuePath + lastSlash + 1;
    return TRUE;
}

DWORD ReadUserValue(HANDLE printer, LPCWSTR valuePath, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed,
                    BOOL toPrinterDefault)
{
    if (printer == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (valuePath == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD localType = REG_NONE;
    DWORD localNeeded = 0;
    if (type == nullptr) {
        type = &localType;
    }
    if (needed == nullptr) {
        needed = &localNeeded;
    }

    if (toPrinterDefault) {
        WCHAR name[kValueNameChars];
        if (!BuildDefaultValueName(valuePath, name, kValueNameChars)) {
            return ERROR_INVALID_PARAMETER;
        }
        return GetPrinterDataW(printer, name, type, data, size, needed);
    }

    WCHAR path[kKeyPathChars];
    LPCWSTR valueName = nullptr;
    if (!BuildUserKeyPath(printer, valuePath, path, kKeyPathChars, &valueName)) {
        return ERROR_INVALID_HANDLE;
    }
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS) {
        return static_cast<DWORD>(result);
    }
    DWORD cb = size;
    result = RegQueryValueExW(key, valueName, nullptr, type, data, &cb);
    *needed = cb;
    RegCloseKey(key);
    return static_cast<DWORD>(result);
}

DWORD WriteUserValue(HANDLE printer, LPCWSTR valuePath, DWORD type, const BYTE *data, DWORD size,
                     BOOL toPrinterDefault)
{
    if (printer == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (valuePath == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }

    if (toPrinterDefault) {
        WCHAR name[kValueNameChars];
        if (!BuildDefaultValueName(valuePath, name, kValueNameChars)) {
            return ERROR_INVALID_PARAMETER;
        }
        return SetPrinterDataW(printer, name, type, const_cast<LPBYTE>(data), size);
    }

    WCHAR path[kKeyPathChars];
    LPCWSTR valueName = nullptr;
    if (!BuildUserKeyPath(printer, valuePath, path, kKeyPathChars, &valueName)) {
        return ERROR_INVALID_HANDLE;
    }
    // The printer key is created on its own first, so that the attribute bits
    // land on the printer key even when the first value written sits in a
    // subkey: the clean-up reads them there.
    WCHAR printerKeyPath[kKeyPathChars];
    DWORD printerKeyLength = 0;
    if (!BuildPrinterKeyPath(printer, printerKeyPath, kKeyPathChars, &printerKeyLength)) {
        return ERROR_INVALID_HANDLE;
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, printerKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (result != ERROR_SUCCESS) {
        return static_cast<DWORD>(result);
    }
    if (disposition == REG_CREATED_NEW_KEY) {
        PRINTER_INFO_4W *info = GetPrinterInfo4(printer);
        if (info != nullptr) {
            DWORD attributes = info->Attributes;
            RegSetValueExW(key, nullptr, 0, REG_BINARY, reinterpret_cast<const BYTE *>(&attributes),
                           sizeof(attributes));
            FreePrinterInfo4(info);
        }
        // A new printer key is the moment a user's store grows, so it is
        // also the moment to drop what printers that are gone left behind.
        CleanUpUserStore();
    }
    if (path[printerKeyLength] == u'\\') {
        HKEY subkey = nullptr;
        result = RegCreateKeyExW(key, path + printerKeyLength + 1, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &subkey, nullptr);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS) {
            return static_cast<DWORD>(result);
        }
        key = subkey;
    }
    result = RegSetValueExW(key, valueName, 0, type, data, size);
    RegCloseKey(key);
    return static_cast<DWORD>(result);
}

BOOL DeleteKeyTree(HKEY parent, LPCWSTR subkey)
{
    HKEY key = nullptr;
    if (subkey == nullptr || RegOpenKeyExW(parent, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return FALSE;
    }
    for (;;) {
        WCHAR child[kKeyNameChars];
        DWORD childLength = kKeyNameChars;
        LONG result = RegEnumKeyExW(key, 0, child, &childLength, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || !DeleteKeyTree(key, child)) {
            RegCloseKey(key);
            return FALSE;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, subkey) == ERROR_SUCCESS;
}

BOOL DeleteUserPrinterKey(LPCWSTR id, DWORD mask)
{
    WCHAR rootPath[kKeyPathChars];
    HKEY root = nullptr;
    if (id == nullptr || !BuildUserStoreRoot(rootPath, kKeyPathChars) ||
        RegOpenKeyExW(HKEY_CURRENT_USER, rootPath, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS) {
        return FALSE;
    }
    BOOL result = TRUE;
    if (mask == 0) {
        result = DeleteKeyTree(root, id);
    } else {
        HKEY printerKey = nullptr;
        if (RegOpenKeyExW(root, id, 0, KEY_ALL_ACCESS, &printerKey) == ERROR_SUCCESS) {
            DWORD attributes = 0;
            DWORD type = REG_NONE;
            DWORD cb = sizeof(attributes);
            if (RegQueryValueExW(printerKey, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(&attributes), &cb) !=
                    ERROR_SUCCESS ||
                cb != sizeof(attributes)) {
                attributes = 0;
            }
            RegCloseKey(printerKey);
            if ((attributes & mask) != 0) {
                result = DeleteKeyTree(root, id);
            }
        }
    }
    RegCloseKey(root);
    return result;
}

PrinterIdList *ListPrinterIds()
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0) {
        return nullptr;
    }
    PVOID printers = nullptr;
    if (!MemAlloc(GetPrivateHeap(), &printers, needed)) {
        return nullptr;
    }
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, static_cast<LPBYTE>(printers), needed, &needed, &count) ||
        count == 0) {
        MemFree(printers);
        return nullptr;
    }
    PVOID block = nullptr;
    if (!MemAllocZero(&block, count * kPrinterIdChars * sizeof(WCHAR) + sizeof(DWORD))) {
        MemFree(printers);
        return nullptr;
    }
    PrinterIdList *list = static_cast<PrinterIdList *>(block);
    const PRINTER_INFO_4W *info = static_cast<const PRINTER_INFO_4W *>(printers);
    for (DWORD i = 0; i < count; ++i) {
        HANDLE printer = nullptr;
        if (info[i].pPrinterName == nullptr || !OpenPrinterW(info[i].pPrinterName, &printer, nullptr)) {
            continue;
        }
        if (ReadPrinterIdText(printer, PrinterIdEntry(list, list->count), kPrinterIdChars * sizeof(WCHAR))) {
            ++list->count;
        }
        ClosePrinter(printer);
    }
    MemFree(printers);
    return list;
}

void CleanUpUserStore()
{
    WCHAR rootPath[kKeyPathChars];
    if (!BuildUserStoreRoot(rootPath, kKeyPathChars)) {
        return;
    }
    PrinterIdList *list = ListPrinterIds();
    if (list == nullptr) {
        return;
    }
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, rootPath, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS) {
        MemFree(list);
        return;
    }
    DWORD index = 0;
    for (;;) {
        WCHAR name[kPrinterIdChars + 1];
        DWORD nameLength = kPrinterIdChars + 1;
        LONG result = RegEnumKeyExW(root, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS) {
            // A name too long to be an identity of ours: not ours to judge.
            ++index;
            continue;
        }
        BOOL known = FALSE;
        for (DWORD i = 0; i < list->count && !known; ++i) {
            known = SameKeyName(name, PrinterIdEntry(list, i));
        }
        if (!known) {
            DeleteUserPrinterKey(name, kLocalPrinterAttribute);
            // A deleted key moves the next one to this index; a kept one
            // (a connection's, or one that would not go) is stepped over.
            // The index itself tells which: a key that stays but cannot be
            // opened must not be visited again and again.
            WCHAR now[kPrinterIdChars + 1];
            DWORD nowLength = kPrinterIdChars + 1;
            if (RegEnumKeyExW(root, index, now, &nowLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
                !SameKeyName(now, name)) {
                continue;
            }
        }
        ++index;
    }
    RegCloseKey(root);
    MemFree(list);
}

void RemoveUserPrinterData(HANDLE printer)
{
    if (printer == nullptr) {
        CleanUpUserStore();
        return;
    }
    WCHAR id[kPrinterIdChars];
    if (ReadPrinterIdText(printer, id, sizeof(id))) {
        DeleteUserPrinterKey(id, 0);
    }
}

PRINTER_INFO_2W *GetPrinterInfo2(HANDLE printer)
{
    return static_cast<PRINTER_INFO_2W *>(ReadPrinterLevel(printer, 2));
}

void FreePrinterInfo2(PRINTER_INFO_2W *info)
{
    if (info != nullptr) {
        MemFree(info);
    }
}

PRINTER_INFO_4W *GetPrinterInfo4(HANDLE printer)
{
    return static_cast<PRINTER_INFO_4W *>(ReadPrinterLevel(printer, 4));
}

void FreePrinterInfo4(PRINTER_INFO_4W *info)
{
    if (info != nullptr) {
        MemFree(info);
    }
}

BOOL IsRawOnlyPrinter(HANDLE printer)
{
    PRINTER_INFO_2W *info = GetPrinterInfo2(printer);
    if (info == nullptr) {
        return FALSE;
    }
    BOOL rawOnly = (info->Attributes & kRawOnlyAttribute) != 0;
    FreePrinterInfo2(info);
    return rawOnly;
}
