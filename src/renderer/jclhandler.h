// The job header writer: the document function that sends the PJL job
// header straight to the spooler at the beginning of the job, ahead of all
// PostScript, and closes the job with a universal exit after the host's
// last byte.
//
// INVARIANT: the closing universal exit is written only after a header
// went to the spooler, so that a printer never sees a job closed that was
// never opened.
#pragma once

#include "renderingfunction.h"

inline constexpr CHAR kJclHandlerName[] = "JclHandler";

class JclHandler : public RenderingFunction {
public:
    JclHandler() = default;
    ~JclHandler() override = default;

    // The base binding, then the host's "%OutputFormat" and "%CtrlDAfter"
    // options (services of version 1 and 2 only); a failed lookup fails.
    HRESULT Initialize(IRenderingSystem *services) override;
    HRESULT GetName(LPCSTR *name) override;
    // The two option bytes.
    HRESULT Serialize() override;
    HRESULT Deserialize(LPCVOID data, DWORD size) override;
    // RF_BEGINJOB: the header, once.
    HRESULT OnBeginJob() override;
    // RF_ENDJOB: the closing universal exit into the host's stream.
    HRESULT PostEndJob() override;

    bool CtrlDAfter() const { return ctrlDAfter_ != 0; }
    bool FileFormat() const { return fileFormat_ != 0; }
    bool HeaderWritten() const { return headerWritten_ != 0; }

private:
    BYTE ctrlDAfter_ = 0;     // the host ends the job with Ctrl-D itself
    BYTE fileFormat_ = 0;     // EPS or Archive output: a file, not a job
    BYTE headerWritten_ = 0;
};
