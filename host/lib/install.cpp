// Printer installation and removal as the spooler does them.
#include "kvhost/install.h"

#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace kvhost {
namespace {

const ModelInfo kModels[] = {
    {"Vastrelo 1140 PS", "oskel", "kvpscos", "KV1140.PPD", 'A'},
    {"Vastrelo 1180 PS", "tavrin", "kvpsctv", "KV1180.PPD", 'A'},
    {"Vastrelo 1162 PS", "merrow", "kvpscmw", "KV1162.PPD", 'B'},
    {"Vastrelo 1165 PS", "merrow", "kvpscmw", "KV1165.PPD", 'B'},
    {"Vastrelo 1157 PS", "pellin", "kvpscpl", "KV1157.PPD", 'B'},
};

std::string Join(const std::string &dir, const std::string &name)
{
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace

const ModelInfo *FindModel(const std::string &productOrSet)
{
    for (const ModelInfo &m : kModels)
        if (productOrSet == m.product) return &m;
    for (const ModelInfo &m : kModels)
        if (productOrSet == m.modelSet) return &m;
    return nullptr;
}

std::string DefaultModuleDir() { return KV_MODULE_DIR; }

std::string PackagingDir() { return Join(KV_SOURCE_DIR, "packaging"); }

bool InstallPrinter(const InstallOptions &options, InstallResult *result)
{
    InstallResult local;
    InstallResult &r = result != nullptr ? *result : local;
    r = InstallResult();
    const ModelInfo *model = FindModel(options.model);
    if (model == nullptr) {
        r.error = "unknown model " + options.model;
        return false;
    }
    std::string moduleDir = options.moduleDir.empty() ? DefaultModuleDir() : options.moduleDir;
    r.ppdPath = options.ppdPath.empty() ? Join(PackagingDir(), model->ppd) : options.ppdPath;
    r.uiModule = Join(moduleDir, std::string(model->prefix) + "u.dll");
    r.renderModule = Join(moduleDir, std::string(model->prefix) + "r.dll");

    kvp::PrinterSpec spec;
    spec.name = options.printerName;
    spec.port = options.port;
    spec.attributes = options.attributes;
    spec.driverName = options.driverName;
    if (spec.driverName.empty()) {
        // The spooler keeps one driver per name: a printer with a PPD of its
        // own gets a driver of its own, so that it changes no other printer.
        spec.driverName = std::string("Korvane ") + model->product;
        if (!options.ppdPath.empty()) {
            size_t slash = options.ppdPath.find_last_of("/\\");
            spec.driverName += " (" + options.ppdPath.substr(slash == std::string::npos ? 0 : slash + 1) + ")";
        }
    }
    spec.dataFile = r.ppdPath;
    spec.configFile = r.uiModule;
    spec.driverPath = r.renderModule;
    if (!kvp::AddPrinter(spec)) {
        r.error = "AddPrinter(" + options.printerName + ") failed, error " + std::to_string(GetLastError());
        return false;
    }
    if (!options.initialize) return true;

    // The spooler's UI half loads the configuration module for the event.
    CoreUI core;
    UiPluginHost host;
    if (!host.Load(r.uiModule, &core, &r.error)) return false;
    r.initializeResult = host.PrinterEvent(options.printerName, PRINTER_EVENT_INITIALIZE);
    return true;
}

bool RemovePrinter(const std::string &printerName, HRESULT *eventResult, std::string *error)
{
    kvp::PrinterSpec spec;
    if (!kvp::GetPrinterSpec(printerName, &spec)) {
        if (error) *error = "no printer " + printerName;
        return false;
    }
    {
        CoreUI core;
        UiPluginHost host;
        if (!host.Load(spec.configFile, &core, error)) return false;
        HRESULT hr = host.PrinterEvent(printerName, PRINTER_EVENT_DELETE);
        if (eventResult != nullptr) *eventResult = hr;
    }
    if (!kvp::DeletePrinter(printerName)) {
        if (error) *error = "DeletePrinter(" + printerName + ") failed, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

OpenedPrinter::OpenedPrinter(const std::string &printerName, DWORD access)
{
    std::u16string name = ToUtf16(printerName);
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (!OpenPrinterW(reinterpret_cast<LPWSTR>(&name[0]), &handle_, &defaults)) handle_ = nullptr;
}

OpenedPrinter::~OpenedPrinter()
{
    if (handle_ != nullptr) ClosePrinter(handle_);
}

}  // namespace kvhost
