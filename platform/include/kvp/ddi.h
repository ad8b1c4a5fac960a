// Emulated Win32: the printer driver UI events that the spooler and GDI
// deliver to a driver's UI half and from there to its plug-ins
// (winddiui.h on Windows): document events with their blocks, printer and
// driver events.
#pragma once

#include <cstddef>

#include "kvp/base.h"
#include "kvp/devmode.h"

typedef struct _DOCEVENT_FILTER {
    UINT cbSize;
    UINT cElementsAllocated;
    UINT cElementsNeeded;
    UINT cElementsReturned;
    DWORD aDocEventCall[1];  // cElementsAllocated entries
} DOCEVENT_FILTER, *PDOCEVENT_FILTER;

typedef struct _DOCEVENT_CREATEDCPRE {
    PWSTR pszDriver;
    PWSTR pszDevice;
    PDEVMODEW pdm;
    BOOL bIC;
} DOCEVENT_CREATEDCPRE, *PDOCEVENT_CREATEDCPRE;

static_assert(sizeof(DOCEVENT_FILTER) == 20, "DOCEVENT_FILTER layout");
static_assert(sizeof(DOCEVENT_CREATEDCPRE) == 32, "DOCEVENT_CREATEDCPRE layout");

#define DOCUMENTEVENT_FIRST 1
#define DOCUMENTEVENT_CREATEDCPRE 1
#define DOCUMENTEVENT_CREATEDCPOST 2
#define DOCUMENTEVENT_RESETDCPRE 3
#define DOCUMENTEVENT_RESETDCPOST 4
#define DOCUMENTEVENT_STARTDOC 5
#define DOCUMENTEVENT_STARTDOCPRE 5
#define DOCUMENTEVENT_STARTPAGE 6
#define DOCUMENTEVENT_ENDPAGE 7
#define DOCUMENTEVENT_ENDDOC 8
#define DOCUMENTEVENT_ENDDOCPRE 8
#define DOCUMENTEVENT_ABORTDOC 9
#define DOCUMENTEVENT_DELETEDC 10
#define DOCUMENTEVENT_ESCAPE 11
#define DOCUMENTEVENT_ENDDOCPOST 12
#define DOCUMENTEVENT_STARTDOCPOST 13
#define DOCUMENTEVENT_QUERYFILTER 14
#define DOCUMENTEVENT_LAST 15

#define DOCUMENTEVENT_SUCCESS 1
#define DOCUMENTEVENT_UNSUPPORTED 0
#define DOCUMENTEVENT_FAILURE (-1)

#define DRIVER_EVENT_INITIALIZE 1
#define DRIVER_EVENT_DELETE 2

#define PRINTER_EVENT_ADD_CONNECTION 1
#define PRINTER_EVENT_DELETE_CONNECTION 2
#define PRINTER_EVENT_INITIALIZE 3
#define PRINTER_EVENT_DELETE 4
#define PRINTER_EVENT_CACHE_REFRESH 5
#define PRINTER_EVENT_CACHE_DELETE 6
#define PRINTER_EVENT_ATTRIBUTES_CHANGED 7


// DrvEndDoc flags: the document was aborted.
#define ED_ABORTDOC 0x00000001

// The escape that asks whether another escape is supported (wingdi.h on
// Windows); its input is the 32-bit code asked about.
#define QUERYESCSUPPORT 8
