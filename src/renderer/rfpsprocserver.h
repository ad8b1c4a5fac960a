// The PostScript procset server: the system function (kind 0) of every
// function container, which writes PostScript into the host's stream at
// the host's injection points (sheet rotation for N-up and booklet
// output).
//
// For now it takes part in the framework with its name, its kind and the
// base behaviour; its page counting and rotation fragments come with their
// own change.
#pragma once

#include "renderingfunction.h"

inline constexpr CHAR kPSProcServerName[] = "PSProcServer";

class PSProcServer : public RenderingFunction {
public:
    PSProcServer() = default;
    ~PSProcServer() override = default;

    HRESULT GetName(LPCSTR *name) override;
    // Its state is rebuilt from the stream; nothing to write.
    HRESULT Serialize() override;
};
