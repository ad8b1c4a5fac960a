// One print job of the kvps command: the document's DEVMODEW built by the
// printer's render plug-in, the user's options and private settings applied
// to it, and the document rendered through the plug-in into the spooler.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kvps.h"

namespace kvps {

// A setting of the driver's private DEVMODE record, as an application
// writes it into a document: by its place in the stored record, which is
// the same in every copy of the driver of a line.
struct PrivateField {
    const char *name;  // the field's name in the driver's record table; null ends the table
    enum Kind { Short, Flag, Text } kind;
    unsigned offset;   // in the private data (behind the 12-byte header)
    unsigned mask;     // Flag: its bit of the flags word at offset 20
    unsigned size;     // Text: code units with the NUL
    bool lineAOnly;    // behind offset 43 or secure print: line A's record only
};
const PrivateField *PrivateFields();
// Case-insensitive; null when there is no such field.
const PrivateField *FindPrivateField(const std::string &name);

struct PrintRequest {
    std::string printerName;
    std::string file;
    std::string output;  // empty: the spool file
    std::string documentName;  // empty: the file's name
    int copies = 0;            // 0: the plug-in's default
    short orientation = 0;     // 0: the default
    std::vector<std::pair<std::string, std::string>> options;   // PPD and host options
    std::vector<std::pair<std::string, std::string>> settings;  // private record fields
    // The secure print user ID and PIN as the UI plug-in hands them to the
    // render plug-in at document start (line A); empty: no such escape.
    std::string user;
    std::string pin;
};

struct PrintOutcome {
    unsigned long jobId = 0;
    std::string spooled;  // the job's bytes as the spooler received them
    std::string where;    // the file that holds them
};

// Runs REQUEST. Bad option names or values are usage errors (kExitUsage);
// a missing printer or file, a refused job or a failed document start end
// with kExitFailed; each with its reason on IO.err.
int RunPrint(PrintRequest &request, PrintOutcome *outcome, Io io);

}  // namespace kvps
