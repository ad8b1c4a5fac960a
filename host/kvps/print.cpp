// kvps print: a PostScript file rendered through a printer's render
// plug-in, as the host driver renders an application's document, into the
// exact bytes the spooler receives for the job.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "kvhost/install.h"
#include "kvhost/renderhost.h"
#include "kvhost/uihost.h"
#include "kvp/spoolctl.h"
#include "kvps.h"
#include "printjob.h"

namespace kvps {

namespace {

const char kUsage[] =
    "usage: kvps print NAME FILE [-o OUT] [--copies N] [--document TITLE]\n"
    "                  [--orientation portrait|landscape] [--option FEATURE=OPTION]... [--set FIELD=VALUE]...\n"
    "                  [--user ID --pin PIN]\n"
    "\n"
    "Renders the PostScript FILE through printer NAME's render plug-in and writes the bytes the\n"
    "spooler received for the job to OUT (default: the job's spool file, whose path is printed).\n"
    "--option sets a document option of the PPD or of the host: PageSize, InputSlot, MediaType,\n"
    "%PagePerSheet (1, 2, 4, 6, 9, 16, Booklet), %OutputFormat, %CtrlDAfter (True, False).\n"
    "--set sets a setting of the driver's private record by its field name, for example\n"
    "FoldMode=3, OutputDirection=2, SecurePrint=1, DocumentName=Plan.\n"
    "--user and --pin hand the secure print user ID and PIN to the render plug-in as the UI plug-in\n"
    "does at document start (line A; with print speed priority on, the printer's own are used).\n"
    "The fields:\n";

std::string Usage()
{
    std::string text = kUsage;
    for (const PrivateField *f = PrivateFields(); f->name != nullptr; ++f)
        text += std::string("  ") + f->name + (f->lineAOnly ? " (line A)" : "") + "\n";
    return text;
}

bool ParseInt(const std::string &text, long min, long max, long *value)
{
    if (text.empty()) return false;
    char *end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < min || v > max) return false;
    *value = v;
    return true;
}

}  // namespace

int PrintCommand(const Args &args, Io io)
{
    const std::string usage = Usage();
    if (!args.empty() && IsHelp(args[0])) {
        io.out << usage;
        return kExitOk;
    }
    PrintRequest request;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        bool hasValue = i + 1 < args.size();
        if (IsHelp(a)) {
            io.out << usage;
            return kExitOk;
        } else if (a == "-o" && hasValue) {
            request.output = args[++i];
        } else if (a == "--copies" && hasValue) {
            long copies = 0;
            if (!ParseInt(args[++i], 1, 32767, &copies))
                return UsageError(io, "--copies needs a number from 1 to 32767", usage.c_str());
            request.copies = static_cast<int>(copies);
        } else if ((a == "--user" || a == "--pin") && hasValue) {
            (a == "--user" ? request.user : request.pin) = args[++i];
        } else if (a == "--document" && hasValue) {
            request.documentName = args[++i];
        } else if (a == "--orientation" && hasValue) {
            const std::string &o = args[++i];
            if (o != "portrait" && o != "landscape")
                return UsageError(io, "--orientation is portrait or landscape", usage.c_str());
            request.orientation = o == "portrait" ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
        } else if ((a == "--option" || a == "--set") && hasValue) {
            const std::string &pair = args[++i];
            size_t eq = pair.find('=');
            if (eq == std::string::npos || eq == 0)
                return UsageError(io, a + " needs NAME=VALUE, not " + pair, usage.c_str());
            (a == "--option" ? request.options : request.settings)
                .push_back({pair.substr(0, eq), pair.substr(eq + 1)});
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError(io, "unknown or incomplete option " + a, usage.c_str());
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return UsageError(io, "print needs a printer name and a file", usage.c_str());
    request.printerName = positional[0];
    request.file = positional[1];
    for (const auto &setting : request.settings)
        if (FindPrivateField(setting.first) == nullptr)
            return UsageError(io, "unknown field " + setting.first, usage.c_str());

    PrintOutcome outcome;
    int code = RunPrint(request, &outcome, io);
    if (code != kExitOk) return code;
    io.out << "Job " << outcome.jobId << " \"" << request.documentName << "\" on " << request.printerName << ": "
           << outcome.spooled.size() << " bytes spooled\n";
    io.out << (request.output.empty() ? "Spool file: " : "Written to: ") << outcome.where << "\n";
    return kExitOk;
}

}  // namespace kvps
