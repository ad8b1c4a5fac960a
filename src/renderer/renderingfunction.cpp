// The rendering function base: binding to the services, the output
// helpers and the feature-option lookup.
#include "renderingfunction.h"

#include <cstring>

#include "coremain.h"
#include "memory.h"
#include "spoolerinfo.h"

namespace {

inline constexpr WCHAR kFeatureKeywordSizeValue[] = TEXT("FeatureKeywordSize");
inline constexpr WCHAR kFeatureKeywordValue[] = TEXT("FeatureKeyword");
inline constexpr CHAR kPagePerSheet[] = "%PagePerSheet";
inline constexpr CHAR kFalse[] = "False";

// The host keeps a few kilobytes of sticky settings; a size claim beyond
// this is not data it wrote, and is not worth a heap of its own.
constexpr DWORD kStickySettingsMax = 1024 * 1024;

// Length of the string at TEXT within the END - TEXT bytes left, or
// END - TEXT when it is not terminated there.
DWORD BoundedLength(const BYTE *text, const BYTE *end)
{
    const BYTE *p = text;
    while (p < end && *p != 0) ++p;
    return static_cast<DWORD>(p - text);
}

// One record of the host's sticky settings: feature NUL option NUL, then
// anything up to a line feed.
struct StickyRecord {
    LPCSTR feature;
    LPCSTR option;
};

// Finds FEATURE among the records in DATA[0, SIZE).
bool FindStickyRecord(const BYTE *data, DWORD size, LPCSTR feature, StickyRecord *found)
{
    const BYTE *p = data;
    const BYTE *end = data + size;
    while (p < end && *p != 0) {
        const BYTE *name = p;
        DWORD nameLength = BoundedLength(name, end);
        if (name + nameLength >= end) return false;
        const BYTE *option = name + nameLength + 1;
        DWORD optionLength = BoundedLength(option, end);
        if (option + optionLength >= end) return false;
        if (std::strcmp(reinterpret_cast<LPCSTR>(name), feature) == 0) {
            found->feature = reinterpret_cast<LPCSTR>(name);
            found->option = reinterpret_cast<LPCSTR>(option);
            return true;
        }
        p = option + optionLength + 1;
        while (p < end && *p != '\n') ++p;
        if (p < end) ++p;
    }
    return false;
}

// The printer's sticky settings, for features the host cannot answer.
BOOL ReadStickyOptions(HANDLE printer, LPCSTR request, DWORD requestSize, LPSTR reply, DWORD replySize)
{
    if (printer == nullptr) return FALSE;
    DWORD type = 0;
    DWORD size = 0;
    DWORD needed = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(kFeatureKeywordSizeValue), &type, reinterpret_cast<LPBYTE>(&size),
                        sizeof(size), &needed) != ERROR_SUCCESS ||
        needed != sizeof(size) || size == 0 || size > kStickySettingsMax)
        return FALSE;
    PVOID block = nullptr;
    if (!MemAllocZero(&block, size)) return FALSE;
    BYTE *data = static_cast<BYTE *>(block);
    DWORD got = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(kFeatureKeywordValue), &type, data, size, &got) !=
        ERROR_SUCCESS) {
        MemFree(block);
        return FALSE;
    }
    if (got < size) size = got;

    DWORD out = 0;
    BOOL found = FALSE;
    const BYTE *ask = reinterpret_cast<const BYTE *>(request);
    const BYTE *askEnd = ask + requestSize;
    while (ask < askEnd && *ask != 0) {
        DWORD askLength = BoundedLength(ask, askEnd);
        if (ask + askLength >= askEnd) break;
        StickyRecord record = {};
        if (FindStickyRecord(data, size, reinterpret_cast<LPCSTR>(ask), &record)) {
            DWORD featureBytes = static_cast<DWORD>(std::strlen(record.feature)) + 1;
            DWORD optionBytes = static_cast<DWORD>(std::strlen(record.option)) + 1;
            // The pair and the list's closing NUL.
            if (static_cast<ULONGLONG>(out) + featureBytes + optionBytes + 1 > replySize) break;
            std::memcpy(reply + out, record.feature, featureBytes);
            out += featureBytes;
            std::memcpy(reply + out, record.option, optionBytes);
            out += optionBytes;
            found = TRUE;
        }
        ask += askLength + 1;
    }
    if (out < replySize) reply[out] = '\0';
    MemFree(block);
    return found;
}

}  // namespace

RenderingFunction::RenderingFunction()
    : initialized_(false),
      services_(nullptr),
      servicesVersion_(0),
      printer_(nullptr),
      publicDevmode_(nullptr),
      jobInfo_(nullptr),
      device_(nullptr),
      coreHelper_(nullptr),
      optionReply_{}
{
}

RenderingFunction::~RenderingFunction()
{
    if (coreHelper_ != nullptr) coreHelper_->Release();
}

HRESULT RenderingFunction::Initialize(IRenderingSystem *services)
{
    if (services == nullptr) return E_INVALIDARG;
    if (initialized_) KV_LOG(LOG_WARN, "Function is already initialized.\n");
    HRESULT hr = Bind(services);
    if (FAILED(hr)) return hr;
    initialized_ = true;
    return S_OK;
}

HRESULT RenderingFunction::Bind(IRenderingSystem *services)
{
    if (services == nullptr) return E_INVALIDARG;
    services_ = services;
    servicesVersion_ = services->GetVersion();

    HANDLE printer = nullptr;
    PDEVMODEW devmode = nullptr;
    JobInfo *job = nullptr;
    services->GetPrinterHandle(&printer);
    services->GetPublicDevmode(&devmode);
    services->GetJobInfo(&job);
    if (printer == nullptr || devmode == nullptr || job == nullptr) {
        KV_LOG(LOG_WARN, "Function initialization failed.\n");
        services_ = nullptr;
        servicesVersion_ = 0;
        printer_ = nullptr;
        return E_FAIL;
    }
    printer_ = printer;
    publicDevmode_ = devmode;
    jobInfo_ = job;

    device_ = nullptr;
    services->GetDevObj(&device_);
    IPrintCorePS2 *helper = nullptr;
    if (FAILED(services->GetCoreHelper(&helper)) || helper == nullptr) return S_OK;
    if (coreHelper_ != nullptr) {
        coreHelper_->Release();
        coreHelper_ = nullptr;
    }
    void *asked = nullptr;
    if (SUCCEEDED(helper->QueryInterface(IID_IPrintCorePS2, &asked))) coreHelper_ = static_cast<IPrintCorePS2 *>(asked);
    helper->Release();
    return S_OK;
}

HRESULT RenderingFunction::OnProperty(LPCSTR name, LPCVOID data, DWORD size)
{
    if (name == nullptr || data == nullptr || size == 0) return E_INVALIDARG;
    if (std::strcmp(name, kSerializePropertyName) != 0) return S_FALSE;
    return Deserialize(data, size);
}

HRESULT RenderingFunction::Deserialize(LPCVOID data, DWORD size) { return S_OK; }
HRESULT RenderingFunction::OnStartDoc(LPCWSTR documentName, DWORD jobId) { return S_OK; }
HRESULT RenderingFunction::OnEndDoc() { return S_OK; }
HRESULT RenderingFunction::PreBeginStream() { return S_OK; }
HRESULT RenderingFunction::PostEndJob() { return S_OK; }
HRESULT RenderingFunction::OnBeginStream() { return S_OK; }
HRESULT RenderingFunction::OnEndJob() { return S_OK; }
HRESULT RenderingFunction::OnBeginJob() { return S_OK; }
HRESULT RenderingFunction::OnEndStream() { return S_OK; }
HRESULT RenderingFunction::OnPSInject(DWORD index) { return S_OK; }
HRESULT RenderingFunction::Reserved() { return E_NOTIMPL; }

BOOL RenderingFunction::WriteText(LPCSTR text, DWORD length)
{
    if (services_ == nullptr || text == nullptr) return FALSE;
    if (length == 0) length = static_cast<DWORD>(std::strlen(text));
    return SUCCEEDED(services_->Write(text, length));
}

BOOL RenderingFunction::SerializeState(LPCVOID data, DWORD size)
{
    if (services_ == nullptr) return FALSE;
    LPCSTR name = nullptr;
    if (FAILED(GetName(&name)) || name == nullptr) return FALSE;
    return SUCCEEDED(services_->WriteProperty(name, kSerializePropertyName, kPropertyTypeBinary, size, data));
}

BOOL RenderingFunction::GetFeatureOptions(LPCSTR request, DWORD requestSize, LPSTR reply, DWORD replySize)
{
    if (request == nullptr || reply == nullptr || replySize == 0) return FALSE;
    if (device_ != nullptr && coreHelper_ != nullptr) {
        DWORD needed = 0;
        if (SUCCEEDED(coreHelper_->GetOptions(device_, 0, request, requestSize, reply, replySize, &needed)))
            return TRUE;
    }
    return ReadStickyOptions(printer_, request, requestSize, reply, replySize);
}

BOOL RenderingFunction::GetFeatureOption(LPCSTR feature, LPSTR destination, DWORD destinationSize)
{
    if (feature == nullptr || destination == nullptr) return FALSE;
    DWORD length = 0;
    while (length <= kFeatureKeywordMax && feature[length] != '\0') ++length;
    if (length > kFeatureKeywordMax) {
        KV_LOG(LOG_ERROR, "pszFeature length too long.");
        return FALSE;
    }
    CHAR request[kFeatureKeywordMax + 2] = {};
    std::memcpy(request, feature, length);
    std::memset(optionReply_, 0, sizeof(optionReply_));
    if (!GetFeatureOptions(request, length + 2, optionReply_, sizeof(optionReply_))) return FALSE;
    // Whatever the host wrote, the reply ends inside the buffer.
    optionReply_[sizeof(optionReply_) - 1] = '\0';
    if (std::strcmp(optionReply_, feature) != 0) return FALSE;
    // The feature is LENGTH bytes, so its option starts inside the buffer.
    LPCSTR option = optionReply_ + length + 1;
    DWORD optionLength = static_cast<DWORD>(std::strlen(option));
    if (optionLength + 1 > destinationSize) return FALSE;
    std::memcpy(destination, option, optionLength + 1);
    return TRUE;
}

BOOL RenderingFunction::GetFeatureFlag(LPCSTR feature, BOOL *flag)
{
    if (flag == nullptr) return FALSE;
    CHAR option[kOptionTextSize];
    if (!GetFeatureOption(feature, option, sizeof(option))) return FALSE;
    *flag = std::strcmp(option, kFalse) != 0;
    return TRUE;
}

BOOL RenderingFunction::GetFeatureNumber(LPCSTR feature, LONG *number)
{
    if (number == nullptr) return FALSE;
    CHAR option[kOptionTextSize];
    if (!GetFeatureOption(feature, option, sizeof(option))) return FALSE;
    *number = std::strcmp(feature, kPagePerSheet) == 0 ? PagesPerSheetOf(option, printer_) : LeadingNumber(option);
    return TRUE;
}

void *RenderingFunction::operator new(size_t size) noexcept
{
    PVOID block = nullptr;
    if (size > 0xFFFFFFFFu || !MemAlloc(nullptr, &block, static_cast<DWORD>(size))) return nullptr;
    return block;
}

void RenderingFunction::operator delete(void *block) noexcept { MemFree(block); }
