// Control of the emulated spooler: not Win32. The host simulator, the kvps
// command and the tests install printers and read what a job spooled with
// these; product code never does.
//
// Texts are UTF-8. Printer names compare without regard to case. Failures
// return false and set the Win32 last error, like the spooler's own calls.
#pragma once

#include <string>
#include <vector>

#include "kvp/spooler.h"
#include "kvp/system.h"

namespace kvp {

// A printer and the driver it uses. The driver is kept once per driver name
// (installing a printer with a known driver name updates that driver), as a
// Windows spooler keeps one copy of each installed driver.
struct PrinterSpec {
    std::string name;
    std::string port = "LPT1:";
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;
    std::string shareName;
    std::string comment;
    std::string location;
    DWORD status = 0;
    // Driver.
    std::string driverName;
    DWORD driverVersion = 3;
    std::string dataFile;    // the PPD path (DRIVER_INFO_2W pDataFile)
    std::string configFile;  // the UI module (pConfigFile)
    std::string driverPath;  // the render module (pDriverPath)
    std::string helpFile;
    std::vector<std::string> dependentFiles;
};

struct JobSpec {
    DWORD id = 0;
    std::string printerName;
    std::string document;
    std::string userName;
    std::string machineName;  // with its leading "\\"
    std::string datatype;
    DWORD status = 0;         // JOB_STATUS_*
    DWORD totalPages = 0;
    DWORD size = 0;           // spooled bytes
    SYSTEMTIME submitted{};
};

// Install a printer (and its driver). Fails with ERROR_PRINTER_ALREADY_EXISTS
// for a known name, ERROR_INVALID_PRINTER_NAME for an empty name or one with
// a backslash or comma, ERROR_INVALID_PARAMETER without a driver name.
KVP_CXX_API bool AddPrinter(const PrinterSpec &spec);
// Change an installed printer: everything but its name (and its data).
KVP_CXX_API bool UpdatePrinter(const PrinterSpec &spec);
// Remove a printer with its printer data and its jobs; the driver stays.
KVP_CXX_API bool DeletePrinter(const std::string &name);
KVP_CXX_API bool GetPrinterSpec(const std::string &name, PrinterSpec *out);
// Every printer, ordered by name.
KVP_CXX_API std::vector<PrinterSpec> ListPrinters();

// The bytes a job spooled so far ("" for an unknown job).
KVP_CXX_API std::string JobBytes(DWORD jobId);
// Native path of the job's spool file; "" for an in-memory system or an
// unknown job.
KVP_CXX_API std::string JobSpoolPath(DWORD jobId);
// The highest job id given out by this system, 0 before the first job.
KVP_CXX_API DWORD LastJobId();
KVP_CXX_API bool GetJobSpec(DWORD jobId, JobSpec *out);
// Jobs of a printer in submission order; every job for an empty name.
KVP_CXX_API std::vector<JobSpec> ListJobs(const std::string &printerName = std::string());
// Forget a job and its spooled bytes.
KVP_CXX_API bool DeleteJob(DWORD jobId);

}  // namespace kvp
