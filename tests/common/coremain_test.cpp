// Module start-up, tuning values, the diagnostics log and the model library
// binding. The "module" is the test executable itself: it has no string
// table, so string 1 falls back to the driver's key and string 2 comes from
// the core's string loader seam where a test needs it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "coremain.h"
#include "kvp/system.h"
#include "kvsys.h"
#include "kvtest_module.h"

namespace fs = std::filesystem;

namespace {

std::u16string U16(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::string Narrow(const std::u16string &text) { return std::string(text.begin(), text.end()); }

using kvtest::ExecutableName;
using kvtest::SetDriverDword;
using kvtest::SetDriverValue;

// String 2 as the test wants it; string 1 stays missing.
std::u16string g_libraryName;
int g_loaderCalls;

int TestStrings(UINT id, LPWSTR buffer, int capacity)
{
    ++g_loaderCalls;
    if (id != CORE_STRING_LIBRARY_NAME || g_libraryName.empty()) return 0;
    int n = static_cast<int>(g_libraryName.size());
    if (n >= capacity) n = capacity - 1;
    for (int i = 0; i < n; ++i) buffer[i] = g_libraryName[static_cast<size_t>(i)];
    buffer[n] = 0;
    return n;
}

const SYSTEMTIME kFixedClock = {2024, 3, 2, 5, 7, 8, 9, 321};
const char kFixedStamp[] = "2024/03/05 07:08:09 ";

class CoreTest : public kvtest::ModuleTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ModuleTest::SetUp());
        tempDir_ = scratch_.str();
        kvp::SystemSetLocalTime(&kFixedClock);
        g_libraryName.clear();
        g_loaderCalls = 0;
        SetCoreStringLoader(TestStrings);
    }

    void TearDown() override
    {
        ModuleTest::TearDown();
        SetCoreStringLoader(nullptr);
    }

    void Attach(DWORD debugLevel)
    {
        if (debugLevel) SetDriverDword(TEXT("DebugLevel"), debugLevel);
        ModuleTest::Attach();
    }

    // The directory of the test executable as the core sees it.
    std::u16string ModuleDirectory() const
    {
        WCHAR path[MAX_PATH + 1];
        DWORD n = GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH);
        std::u16string full(path, n);
        return full.substr(0, full.find_last_of(u"\\/") + 1);
    }

    // A string 2 that leads from the module directory to a native path.
    std::u16string NameFromModuleDirectory(const fs::path &target) const
    {
        std::u16string dir = ModuleDirectory();
        std::u16string up;
        for (size_t i = 1; i < dir.size(); ++i)
            if (dir[i] == u'/') up += u"../";
        return up + U16(target.relative_path().string());
    }

    std::string tempDir_;  // the scratch directory's path, as the tests build on it
};

// ---------------------------------------------------------------------------
// Start-up

TEST_F(CoreTest, AttachCreatesPrivateHeapAndDetachDestroysIt)
{
    HMODULE self = GetModuleHandleW(nullptr);
    Attach(0);
    EXPECT_EQ(self, GetModuleHandleOfCore());
    HANDLE heap = GetPrivateHeap();
    ASSERT_NE(nullptr, heap);
    EXPECT_NE(GetProcessHeap(), heap);
    Detach();
    EXPECT_EQ(nullptr, GetPrivateHeap());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HeapDestroy(heap)) << "the private heap outlived the detach";
}

TEST_F(CoreTest, AttachFailsAndCleansUpWithoutModuleFileName)
{
    // A handle that names no loaded module: its path cannot be had.
    HMODULE bogus = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x7ff00000));
    EXPECT_FALSE(ModuleAttach(bogus));
    EXPECT_EQ(nullptr, GetPrivateHeap());
}

TEST_F(CoreTest, DetachTwiceIsHarmless)
{
    Attach(0);
    Detach();
    ModuleDetach();
    EXPECT_EQ(nullptr, GetPrivateHeap());
}

// ---------------------------------------------------------------------------
// Tuning values

TEST_F(CoreTest, ReadTuningValueReadsOnlyFourByteDwords)
{
    const BYTE four[] = {3, 0, 0, 0};
    const BYTE eight[] = {3, 0, 0, 0, 0, 0, 0, 0};
    const WCHAR text[] = TEXT("3");
    struct Case {
        const char *what;
        DWORD type;
        const void *data;
        DWORD size;
        DWORD expected;
    } cases[] = {
        {"REG_DWORD", REG_DWORD, four, 4, 3},
        {"REG_BINARY of four bytes", REG_BINARY, four, 4, 0},
        {"REG_SZ", REG_SZ, text, sizeof(text), 0},
        {"REG_QWORD", REG_QWORD, eight, 8, 0},
        {"REG_DWORD of two bytes", REG_DWORD, four, 2, 0},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, four, 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetDriverValue(TEXT("MaxHeapSize"), c.type, c.data, c.size);
        EXPECT_EQ(c.expected, ReadTuningValue(TEXT("MaxHeapSize")));
    }
}

TEST_F(CoreTest, ReadTuningValueIsZeroWhenKeyOrValueIsMissing)
{
    EXPECT_EQ(0u, ReadTuningValue(TEXT("DebugLevel")));
    SetDriverDword(TEXT("Other"), 7);
    EXPECT_EQ(0u, ReadTuningValue(TEXT("DebugLevel")));
    EXPECT_EQ(0u, ReadTuningValue(nullptr));
}

TEST_F(CoreTest, ReadTuningValueIsZeroWhenRegistryFails)
{
    SetDriverDword(TEXT("DebugLevel"), 2);
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(0u, ReadTuningValue(TEXT("DebugLevel")));
    EXPECT_EQ(2u, ReadTuningValue(TEXT("DebugLevel")));
}

TEST_F(CoreTest, ReadTuningValueUsesStringOneOfTheModule)
{
    // A module whose string 1 names another key reads there, not from the
    // built-in key.
    SetDriverDword(TEXT("DebugLevel"), 2);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Software\\Elsewhere"), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    DWORD four = 4;
    RegSetValueExW(key, TEXT("DebugLevel"), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&four), sizeof(four));
    RegCloseKey(key);
    SetCoreStringLoader([](UINT id, LPWSTR buffer, int capacity) -> int {
        const std::u16string text = u"Software\\Elsewhere\\";
        if (id != CORE_STRING_REGISTRY_KEY || capacity <= static_cast<int>(text.size())) return 0;
        for (size_t i = 0; i <= text.size(); ++i) buffer[i] = i < text.size() ? text[i] : 0;
        return static_cast<int>(text.size());
    });
    EXPECT_EQ(4u, ReadTuningValue(TEXT("DebugLevel")));
}

// ---------------------------------------------------------------------------
// The log line

TEST_F(CoreTest, LogLineOfTheInvalidBlockExample)
{
    Attach(LOG_INFO);
    LogPrint(LOG_INFO, "D:\\work\\src\\common\\memory", 554, nullptr, "Invalid MemBlock, addr = %08x.\n", 0x00a1b2c3u);
    EXPECT_EQ("2024/03/05 07:08:09 KVPS[INFO]: memory(554): Invalid MemBlock, addr = 00a1b2c3.\r\n", LogText());
}

TEST_F(CoreTest, LogLineParts)
{
    struct Case {
        const char *file;
        int line;
        const char *function;
        const char *message;
        const char *expected;  // after the time stamp
    } cases[] = {
        {"memory", 7, "MemFree", "m", "KVPS[WARN]: memory(7): MemFree: m\r\n"},
        {nullptr, 7, nullptr, "m", "KVPS[WARN]: m\r\n"},
        {"", 7, "", "m", "KVPS[WARN]: m\r\n"},
        {nullptr, 7, "Fn", "m", "KVPS[WARN]: Fn: m\r\n"},
        {"src/common/pdvalue", 12, nullptr, "m", "KVPS[WARN]: pdvalue(12): m\r\n"},
        {"C:\\drv\\unit.cpp", -1, nullptr, "m", "KVPS[WARN]: unit.cpp(-1): m\r\n"},
        {"dir\\", 3, nullptr, "m", "KVPS[WARN]: (3): m\r\n"},
        {nullptr, 0, nullptr, "two\n\n", "KVPS[WARN]: two\n\r\n"},
        {nullptr, 0, nullptr, "cr\r\n", "KVPS[WARN]: cr\r\r\n"},
        {nullptr, 0, nullptr, "", "KVPS[WARN]: \r\n"},
        {nullptr, 0, nullptr, "\n", "KVPS[WARN]: \r\n"},
    };
    Attach(LOG_INFO);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        ClearLog();
        LogPrint(LOG_WARN, c.file, c.line, c.function, c.message);
        EXPECT_EQ(std::string(kFixedStamp) + c.expected, LogText());
    }
}

TEST_F(CoreTest, LogFormatsArgumentsWithWindowsSemantics)
{
    Attach(LOG_INFO);
    LogPrint(LOG_ERROR, nullptr, 0, nullptr, "Cannot load the Printer DLL [name = %S, err = %d].",
             TEXT("C:\\drv\\kvpsctvj.fpl"), 126);
    EXPECT_EQ(std::string(kFixedStamp) + "KVPS[ERROR]: Cannot load the Printer DLL [name = C:\\drv\\kvpsctvj.fpl, "
                                         "err = 126].\r\n",
              LogText());
}

TEST_F(CoreTest, LogTimeStampComesFromTheLocalClock)
{
    const SYSTEMTIME clock = {1999, 12, 5, 31, 23, 59, 58, 999};
    kvp::SystemSetLocalTime(&clock);
    Attach(LOG_INFO);
    LogPrint(LOG_ASSERT, nullptr, 0, nullptr, "x");
    EXPECT_EQ("1999/12/31 23:59:58 KVPS[ASSERT]: x\r\n", LogText());
}

TEST_F(CoreTest, LogWritesLevelsFromTheDebugLevelUp)
{
    struct Case {
        DWORD debugLevel;
        const char *expected;  // level names written, in order
    } cases[] = {
        {0, ""},
        {1, "INFO NOTICE WARN ERROR ASSERT "},
        {2, "NOTICE WARN ERROR ASSERT "},
        {3, "WARN ERROR ASSERT "},
        {5, "ASSERT "},
        {6, ""},
        {0xffffffff, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "DebugLevel " << c.debugLevel);
        ClearLog();
        Attach(c.debugLevel);
        for (int level = LOG_NONE; level <= LOG_ASSERT + 1; ++level) LogPrint(level, nullptr, 0, nullptr, "x");
        std::string written;
        for (const std::string &line : LogLines()) {
            size_t open = line.find("KVPS[");
            ASSERT_NE(std::string::npos, open) << line;
            written += line.substr(open + 5, line.find(']') - open - 5) + " ";
        }
        EXPECT_EQ(c.expected, written);
        Detach();
    }
}

TEST_F(CoreTest, DebugLevelOfAnotherTypeSwitchesTheLogOff)
{
    const BYTE one[] = {1, 0, 0, 0};
    const WCHAR text[] = TEXT("1");
    struct Case {
        const char *what;
        DWORD type;
        const void *data;
        DWORD size;
    } cases[] = {
        {"REG_SZ", REG_SZ, text, sizeof(text)},
        {"REG_BINARY", REG_BINARY, one, sizeof(one)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetDriverValue(TEXT("DebugLevel"), c.type, c.data, c.size);
        Attach(0);
        LogPrint(LOG_ASSERT, nullptr, 0, nullptr, "x");
        EXPECT_FALSE(fs::exists(LogPath()));
        Detach();
    }
}

TEST_F(CoreTest, LogLineIsCutToTheLimitWithItsLineEnd)
{
    // "2024/03/05 07:08:09 KVPS[INFO]: " is 32 characters.
    const size_t prefix = 32;
    struct Case {
        size_t textLength;  // time stamp to end of message, before CR LF
        bool newline;       // the message ends with a line feed
        size_t lineLength;  // written, CR LF included
    } cases[] = {
        {252, false, 254}, {253, false, 255}, {254, false, 255}, {400, false, 255},
        {253, true, 255},  {254, true, 255},  {252, true, 254},
    };
    Attach(LOG_INFO);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.textLength << (c.newline ? " + LF" : ""));
        std::string message;
        for (size_t i = 0; i < c.textLength - prefix; ++i) message += static_cast<char>('a' + i % 26);
        ClearLog();
        LogPrint(LOG_INFO, nullptr, 0, nullptr, (message + (c.newline ? "\n" : "")).c_str());
        std::string expected = (std::string(kFixedStamp) + "KVPS[INFO]: " + message).substr(0, c.lineLength - 2) + "\r\n";
        EXPECT_EQ(expected, LogText());
        EXPECT_EQ(c.lineLength, LogText().size());
    }
}

TEST_F(CoreTest, LongUnitAndFunctionAreCutWithTheLine)
{
    Attach(LOG_INFO);
    std::string unit(300, 'u');
    LogPrint(LOG_INFO, unit.c_str(), 1, "Fn", "message");
    std::string text = LogText();
    ASSERT_EQ(kLogLineMax, text.size());
    EXPECT_EQ(std::string(kFixedStamp) + "KVPS[INFO]: " + std::string(253 - 32, 'u') + "\r\n", text);
}

TEST_F(CoreTest, LogWithoutFormatWritesNothing)
{
    Attach(LOG_INFO);
    LogPrint(LOG_ASSERT, "memory", 1, "Fn", nullptr);
    EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(CoreTest, LogAppendsToWhatTheFileHolds)
{
    {
        std::ofstream out(LogPath(), std::ios::binary);
        out << "earlier\r\n";
    }
    Attach(LOG_INFO);
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "one\n");
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "two\n");
    EXPECT_EQ(std::string("earlier\r\n") + kFixedStamp + "KVPS[INFO]: one\r\n" + kFixedStamp + "KVPS[INFO]: two\r\n",
              LogText());
}

TEST_F(CoreTest, LogKeepsTheCallersLastError)
{
    Attach(LOG_INFO);
    SetLastError(0xdeadbeef);
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "x");
    EXPECT_EQ(0xdeadbeefu, GetLastError());
    EXPECT_FALSE(LogText().empty());
}

TEST_F(CoreTest, LogLineIsLostWhileTheFileIsOpenElsewhere)
{
    Attach(LOG_INFO);
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "first");
    std::u16string path = U16(LogPath().string());
    HANDLE other = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "lost");
    CloseHandle(other);
    LogPrint(LOG_INFO, nullptr, 0, nullptr, "third");
    EXPECT_EQ(std::string(kFixedStamp) + "KVPS[INFO]: first\r\n" + kFixedStamp + "KVPS[INFO]: third\r\n", LogText());
}

TEST_F(CoreTest, UnwritableTemporaryDirectoryDropsTheLine)
{
    Attach(LOG_INFO);
    struct Case {
        const char *what;
        std::string dir;
    } cases[] = {
        {"missing", tempDir_ + "/missing/deeper"},
        {"a file", (fs::path(tempDir_) / "plain").string()},
    };
    { std::ofstream(fs::path(tempDir_) / "plain") << "x"; }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        kvp::SystemSetTempDir(c.dir.c_str());
        SetLastError(0xdeadbeef);
        LogPrint(LOG_ASSERT, "memory", 1, "Fn", "x");
        EXPECT_EQ(0xdeadbeefu, GetLastError());
        EXPECT_FALSE(fs::exists(fs::path(c.dir) / (ExecutableName() + ".log")));
    }
}

TEST_F(CoreTest, TemporaryPathLongerThan259CharactersIsNotUsed)
{
    // A directory that exists, whose path with its trailing separator is 260
    // characters: GetTempPathW reports it whole, and the log leaves it alone.
    std::string dir = tempDir_;
    size_t need = 259 - dir.size();
    while (need > 150) {
        dir += "/" + std::string(99, 'd');
        need -= 100;
    }
    dir += "/" + std::string(need - 1, 'd');
    ASSERT_EQ(259u, dir.size());
    fs::create_directories(dir);
    kvp::SystemSetTempDir(dir.c_str());
    WCHAR probe[MAX_PATH + 2];
    ASSERT_EQ(260u, GetTempPathW(MAX_PATH + 2, probe));

    Attach(LOG_INFO);
    LogPrint(LOG_ASSERT, nullptr, 0, nullptr, "x");
    EXPECT_FALSE(fs::exists(fs::path(dir) / (ExecutableName() + ".log")));
}

TEST_F(CoreTest, NothingIsLoggedBeforeAttachOrAfterDetach)
{
    SetDriverDword(TEXT("DebugLevel"), LOG_INFO);
    LogPrint(LOG_ASSERT, nullptr, 0, nullptr, "before");
    Attach(0);
    Detach();
    LogPrint(LOG_ASSERT, nullptr, 0, nullptr, "after");
    EXPECT_FALSE(fs::exists(LogPath()));
}

// ---------------------------------------------------------------------------
// The source unit of KV_LOG

TEST(LogUnit, IsTheFileNameWithoutDirectoryAndExtension)
{
    static constexpr auto a = kvlog::UnitOf("/work/src/common/memory.cpp");
    static constexpr auto b = kvlog::UnitOf("C:\\build\\src\\common\\coremain.cpp");
    static constexpr auto c = kvlog::UnitOf("memory");
    static constexpr auto d = kvlog::UnitOf("dir.d/unit");
    static constexpr auto e = kvlog::UnitOf("x/kvps_rm32_dllentry.tar.cpp");
    static constexpr auto f = kvlog::UnitOf("dir/");
    EXPECT_STREQ("memory", a.text);
    EXPECT_STREQ("coremain", b.text);
    EXPECT_STREQ("memory", c.text);
    EXPECT_STREQ("unit", d.text);
    EXPECT_STREQ("kvps_rm32_dllentry.tar", e.text);
    EXPECT_STREQ("", f.text);
}

TEST_F(CoreTest, KvLogNamesUnitLineAndFunction)
{
    Attach(LOG_INFO);
    const int line = __LINE__ + 1;
    KV_LOG(LOG_NOTICE, "value %d\n", 42);
    EXPECT_EQ(std::string(kFixedStamp) + "KVPS[NOTICE]: coremain_test(" + std::to_string(line) + "): TestBody: value 42\r\n",
              LogText());
}

// ---------------------------------------------------------------------------
// The model library

TEST_F(CoreTest, AbsentLibraryIsLoggedOnEveryAttempt)
{
    g_libraryName = u"kvnolib1";
    Attach(LOG_ERROR);
    const std::string dir = Narrow(ModuleDirectory());
    DWORD output = 0x5a5a5a5a;
    EXPECT_FALSE(QueryModel(1, 0, nullptr, &output));
    EXPECT_FALSE(QueryModel(1, 0, nullptr, &output));
    EXPECT_FALSE(BindModelLibrary());
    EXPECT_EQ(nullptr, GetResourceModule());
    g_libraryName = u"kvnolib2";
    EXPECT_FALSE(QueryModel(1, 0, nullptr, &output));
    EXPECT_EQ(0x5a5a5a5au, output);

    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(5u, lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        std::string name = dir + (i < 4 ? "kvnolib1" : "kvnolib2") + ".fpl";
        EXPECT_NE(std::string::npos, lines[i].find("KVPS[ERROR]: coremain("));
        EXPECT_NE(std::string::npos,
                  lines[i].find(": Cannot load the Printer DLL [name = " + name + ", err = 126].\r\n"))
            << lines[i];
    }
}

TEST_F(CoreTest, ForeignLibraryFileIsLoggedAndRefused)
{
    fs::path foreign = fs::path(tempDir_) / "foreign.fpl";
    { std::ofstream(foreign, std::ios::binary) << "this is not a module\r\n"; }
    g_libraryName = NameFromModuleDirectory(fs::path(tempDir_) / "foreign");
    Attach(LOG_ERROR);
    EXPECT_FALSE(BindModelLibrary());
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("Cannot load the Printer DLL [name = " + Narrow(ModuleDirectory()) +
                                               Narrow(g_libraryName) + ".fpl, err = 193]."))
        << lines[0];
}

TEST_F(CoreTest, MissingStringTwoFailsBindingWithoutLog)
{
    Attach(LOG_INFO);
    EXPECT_FALSE(BindModelLibrary());
    DWORD output = 1;
    EXPECT_FALSE(QueryModel(0, 0, nullptr, &output));
    EXPECT_EQ(nullptr, GetResourceModule());
    WCHAR buffer[MAX_PATH];
    EXPECT_FALSE(BuildModelFilePath(buffer, MAX_PATH, TEXT(".hlp")));
    EXPECT_FALSE(fs::exists(LogPath()));
}

// A built module from this build tree, or skip.
#define REQUIRE_MODULE(file)                                                                 \
    do {                                                                                     \
        if (!fs::exists(fs::path(KV_MODULE_DIR) / (file)))                                   \
            GTEST_SKIP() << file << " is not built (build the modules to run this test)";    \
    } while (0)

TEST_F(CoreTest, LibraryWithoutEntryIsNotBound)
{
    REQUIRE_MODULE("kvpscosr.dll");
    // A real module, but one that exports no OupmFunction.
    fs::copy_file(fs::path(KV_MODULE_DIR) / "kvpscosr.dll", fs::path(tempDir_) / "noentry.fpl");
    g_libraryName = NameFromModuleDirectory(fs::path(tempDir_) / "noentry");
    Attach(LOG_INFO);
    EXPECT_FALSE(BindModelLibrary());
    EXPECT_FALSE(BindModelLibrary());
    DWORD output = 7;
    EXPECT_FALSE(QueryModel(0, 0, nullptr, &output));
    EXPECT_EQ(7u, output);
    EXPECT_EQ(nullptr, GetResourceModule());
    // Loading worked, so there is nothing to report.
    EXPECT_FALSE(fs::exists(LogPath()));
}

TEST_F(CoreTest, ModelLibraryIsBoundOnceAndKeptUntilDetach)
{
    REQUIRE_MODULE("kvpscosj.fpl");
    g_libraryName = NameFromModuleDirectory(fs::path(KV_MODULE_DIR) / "kvpscosj");
    Attach(LOG_INFO);
    HMODULE library = GetResourceModule();
    ASSERT_NE(nullptr, library);
    EXPECT_TRUE(BindModelLibrary());
    EXPECT_EQ(library, GetResourceModule());
    EXPECT_NE(nullptr, reinterpret_cast<void *>(GetProcAddress(library, "OupmFunction")));
    // Bound: string 2 is not read again.
    int calls = g_loaderCalls;
    EXPECT_TRUE(BindModelLibrary());
    EXPECT_EQ(calls, g_loaderCalls);

    DWORD output = 0x5a5a5a5a;
    EXPECT_FALSE(QueryModel(0xfffe, 0xfffffff0, nullptr, &output)) << "no library answers this one";
    EXPECT_EQ(0x5a5a5a5au, output);

    Detach();
    std::u16string path = U16((fs::path(KV_MODULE_DIR) / "kvpscosj.fpl").string());
    EXPECT_EQ(nullptr, GetModuleHandleW(reinterpret_cast<LPCWSTR>(path.c_str()))) << "still loaded after detach";
}

// The query protocol, on an entry that records what it is asked.
struct QueryCall {
    DWORD queryId;
    DWORD printerType;
    PVOID input;
    PVOID output;
    DWORD outputOnEntry;
};
std::vector<QueryCall> g_queryCalls;
DWORD g_supportedQuery;

void RecordingEntry(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    g_queryCalls.push_back({queryId, printerType, input, output, output ? *static_cast<DWORD *>(output) : 0xffffffff});
    if (queryId == 0 && reinterpret_cast<ULONG_PTR>(input) == g_supportedQuery) *static_cast<DWORD *>(output) = 1;
}

void SilentEntry(DWORD queryId, DWORD printerType, PVOID input, PVOID output)
{
    g_queryCalls.push_back({queryId, printerType, input, output, output ? *static_cast<DWORD *>(output) : 0xffffffff});
}

TEST(ModelQuery, AsksQueryZeroWithAZeroedAnswerFirst)
{
    g_queryCalls.clear();
    g_supportedQuery = 301;
    int in = 5;
    DWORD out = 0;
    EXPECT_TRUE(RunModelQuery(RecordingEntry, 301, 8091, &in, &out));
    ASSERT_EQ(2u, g_queryCalls.size());
    EXPECT_EQ(0u, g_queryCalls[0].queryId);
    EXPECT_EQ(8091u, g_queryCalls[0].printerType);
    EXPECT_EQ(301u, reinterpret_cast<ULONG_PTR>(g_queryCalls[0].input));
    EXPECT_NE(static_cast<PVOID>(&out), g_queryCalls[0].output);
    EXPECT_EQ(0u, g_queryCalls[0].outputOnEntry);
    EXPECT_EQ(301u, g_queryCalls[1].queryId);
    EXPECT_EQ(8091u, g_queryCalls[1].printerType);
    EXPECT_EQ(static_cast<PVOID>(&in), g_queryCalls[1].input);
    EXPECT_EQ(static_cast<PVOID>(&out), g_queryCalls[1].output);
}

TEST(ModelQuery, UnsupportedQueryStopsAfterQueryZero)
{
    struct Case {
        const char *what;
        OupmFunctionProc entry;
    } cases[] = {
        {"answers 0", RecordingEntry},
        {"leaves the answer alone", SilentEntry},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_queryCalls.clear();
        g_supportedQuery = 301;
        DWORD out = 0x5a5a5a5a;
        EXPECT_FALSE(RunModelQuery(c.entry, 303, 8091, nullptr, &out));
        EXPECT_EQ(1u, g_queryCalls.size());
        EXPECT_EQ(0x5a5a5a5au, out);
    }
    EXPECT_FALSE(RunModelQuery(nullptr, 301, 8091, nullptr, nullptr));
}

// ---------------------------------------------------------------------------
// BuildModelFilePath

TEST_F(CoreTest, BuildModelFilePathNeedsRoomForItsNul)
{
    g_libraryName = u"kvpscosj";
    Attach(0);
    const std::u16string expected = ModuleDirectory() + u"kvpscosj.hlp";
    const DWORD length = static_cast<DWORD>(expected.size());

    std::vector<WCHAR> buffer(length + 8, u'Z');
    EXPECT_FALSE(BuildModelFilePath(buffer.data(), length, TEXT(".hlp")));
    EXPECT_EQ(std::u16string(length + 8, u'Z'), std::u16string(buffer.begin(), buffer.end())) << "touched on failure";

    EXPECT_TRUE(BuildModelFilePath(buffer.data(), length + 1, TEXT(".hlp")));
    EXPECT_EQ(expected, std::u16string(buffer.data()));
    EXPECT_EQ(u'Z', buffer[length + 1]);

    EXPECT_TRUE(BuildModelFilePath(buffer.data(), length + 8, TEXT("")));
    EXPECT_EQ(ModuleDirectory() + u"kvpscosj", std::u16string(buffer.data()));
}

TEST_F(CoreTest, BuildModelFilePathRefusesMissingArguments)
{
    g_libraryName = u"kvpscosj";
    Attach(0);
    WCHAR buffer[MAX_PATH];
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(BuildModelFilePath(nullptr, MAX_PATH, TEXT(".hlp")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(BuildModelFilePath(buffer, MAX_PATH, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(BuildModelFilePath(buffer, 0, TEXT(".hlp")));
}

}  // namespace
