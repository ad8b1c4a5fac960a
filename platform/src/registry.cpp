// The registry calls: key handles, access rights and the argument rules of
// Win32 over the store (memory, or the state directory's database).
//
// INVARIANT: a call that fails leaves the stored keys and values as they
// were; its store accesses run in one transaction that is committed only on
// success.
#include "kvp/registry.h"

#include <cstring>
#include <map>
#include <optional>

#include "kvp/system.h"
#include "store.h"

namespace kvp {
namespace {

// Generic rights a caller may ask for instead of key rights.
const REGSAM kGenericRead = 0x80000000;
const REGSAM kGenericWrite = 0x40000000;
const REGSAM kGenericExecute = 0x20000000;
const REGSAM kGenericAll = 0x10000000;
const REGSAM kMaximumAllowed = 0x02000000;

const size_t kMaxValueNameChars = 16383;

struct KeyHandle {
    KeyId id = 0;
    REGSAM access = 0;
};

struct Handles {
    std::map<ULONG_PTR, KeyHandle> open;
    // Never rewound, so a handle of an earlier system stays unknown.
    ULONG_PTR next = 0x1000;
};

Handles &H()
{
    static Handles h;
    return h;
}

void DropHandles() { H().open.clear(); }

struct RegisterReset {
    RegisterReset() { StoreOnReset(&DropHandles); }
} g_registerReset;

REGSAM MapAccess(REGSAM sam)
{
    REGSAM out = sam & 0x00FFFFFF;
    if (sam & kGenericRead) out |= KEY_READ;
    if (sam & kGenericWrite) out |= KEY_WRITE;
    if (sam & kGenericExecute) out |= KEY_EXECUTE;
    if (sam & (kGenericAll | kMaximumAllowed)) out |= KEY_ALL_ACCESS;
    return out;
}

// The predefined keys, in their sign-extended form as on 64-bit Windows
// and in the plain 32-bit form some callers build.
bool Predefined(HKEY h, DWORD *which)
{
    const ULONG_PTR v = reinterpret_cast<ULONG_PTR>(h);
    const ULONG_PTR high = v >> 32;
    const DWORD low = static_cast<DWORD>(v);
    if ((high != 0 && high != 0xFFFFFFFFu) || low < 0x80000000u || low > 0x80000003u) return false;
    *which = low;
    return true;
}

// HKEY_USERS\<user> of the current user; a user name with a backslash
// (domain\user) keeps to one key.
wstring16 UserKeyName()
{
    wstring16 name = WFromUtf8(SystemUserName());
    for (auto &c : name)
        if (c == u'\\') c = u'_';
    return name.empty() ? wstring16(u".DEFAULT") : name;
}

// Finds the key behind a predefined handle, creating the current user's
// branch or the classes key on first use. Runs before the call's own
// transaction, so that a reading call never has to turn into a writing one.
LONG PredefinedKey(DWORD which, KeyId *out)
{
    KeyId from;
    wstring16 path;
    switch (which) {
    case 0x80000002u: *out = kRootMachine; return ERROR_SUCCESS;
    case 0x80000003u: *out = kRootUsers; return ERROR_SUCCESS;
    case 0x80000001u:
        from = kRootUsers;
        path = UserKeyName();
        break;
    default:
        from = kRootMachine;
        path = u"SOFTWARE\\Classes";
        break;
    }
    {
        Txn read(false);
        if (read.status() != ERROR_SUCCESS) return read.status();
        LONG rc = OpenKeyPath(read.store(), from, path, out);
        if (rc != ERROR_FILE_NOT_FOUND) return rc;
    }
    Txn write(true);
    if (write.status() != ERROR_SUCCESS) return write.status();
    LONG rc = CreateKeyPath(write.store(), from, path, out, nullptr);
    return rc == ERROR_SUCCESS ? write.Commit() : rc;
}

LONG Resolve(HKEY h, KeyHandle *out)
{
    DWORD which;
    if (Predefined(h, &which)) {
        out->access = KEY_ALL_ACCESS;
        return PredefinedKey(which, &out->id);
    }
    auto it = H().open.find(reinterpret_cast<ULONG_PTR>(h));
    if (it == H().open.end()) return ERROR_INVALID_HANDLE;
    *out = it->second;
    return ERROR_SUCCESS;
}

HKEY NewHandle(KeyId id, REGSAM access)
{
    Handles &h = H();
    const ULONG_PTR v = h.next;
    h.next += 4;
    h.open[v] = KeyHandle{id, access};
    return reinterpret_cast<HKEY>(v);
}

wstring16 Name(LPCWSTR s) { return s ? wstring16(s) : wstring16(); }

// The common start of a call on a key: the lock, the handle, the fault hook,
// the transaction and the check that the key was not deleted meanwhile (by
// this process or another).
class KeyCall {
public:
    KeyCall(HKEY h, bool write) : lock_(StoreLock())
    {
        rc_ = Resolve(h, &key_);
        if (rc_ != ERROR_SUCCESS) return;
        if (SystemTakeFault(Fault::Registry)) {
            rc_ = ERROR_REGISTRY_IO_FAILED;
            return;
        }
        txn_.emplace(write);
        rc_ = txn_->status();
        if (rc_ != ERROR_SUCCESS) return;
        LONG e = txn_->store().KeyExists(key_.id);
        rc_ = e == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : e;
    }

    LONG rc() const { return rc_; }
    Store &store() { return txn_->store(); }
    KeyId id() const { return key_.id; }
    bool Allows(REGSAM need) const { return (key_.access & need) == need; }
    LONG Commit() { return txn_->Commit(); }

private:
    std::lock_guard<std::recursive_mutex> lock_;
    KeyHandle key_;
    LONG rc_ = ERROR_SUCCESS;
    std::optional<Txn> txn_;
};

bool CopyName(const wstring16 &name, LPWSTR out, DWORD capacity)
{
    if (name.size() + 1 > capacity) return false;
    std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    return true;
}

// A value's type and data under the size protocol of the value calls: the
// size goes wherever the caller has room for it, the data only when it fits.
LONG CopyValue(const ValueRec &v, LPDWORD type, LPBYTE data, LPDWORD cbData)
{
    const DWORD size = static_cast<DWORD>(v.data.size());
    if (type) *type = v.type;
    if (data) {
        if (*cbData < size) {
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, v.data.data(), size);
    }
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
}

// No key has a class: the caller who asks for one gets an empty one.
void ClearClass(LPWSTR cls, LPDWORD cchClass)
{
    if (!cchClass) return;
    if (cls && *cchClass) cls[0] = 0;
    *cchClass = 0;
}

void ClearFileTime(struct _FILETIME *ft)
{
    // Two DWORDs; no write times are kept.
    if (ft) std::memset(static_cast<void *>(ft), 0, 8);
}

}  // namespace
}  // namespace kvp

using namespace kvp;

KVP_API LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult)
{
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyCall call(hKey, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId id;
    LONG rc = OpenKeyPath(call.store(), call.id(), Name(lpSubKey), &id);
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    *phkResult = NewHandle(id, MapAccess(samDesired));
    return ERROR_SUCCESS;
}

KVP_API LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, struct _SECURITY_ATTRIBUTES *lpSecurityAttributes,
                                       PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyCall call(hKey, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId id;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    LONG rc = OpenKeyPath(call.store(), call.id(), lpSubKey, &id);
    if (rc == ERROR_FILE_NOT_FOUND) {
        // Opening an existing key through a read-only parent is fine;
        // adding one below it is not.
        if (!call.Allows(KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        rc = CreateKeyPath(call.store(), call.id(), lpSubKey, &id, nullptr);
        disposition = REG_CREATED_NEW_KEY;
    }
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    *phkResult = NewHandle(id, MapAccess(samDesired));
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

KVP_API LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    ValueRec v;
    LONG rc = call.store().GetValue(call.id(), Name(lpValueName), &v);
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    return CopyValue(v, lpType, lpData, lpcbData);
}

KVP_API LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE *lpData, DWORD cbData)
{
    if (!lpData && cbData) return ERROR_NOACCESS;
    const wstring16 name = Name(lpValueName);
    if (name.size() > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string data;
    if (cbData) data.assign(reinterpret_cast<const char *>(lpData), cbData);
    LONG rc = call.store().SetValue(call.id(), name, dwType, data);
    return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

KVP_API LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                                     LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                                     struct _FILETIME *lpftLastWriteTime)
{
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    std::vector<ChildRec> children;
    LONG rc = SortedChildren(call.store(), call.id(), &children);
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    if (dwIndex >= children.size()) return ERROR_NO_MORE_ITEMS;
    const wstring16 &name = children[dwIndex].name;
    if (!CopyName(name, lpName, *lpcchName)) return ERROR_MORE_DATA;
    *lpcchName = static_cast<DWORD>(name.size());
    ClearClass(lpClass, lpcchClass);
    ClearFileTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}

KVP_API LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                     LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::vector<ValueRec> values;
    LONG rc = call.store().Values(call.id(), &values);
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
    const ValueRec &v = values[dwIndex];
    if (!CopyName(v.name, lpValueName, *lpcchValueName)) return ERROR_MORE_DATA;
    *lpcchValueName = static_cast<DWORD>(v.name.size());
    return CopyValue(v, lpType, lpData, lpcbData);
}

KVP_API LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                        LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                        LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                        LPDWORD lpcbSecurityDescriptor, struct _FILETIME *lpftLastWriteTime)
{
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::vector<ChildRec> children;
    std::vector<ValueRec> values;
    LONG rc = call.store().Children(call.id(), &children);
    if (rc == ERROR_SUCCESS) rc = call.store().Values(call.id(), &values);
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    // Lengths of names in characters without the NUL, of data in bytes.
    size_t maxKey = 0, maxName = 0, maxData = 0;
    for (const auto &c : children) maxKey = std::max(maxKey, c.name.size());
    for (const auto &v : values) {
        maxName = std::max(maxName, v.name.size());
        maxData = std::max(maxData, v.data.size());
    }
    ClearClass(lpClass, lpcchClass);
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(children.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = static_cast<DWORD>(maxKey);
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = static_cast<DWORD>(maxName);
    if (lpcbMaxValueLen) *lpcbMaxValueLen = static_cast<DWORD>(maxData);
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    ClearFileTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}

KVP_API LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    KeyCall call(hKey, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId id;
    LONG rc = OpenKeyPath(call.store(), call.id(), lpSubKey, &id);
    if (rc != ERROR_SUCCESS) return rc;
    if (id == kRootMachine || id == kRootUsers) return ERROR_ACCESS_DENIED;
    std::vector<ChildRec> children;
    rc = call.store().Children(id, &children);
    if (rc != ERROR_SUCCESS) return rc;
    if (!children.empty()) return ERROR_ACCESS_DENIED;
    rc = call.store().DeleteKey(id);
    return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

KVP_API LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
    KeyCall call(hKey, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    if (!call.Allows(KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    LONG rc = call.store().DeleteValue(call.id(), Name(lpValueName));
    return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

KVP_API LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    DWORD which;
    if (Predefined(hKey, &which)) return ERROR_SUCCESS;
    return H().open.erase(reinterpret_cast<ULONG_PTR>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// Every write is committed before its call returns: nothing to flush.
KVP_API LSTATUS WINAPI RegFlushKey(HKEY hKey)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    DWORD which;
    if (Predefined(hKey, &which)) return ERROR_SUCCESS;
    return H().open.count(reinterpret_cast<ULONG_PTR>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
