// The private DEVMODE record as this line stores it: the fresh image, the
// tables, the accessors, size/defaults/convert/merge and the search inside
// a DEVMODEW, with records that lie about their sizes.
//
// Buffers that stand for what a document or the host really holds are
// allocated to their exact size, so that AddressSanitizer catches any read
// or write past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "coremain.h"
#include "devmode.h"
#include "kvp/system.h"
#include "kvsys.h"
#include "kvtest_module.h"

namespace {

using Id = DevmodeFieldId;
using Kind = DevmodeFieldType;
using Bytes = std::vector<BYTE>;

constexpr size_t kHeader = 12;

Bytes ImageOf(const PrivateDevmode &record)
{
    const auto *p = reinterpret_cast<const BYTE *>(&record);
    return Bytes(p, p + sizeof(record));
}

void PutWord(Bytes &bytes, size_t at, WORD value)
{
    bytes[at] = static_cast<BYTE>(value);
    bytes[at + 1] = static_cast<BYTE>(value >> 8);
}

void PutDword(Bytes &bytes, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<BYTE>(value >> (8 * i));
}

Bytes Slice(const Bytes &bytes, size_t from, size_t to) { return Bytes(bytes.begin() + from, bytes.begin() + to); }

DWORD FlagsWord(const PrivateDevmode &record)
{
    DWORD flags;
    memcpy(&flags, record.data + 20, sizeof(flags));
    return flags;
}

// The stored bytes of a fresh record of this line, written out.
Bytes FreshImage()
{
#if KV_LINE_A
    Bytes image = {0x3C, 0x01, 0x00, 0x00, 'D', 'K', 'B', 'K', '0', '0', '2', '0'};
    image.resize(316, 0);
#else
    Bytes image = {0x4C, 0x00, 0x00, 0x00, 'D', 'K', 'B', 'K', '0', '0', '1', '0'};
    image.resize(76, 0);
#endif
    const WORD settings[] = {1, 1, 1, 1, 1, 1, 2, 21, 2, 14};
    for (size_t i = 0; i < 10; ++i) PutWord(image, kHeader + 24 + 2 * i, settings[i]);
#if KV_LINE_A
    PutWord(image, kHeader + 44, 2);
#endif
    return image;
}

// A line B record as a line B driver stores it, 76 bytes, with every
// setting distinct so that a misplaced copy shows.
Bytes LineBRecord()
{
    Bytes record(76, 0);
    PutDword(record, 0, 76);
    PutDword(record, 4, 0x4B424B44);
    PutDword(record, 8, 0x30313030);
    PutWord(record, kHeader + 0, 7);                                       // PrinterType
    for (int i = 0; i < 16; ++i) record[kHeader + 4 + i] = 0xA0 + i;      // PrinterId
    PutDword(record, kHeader + 20, 0x5);                                   // flags
    for (int i = 0; i < 10; ++i) PutWord(record, kHeader + 24 + 2 * i, 2 + i);  // settings
    for (int i = 44; i < 64; ++i) record[kHeader + i] = 0xEE;              // reserved, dirty
    return record;
}

// The buffer of exactly n bytes that a document or the host hands over.
struct ExactBuffer {
    explicit ExactBuffer(size_t n) : bytes(new BYTE[n]), size(n) { memset(bytes.get(), 0, n); }
    ExactBuffer(const Bytes &from, size_t n) : ExactBuffer(n)
    {
        if (!from.empty()) memcpy(bytes.get(), from.data(), std::min(n, from.size()));
    }
    PrivateDevmode *record() { return reinterpret_cast<PrivateDevmode *>(bytes.get()); }
    Bytes image() const { return Bytes(bytes.get(), bytes.get() + size); }
    std::unique_ptr<BYTE[]> bytes;
    size_t size;
};

// The test program attached as the module: ConvertDevmode's scratch blocks
// come from the private heap.
class DevmodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr)));
        ASSERT_TRUE(SetDevmodeDefaults(&record_));
    }
    void TearDown() override { ModuleDetach(); }

    PrivateDevmode record_;
};

TEST_F(DevmodeTest, FreshRecordIsTheStoredImage)
{
    EXPECT_EQ(FreshImage(), ImageOf(record_));

    PrivateDevmode dirty;
    memset(&dirty, 0x5A, sizeof(dirty));
    ASSERT_TRUE(SetDevmodeDefaults(&dirty));
    EXPECT_EQ(FreshImage(), ImageOf(dirty));

    Bytes defaults(DevmodeDefaultImage, DevmodeDefaultImage + sizeof(DevmodeDefaultImage));
    EXPECT_EQ(Slice(FreshImage(), kHeader, FreshImage().size()), defaults);
}

TEST_F(DevmodeTest, InitDevmodeHeaderWritesOnlyTheHeader)
{
    PrivateDevmode record;
    memset(&record, 0x5A, sizeof(record));
    ASSERT_TRUE(InitDevmodeHeader(&record));
    Bytes image = ImageOf(record);
    EXPECT_EQ(Slice(FreshImage(), 0, kHeader), Slice(image, 0, kHeader));
    EXPECT_EQ(Bytes(image.size() - kHeader, 0x5A), Bytes(image.begin() + kHeader, image.end()));
}

TEST_F(DevmodeTest, PrivateDevmodeSizeIsThisLinesRecord)
{
    DWORD size = 0;
    ASSERT_TRUE(PrivateDevmodeSize(&size));
#if KV_LINE_A
    EXPECT_EQ(316u, size);
#else
    EXPECT_EQ(76u, size);
#endif
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PrivateDevmodeSize(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// The tables are the stored format: every row written out.
TEST_F(DevmodeTest, TablesDescribeTheStoredLayout)
{
    struct Row {
        DWORD id, kind, offset, size;
    };
#if KV_LINE_A
    const Row fields[] = {{1, 3, 0, 2},   {2, 1, 4, 16},  {3, 2, 20, 4},  {4, 3, 24, 2},  {5, 2, 20, 4},
                          {6, 3, 44, 2},  {7, 5, 46, 25}, {8, 3, 26, 2},  {9, 3, 28, 2},  {10, 3, 30, 2},
                          {11, 3, 32, 2}, {12, 3, 34, 2}, {13, 3, 36, 2}, {14, 2, 20, 4}, {15, 2, 20, 4},
                          {16, 3, 38, 2}, {17, 3, 40, 2}, {18, 3, 42, 2}, {19, 3, 176, 2}};
    const Row flags[] = {{3, 0, 0, 0x1}, {14, 0, 0, 0x2}, {15, 0, 0, 0x4}, {5, 0, 0, 0x8}};
#else
    const Row fields[] = {{1, 3, 0, 2},   {2, 1, 4, 16},  {3, 2, 20, 4},  {4, 3, 24, 2},  {5, 3, 26, 2},
                          {6, 3, 28, 2},  {7, 3, 30, 2},  {8, 3, 32, 2},  {9, 3, 34, 2},  {10, 3, 36, 2},
                          {11, 2, 20, 4}, {12, 2, 20, 4}, {13, 3, 38, 2}, {14, 3, 40, 2}, {15, 3, 42, 2}};
    const Row flags[] = {{3, 0, 0, 0x1}, {11, 0, 0, 0x2}, {12, 0, 0, 0x4}};
#endif
    size_t i = 0;
    for (const Row &row : fields) {
        const DevmodeField &got = DevmodeFieldTable[i++];
        EXPECT_EQ(row.id, static_cast<DWORD>(got.id)) << "row " << i;
        EXPECT_EQ(row.kind, static_cast<DWORD>(got.kind)) << "id " << row.id;
        EXPECT_EQ(row.offset, got.offset) << "id " << row.id;
        EXPECT_EQ(row.size, got.size) << "id " << row.id;
    }
    EXPECT_EQ(0u, static_cast<DWORD>(DevmodeFieldTable[i].id)) << "closing row";
    i = 0;
    for (const Row &row : flags) {
        const DevmodeFlag &got = DevmodeFlagTable[i++];
        EXPECT_EQ(row.id, static_cast<DWORD>(got.id)) << "flag row " << i;
        EXPECT_EQ(row.size, got.mask) << "id " << row.id;
    }
    EXPECT_EQ(0u, static_cast<DWORD>(DevmodeFlagTable[i].id)) << "closing flag row";
}

TEST_F(DevmodeTest, DefaultsComeFromTheImage)
{
    const struct {
        Id id;
        SHORT value;
    } cases[] = {
        {Id::FoldAdjustment, 2}, {Id::FoldProgram, 21},   {Id::FoldOutputBin, 14},   {Id::ProgramMargins, 2},
        {Id::FoldMode, 1},       {Id::PrinterType, 0},    {Id::CustomSizePaperSeries, 1},
#if KV_LINE_A
        {Id::DocumentNameMode, 2}, {Id::AdvancedFeaturesOff, 0}, {static_cast<Id>(13), 2}, {static_cast<Id>(16), 21},
#endif
        {static_cast<Id>(99), 0},
    };
    for (const auto &c : cases) EXPECT_EQ(c.value, GetDefaultShort(c.id)) << "id " << static_cast<DWORD>(c.id);
    for (DWORD id : {0u, 3u, 5u, 14u, 15u, 99u}) EXPECT_EQ(0u, GetDefaultFlag(static_cast<Id>(id))) << "id " << id;
}

TEST_F(DevmodeTest, ShortsAreStoredLittleEndianAtTheirOffsets)
{
    ASSERT_TRUE(SetDevmodeShort(Id::FoldMode, &record_, 5));
    ASSERT_TRUE(SetDevmodeShort(Id::FoldOutputBin, &record_, -2));
    EXPECT_EQ(5, GetDevmodeShort(Id::FoldMode, &record_));
    EXPECT_EQ(-2, GetDevmodeShort(Id::FoldOutputBin, &record_));

    Bytes expected = FreshImage();
    PutWord(expected, kHeader + 26, 5);
    PutWord(expected, kHeader + 42, 0xFFFE);
    EXPECT_EQ(expected, ImageOf(record_));
}

TEST_F(DevmodeTest, NumberKindIsHandledLikeShort)
{
    SHORT value = 9;
    ASSERT_TRUE(SetDevmodeField(Id::StackerMode, &record_, Kind::Number, sizeof(value), &value));
    SHORT read = 0;
    DWORD length = sizeof(read);
    ASSERT_TRUE(GetDevmodeField(Id::StackerMode, &record_, Kind::Number, &length, &read));
    EXPECT_EQ(9, read);
    EXPECT_EQ(9, GetDevmodeShort(Id::StackerMode, &record_));
}

#if KV_LINE_A
TEST_F(DevmodeTest, FlagsShareOneWord)
{
    ASSERT_TRUE(SetDevmodeFlag(Id::SecurePrint, &record_, 1));
    ASSERT_TRUE(SetDevmodeFlag(Id::RotateStack, &record_, 7));  // any non-zero value sets
    EXPECT_EQ(0x0Au, FlagsWord(record_));
    EXPECT_EQ(1u, GetDevmodeFlag(Id::SecurePrint, &record_));
    EXPECT_EQ(1u, GetDevmodeFlag(Id::RotateStack, &record_));
    EXPECT_EQ(0u, GetDevmodeFlag(Id::EarFold, &record_));

    ASSERT_TRUE(SetDevmodeFlag(Id::RotateStack, &record_, 0));
    EXPECT_EQ(0x08u, FlagsWord(record_));
    EXPECT_EQ(0u, GetDevmodeFlag(Id::RotateStack, &record_));
}
#else
TEST_F(DevmodeTest, FlagsShareOneWord)
{
    ASSERT_TRUE(SetDevmodeFlag(Id::OutputControlByDriver, &record_, 1));
    ASSERT_TRUE(SetDevmodeFlag(Id::EarFold, &record_, 1));
    EXPECT_EQ(0x05u, FlagsWord(record_));
    EXPECT_EQ(1u, GetDevmodeFlag(Id::EarFold, &record_));
    EXPECT_EQ(0u, GetDevmodeFlag(Id::RotateStack, &record_));

    ASSERT_TRUE(SetDevmodeFlag(Id::OutputControlByDriver, &record_, 0));
    EXPECT_EQ(0x04u, FlagsWord(record_));
    // Id 5 is a setting in this line, not a flag.
    EXPECT_EQ(0u, GetDevmodeFlag(static_cast<Id>(5), &record_));
}
#endif

TEST_F(DevmodeTest, FlagReadOfANonFlagIdIsOff)
{
    memset(record_.data + 20, 0xFF, 4);
    EXPECT_EQ(0u, GetDevmodeFlag(Id::FoldMode, &record_));
}

TEST_F(DevmodeTest, UnknownIdSucceedsAndChangesNothing)
{
    const Id unknown = static_cast<Id>(99);
    EXPECT_EQ(0, GetDevmodeShort(unknown, &record_));

    SHORT value = 0x7777;
    DWORD length = sizeof(value);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(GetDevmodeField(unknown, &record_, Kind::Short, &length, &value));
    EXPECT_EQ(0, value) << "the destination is cleared";

    DWORD flag = 0x7777;
    length = sizeof(flag);
    EXPECT_TRUE(GetDevmodeField(unknown, &record_, Kind::Flag, &length, &flag));
    EXPECT_EQ(0u, flag);

    EXPECT_TRUE(SetDevmodeShort(unknown, &record_, 3));
    EXPECT_TRUE(SetDevmodeFlag(unknown, &record_, 1));
    EXPECT_TRUE(SetDevmodeString(unknown, &record_, TEXT("x")));
    BYTE raw[16] = {1};
    EXPECT_TRUE(SetDevmodeField(unknown, &record_, Kind::RawBytes, sizeof(raw), raw));
    EXPECT_EQ(FreshImage(), ImageOf(record_));
}

TEST_F(DevmodeTest, PrinterIdIsSixteenRawBytes)
{
    BYTE id[16];
    for (int i = 0; i < 16; ++i) id[i] = static_cast<BYTE>(0x10 + i);
    ASSERT_TRUE(SetDevmodeField(Id::PrinterId, &record_, Kind::RawBytes, sizeof(id), id));
    Bytes expected = FreshImage();
    memcpy(&expected[kHeader + 4], id, 16);
    EXPECT_EQ(expected, ImageOf(record_));

    BYTE read[16] = {};
    DWORD length = sizeof(read);
    ASSERT_TRUE(GetDevmodeField(Id::PrinterId, &record_, Kind::RawBytes, &length, read));
    EXPECT_EQ(0, memcmp(id, read, 16));

    BYTE tooLong[17] = {};
    EXPECT_FALSE(SetDevmodeField(Id::PrinterId, &record_, Kind::RawBytes, sizeof(tooLong), tooLong));
    EXPECT_EQ(expected, ImageOf(record_));
}

// Mended: a source shorter than the field is read only as far as it goes.
TEST_F(DevmodeTest, ShortRawSourceIsNotReadPastItsEnd)
{
    ExactBuffer source(4);
    memset(source.bytes.get(), 0x33, 4);
    ASSERT_TRUE(SetDevmodeField(Id::PrinterId, &record_, Kind::RawBytes, 4, source.bytes.get()));
    Bytes expected = FreshImage();
    memset(&expected[kHeader + 4], 0x33, 4);
    EXPECT_EQ(expected, ImageOf(record_));
}

// Mended: a destination smaller than the field is refused, not overrun.
TEST_F(DevmodeTest, NarrowDestinationIsRefused)
{
    ExactBuffer destination(2);
    DWORD length = 2;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetDevmodeField(Id::PrinterId, &record_, Kind::RawBytes, &length, destination.bytes.get()));
    EXPECT_EQ(16u, length);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    // A Short read of the 16-byte identity reads as 0.
    memset(record_.data + 4, 0x44, 16);
    EXPECT_EQ(0, GetDevmodeShort(Id::PrinterId, &record_));
}

TEST_F(DevmodeTest, MissingArgumentsFail)
{
    SHORT value = 1;
    DWORD length = sizeof(value);
    const struct {
        const char *name;
        BOOL (*call)(PrivateDevmode *, SHORT *, DWORD *);
    } cases[] = {
        {"get without record", [](PrivateDevmode *, SHORT *v, DWORD *n) { return GetDevmodeField(Id::FoldMode, nullptr, Kind::Short, n, v); }},
        {"get without length", [](PrivateDevmode *r, SHORT *v, DWORD *) { return GetDevmodeField(Id::FoldMode, r, Kind::Short, nullptr, v); }},
        {"get without destination", [](PrivateDevmode *r, SHORT *, DWORD *n) { return GetDevmodeField(Id::FoldMode, r, Kind::Short, n, nullptr); }},
        {"set without record", [](PrivateDevmode *, SHORT *v, DWORD *) { return SetDevmodeField(Id::FoldMode, nullptr, Kind::Short, 2, v); }},
        {"set without source", [](PrivateDevmode *r, SHORT *, DWORD *) { return SetDevmodeField(Id::FoldMode, r, Kind::Short, 2, nullptr); }},
        {"string without text", [](PrivateDevmode *r, SHORT *, DWORD *) { return SetDevmodeString(Id::FoldMode, r, nullptr); }},
        {"header without record", [](PrivateDevmode *, SHORT *, DWORD *) { return InitDevmodeHeader(nullptr); }},
        {"defaults without record", [](PrivateDevmode *, SHORT *, DWORD *) { return SetDevmodeDefaults(nullptr); }},
        {"convert without output", [](PrivateDevmode *r, SHORT *, DWORD *) { return ConvertDevmode(nullptr, r, 316, 316); }},
        {"convert without input", [](PrivateDevmode *r, SHORT *, DWORD *) { return ConvertDevmode(r, nullptr, 316, 316); }},
        {"merge without output", [](PrivateDevmode *r, SHORT *, DWORD *) { return MergeDevmode(nullptr, r); }},
        {"merge without input", [](PrivateDevmode *r, SHORT *, DWORD *) { return MergeDevmode(r, nullptr); }},
    };
    for (const auto &c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(c.call(&record_, &value, &length)) << c.name;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << c.name;
        EXPECT_EQ(FreshImage(), ImageOf(record_)) << c.name;
    }
    EXPECT_EQ(1, value);
    EXPECT_EQ(0, GetDevmodeShort(Id::FoldMode, nullptr));
    EXPECT_EQ(0u, GetDevmodeFlag(Id::OutputControlByDriver, nullptr));
    EXPECT_EQ(nullptr, FindPrivateDevmode(static_cast<DEVMODEW *>(nullptr)));
}

#if KV_LINE_A
TEST_F(DevmodeTest, DocumentNameHoldsTwentyFourCharacters)
{
    LPCWSTR name24 = TEXT("ABCDEFGHIJKLMNOPQRSTUVWX");
    LPCWSTR name25 = TEXT("ABCDEFGHIJKLMNOPQRSTUVWXY");
    ASSERT_TRUE(SetDevmodeString(Id::DocumentName, &record_, TEXT("plan")));
    EXPECT_FALSE(SetDevmodeString(Id::DocumentName, &record_, name25));

    WCHAR text[256];
    DWORD capacity = 256;
    ASSERT_TRUE(GetDevmodeString(Id::DocumentName, &record_, &capacity, text));
    EXPECT_EQ(std::u16string(TEXT("plan")), std::u16string(text)) << "a refused name keeps the old one";

    ASSERT_TRUE(SetDevmodeString(Id::DocumentName, &record_, name24));
    capacity = 256;
    ASSERT_TRUE(GetDevmodeString(Id::DocumentName, &record_, &capacity, text));
    EXPECT_EQ(std::u16string(name24), std::u16string(text));

    Bytes expected = FreshImage();
    for (int i = 0; i < 24; ++i) PutWord(expected, kHeader + 46 + 2 * i, name24[i]);
    EXPECT_EQ(expected, ImageOf(record_));
}

TEST_F(DevmodeTest, DocumentNameNeedsRoomForTwentyFiveUnits)
{
    ASSERT_TRUE(SetDevmodeString(Id::DocumentName, &record_, TEXT("plan")));
    WCHAR small[10];
    DWORD capacity = 10;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetDevmodeString(Id::DocumentName, &record_, &capacity, small));
    EXPECT_EQ(25u, capacity);

    capacity = 25;
    WCHAR exact[25];
    EXPECT_TRUE(GetDevmodeString(Id::DocumentName, &record_, &capacity, exact));
    EXPECT_EQ(std::u16string(TEXT("plan")), std::u16string(exact));
}

// Mended: a stored name without its NUL (from a damaged document) is cut at
// the end of its field instead of being read on into the reserved bytes.
TEST_F(DevmodeTest, UnterminatedStoredNameIsCutAtItsField)
{
    for (int i = 0; i < 25; ++i) memcpy(record_.data + 46 + 2 * i, u"Z", 2);
    memset(record_.data + 96, 'Y', 8);
    WCHAR text[256];
    DWORD capacity = 256;
    ASSERT_TRUE(GetDevmodeString(Id::DocumentName, &record_, &capacity, text));
    EXPECT_EQ(std::u16string(24, u'Z'), std::u16string(text));

    PrivateDevmode merged;
    ASSERT_TRUE(SetDevmodeDefaults(&merged));
    ASSERT_TRUE(MergeDevmode(&merged, &record_));
    capacity = 256;
    ASSERT_TRUE(GetDevmodeString(Id::DocumentName, &merged, &capacity, text));
    EXPECT_EQ(std::u16string(24, u'Z'), std::u16string(text));
}
#endif

// A fresh system whose log takes every level, in a directory of its own.
class DevmodeLogTest : public kvtest::AttachedModuleTest {};

TEST_F(DevmodeLogTest, InvalidKindIsLoggedAndIgnored)
{
    PrivateDevmode record;
    ASSERT_TRUE(SetDevmodeDefaults(&record));
    SHORT value = 0x1234;
    DWORD length = sizeof(value);
    EXPECT_TRUE(GetDevmodeField(Id::FoldMode, &record, static_cast<Kind>(0), &length, &value));
    EXPECT_EQ(0, value);
    EXPECT_TRUE(SetDevmodeField(Id::FoldMode, &record, static_cast<Kind>(6), sizeof(value), &value));
    EXPECT_EQ(FreshImage(), ImageOf(record));

    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(2u, lines.size());
    for (const std::string &line : lines) {
        EXPECT_NE(std::string::npos, line.find("KVPS[ERROR]: ")) << line;
        EXPECT_NE(std::string::npos, line.find("devmode")) << line;
        EXPECT_NE(std::string::npos, line.find("A data type is invalid.")) << line;
    }
}

TEST_F(DevmodeTest, SameVersionConvertCopiesTheRecord)
{
    PrivateDevmode input;
    ASSERT_TRUE(SetDevmodeDefaults(&input));
    ASSERT_TRUE(SetDevmodeShort(Id::Baler, &input, 3));
    ASSERT_TRUE(SetDevmodeFlag(Id::EarFold, &input, 1));
    memset(input.data + kDevmodeDataSize - 4, 0x77, 4);  // reserved bytes travel too

    ASSERT_TRUE(ConvertDevmode(&record_, &input, sizeof(record_), sizeof(input)));
    EXPECT_EQ(ImageOf(input), ImageOf(record_));
}

// Mended: the copy is bounded by what the input really holds and what the
// output can take, whatever the header claims.
TEST_F(DevmodeTest, SameVersionConvertStaysInsideBothBuffers)
{
    Bytes source(sizeof(PrivateDevmode), 0x61);
    memcpy(source.data(), FreshImage().data(), kHeader);

    ExactBuffer shortInput(source, 40);
    ASSERT_TRUE(ConvertDevmode(&record_, shortInput.record(), sizeof(record_), 40));
    Bytes expected = FreshImage();
    memset(&expected[kHeader], 0x61, 40 - kHeader);
    EXPECT_EQ(expected, ImageOf(record_));

    ExactBuffer shortOutput(FreshImage(), 30);
    ExactBuffer input(source, source.size());
    ASSERT_TRUE(ConvertDevmode(shortOutput.record(), input.record(), 30, static_cast<DWORD>(input.size)));
    Bytes expectedOut = Slice(FreshImage(), 0, 30);
    memset(&expectedOut[kHeader], 0x61, 30 - kHeader);
    EXPECT_EQ(expectedOut, shortOutput.image());
}

TEST_F(DevmodeTest, ConvertNeedsWholeHeaders)
{
    ExactBuffer tiny(FreshImage(), 8);
#if KV_LINE_A
    EXPECT_FALSE(ConvertDevmode(&record_, tiny.record(), sizeof(record_), 8));
#else
    EXPECT_TRUE(ConvertDevmode(&record_, tiny.record(), sizeof(record_), 8));
#endif
    EXPECT_EQ(FreshImage(), ImageOf(record_));

    PrivateDevmode input;
    ASSERT_TRUE(SetDevmodeDefaults(&input));
    ExactBuffer tinyOutput(FreshImage(), 8);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ConvertDevmode(tinyOutput.record(), &input, 8, sizeof(input)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(Slice(FreshImage(), 0, 8), tinyOutput.image());
}

TEST_F(DevmodeTest, VersionOtherThanBothIsNotConverted)
{
    Bytes other = LineBRecord();
    memcpy(&other[8], "0030", 4);
    ExactBuffer input(other, other.size());
#if KV_LINE_A
    EXPECT_FALSE(ConvertDevmode(&record_, input.record(), sizeof(record_), 76));
#else
    EXPECT_TRUE(ConvertDevmode(&record_, input.record(), sizeof(record_), 76));
#endif
    EXPECT_EQ(FreshImage(), ImageOf(record_));
}

#if KV_LINE_A
TEST_F(DevmodeTest, LineBRecordIsUpgraded)
{
    ASSERT_TRUE(SetDevmodeString(Id::DocumentName, &record_, TEXT("old")));
    ASSERT_TRUE(SetDevmodeShort(Id::DocumentNameMode, &record_, 1));
    ASSERT_TRUE(SetDevmodeShort(Id::AdvancedFeaturesOff, &record_, 1));
    memset(record_.data + 4, 0x99, 16);

    Bytes lineB = LineBRecord();
    ExactBuffer input(lineB, lineB.size());
    ASSERT_TRUE(ConvertDevmode(&record_, input.record(), sizeof(record_), 76));

    Bytes expected(316, 0);
    memcpy(expected.data(), FreshImage().data(), kHeader);  // the output's header stays
    PutWord(expected, kHeader + 0, 7);
    PutDword(expected, kHeader + 20, 0x5);
    for (int i = 0; i < 10; ++i) PutWord(expected, kHeader + 24 + 2 * i, 2 + i);
    PutWord(expected, kHeader + 44, 2);
    EXPECT_EQ(expected, ImageOf(record_));
    EXPECT_EQ(7, GetDevmodeShort(Id::PrinterType, &record_));
    EXPECT_EQ(1u, GetDevmodeFlag(Id::OutputControlByDriver, &record_));
    EXPECT_EQ(1u, GetDevmodeFlag(Id::EarFold, &record_));
    EXPECT_EQ(0u, GetDevmodeFlag(Id::SecurePrint, &record_));
    EXPECT_EQ(11, GetDevmodeShort(Id::FoldOutputBin, &record_));
}

// Mended: the input's dwSize is believed only as far as the bytes really
// there; a dwSize below the header's own takes nothing.
TEST_F(DevmodeTest, UpgradeReadsNoMoreThanTheInputHolds)
{
    const struct {
        const char *name;
        DWORD claimed;
        size_t real;
        bool hasType, hasFlags, hasSettings;
    } cases[] = {
        {"whole record", 76, 76, true, true, true},
        {"dwSize beyond the buffer", 76, 30, true, false, false},
        {"dwSize of every byte", 0xFFFFFFFF, 76, true, true, true},
        {"dwSize below the header", 5, 76, false, false, false},
        {"header only", 76, 12, false, false, false},
        {"dwSize cuts the settings", 40, 76, true, true, false},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(SetDevmodeDefaults(&record_));
        Bytes lineB = LineBRecord();
        PutDword(lineB, 0, c.claimed);
        ExactBuffer input(lineB, c.real);
        ASSERT_TRUE(ConvertDevmode(&record_, input.record(), sizeof(record_), static_cast<DWORD>(c.real))) << c.name;
        EXPECT_EQ(c.hasType ? 7 : 0, GetDevmodeShort(Id::PrinterType, &record_)) << c.name;
        EXPECT_EQ(c.hasFlags ? 0x5u : 0u, FlagsWord(record_)) << c.name;
        EXPECT_EQ(c.hasSettings ? 11 : 0, GetDevmodeShort(Id::FoldOutputBin, &record_)) << c.name;
        EXPECT_EQ(2, GetDevmodeShort(Id::DocumentNameMode, &record_)) << c.name;
    }
}

// Mended: the upgraded data goes no further than the output buffer, and an
// output dwSize below the header's own writes nothing.
TEST_F(DevmodeTest, UpgradeWritesNoMoreThanTheOutputTakes)
{
    Bytes lineB = LineBRecord();
    ExactBuffer input(lineB, lineB.size());

    ExactBuffer shortOutput(FreshImage(), 40);
    ASSERT_TRUE(ConvertDevmode(shortOutput.record(), input.record(), 40, 76));
    Bytes expected(40, 0);
    memcpy(expected.data(), FreshImage().data(), kHeader);
    PutWord(expected, kHeader + 0, 7);
    PutDword(expected, kHeader + 20, 0x5);
    PutWord(expected, kHeader + 24, 2);
    PutWord(expected, kHeader + 26, 3);
    EXPECT_EQ(expected, shortOutput.image());

    Bytes tinyHeader = FreshImage();
    PutDword(tinyHeader, 0, 8);
    ExactBuffer output(tinyHeader, tinyHeader.size());
    ASSERT_TRUE(ConvertDevmode(output.record(), input.record(), static_cast<DWORD>(output.size), 76));
    EXPECT_EQ(tinyHeader, output.image());
}

TEST_F(DevmodeTest, UpgradeWithoutScratchMemoryFails)
{
    Bytes lineB = LineBRecord();
    ExactBuffer input(lineB, lineB.size());
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_FALSE(ConvertDevmode(&record_, input.record(), sizeof(record_), 76));
    EXPECT_EQ(FreshImage(), ImageOf(record_));
}
#else
TEST_F(DevmodeTest, LineBRecordIsCopiedAsItIs)
{
    Bytes lineB = LineBRecord();
    ExactBuffer input(lineB, lineB.size());
    ASSERT_TRUE(ConvertDevmode(&record_, input.record(), sizeof(record_), 76));
    EXPECT_EQ(lineB, ImageOf(record_));
    EXPECT_EQ(7, GetDevmodeShort(Id::PrinterType, &record_));
    EXPECT_EQ(11, GetDevmodeShort(Id::FoldOutputBin, &record_));
}
#endif

TEST_F(DevmodeTest, MergeCopiesEveryFieldAndNothingElse)
{
    PrivateDevmode input;
    memset(&input, 0xC3, sizeof(input));  // reserved bytes and the header differ too
    DWORD inputFlags = 0xFFFFFFF0;  // no listed flag set in the input
    memcpy(input.data + 20, &inputFlags, 4);
#if KV_LINE_A
    ASSERT_TRUE(SetDevmodeString(Id::DocumentName, &input, TEXT("merged")));
    ASSERT_TRUE(SetDevmodeFlag(Id::SecurePrint, &input, 1));
#endif
    ASSERT_TRUE(SetDevmodeFlag(Id::RotateStack, &input, 1));

    // The output has a bit that no flag owns, and dirty reserved bytes.
    DWORD outputFlags = 0x100 | 0x1 | 0x4;  // OutputControlByDriver and EarFold on
    memcpy(record_.data + 20, &outputFlags, 4);
    memset(record_.data + 60, 0xAA, 4);
    Bytes before = ImageOf(record_);

    ASSERT_TRUE(MergeDevmode(&record_, &input));

    Bytes expected = before;
    for (const DevmodeField *row = DevmodeFieldTable; row->id != static_cast<Id>(0); ++row) {
        if (row->kind == Kind::Flag) continue;
        size_t bytes = row->kind == Kind::WideString ? 2 * row->size : row->size;
        memcpy(&expected[kHeader + row->offset], input.data + row->offset, bytes);
    }
#if KV_LINE_A
    // The name goes up to its NUL; the rest of its field keeps the output's bytes.
    memcpy(&expected[kHeader + 46], before.data() + kHeader + 46, 50);
    memcpy(&expected[kHeader + 46], u"merged", 14);
    PutDword(expected, kHeader + 20, 0x100 | 0x2 | 0x8);
#else
    PutDword(expected, kHeader + 20, 0x100 | 0x2);
#endif
    EXPECT_EQ(expected, ImageOf(record_));
}

// Mended: a host buffer too small for the record is not written.
TEST_F(DevmodeTest, MergeRefusesAShortOutput)
{
    PrivateDevmode input;
    ASSERT_TRUE(SetDevmodeDefaults(&input));
    ASSERT_TRUE(SetDevmodeShort(Id::FoldMode, &input, 4));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MergeDevmode(&record_, &input, sizeof(record_) - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(FreshImage(), ImageOf(record_));
    EXPECT_TRUE(MergeDevmode(&record_, &input, sizeof(record_)));
    EXPECT_EQ(4, GetDevmodeShort(Id::FoldMode, &record_));
}

// A public DEVMODEW of dmSize public bytes followed by the given
// driver-extra bytes, in a buffer of exactly that size.
struct DevmodeBuffer {
    DevmodeBuffer(WORD publicSize, const Bytes &extra, WORD claimedExtra)
        : buffer(Bytes(publicSize, 0), publicSize + extra.size())
    {
        if (!extra.empty()) memcpy(buffer.bytes.get() + publicSize, extra.data(), extra.size());
        DEVMODEW *dm = devmode();
        dm->dmSize = publicSize;
        dm->dmDriverExtra = claimedExtra;
    }
    explicit DevmodeBuffer(const Bytes &extra) : DevmodeBuffer(sizeof(DEVMODEW), extra, static_cast<WORD>(extra.size())) {}
    DEVMODEW *devmode() { return reinterpret_cast<DEVMODEW *>(buffer.bytes.get()); }
    BYTE *at(size_t offset) { return buffer.bytes.get() + offset; }
    ExactBuffer buffer;
};

// Another plug-in's record: its own header, then its data.
Bytes ForeignRecord(size_t size)
{
    Bytes record(size, 0x3C);
    PutDword(record, 0, static_cast<DWORD>(size));
    PutDword(record, 4, 0x4F544852);
    PutDword(record, 8, 0x30303031);
    return record;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(DevmodeTest, FindSkipsAnotherPluginsRecord)
{
    DevmodeBuffer dm(Concat({ForeignRecord(41), ImageOf(record_), Bytes(8, 0)}));
    EXPECT_EQ(reinterpret_cast<PrivateDevmode *>(dm.at(220 + 41)), FindPrivateDevmode(dm.devmode()));

    // An older, shorter public part moves the driver-extra bytes with it.
    DevmodeBuffer old(156, Concat({ForeignRecord(20), ImageOf(record_)}), static_cast<WORD>(20 + sizeof(record_)));
    EXPECT_EQ(reinterpret_cast<PrivateDevmode *>(old.at(156 + 20)), FindPrivateDevmode(old.devmode()));
}

TEST_F(DevmodeTest, FindReturnsNoneWithoutThisLinesRecord)
{
    Bytes otherLine = ImageOf(record_);
#if KV_LINE_A
    std::copy_n("0010", 4, otherLine.begin() + 8);
    PutDword(otherLine, 0, 76);
#else
    std::copy_n("0020", 4, otherLine.begin() + 8);
    PutDword(otherLine, 0, 316);
#endif
    const struct {
        const char *name;
        Bytes extra;
    } cases[] = {
        {"no driver-extra bytes", {}},
        {"eleven bytes", Slice(ImageOf(record_), 0, 11)},
        {"only another plug-in", ForeignRecord(60)},
        {"the other line's record", otherLine},
    };
    for (const auto &c : cases) {
        DevmodeBuffer dm(c.extra);
        EXPECT_EQ(nullptr, FindPrivateDevmode(dm.devmode())) << c.name;
    }
}

// Mended: a header whose record would run past dmSize + dmDriverExtra is a
// cut-off record and is not found.
TEST_F(DevmodeTest, FindIgnoresACutOffRecord)
{
    Bytes image = ImageOf(record_);
    DevmodeBuffer cut(Concat({ForeignRecord(16), Bytes(image.begin(), image.end() - 1)}));
    EXPECT_EQ(nullptr, FindPrivateDevmode(cut.devmode()));

    // The area ends before the buffer does: the record beyond it is not ours.
    DevmodeBuffer shortArea(sizeof(DEVMODEW), Concat({ForeignRecord(16), image}), static_cast<WORD>(16 + image.size() - 1));
    EXPECT_EQ(nullptr, FindPrivateDevmode(shortArea.devmode()));
}

// Mended: with the buffer's real size given, a dmDriverExtra that runs past
// the buffer is not followed.
TEST_F(DevmodeTest, FindStaysInsideTheCallersBuffer)
{
    Bytes extra = Concat({ForeignRecord(30), ImageOf(record_)});
    DevmodeBuffer lying(sizeof(DEVMODEW), extra, 0xFFFF);
    DWORD real = static_cast<DWORD>(lying.buffer.size);
    EXPECT_EQ(reinterpret_cast<PrivateDevmode *>(lying.at(220 + 30)), FindPrivateDevmode(lying.devmode(), real));

    DevmodeBuffer noRecord(sizeof(DEVMODEW), ForeignRecord(30), 0xFFFF);
    EXPECT_EQ(nullptr, FindPrivateDevmode(noRecord.devmode(), static_cast<DWORD>(noRecord.buffer.size)));

    // Fewer bytes than the two size fields need.
    EXPECT_EQ(nullptr, FindPrivateDevmode(lying.devmode(), 70));
}

TEST_F(DevmodeTest, InputSizeIsTheRestOfTheDriverExtraArea)
{
    DevmodeBuffer dm(Concat({ForeignRecord(24), ImageOf(record_), Bytes(5, 0)}));
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    param.pPublicDMIn = dm.devmode();
    param.pOEMDMIn = dm.at(220 + 24);
    EXPECT_EQ(sizeof(PrivateDevmode) + 5, DevmodeInputSize(&param));

    // A record the host keeps apart from the public part: its own size.
    Bytes lineB = LineBRecord();
    ExactBuffer apart(lineB, lineB.size());
    param.pOEMDMIn = apart.record();
    EXPECT_EQ(76u, DevmodeInputSize(&param));
    param.pPublicDMIn = nullptr;
    EXPECT_EQ(76u, DevmodeInputSize(&param));

    param.pOEMDMIn = nullptr;
    EXPECT_EQ(0u, DevmodeInputSize(&param));
    EXPECT_EQ(0u, DevmodeInputSize(nullptr));
}

}  // namespace
