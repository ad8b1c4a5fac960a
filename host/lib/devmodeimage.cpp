// The host's document DEVMODEW.
#include "kvhost/devmodeimage.h"

#include <cstring>

namespace kvhost {
namespace {

// A plug-in record must at least hold the host's header and must leave the
// whole driver-extra area within its 16-bit size.
constexpr DWORD kMinRecord = sizeof(OEM_DMEXTRAHEADER);
constexpr DWORD kMaxRecord = 0xFFFF - DevmodeImage::kHostPartSize;

void DefaultPublicPart(DEVMODEW *dm, const std::u16string &deviceName)
{
    std::memset(dm, 0, sizeof(*dm));
    size_t n = deviceName.size() < CCHDEVICENAME - 1 ? deviceName.size() : CCHDEVICENAME - 1;
    for (size_t i = 0; i < n; ++i) dm->dmDeviceName[i] = static_cast<WCHAR>(deviceName[i]);
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmDriverVersion = 0x0600;
    dm->dmSize = DevmodeImage::kPublicSize;
    dm->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_COPIES | DM_DEFAULTSOURCE | DM_PRINTQUALITY |
                   DM_COLOR | DM_DUPLEX | DM_YRESOLUTION | DM_TTOPTION | DM_COLLATE | DM_FORMNAME;
    dm->dmOrientation = DMORIENT_PORTRAIT;
    dm->dmPaperSize = DMPAPER_A4;
    dm->dmScale = 100;
    dm->dmCopies = 1;
    dm->dmDefaultSource = DMBIN_AUTO;
    dm->dmPrintQuality = 600;
    dm->dmColor = DMCOLOR_MONOCHROME;
    dm->dmDuplex = DMDUP_SIMPLEX;
    dm->dmYResolution = 600;
    dm->dmTTOption = 2;
    dm->dmCollate = DMCOLLATE_FALSE;
    const char form[] = "A4";
    for (size_t i = 0; form[i] != '\0'; ++i) dm->dmFormName[i] = static_cast<WCHAR>(form[i]);
}

}  // namespace

HRESULT DevmodeImage::Build(IPrintOemCommon *plugin, HANDLE printer, const std::u16string &deviceName)
{
    bytes_.clear();
    if (plugin == nullptr) return E_POINTER;

    DEVMODEW publicPart;
    DefaultPublicPart(&publicPart, deviceName);
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.pdriverobj = this;
    param.hPrinter = printer;
    param.pPublicDMIn = &publicPart;
    param.pPublicDMOut = &publicPart;
    HRESULT hr = plugin->DevMode(OEMDM_SIZE, &param);
    if (FAILED(hr)) return hr;
    DWORD recordSize = param.cbBufSize;
    if (recordSize < kMinRecord || recordSize > kMaxRecord) return E_FAIL;

    std::vector<BYTE> image(kPublicSize + kHostPartSize + recordSize, 0);
    publicPart.dmDriverExtra = static_cast<WORD>(kHostPartSize + recordSize);
    std::memcpy(image.data(), &publicPart, sizeof(publicPart));
    bytes_.swap(image);

    param = {};
    param.cbSize = sizeof(param);
    param.pdriverobj = this;
    param.hPrinter = printer;
    param.pPublicDMIn = Public();
    param.pPublicDMOut = Public();
    param.pOEMDMOut = PluginRecord();
    param.cbBufSize = recordSize;
    hr = plugin->DevMode(OEMDM_DEFAULT, &param);
    if (FAILED(hr)) bytes_.clear();
    return hr;
}

HRESULT DevmodeImage::CallDevMode(IPrintOemCommon *plugin, DWORD mode, HANDLE printer, const DevmodeImage *from)
{
    if (plugin == nullptr) return E_POINTER;
    if (Empty() || from == nullptr || from->Empty()) return E_FAIL;
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.pdriverobj = this;
    param.hPrinter = printer;
    // The plug-in only reads the input; the contract's blocks are not const.
    param.pPublicDMIn = const_cast<DEVMODEW *>(from->Public());
    param.pPublicDMOut = Public();
    param.pOEMDMIn = const_cast<BYTE *>(from->PluginRecord());
    param.pOEMDMOut = PluginRecord();
    param.cbBufSize = PluginRecordSize();
    return plugin->DevMode(mode, &param);
}

HRESULT DevmodeImage::Convert(IPrintOemCommon *plugin, HANDLE printer, const DevmodeImage &from)
{
    return CallDevMode(plugin, OEMDM_CONVERT, printer, &from);
}

HRESULT DevmodeImage::Merge(IPrintOemCommon *plugin, HANDLE printer, const DevmodeImage &from)
{
    return CallDevMode(plugin, OEMDM_MERGE, printer, &from);
}

bool DevmodeImage::Assign(const BYTE *bytes, size_t size)
{
    if (bytes == nullptr || size < kPublicSize) return false;
    DEVMODEW dm;
    std::memcpy(&dm, bytes, sizeof(dm));
    if (dm.dmSize != kPublicSize || dm.dmDriverExtra < kHostPartSize) return false;
    size_t total = static_cast<size_t>(dm.dmSize) + dm.dmDriverExtra;
    if (total > size) return false;
    bytes_.assign(bytes, bytes + total);
    return true;
}

DEVMODEW *DevmodeImage::Public() { return Empty() ? nullptr : reinterpret_cast<DEVMODEW *>(bytes_.data()); }

const DEVMODEW *DevmodeImage::Public() const
{
    return Empty() ? nullptr : reinterpret_cast<const DEVMODEW *>(bytes_.data());
}

BYTE *DevmodeImage::HostPart() { return Empty() ? nullptr : bytes_.data() + kPublicSize; }

const BYTE *DevmodeImage::HostPart() const { return Empty() ? nullptr : bytes_.data() + kPublicSize; }

BYTE *DevmodeImage::PluginRecord() { return Empty() ? nullptr : bytes_.data() + kPublicSize + kHostPartSize; }

const BYTE *DevmodeImage::PluginRecord() const
{
    return Empty() ? nullptr : bytes_.data() + kPublicSize + kHostPartSize;
}

DWORD DevmodeImage::PluginRecordSize() const
{
    return Empty() ? 0 : static_cast<DWORD>(bytes_.size() - kPublicSize - kHostPartSize);
}

void DevmodeImage::SetPageLayout(DWORD layout)
{
    if (Empty()) return;
    std::memcpy(HostPart() + kPageLayoutOffset, &layout, sizeof(layout));
}

DWORD DevmodeImage::PageLayout() const
{
    DWORD layout = 0;
    if (!Empty()) std::memcpy(&layout, HostPart() + kPageLayoutOffset, sizeof(layout));
    return layout;
}

}  // namespace kvhost
