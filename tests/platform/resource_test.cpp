// Conformance of the resource functions (FindResourceW, LoadStringW, file
// version information) against the test module's own resource script
// (resmodule/resmodule.rc), and the .res image and ELF section readers under
// damaged input.
#ifndef _WIN32  // the ELF readers and scratch files are native only
#include <elf.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> wstr;

wstr Wide(const std::string &ascii) { return wstr(ascii.begin(), ascii.end()); }

std::string Narrow(const wstr &s)
{
    std::string out;
    for (WCHAR c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

#ifndef _WIN32
std::vector<BYTE> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, const std::vector<BYTE> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A scratch directory of the test's own, removed with its files.
class ScratchDir {
public:
    ScratchDir()
    {
        char tmpl[] = "/tmp/kvrestest.XXXXXX";
        m_dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    ~ScratchDir()
    {
        for (const std::string &f : m_files) unlink(f.c_str());
        rmdir(m_dir.c_str());
    }
    std::string File(const std::string &name, const std::vector<BYTE> &bytes)
    {
        std::string path = m_dir + "/" + name;
        WriteFile(path, bytes);
        m_files.push_back(path);
        return path;
    }

private:
    std::string m_dir;
    std::vector<std::string> m_files;
};
#endif  // !_WIN32

class ResourceModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_module = LoadLibraryW(Wide(KV_TEST_RESMODULE).c_str());
        ASSERT_NE(nullptr, m_module) << "error " << GetLastError();
    }
    void TearDown() override
    {
        if (m_module) FreeLibrary(m_module);
    }

    // The bytes of a resource, or "error <code>" when it is not found.
    std::string Bytes(HRSRC found)
    {
        if (!found) return "error " + std::to_string(GetLastError());
        const char *data = static_cast<const char *>(LockResource(LoadResource(m_module, found)));
        return std::string(data, SizeofResource(m_module, found));
    }

    HMODULE m_module = nullptr;
};

// ---- FindResourceW / FindResourceExW -------------------------------------

TEST_F(ResourceModule, FindResourceByIdNameAndNumberText)
{
    struct Case {
        const char *what;
        LPCWSTR type;
        LPCWSTR name;
        const char *bytes;
    } cases[] = {
        {"ids", RT_RCDATA, MAKEINTRESOURCEW(302), "de"},
        {"names as written", u"KvData", u"Greeting", "named"},
        {"names in other case", u"kvdata", u"GREETING", "named"},
        {"number texts", u"#10", u"#302", "de"},
    };
    for (const Case &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.bytes, Bytes(FindResourceW(m_module, c.name, c.type))) << c.what;
    }
}

TEST_F(ResourceModule, FindResourceReportsWhatIsMissing)
{
    struct Case {
        const char *what;
        LPCWSTR type;
        LPCWSTR name;
        DWORD error;
    } cases[] = {
        {"type id", RT_BITMAP, MAKEINTRESOURCEW(1), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"type name", u"NoSuchType", u"Greeting", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"name id", RT_RCDATA, MAKEINTRESOURCEW(999), ERROR_RESOURCE_NAME_NOT_FOUND},
        {"name text", u"KvData", u"Greetings", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"id asked by name", RT_RCDATA, u"Greeting", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"bad number text", RT_RCDATA, u"#3x2", ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, FindResourceW(m_module, c.name, c.type)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
}

TEST(Resource, ExecutableWithoutResourcesHasNoResourceData)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_STRING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
}

TEST(Resource, UnknownModuleHandleIsRefused)
{
    int notAModule = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, FindResourceW(reinterpret_cast<HMODULE>(&notAModule), MAKEINTRESOURCEW(1), RT_STRING));
#ifndef _WIN32  // undocumented: Windows looks for a resource directory there (ERROR_RESOURCE_DATA_NOT_FOUND)
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
#endif
    WCHAR buffer[8];
    EXPECT_EQ(0, LoadStringW(reinterpret_cast<HMODULE>(&notAModule), 1, buffer, 8));
}

// A module opened as a data file has its resources all the same.
TEST(Resource, DataFileLoadReadsResources)
{
    HMODULE module = LoadLibraryExW(Wide(KV_TEST_RESMODULE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    WCHAR buffer[16];
    EXPECT_EQ(7, LoadStringW(module, 16, buffer, 16));
    EXPECT_EQ(wstr(u"sixteen"), wstr(buffer));
    EXPECT_NE(nullptr, FindResourceW(module, MAKEINTRESOURCEW(500), RT_DIALOG));
    FreeLibrary(module);
}

// 300: neutral, ja, en; 301: ja, en; 302: de only.
TEST_F(ResourceModule, LanguageChoice)
{
    struct Case {
        const char *what;
        UINT codePage;
        bool ex;
        WORD language;
        WORD name;
        const char *bytes;
    } cases[] = {
        {"neutral first", 932, false, 0, 300, "neutral"},
        {"then the user's language (ja)", 932, false, 0, 301, "ja"},
        {"then the user's language (en)", 1252, false, 0, 301, "en"},
        {"then any", 932, false, 0, 302, "de"},
        {"user default asks as neutral", 932, true, LANG_USER_DEFAULT, 301, "ja"},
        {"exact", 932, true, 0x0409, 301, "en"},
        {"exact over neutral", 1252, true, 0x0411, 300, "ja"},
        {"missing language falls to neutral", 932, true, 0x0407, 300, "neutral"},
        {"missing language without neutral", 932, true, 0x0407, 301, "error 1815"},
    };
    for (const Case &c : cases) {
#ifdef _WIN32  // the ANSI code page of Windows is fixed at logon
        if (c.codePage != GetACP()) continue;
#endif
        kvp::SystemSetAnsiCodePage(c.codePage);
        SetLastError(0xdeadbeef);
        HRSRC found = c.ex ? FindResourceExW(m_module, RT_RCDATA, MAKEINTRESOURCEW(c.name), c.language)
                           : FindResourceW(m_module, MAKEINTRESOURCEW(c.name), RT_RCDATA);
        EXPECT_EQ(c.bytes, Bytes(found)) << c.what;
    }
}

TEST_F(ResourceModule, LoadResourcePointsIntoOneStableImage)
{
    HRSRC found = FindResourceW(m_module, u"Greeting", u"KvData");
    ASSERT_NE(nullptr, found);
    HGLOBAL first = LoadResource(m_module, found);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, LockResource(first));
    EXPECT_EQ(5u, SizeofResource(m_module, found));
    EXPECT_EQ(0, std::memcmp("named", first, 5));
    EXPECT_FALSE(FreeResource(first));
    // Looked up again: the same record and the same bytes.
    EXPECT_EQ(found, FindResourceW(m_module, u"GREETING", u"KVDATA"));
    EXPECT_EQ(first, LoadResource(m_module, found));
    // Resources are DWORD-aligned, so templates and string blocks read in place.
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(first) % 4);
}

TEST_F(ResourceModule, ForeignResourceHandlesAreRefused)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("a resource handle no lookup gave out: Windows reads whatever it points to");
#endif
    kvp::ResEntry stray{};
    HRSRC bogus = reinterpret_cast<HRSRC>(&stray);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadResource(m_module, bogus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, SizeofResource(m_module, bogus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, LoadResource(m_module, nullptr));
}

// ---- LoadStringW ------------------------------------------------------------

TEST_F(ResourceModule, LoadStringFindsEveryBlockPosition)
{
    struct Case {
        UINT id;
        const WCHAR *text;
    } cases[] = {
        {1, u"one"},
        {15, u"fifteen"},  // last of block 1
        {16, u"sixteen"},  // first of block 2
        {17, u"日本語の文字列"},
        {9774, u"警告"},
        {200, u"English only"},  // a block only in another language
    };
    for (const Case &c : cases) {
        WCHAR buffer[64];
        SetLastError(0xdeadbeef);
        int n = LoadStringW(m_module, c.id, buffer, 64);
        EXPECT_EQ(wstr(c.text), wstr(buffer)) << "string " << c.id;
        EXPECT_EQ(static_cast<int>(wstr(c.text).size()), n) << "string " << c.id;
    }
}

TEST_F(ResourceModule, LoadStringOfMissingStrings)
{
    struct Case {
        const char *what;
        UINT id;
    } cases[] = {
        {"empty slot of a block", 2},
        {"block not there", 40},
        {"last id", 0xFFFF},
    };
    for (const Case &c : cases) {
        WCHAR buffer[8] = {u'x', u'x', 0};
        SetLastError(0xdeadbeef);
        EXPECT_EQ(0, LoadStringW(m_module, c.id, buffer, 8)) << c.what;
#ifdef _WIN32  // the error code after an empty slot of a present block is undocumented
        if (c.id == 2) continue;
#endif
        EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError()) << c.what;
    }
}

TEST_F(ResourceModule, LoadStringTruncatesWithNul)
{
    struct Case {
        int capacity;
        int result;
        const WCHAR *text;
    } cases[] = {
        {8, 7, u"fifteen"},  // exactly room for the NUL
        {7, 6, u"fiftee"},
        {4, 3, u"fif"},
        {1, 0, u""},
    };
    for (const Case &c : cases) {
#ifdef KV_WINE_DIFFERS
        if (KV_WINE_DIFFERS(c.capacity == 1, "LoadStringW leaves a one-character buffer untouched; Windows truncates "
                                             "every string to the NUL"))
            continue;
#endif
        WCHAR buffer[16];
        for (WCHAR &ch : buffer) ch = u'#';
        EXPECT_EQ(c.result, LoadStringW(m_module, 15, buffer, c.capacity)) << "capacity " << c.capacity;
        EXPECT_EQ(wstr(c.text), wstr(buffer)) << "capacity " << c.capacity;
        EXPECT_EQ(u'#', buffer[c.capacity]) << "capacity " << c.capacity;
    }
}

TEST_F(ResourceModule, LoadStringWithoutCapacityGivesReadOnlyPointer)
{
    const WCHAR *text = nullptr;
    int n = LoadStringW(m_module, 17, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(7, n);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(wstr(u"日本語の文字列"), wstr(text, 7));
    const WCHAR *again = nullptr;
    EXPECT_EQ(7, LoadStringW(m_module, 17, reinterpret_cast<LPWSTR>(&again), 0));
    EXPECT_EQ(text, again);
}

TEST_F(ResourceModule, LoadStringRejectsBadBuffers)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, LoadStringW(m_module, 1, nullptr, 10));
#ifndef _WIN32  // a negative capacity is undocumented (Wine answers -2)
    WCHAR buffer[4];
    EXPECT_EQ(0, LoadStringW(m_module, 1, buffer, -1));
#endif
}

// ---- File version information -----------------------------------------------

class VersionInfo : public ::testing::Test {
protected:
    std::vector<BYTE> Read(const std::string &path)
    {
        DWORD handle = 0xdeadbeef;
        DWORD size = GetFileVersionInfoSizeW(Wide(path).c_str(), &handle);
        EXPECT_EQ(0u, handle);
        std::vector<BYTE> block(size);
        if (size) {
            EXPECT_TRUE(GetFileVersionInfoW(Wide(path).c_str(), 0, size, block.data()));
        }
        return block;
    }
    static std::string Text(const void *block, const char *path)
    {
        LPVOID value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block, Wide(path).c_str(), &value, &length)) return "(none)";
        wstr text(static_cast<const WCHAR *>(value), length);
        if (!text.empty() && text.back() == 0) text.pop_back();
        return Narrow(text);
    }
};

TEST_F(VersionInfo, FixedInformation)
{
    std::vector<BYTE> block = Read(KV_TEST_RESMODULE);
    ASSERT_FALSE(block.empty());
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof info);
    EXPECT_EQ(VS_FFI_SIGNATURE, info.dwSignature);
    EXPECT_EQ(0x00010002u, info.dwFileVersionMS);
    EXPECT_EQ(0x00030004u, info.dwFileVersionLS);
    EXPECT_EQ(0x00050006u, info.dwProductVersionMS);
    EXPECT_EQ(0x00070008u, info.dwProductVersionLS);
    EXPECT_EQ(VOS_NT_WINDOWS32, info.dwFileOS);
    EXPECT_EQ(VFT_DLL, info.dwFileType);
}

TEST_F(VersionInfo, TranslationAndStrings)
{
    std::vector<BYTE> block = Read(KV_TEST_RESMODULE);
    ASSERT_FALSE(block.empty());
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    WORD translation[2];
    std::memcpy(translation, value, sizeof translation);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    struct Case {
        const char *path;
        const char *text;
    } cases[] = {
        {"\\StringFileInfo\\041104B0\\FileVersion", "1.2.3.4"},
        {"\\StringFileInfo\\041104B0\\OriginalFilename", "kv_test_resmodule.dll"},
        {"\\stringfileinfo\\041104b0\\originalfilename", "kv_test_resmodule.dll"},
        {"\\StringFileInfo\\040904B0\\FileVersion", "(none)"},
        {"\\StringFileInfo\\041104B0\\Comments", "(none)"},
    };
    for (const Case &c : cases) EXPECT_EQ(c.text, Text(block.data(), c.path)) << c.path;

    // Text values count characters with the NUL.
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\041104B0\\FileVersion", &value, &length));
    EXPECT_EQ(8u, length);
}

TEST_F(VersionInfo, ShortBufferIsCutAndStaysInside)
{
    DWORD size = GetFileVersionInfoSizeW(Wide(KV_TEST_RESMODULE).c_str(), nullptr);
    ASSERT_GT(size, 92u);
    // The root node and its fixed information take 92 bytes; the string
    // tables beyond are cut off.
    std::vector<BYTE> block(92);
    ASSERT_TRUE(GetFileVersionInfoW(Wide(KV_TEST_RESMODULE).c_str(), 0, 92, block.data()));
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ("(none)", Text(block.data(), "\\StringFileInfo\\041104B0\\FileVersion"));
}

#ifndef _WIN32  // ELF files and the readers of the native modules
std::string SelfPath()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// A copy of the test module with its ELF headers changed by PATCH.
template <typename Patch>
std::vector<BYTE> PatchedModule(Patch patch)
{
    std::vector<BYTE> bytes = ReadFile(KV_TEST_RESMODULE);
    if (bytes.size() < sizeof(Elf64_Ehdr)) return bytes;
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    patch(bytes, eh);
    return bytes;
}

// The section header of the module's ".kvrsrc", located in a copy.
size_t ResourceSectionHeaderAt(const std::vector<BYTE> &bytes, const Elf64_Ehdr &eh)
{
    Elf64_Shdr strtab;
    std::memcpy(&strtab, bytes.data() + eh.e_shoff + eh.e_shstrndx * sizeof(Elf64_Shdr), sizeof strtab);
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh;
        size_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
        std::memcpy(&sh, bytes.data() + at, sizeof sh);
        if (std::strcmp(reinterpret_cast<const char *>(bytes.data() + strtab.sh_offset + sh.sh_name), ".kvrsrc") == 0)
            return at;
    }
    return 0;
}

TEST_F(VersionInfo, FilesWithoutVersionResource)
{
    ScratchDir dir;
    std::vector<BYTE> module = ReadFile(KV_TEST_RESMODULE);
    struct Case {
        const char *what;
        std::string path;
        DWORD error;
    } cases[] = {
        {"missing file", "/nonexistent/kvps/none.dll", ERROR_FILE_NOT_FOUND},
        {"text file", dir.File("text.dll", std::vector<BYTE>(100, 'a')), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"empty file", dir.File("empty.dll", {}), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"ELF file without resources", SelfPath(), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"module cut in half",
         dir.File("half.dll", std::vector<BYTE>(module.begin(), module.begin() + module.size() / 2)),
         ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"section headers past the end", dir.File("shoff.dll", PatchedModule([](std::vector<BYTE> &b, Elf64_Ehdr &eh) {
             eh.e_shoff = b.size() - 10;
             std::memcpy(b.data(), &eh, sizeof eh);
         })),
         ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"section count beyond the file", dir.File("shnum.dll", PatchedModule([](std::vector<BYTE> &b, Elf64_Ehdr &eh) {
             eh.e_shnum = 0xFFF0;
             std::memcpy(b.data(), &eh, sizeof eh);
         })),
         ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"resource section past the end", dir.File("size.dll", PatchedModule([](std::vector<BYTE> &b, Elf64_Ehdr &eh) {
             size_t at = ResourceSectionHeaderAt(b, eh);
             Elf64_Shdr sh;
             std::memcpy(&sh, b.data() + at, sizeof sh);
             sh.sh_size = b.size();
             std::memcpy(b.data() + at, &sh, sizeof sh);
         })),
         ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"resource image cut short", dir.File("short.dll", PatchedModule([](std::vector<BYTE> &b, Elf64_Ehdr &eh) {
             size_t at = ResourceSectionHeaderAt(b, eh);
             Elf64_Shdr sh;
             std::memcpy(&sh, b.data() + at, sizeof sh);
             sh.sh_size -= 3;
             std::memcpy(b.data() + at, &sh, sizeof sh);
         })),
         ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        DWORD handle = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(0u, GetFileVersionInfoSizeW(Wide(c.path).c_str(), &handle)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
        EXPECT_EQ(0u, handle) << c.what;
        BYTE block[256];
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetFileVersionInfoW(Wide(c.path).c_str(), 0, sizeof block, block)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
}
#endif  // !_WIN32

TEST(VerQueryValue, RejectsNullArguments)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("null arguments and an empty block: Windows documents no answer, and Wine faults");
#endif
    BYTE block[8] = {};
    LPVOID value = nullptr;
    UINT length = 7;
    EXPECT_FALSE(VerQueryValueW(nullptr, u"\\", &value, &length));
    EXPECT_EQ(0u, length);
    EXPECT_FALSE(VerQueryValueW(block, nullptr, &value, &length));
    EXPECT_FALSE(VerQueryValueW(block, u"\\", nullptr, &length));
    // A root that claims less than a node header.
    EXPECT_FALSE(VerQueryValueW(block, u"\\", &value, &length));
}

// ---- The readers under damaged input ----------------------------------------
#ifndef _WIN32

TEST(ElfSection, ReadsTheModulesResourceImage)
{
    std::vector<BYTE> image;
    ASSERT_EQ(kvp::ElfSectionResult::Ok, kvp::ReadElfSection(KV_TEST_RESMODULE, ".kvrsrc", &image));
    ASSERT_GE(image.size(), 32u);
    // The image starts with the empty record of a .res file.
    const BYTE empty[] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    EXPECT_EQ(0, std::memcmp(empty, image.data(), sizeof empty));

    int err = 0;
    EXPECT_EQ(kvp::ElfSectionResult::NoFile, kvp::ReadElfSection("/nonexistent/kvps.dll", ".kvrsrc", &image, &err));
    EXPECT_EQ(ENOENT, err);
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(kvp::ElfSectionResult::NoSection, kvp::ReadElfSection(KV_TEST_RESMODULE, ".nosuch", &image));
    EXPECT_EQ(kvp::ElfSectionResult::NoSection, kvp::ReadElfSection(SelfPath().c_str(), ".kvrsrc", &image));
}

std::vector<BYTE> ModuleImage()
{
    std::vector<BYTE> image;
    kvp::ReadElfSection(KV_TEST_RESMODULE, ".kvrsrc", &image);
    return image;
}

TEST(ResImage, ParsesTheModulesImage)
{
    std::vector<BYTE> image = ModuleImage();
    std::vector<kvp::ResEntry> entries;
    ASSERT_TRUE(kvp::ParseResImage(image.data(), image.size(), &entries));
    // 1 named, 2 dialogs, 4 string blocks, 6 RCDATA, 1 version.
    EXPECT_EQ(14u, entries.size());
    bool sawNamed = false;
    for (const kvp::ResEntry &e : entries) {
        EXPECT_LE(static_cast<size_t>(e.dataOffset) + e.dataSize, image.size());
        EXPECT_EQ(0u, e.dataOffset % 4);
        if (!e.typeIsId) {
            sawNamed = true;
            EXPECT_EQ(6u, e.typeNameLength);  // "KVDATA"
            EXPECT_EQ(8u, e.nameLength);      // "GREETING"
            EXPECT_EQ(0, std::memcmp(u"KVDATA", image.data() + e.typeNameOffset, 12));
            EXPECT_EQ(0, std::memcmp(u"GREETING", image.data() + e.nameOffset, 16));
            EXPECT_EQ(0x0411, e.language);
            EXPECT_EQ(5u, e.dataSize);
        }
    }
    EXPECT_TRUE(sawNamed);
}

// Cut the image at every length, each copy in a buffer of exactly that size
// (the sanitizer catches any read past it). Only a cut between two records
// leaves a valid, shorter image.
TEST(ResImage, EveryTruncationIsRejectedOrEndsAtARecord)
{
    std::vector<BYTE> image = ModuleImage();
    std::vector<kvp::ResEntry> full;
    ASSERT_TRUE(kvp::ParseResImage(image.data(), image.size(), &full));
    // A record ends with its data; the padding after it may be cut.
    std::set<size_t> boundaries = {32};
    for (const kvp::ResEntry &e : full)
        for (size_t end = e.dataOffset + e.dataSize; end <= ((e.dataOffset + e.dataSize + 3) & ~size_t(3)); ++end)
            boundaries.insert(end);
    for (size_t n = 0; n < image.size(); ++n) {
        std::vector<BYTE> cut(image.begin(), image.begin() + n);
        std::vector<kvp::ResEntry> entries(1);
        bool ok = kvp::ParseResImage(cut.data(), cut.size(), &entries);
        ASSERT_EQ(boundaries.count(n) == 1, ok) << "cut at " << n;
        if (!ok) {
            ASSERT_TRUE(entries.empty()) << "cut at " << n;
        }
        for (const kvp::ResEntry &e : entries) ASSERT_LE(e.dataOffset + e.dataSize, n) << "cut at " << n;
    }
}

// A small image: the empty record, then one record of type 10, name 7 and
// four data bytes.
std::vector<BYTE> SmallImage()
{
    std::vector<BYTE> b = {
        0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,  // empty record
        0, 0, 0, 0, 0,  0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0,
        4, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 10, 0, 0xFF, 0xFF, 7, 0,  // sizes, type, name
        0, 0, 0, 0, 0x30, 0x10, 0x11, 0x04, 0, 0, 0, 0, 0, 0, 0, 0,    // language 0x0411
        'd', 'a', 't', 'a',
    };
    return b;
}

void PutDword(std::vector<BYTE> &b, size_t at, DWORD v) { std::memcpy(b.data() + at, &v, 4); }

TEST(ResImage, MalformedRecordsRejectTheImage)
{
    std::vector<kvp::ResEntry> entries;
    std::vector<BYTE> ok = SmallImage();
    ASSERT_TRUE(kvp::ParseResImage(ok.data(), ok.size(), &entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(10, entries[0].typeId);
    EXPECT_EQ(7, entries[0].nameId);
    EXPECT_EQ(0x0411, entries[0].language);
    EXPECT_EQ(64u, entries[0].dataOffset);

    struct Case {
        const char *what;
        void (*damage)(std::vector<BYTE> &);
    } cases[] = {
        {"no empty record first", [](std::vector<BYTE> &b) { b.erase(b.begin(), b.begin() + 32); }},
        {"empty record with data", [](std::vector<BYTE> &b) { PutDword(b, 0, 4); }},
        {"header size below 32", [](std::vector<BYTE> &b) { PutDword(b, 36, 28); }},
        {"header size not DWORD-aligned", [](std::vector<BYTE> &b) { PutDword(b, 36, 34); }},
        {"header size past the end", [](std::vector<BYTE> &b) { PutDword(b, 36, 0x1000); }},
        {"data size past the end", [](std::vector<BYTE> &b) { PutDword(b, 32, 5); }},
        {"data size wraps", [](std::vector<BYTE> &b) { PutDword(b, 32, 0xFFFFFFFF); }},
        {"header size wraps", [](std::vector<BYTE> &b) { PutDword(b, 36, 0xFFFFFFFC); }},
        {"type name without NUL",
         [](std::vector<BYTE> &b) {
             for (size_t i = 40; i < 64; ++i) b[i] = 'A';
         }},
        {"names leave no room for the fixed part",
         [](std::vector<BYTE> &b) {
             // type "AAAAAAA" + NUL (16 bytes) and name 7: 20 bytes of 24.
             for (size_t i = 40; i < 54; i += 2) b[i] = 'A', b[i + 1] = 0;
             b[54] = 0, b[55] = 0;
             b[56] = 0xFF, b[57] = 0xFF, b[58] = 7, b[59] = 0;
         }},
        {"bytes after the last record", [](std::vector<BYTE> &b) { b.insert(b.end(), {0, 0, 0, 0, 0}); }},
    };
    for (const Case &c : cases) {
        std::vector<BYTE> bad = SmallImage();
        c.damage(bad);
        std::vector<BYTE> exact(bad);  // exactly sized for the sanitizer
        entries.assign(1, kvp::ResEntry{});
        EXPECT_FALSE(kvp::ParseResImage(exact.data(), exact.size(), &entries)) << c.what;
        EXPECT_TRUE(entries.empty()) << c.what;
    }
    EXPECT_FALSE(kvp::ParseResImage(nullptr, 64, &entries));
}
#endif  // !_WIN32

}  // namespace
