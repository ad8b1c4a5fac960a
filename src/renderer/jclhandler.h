// The job header writer: the document function that sends the PJL job
// header straight to the spooler at the beginning of the job and closes the
// job with a universal exit after the host's last byte.
//
// For now it takes part in the framework with its name, its kind and the
// base behaviour; the header builder, its options and its serialized state
// come with their own change.
#pragma once

#include "renderingfunction.h"

inline constexpr CHAR kJclHandlerName[] = "JclHandler";

class JclHandler : public RenderingFunction {
public:
    JclHandler() = default;
    ~JclHandler() override = default;

    HRESULT GetName(LPCSTR *name) override;
    HRESULT Serialize() override;
};
