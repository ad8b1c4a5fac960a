// Jobs: documents started on a printer handle, their pages and spooled
// bytes, and their information level.
//
// INVARIANT: a WritePrinter that fails adds nothing to the job's bytes.
// Jobs stay after their document ends (as with a printer that keeps printed
// jobs), so that the bytes a printer would receive can be read back.
#include <time.h>

#include "kvp/system.h"
#include "spooler_impl.h"

#ifndef ERROR_PRINT_CANCELLED
#define ERROR_PRINT_CANCELLED 63L
#endif

namespace kvp {
namespace {

const WCHAR kDefaultDatatype[] = u"RAW";
const WCHAR kPrintProcessor[] = u"winprint";

// The handle's open job, read in the caller's transaction.
// ERROR_PRINT_CANCELLED when it was deleted meanwhile.
LONG OpenJob(Store &store, const PrinterHandle &ph, JobRec *out)
{
    LONG rc = store.GetJob(ph.job, out);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_PRINT_CANCELLED : rc;
}

// The handle of a call that works on the open document; null, with the
// last error set, for an unknown handle or one without a document.
PrinterHandle *DocumentHandle(HANDLE h)
{
    PrinterHandle *ph = FindPrinterHandle(h);
    if (!ph) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!ph->job) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    return ph;
}

struct JobFacts {
    JobRec job;
    DWORD position = 0;
    DWORD size = 0;
};

// What both levels report of a job. Its texts come first, in the order
// both levels lay them out.
template <class Info>
void FillJobCommon(const JobFacts &f, Info *info, Packer &pk)
{
    const JobRec &j = f.job;
    info->JobId = j.id;
    info->pPrinterName = pk.Str(j.printer);
    info->pMachineName = pk.Str(j.machine);
    info->pUserName = pk.Str(j.user);
    info->pDocument = pk.StrOrNull(j.document);
    info->pStatus = nullptr;
    info->Status = j.status;
    info->Priority = DEF_PRIORITY;
    info->Position = f.position;
    info->TotalPages = j.pages;
    info->PagesPrinted = 0;
    info->Submitted = j.submitted;
}

void FillJob1(const JobFacts &f, JOB_INFO_1W *info, Packer &pk)
{
    FillJobCommon(f, info, pk);
    info->pDatatype = pk.Str(f.job.datatype);
}

void FillJob2(const JobFacts &f, JOB_INFO_2W *info, Packer &pk)
{
    FillJobCommon(f, info, pk);
    const JobRec &j = f.job;
    info->pNotifyName = pk.Str(j.user);
    info->pDatatype = pk.Str(j.datatype);
    info->pPrintProcessor = pk.Str(kPrintProcessor);
    info->pParameters = pk.Str(wstring16());
    info->pDriverName = pk.Str(j.driver);
    info->pDevMode = nullptr;
    info->pSecurityDescriptor = nullptr;
    info->StartTime = 0;
    info->UntilTime = 0;
    info->Size = f.size;
    info->Time = 0;
}

}  // namespace

SYSTEMTIME SubmitTime()
{
    SYSTEMTIME t{};
    if (SystemFixedLocalTime(&t)) return t;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    gmtime_r(&ts.tv_sec, &tm);
    t.wYear = static_cast<WORD>(tm.tm_year + 1900);
    t.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    t.wDay = static_cast<WORD>(tm.tm_mday);
    t.wHour = static_cast<WORD>(tm.tm_hour);
    t.wMinute = static_cast<WORD>(tm.tm_min);
    t.wSecond = static_cast<WORD>(tm.tm_sec);
    t.wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
    return t;
}

LONG FinishDocument(PrinterHandle *ph)
{
    const DWORD id = ph->job;
    ph->job = 0;
    Txn t(true);
    if (t.status() != ERROR_SUCCESS) return t.status();
    JobRec job;
    LONG rc = t.store().GetJob(id, &job);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;  // deleted meanwhile: nothing to end
    if (rc != ERROR_SUCCESS) return rc;
    job.status = (job.status & ~static_cast<DWORD>(JOB_STATUS_SPOOLING)) | JOB_STATUS_COMPLETE;
    rc = t.store().PutJob(job);
    return rc == ERROR_SUCCESS ? t.Commit() : rc;
}

}  // namespace kvp

using namespace kvp;

KVP_API DWORD WINAPI StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
    if (!pDocInfo) return Fail(ERROR_INVALID_PARAMETER);
    if (ph->job) return Fail(ERROR_INVALID_PRINTER_STATE);
    if (!(ph->access & PRINTER_ACCESS_USE)) return Fail(ERROR_ACCESS_DENIED);
    const DOC_INFO_1W *doc = reinterpret_cast<const DOC_INFO_1W *>(pDocInfo);
    const wstring16 datatype = doc->pDatatype && *doc->pDatatype ? wstring16(doc->pDatatype) : kDefaultDatatype;
    if (!ValidDatatype(datatype)) return Fail(ERROR_INVALID_DATATYPE);

    Txn t(true);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    PrinterRec printer;
    LONG rc = FindNamedPrinter(t.store(), ph->printer, &printer);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    JobRec job;
    if ((rc = t.store().NewJobId(&job.id)) != ERROR_SUCCESS) return Fail(rc);
    job.printer = printer.name;
    job.document = doc->pDocName ? wstring16(doc->pDocName) : wstring16();
    job.user = WFromUtf8(SystemUserName());
    job.machine = u"\\\\" + WFromUtf8(SystemMachineName());
    job.datatype = datatype;
    job.driver = printer.driver;
    job.status = JOB_STATUS_SPOOLING;
    job.submitted = SubmitTime();
    if ((rc = t.store().PutJob(job)) != ERROR_SUCCESS) return Fail(rc);
    // The spool file exists from the start, empty until the first write.
    if ((rc = t.store().AppendSpool(job.id, "", 0)) != ERROR_SUCCESS) return Fail(rc);
    if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    ph->job = job.id;
    return job.id;
}

KVP_API BOOL WINAPI StartPagePrinter(HANDLE hPrinter)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = DocumentHandle(hPrinter);
    if (!ph) return FALSE;
    Txn t(true);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    JobRec job;
    LONG rc = OpenJob(t.store(), *ph, &job);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    ++job.pages;
    if ((rc = t.store().PutJob(job)) != ERROR_SUCCESS) return Fail(rc);
    rc = t.Commit();
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

KVP_API BOOL WINAPI EndPagePrinter(HANDLE hPrinter)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = DocumentHandle(hPrinter);
    if (!ph) return FALSE;
    return TRUE;
}

KVP_API BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcWritten) return Fail(ERROR_INVALID_PARAMETER);
    *pcWritten = 0;
    PrinterHandle *ph = DocumentHandle(hPrinter);
    if (!ph) return FALSE;
    if (!pBuf && cbBuf) return Fail(ERROR_INVALID_PARAMETER);
    if (SystemTakeFault(Fault::SpoolWrite)) return Fail(ERROR_WRITE_FAULT);
    Txn t(false);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    JobRec job;
    LONG rc = OpenJob(t.store(), *ph, &job);
    if (rc != ERROR_SUCCESS) return Fail(rc);
    if (cbBuf && (rc = t.store().AppendSpool(job.id, pBuf, cbBuf)) != ERROR_SUCCESS) return Fail(rc);
    if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    *pcWritten = cbBuf;
    return TRUE;
}

KVP_API BOOL WINAPI EndDocPrinter(HANDLE hPrinter)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = DocumentHandle(hPrinter);
    if (!ph) return FALSE;
    LONG rc = FinishDocument(ph);
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

// The job and what it spooled are dropped, as the spooler deletes the
// spool file of an aborted document.
KVP_API BOOL WINAPI AbortPrinter(HANDLE hPrinter)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    PrinterHandle *ph = DocumentHandle(hPrinter);
    if (!ph) return FALSE;
    const DWORD id = ph->job;
    ph->job = 0;
    Txn t(true);
    if (t.status() != ERROR_SUCCESS) return Fail(t.status());
    LONG rc = t.store().DeleteJob(id);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Fail(rc);
    if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    t.store().DeleteSpool(id);
    return TRUE;
}

KVP_API BOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
    PrinterHandle *ph = FindPrinterHandle(hPrinter);
    if (!ph) return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1 && Level != 2) return Fail(ERROR_INVALID_LEVEL);
    JobFacts f;
    {
        Txn t(false);
        if (t.status() != ERROR_SUCCESS) return Fail(t.status());
        LONG rc = t.store().GetJob(JobId, &f.job);
        // A job of another printer is as unknown to this handle as a job
        // that never was.
        if (rc == ERROR_FILE_NOT_FOUND || (rc == ERROR_SUCCESS && !WEqualNoCase(f.job.printer, ph->printer)))
            return Fail(ERROR_INVALID_PARAMETER);
        if (rc != ERROR_SUCCESS) return Fail(rc);
        std::vector<JobRec> jobs;
        if ((rc = PrinterJobs(t.store(), f.job.printer, &jobs)) != ERROR_SUCCESS) return Fail(rc);
        for (size_t i = 0; i < jobs.size(); ++i)
            if (jobs[i].id == JobId) f.position = static_cast<DWORD>(i + 1);
        if ((rc = t.store().SpoolSize(JobId, &f.size)) != ERROR_SUCCESS) return Fail(rc);
        if ((rc = t.Commit()) != ERROR_SUCCESS) return Fail(rc);
    }
    DWORD rc;
    if (Level == 1)
        rc = PackLevel<JOB_INFO_1W>(
            1, [&](size_t, JOB_INFO_1W *info, Packer &pk) { FillJob1(f, info, pk); }, pJob, cbBuf, pcbNeeded);
    else
        rc = PackLevel<JOB_INFO_2W>(
            1, [&](size_t, JOB_INFO_2W *info, Packer &pk) { FillJob2(f, info, pk); }, pJob, cbBuf, pcbNeeded);
    return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}
