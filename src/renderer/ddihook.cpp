// The DDI hooks and the per-device record.
#include "ddihook.h"

#include <cstring>

#include "coremain.h"
#include "jobinfo.h"
#include "pluginrenderingsystem.h"

namespace {

// Function addresses travel as the DDI's generic entry point type; the
// conversions go through void (*)(), which converts to and from any
// function type.
template <typename Function>
PFN ToPfn(Function function)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(function));
}

template <typename Function>
Function FromPfn(PFN pfn)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(pfn));
}

typedef ULONG (*EscapeHandler)(OemPdev *pdev, ULONG inputSize, const void *input, ULONG outputSize, PVOID output);

struct EscapeRow {
    ULONG code;  // 0 closes the table
    EscapeHandler handler;
};

const EscapeRow kEscapeTable[] = {
    {kPrivateEscapeCode, HandlePrivateEscape},
    {0, nullptr},
};

DWORD ReadDword(const void *bytes)
{
    DWORD value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

}  // namespace

const DRVFN kHookTable[HOOK_COUNT] = {
    {INDEX_DrvSendPage, ToPfn(&OemSendPage)},
    {INDEX_DrvEscape, ToPfn(&OemEscape)},
    {INDEX_DrvStartDoc, ToPfn(&OemStartDoc)},
    {INDEX_DrvEndDoc, ToPfn(&OemEndDoc)},
};

OemPdev *CreateOemPdev(PDEVOBJ device, const DRVENABLEDATA *hostData)
{
    if (device == nullptr || hostData == nullptr) return nullptr;
    PVOID block = nullptr;
    if (!MemAllocZero(&block, sizeof(OemPdev))) {
        KV_LOG(LOG_ERROR, "cannot allocate OEM PDEV.\n");
        return nullptr;
    }
    OemPdev *pdev = static_cast<OemPdev *>(block);
    std::memset(pdev, 0, sizeof(*pdev));
    if (hostData->pdrvfn != nullptr) {
        for (int slot = 0; slot < HOOK_COUNT; ++slot) {
            for (ULONG i = 0; i < hostData->c; ++i) {
                if (hostData->pdrvfn[i].iFunc == kHookTable[slot].iFunc) {
                    pdev->hostFunctions[slot] = hostData->pdrvfn[i].pfn;
                    break;
                }
            }
        }
    }
    return pdev;
}

void FreeOemPdev(OemPdev *pdev) { MemFree(pdev); }

BOOL FindDevice(SURFOBJ *surface, PDEVOBJ *device, OemPdev **pdev)
{
    if (surface == nullptr || surface->dhpdev == nullptr) return FALSE;
    PDEVOBJ found = reinterpret_cast<PDEVOBJ>(surface->dhpdev);
    if (found->pdevOEM == nullptr) return FALSE;
    *device = found;
    *pdev = static_cast<OemPdev *>(found->pdevOEM);
    return TRUE;
}

BOOL APIENTRY OemStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId)
{
    PDEVOBJ device = nullptr;
    OemPdev *pdev = nullptr;
    if (!FindDevice(pso, &device, &pdev) || pdev->renderingSystem == nullptr) return FALSE;
    if (!pdev->renderingSystem->StartDocument(device, pwszDocName, dwJobId)) return FALSE;
    PFN host = pdev->hostFunctions[HOOK_START_DOC];
    if (host == nullptr) return FALSE;
    return FromPfn<PFN_DrvStartDoc>(host)(pso, pwszDocName, dwJobId);
}

BOOL APIENTRY OemEndDoc(SURFOBJ *pso, FLONG fl)
{
    PDEVOBJ device = nullptr;
    OemPdev *pdev = nullptr;
    if (!FindDevice(pso, &device, &pdev)) return FALSE;
    // The host ends its document whatever the functions made of it.
    if (pdev->renderingSystem != nullptr) pdev->renderingSystem->EndDocument(device);
    PFN host = pdev->hostFunctions[HOOK_END_DOC];
    if (host == nullptr) return FALSE;
    return FromPfn<PFN_DrvEndDoc>(host)(pso, fl);
}

BOOL APIENTRY OemSendPage(SURFOBJ *pso)
{
    PDEVOBJ device = nullptr;
    OemPdev *pdev = nullptr;
    if (!FindDevice(pso, &device, &pdev)) return FALSE;
    // Before the host ends the page: the job header and what was collected
    // reach the spooler ahead of the page's closing output.
    if (pdev->renderingSystem != nullptr) pdev->renderingSystem->EndPage(device);
    PFN host = pdev->hostFunctions[HOOK_SEND_PAGE];
    if (host == nullptr) return FALSE;
    return FromPfn<PFN_DrvSendPage>(host)(pso);
}

ULONG APIENTRY OemEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    PDEVOBJ device = nullptr;
    OemPdev *pdev = nullptr;
    if (!FindDevice(pso, &device, &pdev)) return 0;
    PFN host = pdev->hostFunctions[HOOK_ESCAPE];

    if (iEsc == QUERYESCSUPPORT) {
        // The code asked about is the input's first four bytes; fewer are
        // no question at all.
        if (pvIn == nullptr || cjIn < sizeof(DWORD)) return 0;
        if (ReadDword(pvIn) == kPrivateEscapeCode) return 1;
    } else {
        for (const EscapeRow *row = kEscapeTable; row->code != 0; ++row) {
            if (row->code != iEsc) continue;
            ULONG answer = row->handler(pdev, cjIn, pvIn, cjOut, pvOut);
            if (answer != 0) return answer;
            break;
        }
    }
    if (host == nullptr) return 0;
    return FromPfn<PFN_DrvEscape>(host)(pso, iEsc, cjIn, pvIn, cjOut, pvOut);
}

ULONG HandlePrivateEscape(OemPdev *pdev, ULONG inputSize, const void *input, ULONG outputSize, PVOID output)
{
    // The input comes from the application's process: only the bytes it
    // says it sent are read, and the tag and the record must lie in them.
    if (pdev == nullptr || pdev->document == nullptr || input == nullptr || inputSize <= sizeof(DWORD)) return 1;
    if (ReadDword(input) != kPrivateEscapeTag) return 1;
    ReadSerializedJobInfo(&pdev->document->jobInfo, static_cast<const BYTE *>(input) + sizeof(DWORD),
                          inputSize - sizeof(DWORD));
    return 1;
}
