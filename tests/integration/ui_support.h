// What the UI plug-in's integration tests share: printers installed as the
// spooler installs them, the plug-in loaded as the host loads it, and
// direct looks at the printer data.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kvhost/install.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace uitest {

inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A scratch directory of this test program, made once.
inline std::string ScratchDir()
{
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "kv_ui_integration_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryW(reinterpret_cast<LPCWSTR>(kvhost::ToUtf16(d).c_str()), nullptr);
        return d;
    }();
    return dir;
}

// A copy of a shipped PPD under NAME in the scratch directory, with every
// occurrence of FROM replaced by TO.
inline std::string PpdCopy(const std::string &shipped, const std::string &name, const std::string &from = "",
                           const std::string &to = "")
{
    std::string text = ReadFile(kvhost::PackagingDir() + "/" + shipped);
    if (!from.empty()) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    std::string path = ScratchDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A printer data value as raw bytes; empty when missing.
inline std::vector<BYTE> PrinterData(const std::string &printer, const char *name)
{
    kvhost::OpenedPrinter handle(printer);
    std::u16string value = kvhost::ToUtf16(name);
    DWORD type = 0, needed = 0;
    std::vector<BYTE> data(512);
    DWORD rc = GetPrinterDataW(handle.get(), reinterpret_cast<LPWSTR>(&value[0]), &type, data.data(),
                               static_cast<DWORD>(data.size()), &needed);
    if (rc != ERROR_SUCCESS) return {};
    data.resize(needed);
    return data;
}

inline bool PrinterDataDword(const std::string &printer, const char *name, DWORD *value)
{
    std::vector<BYTE> data = PrinterData(printer, name);
    if (data.size() != sizeof(DWORD)) return false;
    *value = static_cast<DWORD>(data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24));
    return true;
}

inline DWORD SetPrinterDataDword(const std::string &printer, const char *name, DWORD value)
{
    kvhost::OpenedPrinter handle(printer);
    std::u16string n = kvhost::ToUtf16(name);
    return SetPrinterDataW(handle.get(), reinterpret_cast<LPWSTR>(&n[0]), REG_DWORD, reinterpret_cast<LPBYTE>(&value),
                           sizeof(value));
}

// Slot 1 of OEMSupportCapability (the model's capability bits).
inline DWORD SetCapability(const std::string &printer, DWORD capability)
{
    kvhost::OpenedPrinter handle(printer);
    std::u16string n = kvhost::ToUtf16("OEMSupportCapability");
    DWORD slots[4] = {capability, 0, 0, 0};
    return SetPrinterDataW(handle.get(), reinterpret_cast<LPWSTR>(&n[0]), REG_BINARY,
                           reinterpret_cast<LPBYTE>(slots), sizeof(slots));
}

inline std::string PrinterIdText(const std::string &printer)
{
    std::vector<BYTE> data = PrinterData(printer, "OEMPrinterID");
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return kvhost::ToUtf8(text);
}

inline std::string UiModulePath(const std::string &model)
{
    return kvhost::DefaultModuleDir() + "/" + kvhost::FindModel(model)->prefix + "u.dll";
}

// A printer of MODEL (set or product name), installed with its data
// initialised by the UI plug-in unless INITIALIZE is false.
inline void Install(const std::string &name, const std::string &model, bool initialize = true,
                    const std::string &ppdPath = "", const std::string &port = "LPT1:")
{
    kvhost::InstallOptions options;
    options.printerName = name;
    options.model = model;
    options.ppdPath = ppdPath;
    options.port = port;
    options.initialize = initialize;
    kvhost::InstallResult result;
    ASSERT_TRUE(kvhost::InstallPrinter(options, &result)) << result.error;
}

// The plug-in of one model set, loaded as the host loads it, with the
// host's interface on the options of a printer's PPD.
class UiPluginFixture : public ::testing::Test {
protected:
    void LoadPlugin(const std::string &model)
    {
        std::string error;
        ASSERT_TRUE(host_.Load(UiModulePath(model), &core_, &error)) << error;
    }
    void TearDown() override { host_.Unload(); }

    IPrintOemUI2 *Plugin() { return host_.Plugin(); }

    kvhost::CoreUI core_;
    kvhost::UiPluginHost host_;
};

}  // namespace uitest
