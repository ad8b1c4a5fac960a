// One print job of the kvps command.
#include "printjob.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kvhost/install.h"
#include "kvhost/renderhost.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"

namespace kvps {

namespace {

// The stored record: the host's 12-byte header, then the private data
// with the flags word at 20 and the 16-bit settings from 24 on. Lines A
// and B agree up to offset 43.
constexpr unsigned kHeaderSize = 12;
constexpr unsigned kFlagsOffset = 20;
constexpr unsigned kLineBRecordSize = 76;

const PrivateField kFields[] = {
    {"PrinterType", PrivateField::Short, 0, 0, 0, false},
    {"OutputControlByDriver", PrivateField::Flag, kFlagsOffset, 0x1, 0, false},
    {"CustomSizePaperSeries", PrivateField::Short, 24, 0, 0, false},
    {"SecurePrint", PrivateField::Flag, kFlagsOffset, 0x8, 0, true},
    {"DocumentNameMode", PrivateField::Short, 44, 0, 0, true},
    {"DocumentName", PrivateField::Text, 46, 0, 25, true},
    {"FoldMode", PrivateField::Short, 26, 0, 0, false},
    {"StackerMode", PrivateField::Short, 28, 0, 0, false},
    {"Baler", PrivateField::Short, 30, 0, 0, false},
    {"OutputDirection", PrivateField::Short, 32, 0, 0, false},
    {"BindingMargin", PrivateField::Short, 34, 0, 0, false},
    {"FoldAdjustment", PrivateField::Short, 36, 0, 0, false},
    {"RotateStack", PrivateField::Flag, kFlagsOffset, 0x2, 0, false},
    {"EarFold", PrivateField::Flag, kFlagsOffset, 0x4, 0, false},
    {"FoldProgram", PrivateField::Short, 38, 0, 0, false},
    {"ProgramMargins", PrivateField::Short, 40, 0, 0, false},
    {"FoldOutputBin", PrivateField::Short, 42, 0, 0, false},
    {"AdvancedFeaturesOff", PrivateField::Short, 176, 0, 0, true},
    {nullptr, PrivateField::Short, 0, 0, 0, false},
};

bool SameName(const std::string &a, const char *b)
{
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string ReadFile(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    *ok = static_cast<bool>(in);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Writes VALUE into FIELD of RECORD (SIZE bytes); false with *WHY.
bool ApplyField(BYTE *record, DWORD size, const PrivateField &field, const std::string &value, std::string *why)
{
    if (field.lineAOnly && size <= kLineBRecordSize) {
        *why = std::string(field.name) + " is not in this printer's record (line B)";
        return false;
    }
    const unsigned bytes = field.kind == PrivateField::Text ? 2 * field.size : field.kind == PrivateField::Flag ? 4 : 2;
    if (kHeaderSize + field.offset + bytes > size) {
        *why = std::string(field.name) + " lies beyond this printer's record";
        return false;
    }
    BYTE *data = record + kHeaderSize;
    if (field.kind == PrivateField::Text) {
        std::u16string text = kvhost::ToUtf16(value);
        if (text.size() + 1 > field.size) {
            *why = std::string(field.name) + " takes at most " + std::to_string(field.size - 1) + " characters";
            return false;
        }
        for (unsigned i = 0; i < field.size; ++i) {
            char16_t c = i < text.size() ? text[i] : 0;
            data[field.offset + 2 * i] = static_cast<BYTE>(c);
            data[field.offset + 2 * i + 1] = static_cast<BYTE>(c >> 8);
        }
        return true;
    }
    if (field.kind == PrivateField::Flag) {
        bool on;
        if (value == "1" || value == "on" || value == "true" || value == "True") {
            on = true;
        } else if (value == "0" || value == "off" || value == "false" || value == "False") {
            on = false;
        } else {
            *why = std::string(field.name) + " is 0 or 1, not " + value;
            return false;
        }
        DWORD flags = 0;
        for (int i = 0; i < 4; ++i) flags |= static_cast<DWORD>(data[field.offset + i]) << (8 * i);
        flags = on ? (flags | field.mask) : (flags & ~field.mask);
        for (int i = 0; i < 4; ++i) data[field.offset + i] = static_cast<BYTE>(flags >> (8 * i));
        return true;
    }
    char *end = nullptr;
    long v = std::strtol(value.c_str(), &end, 0);
    if (value.empty() || *end != '\0' || v < -32768 || v > 32767) {
        *why = std::string(field.name) + " is a 16-bit number, not " + value;
        return false;
    }
    data[field.offset] = static_cast<BYTE>(v);
    data[field.offset + 1] = static_cast<BYTE>(v >> 8);
    return true;
}

// The document's DEVMODEW as the host builds it: the plug-in's own size
// and defaults.
bool BuildDevmode(const std::string &printerName, const std::string &modulePath, kvhost::DevmodeImage *devmode,
                  std::string *why)
{
    kvhost::RenderHost host;
    if (!host.Load(modulePath, why)) return false;
    if (!host.UsePrinter(printerName)) {
        *why = "cannot open the printer";
        return false;
    }
    HRESULT hr = devmode->Build(host.Plugin(), host.Printer(), kvhost::ToUtf16(printerName));
    if (FAILED(hr)) {
        *why = "the render plug-in's DevMode failed";
        return false;
    }
    return true;
}

// The PIN as the UI plug-in stores it for a printer that asks for encoded
// PINs: each byte XORed with the key "nqzb", in Base64.
std::string EncodedPin(const std::string &pin)
{
    static const char kKey[] = "nqzb";
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (size_t i = 0; i < pin.size(); ++i) bytes += static_cast<char>(pin[i] ^ kKey[i % 4]);
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

bool PrinterWantsEncodedPin(const std::string &printerName)
{
    kvhost::OpenedPrinter printer(printerName, PRINTER_ACCESS_USE);
    BYTE slots[16] = {};
    DWORD type = 0, needed = 0;
    if (!printer || GetPrinterDataW(printer.get(), const_cast<LPWSTR>(u"OEMSupportCapability"), &type, slots,
                                    sizeof(slots), &needed) != ERROR_SUCCESS)
        return false;
    return (slots[2] & 0x04) != 0;  // capability bit 0x40000
}

// The UI plug-in's private escape at document start: its tag, then the
// job facts it carries in their serialized form (little-endian: magic,
// version 1, entry count, bytes behind the 16-byte head; each entry id,
// kind, length and bytes). Only the user ID (12) and the PIN (13) here.
std::vector<BYTE> CredentialsEscape(const std::string &user, const std::string &pin)
{
    std::vector<BYTE> out;
    auto u32 = [&out](DWORD v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
    };
    for (char c : std::string("SPVKIJvK")) out.push_back(static_cast<BYTE>(c));
    u32(1);
    u32(2);
    u32(0);
    const std::pair<DWORD, const std::string *> entries[] = {{12, &user}, {13, &pin}};
    for (const auto &e : entries) {
        u32(e.first);
        u32(4);
        u32(static_cast<DWORD>(e.second->size() + 1));
        for (char c : *e.second) out.push_back(static_cast<BYTE>(c));
        out.push_back(0);
    }
    DWORD rest = static_cast<DWORD>(out.size() - 4 - 16);
    for (int i = 0; i < 4; ++i) out[4 + 12 + i] = static_cast<BYTE>(rest >> (8 * i));
    return out;
}

// The escape code of the UI plug-in's private escape (the bytes "VPVK").
constexpr ULONG kPrivateEscape = 0x4B565056;
// The fields of the job facts are 64 bytes with their NUL.
constexpr size_t kCredentialMax = 63;

}  // namespace

const PrivateField *PrivateFields() { return kFields; }

const PrivateField *FindPrivateField(const std::string &name)
{
    for (const PrivateField *f = kFields; f->name != nullptr; ++f)
        if (SameName(name, f->name)) return f;
    return nullptr;
}

int RunPrint(PrintRequest &request, PrintOutcome *outcome, Io io)
{
    kvp::PrinterSpec spec;
    if (!kvp::GetPrinterSpec(request.printerName, &spec)) {
        io.err << "kvps: print: no printer " << request.printerName << "\n";
        return kExitFailed;
    }
    bool ok = false;
    kvhost::RenderJob job;
    job.postscript = ReadFile(request.file, &ok);
    if (!ok) {
        io.err << "kvps: print: cannot read " << request.file << "\n";
        return kExitFailed;
    }
    if (request.documentName.empty()) request.documentName = std::filesystem::path(request.file).filename().string();
    job.printerName = request.printerName;
    job.documentName = request.documentName;

    kvhost::PpdModel model;
    std::string why;
    if (!model.Load(spec.dataFile, &why)) {
        io.err << "kvps: print: cannot read the printer's PPD " << spec.dataFile << ": " << why << "\n";
        return kExitFailed;
    }
    model.AddHostFeatures();
    kvhost::OptionState options(model);
    for (const auto &option : request.options) {
        if (!options.Set(option.first, option.second)) {
            const kvhost::PpdFeature *feature = model.Find(option.first);
            std::string known;
            if (feature != nullptr)
                for (const kvhost::PpdOption &o : feature->options) known += " " + o.keyword;
            io.err << "kvps: print: " << (feature == nullptr ? "no feature " + option.first
                                                              : "no option " + option.second + " of " + option.first +
                                                                    " (options:" + known + ")")
                   << "\n";
            return kExitUsage;
        }
    }
    job.options = &options;

    if (!BuildDevmode(request.printerName, spec.driverPath, &job.devmode, &why)) {
        io.err << "kvps: print: " << why << "\n";
        return kExitFailed;
    }
    DEVMODEW *dm = job.devmode.Public();
    if (request.copies > 0) {
        dm->dmCopies = static_cast<short>(request.copies);
        dm->dmFields |= DM_COPIES;
    }
    if (request.orientation != 0) {
        dm->dmOrientation = request.orientation;
        dm->dmFields |= DM_ORIENTATION;
    }
    for (const auto &setting : request.settings) {
        const PrivateField *field = FindPrivateField(setting.first);
        if (field == nullptr || job.devmode.PluginRecord() == nullptr ||
            !ApplyField(job.devmode.PluginRecord(), job.devmode.PluginRecordSize(), *field, setting.second, &why)) {
            io.err << "kvps: print: " << (field == nullptr ? "unknown field " + setting.first : why) << "\n";
            return kExitUsage;
        }
    }

    if (!request.user.empty() || !request.pin.empty()) {
        if (job.devmode.PluginRecordSize() <= kLineBRecordSize) {
            io.err << "kvps: print: --user and --pin are for line A printers (secure print)\n";
            return kExitUsage;
        }
        std::string pin = PrinterWantsEncodedPin(request.printerName) ? EncodedPin(request.pin) : request.pin;
        if (request.user.size() > kCredentialMax || pin.size() > kCredentialMax) {
            io.err << "kvps: print: the user ID and the stored PIN take at most 63 bytes\n";
            return kExitUsage;
        }
        job.escapes.push_back({kPrivateEscape, CredentialsEscape(request.user, pin)});
    }

    kvhost::RenderResult result;
    bool rendered = kvhost::RunRenderJob(job, &result);
    if (!rendered) {
        io.err << "kvps: print: the job was not printed: " << result.error << "\n";
        if (result.jobId != 0) kvp::DeleteJob(result.jobId);
        return kExitFailed;
    }
    outcome->jobId = result.jobId;
    outcome->spooled = result.spooled;
    if (!request.output.empty()) {
        std::ofstream out(request.output, std::ios::binary | std::ios::trunc);
        out.write(result.spooled.data(), static_cast<std::streamsize>(result.spooled.size()));
        if (!out) {
            io.err << "kvps: print: cannot write " << request.output << "\n";
            return kExitFailed;
        }
        outcome->where = request.output;
    } else {
        outcome->where = kvp::JobSpoolPath(result.jobId);
    }
    return kExitOk;
}

}  // namespace kvps
