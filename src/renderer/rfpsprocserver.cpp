// The PostScript procset server.
#include "rfpsprocserver.h"

HRESULT PSProcServer::GetName(LPCSTR *name)
{
    if (name == nullptr) return E_INVALIDARG;
    *name = kPSProcServerName;
    return S_OK;
}

HRESULT PSProcServer::Serialize() { return S_OK; }
