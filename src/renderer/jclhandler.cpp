// The job header writer.
#include "jclhandler.h"

HRESULT JclHandler::GetName(LPCSTR *name)
{
    if (name == nullptr) return E_INVALIDARG;
    *name = kJclHandlerName;
    return S_OK;
}

// Nothing of its own to carry yet.
HRESULT JclHandler::Serialize() { return S_OK; }
