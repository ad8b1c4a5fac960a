// kvps printer: installing, listing and removing printers of our model
// sets, and their printer data.
#include <cstdio>
#include <string>
#include <vector>

#include "kvhost/install.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"
#include "kvps.h"

namespace kvps {

namespace {

const char kUsage[] =
    "usage: kvps printer add NAME --model MODEL [--port PORT] [--raw-only]\n"
    "       kvps printer list\n"
    "       kvps printer remove NAME\n"
    "       kvps printer data NAME\n"
    "       kvps printer data NAME set VALUE=TYPE:DATA   (TYPE dword, sz or binary as hex bytes)\n"
    "\n"
    "MODEL is a product name (\"Vastrelo 1180 PS\") or a model set: oskel, tavrin, merrow, pellin.\n"
    "Adding a printer installs its model set's plug-ins and PPD and runs the UI plug-in's\n"
    "printer initialisation, as the spooler does.\n";

const char kModels[] = "Vastrelo 1140 PS, Vastrelo 1180 PS, Vastrelo 1162 PS, Vastrelo 1165 PS, "
                       "Vastrelo 1157 PS, oskel, tavrin, merrow, pellin";

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_BINARY: return "REG_BINARY";
    default: return "type " + std::to_string(type);
    }
}

std::string Hex(const BYTE *data, DWORD size)
{
    std::string text;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof(byte), i == 0 ? "%02X" : " %02X", data[i]);
        text += byte;
    }
    return text;
}

// A value as the list shows it.
std::string ValueText(DWORD type, const BYTE *data, DWORD size)
{
    if (type == REG_DWORD && size == 4) {
        DWORD v = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                  static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
        char text[32];
        std::snprintf(text, sizeof(text), "0x%08X (%u)", v, v);
        return text;
    }
    if (type == REG_SZ) {
        std::u16string wide;
        for (DWORD i = 0; i + 1 < size; i += 2) {
            char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (c == 0) break;
            wide += c;
        }
        return "\"" + kvhost::ToUtf8(wide) + "\"";
    }
    return Hex(data, size);
}

bool ParseHexBytes(const std::string &text, std::vector<BYTE> *out)
{
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != ',' && c != ':') digits += c;
    if (digits.size() % 2 != 0) return false;
    out->clear();
    for (size_t i = 0; i < digits.size(); i += 2) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            char c = digits[i + k];
            int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (v < 0) return false;
            value = value * 16 + v;
        }
        out->push_back(static_cast<BYTE>(value));
    }
    return true;
}

bool ParseDword(const std::string &text, DWORD *value)
{
    if (text.empty()) return false;
    char *end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (end == nullptr || *end != '\0' || v > 0xFFFFFFFFull || text[0] == '-') return false;
    *value = static_cast<DWORD>(v);
    return true;
}

int Add(const Args &args, Io io)
{
    if (args.empty() || IsHelp(args[0])) {
        if (!args.empty()) {
            io.out << kUsage;
            return kExitOk;
        }
        return UsageError(io, "printer add needs a printer name", kUsage);
    }
    kvhost::InstallOptions options;
    options.printerName = args[0];
    options.attributes = PRINTER_ATTRIBUTE_LOCAL;
    bool haveModel = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if ((a == "--model" || a == "--port") && i + 1 < args.size()) {
            (a == "--model" ? options.model : options.port) = args[++i];
            haveModel = haveModel || a == "--model";
        } else if (a == "--raw-only") {
            options.attributes |= PRINTER_ATTRIBUTE_RAW_ONLY;
        } else if (IsHelp(a)) {
            io.out << kUsage;
            return kExitOk;
        } else {
            return UsageError(io, "printer add: unexpected argument " + a, kUsage);
        }
    }
    if (!haveModel) return UsageError(io, "printer add needs --model MODEL", kUsage);
    if (kvhost::FindModel(options.model) == nullptr) {
        return UsageError(io, "unknown model \"" + options.model + "\"; known: " + kModels, kUsage);
    }
    kvhost::InstallResult result;
    if (!kvhost::InstallPrinter(options, &result)) {
        io.err << "kvps: cannot add printer " << options.printerName << ": " << result.error << "\n";
        return kExitFailed;
    }
    const kvhost::ModelInfo *model = kvhost::FindModel(options.model);
    io.out << "Added printer " << options.printerName << " (" << model->product << ", model set " << model->modelSet
           << ", line " << model->line << ") on " << options.port << "\n";
    if (FAILED(result.initializeResult)) {
        char hr[16];
        std::snprintf(hr, sizeof(hr), "0x%08X", static_cast<unsigned>(result.initializeResult));
        io.err << "kvps: warning: the UI plug-in's printer initialisation answered " << hr << "\n";
    }
    return kExitOk;
}

int List(const Args &args, Io io)
{
    if (!args.empty()) {
        if (IsHelp(args[0])) {
            io.out << kUsage;
            return kExitOk;
        }
        return UsageError(io, "printer list takes no arguments", kUsage);
    }
    std::vector<kvp::PrinterSpec> printers = kvp::ListPrinters();
    if (printers.empty()) io.out << "No printers.\n";
    for (const kvp::PrinterSpec &p : printers) {
        io.out << p.name << "\n    driver " << p.driverName << "\n    port " << p.port
               << ((p.attributes & PRINTER_ATTRIBUTE_RAW_ONLY) != 0 ? ", RAW only" : "") << "\n    PPD "
               << p.dataFile << "\n";
    }
    return kExitOk;
}

int Remove(const Args &args, Io io)
{
    if (args.size() != 1) return UsageError(io, "printer remove needs exactly a printer name", kUsage);
    if (IsHelp(args[0])) {
        io.out << kUsage;
        return kExitOk;
    }
    HRESULT eventResult = E_FAIL;
    std::string error;
    if (!kvhost::RemovePrinter(args[0], &eventResult, &error)) {
        io.err << "kvps: cannot remove printer " << args[0] << ": " << error << "\n";
        return kExitFailed;
    }
    io.out << "Removed printer " << args[0] << "\n";
    return kExitOk;
}

int ShowData(const std::string &name, Io io)
{
    kvhost::OpenedPrinter printer(name, PRINTER_ACCESS_USE);
    if (!printer) {
        io.err << "kvps: no printer " << name << " (" << ErrorText(GetLastError()) << ")\n";
        return kExitFailed;
    }
    int count = 0;
    for (DWORD index = 0;; ++index) {
        WCHAR valueName[256];
        DWORD nameBytes = 0, type = 0, dataBytes = 0;
        std::vector<BYTE> data(4096);
        DWORD rc = EnumPrinterDataW(printer.get(), index, valueName, sizeof(valueName),
                                    &nameBytes, &type, data.data(), static_cast<DWORD>(data.size()), &dataBytes);
        if (rc == ERROR_MORE_DATA && dataBytes > data.size()) {
            data.resize(dataBytes);
            rc = EnumPrinterDataW(printer.get(), index, valueName, sizeof(valueName),
                                  &nameBytes, &type, data.data(), static_cast<DWORD>(data.size()), &dataBytes);
        }
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            io.err << "kvps: cannot read the data of " << name << ": " << ErrorText(rc) << "\n";
            return kExitFailed;
        }
        if (dataBytes > data.size()) dataBytes = static_cast<DWORD>(data.size());
        io.out << kvhost::ToUtf8(valueName) << "  " << TypeName(type) << "  " << ValueText(type, data.data(), dataBytes)
               << "\n";
        ++count;
    }
    if (count == 0) io.out << "No printer data.\n";
    return kExitOk;
}

int SetData(const std::string &name, const std::string &assignment, Io io)
{
    size_t eq = assignment.find('=');
    size_t colon = eq == std::string::npos ? std::string::npos : assignment.find(':', eq);
    if (eq == std::string::npos || eq == 0 || colon == std::string::npos)
        return UsageError(io, "printer data set needs VALUE=TYPE:DATA", kUsage);
    std::string valueName = assignment.substr(0, eq);
    std::string type = assignment.substr(eq + 1, colon - eq - 1);
    std::string text = assignment.substr(colon + 1);
    std::vector<BYTE> bytes;
    DWORD regType = 0;
    if (type == "dword") {
        DWORD value = 0;
        if (!ParseDword(text, &value)) return UsageError(io, "not a 32-bit number: " + text, kUsage);
        regType = REG_DWORD;
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
    } else if (type == "sz") {
        regType = REG_SZ;
        for (char16_t c : kvhost::ToUtf16(text) + u'\0') {
            bytes.push_back(static_cast<BYTE>(c));
            bytes.push_back(static_cast<BYTE>(c >> 8));
        }
    } else if (type == "binary") {
        regType = REG_BINARY;
        if (!ParseHexBytes(text, &bytes)) return UsageError(io, "not hex bytes: " + text, kUsage);
    } else {
        return UsageError(io, "unknown type " + type + " (dword, sz or binary)", kUsage);
    }
    kvhost::OpenedPrinter printer(name, PRINTER_ALL_ACCESS);
    if (!printer) {
        io.err << "kvps: no printer " << name << " (" << ErrorText(GetLastError()) << ")\n";
        return kExitFailed;
    }
    std::u16string wideName = kvhost::ToUtf16(valueName);
    DWORD rc = SetPrinterDataW(printer.get(), &wideName[0], regType, bytes.empty() ? nullptr : bytes.data(),
                               static_cast<DWORD>(bytes.size()));
    if (rc != ERROR_SUCCESS) {
        io.err << "kvps: cannot set " << valueName << " of " << name << ": " << ErrorText(rc) << "\n";
        return kExitFailed;
    }
    io.out << valueName << "  " << TypeName(regType) << "  " << ValueText(regType, bytes.data(), static_cast<DWORD>(bytes.size()))
           << "\n";
    return kExitOk;
}

int Data(const Args &args, Io io)
{
    if (!args.empty() && IsHelp(args[0])) {
        io.out << kUsage;
        return kExitOk;
    }
    if (args.size() == 1) return ShowData(args[0], io);
    if (args.size() == 3 && args[1] == "set") return SetData(args[0], args[2], io);
    return UsageError(io, "printer data needs NAME, or NAME set VALUE=TYPE:DATA", kUsage);
}

}  // namespace

int PrinterCommand(const Args &args, Io io)
{
    if (args.empty()) return UsageError(io, "printer needs a subcommand", kUsage);
    const std::string &sub = args[0];
    Args rest(args.begin() + 1, args.end());
    if (IsHelp(sub)) {
        io.out << kUsage;
        return kExitOk;
    }
    if (sub == "add") return Add(rest, io);
    if (sub == "list") return List(rest, io);
    if (sub == "remove") return Remove(rest, io);
    if (sub == "data") return Data(rest, io);
    return UsageError(io, "unknown printer subcommand " + sub, kUsage);
}

}  // namespace kvps
