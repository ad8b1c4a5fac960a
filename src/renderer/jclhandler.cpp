// The job header writer.
#include "jclhandler.h"

#include <cstring>

#include "bytebuffer.h"
#include "pjlheader.h"

namespace {

// "%OutputFormat" options that make a file for another program rather
// than a job for a printer: no job header, no closing universal exit.
bool IsFileFormat(LPCSTR option) { return strcmp(option, "EPS") == 0 || strcmp(option, "Archive") == 0; }

}  // namespace

HRESULT JclHandler::Initialize(IRenderingSystem *services)
{
    HRESULT hr = RenderingFunction::Initialize(services);
    if (FAILED(hr)) return hr;
    if (ServicesVersion() != kServicesVersionSerializing && ServicesVersion() != kServicesVersionPlugin) return S_OK;
    CHAR format[kOptionTextSize] = {};
    if (!GetFeatureOption("%OutputFormat", format, sizeof(format))) return E_FAIL;
    fileFormat_ = IsFileFormat(format) ? 1 : 0;
    BOOL ctrlD = FALSE;
    if (!GetFeatureFlag("%CtrlDAfter", &ctrlD)) return E_FAIL;
    ctrlDAfter_ = ctrlD ? 1 : 0;
    return S_OK;
}

HRESULT JclHandler::GetName(LPCSTR *name)
{
    if (name == nullptr) return E_INVALIDARG;
    *name = kJclHandlerName;
    return S_OK;
}

HRESULT JclHandler::Serialize()
{
    const BYTE state[2] = {ctrlDAfter_, fileFormat_};
    return SerializeState(state, sizeof(state)) ? S_OK : E_FAIL;
}

HRESULT JclHandler::Deserialize(LPCVOID data, DWORD size)
{
    if (data == nullptr) return E_INVALIDARG;
    // The state comes back from a spool file: read only what is there.
    const BYTE *bytes = static_cast<const BYTE *>(data);
    if (size >= 1) ctrlDAfter_ = bytes[0] != 0 ? 1 : 0;
    if (size >= 2) fileFormat_ = bytes[1] != 0 ? 1 : 0;
    return S_OK;
}

HRESULT JclHandler::OnBeginJob()
{
    if (fileFormat_ || headerWritten_) return S_OK;
    // The job's facts may have grown since the document start (the UI
    // plug-in's escape): take the services as they are now.
    HRESULT hr = Bind(Services());
    if (FAILED(hr)) return hr;
    PjlHeaderContext context(PublicDevmode(), Printer(), Job());
    ByteBuffer header;
    InitByteBuffer(&header, kPjlHeaderInitialCapacity);
    if (BuildPjlHeader(&context, &header) && header.length > 0 &&
        SUCCEEDED(Services()->WriteSpooler(header.data, header.length)))
        headerWritten_ = 1;
    FreeByteBuffer(&header);
    return S_OK;
}

HRESULT JclHandler::PostEndJob()
{
    // With Ctrl-D after the job the host closes it itself.
    if (fileFormat_ || ctrlDAfter_ || !headerWritten_ || Services() == nullptr) return S_OK;
    PjlHeaderContext context(PublicDevmode(), Printer(), Job());
    ByteBuffer trailer;
    InitByteBuffer(&trailer, 64);
    if (BuildPjlTrailer(&context, &trailer) && trailer.length > 0)
        Services()->WriteStream(trailer.data, trailer.length);
    FreeByteBuffer(&trailer);
    return S_OK;
}
