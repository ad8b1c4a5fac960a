// What the render plug-in asks the spooler about the printer and the job,
// with the spooler's size-query-then-read protocol in one place.
#pragma once

#include "kvsys.h"

// The printer's information at LEVEL (2 or 5) or the job's at level 2, in a
// new private-heap block (MemFree it); null when the spooler cannot answer.
PVOID ReadPrinterInfo(HANDLE printer, DWORD level);
PVOID ReadJobInfo2(HANDLE printer, DWORD jobId);

// The leading decimal digits of TEXT as a number (none: 0).
LONG LeadingNumber(LPCSTR text);

// The host's "%PagePerSheet" option as a number of logical pages per
// physical sheet: "Booklet" is 1 on a RAW-only printer and 2 elsewhere;
// anything else gives its leading decimal digits (none: 0). RAW-only is
// the shared core's IsRawOnlyPrinter (PRINTER_ATTRIBUTE_RAW_ONLY).
LONG PagesPerSheetOf(LPCSTR option, HANDLE printer);
