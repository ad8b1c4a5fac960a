// Printers of a test in the emulated spooler: added the way the spooler's
// installer leaves them, opened, and closed again with the object, so that
// no handle outlives the test that opened it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvp/spoolctl.h"
#include "kvp/win32.h"

namespace kvtest {

class TestPrinters {
public:
    TestPrinters() = default;
    TestPrinters(const TestPrinters &) = delete;
    TestPrinters &operator=(const TestPrinters &) = delete;
    ~TestPrinters() { CloseAll(); }

    // SPEC's printer added and opened with ACCESS; null (with a failure
    // recorded) when either step fails.
    HANDLE Add(const kvp::PrinterSpec &spec, DWORD access = PRINTER_ALL_ACCESS)
    {
        EXPECT_TRUE(kvp::AddPrinter(spec)) << spec.name;
        return Open(spec.name, access);
    }

    HANDLE Open(const std::string &name, DWORD access = PRINTER_ALL_ACCESS)
    {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        return Open(name, &defaults);
    }

    // DEFAULTS may be null: opened as a program that asks for nothing.
    HANDLE Open(const std::string &name, PRINTER_DEFAULTSW *defaults)
    {
        std::u16string wide(name.begin(), name.end());
        HANDLE printer = nullptr;
        EXPECT_TRUE(OpenPrinterW(reinterpret_cast<LPWSTR>(&wide[0]), &printer, defaults)) << name;
        if (printer != nullptr) open_.push_back(printer);
        return printer;
    }

    // One of the handles closed before the others.
    void Close(HANDLE printer)
    {
        for (auto it = open_.begin(); it != open_.end(); ++it) {
            if (*it != printer) continue;
            ClosePrinter(printer);
            open_.erase(it);
            return;
        }
        ADD_FAILURE() << "not a handle of these printers";
    }

    void CloseAll()
    {
        for (HANDLE printer : open_) ClosePrinter(printer);
        open_.clear();
    }

    size_t Count() const { return open_.size(); }

private:
    std::vector<HANDLE> open_;
};

}  // namespace kvtest
