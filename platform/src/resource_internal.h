// Shared between the resource units: a module's cached .res image and the
// lookup of a type/name/language in it.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "kvp/resource.h"
#include "wstr.h"

namespace kvp {

// Fields of the resource formats, little-endian and unaligned; the caller
// has checked that they lie within the data.
inline WORD Word(const BYTE *p)
{
    WORD w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline DWORD Dword(const BYTE *p)
{
    DWORD d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

// Resource entries and version nodes start on DWORD boundaries.
inline size_t AlignUp4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

struct ResImage {
    std::string path;
    uint64_t dev = 0;
    uint64_t ino = 0;
    int64_t fileSize = 0;
    int64_t mtimeNs = 0;
    bool hasSection = false;      // the file carries a ".kvrsrc" section
    std::vector<BYTE> bytes;      // the section as read; entries point into it
    std::vector<ResEntry> entries;  // empty when the image is damaged
};

// A type or name as asked for: an id, or a name folded to upper case.
struct ResKey {
    bool isId = true;
    WORD id = 0;
    wstring16 name;
};

// Native path of a loaded module (null: the executable); false when the
// handle names no loaded module.
bool ModulePathOf(HMODULE module, std::string *path);
// Read the resource image of a file; false only when the file cannot be read.
bool LoadResImageFromFile(const std::string &path, ResImage *img);
const ResImage *ImageOfModule(HMODULE module, DWORD *error);
ResKey KeyOf(LPCWSTR p);
// Language choice as documented in kvp/resource.h; on failure *error is the
// Win32 error code.
const ResEntry *FindEntry(const ResImage &img, const ResKey &type, const ResKey &name, WORD language, DWORD *error);

}  // namespace kvp
