// The property comment writer.
#include "propertyhandler.h"

#include <cstring>

#include "memory.h"

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
    if (owner == nullptr || name == nullptr || type == nullptr || size == nullptr || data == nullptr ||
        next == nullptr)
        return E_INVALIDARG;
    ParsedProperty parsed;
    HRESULT hr = ParsePropertyLine(text, &parsed);
    if (FAILED(hr)) return hr;
    memcpy(owner, parsed.owner, sizeof(parsed.owner));
    memcpy(name, parsed.name, sizeof(parsed.name));
    *type = parsed.type;
    *size = parsed.size;
    *data = parsed.data;
    *next = parsed.next;
    return S_OK;
}

HRESULT PropertyHandler::WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data)
{
    LPSTR line = nullptr;
    DWORD length = 0;
    HRESULT hr = FormatPropertyLine(owner, name, type, size, data, &line, &length);
    if (FAILED(hr)) return hr;
    hr = Services() != nullptr ? Services()->WriteSpooler(line, length) : E_FAIL;
    MemFree(line);
    return hr;
}

BOOL PropertyHandler::IsPropertyLine(LPCSTR text) { return ::IsPropertyLine(text); }

LPCSTR PropertyHandler::DecodeHexByte(BYTE *byte, LPCSTR text)
{
    if (byte == nullptr || text == nullptr) return nullptr;
    return ::DecodeHexByte(byte, text);
}

LPSTR PropertyHandler::EncodeHexByte(LPSTR text, BYTE byte)
{
    if (text == nullptr) return nullptr;
    return ::EncodeHexByte(text, byte);
}
