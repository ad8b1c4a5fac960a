// A document's DEVMODEW as the host driver builds and keeps it:
//
//   public part      220 bytes, dmSize 220
//   host part        kHostPartSize bytes of the host driver's own settings
//                    (the page layout number at kPageLayoutOffset)
//   plug-in record   sized and defaulted by the plug-in's DevMode
//
// dmDriverExtra covers the host part and the plug-in's record. The UI and
// the render side of the simulator use the same image, so it only needs
// the plug-in's DevMode method, which both plug-in interfaces share.
#pragma once

#include <string>
#include <vector>

#include "kvcontract.h"

namespace kvhost {

class DevmodeImage {
public:
    static constexpr WORD kPublicSize = 220;
    static constexpr WORD kHostPartSize = 160;
    // The host's page layout number (32-bit) inside its own part:
    // 0 one page per sheet, 1 to 5 two to sixteen pages, 6 booklet.
    static constexpr DWORD kPageLayoutOffset = 136;

    DevmodeImage() = default;

    // A fresh image for PRINTER: the host's defaults in the public part
    // (DEVICENAME as device name), a zero host part, then the plug-in's
    // record of the size it asks for (OEMDM_SIZE) with its defaults
    // (OEMDM_DEFAULT). The plug-in's failure is the result; the image is
    // left empty then.
    HRESULT Build(IPrintOemCommon *plugin, HANDLE printer, const std::u16string &deviceName);

    // OEMDM_CONVERT: this image's record (already built) from another
    // image's, as the host does with a DEVMODEW from a document.
    HRESULT Convert(IPrintOemCommon *plugin, HANDLE printer, const DevmodeImage &from);
    // OEMDM_MERGE: the same with the host's merge.
    HRESULT Merge(IPrintOemCommon *plugin, HANDLE printer, const DevmodeImage &from);

    // Takes bytes as a document carried them. False, image unchanged, when
    // they are no DEVMODEW of this layout (dmSize must be 220 and
    // dmDriverExtra must cover the host part and lie within SIZE).
    bool Assign(const BYTE *bytes, size_t size);

    bool Empty() const { return bytes_.empty(); }
    DEVMODEW *Public();
    const DEVMODEW *Public() const;
    BYTE *HostPart();
    const BYTE *HostPart() const;
    // The plug-in's record, null while the image is empty.
    BYTE *PluginRecord();
    const BYTE *PluginRecord() const;
    DWORD PluginRecordSize() const;

    void SetPageLayout(DWORD layout);
    DWORD PageLayout() const;

    std::vector<BYTE> &bytes() { return bytes_; }
    const std::vector<BYTE> &bytes() const { return bytes_; }

private:
    HRESULT CallDevMode(IPrintOemCommon *plugin, DWORD mode, HANDLE printer, const DevmodeImage *from);

    std::vector<BYTE> bytes_;
};

}  // namespace kvhost
