// The PostScript procset server: the system function (kind 0) of every
// function container. It counts the document's pages and sheets at the
// host's page set-up injection points and, when a 2-up or 6-up portrait
// document begins a sheet, turns that sheet by 180 degrees (procsetpage.h).
//
// INVARIANT: whatever it writes at one injection point lies between the
// two marker comments; an injection point where it has nothing to say
// gets no bytes at all.
#pragma once

#include "procsetpage.h"
#include "renderingfunction.h"

inline constexpr CHAR kPSProcServerName[] = "PSProcServer";

class PSProcServer : public RenderingFunction {
public:
    PSProcServer() = default;
    // Frees the page state.
    ~PSProcServer() override;

    // The page state first (failure: E_FAIL), then the base binding; a
    // server without a device or a core helper cannot write and fails.
    HRESULT Initialize(IRenderingSystem *services) override;
    HRESULT GetName(LPCSTR *name) override;
    // Its state is rebuilt from the stream; nothing to write.
    HRESULT Serialize() override;
    // Page counting at PSINJECT_BEGINPAGESETUP, the rotation at
    // PSINJECT_ENDPAGESETUP of a page that begins a sheet; always S_OK.
    HRESULT OnPSInject(DWORD index) override;

    const PageState *State() const { return pageState_; }

private:
    void CountThisPage();
    void RotateThisSheet();
    void Write(LPCSTR text);

    BYTE markerWritten_ = 0;
    PageState *pageState_ = nullptr;
};
