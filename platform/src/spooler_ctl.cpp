// The spooler's control calls for the host simulator, the kvps command and
// the tests: installing printers and reading back what jobs spooled.
#include "kvp/spoolctl.h"

#include "spooler_impl.h"

namespace kvp {
namespace {

void ToRecords(const PrinterSpec &spec, PrinterRec *p, DriverRec *d)
{
    p->name = WFromUtf8(spec.name);
    p->port = WFromUtf8(spec.port);
    p->driver = WFromUtf8(spec.driverName);
    p->share = WFromUtf8(spec.shareName);
    p->comment = WFromUtf8(spec.comment);
    p->location = WFromUtf8(spec.location);
    p->attributes = spec.attributes;
    p->status = spec.status;
    d->name = p->driver;
    d->version = spec.driverVersion;
    d->driverPath = WFromUtf8(spec.driverPath);
    d->dataFile = WFromUtf8(spec.dataFile);
    d->configFile = WFromUtf8(spec.configFile);
    d->helpFile = WFromUtf8(spec.helpFile);
    d->dependentFiles.clear();
    for (const auto &f : spec.dependentFiles) d->dependentFiles.push_back(WFromUtf8(f));
}

PrinterSpec ToSpec(const PrinterRec &p, const DriverRec &d)
{
    PrinterSpec s;
    s.name = WToUtf8(p.name);
    s.port = WToUtf8(p.port);
    s.attributes = p.attributes;
    s.shareName = WToUtf8(p.share);
    s.comment = WToUtf8(p.comment);
    s.location = WToUtf8(p.location);
    s.status = p.status;
    s.driverName = WToUtf8(p.driver);
    s.driverVersion = d.version;
    s.dataFile = WToUtf8(d.dataFile);
    s.configFile = WToUtf8(d.configFile);
    s.driverPath = WToUtf8(d.driverPath);
    s.helpFile = WToUtf8(d.helpFile);
    for (const auto &f : d.dependentFiles) s.dependentFiles.push_back(WToUtf8(f));
    return s;
}

JobSpec ToJobSpec(Store &store, const JobRec &j)
{
    JobSpec s;
    s.id = j.id;
    s.printerName = WToUtf8(j.printer);
    s.document = WToUtf8(j.document);
    s.userName = WToUtf8(j.user);
    s.machineName = WToUtf8(j.machine);
    s.datatype = WToUtf8(j.datatype);
    s.status = j.status;
    s.totalPages = j.pages;
    store.SpoolSize(j.id, &s.size);
    s.submitted = j.submitted;
    return s;
}

// A printer whose driver record is missing still lists, with its driver
// name and no files.
LONG LoadSpec(Store &store, const PrinterRec &p, PrinterSpec *out)
{
    DriverRec d;
    LONG rc = FindDriver(store, p.driver, &d);
    if (rc == ERROR_FILE_NOT_FOUND) {
        d = DriverRec();
        d.name = p.driver;
    } else if (rc != ERROR_SUCCESS) {
        return rc;
    }
    *out = ToSpec(p, d);
    return ERROR_SUCCESS;
}

bool Install(const PrinterSpec &spec, bool update)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterRec p;
    DriverRec d;
    ToRecords(spec, &p, &d);
    if (!ValidPrinterName(p.name)) return Fail(ERROR_INVALID_PRINTER_NAME);
    if (p.driver.empty() || p.driver.find(u'\\') != wstring16::npos) return Fail(ERROR_INVALID_PARAMETER);
    Txn t(true);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    PrinterRec old;
    LONG rc = FindPrinter(t.store(), p.name, &old);
    if (rc == ERROR_SUCCESS && !update) return Fail(ERROR_PRINTER_ALREADY_EXISTS);
    if (rc == ERROR_FILE_NOT_FOUND && update) return Fail(ERROR_INVALID_PRINTER_NAME);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail(rc);
    if (update) {
        // The name keeps the case it was installed with; what a PrinterSpec does
        // not carry stays as it was.
        p.name = old.name;
        p.sepFile = old.sepFile;
        p.printProcessor = old.printProcessor;
        p.datatype = old.datatype;
        p.parameters = old.parameters;
        p.priority = old.priority;
        p.defaultPriority = old.defaultPriority;
        p.startTime = old.startTime;
        p.untilTime = old.untilTime;
    } else {
        p.printProcessor = u"winprint";
        p.datatype = u"RAW";
    }
    if ((rc = SaveDriver(t.store(), d)) != ERROR_SUCCESS) return Fail(rc);
    if ((rc = SavePrinter(t.store(), &p)) != ERROR_SUCCESS) return Fail(rc);
    rc = t.Commit();
    return rc == ERROR_SUCCESS ? true : Fail(rc);
}

}  // namespace

bool AddPrinter(const PrinterSpec &spec) { return Install(spec, false); }
bool UpdatePrinter(const PrinterSpec &spec) { return Install(spec, true); }

bool DeletePrinter(const std::string &name)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    std::vector<JobRec> jobs;
    {
        Txn t(true);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        PrinterRec p;
        LONG rc = FindNamedPrinter(t.store(), WFromUtf8(name), &p);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        if ((rc = DeleteKeyTree(t.store(), p.key)) != ERROR_SUCCESS) return Fail(rc);
        if ((rc = PrinterJobs(t.store(), p.name, &jobs)) != ERROR_SUCCESS) return Fail(rc);
        for (const auto &j : jobs)
            if ((rc = t.store().DeleteJob(j.id)) != ERROR_SUCCESS) return Fail(rc);
        if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    }
    Store *store = CurrentStore();
    for (const auto &j : jobs) store->DeleteSpool(j.id);
    return true;
}

bool GetPrinterSpec(const std::string &name, PrinterSpec *out)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    PrinterRec p;
    LONG rc = FindNamedPrinter(t.store(), WFromUtf8(name), &p);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    PrinterSpec spec;
    if ((rc = LoadSpec(t.store(), p, &spec)) != ERROR_SUCCESS) return Fail(rc);
    if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    *out = spec;
    return true;
}

std::vector<PrinterSpec> ListPrinters()
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    std::vector<PrinterSpec> out;
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return out;
    std::vector<PrinterRec> printers;
    if (AllPrinters(t.store(), &printers) != ERROR_SUCCESS) return out;
    for (const auto &p : printers) {
        PrinterSpec spec;
        if (LoadSpec(t.store(), p, &spec) != ERROR_SUCCESS) return std::vector<PrinterSpec>();
        out.push_back(spec);
    }
    t.Commit();
    return out;
}

std::string JobBytes(DWORD jobId)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    std::string out;
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return out;
    JobRec j;
    if (t.store().GetJob(jobId, &j) != ERROR_SUCCESS) return out;
    if (t.store().ReadSpool(jobId, &out) != ERROR_SUCCESS) out.clear();
    t.Commit();
    return out;
}

std::string JobSpoolPath(DWORD jobId)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return std::string();
    JobRec j;
    if (t.store().GetJob(jobId, &j) != ERROR_SUCCESS) return std::string();
    t.Commit();
    return t.store().SpoolPath(jobId);
}

DWORD LastJobId()
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    Txn t(false);
    DWORD id = 0;
    if (t.status() != ERROR_SUCCESS || t.store().LastJobId(&id) != ERROR_SUCCESS) return 0;
    t.Commit();
    return id;
}

bool GetJobSpec(DWORD jobId, JobSpec *out)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    JobRec j;
    LONG rc = t.store().GetJob(jobId, &j);
    if (rc == ERROR_FILE_NOT_FOUND) return Fail(ERROR_INVALID_PARAMETER);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    *out = ToJobSpec(t.store(), j);
    t.Commit();
    return true;
}

std::vector<JobSpec> ListJobs(const std::string &printerName)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    std::vector<JobSpec> out;
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return out;
    std::vector<JobRec> jobs;
    LONG rc = printerName.empty() ? t.store().Jobs(&jobs) : PrinterJobs(t.store(), WFromUtf8(printerName), &jobs);
    if (rc != ERROR_SUCCESS) return out;
    for (const auto &j : jobs) out.push_back(ToJobSpec(t.store(), j));
    t.Commit();
    return out;
}

bool DeleteJob(DWORD jobId)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    {
        Txn t(true);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        LONG rc = t.store().DeleteJob(jobId);
        if (rc == ERROR_FILE_NOT_FOUND) return Fail(ERROR_INVALID_PARAMETER);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    }
    CurrentStore()->DeleteSpool(jobId);
    return true;
}

}  // namespace kvp
