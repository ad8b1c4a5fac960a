// Printer identity and the per-user registry store.
//
// Printer names change and several printers share one driver, so every
// printer gets a permanent identity, a UUID kept in its printer data as
// OEMPrinterID. Values that belong to one user and one printer (the secure
// print credentials a user types) live in the current user's registry under
// that identity:
//
//   HKEY_CURRENT_USER\<driver key>PrinterDriverData\<identity>[\<subkeys>]
//
// The printer key's default value holds the printer's attribute bits (4 bytes,
// REG_BINARY) as they were when the key was created; the clean-up uses them to
// tell keys of local printers, which it may remove once the printer is gone,
// from keys of printer connections, which it must keep.
#pragma once

#include "kvsys.h"

// Characters of one identity text as read from the printer data, with its NUL
// (a UUID text has 36).
constexpr DWORD kPrinterIdChars = 64;
// Bytes of a binary identity.
constexpr DWORD kPrinterIdBytes = 16;
// Below the driver's key (string 1 of the module) in HKEY_CURRENT_USER.
#define KV_USER_STORE_SUBKEY TEXT("PrinterDriverData\\")

inline constexpr WCHAR kValuePrinterId[] = TEXT("OEMPrinterID");

// Identity list built for the clean-up: a 32-bit count followed by count
// entries of kPrinterIdChars characters. Allocated from the private heap;
// free it with MemFree.
struct PrinterIdList {
    DWORD count;
};

// Entry INDEX of LIST (no check against the count).
inline LPWSTR PrinterIdEntry(PrinterIdList *list, DWORD index)
{
    return reinterpret_cast<LPWSTR>(reinterpret_cast<BYTE *>(list) + sizeof(DWORD) +
                                    static_cast<size_t>(index) * kPrinterIdChars * sizeof(WCHAR));
}

// Makes sure the printer has an identity, creating and storing a new UUID (or
// the non-zero one passed in ID) when it has none. ID, when given, is 16 bytes
// and receives the identity in binary; an identity text that does not convert
// leaves it unchanged. False without a printer or when a new identity cannot be
// created or stored.
BOOL GetOrCreatePrinterId(HANDLE printer, LPBYTE id);

// Reads OEMPrinterID into BUFFER (SIZE bytes), NUL-terminated. False when the
// value is missing, empty, not text, or does not fit with its NUL.
BOOL ReadPrinterIdText(HANDLE printer, LPWSTR buffer, DWORD size);

// The per-user store's root key path. False when CAPACITY (characters) is
// below its length + 1.
BOOL BuildUserStoreRoot(LPWSTR buffer, DWORD capacity);

// The key path of VALUEPATH for PRINTER: the printer key, plus the subkeys when
// the value path holds backslashes; VALUENAME points at the value name inside
// VALUEPATH. False when the printer has no identity or the path does not fit.
BOOL BuildUserKeyPath(HANDLE printer, LPCWSTR valuePath, LPWSTR buffer, DWORD capacity, LPCWSTR *valueName);

// Reads a per-user value. With TOPRINTERDEFAULT it reads the printer data value
// VALUEPATH + "Default" instead and leaves the user's registry alone. NEEDED
// receives the value's size. Returns a Windows error code (0 on success):
// ERROR_INVALID_HANDLE without a printer or identity, ERROR_INVALID_PARAMETER
// without a value path, otherwise the registry's or spooler's own result.
DWORD ReadUserValue(HANDLE printer, LPCWSTR valuePath, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed,
                    BOOL toPrinterDefault);

// Writes a per-user value (or, with TOPRINTERDEFAULT, the printer data value
// VALUEPATH + "Default"). Creating the printer key stores the printer's
// attribute bits as its default value and cleans the user's stale keys.
// Returns a Windows error code as ReadUserValue.
DWORD WriteUserValue(HANDLE printer, LPCWSTR valuePath, DWORD type, const BYTE *data, DWORD size,
                     BOOL toPrinterDefault);

// Deletes SUBKEY of PARENT with everything below it.
BOOL DeleteKeyTree(HKEY parent, LPCWSTR subkey);

// Deletes the printer key of identity ID from the user store: always with
// MASK 0, otherwise only when its stored attribute bits share a bit with MASK.
// False when the root key cannot be opened or a deletion fails.
BOOL DeleteUserPrinterKey(LPCWSTR id, DWORD mask);

// The identities of the local printers that have one, or null.
PrinterIdList *ListPrinterIds();

// Deletes the user's printer keys of local printers that no longer exist; keys
// of printer connections stay.
void CleanUpUserStore();

// With a printer: deletes its printer key. Without one: CleanUpUserStore.
void RemoveUserPrinterData(HANDLE printer);

// PRINTER_INFO_2W of the printer in a private heap block, or null. Free with
// FreePrinterInfo2.
PRINTER_INFO_2W *GetPrinterInfo2(HANDLE printer);
void FreePrinterInfo2(PRINTER_INFO_2W *info);

// PRINTER_INFO_4W likewise (name and attributes, cheap on the spooler).
PRINTER_INFO_4W *GetPrinterInfo4(HANDLE printer);
void FreePrinterInfo4(PRINTER_INFO_4W *info);

// True when the printer's advanced printing features are off
// (PRINTER_ATTRIBUTE_RAW_ONLY).
BOOL IsRawOnlyPrinter(HANDLE printer);
