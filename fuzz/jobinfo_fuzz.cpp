// The job facts that arrive from the application's process: the serialized
// JobInfo read on its own, and inside the UI plug-in's private escape
// through the render plug-in's escape hook. Every input sits in a block of
// exactly its size, so AddressSanitizer reports any byte read outside it;
// whatever is read must leave a record whose strings end inside their
// fields and that serializes and reads back to the same facts.
//
// Input: byte 0 chooses the route (reader, private escape with the tag put
// in front, private escape as given, escape support query, another
// escape); the rest is the payload.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "ddihook.h"
#include "fuzzsupport.h"
#include "jobinfo.h"
#include "pluginrenderingsystem.h"

namespace {

ULONG APIENTRY HostEscape(SURFOBJ *, ULONG, ULONG, PVOID, ULONG, PVOID) { return 7; }

// A device with a record and a document, as after the document start.
struct Device {
    Device()
    {
        host.iFunc = INDEX_DrvEscape;
        host.pfn = reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(&HostEscape));
        hostData = {PRINTER_OEMINTF_VERSION, 1, &host};
        pdev = CreateOemPdev(&devobj, &hostData);
        if (pdev == nullptr) abort();
        pdev->document = CreateDocumentInfo();
        if (pdev->document == nullptr) abort();
        devobj.pdevOEM = pdev;
        surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
    }

    DRVFN host = {};
    DRVENABLEDATA hostData = {};
    DEVOBJ devobj = {};
    SURFOBJ surface = {};
    OemPdev *pdev = nullptr;
};

void CheckRecord(const JobInfo *info)
{
    for (const JobInfoField *row = JobInfoFieldTable; row->id != 0; ++row) {
        if (row->kind != JOBINFO_STRING) continue;
        LPCSTR text = GetJobInfoString(info, static_cast<JobInfoFieldId>(row->id));
        if (strnlen(text, row->capacity + 1) > row->capacity) abort();
    }
    BYTE *bytes = nullptr;
    DWORD size = 0;
    if (!SerializeJobInfoAlloc(info, &bytes, &size)) abort();
    std::unique_ptr<BYTE[]> exact(new BYTE[size]);
    memcpy(exact.get(), bytes, size);
    MemFree(bytes);
    JobInfo again;
    InitJobInfo(&again);
    if (!ReadSerializedJobInfo(&again, exact.get(), size)) abort();
    // A string travels up to its first NUL; everything else whole.
    for (const JobInfoField *row = JobInfoFieldTable; row->id != 0; ++row) {
        if (again.set[row->id] != info->set[row->id]) abort();
        const BYTE *a = again.data + row->offset;
        const BYTE *b = info->data + row->offset;
        if (row->kind == JOBINFO_STRING ? strcmp(reinterpret_cast<const char *>(a), reinterpret_cast<const char *>(b)) != 0
                                         : memcmp(a, b, row->capacity) != 0)
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    KvFuzzAttachModule();
    if (size == 0) return 0;
    static Device device;
    uint8_t route = data[0] % 5;
    size_t payloadSize = size - 1;

    if (route == 0) {
        std::unique_ptr<BYTE[]> exact(new BYTE[payloadSize ? payloadSize : 1]);
        memcpy(exact.get(), data + 1, payloadSize);
        JobInfo info;
        InitJobInfo(&info);
        ReadSerializedJobInfo(&info, exact.get(), static_cast<DWORD>(payloadSize));
        CheckRecord(&info);
        return 0;
    }

    // The escape's input: the payload, with the tag in front on route 1.
    size_t inputSize = payloadSize + (route == 1 ? sizeof(DWORD) : 0);
    std::unique_ptr<BYTE[]> input(new BYTE[inputSize ? inputSize : 1]);
    size_t at = 0;
    if (route == 1) {
        DWORD tag = kPrivateEscapeTag;
        memcpy(input.get(), &tag, sizeof(tag));
        at = sizeof(tag);
    }
    memcpy(input.get() + at, data + 1, payloadSize);

    JobInfo *info = &device.pdev->document->jobInfo;
    InitJobInfo(info);
    ULONG code = route <= 2 ? kPrivateEscapeCode : route == 3 ? QUERYESCSUPPORT : 4115;
    ULONG answer =
        OemEscape(&device.surface, code, static_cast<ULONG>(inputSize), inputSize ? input.get() : nullptr, 0, nullptr);
    switch (route) {
    case 1:
    case 2:
        if (answer != 1) abort();
        break;
    case 3: {
        DWORD asked = 0;
        if (inputSize >= sizeof(asked)) memcpy(&asked, input.get(), sizeof(asked));
        ULONG expected = inputSize < sizeof(asked) ? 0 : asked == kPrivateEscapeCode ? 1 : 7;
        if (answer != expected) abort();
        break;
    }
    default:
        if (answer != 7) abort();
        break;
    }
    CheckRecord(info);
    return 0;
}
