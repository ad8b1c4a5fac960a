// The host's UI half: loading the UI plug-in, CommonUIProp and the
// property sheet calls, the printer events.
#include "kvhost/uihost.h"

#include <cstring>

namespace kvhost {
namespace {

typedef HRESULT(STDAPICALLTYPE *DllGetClassObjectProc)(REFCLSID, REFIID, LPVOID *);
typedef HRESULT(STDAPICALLTYPE *DllCanUnloadNowProc)();

template <typename Proc>
Proc Export(HMODULE module, const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string Hex(HRESULT hr)
{
    char text[16];
    static const char digits[] = "0123456789ABCDEF";
    DWORD v = static_cast<DWORD>(hr);
    text[0] = '0';
    text[1] = 'x';
    for (int i = 0; i < 8; ++i) text[2 + i] = digits[(v >> (28 - 4 * i)) & 0xF];
    text[10] = '\0';
    return text;
}

// The host hands the plug-in a UI object it only passes back.
void InitUiObject(OEMUIOBJ *object)
{
    object->cbSize = sizeof(*object);
    object->pOemUIProcs = nullptr;
}

}  // namespace

std::u16string ToUtf16(const std::string &utf8)
{
    if (utf8.empty()) return std::u16string();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return std::u16string();
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), reinterpret_cast<LPWSTR>(&out[0]), n);
    return out;
}

std::string ToUtf8(const std::u16string &text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(text.data()), static_cast<int>(text.size()),
                                nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(text.data()), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

std::string ToUtf8(const WCHAR *text)
{
    return text != nullptr ? ToUtf8(std::u16string(reinterpret_cast<const char16_t *>(text))) : std::string();
}

// ---------------------------------------------------------------------------
// UiPluginHost

UiPluginHost::~UiPluginHost() { Unload(); }

bool UiPluginHost::LoadModule(const std::string &modulePath, std::string *error)
{
    Unload();
    std::u16string path = ToUtf16(modulePath);
    module_ = LoadLibraryW(reinterpret_cast<LPCWSTR>(path.c_str()));
    if (module_ == nullptr) {
        if (error) *error = "LoadLibraryW(" + modulePath + ") failed, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool UiPluginHost::Load(const std::string &modulePath, IUnknown *core, std::string *error)
{
    if (!LoadModule(modulePath, error)) return false;
    auto fail = [&](const std::string &step, HRESULT hr) {
        if (error) *error = step + " failed: " + Hex(hr);
        Unload();
        return false;
    };
    IClassFactory *factory = nullptr;
    HRESULT hr = GetClassObject(CLSID_OEMUI, IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (FAILED(hr) || factory == nullptr) return fail("DllGetClassObject", hr);
    IUnknown *unknown = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&unknown));
    factory->Release();
    if (FAILED(hr) || unknown == nullptr) return fail("CreateInstance", hr);
    hr = unknown->QueryInterface(IID_IPrintOemUI2, reinterpret_cast<void **>(&plugin_));
    unknown->Release();
    if (FAILED(hr) || plugin_ == nullptr) {
        plugin_ = nullptr;
        return fail("QueryInterface(IPrintOemUI2)", hr);
    }
    DWORD needed = 0;
    hr = plugin_->GetInfo(OEMGI_GETSIGNATURE, &signature_, sizeof(signature_), &needed);
    if (FAILED(hr)) return fail("GetInfo(OEMGI_GETSIGNATURE)", hr);
    if (core != nullptr) {
        hr = plugin_->PublishDriverInterface(core);
        if (FAILED(hr)) return fail("PublishDriverInterface", hr);
    }
    return true;
}

void UiPluginHost::Unload()
{
    if (plugin_ != nullptr) plugin_->Release();
    plugin_ = nullptr;
    signature_ = 0;
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
}

HRESULT UiPluginHost::GetClassObject(REFCLSID clsid, REFIID iid, void **ppv)
{
    DllGetClassObjectProc entry = module_ != nullptr ? Export<DllGetClassObjectProc>(module_, "DllGetClassObject") : nullptr;
    if (entry == nullptr) return E_UNEXPECTED;
    return entry(clsid, iid, ppv);
}

HRESULT UiPluginHost::CanUnloadNow()
{
    DllCanUnloadNowProc entry = module_ != nullptr ? Export<DllCanUnloadNowProc>(module_, "DllCanUnloadNow") : nullptr;
    if (entry == nullptr) return E_UNEXPECTED;
    return entry();
}

HRESULT UiPluginHost::PrinterEvent(const std::string &printerName, INT event, DWORD flags)
{
    if (plugin_ == nullptr) return E_UNEXPECTED;
    std::u16string name = ToUtf16(printerName);
    return plugin_->PrinterEvent(reinterpret_cast<PWSTR>(&name[0]), event, flags, 0);
}

// ---------------------------------------------------------------------------
// CommonUIHost

CommonUIHost::CommonUIHost(IPrintOemUI2 *plugin, DWORD mode, HANDLE printer, const std::string &printerName,
                           DevmodeImage *devmode)
    : plugin_(plugin), mode_(mode), heap_(HeapCreate(0, 0, 0)), printerName_(ToUtf16(printerName))
{
    InitUiObject(&uiObject_);
    param_.cbSize = sizeof(param_);
    param_.poemuiobj = &uiObject_;
    param_.hPrinter = printer;
    param_.pPrinterName = reinterpret_cast<PWSTR>(&printerName_[0]);
    param_.hOEMHeap = heap_;
    if (devmode != nullptr && !devmode->Empty()) {
        param_.pPublicDM = devmode->Public();
        param_.pOEMDM = devmode->PluginRecord();
    }
}

CommonUIHost::~CommonUIHost()
{
    if (heap_ != nullptr) HeapDestroy(heap_);
}

HRESULT CommonUIHost::Call()
{
    param_.pOEMOptItems = nullptr;
    return plugin_->CommonUIProp(mode_, &param_);
}

HRESULT CommonUIHost::CallAgain()
{
    // Room for as many items as the plug-in asked for (at least one, so that
    // the pointer is there even when it asked for none).
    items_.assign(param_.cOEMOptItems > 0 ? param_.cOEMOptItems : 1, OPTITEM{});
    for (OPTITEM &item : items_) item.cbSize = sizeof(OPTITEM);
    param_.pOEMOptItems = items_.data();
    return plugin_->CommonUIProp(mode_, &param_);
}

LONG CommonUIHost::Notify(WORD reason, POPTITEM current)
{
    if (param_.OEMCUIPCallback == nullptr) return -1;
    CPSUICBPARAM cb = {};
    cb.cbSize = sizeof(cb);
    cb.Reason = reason;
    cb.pOptItem = param_.pDrvOptItems;
    cb.cOptItem = static_cast<WORD>(param_.cDrvOptItems);
    cb.pCurItem = current;
    return param_.OEMCUIPCallback(&cb, &param_);
}

// ---------------------------------------------------------------------------
// PropertySheetHost

PropertySheetHost::PropertySheetHost(IPrintOemUI2 *plugin, SheetKind kind, HANDLE printer,
                                     const std::string &printerName, DevmodeImage *devmode)
    : plugin_(plugin), kind_(kind), heap_(HeapCreate(0, 0, 0)), printerName_(ToUtf16(printerName))
{
    InitUiObject(&uiObject_);
    param_.cbSize = sizeof(param_);
    param_.poemuiobj = &uiObject_;
    param_.hPrinter = printer;
    param_.pPrinterName = reinterpret_cast<PWSTR>(&printerName_[0]);
    param_.hOEMHeap = heap_;
    if (kind == SheetKind::Document && devmode != nullptr && !devmode->Empty()) {
        param_.pPublicDM = devmode->Public();
        param_.pOEMDM = devmode->PluginRecord();
    }
    info_.cbSize = sizeof(info_);
    info_.Version = 0x0100;
    info_.hComPropSheet = SheetHandle();
    info_.pfnComPropSheet = &PropertySheetHost::PageCallback;
    info_.lParamInit = reinterpret_cast<LPARAM>(&param_);
}

PropertySheetHost::~PropertySheetHost()
{
    if (open_) Destroy();
    if (heap_ != nullptr) HeapDestroy(heap_);
}

HRESULT PropertySheetHost::Send(WORD reason, LPARAM lParam)
{
    info_.Reason = reason;
    info_.Result = 0;
    return kind_ == SheetKind::Document ? plugin_->DocumentPropertySheets(&info_, lParam)
                                        : plugin_->DevicePropertySheets(&info_, lParam);
}

HRESULT PropertySheetHost::Init()
{
    open_ = true;
    return Send(PROPSHEETUI_REASON_INIT, 0);
}

HRESULT PropertySheetHost::SetResult(LRESULT result)
{
    SETRESULT_INFO setResult = {};
    setResult.cbSize = sizeof(setResult);
    setResult.hSetResult = SheetHandle();
    setResult.Result = result;
    return Send(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&setResult));
}

HRESULT PropertySheetHost::Destroy()
{
    open_ = false;
    return Send(PROPSHEETUI_REASON_DESTROY, 0);
}

HRESULT PropertySheetHost::Call(WORD reason, LPARAM lParam)
{
    if (reason == PROPSHEETUI_REASON_INIT) open_ = true;
    if (reason == PROPSHEETUI_REASON_DESTROY) open_ = false;
    return Send(reason, lParam);
}

LONG_PTR CALLBACK PropertySheetHost::PageCallback(HANDLE sheet, UINT function, LPARAM lParam1, LPARAM lParam2)
{
    PropertySheetHost *self = reinterpret_cast<PropertySheetHost *>(sheet);
    if (self == nullptr) return 0;
    switch (function) {
    case CPSFUNC_ADD_PROPSHEETPAGEW: {
        const PROPSHEETPAGEW *page = reinterpret_cast<const PROPSHEETPAGEW *>(lParam1);
        if (page == nullptr || self->refusePages_) return 0;
        AddedPage added = {};
        // The plug-in says how much of the description it filled.
        size_t size = page->dwSize < sizeof(PROPSHEETPAGEW) ? page->dwSize : sizeof(PROPSHEETPAGEW);
        std::memcpy(&added.page, page, size);
        added.handle = static_cast<LONG_PTR>(0x7000 + self->pages_.size() + 1);
        self->pages_.push_back(added);
        return added.handle;
    }
    case CPSFUNC_SET_RESULT:
        self->setResults_.push_back({lParam1, lParam2});
        return 1;
    default:
        return 0;
    }
}

}  // namespace kvhost
