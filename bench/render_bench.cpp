// The render path against a plain copy: a PostScript stream of at least
// 256 MiB through the host simulator and the render plug-in into the
// spool, with print speed priority off (output held back until the first
// page is complete) and on (straight to the spool), each timed against a
// plain copy of the same bytes into the spool in the same run.
//
// Reported per mode: "ratio" = plain copy time / render time of the fastest
// run of each (the goal is at least 0.9; "ratio_mean" over all runs), both
// throughputs, and "held_max", the most bytes the plug-in ever held back,
// checked against the flush threshold.
//
//   build/native-release/bin/render_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kvhost/install.h"
#include "kvhost/renderhost.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"

namespace {

constexpr size_t kPageBytes = 1 << 20;  // one page of line art
constexpr int kPages = 256;              // 256 MiB in all
constexpr DWORD kChunk = 4096;           // the host's WritePrinter size
// The plug-in flushes when, after an append, it holds more than this.
constexpr size_t kFlushThreshold = 4190208;

const char kPrinter[] = "Bench Plotter";

std::string Prolog()
{
    return "%!PS-Adobe-3.0\r\n%%Title: render benchmark\r\n%%Pages: " + std::to_string(kPages) +
           "\r\n%%EndComments\r\n%%BeginProlog\r\n/L { newpath moveto lineto stroke } bind def\r\n"
           "%%EndProlog\r\n%%BeginSetup\r\n%%EndSetup\r\n";
}

// A page body of about SIZE bytes of line art.
std::string PageBody(size_t size)
{
    std::string body;
    body.reserve(size + 64);
    char line[64];
    for (unsigned i = 0; body.size() < size; ++i) {
        int n = std::snprintf(line, sizeof(line), "%u %u %u %u L\r\n", (i * 37) % 2384, (i * 91) % 1684,
                              (i * 53 + 400) % 2384, (i * 17 + 300) % 1684);
        body.append(line, static_cast<size_t>(n));
    }
    return body;
}

struct Setup {
    std::string body = PageBody(kPageBytes);
    std::string prolog = Prolog();
    bool ok = false;
    std::string error;

    Setup()
    {
        std::string dir = (std::filesystem::temp_directory_path() / "kv-render-bench").string();
        kvp::SystemSetTempDir(dir.c_str());
        kvhost::InstallOptions options;
        options.printerName = kPrinter;
        options.model = "tavrin";
        options.attributes = PRINTER_ATTRIBUTE_LOCAL;
        kvhost::InstallResult result;
        ok = kvhost::InstallPrinter(options, &result);
        if (!ok) error = result.error;
    }
};

Setup &TheSetup()
{
    static Setup setup;
    return setup;
}

void SetPrintSpeedPriority(bool on)
{
    kvhost::OpenedPrinter printer(kPrinter);
    DWORD value = on ? 0x1 : 0x0;
    SetPrinterDataW(printer.get(), const_cast<LPWSTR>(u"OEMDisablePSFeatures"), REG_DWORD,
                    reinterpret_cast<BYTE *>(&value), sizeof(value));
}

// Writes BYTES in the host's chunks through WRITE.
template <typename Write>
bool Chunks(const std::string &bytes, Write write)
{
    for (size_t at = 0; at < bytes.size(); at += kChunk) {
        DWORD n = static_cast<DWORD>(bytes.size() - at < kChunk ? bytes.size() - at : kChunk);
        if (!write(bytes.data() + at, n)) return false;
    }
    return true;
}

// The whole document as the host produces it, through the plug-in; PAGES
// pages of BODY. After each chunk, OBSERVE(bytes passed so far) may look
// at the spool (untimed runs only).
template <typename Observe>
bool RenderDocument(kvhost::RenderHost &host, const std::string &prolog, const std::string &body, int pages,
                    Observe observe)
{
    size_t passed = 0;
    auto write = [&](const char *data, DWORD n) {
        DWORD written = 0;
        HRESULT hr = host.Plugin()->WritePrinter(host.Device(), const_cast<char *>(data), n, &written);
        passed += n;
        observe(passed);
        return SUCCEEDED(hr);
    };
    if (FAILED(host.Command(PSINJECT_BEGINSTREAM))) return false;
    if (!Chunks(prolog, write)) return false;
    for (int page = 1; page <= pages; ++page) {
        std::string head = "%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\r\n%%BeginPageSetup\r\n";
        if (!Chunks(head, write)) return false;
        host.Command(PSINJECT_BEGINPAGESETUP);
        if (!Chunks("/pagelevel save def\r\n%%EndPageSetup\r\n", write)) return false;
        host.Command(PSINJECT_ENDPAGESETUP);
        if (!Chunks(body, write)) return false;
        host.SendPage("showpage\r\n");
    }
    if (!Chunks("%%Trailer\r\n%%EOF\r\n", write)) return false;
    host.Command(PSINJECT_ENDSTREAM);
    return true;
}

// Up to the document start: the plug-in loaded, the device enabled.
bool OpenDevice(kvhost::RenderHost &host, kvhost::DevmodeImage &devmode, const kvhost::OptionState &options,
                std::string *why)
{
    kvp::PrinterSpec spec;
    if (!kvp::GetPrinterSpec(kPrinter, &spec)) return false;
    host.SetOptionState(&options);
    if (!host.Load(spec.driverPath, why) || FAILED(host.EnableDriver()) || !host.UsePrinter(kPrinter)) return false;
    if (FAILED(devmode.Build(host.Plugin(), host.Printer(), kvhost::ToUtf16(kPrinter)))) return false;
    // The driver's output control on, so that the job gets its header.
    devmode.PluginRecord()[32] |= 0x1;
    return SUCCEEDED(host.EnablePDEV(&devmode)) && host.StartDoc("render benchmark");
}

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The plain copy: the same bytes in the same chunks straight into a job.
double PlainCopy(const Setup &s)
{
    kvhost::OpenedPrinter printer(kPrinter, PRINTER_ACCESS_USE);
    DOC_INFO_1W info = {const_cast<LPWSTR>(u"plain copy"), nullptr, const_cast<LPWSTR>(u"RAW")};
    auto start = std::chrono::steady_clock::now();
    DWORD job = StartDocPrinterW(printer.get(), 1, reinterpret_cast<BYTE *>(&info));
    auto write = [&](const char *data, DWORD n) {
        DWORD written = 0;
        return WritePrinter(printer.get(), const_cast<char *>(data), n, &written) != FALSE;
    };
    Chunks(s.prolog, write);
    for (int page = 1; page <= kPages; ++page) {
        Chunks("%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\r\n%%BeginPageSetup\r\n", write);
        Chunks("/pagelevel save def\r\n%%EndPageSetup\r\n", write);
        Chunks(s.body, write);
        Chunks("showpage\r\n", write);
    }
    Chunks("%%Trailer\r\n%%EOF\r\n", write);
    EndDocPrinter(printer.get());
    double seconds = Seconds(start);
    kvp::DeleteJob(job);
    return seconds;
}

// The most bytes the plug-in held back at any point of a document whose
// first page alone is well past the flush threshold.
size_t HeldBackMax(const Setup &s, kvhost::OptionState &options)
{
    kvhost::RenderHost host;
    kvhost::DevmodeImage devmode;
    std::string why;
    if (!OpenDevice(host, devmode, options, &why)) return static_cast<size_t>(-1);
    DWORD job = host.JobId();
    size_t header = 0, held = 0;
    bool headerKnown = false;
    std::string bigPage = s.body + s.body + s.body + s.body + s.body + s.body;  // 6 MiB
    RenderDocument(host, s.prolog, bigPage, 2, [&](size_t passed) {
        kvp::JobSpec spec;
        kvp::GetJobSpec(job, &spec);
        if (!headerKnown && spec.size > 0) {
            // The first flush: the header, then everything passed so far.
            header = spec.size - passed;
            headerKnown = true;
        }
        size_t spooled = headerKnown ? spec.size - header : 0;
        // The closing universal exit comes after the host's bytes.
        if (passed > spooled && passed - spooled > held) held = passed - spooled;
    });
    host.EndDoc();
    host.DisablePDEV();
    host.DisableDriver();
    kvp::DeleteJob(job);
    return held;
}

void BM_RenderPath(benchmark::State &state)
{
    Setup &s = TheSetup();
    if (!s.ok) {
        state.SkipWithError(("cannot install the printer: " + s.error).c_str());
        return;
    }
    const bool priority = state.range(0) != 0;
    SetPrintSpeedPriority(priority);
    kvp::PrinterSpec spec;
    kvp::GetPrinterSpec(kPrinter, &spec);
    kvhost::PpdModel model;
    std::string why;
    model.Load(spec.dataFile, &why);
    model.AddHostFeatures();
    kvhost::OptionState options(model);

    const double bytes = static_cast<double>(kPages) * (kPageBytes + 64);
    double renderTotal = 0, plainTotal = 0;
    // The machine is shared: the fastest run of each is the one least
    // disturbed by others, so the ratio is taken from the minima.
    double renderMin = 1e30, plainMin = 1e30;
    for (auto _ : state) {
        double plain = PlainCopy(s);
        plainTotal += plain;
        if (plain < plainMin) plainMin = plain;
        kvhost::RenderHost host;
        kvhost::DevmodeImage devmode;
        if (!OpenDevice(host, devmode, options, &why)) {
            state.SkipWithError(("the document did not start: " + why).c_str());
            return;
        }
        auto start = std::chrono::steady_clock::now();
        bool ok = RenderDocument(host, s.prolog, s.body, kPages, [](size_t) {});
        host.EndDoc();
        double seconds = Seconds(start);
        renderTotal += seconds;
        if (seconds < renderMin) renderMin = seconds;
        state.SetIterationTime(seconds);
        DWORD job = host.JobId();
        host.DisablePDEV();
        host.DisableDriver();
        kvp::DeleteJob(job);
        if (!ok) {
            state.SkipWithError("a write failed");
            return;
        }
    }
    state.counters["ratio"] = renderMin > 0 ? plainMin / renderMin : 0;
    state.counters["ratio_mean"] = renderTotal > 0 ? plainTotal / renderTotal : 0;
    state.counters["render_MiBps"] = bytes * state.iterations() / renderTotal / (1 << 20);
    state.counters["plain_MiBps"] = bytes * state.iterations() / plainTotal / (1 << 20);
    if (!priority) {
        size_t held = HeldBackMax(s, options);
        state.counters["held_max"] = static_cast<double>(held);
        // At most one chunk beyond the threshold, at the moment it is flushed.
        if (held > kFlushThreshold + kChunk) {
            std::fprintf(stderr, "held back %zu bytes\n", held);
            state.SkipWithError("the plug-in held back more than the threshold");
        }
    }
    state.SetLabel(priority ? "print speed priority on (direct)" : "print speed priority off (held until page 1)");
}

BENCHMARK(BM_RenderPath)->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
