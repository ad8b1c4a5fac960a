// kvps reg: the emulated registry, in the manner of the Windows reg tool.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kvhost/uihost.h"
#include "kvp/win32.h"
#include "kvps.h"

namespace kvps {

namespace {

const char kUsage[] =
    "usage: kvps reg query KEY [/v NAME]\n"
    "       kvps reg add KEY [/v NAME] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]\n"
    "       kvps reg delete KEY [/v NAME] [/f]\n"
    "\n"
    "KEY begins with HKLM or HKCU (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER). Without /v, add\n"
    "creates the key and delete removes it with everything below it. A REG_DWORD is decimal or\n"
    "0x hex, a REG_BINARY hex digits. For example, to have the plug-ins log everything:\n"
    "  kvps reg add \"HKLM\\Software\\Korvane\\KV PostScript Printer Driver\" /v DebugLevel /t REG_DWORD /d 1\n";

struct KeyPath {
    HKEY root;
    std::string rootName;
    std::string subKey;  // backslash-separated, no leading or trailing backslash
};

bool ParseKey(const std::string &text, KeyPath *key)
{
    std::string path = text;
    for (char &c : path)
        if (c == '/') c = '\\';
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    std::string upper;
    for (char c : root) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") {
        key->root = HKEY_LOCAL_MACHINE;
        key->rootName = "HKEY_LOCAL_MACHINE";
    } else if (upper == "HKCU" || upper == "HKEY_CURRENT_USER") {
        key->root = HKEY_CURRENT_USER;
        key->rootName = "HKEY_CURRENT_USER";
    } else {
        return false;
    }
    key->subKey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    while (!key->subKey.empty() && key->subKey.back() == '\\') key->subKey.pop_back();
    return true;
}

std::string FullName(const KeyPath &key)
{
    return key.subKey.empty() ? key.rootName : key.rootName + "\\" + key.subKey;
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_BINARY: return "REG_BINARY";
    default: return "REG_" + std::to_string(type);
    }
}

std::string DataText(DWORD type, const std::vector<BYTE> &data)
{
    char text[32];
    if (type == REG_DWORD && data.size() == 4) {
        DWORD v = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
        std::snprintf(text, sizeof(text), "0x%x", v);
        return text;
    }
    if (type == REG_SZ) {
        std::u16string wide;
        for (size_t i = 0; i + 1 < data.size(); i += 2) {
            char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (c == 0) break;
            wide += c;
        }
        return kvhost::ToUtf8(wide);
    }
    std::string hex;
    for (BYTE b : data) {
        std::snprintf(text, sizeof(text), "%02X", b);
        hex += text;
    }
    return hex;
}

struct Options {
    bool haveValue = false;
    std::string value;
    std::string type = "REG_SZ";
    bool haveData = false;
    std::string data;
};

// The /v /t /d /f switches; false with a message for anything else.
bool ParseSwitches(const Args &args, size_t from, Options *options, Io io)
{
    for (size_t i = from; i < args.size(); ++i) {
        std::string s = args[i];
        for (char &c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (s == "/f") continue;
        if ((s == "/v" || s == "/t" || s == "/d") && i + 1 < args.size()) {
            const std::string &v = args[++i];
            if (s == "/v") {
                options->haveValue = true;
                options->value = v;
            } else if (s == "/t") {
                options->type = v;
            } else {
                options->haveData = true;
                options->data = v;
            }
            continue;
        }
        io.err << "kvps: reg: unexpected argument " << args[i] << "\n" << kUsage;
        return false;
    }
    return true;
}

void PrintValue(Io io, const std::u16string &name, DWORD type, const std::vector<BYTE> &data)
{
    io.out << "    " << (name.empty() ? "(Default)" : kvhost::ToUtf8(name)) << "    " << TypeName(type) << "    "
           << DataText(type, data) << "\n";
}

bool ReadValue(HKEY key, const std::u16string &name, DWORD *type, std::vector<BYTE> *data, LSTATUS *rc)
{
    DWORD size = 0;
    *rc = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
    if (*rc != ERROR_SUCCESS) return false;
    data->assign(size, 0);
    *rc = RegQueryValueExW(key, name.c_str(), nullptr, type, data->empty() ? nullptr : data->data(), &size);
    if (*rc != ERROR_SUCCESS) return false;
    data->resize(size);
    return true;
}

int Query(const KeyPath &path, const Options &options, Io io)
{
    HKEY key = nullptr;
    std::u16string sub = kvhost::ToUtf16(path.subKey);
    LSTATUS rc = RegOpenKeyExW(path.root, sub.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) {
        io.err << "kvps: reg: the key " << FullName(path) << " was not found (" << ErrorText(rc) << ")\n";
        return kExitFailed;
    }
    io.out << "\n" << FullName(path) << "\n";
    int result = kExitOk;
    if (options.haveValue) {
        DWORD type = 0;
        std::vector<BYTE> data;
        std::u16string name = kvhost::ToUtf16(options.value);
        if (ReadValue(key, name, &type, &data, &rc)) {
            PrintValue(io, name, type, data);
        } else {
            io.err << "kvps: reg: the value " << options.value << " was not found (" << ErrorText(rc) << ")\n";
            result = kExitFailed;
        }
    } else {
        for (DWORD index = 0;; ++index) {
            WCHAR name[256];
            DWORD nameLength = sizeof(name) / sizeof(name[0]);
            DWORD type = 0;
            rc = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) break;
            std::vector<BYTE> data;
            std::u16string wide(name, nameLength);
            if (ReadValue(key, wide, &type, &data, &rc)) PrintValue(io, wide, type, data);
        }
        io.out << "\n";
        for (DWORD index = 0;; ++index) {
            WCHAR name[256];
            DWORD nameLength = sizeof(name) / sizeof(name[0]);
            rc = RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS) break;
            io.out << FullName(path) << "\\" << kvhost::ToUtf8(std::u16string(name, nameLength)) << "\n";
        }
    }
    RegCloseKey(key);
    return result;
}

bool ParseHex(const std::string &text, std::vector<BYTE> *out)
{
    if (text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char *end = nullptr;
        long v = std::strtol(pair, &end, 16);
        if (end != pair + 2) return false;
        out->push_back(static_cast<BYTE>(v));
    }
    return true;
}

int Add(const KeyPath &path, const Options &options, Io io)
{
    std::vector<BYTE> bytes;
    DWORD type = 0;
    if (options.type == "REG_SZ") {
        type = REG_SZ;
        for (char16_t c : kvhost::ToUtf16(options.data) + u'\0') {
            bytes.push_back(static_cast<BYTE>(c));
            bytes.push_back(static_cast<BYTE>(c >> 8));
        }
    } else if (options.type == "REG_DWORD") {
        type = REG_DWORD;
        char *end = nullptr;
        unsigned long long v = std::strtoull(options.data.c_str(), &end, 0);
        if (!options.haveData || options.data.empty() || *end != '\0' || v > 0xFFFFFFFFull || options.data[0] == '-') {
            io.err << "kvps: reg: a REG_DWORD needs /d with a 32-bit number\n" << kUsage;
            return kExitUsage;
        }
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(v >> (8 * i)));
    } else if (options.type == "REG_BINARY") {
        type = REG_BINARY;
        if (!ParseHex(options.data, &bytes)) {
            io.err << "kvps: reg: a REG_BINARY needs /d with hex digits\n" << kUsage;
            return kExitUsage;
        }
    } else {
        io.err << "kvps: reg: unsupported type " << options.type << "\n" << kUsage;
        return kExitUsage;
    }
    HKEY key = nullptr;
    std::u16string sub = kvhost::ToUtf16(path.subKey);
    LSTATUS rc = RegCreateKeyExW(path.root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        io.err << "kvps: reg: cannot create " << FullName(path) << " (" << ErrorText(rc) << ")\n";
        return kExitFailed;
    }
    if (options.haveValue) {
        std::u16string name = kvhost::ToUtf16(options.value);
        rc = RegSetValueExW(key, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                            static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        io.err << "kvps: reg: cannot set " << options.value << " (" << ErrorText(rc) << ")\n";
        return kExitFailed;
    }
    io.out << "The operation completed successfully.\n";
    return kExitOk;
}

LSTATUS DeleteTree(HKEY root, const std::u16string &sub)
{
    HKEY key = nullptr;
    LSTATUS rc = RegOpenKeyExW(root, sub.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        WCHAR name[256];
        DWORD nameLength = sizeof(name) / sizeof(name[0]);
        if (RegEnumKeyExW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(root, sub + u"\\" + std::u16string(name, nameLength)) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return RegDeleteKeyW(root, sub.c_str());
}

int Delete(const KeyPath &path, const Options &options, Io io)
{
    std::u16string sub = kvhost::ToUtf16(path.subKey);
    LSTATUS rc;
    if (options.haveValue) {
        HKEY key = nullptr;
        rc = RegOpenKeyExW(path.root, sub.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (rc == ERROR_SUCCESS) {
            std::u16string name = kvhost::ToUtf16(options.value);
            rc = RegDeleteValueW(key, name.c_str());
            RegCloseKey(key);
        }
    } else {
        if (path.subKey.empty()) {
            io.err << "kvps: reg: a root key cannot be deleted\n";
            return kExitUsage;
        }
        rc = DeleteTree(path.root, sub);
    }
    if (rc != ERROR_SUCCESS) {
        io.err << "kvps: reg: cannot delete " << (options.haveValue ? options.value : FullName(path)) << " ("
               << ErrorText(rc) << ")\n";
        return kExitFailed;
    }
    io.out << "The operation completed successfully.\n";
    return kExitOk;
}

}  // namespace

int RegCommand(const Args &args, Io io)
{
    if (args.empty()) return UsageError(io, "reg needs query, add or delete", kUsage);
    if (IsHelp(args[0]) || (args.size() > 1 && IsHelp(args[1]))) {
        io.out << kUsage;
        return kExitOk;
    }
    const std::string &sub = args[0];
    if (sub != "query" && sub != "add" && sub != "delete") return UsageError(io, "unknown reg operation " + sub, kUsage);
    if (args.size() < 2) return UsageError(io, "reg " + sub + " needs a key", kUsage);
    KeyPath path;
    if (!ParseKey(args[1], &path)) return UsageError(io, "the key must begin with HKLM or HKCU: " + args[1], kUsage);
    Options options;
    if (!ParseSwitches(args, 2, &options, io)) return kExitUsage;
    if (sub == "query") return Query(path, options, io);
    if (sub == "add") return Add(path, options, io);
    return Delete(path, options, io);
}

}  // namespace kvps
