// The private DEVMODE record fed from documents: arbitrary bytes as a
// public DEVMODEW with its driver-extra area, and as a private record on its
// own, through FindPrivateDevmode, ConvertDevmode and MergeDevmode. Every
// buffer is allocated to its exact size, so AddressSanitizer reports any
// byte read or written outside what is really there.
//
// Input: byte 0 chooses the output buffer size, byte 1 where inside the
// driver-extra area the host's record pointer is, the rest are the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "devmode.h"
#include "fuzzsupport.h"

namespace {

constexpr DWORD kHighestId = 25;  // beyond the table, to cover unknown ids

struct Exact {
    Exact(const uint8_t *data, size_t n) : bytes(new uint8_t[n ? n : 1]), size(n)
    {
        if (n) memcpy(bytes.get(), data, n);
    }
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
};

// The host's output buffer: this build's header and defaults, cut to size.
Exact OutputBuffer(uint8_t choice)
{
    PrivateDevmode fresh;
    SetDevmodeDefaults(&fresh);
    size_t size = (choice & 0x80) ? sizeof(fresh) : (choice * 3u) % (sizeof(fresh) + 1);
    return Exact(reinterpret_cast<const uint8_t *>(&fresh), size);
}

// Every accessor on a record that lies wholly inside its buffer.
void ReadAndWriteFields(PrivateDevmode *record)
{
    for (DWORD n = 0; n <= kHighestId; ++n) {
        auto id = static_cast<DevmodeFieldId>(n);
        SHORT value = GetDevmodeShort(id, record);
        DWORD flag = GetDevmodeFlag(id, record);
        WCHAR text[256];
        DWORD capacity = 256;
        GetDevmodeString(id, record, &capacity, text);
        BYTE raw[64];
        DWORD length = sizeof(raw);
        GetDevmodeField(id, record, DevmodeFieldType::RawBytes, &length, raw);
        SetDevmodeShort(id, record, static_cast<SHORT>(value + 1));
        SetDevmodeFlag(id, record, !flag);
        SetDevmodeString(id, record, text);
    }
}

void ConvertAndMerge(const uint8_t *input, DWORD inputSize, uint8_t outputChoice)
{
    Exact output = OutputBuffer(outputChoice);
    auto *out = reinterpret_cast<PrivateDevmode *>(output.bytes.get());
    ConvertDevmode(out, reinterpret_cast<const PrivateDevmode *>(input), static_cast<DWORD>(output.size), inputSize);
    if (output.size < sizeof(PrivateDevmode)) {
        // A short host buffer is refused, never written.
        if (MergeDevmode(out, out, static_cast<DWORD>(output.size))) abort();
        return;
    }
    // Merge takes whole records only (the host converts first).
    if (inputSize >= sizeof(PrivateDevmode))
        MergeDevmode(out, reinterpret_cast<const PrivateDevmode *>(input), static_cast<DWORD>(output.size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    KvFuzzAttachModule();
    if (size < 2) return 0;
    const uint8_t outputChoice = data[0];
    const uint8_t where = data[1];
    data += 2;
    size -= 2;

    // The bytes as a private record on their own.
    Exact record(data, size);
    ConvertAndMerge(record.bytes.get(), static_cast<DWORD>(size), outputChoice);

    // The bytes as a DEVMODEW from a document. Its size fields may claim
    // anything: with the buffer's size given, the search stays inside it.
    if (size < offsetof(DEVMODEW, dmFields)) return 0;
    Exact document(data, size);
    auto *devmode = reinterpret_cast<DEVMODEW *>(document.bytes.get());
    FindPrivateDevmode(devmode, static_cast<DWORD>(size));

    // The same DEVMODEW as the spooler hands it on: its sizes checked
    // against the buffer.
    if (devmode->dmSize > size) devmode->dmSize = static_cast<WORD>(size);
    if (devmode->dmDriverExtra > size - devmode->dmSize) devmode->dmDriverExtra = static_cast<WORD>(size - devmode->dmSize);
    if (PrivateDevmode *found = FindPrivateDevmode(devmode)) {
        PrivateDevmode copy;
        SetDevmodeDefaults(&copy);
        MergeDevmode(&copy, found);
        MergeDevmode(found, &copy);
        ReadAndWriteFields(found);
    }

    // The host's DevMode call with its record somewhere in that area.
    if (devmode->dmDriverExtra == 0) return 0;
    size_t at = devmode->dmSize + where % devmode->dmDriverExtra;
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.pPublicDMIn = devmode;
    param.pOEMDMIn = document.bytes.get() + at;
    DWORD inputSize = DevmodeInputSize(&param);
    if (inputSize > size - at) abort();
    ConvertAndMerge(static_cast<const uint8_t *>(param.pOEMDMIn), inputSize, outputChoice);
    return 0;
}
