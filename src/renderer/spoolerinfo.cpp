// Spooler queries of the render plug-in.
#include "spoolerinfo.h"

#include "identity.h"
#include "memory.h"

namespace {

constexpr LONG kBookletRawOnly = 1;
constexpr LONG kBookletSpooled = 2;

// Asks for the size, then reads into a block of that size. READ is one of
// the spooler's level calls bound to its handle and id.
template <typename Read>
PVOID ReadLevel(Read read)
{
    DWORD needed = 0;
    if (read(nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return nullptr;
    PVOID block = nullptr;
    if (!MemAllocZero(&block, needed)) return nullptr;
    DWORD again = 0;
    if (!read(static_cast<LPBYTE>(block), needed, &again)) {
        MemFree(block);
        return nullptr;
    }
    return block;
}

}  // namespace

PVOID ReadPrinterInfo(HANDLE printer, DWORD level)
{
    if (printer == nullptr) return nullptr;
    return ReadLevel([&](LPBYTE buffer, DWORD size, LPDWORD needed) {
        return GetPrinterW(printer, level, buffer, size, needed) != FALSE;
    });
}

PVOID ReadJobInfo2(HANDLE printer, DWORD jobId)
{
    if (printer == nullptr) return nullptr;
    return ReadLevel([&](LPBYTE buffer, DWORD size, LPDWORD needed) {
        return GetJobW(printer, jobId, 2, buffer, size, needed) != FALSE;
    });
}

LONG PagesPerSheetOf(LPCSTR option, HANDLE printer)
{
    if (option == nullptr) return 0;
    static const char kBooklet[] = "Booklet";
    bool booklet = true;
    for (size_t i = 0; i < sizeof(kBooklet); ++i) {
        if (option[i] != kBooklet[i]) {
            booklet = false;
            break;
        }
    }
    if (booklet) return IsRawOnlyPrinter(printer) ? kBookletRawOnly : kBookletSpooled;
    return LeadingNumber(option);
}

LONG LeadingNumber(LPCSTR text)
{
    if (text == nullptr) return 0;
    LONG number = 0;
    for (LPCSTR p = text; *p >= '0' && *p <= '9'; ++p) {
        // No option means a number this large; keep it from overflowing.
        if (number > 100000000) break;
        number = number * 10 + (*p - '0');
    }
    return number;
}
