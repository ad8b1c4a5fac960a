// What the tests that run the driver's core inside the test program share
// about its log: a scratch directory that the emulated system takes as its
// temporary directory (where a module writes its log), the driver's tuning
// values in the registry, and the log read back.
//
// Header-only on purpose: only the platform is needed, and the core's own
// declarations stay out of it (see kvtest_module.h for the attached core).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace kvtest {

// Where the installer puts the driver's key. No trailing backslash: the
// core's own key text has one, and both must name the same key.
inline const WCHAR kDriverKey[] = TEXT("Software\\Korvane\\KV PostScript Printer Driver");

inline void SetDriverValue(LPCWSTR name, DWORD type, const void *data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), size));
    RegCloseKey(key);
}

inline void SetDriverDword(LPCWSTR name, DWORD value) { SetDriverValue(name, REG_DWORD, &value, sizeof(value)); }

// A fresh directory of the test's own, made the emulated system's temporary
// directory, removed with the object (after the fixture's TearDown, so a
// module detached there has closed its log by then).
class ScratchDir {
public:
    ScratchDir() = default;
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    ~ScratchDir() { Remove(); }

    // <host's temporary directory>/<prefix>XXXXXX; false when it cannot be
    // made. The host's, not the emulated system's: a fixture set up again
    // inside one test would otherwise nest in the directory it just removed.
    bool Make(const std::string &prefix)
    {
        Remove();
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        if (mkdtemp(buffer.data()) == nullptr) return false;
        path_ = buffer.data();
        kvp::SystemSetTempDir(path_.c_str());
        return true;
    }

    void Remove()
    {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }

    const std::filesystem::path &path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// An address as the log writes it: the low 32 bits in eight hex digits.
inline std::string Hex8(const void *p)
{
    char text[16];
    snprintf(text, sizeof(text), "%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

// The file name of this test program, which names the log of the module
// when the program itself is attached as the module.
inline std::string ExecutableName() { return std::filesystem::read_symlink("/proc/self/exe").filename().string(); }

// The log the core keeps in DIR for the test program attached as the module.
inline std::filesystem::path LogPath(const std::filesystem::path &dir) { return dir / (ExecutableName() + ".log"); }

// Everything logged in DIR so far; "" while there is no log.
inline std::string LogText(const std::filesystem::path &dir)
{
    std::ifstream in(LogPath(dir), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void ClearLog(const std::filesystem::path &dir)
{
    std::error_code ignored;
    std::filesystem::remove(LogPath(dir), ignored);
}

// The lines of a log text, each with its CR LF (a last line without one as
// it stands).
inline std::vector<std::string> SplitLogLines(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        end = end == std::string::npos ? text.size() : end + 2;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

inline std::vector<std::string> LogLines(const std::filesystem::path &dir) { return SplitLogLines(LogText(dir)); }

}  // namespace kvtest
