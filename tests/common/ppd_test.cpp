// PPD product name, mapped files, keyword prefixes and the version text.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "coremain.h"
#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvtest_printers.h"
#include "ppd.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Printable(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// A copy of BYTES in a block of exactly their size, so that AddressSanitizer
// reports any read past the end.
struct ExactBuffer {
    explicit ExactBuffer(const std::string &bytes) : size(bytes.size()), data(new char[bytes.size() ? bytes.size() : 1])
    {
        if (size) memcpy(data.get(), bytes.data(), size);
    }
    MappedFile AsMappedFile() const { return MappedFile{INVALID_HANDLE_VALUE, nullptr, static_cast<DWORD>(size), data.get()}; }
    size_t size;
    std::unique_ptr<char[]> data;
};

class PpdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ModuleAttach(nullptr));
        dir_ = fs::temp_directory_path() / ("kv_ppd_test_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        printers_.CloseAll();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        ModuleDetach();
    }

    std::string WriteFile(const std::string &name, const std::string &bytes)
    {
        std::string path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // A printer of its own driver whose data file is DATA_FILE.
    HANDLE InstallPrinter(const std::string &dataFile)
    {
        std::string name = "Vastrelo " + std::to_string(printers_.Count());
        kvp::PrinterSpec spec;
        spec.name = name;
        spec.driverName = "KV PS driver " + std::to_string(printers_.Count());
        spec.dataFile = dataFile;
        EXPECT_TRUE(kvp::AddPrinter(spec)) << dataFile;
        return printers_.Open(name, nullptr);
    }

    fs::path dir_;
    kvtest::TestPrinters printers_;
};

const std::string kFixtures = KV_TEST_DATA_DIR "/ppd/";

TEST_F(PpdTest, GetPpdFileNameGivesTheDriverDataFile)
{
    HANDLE printer = InstallPrinter("C:\\drivers\\KV1140.PPD");
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetPpdFileName(printer, path, MAX_PATH));
    EXPECT_EQ(u"C:\\drivers\\KV1140.PPD", std::u16string(path));

    // 21 characters do not fit 21 with the terminator.
    path[0] = 'x';
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPpdFileName(printer, path, 21));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('x', path[0]);
    EXPECT_TRUE(GetPpdFileName(printer, path, 22));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPpdFileName(nullptr, path, MAX_PATH));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(GetPpdFileName(printer, nullptr, MAX_PATH));
}

TEST_F(PpdTest, MapFileViewMapsTheWholeFile)
{
    std::string bytes = "*PPD-Adobe: \"4.3\"\n*Product: \"(Vastrelo 1180 PS)\"\n";
    std::u16string path = Wide(WriteFile("whole.ppd", bytes));
    MappedFile file;
    ASSERT_TRUE(MapFileView(reinterpret_cast<LPCWSTR>(path.c_str()), &file, FALSE));
    EXPECT_NE(INVALID_HANDLE_VALUE, file.file);
    EXPECT_NE(nullptr, file.mapping);
    ASSERT_EQ(bytes.size(), file.size);
    EXPECT_EQ(bytes, std::string(static_cast<const char *>(file.view), file.size));
    UnmapFileView(&file);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.file);
    EXPECT_EQ(nullptr, file.mapping);
    EXPECT_EQ(0u, file.size);
    EXPECT_EQ(nullptr, file.view);
    // A second unmap finds nothing to release.
    UnmapFileView(&file);
}

TEST_F(PpdTest, MapFileViewCopyOnWriteLeavesTheFileAlone)
{
    std::string written = WriteFile("cow.ppd", "abcdef");
    std::u16string path = Wide(written);
    MappedFile file;
    ASSERT_TRUE(MapFileView(reinterpret_cast<LPCWSTR>(path.c_str()), &file, TRUE));
    ASSERT_EQ(6u, file.size);
    static_cast<char *>(file.view)[0] = 'X';
    EXPECT_EQ('X', static_cast<const char *>(file.view)[0]);
    UnmapFileView(&file);
    std::ifstream in(written, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("abcdef", content);
}

TEST_F(PpdTest, MapFileViewFailures)
{
    MappedFile file{nullptr, reinterpret_cast<HANDLE>(1), 5, reinterpret_cast<LPVOID>(2)};
    std::u16string missing = Wide((dir_ / "missing.ppd").string());
    EXPECT_FALSE(MapFileView(reinterpret_cast<LPCWSTR>(missing.c_str()), &file, FALSE));
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.file);
    EXPECT_EQ(nullptr, file.mapping);
    EXPECT_EQ(0u, file.size);
    EXPECT_EQ(nullptr, file.view);

    // An empty file has nothing to map.
    std::u16string empty = Wide(WriteFile("empty.ppd", ""));
    EXPECT_FALSE(MapFileView(reinterpret_cast<LPCWSTR>(empty.c_str()), &file, FALSE));
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.file);
    EXPECT_EQ(nullptr, file.view);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MapFileView(nullptr, &file, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(MapFileView(reinterpret_cast<LPCWSTR>(empty.c_str()), nullptr, FALSE));
}

TEST(FindBytes, PatternWhollyInsideTheSize)
{
    struct Case {
        std::string memory;
        const char *pattern;
        long expected;  // offset, -1 for none
    } cases[] = {
        {"*Product: x", "*Product", 0},
        {"ab*Product", "*Product", 2},
        // Cut by the size: the tail is not a match.
        {"ab*Produc", "*Product", -1},
        {"*Produc*Product", "*Product", 7},
        {"aaab", "aab", 1},
        {"short", "longer pattern", -1},
        {"abc", "", -1},
        {"", "a", -1},
        {std::string("\0\0*P\0", 5), "*P", 2},
    };
    for (const Case &c : cases) {
        ExactBuffer buffer(c.memory);
        const BYTE *found = FindBytes(buffer.data.get(), c.pattern, static_cast<DWORD>(buffer.size));
        long offset = found ? static_cast<long>(found - reinterpret_cast<const BYTE *>(buffer.data.get())) : -1;
        EXPECT_EQ(c.expected, offset) << "\"" << c.pattern << "\" in \"" << Printable(c.memory) << "\"";
    }
    EXPECT_EQ(nullptr, FindBytes(nullptr, "a", 4));
    EXPECT_EQ(nullptr, FindBytes("abc", nullptr, 3));
}

// The product line as it may be found, and damaged, in a PPD. Each text is
// the whole file.
TEST(ReadProductName, ProductLineVariants)
{
    struct Case {
        std::string file;
        BOOL ok;
        const char *name;
    } cases[] = {
        {"*PPD-Adobe: \"4.3\"\n*Product: \"(Vastrelo 1140 PS)\"\n", TRUE, "Vastrelo 1140 PS"},
        {"*PPD-Adobe: \"4.3\"\r\n*Product: \"(Vastrelo 1180 PS)\"\r\n", TRUE, "Vastrelo 1180 PS"},
        {"\n*Product:\"(A)\"", TRUE, "A"},
        // The file may end right after the parenthesis.
        {"\n*Product: \"(A)", TRUE, "A"},
        {"\n*Product: \"()\"", TRUE, ""},
        // The first product line counts.
        {"\n*Product: \"(A)\"\n*Product: \"(B)\"\n", TRUE, "A"},
        // Only after a line feed: never on the first line.
        {"*Product: \"(Vastrelo 1140 PS)\"\n*ModelName: \"x\"\n", FALSE, nullptr},
        // The value must be on the keyword's line.
        {"\n*Product:\n\"(A)\"\n", FALSE, nullptr},
        {"\n*Product: (A)\n\"(B)\"\n", FALSE, nullptr},
        // Without parentheses, or not closed on the line.
        {"\n*Product: \"Vastrelo 1140 PS\"\n", FALSE, nullptr},
        {"\n*Product: \"x(A)\"\n", FALSE, nullptr},
        {"\n*Product: \"(A\nB)\"\n", FALSE, nullptr},
        {"\n*Product: \"(A\r\nB)\"\n", FALSE, nullptr},
        // A name with a NUL in it would be read cut short.
        {std::string("\n*Product: \"(Vastrelo 1\0 PS)\"\n", 30), FALSE, nullptr},
        // Files that end inside the line.
        {"\n*Product: \"(Vastrelo", FALSE, nullptr},
        {"\n*Product: \"(", FALSE, nullptr},
        {"\n*Product: \"", FALSE, nullptr},
        {"\n*Product: ", FALSE, nullptr},
        {"\n*Product:", FALSE, nullptr},
        {"\n*Product", FALSE, nullptr},
        {"\n*Produc", FALSE, nullptr},
        {"", FALSE, nullptr},
        // Binary data.
        {std::string("\x00\xff\xfe\n*Product\x00\x01\x02", 13), FALSE, nullptr},
        {std::string(300, '\0'), FALSE, nullptr},
        {std::string(300, '"'), FALSE, nullptr},
    };
    for (const Case &c : cases) {
        ExactBuffer buffer(c.file);
        MappedFile file = buffer.AsMappedFile();
        char name[PPD_PRODUCT_CAPACITY];
        strcpy(name, "untouched");
        DWORD capacity = PPD_PRODUCT_CAPACITY;
        EXPECT_EQ(c.ok, ReadProductName(&file, name, &capacity)) << "\"" << Printable(c.file) << "\"";
        if (c.ok) {
            EXPECT_STREQ(c.name, name) << "\"" << Printable(c.file) << "\"";
            EXPECT_EQ(strlen(c.name), capacity) << "\"" << Printable(c.file) << "\"";
        } else {
            EXPECT_STREQ("untouched", name) << "\"" << Printable(c.file) << "\"";
        }
    }
}

TEST(FindQuotedValue, PointsJustAfterTheQuote)
{
    const std::string content = "*PPD-Adobe: \"4.3\"\n*NickName: \"Korvane\"\n";
    ExactBuffer buffer(content);
    MappedFile file = buffer.AsMappedFile();
    const CHAR *value = FindQuotedValue(&file, "\n*NickName");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(static_cast<long>(content.find("Korvane\"")), value - buffer.data.get());
    EXPECT_EQ(nullptr, FindQuotedValue(&file, "\n*ModelName"));

    // The quote may be the last byte: the result is then the end of the view.
    ExactBuffer last("x\n*Product: \"");
    file = last.AsMappedFile();
    EXPECT_EQ(last.data.get() + last.size, FindQuotedValue(&file, "\n*Product"));
    EXPECT_EQ(nullptr, FindQuotedValue(nullptr, "\n*Product"));
    EXPECT_EQ(nullptr, FindQuotedValue(&file, nullptr));
}

TEST_F(PpdTest, ReadPpdProductFromFixture)
{
    HANDLE printer = InstallPrinter(kFixtures + "product.ppd");
    char name[PPD_PRODUCT_CAPACITY] = {};
    DWORD capacity = PPD_PRODUCT_CAPACITY;
    ASSERT_TRUE(ReadPpdProduct(printer, name, &capacity));
    EXPECT_STREQ("Vastrelo 1140 PS", name);
    EXPECT_EQ(16u, capacity);
}

TEST_F(PpdTest, ReadPpdProductCapacityOfTheSixteenCharacterName)
{
    HANDLE printer = InstallPrinter(kFixtures + "product.ppd");
    char name[32];
    strcpy(name, "untouched");
    DWORD capacity = 17;
    ASSERT_TRUE(ReadPpdProduct(printer, name, &capacity));
    EXPECT_STREQ("Vastrelo 1140 PS", name);
    EXPECT_EQ(16u, capacity);

    // No room for the terminator: refused, and told what it takes.
    strcpy(name, "untouched");
    capacity = 16;
    EXPECT_FALSE(ReadPpdProduct(printer, name, &capacity));
    EXPECT_EQ(16u, capacity);
    EXPECT_STREQ("untouched", name);
}

TEST_F(PpdTest, ReadPpdProductRefusesDamagedFixtures)
{
    const char *fixtures[] = {"product-first-line.ppd", "product-no-parens.ppd", "product-unclosed.ppd",
                              "product-value-next-line.ppd"};
    for (const char *fixture : fixtures) {
        HANDLE printer = InstallPrinter(kFixtures + fixture);
        char name[PPD_PRODUCT_CAPACITY];
        strcpy(name, "untouched");
        DWORD capacity = PPD_PRODUCT_CAPACITY;
        EXPECT_FALSE(ReadPpdProduct(printer, name, &capacity)) << fixture;
        EXPECT_EQ(PPD_PRODUCT_CAPACITY, capacity) << fixture;
        EXPECT_STREQ("untouched", name) << fixture;
    }
}

// Files that are not PPDs at all, read through the printer as the plug-ins do.
TEST_F(PpdTest, ReadPpdProductOfFilesThatAreNotPpds)
{
    std::string huge(8 << 20, 'x');
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
    struct Case {
        const char *fileName;
        std::string bytes;
        BOOL ok;
        const char *name;
    } cases[] = {
        {"empty.ppd", "", FALSE, nullptr},
        {"binary.ppd", binary, FALSE, nullptr},
        {"binary-product.ppd", binary + "\n*Product: \"(" + binary, FALSE, nullptr},
        {"no-line-feed.ppd", "*PPD-Adobe: \"4.3\"  *Product: \"(Vastrelo 1140 PS)\"  *ModelName: \"x\"", FALSE,
         nullptr},
        {"unterminated.ppd", "*PPD-Adobe: \"4.3\"\n*Product: \"(Vastrelo 1140 PS", FALSE, nullptr},
        {"open-quote.ppd", "*PPD-Adobe: \"4.3\"\n*Product: ", FALSE, nullptr},
        {"huge-no-line-feed.ppd", huge, FALSE, nullptr},
        {"huge.ppd", huge + "\n*Product: \"(Vastrelo 1165 PS)\"\n", TRUE, "Vastrelo 1165 PS"},
    };
    for (const Case &c : cases) {
        HANDLE printer = InstallPrinter(WriteFile(c.fileName, c.bytes));
        char name[PPD_PRODUCT_CAPACITY];
        strcpy(name, "untouched");
        DWORD capacity = PPD_PRODUCT_CAPACITY;
        EXPECT_EQ(c.ok, ReadPpdProduct(printer, name, &capacity)) << c.fileName;
        EXPECT_STREQ(c.ok ? c.name : "untouched", name) << c.fileName;
    }
}

TEST_F(PpdTest, ReadPpdProductWithoutPrinterOrFile)
{
    char name[PPD_PRODUCT_CAPACITY];
    DWORD capacity = PPD_PRODUCT_CAPACITY;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadPpdProduct(nullptr, name, &capacity));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    HANDLE printer = InstallPrinter((dir_ / "missing.ppd").string());
    EXPECT_FALSE(ReadPpdProduct(printer, nullptr, &capacity));
    EXPECT_FALSE(ReadPpdProduct(printer, name, nullptr));
    EXPECT_FALSE(ReadPpdProduct(printer, name, &capacity));
    EXPECT_EQ(PPD_PRODUCT_CAPACITY, capacity);
}

// Every PPD of the driver package names its model the way the model
// library looks it up: "Vastrelo <number> PS", the number from KV<number>.PPD.
TEST_F(PpdTest, EveryShippedPpdHasItsProductName)
{
    std::map<std::string, std::string> found;
    for (const fs::directory_entry &entry : fs::directory_iterator(KV_SOURCE_DIR "/packaging")) {
        std::string fileName = entry.path().filename().string();
        if (entry.path().extension() != ".PPD") continue;
        HANDLE printer = InstallPrinter(entry.path().string());
        char name[PPD_PRODUCT_CAPACITY] = {};
        DWORD capacity = PPD_PRODUCT_CAPACITY;
        EXPECT_TRUE(ReadPpdProduct(printer, name, &capacity)) << fileName;
        found[fileName] = name;
    }
    std::map<std::string, std::string> expected = {
        {"KV1140.PPD", "Vastrelo 1140 PS"}, {"KV1157.PPD", "Vastrelo 1157 PS"}, {"KV1162.PPD", "Vastrelo 1162 PS"},
        {"KV1165.PPD", "Vastrelo 1165 PS"}, {"KV1180.PPD", "Vastrelo 1180 PS"},
    };
    EXPECT_EQ(expected, found);
}

TEST_F(PpdTest, GetKeywordPrefixFromTheDataFileName)
{
    struct Case {
        const char *dataFile;
        char prefix[2];
        BOOL ok;
    } cases[] = {
        {"C:\\drivers\\ab1234.ppd", {'A', 'B'}, TRUE},
        {"/opt/driver/KV1140.PPD", {'K', 'V'}, TRUE},
        {"C:\\drivers/mixed\\Xy9.PPD", {'X', 'Y'}, TRUE},
        {"c:9z", {'9', 'Z'}, TRUE},
        // A dot in a directory is not the extension's.
        {"C:\\v1.2\\mnop", {'M', 'N'}, TRUE},
        {"C:\\drivers\\a.ppd", {'A', '\0'}, TRUE},
        {"C:\\drivers\\.ppd", {'\0', '\0'}, FALSE},
    };
    for (const Case &c : cases) {
        HANDLE printer = InstallPrinter(c.dataFile);
        CHAR prefix[2] = {'?', '?'};
        EXPECT_EQ(c.ok, GetKeywordPrefix(prefix, printer)) << c.dataFile;
        EXPECT_EQ(c.prefix[0], prefix[0]) << c.dataFile;
        EXPECT_EQ(c.prefix[1], prefix[1]) << c.dataFile;
    }
    CHAR prefix[2] = {'?', '?'};
    EXPECT_FALSE(GetKeywordPrefix(prefix, nullptr));
    EXPECT_EQ('\0', prefix[0]);
    EXPECT_EQ('\0', prefix[1]);
}

TEST(IsNotSystemKeyword, OnlyKeywordsBeginningWithKV)
{
    struct Case {
        const char *keyword;
        BOOL expected;
    } cases[] = {
        {"KVPaperSeries", FALSE}, {"KV", FALSE}, {"PageSize", TRUE}, {"kvPaperSeries", TRUE},
        {"ABPaperSeries", TRUE},  {"K", TRUE},   {"", TRUE},
    };
    for (const Case &c : cases) EXPECT_EQ(c.expected, IsNotSystemKeyword(c.keyword)) << c.keyword;
}

TEST(KeywordPrefix, PrefixABBothWays)
{
    const CHAR ab[2] = {'A', 'B'};
    struct Case {
        const char *system;
        const char *ppd;
        BOOL translated;
    } cases[] = {
        {"KVPaperSeries", "ABPaperSeries", TRUE},
        {"KV", "AB", TRUE},
        {"PageSize", "PageSize", FALSE},
        {"kvFold", "kvFold", FALSE},
        {"K", "K", FALSE},
        {"", "", FALSE},
    };
    for (const Case &c : cases) {
        char ppd[32];
        ASSERT_TRUE(ToPpdKeyword(ab, c.system, ppd, sizeof(ppd))) << c.system;
        EXPECT_STREQ(c.ppd, ppd) << c.system;
        char back[32];
        strcpy(back, ppd);
        EXPECT_EQ(c.translated, ToSystemKeyword(ab, back)) << c.system;
        EXPECT_STREQ(c.system, back) << c.system;
    }
    // Another PPD's keyword stays as it is; the comparison is exact.
    char other[] = "abPaperSeries";
    EXPECT_FALSE(ToSystemKeyword(ab, other));
    EXPECT_STREQ("abPaperSeries", other);
}

TEST(KeywordPrefix, UnknownPrefixTranslatesNothing)
{
    const CHAR none[2] = {'\0', '\0'};
    const CHAR oneLetter[2] = {'A', '\0'};
    for (const CHAR *prefix : {none, oneLetter}) {
        char out[32];
        ASSERT_TRUE(ToPpdKeyword(prefix, "KVFold", out, sizeof(out)));
        EXPECT_STREQ("KVFold", out);
        char keyword[] = "A";
        EXPECT_FALSE(ToSystemKeyword(prefix, keyword));
        EXPECT_STREQ("A", keyword);
    }
}

TEST(KeywordPrefix, ToPpdKeywordOutputCapacity)
{
    const CHAR ab[2] = {'A', 'B'};
    char out[8];
    memset(out, 0x5A, sizeof(out));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ToPpdKeyword(ab, "KVFold", out, 6));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0x5A, out[0]);
    EXPECT_TRUE(ToPpdKeyword(ab, "KVFold", out, 7));
    EXPECT_STREQ("ABFold", out);
    EXPECT_FALSE(ToPpdKeyword(ab, nullptr, out, 7));
    EXPECT_FALSE(ToPpdKeyword(ab, "KVFold", nullptr, 7));
    EXPECT_FALSE(ToPpdKeyword(nullptr, "KVFold", out, 7));
}

TEST(KeywordPrefix, ListsBothWays)
{
    const CHAR ab[2] = {'A', 'B'};
    const std::string system("KVFold\0PageSize\0KVBinding\0\0", 27);
    const std::string ppd("ABFold\0PageSize\0ABBinding\0\0", 27);
    ExactBuffer list(system);
    char out[64];
    memset(out, 0x5A, sizeof(out));
    ASSERT_TRUE(ToPpdKeywordList(ab, list.data.get(), static_cast<DWORD>(list.size), out, 27));
    EXPECT_EQ(Printable(ppd), Printable(std::string(out, 27)));
    EXPECT_EQ(0x5A, out[27]);
    // One byte short of the closing NUL.
    EXPECT_FALSE(ToPpdKeywordList(ab, list.data.get(), static_cast<DWORD>(list.size), out, 26));

    ExactBuffer back(std::string(out, 27));
    ASSERT_TRUE(ToSystemKeywordList(ab, back.data.get(), static_cast<DWORD>(back.size)));
    EXPECT_EQ(Printable(system), Printable(std::string(back.data.get(), back.size)));

    // The empty list.
    ASSERT_TRUE(ToPpdKeywordList(ab, "\0", 2, out, sizeof(out)));
    EXPECT_EQ('\0', out[0]);
}

// A list that is not closed within its size is read no further.
TEST(KeywordPrefix, ListsStayInsideTheirSize)
{
    const CHAR ab[2] = {'A', 'B'};
    ExactBuffer open(std::string("KVFold\0KVBin", 12));
    char out[64];
    ASSERT_TRUE(ToPpdKeywordList(ab, open.data.get(), static_cast<DWORD>(open.size), out, sizeof(out)));
    EXPECT_EQ(Printable(std::string("ABFold\0ABBin\0\0", 14)), Printable(std::string(out, 14)));

    ExactBuffer inPlace(std::string("ABFold\0ABBin", 12));
    ASSERT_TRUE(ToSystemKeywordList(ab, inPlace.data.get(), static_cast<DWORD>(inPlace.size)));
    EXPECT_EQ(Printable(std::string("KVFold\0KVBin", 12)), Printable(std::string(inPlace.data.get(), inPlace.size)));

    ExactBuffer single(std::string("A", 1));
    ASSERT_TRUE(ToSystemKeywordList(ab, single.data.get(), 1));
    EXPECT_EQ('A', single.data[0]);
}

// A version resource as windres writes it: the root block holding only the
// fixed file information.
std::string VersionBlock(DWORD productMS, DWORD productLS)
{
    std::string block(92, '\0');
    auto put16 = [&](size_t at, WORD v) { memcpy(&block[at], &v, 2); };
    auto put32 = [&](size_t at, DWORD v) { memcpy(&block[at], &v, 4); };
    put16(0, 92);  // wLength
    put16(2, 52);  // wValueLength
    put16(4, 0);   // wType: binary
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof(key); ++i) put16(6 + 2 * i, static_cast<WORD>(key[i]));
    // Value at 40, aligned to 32 bits.
    put32(40, 0xFEEF04BD);
    put32(44, 0x00010000);
    put32(48, 0x00030000);  // file version 3.0.0.0: not shown
    put32(52, 0);
    put32(56, productMS);
    put32(60, productLS);
    return block;
}

TEST_F(PpdTest, FormatVersionFromBlockShowsProductVersion)
{
    std::string block = VersionBlock(0x00010000, 0x00020005);  // 1.0.2.5
    WCHAR text[64];
    ASSERT_TRUE(FormatVersionFromBlock(block.data(), static_cast<DWORD>(block.size()), text, 64));
    EXPECT_EQ(u"Version 1.2.5", std::u16string(text));

    block = VersionBlock(0x000A0007, 0x01000063);  // 10.7.256.99
    ASSERT_TRUE(FormatVersionFromBlock(block.data(), static_cast<DWORD>(block.size()), text, 64));
    EXPECT_EQ(u"Version 10.256.99", std::u16string(text));

    // Not a version resource.
    block[40] = 0;
    EXPECT_FALSE(FormatVersionFromBlock(block.data(), static_cast<DWORD>(block.size()), text, 64));
    EXPECT_FALSE(FormatVersionFromBlock(block.data(), 0, text, 64));
    EXPECT_FALSE(FormatVersionFromBlock(nullptr, 92, text, 64));
}

TEST_F(PpdTest, FormatVersionTextWithoutVersionResource)
{
    // The test program carries no resources.
    WCHAR text[64] = {'x', 0};
    EXPECT_FALSE(FormatVersionText(text, 64));
    EXPECT_EQ('x', text[0]);
    EXPECT_FALSE(FormatVersionText(nullptr, 64));
}

}  // namespace
