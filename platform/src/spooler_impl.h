// What the spooler's units share: printers and drivers as they are kept in
// the registry, printer handles, and the packing of level structures into a
// caller's buffer. Private to the platform.
//
// Printers live under HKEY_LOCAL_MACHINE\<kPrintersPath>\<name> (values
// below, printer data in the PrinterDriverData subkey), drivers under
// HKEY_LOCAL_MACHINE\<kDriversPath>\<driver name>, so they persist with the
// registry.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "kvp/spooler.h"
#include "store.h"

namespace kvp {

extern const WCHAR kPrintersPath[];
extern const WCHAR kDriversPath[];
extern const WCHAR kEnvironment[];
extern const WCHAR kPrinterDataKey[];

struct PrinterRec {
    KeyId key = 0;
    wstring16 name;
    wstring16 port;
    wstring16 driver;
    wstring16 share;
    wstring16 comment;
    wstring16 location;
    wstring16 sepFile;
    wstring16 printProcessor;
    wstring16 datatype;
    wstring16 parameters;
    DWORD attributes = 0;
    DWORD priority = 1;
    DWORD defaultPriority = 0;
    DWORD startTime = 0;
    DWORD untilTime = 0;
    DWORD status = 0;
};

struct DriverRec {
    wstring16 name;
    DWORD version = 3;
    wstring16 driverPath;
    wstring16 dataFile;
    wstring16 configFile;
    wstring16 helpFile;
    std::vector<wstring16> dependentFiles;
    wstring16 monitor;
    wstring16 defaultDatatype;
};

// ERROR_FILE_NOT_FOUND when there is no such printer or driver.
LONG FindPrinter(Store &store, const wstring16 &name, PrinterRec *out);
// FindPrinter for a printer a caller names or a handle stands for:
// ERROR_INVALID_PRINTER_NAME when there is none (any more).
LONG FindNamedPrinter(Store &store, const wstring16 &name, PrinterRec *out);
LONG AllPrinters(Store &store, std::vector<PrinterRec> *out);  // by name
LONG FindDriver(Store &store, const wstring16 &name, DriverRec *out);
// Writes the printer's values (creating its key and its PrinterDriverData
// key when missing) and fills in rec->key.
LONG SavePrinter(Store &store, PrinterRec *rec);
LONG SaveDriver(Store &store, const DriverRec &rec);
// Jobs of one printer (by name, ignoring case) in submission order.
LONG PrinterJobs(Store &store, const wstring16 &printer, std::vector<JobRec> *out);
// A printer name as given to OpenPrinterW, without a "\\<this machine>\"
// prefix; false for another server's printer.
bool LocalPrinterName(const wstring16 &given, wstring16 *out);
bool ValidPrinterName(const wstring16 &name);
bool ValidDatatype(const wstring16 &datatype);

struct PrinterHandle {
    wstring16 printer;  // as stored
    DWORD access = 0;
    DWORD job = 0;  // the open document's job, 0 when none
};

// Sets the last error and answers failure, for the calls that report
// through the last error.
inline BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// null for a handle this process never gave out (or already closed).
PrinterHandle *FindPrinterHandle(HANDLE h);
// Ends the handle's open document, as EndDocPrinter does.
LONG FinishDocument(PrinterHandle *h);
// The job's submission time: the system's fixed clock when set, else now (UTC).
SYSTEMTIME SubmitTime();

// Lays a level structure's strings out after the fixed part. Run once
// without a buffer to measure and once with it to fill.
class Packer {
public:
    Packer(BYTE *base, size_t offset) : base_(base), off_(offset) {}
    LPWSTR Str(const wstring16 &s)
    {
        return reinterpret_cast<LPWSTR>(Put(s.c_str(), (s.size() + 1) * sizeof(WCHAR)));
    }
    // For the optional strings, which an empty text leaves out.
    LPWSTR StrOrNull(const wstring16 &s) { return s.empty() ? nullptr : Str(s); }
    LPSTR StrA(const std::string &s) { return static_cast<LPSTR>(Put(s.c_str(), s.size() + 1)); }
    // NUL-separated list closed by an extra NUL.
    LPWSTR Multi(const std::vector<wstring16> &list)
    {
        wstring16 all;
        for (const auto &s : list) {
            all += s;
            all.push_back(0);
        }
        all.push_back(0);
        return reinterpret_cast<LPWSTR>(Put(all.data(), all.size() * sizeof(WCHAR)));
    }
    size_t end() const { return off_; }

private:
    void *Put(const void *data, size_t n)
    {
        void *p = nullptr;
        if (base_) {
            p = base_ + off_;
            std::memcpy(p, data, n);
        }
        off_ += n;
        return p;
    }

    BYTE *base_;
    size_t off_;
};

// The size protocol of every level call: measures COUNT records filled by
// FILL(i, info, packer), reports the needed size and fills BUF when it is
// big enough; otherwise ERROR_INSUFFICIENT_BUFFER.
template <class Info, class Fill>
DWORD PackLevel(size_t count, Fill fill, BYTE *buf, DWORD cbBuf, DWORD *needed)
{
    Packer measure(nullptr, count * sizeof(Info));
    for (size_t i = 0; i < count; ++i) {
        Info scratch{};
        fill(i, &scratch, measure);
    }
    *needed = static_cast<DWORD>(measure.end());
    // Nothing to return fits any buffer, even none.
    if (cbBuf < measure.end() || (!buf && measure.end())) return ERROR_INSUFFICIENT_BUFFER;
    Packer real(buf, count * sizeof(Info));
    for (size_t i = 0; i < count; ++i) {
        Info *info = reinterpret_cast<Info *>(buf + i * sizeof(Info));
        std::memset(static_cast<void *>(info), 0, sizeof(Info));
        fill(i, info, real);
    }
    return ERROR_SUCCESS;
}

}  // namespace kvp
