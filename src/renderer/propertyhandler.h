// The property comment writer: the document function that carries a named
// block of bytes inside the job as one PostScript comment line, and parses
// such lines back (the line format is in propertycodec.h). The rendering
// system forwards its services' property writes here.
#pragma once

#include "propertycodec.h"
#include "renderingfunction.h"

inline constexpr CHAR kPropertyHandlerName[] = "PropertyHandler";

class PropertyHandler : public RenderingFunction {
public:
    PropertyHandler() = default;
    ~PropertyHandler() override = default;

    HRESULT GetName(LPCSTR *name) override;
    HRESULT Serialize() override;

    // Slot 17: one property line at TEXT. OWNER and NAME receive words of
    // at most kPropertyWordMax characters (buffers of kPropertyWordMax + 1);
    // DATA is a new private-heap block the caller frees; NEXT is where the
    // next line begins.
    virtual HRESULT ParseProperty(LPCSTR text, LPSTR owner, LPSTR name, DWORD *type, DWORD *size, BYTE **data,
                                  LPCSTR *next);
    // Slot 18: one property line straight to the spooler.
    virtual HRESULT WriteProperty(LPCSTR owner, LPCSTR name, DWORD type, DWORD size, LPCVOID data);
    // Slot 19.
    virtual BOOL IsPropertyLine(LPCSTR text);
    // Slots 20 and 21: two hex digits to a byte and back; each returns the
    // text position after the digits (decoding: null for a digit that is
    // not one of "0123456789ABCDEF").
    virtual LPCSTR DecodeHexByte(BYTE *byte, LPCSTR text);
    virtual LPSTR EncodeHexByte(LPSTR text, BYTE byte);
};
