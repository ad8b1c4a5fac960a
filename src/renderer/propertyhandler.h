// The property comment writer: the document function that carries a named
// block of bytes inside the job as one PostScript comment line, and parses
// such lines back. The rendering system forwards its services' property
// writes here.
//
// For now it takes part in the framework with its name, its kind, the base
// behaviour and its five operations in their slots (after the base's 17);
// the line format and its parser come with their own change, and until then
// the operations answer E_NOTIMPL.
#pragma once

#include "renderingfunction.h"

inline constexpr CHAR kPropertyHandlerName[] = "PropertyHandler";

class PropertyHandler : public RenderingFunction {
public:
    PropertyHandler() = default;
    ~PropertyHandler() override = default;

    HRESULT GetName(LPCSTR *name) override;
    HRESULT Serialize() override;

    // Slot 17: one property line at TEXT; DATA is a new private-heap block.
    virtual HRESULT ParseProperty(LPCSTR text, LPSTR owner, LPSTR name, DWORD *type, DWORD *size, BYTE **data,
                                  LPCSTR *next);
    // Slot 18: one property line straight to the spooler.
    virtual HRESULT WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data);
    // Slot 19.
    virtual BOOL IsPropertyLine(LPCSTR text);
    // Slots 20 and 21: two hex digits to a byte and back; each returns the
    // text position after the digits.
    virtual LPCSTR DecodeHexByte(BYTE *byte, LPCSTR text);
    virtual LPSTR EncodeHexByte(LPSTR text, BYTE byte);
};
