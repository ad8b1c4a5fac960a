// Any file may be installed as a printer's PPD: finding the product line in
// it must stay inside the file, read from a mapped file as the plug-ins do
// and from a block of exactly the file's size, where a read past the end is
// caught.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "fuzzsupport.h"
#include "kvp/spoolctl.h"
#include "ppd.h"

namespace {

std::string g_path;
HANDLE g_printer = nullptr;

std::u16string Wide(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void RemoveFile() { unlink(g_path.c_str()); }

void CheckName(BOOL ok, const char *name, DWORD capacity)
{
    if (ok && (capacity >= PPD_PRODUCT_CAPACITY || strlen(name) != capacity)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    KvFuzzAttachModule();
    g_path = std::string(P_tmpdir) + "/kv_ppd_fuzz_" + std::to_string(getpid()) + ".ppd";
    atexit(RemoveFile);
    kvp::PrinterSpec spec;
    spec.name = "Fuzzed PPD";
    spec.driverName = "KV PS fuzz";
    spec.dataFile = g_path;
    kvp::AddPrinter(spec);
    std::u16string name = Wide(spec.name);
    OpenPrinterW(reinterpret_cast<LPWSTR>(name.data()), &g_printer, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // In memory, exactly the file's size.
    std::unique_ptr<char[]> exact(new char[size ? size : 1]);
    if (size) memcpy(exact.get(), data, size);
    MappedFile memory{INVALID_HANDLE_VALUE, nullptr, static_cast<DWORD>(size), exact.get()};
    const CHAR *value = FindQuotedValue(&memory, "\n*Product");
    if (value != nullptr && (value <= exact.get() || value > exact.get() + size)) abort();
    char name[PPD_PRODUCT_CAPACITY];
    DWORD capacity = PPD_PRODUCT_CAPACITY;
    CheckName(ReadProductName(&memory, name, &capacity), name, capacity);

    // The same bytes as a file, mapped and read through the printer.
    FILE *file = fopen(g_path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size) fwrite(data, 1, size, file);
    fclose(file);
    std::u16string path = Wide(g_path);
    MappedFile mapped;
    if (MapFileView(reinterpret_cast<LPCWSTR>(path.c_str()), &mapped, FALSE)) {
        if (mapped.size != size) abort();
        FindQuotedValue(&mapped, "\n*Product");
        UnmapFileView(&mapped);
    }
    capacity = PPD_PRODUCT_CAPACITY;
    CheckName(ReadPpdProduct(g_printer, name, &capacity), name, capacity);
    return 0;
}
