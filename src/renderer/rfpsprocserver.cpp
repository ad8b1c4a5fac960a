// The PostScript procset server.
#include "rfpsprocserver.h"

#include "coremain.h"
#include "memory.h"
#include "pdvalue.h"

PSProcServer::~PSProcServer() { MemFree(pageState_); }

HRESULT PSProcServer::Initialize(IRenderingSystem *services)
{
    if (pageState_ == nullptr) {
        PVOID block = nullptr;
        if (!MemAllocZero(&block, sizeof(PageState))) return E_FAIL;
        pageState_ = static_cast<PageState *>(block);
        InitPageState(pageState_, this);
    }
    HRESULT hr = RenderingFunction::Initialize(services);
    if (FAILED(hr)) return hr;
    return Device() != nullptr && CoreHelper() != nullptr ? S_OK : E_FAIL;
}

HRESULT PSProcServer::GetName(LPCSTR *name)
{
    if (name == nullptr) return E_INVALIDARG;
    *name = kPSProcServerName;
    return S_OK;
}

HRESULT PSProcServer::Serialize() { return S_OK; }

HRESULT PSProcServer::OnPSInject(DWORD index)
{
    markerWritten_ = 0;
    if (pageState_ == nullptr) return S_OK;
    if (index == PSINJECT_BEGINPAGESETUP) CountThisPage();
    if (pageState_->newSheet && index == PSINJECT_ENDPAGESETUP) RotateThisSheet();
    if (markerWritten_) Write(kInsertEndMarker);
    return S_OK;
}

void PSProcServer::CountThisPage()
{
    CHAR slot[kPageInputSlotSize] = {};
    BOOL haveSlot = GetFeatureOption("InputSlot", slot, sizeof(slot));
    LONG pagesPerSheet = 0;
    const LONG *pages = nullptr;
    // Decided once, at the first page: a document does not change its
    // layout half way.
    if (IsBeforeFirstPage(pageState_) && GetFeatureNumber("%PagePerSheet", &pagesPerSheet)) pages = &pagesPerSheet;
    CountPage(pageState_, PublicDevmode(), haveSlot ? slot : nullptr, pages);
    KV_LOG(LOG_NOTICE, "PageCount: cLogical(%d), cPhysical(%d), cNup(%d)\n", pageState_->logicalPages,
           pageState_->physicalSheets, pageState_->position);
}

void PSProcServer::RotateThisSheet()
{
    PrinterDataValues printerData(Printer());
    if (!NeedsRotation(pageState_, printerData.SupportsCapability(CAP_PAGE_OUTPUT_HANDLING))) return;
    CHAR format[63] = {};
    if (!GetFeatureOption("%OutputFormat", format, sizeof(format))) return;
    Write(kInsertBeginMarker);
    markerWritten_ = 1;
    Write(SelectRotateSheetFragment(format));
}

void PSProcServer::Write(LPCSTR text) { WriteText(text, 0); }
