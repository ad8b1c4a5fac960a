// kvps print: rendering a PostScript file through a printer's render
// plug-in. Wired to the host simulator's render side once that exists.
#include "kvps.h"

namespace kvps {

int PrintCommand(const Args &args, Io io)
{
    io.err << "kvps: print: the host simulator's render side is not built into this kvps yet\n";
    return kExitFailed;
}

int DemoCommand(const Args &args, const std::string &stateDir, Io io)
{
    io.err << "kvps: demo: the host simulator's render side is not built into this kvps yet\n";
    return kExitFailed;
}

}  // namespace kvps
