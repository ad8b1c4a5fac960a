// kvps demo: a printer of each model set in a fresh state, the bundled
// sample drawing printed on each with a few representative settings, and
// where each job's bytes are with the job header they begin with.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kvhost/install.h"
#include "kvp/system.h"
#include "kvps.h"
#include "printjob.h"

namespace kvps {

namespace {

const char kUsage[] =
    "usage: kvps [--state DIR] demo\n"
    "\n"
    "Installs a printer of each model set (Oskel, Tavrin: line A; Merrow, Pellin: line B) in a fresh\n"
    "state directory (DIR, or a new temporary one), prints the bundled sample drawing on each with a\n"
    "few representative settings, and shows where each job's bytes are and its PJL job header.\n";

struct DemoPrinter {
    const char *name;
    const char *model;
    const char *story;
    // Printer data set before printing (name=type:data, as "printer data set").
    std::vector<std::string> data;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::pair<std::string, std::string>> settings;
    // Credentials the UI plug-in would hand over at document start.
    std::string user;
    std::string pin;
};

// The header as text: ESC shown as <ESC>, one line per header line, up to
// and including the switch into PostScript.
std::string HeaderLines(const std::string &spooled)
{
    size_t end = spooled.find("@PJL ENTER LANGUAGE=POSTSCRIPT\r\n");
    size_t length = 32;
    if (end == std::string::npos) {
        end = spooled.find("@PL>PostScript\r\n");
        length = 16;
    }
    if (spooled.compare(0, 10, "\x1B%-12345X@") != 0 || end == std::string::npos)
        return "    (no job header: the job begins with the PostScript itself)\n";
    std::string text = "    ";
    for (size_t i = 0; i < end + length; ++i) {
        char c = spooled[i];
        if (c == '\x1B')
            text += "<ESC>";
        else if (c == '\n')
            text += i + 1 < end + length ? "\n    " : "\n";
        else if (c != '\r')
            text += c;
    }
    return text;
}

int SetData(const std::string &printer, const std::string &assignment, Io io)
{
    return PrinterCommand({"data", printer, "set", assignment}, io);
}

}  // namespace

int DemoCommand(const Args &args, const std::string &stateDir, Io io)
{
    if (!args.empty()) {
        if (IsHelp(args[0])) {
            io.out << kUsage;
            return kExitOk;
        }
        return UsageError(io, "demo takes no arguments", kUsage);
    }
    std::string dir = stateDir;
    if (dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvps-demo-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            io.err << "kvps: demo: cannot make a temporary directory\n";
            return kExitFailed;
        }
        dir = buffer.data();
    }
    if (!OpenState(dir, io)) return kExitFailed;
    std::filesystem::path outDir = std::filesystem::path(dir) / "demo-output";
    std::filesystem::create_directories(outDir);
    const std::string sample = std::string(KV_SOURCE_DIR) + "/samples/drawing.ps";

    // No shipped model turns the driver's output control on by default,
    // so every demo job asks for it, as a user does on the options tab.
    const std::vector<DemoPrinter> printers = {
        {"Demo Oskel", "oskel",
         "secure print with the user's credentials from the UI plug-in (print speed priority off); two pages "
         "per sheet in portrait, so every new sheet is turned by 180 degrees",
         {"OEMDisablePSFeatures=dword:2"},
         {{"PageSize", "A1"}, {"%PagePerSheet", "2"}},
         {{"OutputControlByDriver", "1"}, {"SecurePrint", "1"}},
         "sato",
         "1357"},
        {"Demo Tavrin", "tavrin",
         "secure print with the printer's own credentials (print speed priority on); fan fold with cross fold, "
         "out at the rear, stacked on bin 2, baler on, ear fold",
         {"OEMDisablePSFeatures=dword:3", "OEMSecurePrintUserName=sz:demo", "OEMSecurePrintPIN=sz:XEVMWg=="},
         {{"PageSize", "A0"}},
         {{"OutputControlByDriver", "1"}, {"SecurePrint", "1"}, {"FoldMode", "3"}, {"OutputDirection", "2"},
          {"StackerMode", "7"}, {"Baler", "2"}, {"EarFold", "1"}}},
        {"Demo Merrow", "merrow", "line B: vellum from roll 2, cross fold with a 25 mm binding margin, rotated stacking",
         {},
         {{"PageSize", "A1"}, {"InputSlot", "Roll2"}, {"MediaType", "Vellum"}},
         {{"OutputControlByDriver", "1"}, {"FoldMode", "5"}, {"BindingMargin", "3"}, {"RotateStack", "1"}}},
        {"Demo Pellin", "pellin", "line B on a printer that takes only attribute lines (JCL mode 1)",
         {"OEMSupportJCL=dword:1"},
         {},
         {{"OutputControlByDriver", "1"}, {"FoldMode", "3"}}},
    };

    io.out << "State directory: " << dir << "\n";
    int failures = 0;
    for (const DemoPrinter &p : printers) {
        io.out << "\n== " << p.name << " (" << p.model << "): " << p.story << "\n";
        // A state used before may hold the demo's printers already.
        kvhost::RemovePrinter(p.name);
        if (PrinterCommand({"add", p.name, "--model", p.model}, io) != kExitOk) {
            ++failures;
            continue;
        }
        for (const std::string &value : p.data) SetData(p.name, value, io);
        PrintRequest request;
        request.printerName = p.name;
        request.file = sample;
        request.documentName = "Sample drawing";
        request.options = p.options;
        request.settings = p.settings;
        request.user = p.user;
        request.pin = p.pin;
        std::string fileName = p.name;
        for (char &c : fileName)
            if (c == ' ') c = '-';
        request.output = (outDir / (fileName + ".prn")).string();
        PrintOutcome outcome;
        if (RunPrint(request, &outcome, io) != kExitOk) {
            ++failures;
            continue;
        }
        io.out << "Job " << outcome.jobId << ": " << outcome.spooled.size() << " bytes, written to " << outcome.where
               << "\n";
        io.out << "Job header:\n" << HeaderLines(outcome.spooled);
        size_t turned = 0;
        for (size_t at = outcome.spooled.find("%-OEMPluginInsertBegin"); at != std::string::npos;
             at = outcome.spooled.find("%-OEMPluginInsertBegin", at + 1))
            ++turned;
        if (turned != 0) io.out << "Sheets turned by 180 degrees: " << turned << "\n";
        const std::string exit = "\x1B%-12345X";
        bool closed = outcome.spooled.size() >= exit.size() &&
                      outcome.spooled.compare(outcome.spooled.size() - exit.size(), exit.size(), exit) == 0;
        io.out << (closed ? "The job ends with the closing universal exit.\n"
                          : "The job ends with the PostScript (no closing universal exit).\n");
    }
    io.out << "\nSettings: kvps --state " << dir << " printer data NAME; print more: kvps --state " << dir
           << " print NAME FILE --set FoldMode=3 ...\n";
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace kvps
