// The kvps command: the emulated system kept in a state directory, printers
// of our model sets installed in it, their data and the registry, and print
// jobs rendered through the real render plug-in into the exact bytes a
// printer would receive.
//
// main() only hands its arguments to Run; the commands are plain functions
// so that they can be driven from tests as well.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kvps {

typedef std::vector<std::string> Args;

struct Io {
    std::ostream &out;
    std::ostream &err;
};

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the command ran and failed
constexpr int kExitUsage = 2;   // bad arguments

// The whole command line without the program name.
int Run(const Args &args, Io io);

// The state directory the command line, the environment or the default
// chooses, and opening it.
std::string DefaultStateDir();
bool OpenState(const std::string &dir, Io io);

// The commands; ARGS start behind the command's own name.
int PrinterCommand(const Args &args, Io io);
int RegCommand(const Args &args, Io io);
int PrintCommand(const Args &args, Io io);
// STATEDIR: what --state gave, or "" for a fresh temporary directory.
int DemoCommand(const Args &args, const std::string &stateDir, Io io);

// True when ARG is "--help" or "-h" (every command answers it).
bool IsHelp(const std::string &arg);
// "error: WHAT" and the usage line on stderr; kExitUsage.
int UsageError(Io io, const std::string &what, const char *usage);

// Win32 error text for messages: "ERROR_ACCESS_DENIED (5)" style.
std::string ErrorText(unsigned long code);

}  // namespace kvps
