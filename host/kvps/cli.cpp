// Command dispatch, the state directory and the help texts.
#include <cstdlib>
#include <filesystem>

#include "kvp/system.h"
#include "kvp/win32.h"
#include "kvps.h"

namespace kvps {

namespace {

const char kUsage[] =
    "usage: kvps [--state DIR] COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  printer add NAME --model MODEL [--port PORT] [--raw-only]\n"
    "  printer list\n"
    "  printer remove NAME\n"
    "  printer data NAME [set VALUE=TYPE:DATA]\n"
    "  reg query|add|delete KEY [/v NAME] [/t TYPE] [/d DATA]\n"
    "  print NAME FILE [-o OUT] [--copies N] [--document TITLE] [--orientation portrait|landscape]\n"
    "        [--option FEATURE=OPTION]... [--set FIELD=VALUE]...\n"
    "  demo\n"
    "\n"
    "The emulated system (registry, printers, spool files) lives in the state directory:\n"
    "--state DIR, else $KVPS_STATE, else ~/.local/state/kvps. 'kvps COMMAND --help' tells more.\n";

}  // namespace

bool IsHelp(const std::string &arg) { return arg == "--help" || arg == "-h"; }

int UsageError(Io io, const std::string &what, const char *usage)
{
    io.err << "kvps: " << what << "\n" << usage;
    return kExitUsage;
}

std::string ErrorText(unsigned long code)
{
    struct Name {
        unsigned long code;
        const char *name;
    };
    static const Name kNames[] = {
        {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
        {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
        {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
        {ERROR_INVALID_PRINTER_NAME, "ERROR_INVALID_PRINTER_NAME"},
        {ERROR_PRINTER_ALREADY_EXISTS, "ERROR_PRINTER_ALREADY_EXISTS"},
        {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
        {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
        {ERROR_NO_MORE_ITEMS, "ERROR_NO_MORE_ITEMS"},
    };
    for (const Name &n : kNames)
        if (n.code == code) return std::string(n.name) + " (" + std::to_string(code) + ")";
    return "error " + std::to_string(code);
}

std::string DefaultStateDir()
{
    const char *env = std::getenv("KVPS_STATE");
    if (env != nullptr && *env != '\0') return env;
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/state/kvps";
}

bool OpenState(const std::string &dir, Io io)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!kvp::SystemOpenState(dir.c_str())) {
        io.err << "kvps: cannot open the state directory " << dir << "\n";
        return false;
    }
    return true;
}

int Run(const Args &args, Io io)
{
    std::string stateDir;
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
        if (args[i] == "--state") {
            if (i + 1 >= args.size()) return UsageError(io, "--state needs a directory", kUsage);
            stateDir = args[i + 1];
            i += 2;
        } else if (args[i].rfind("--state=", 0) == 0) {
            stateDir = args[i].substr(8);
            ++i;
        } else if (IsHelp(args[i])) {
            io.out << kUsage;
            return kExitOk;
        } else {
            return UsageError(io, "unknown option " + args[i], kUsage);
        }
    }
    if (i < args.size() && args[i] == "-h") {
        io.out << kUsage;
        return kExitOk;
    }
    if (i >= args.size()) return UsageError(io, "no command", kUsage);
    const std::string command = args[i];
    Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
    bool help = !rest.empty() && IsHelp(rest[0]);

    if (command == "demo") return DemoCommand(rest, stateDir, io);
    if (command != "printer" && command != "reg" && command != "print" && command != "help")
        return UsageError(io, "unknown command " + command, kUsage);
    if (command == "help") {
        io.out << kUsage;
        return kExitOk;
    }
    // Help needs no state; everything else works on it.
    if (!help && !OpenState(stateDir.empty() ? DefaultStateDir() : stateDir, io)) return kExitFailed;
    if (command == "printer") return PrinterCommand(rest, io);
    if (command == "reg") return RegCommand(rest, io);
    return PrintCommand(rest, io);
}

}  // namespace kvps
