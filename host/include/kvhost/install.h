// Installing and removing a printer of one of our model sets as the
// spooler does: the printer with its driver (PPD as data file, the UI
// plug-in as configuration file, the render plug-in as driver), then the UI
// plug-in loaded as the host loads it for the printer-initialisation
// event. Removal sends the deletion event before the printer goes.
#pragma once

#include <string>

#include "kvcontract.h"

namespace kvhost {

// One model we ship.
struct ModelInfo {
    const char *product;   // the PPD's product name
    const char *modelSet;  // oskel, tavrin, merrow, pellin
    const char *prefix;    // module prefix, e.g. kvpsctv
    const char *ppd;       // file in packaging/
    char line;             // 'A' or 'B'
};

// The model of a product name ("Vastrelo 1165 PS") or, for a model set
// name, its first model; null when unknown.
const ModelInfo *FindModel(const std::string &productOrSet);

// Where the built modules are (KV_MODULE_DIR) and where the shipped PPDs are.
std::string DefaultModuleDir();
std::string PackagingDir();

struct InstallOptions {
    std::string printerName;
    // The model set or the product name; a product name chooses its PPD.
    std::string model = "tavrin";
    // A PPD to install instead of the model's (a test's copy); the model
    // still decides the modules.
    std::string ppdPath;
    std::string moduleDir;  // empty: DefaultModuleDir()
    std::string port = "LPT1:";
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY;
    // Empty: "Korvane " + the product name, followed by the PPD's file name
    // in parentheses when ppdPath is given.
    std::string driverName;
    // Send PRINTER_EVENT_INITIALIZE through the UI plug-in once the
    // printer is there, as the spooler does.
    bool initialize = true;
};

struct InstallResult {
    std::string ppdPath;
    std::string uiModule;
    std::string renderModule;
    // The UI plug-in's answer to PRINTER_EVENT_INITIALIZE (E_FAIL when it
    // was not sent).
    HRESULT initializeResult = E_FAIL;
    std::string error;
};

// True when the printer was added and, when asked, the initialisation
// event was delivered (whatever the plug-in answered: see
// initializeResult).
bool InstallPrinter(const InstallOptions &options, InstallResult *result = nullptr);

// PRINTER_EVENT_DELETE through the printer's UI plug-in, then the printer
// is deleted. *EVENTRESULT gets the plug-in's answer.
bool RemovePrinter(const std::string &printerName, HRESULT *eventResult = nullptr, std::string *error = nullptr);

// A printer handle for the length of a scope.
class OpenedPrinter {
public:
    explicit OpenedPrinter(const std::string &printerName, DWORD access = PRINTER_ALL_ACCESS);
    ~OpenedPrinter();
    OpenedPrinter(const OpenedPrinter &) = delete;
    OpenedPrinter &operator=(const OpenedPrinter &) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace kvhost
