// Printer data: named values under the printer's key in the registry
// (PrinterDriverData for the plain calls, any subkey for the Ex calls).
// These calls answer their Win32 error code instead of setting the last
// error.
//
// Writing needs PRINTER_ACCESS_ADMINISTER, which PRINTER_ALL_ACCESS
// includes; a handle opened for use only is refused, so a caller that
// opened the printer for printing has to open it again with full access to
// change its data.
#include <algorithm>
#include <memory>

#include "kvp/system.h"
#include "spooler_impl.h"

namespace kvp {
namespace {

// Finds (or, for a write, creates) the key KEYNAME below the handle's
// printer. A registry fault makes the call fail before it touches anything.
class DataCall {
public:
    DataCall(HANDLE h, bool write) : lock_(StoreLock())
    {
        ph_ = FindPrinterHandle(h);
        if (!ph_) {
            rc_ = ERROR_INVALID_HANDLE;
            return;
        }
        if (write && !(ph_->access & PRINTER_ACCESS_ADMINISTER)) {
            rc_ = ERROR_ACCESS_DENIED;
            return;
        }
        if (SystemTakeFault(Fault::Registry)) {
            rc_ = ERROR_REGISTRY_IO_FAILED;
            return;
        }
        txn_.reset(new Txn(write));
        rc_ = txn_->status();
        if (rc_ != ERROR_SUCCESS) return;
        rc_ = FindNamedPrinter(txn_->store(), ph_->printer, &printer_);
    }

    DWORD rc() const { return static_cast<DWORD>(rc_); }
    Store &store() { return txn_->store(); }

    // ERROR_FILE_NOT_FOUND when reading from a key that is not there.
    DWORD Key(const wstring16 &keyName, bool create, KeyId *out)
    {
        if (create) return static_cast<DWORD>(CreateKeyPath(store(), printer_.key, keyName, out, nullptr));
        return static_cast<DWORD>(OpenKeyPath(store(), printer_.key, keyName, out));
    }

    DWORD Commit() { return static_cast<DWORD>(txn_->Commit()); }

private:
    std::lock_guard<std::recursive_mutex> lock_;
    PrinterHandle *ph_ = nullptr;
    LONG rc_ = ERROR_SUCCESS;
    std::unique_ptr<Txn> txn_;
    PrinterRec printer_;
};

bool ValidKeyName(LPCWSTR key)
{
    if (!key || !*key || key[0] == u'\\') return false;
    return true;
}

DWORD GetData(HANDLE h, const wstring16 &keyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
              LPDWORD pcbNeeded)
{
    if (!pValueName || !pcbNeeded || (!pData && nSize)) return ERROR_INVALID_PARAMETER;
    DataCall call(h, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId key;
    DWORD rc = call.Key(keyName, false, &key);
    if (rc != ERROR_SUCCESS) return rc;
    ValueRec v;
    rc = static_cast<DWORD>(call.store().GetValue(key, pValueName, &v));
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    const DWORD size = static_cast<DWORD>(v.data.size());
    *pcbNeeded = size;
    if (pType) *pType = v.type;
    if (nSize < size) return ERROR_MORE_DATA;
    if (size) std::memcpy(pData, v.data.data(), size);
    return ERROR_SUCCESS;
}

DWORD SetData(HANDLE h, const wstring16 &keyName, LPCWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData)
{
    if (!pValueName || (!pData && cbData)) return ERROR_INVALID_PARAMETER;
    DataCall call(h, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId key;
    DWORD rc = call.Key(keyName, true, &key);
    if (rc != ERROR_SUCCESS) return rc;
    std::string data;
    if (cbData) data.assign(reinterpret_cast<const char *>(pData), cbData);
    rc = static_cast<DWORD>(call.store().SetValue(key, pValueName, Type, data));
    return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

}  // namespace
}  // namespace kvp

using namespace kvp;

KVP_API DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                                     LPDWORD pcbNeeded)
{
    return GetData(hPrinter, kPrinterDataKey, pValueName, pType, pData, nSize, pcbNeeded);
}

KVP_API DWORD WINAPI GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType,
                                       LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded)
{
    if (!ValidKeyName(pKeyName)) return ERROR_INVALID_PARAMETER;
    return GetData(hPrinter, pKeyName, pValueName, pType, pData, nSize, pcbNeeded);
}

KVP_API DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData)
{
    return SetData(hPrinter, kPrinterDataKey, pValueName, Type, pData, cbData);
}

KVP_API DWORD WINAPI SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type,
                                       LPBYTE pData, DWORD cbData)
{
    if (!ValidKeyName(pKeyName)) return ERROR_INVALID_PARAMETER;
    return SetData(hPrinter, pKeyName, pValueName, Type, pData, cbData);
}

KVP_API DWORD WINAPI DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName)
{
    if (!pValueName) return ERROR_INVALID_PARAMETER;
    DataCall call(hPrinter, true);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId key;
    DWORD rc = call.Key(kPrinterDataKey, false, &key);
    if (rc != ERROR_SUCCESS) return rc;
    rc = static_cast<DWORD>(call.store().DeleteValue(key, pValueName));
    return rc == ERROR_SUCCESS ? call.Commit() : rc;
}

// Sizes are in bytes, names with their NUL. With both buffer sizes zero the
// call reports the sizes of the longest name and the largest data among the
// values, so that one pair of buffers serves the whole enumeration.
KVP_API DWORD WINAPI EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                                      LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData,
                                      LPDWORD pcbData)
{
    if (!pcbValueName || !pcbData || (!pValueName && cbValueName) || (!pData && cbData))
        return ERROR_INVALID_PARAMETER;
    DataCall call(hPrinter, false);
    if (call.rc() != ERROR_SUCCESS) return call.rc();
    KeyId key;
    std::vector<ValueRec> values;
    DWORD rc = call.Key(kPrinterDataKey, false, &key);
    if (rc == ERROR_SUCCESS) rc = static_cast<DWORD>(call.store().Values(key, &values));
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_NO_MORE_ITEMS;
    if (rc != ERROR_SUCCESS) return rc;
    rc = call.Commit();
    if (rc != ERROR_SUCCESS) return rc;
    if (cbValueName == 0 && cbData == 0) {
        if (values.empty()) return ERROR_NO_MORE_ITEMS;
        DWORD name = 0, data = 0;
        for (const auto &v : values) {
            name = std::max(name, static_cast<DWORD>((v.name.size() + 1) * sizeof(WCHAR)));
            data = std::max(data, static_cast<DWORD>(v.data.size()));
        }
        *pcbValueName = name;
        *pcbData = data;
        return ERROR_MORE_DATA;
    }
    if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
    const ValueRec &v = values[dwIndex];
    const DWORD nameBytes = static_cast<DWORD>((v.name.size() + 1) * sizeof(WCHAR));
    const DWORD size = static_cast<DWORD>(v.data.size());
    *pcbValueName = nameBytes;
    *pcbData = size;
    if (cbValueName < nameBytes || cbData < size) return ERROR_MORE_DATA;
    std::memcpy(pValueName, v.name.c_str(), nameBytes);
    if (size) std::memcpy(pData, v.data.data(), size);
    if (pType) *pType = v.type;
    return ERROR_SUCCESS;
}
