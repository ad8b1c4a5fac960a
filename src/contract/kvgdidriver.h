// The graphics driver blocks that the host passes through the render
// plug-in's EnableDriver and EnablePDEV: the hook table, the device's
// capabilities and its GDI description.
//
// They are ours on both targets: the DDI header of the Windows cross
// compiler cannot be used on its own (it pulls in DirectDraw headers that
// the tool chain does not ship). Include kvcontract.h, not this file.
#pragma once

#include "kvsys.h"

#ifdef _WIN32
// Handles and the entry point type of the DDI, absent from windows.h.
DECLARE_HANDLE(HSURF);
DECLARE_HANDLE(HDEV);
DECLARE_HANDLE(DHPDEV);
DECLARE_HANDLE(DHSURF);
typedef LONG_PTR(APIENTRY *PFN)();
typedef LOGFONTW KvDdiLogFont;
#else
// The emulated system has no font API of its own yet; this is LOGFONTW's
// layout (92 bytes), which is all that DEVINFO needs from it.
struct KvDdiLogFont {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[32];
};
#endif
static_assert(sizeof(KvDdiLogFont) == 92, "LOGFONTW layout");

// The surface GDI hands to the hooked entry points (whose dhpdev leads to
// the device) and the signatures of the four entry points the render
// plug-in hooks.
typedef struct _SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
} SURFOBJ, *PSURFOBJ;
static_assert(sizeof(SURFOBJ) == 80, "SURFOBJ layout");
static_assert(offsetof(SURFOBJ, dhpdev) == 16, "SURFOBJ layout");

typedef BOOL(APIENTRY *PFN_DrvStartDoc)(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
typedef BOOL(APIENTRY *PFN_DrvEndDoc)(SURFOBJ *pso, FLONG fl);
typedef BOOL(APIENTRY *PFN_DrvSendPage)(SURFOBJ *pso);
typedef ULONG(APIENTRY *PFN_DrvEscape)(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

// One hooked DDI entry point: the function's index and its address.
typedef struct _DRVFN {
    ULONG iFunc;
    PFN pfn;
} DRVFN, *PDRVFN;

typedef struct _DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN *pdrvfn;
} DRVENABLEDATA, *PDRVENABLEDATA;

// The device's capabilities. The render plug-in changes flGraphicsCaps only.
typedef struct _DEVINFO {
    FLONG flGraphicsCaps;
    KvDdiLogFont lfDefaultFont;
    KvDdiLogFont lfAnsiVarFont;
    KvDdiLogFont lfAnsiFixFont;
    ULONG cFonts;
    ULONG iDitherFormat;
    USHORT cxDither;
    USHORT cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
} DEVINFO, *PDEVINFO;

typedef LONG LDECI4;

typedef struct _CIECHROMA {
    LDECI4 x;
    LDECI4 y;
    LDECI4 Y;
} CIECHROMA;

typedef struct _COLORINFO {
    CIECHROMA Red;
    CIECHROMA Green;
    CIECHROMA Blue;
    CIECHROMA Cyan;
    CIECHROMA Magenta;
    CIECHROMA Yellow;
    CIECHROMA AlignmentWhite;
    LDECI4 RedGamma;
    LDECI4 GreenGamma;
    LDECI4 BlueGamma;
    LDECI4 MagentaInCyanDye;
    LDECI4 YellowInCyanDye;
    LDECI4 CyanInMagentaDye;
    LDECI4 YellowInMagentaDye;
    LDECI4 CyanInYellowDye;
    LDECI4 MagentaInYellowDye;
} COLORINFO, *PCOLORINFO;

// The device's description for GDI. The plug-ins pass it through untouched.
typedef struct _GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    ULONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    ULONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    ULONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    LPBYTE pHTPatA;
    LPBYTE pHTPatB;
    LPBYTE pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
} GDIINFO, *PGDIINFO;

static_assert(sizeof(COLORINFO) == 120, "COLORINFO layout");
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88, "GDIINFO layout");
static_assert(offsetof(GDIINFO, ciDevice) == 108, "GDIINFO layout");
static_assert(offsetof(GDIINFO, ulDevicePelsDPI) == 228, "GDIINFO layout");

// The DDI entry points the render plug-in hooks (DRVFN.iFunc).
#define INDEX_DrvEscape 24L
#define INDEX_DrvSendPage 32L
#define INDEX_DrvEndDoc 34L
#define INDEX_DrvStartDoc 35L

// DEVINFO.flGraphicsCaps: render the job in the application's process
// instead of journaling it for the spooler.
#define GCAPS_DONTJOURNAL 0x00002000
