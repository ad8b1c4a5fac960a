// The property comment writer.
#include "propertyhandler.h"

HRESULT PropertyHandler::GetName(LPCSTR *name)
{
    if (name == nullptr) return E_INVALIDARG;
    *name = kPropertyHandlerName;
    return S_OK;
}

HRESULT PropertyHandler::Serialize() { return S_OK; }

HRESULT PropertyHandler::ParseProperty(LPCSTR text, LPSTR owner, LPSTR name, DWORD *type, DWORD *size, BYTE **data,
                                       LPCSTR *next)
{
    return E_NOTIMPL;
}

HRESULT PropertyHandler::WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data)
{
    return E_NOTIMPL;
}

BOOL PropertyHandler::IsPropertyLine(LPCSTR text) { return FALSE; }

LPCSTR PropertyHandler::DecodeHexByte(BYTE *byte, LPCSTR text) { return text; }

LPSTR PropertyHandler::EncodeHexByte(LPSTR text, BYTE byte) { return text; }
