// The render plug-in's hooks on four of the host driver's graphics driver
// entry points (document start and end, page end, escape) and the per-device
// record (OemPdev) that EnablePDEV hands back to the host.
//
// Through the hooks the plug-in learns the document name and the spooler
// job id, marks the end of a document, holds the job's output back until
// the first page is complete, and receives the job facts that the UI
// plug-in sends with a private escape.
#pragma once

#include "kvcontract.h"
#include "memory.h"


class PluginRenderingSystem;
class JclHandler;
class PropertyHandler;
struct IFunctionContainer;
struct DocumentInfo;

// The hooked entry points, in hook table order.
enum HookSlot {
    HOOK_SEND_PAGE = 0,
    HOOK_ESCAPE = 1,
    HOOK_START_DOC = 2,
    HOOK_END_DOC = 3,
    HOOK_COUNT = 4,
};

// The private escape of the UI plug-in: its code, and the tag in front of
// the serialized JobInfo it carries.
constexpr ULONG kPrivateEscapeCode = MakeFourCC('K', 'V', 'P', 'V');  // the bytes "VPVK"
constexpr DWORD kPrivateEscapeTag = MakeFourCC('K', 'V', 'P', 'S');   // the bytes "SPVK"
static_assert(kPrivateEscapeCode == 0x4B565056 && kPrivateEscapeTag == 0x4B565053, "escape magic");

// One per device, from EnablePDEV to DisablePDEV, on the private heap.
struct OemPdev {
    PFN hostFunctions[HOOK_COUNT];  // the host's own, null when it has none
    PluginRenderingSystem *renderingSystem;
    IFunctionContainer *container;     // created at document start
    JclHandler *jclHandler;            // borrowed from the container
    PropertyHandler *propertyHandler;  // borrowed from the container
    DocumentInfo *document;            // created at the first document start
};

// The hook table that EnableDriver hands out (HOOK_COUNT entries).
extern const DRVFN kHookTable[HOOK_COUNT];

// A cleared record for DEVICE with the host's functions for the hooked
// indices taken from HOSTDATA; null (and logged) when the record cannot be
// allocated or an argument is missing.
OemPdev *CreateOemPdev(PDEVOBJ device, const DRVENABLEDATA *hostData);
// Frees the record itself; its document and container are the rendering
// system's to free first.
void FreeOemPdev(OemPdev *pdev);

// The device behind a surface and its record; false when either is missing.
BOOL FindDevice(SURFOBJ *surface, PDEVOBJ *device, OemPdev **pdev);

// The hooks.
BOOL APIENTRY OemStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL APIENTRY OemEndDoc(SURFOBJ *pso, FLONG fl);
BOOL APIENTRY OemSendPage(SURFOBJ *pso);
ULONG APIENTRY OemEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

// The private escape's handler: merges the serialized JobInfo behind the
// tag into the document's. Always 1.
ULONG HandlePrivateEscape(OemPdev *pdev, ULONG inputSize, const void *input, ULONG outputSize, PVOID output);
