// The spooler's printers: how they and their drivers are kept in the
// registry, printer handles, and the printer and driver information levels.
#include <iconv.h>

#include <algorithm>

#include "kvp/system.h"
#include "spooler_impl.h"

namespace kvp {

const WCHAR kPrintersPath[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const WCHAR kDriversPath[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";
const WCHAR kEnvironment[] = u"Windows x64";
const WCHAR kPrinterDataKey[] = u"PrinterDriverData";

namespace {

// Registry value names of a printer's key and of a driver's key.
const WCHAR kValName[] = u"Name";
const WCHAR kValPort[] = u"Port";
const WCHAR kValDriver[] = u"Printer Driver";
const WCHAR kValShare[] = u"Share Name";
const WCHAR kValComment[] = u"Description";
const WCHAR kValLocation[] = u"Location";
const WCHAR kValSepFile[] = u"Separator File";
const WCHAR kValPrintProcessor[] = u"Print Processor";
const WCHAR kValDatatype[] = u"Datatype";
const WCHAR kValParameters[] = u"Parameters";
const WCHAR kValAttributes[] = u"Attributes";
const WCHAR kValPriority[] = u"Priority";
const WCHAR kValDefaultPriority[] = u"Default Priority";
const WCHAR kValStartTime[] = u"StartTime";
const WCHAR kValUntilTime[] = u"UntilTime";
const WCHAR kValStatus[] = u"Status";
const WCHAR kValDriverPath[] = u"Driver";
const WCHAR kValDataFile[] = u"Data File";
const WCHAR kValConfigFile[] = u"Configuration File";
const WCHAR kValHelpFile[] = u"Help File";
const WCHAR kValDependentFiles[] = u"Dependent Files";
const WCHAR kValMonitor[] = u"Monitor";
const WCHAR kValVersion[] = u"Version";

const DWORD kPrinterEnumIcon8 = 0x00800000;
const DWORD kDeviceNotSelectedTimeout = 15000;
const DWORD kTransmissionRetryTimeout = 45000;

const ValueRec *FindVal(const std::vector<ValueRec> &values, const WCHAR *name)
{
    for (const auto &v : values)
        if (WEqualNoCase(v.name, name)) return &v;
    return nullptr;
}

// A stored text, read within its stored size and up to its first NUL.
wstring16 TextOf(const std::string &data)
{
    wstring16 s(data.size() / sizeof(WCHAR), 0);
    if (!s.empty()) std::memcpy(&s[0], data.data(), s.size() * sizeof(WCHAR));
    size_t nul = s.find(WCHAR(0));
    if (nul != wstring16::npos) s.resize(nul);
    return s;
}

wstring16 Str(const std::vector<ValueRec> &values, const WCHAR *name)
{
    const ValueRec *v = FindVal(values, name);
    return v ? TextOf(v->data) : wstring16();
}

DWORD Dword(const std::vector<ValueRec> &values, const WCHAR *name, DWORD dflt)
{
    const ValueRec *v = FindVal(values, name);
    if (!v || v->data.size() < sizeof(DWORD)) return dflt;
    DWORD d;
    std::memcpy(&d, v->data.data(), sizeof d);
    return d;
}

std::vector<wstring16> Multi(const std::vector<ValueRec> &values, const WCHAR *name)
{
    std::vector<wstring16> out;
    const ValueRec *v = FindVal(values, name);
    if (!v) return out;
    wstring16 all(v->data.size() / sizeof(WCHAR), 0);
    if (!all.empty()) std::memcpy(&all[0], v->data.data(), all.size() * sizeof(WCHAR));
    size_t pos = 0;
    while (pos < all.size()) {
        size_t nul = all.find(WCHAR(0), pos);
        if (nul == wstring16::npos) nul = all.size();
        if (nul == pos) break;
        out.push_back(all.substr(pos, nul - pos));
        pos = nul + 1;
    }
    return out;
}

LONG PutStr(Store &store, KeyId key, const WCHAR *name, const wstring16 &s)
{
    std::string data(reinterpret_cast<const char *>(s.c_str()), (s.size() + 1) * sizeof(WCHAR));
    return store.SetValue(key, name, REG_SZ, data);
}

LONG PutDword(Store &store, KeyId key, const WCHAR *name, DWORD d)
{
    return store.SetValue(key, name, REG_DWORD, std::string(reinterpret_cast<const char *>(&d), sizeof d));
}

LONG PutMulti(Store &store, KeyId key, const WCHAR *name, const std::vector<wstring16> &list)
{
    wstring16 all;
    for (const auto &s : list) {
        all += s;
        all.push_back(0);
    }
    all.push_back(0);
    return store.SetValue(key, name, REG_MULTI_SZ,
                          std::string(reinterpret_cast<const char *>(all.data()), all.size() * sizeof(WCHAR)));
}

LONG ReadPrinter(Store &store, KeyId key, const wstring16 &keyName, PrinterRec *out)
{
    std::vector<ValueRec> v;
    LONG rc = store.Values(key, &v);
    if (rc != ERROR_SUCCESS) return rc;
    out->key = key;
    out->name = keyName;
    out->port = Str(v, kValPort);
    out->driver = Str(v, kValDriver);
    out->share = Str(v, kValShare);
    out->comment = Str(v, kValComment);
    out->location = Str(v, kValLocation);
    out->sepFile = Str(v, kValSepFile);
    out->printProcessor = Str(v, kValPrintProcessor);
    out->datatype = Str(v, kValDatatype);
    out->parameters = Str(v, kValParameters);
    out->attributes = Dword(v, kValAttributes, PRINTER_ATTRIBUTE_LOCAL);
    out->priority = Dword(v, kValPriority, 1);
    out->defaultPriority = Dword(v, kValDefaultPriority, 0);
    out->startTime = Dword(v, kValStartTime, 0);
    out->untilTime = Dword(v, kValUntilTime, 0);
    out->status = Dword(v, kValStatus, 0);
    return ERROR_SUCCESS;
}

// ---- printer handles ----

struct Handles {
    std::map<ULONG_PTR, PrinterHandle> open;
    ULONG_PTR next = 0x30000;  // never rewound: stale handles stay unknown
};

Handles &PH()
{
    static Handles h;
    return h;
}

void DropHandles() { PH().open.clear(); }

struct RegisterReset {
    RegisterReset() { StoreOnReset(&DropHandles); }
} g_registerReset;

// Text in the system's ANSI code page; what the code page cannot hold
// becomes '?', as the ANSI spooler calls answer.
std::string ToAnsi(const wstring16 &s)
{
    const UINT cp = SystemAnsiCodePage();
    const std::string charset = cp == 65001 ? std::string("UTF-8") : "CP" + std::to_string(cp);
    std::string out;
    iconv_t cd = iconv_open(charset.c_str(), "UTF-16LE");
    for (size_t i = 0; i < s.size();) {
        size_t n = (s[i] >= 0xD800 && s[i] < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
                       ? 2
                       : 1;
        bool done = false;
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            char in[4];
            std::memcpy(in, &s[i], n * sizeof(WCHAR));
            char buf[16];
            char *ip = in, *op = buf;
            size_t il = n * sizeof(WCHAR), ol = sizeof buf;
            if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0) {
                out.append(buf, static_cast<size_t>(op - buf));
                done = true;
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else if (s[i] < 0x80) {
            out.push_back(static_cast<char>(s[i]));
            done = true;
        }
        if (!done) out.push_back('?');
        i += n;
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return out;
}

wstring16 OrDefault(const wstring16 &s, const WCHAR *dflt) { return s.empty() ? wstring16(dflt) : s; }

void FillInfo1(const PrinterRec &p, PRINTER_INFO_1W *info, Packer &pk)
{
    info->Flags = kPrinterEnumIcon8;
    info->pDescription = pk.Str(p.name + u"," + p.driver + u"," + p.location);
    info->pName = pk.Str(p.name);
    info->pComment = pk.Str(p.comment);
}

// Level 2 in either character set; PUT lays out one of its texts.
template <class Info, class Put>
void FillInfo2Of(const PrinterRec &p, DWORD jobs, Info *info, Put put)
{
    info->pServerName = nullptr;  // a local printer
    info->pPrinterName = put(p.name);
    info->pShareName = put(p.share);
    info->pPortName = put(p.port);
    info->pDriverName = put(p.driver);
    info->pComment = put(p.comment);
    info->pLocation = put(p.location);
    info->pDevMode = nullptr;
    info->pSepFile = put(p.sepFile);
    info->pPrintProcessor = put(OrDefault(p.printProcessor, u"winprint"));
    info->pDatatype = put(OrDefault(p.datatype, u"RAW"));
    info->pParameters = put(p.parameters);
    info->pSecurityDescriptor = nullptr;
    info->Attributes = p.attributes;
    info->Priority = p.priority;
    info->DefaultPriority = p.defaultPriority;
    info->StartTime = p.startTime;
    info->UntilTime = p.untilTime;
    info->Status = p.status;
    info->cJobs = jobs;
    info->AveragePPM = 0;
}

void FillInfo2(const PrinterRec &p, DWORD jobs, PRINTER_INFO_2W *info, Packer &pk)
{
    FillInfo2Of(p, jobs, info, [&](const wstring16 &s) { return pk.Str(s); });
}

void FillInfo2A(const PrinterRec &p, DWORD jobs, PRINTER_INFO_2A *info, Packer &pk)
{
    FillInfo2Of(p, jobs, info, [&](const wstring16 &s) { return pk.StrA(ToAnsi(s)); });
}

void FillInfo4(const PrinterRec &p, PRINTER_INFO_4W *info, Packer &pk)
{
    info->pPrinterName = pk.Str(p.name);
    info->pServerName = nullptr;
    info->Attributes = p.attributes;
}

void FillInfo5(const PrinterRec &p, PRINTER_INFO_5W *info, Packer &pk)
{
    info->pPrinterName = pk.Str(p.name);
    info->pPortName = pk.Str(p.port);
    info->Attributes = p.attributes;
    info->DeviceNotSelectedTimeout = kDeviceNotSelectedTimeout;
    info->TransmissionRetryTimeout = kTransmissionRetryTimeout;
}

// The fields driver level 2 has and level 3 begins with.
template <class Info>
void FillDriver2(const DriverRec &d, Info *info, Packer &pk)
{
    info->cVersion = d.version;
    info->pName = pk.Str(d.name);
    info->pEnvironment = pk.Str(kEnvironment);
    info->pDriverPath = pk.Str(d.driverPath);
    info->pDataFile = pk.Str(d.dataFile);
    info->pConfigFile = pk.Str(d.configFile);
}

// Packs PRINTERS at LEVEL (1, 2, 4 or 5); JOBS holds each one's job count.
DWORD PackPrinters(DWORD level, const std::vector<PrinterRec> &printers, const std::vector<DWORD> &jobs, BYTE *buf,
                   DWORD cbBuf, DWORD *needed)
{
    const size_t n = printers.size();
    switch (level) {
    case 1:
        return PackLevel<PRINTER_INFO_1W>(
            n, [&](size_t i, PRINTER_INFO_1W *info, Packer &pk) { FillInfo1(printers[i], info, pk); }, buf, cbBuf,
            needed);
    case 2:
        return PackLevel<PRINTER_INFO_2W>(
            n, [&](size_t i, PRINTER_INFO_2W *info, Packer &pk) { FillInfo2(printers[i], jobs[i], info, pk); }, buf,
            cbBuf, needed);
    case 4:
        return PackLevel<PRINTER_INFO_4W>(
            n, [&](size_t i, PRINTER_INFO_4W *info, Packer &pk) { FillInfo4(printers[i], info, pk); }, buf, cbBuf,
            needed);
    case 5:
        return PackLevel<PRINTER_INFO_5W>(
            n, [&](size_t i, PRINTER_INFO_5W *info, Packer &pk) { FillInfo5(printers[i], info, pk); }, buf, cbBuf,
            needed);
    default:
        return ERROR_INVALID_LEVEL;
    }
}

// Reads the handle's printer (and, for level 2, its job count) in one
// transaction. ERROR_INVALID_PRINTER_NAME once the printer is gone.
DWORD LoadHandlePrinter(const PrinterHandle &h, bool countJobs, PrinterRec *out, DWORD *jobs)
{
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return t.status();
    LONG rc = FindNamedPrinter(t.store(), h.printer, out);
    if (rc != ERROR_SUCCESS) return rc;
    *jobs = 0;
    if (countJobs) {
        std::vector<JobRec> list;
        rc = PrinterJobs(t.store(), out->name, &list);
        if (rc != ERROR_SUCCESS) return rc;
        *jobs = static_cast<DWORD>(list.size());
    }
    return t.Commit();
}

}  // namespace

LONG FindPrinter(Store &store, const wstring16 &name, PrinterRec *out)
{
    KeyId printers;
    LONG rc = OpenKeyPath(store, kRootMachine, kPrintersPath, &printers);
    if (rc != ERROR_SUCCESS) return rc;
    ChildRec child;
    rc = store.FindChild(printers, name, &child);
    if (rc != ERROR_SUCCESS) return rc;
    return ReadPrinter(store, child.id, child.name, out);
}

LONG FindNamedPrinter(Store &store, const wstring16 &name, PrinterRec *out)
{
    LONG rc = FindPrinter(store, name, out);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_PRINTER_NAME : rc;
}

LONG AllPrinters(Store &store, std::vector<PrinterRec> *out)
{
    out->clear();
    KeyId printers;
    LONG rc = OpenKeyPath(store, kRootMachine, kPrintersPath, &printers);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<ChildRec> children;
    rc = SortedChildren(store, printers, &children);
    if (rc != ERROR_SUCCESS) return rc;
    for (const auto &c : children) {
        PrinterRec p;
        rc = ReadPrinter(store, c.id, c.name, &p);
        if (rc != ERROR_SUCCESS) return rc;
        out->push_back(p);
    }
    return ERROR_SUCCESS;
}

LONG FindDriver(Store &store, const wstring16 &name, DriverRec *out)
{
    KeyId drivers;
    LONG rc = OpenKeyPath(store, kRootMachine, kDriversPath, &drivers);
    if (rc != ERROR_SUCCESS) return rc;
    ChildRec child;
    rc = store.FindChild(drivers, name, &child);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<ValueRec> v;
    rc = store.Values(child.id, &v);
    if (rc != ERROR_SUCCESS) return rc;
    out->name = child.name;
    out->version = Dword(v, kValVersion, 3);
    out->driverPath = Str(v, kValDriverPath);
    out->dataFile = Str(v, kValDataFile);
    out->configFile = Str(v, kValConfigFile);
    out->helpFile = Str(v, kValHelpFile);
    out->dependentFiles = Multi(v, kValDependentFiles);
    out->monitor = Str(v, kValMonitor);
    out->defaultDatatype = Str(v, kValDatatype);
    return ERROR_SUCCESS;
}

LONG SavePrinter(Store &store, PrinterRec *rec)
{
    KeyId printers;
    LONG rc = CreateKeyPath(store, kRootMachine, kPrintersPath, &printers, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    ChildRec child;
    rc = store.FindChild(printers, rec->name, &child);
    if (rc == ERROR_FILE_NOT_FOUND) {
        rc = store.AddChild(printers, rec->name, &child.id);
        child.name = rec->name;
    }
    if (rc != ERROR_SUCCESS) return rc;
    rec->key = child.id;
    KeyId data;
    const struct {
        const WCHAR *name;
        const wstring16 *text;
    } texts[] = {
        {kValName, &child.name},       {kValPort, &rec->port},
        {kValDriver, &rec->driver},    {kValShare, &rec->share},
        {kValComment, &rec->comment},  {kValLocation, &rec->location},
        {kValSepFile, &rec->sepFile},  {kValPrintProcessor, &rec->printProcessor},
        {kValDatatype, &rec->datatype}, {kValParameters, &rec->parameters},
    };
    for (const auto &t : texts)
        if ((rc = PutStr(store, child.id, t.name, *t.text)) != ERROR_SUCCESS) return rc;
    const struct {
        const WCHAR *name;
        DWORD value;
    } dwords[] = {
        {kValAttributes, rec->attributes}, {kValPriority, rec->priority}, {kValDefaultPriority, rec->defaultPriority},
        {kValStartTime, rec->startTime},   {kValUntilTime, rec->untilTime}, {kValStatus, rec->status},
    };
    for (const auto &d : dwords)
        if ((rc = PutDword(store, child.id, d.name, d.value)) != ERROR_SUCCESS) return rc;
    return CreateKeyPath(store, child.id, kPrinterDataKey, &data, nullptr);
}

LONG SaveDriver(Store &store, const DriverRec &rec)
{
    KeyId key;
    LONG rc = CreateKeyPath(store, kRootMachine, wstring16(kDriversPath) + u"\\" + rec.name, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    const struct {
        const WCHAR *name;
        const wstring16 *text;
    } texts[] = {
        {kValDriverPath, &rec.driverPath}, {kValDataFile, &rec.dataFile},   {kValConfigFile, &rec.configFile},
        {kValHelpFile, &rec.helpFile},     {kValMonitor, &rec.monitor},     {kValDatatype, &rec.defaultDatatype},
    };
    for (const auto &t : texts)
        if ((rc = PutStr(store, key, t.name, *t.text)) != ERROR_SUCCESS) return rc;
    if ((rc = PutMulti(store, key, kValDependentFiles, rec.dependentFiles)) != ERROR_SUCCESS) return rc;
    return PutDword(store, key, kValVersion, rec.version);
}

LONG PrinterJobs(Store &store, const wstring16 &printer, std::vector<JobRec> *out)
{
    std::vector<JobRec> all;
    LONG rc = store.Jobs(&all);
    if (rc != ERROR_SUCCESS) return rc;
    out->clear();
    for (const auto &j : all)
        if (WEqualNoCase(j.printer, printer)) out->push_back(j);
    return ERROR_SUCCESS;
}

bool LocalPrinterName(const wstring16 &given, wstring16 *out)
{
    if (given.size() < 2 || given[0] != u'\\' || given[1] != u'\\') {
        *out = given;
        return true;
    }
    size_t sep = given.find(u'\\', 2);
    if (sep == wstring16::npos) return false;
    if (!WEqualNoCase(given.substr(2, sep - 2), WFromUtf8(SystemMachineName()))) return false;
    *out = given.substr(sep + 1);
    return true;
}

bool ValidPrinterName(const wstring16 &name)
{
    return !name.empty() && name.find(u'\\') == wstring16::npos && name.find(u',') == wstring16::npos;
}

bool ValidDatatype(const wstring16 &datatype)
{
    static const WCHAR *const kKnown[] = {u"RAW", u"RAW [FF appended]", u"RAW [FF auto]", u"TEXT", u"NT EMF 1.008",
                                          nullptr};
    for (int i = 0; kKnown[i]; ++i)
        if (WEqualNoCase(datatype, kKnown[i])) return true;
    return false;
}

PrinterHandle *FindPrinterHandle(HANDLE h)
{
    auto it = PH().open.find(reinterpret_cast<ULONG_PTR>(h));
    return it == PH().open.end() ? nullptr : &it->second;
}

}  // namespace kvp

using namespace kvp;

KVP_API BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    // The print server itself (a null name) has no printer behind it here.
    if (!pPrinterName || !*pPrinterName) return Fail(ERROR_INVALID_PARAMETER);
    wstring16 name;
    if (!LocalPrinterName(pPrinterName, &name) || !ValidPrinterName(name)) return Fail(ERROR_INVALID_PRINTER_NAME);
    if (pDefault && pDefault->pDatatype && !ValidDatatype(pDefault->pDatatype)) return Fail(ERROR_INVALID_DATATYPE);
    DWORD access = pDefault ? pDefault->DesiredAccess : 0;
    // Generic rights stand for the printer rights they imply.
    if (access & 0x80000000u) access |= PRINTER_READ;
    if (access & 0x40000000u) access |= PRINTER_WRITE;
    if (access & 0x20000000u) access |= PRINTER_EXECUTE;
    if (access & (0x10000000u | 0x02000000u)) access |= PRINTER_ALL_ACCESS;
    access &= 0x00FFFFFFu;
    if (access == 0) access = PRINTER_ACCESS_USE;

    PrinterRec p;
    {
        Txn t(false);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        LONG rc = FindNamedPrinter(t.store(), name, &p);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        rc = t.Commit();
        if (rc != ERROR_SUCCESS) return Fail(rc);
    }
    Handles &h = PH();
    const ULONG_PTR v = h.next;
    h.next += 8;
    PrinterHandle ph;
    ph.printer = p.name;
    ph.access = access;
    h.open[v] = ph;
    *phPrinter = reinterpret_cast<HANDLE>(v);
    return TRUE;
}

KVP_API BOOL WINAPI ClosePrinter(HANDLE hPrinter)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    // A document left open is ended, so its job keeps what was written.
    if (ph->job) FinishDocument(ph);
    PH().open.erase(reinterpret_cast<ULONG_PTR>(hPrinter));
    return TRUE;
}

KVP_API BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1 && Level != 2 && Level != 4 && Level != 5) return Fail(ERROR_INVALID_LEVEL);
    PrinterRec p;
    DWORD jobs = 0;
    DWORD rc = LoadHandlePrinter(*ph, Level == 2, &p, &jobs);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    rc = PackPrinters(Level, std::vector<PrinterRec>{p}, std::vector<DWORD>{jobs}, pPrinter, cbBuf, pcbNeeded);
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

KVP_API BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
    PrinterRec p;
    DWORD jobs = 0;
    DWORD rc = LoadHandlePrinter(*ph, true, &p, &jobs);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    rc = PackLevel<PRINTER_INFO_2A>(
        1, [&](size_t, PRINTER_INFO_2A *info, Packer &pk) { FillInfo2A(p, jobs, info, pk); }, pPrinter, cbBuf,
        pcbNeeded);
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

KVP_API BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                                  LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcbNeeded || !pcReturned) return Fail(ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (Level != 1 && Level != 2 && Level != 4 && Level != 5) return Fail(ERROR_INVALID_LEVEL);
    // A server name, when one is given, must be this machine.
    if ((Flags & PRINTER_ENUM_NAME) && Name && *Name) {
        wstring16 server(Name);
        if (server.size() < 3 || server.compare(0, 2, u"\\\\") != 0 ||
            !WEqualNoCase(server.substr(2), WFromUtf8(SystemMachineName())))
            return Fail(ERROR_INVALID_NAME);
    }
    std::vector<PrinterRec> all, chosen;
    std::vector<DWORD> jobs;
    {
        Txn t(false);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        LONG rc = AllPrinters(t.store(), &all);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        for (const auto &p : all) {
            const bool connection = (p.attributes & PRINTER_ATTRIBUTE_NETWORK) != 0;
            bool take = connection ? (Flags & PRINTER_ENUM_CONNECTIONS) != 0
                                   : (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) != 0;
            if ((Flags & PRINTER_ENUM_DEFAULT) && (p.attributes & PRINTER_ATTRIBUTE_DEFAULT)) take = true;
            if (!take) continue;
            std::vector<JobRec> list;
            if (Level == 2 && (rc = PrinterJobs(t.store(), p.name, &list)) != ERROR_SUCCESS) return Fail(rc);
            chosen.push_back(p);
            jobs.push_back(static_cast<DWORD>(list.size()));
        }
        rc = t.Commit();
        if (rc != ERROR_SUCCESS) return Fail(rc);
    }
    DWORD rc = PackPrinters(Level, chosen, jobs, pPrinterEnum, cbBuf, pcbNeeded);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    *pcReturned = static_cast<DWORD>(chosen.size());
    return TRUE;
}

KVP_API BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                      DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    if (Level < 1 || Level > 3) return Fail(ERROR_INVALID_LEVEL);
    if (pEnvironment && *pEnvironment && !WEqualNoCase(pEnvironment, kEnvironment))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    DriverRec d;
    {
        PrinterRec p;
        DWORD jobs;
        DWORD rc = LoadHandlePrinter(*ph, false, &p, &jobs);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        Txn t(false);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        LONG lrc = FindDriver(t.store(), p.driver, &d);
        if (lrc == ERROR_FILE_NOT_FOUND) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
        if (lrc != ERROR_SUCCESS) return Fail(lrc);
        lrc = t.Commit();
        if (lrc != ERROR_SUCCESS) return Fail(lrc);
    }
    DWORD rc;
    if (Level == 1) {
        rc = PackLevel<DRIVER_INFO_1W>(
            1, [&](size_t, DRIVER_INFO_1W *info, Packer &pk) { info->pName = pk.Str(d.name); }, pDriverInfo, cbBuf,
            pcbNeeded);
    } else if (Level == 2) {
        rc = PackLevel<DRIVER_INFO_2W>(
            1, [&](size_t, DRIVER_INFO_2W *info, Packer &pk) { FillDriver2(d, info, pk); }, pDriverInfo, cbBuf,
            pcbNeeded);
    } else {
        rc = PackLevel<DRIVER_INFO_3W>(
            1,
            [&](size_t, DRIVER_INFO_3W *info, Packer &pk) {
                FillDriver2(d, info, pk);
                info->pHelpFile = pk.StrOrNull(d.helpFile);
                info->pDependentFiles = d.dependentFiles.empty() ? nullptr : pk.Multi(d.dependentFiles);
                info->pMonitorName = pk.StrOrNull(d.monitor);
                info->pDefaultDataType = pk.StrOrNull(d.defaultDatatype);
            },
            pDriverInfo, cbBuf, pcbNeeded);
    }
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}
