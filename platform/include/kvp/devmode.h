// Emulated Win32: the public DEVMODEW and its field bits.
//
// The DEVMODEW travels in documents and spooler records written on Windows,
// so its layout here is the Windows one byte for byte (220 bytes; the
// driver-extra bytes follow at dmSize). The asserts below pin every offset
// that the plug-ins or the host simulator touch.
#pragma once

#include <cstddef>

#include "kvp/base.h"

// The point and size types the DEVMODEW and the driver blocks are built
// from (windef.h on Windows). Other areas that need them include this header.
typedef struct _POINTL {
    LONG x;
    LONG y;
} POINTL, *PPOINTL;

typedef struct _SIZEL {
    LONG cx;
    LONG cy;
} SIZEL, *PSIZEL;

#define CCHDEVICENAME 32
#define CCHFORMNAME 32

typedef struct _devicemodeW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    union {
        // Printers.
        struct {
            SHORT dmOrientation;
            SHORT dmPaperSize;
            SHORT dmPaperLength;
            SHORT dmPaperWidth;
            SHORT dmScale;
            SHORT dmCopies;
            SHORT dmDefaultSource;
            SHORT dmPrintQuality;
        };
        // Displays.
        struct {
            POINTL dmPosition;
            DWORD dmDisplayOrientation;
            DWORD dmDisplayFixedOutput;
        };
    };
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    union {
        DWORD dmDisplayFlags;
        DWORD dmNup;
    };
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEW, *PDEVMODEW, *LPDEVMODEW;

typedef DEVMODEW DEVMODE;
typedef PDEVMODEW PDEVMODE, LPDEVMODE;

static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW is 220 bytes");
static_assert(offsetof(DEVMODEW, dmDeviceName) == 0, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmSpecVersion) == 64, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDriverVersion) == 66, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmSize) == 68, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDriverExtra) == 70, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmFields) == 72, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmOrientation) == 76, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPaperSize) == 78, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPaperLength) == 80, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPaperWidth) == 82, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmScale) == 84, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmCopies) == 86, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDefaultSource) == 88, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPrintQuality) == 90, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPosition) == 76, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDisplayFixedOutput) == 88, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmColor) == 92, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDuplex) == 94, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmYResolution) == 96, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmTTOption) == 98, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmCollate) == 100, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmFormName) == 102, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmBitsPerPel) == 168, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPelsWidth) == 172, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPelsHeight) == 176, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmNup) == 180, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDisplayFlags) == 180, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDisplayFrequency) == 184, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmICMMethod) == 188, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmICMIntent) == 192, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmMediaType) == 196, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmDitherType) == 200, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPanningWidth) == 212, "DEVMODEW layout");
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216, "DEVMODEW layout");

#define DM_SPECVERSION 0x0401

// dmFields
#define DM_ORIENTATION 0x00000001L
#define DM_PAPERSIZE 0x00000002L
#define DM_PAPERLENGTH 0x00000004L
#define DM_PAPERWIDTH 0x00000008L
#define DM_SCALE 0x00000010L
#define DM_POSITION 0x00000020L
#define DM_NUP 0x00000040L
#define DM_DISPLAYORIENTATION 0x00000080L
#define DM_COPIES 0x00000100L
#define DM_DEFAULTSOURCE 0x00000200L
#define DM_PRINTQUALITY 0x00000400L
#define DM_COLOR 0x00000800L
#define DM_DUPLEX 0x00001000L
#define DM_YRESOLUTION 0x00002000L
#define DM_TTOPTION 0x00004000L
#define DM_COLLATE 0x00008000L
#define DM_FORMNAME 0x00010000L
#define DM_LOGPIXELS 0x00020000L
#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFLAGS 0x00200000L
#define DM_DISPLAYFREQUENCY 0x00400000L
#define DM_ICMMETHOD 0x00800000L
#define DM_ICMINTENT 0x01000000L
#define DM_MEDIATYPE 0x02000000L
#define DM_DITHERTYPE 0x04000000L
#define DM_PANNINGWIDTH 0x08000000L
#define DM_PANNINGHEIGHT 0x10000000L
#define DM_DISPLAYFIXEDOUTPUT 0x20000000L

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2

#define DMPAPER_LETTER 1
#define DMPAPER_TABLOID 3
#define DMPAPER_LEGAL 5
#define DMPAPER_A3 8
#define DMPAPER_A4 9
#define DMPAPER_B4 12
#define DMPAPER_B5 13
#define DMPAPER_CSHEET 24
#define DMPAPER_DSHEET 25
#define DMPAPER_ESHEET 26
#define DMPAPER_A2 66
#define DMPAPER_USER 256

#define DMBIN_AUTO 7
#define DMBIN_MANUAL 4

#define DMCOLOR_MONOCHROME 1
#define DMCOLOR_COLOR 2

#define DMDUP_SIMPLEX 1
#define DMDUP_VERTICAL 2
#define DMDUP_HORIZONTAL 3

#define DMCOLLATE_FALSE 0
#define DMCOLLATE_TRUE 1
