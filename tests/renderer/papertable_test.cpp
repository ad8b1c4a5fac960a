// The job header's keyword tables: paper sizes to series, the custom size
// series, media sources and media types.
#include <gtest/gtest.h>

#include <string>

#include "papertable.h"

namespace {

std::string Text(LPCSTR text) { return text != nullptr ? text : "(null)"; }

TEST(PaperTable, HoldsTheThirtyOneSizesInOrderThenTheEndRow)
{
    static const char *const kExpected[] = {
        "Letter", "Tabloid", "AnsiC",      "AnsiD",      "AnsiE",      "ARCHA", "ARCHB", "ARCHC",
        "ARCHD",  "ARCHE",   "ARCH30",     "A4",         "A3",         "A2",    "A1",    "A0",
        "B4",     "B3",      "B2",         "B1",         "KVSA0",      "KVSA1", "KVSA2", "KVSA3",
        "KVSA1Small", "KVSA2Small", "KVSA3Small", "ISOB4", "ISOB3", "ISOB2", "ISOB1", "OTHER_SIZE",
    };
    for (size_t i = 0; i < sizeof(kExpected) / sizeof(kExpected[0]); ++i)
        EXPECT_EQ(kExpected[i], Text(PaperSizeTable[i].keyword)) << "row " << i;
}

TEST(PaperTable, SizesGiveTheirSeriesInAllThreeColumns)
{
    static const struct {
        const char *keyword;
        const char *series;
    } kCases[] = {
        {"Letter", "AUTO_ANSI"},     {"AnsiE", "AUTO_ANSI"},         {"ARCHA", "AUTO_ARCH"},
        {"ARCH30", "AUTO_ARCH30"},   {"A4", "AUTO_JISA"},            {"A0", "AUTO_JISA"},
        {"B1", "AUTO_JISB"},         {"KVSA0", "AUTO_SPECIAL"},      {"KVSA3Small", "AUTO_SPECIAL"},
        {"ISOB4", "AUTO_ISOB"},      {"ISOB1", "AUTO_ISOB"},
    };
    for (const auto &c : kCases) {
        const PaperSeriesKeywords *row = FindPaperSize(c.keyword);
        ASSERT_NE(nullptr, row) << c.keyword;
        EXPECT_EQ(c.series, Text(row->inputMode)) << c.keyword;
        EXPECT_EQ(c.series, Text(row->outputMode)) << c.keyword;
        EXPECT_EQ(c.series, Text(row->paperSize)) << c.keyword;
    }
}

TEST(PaperTable, KeysAreExactAndTheEndRowNeverMatches)
{
    static const char *const kMisses[] = {"a0", "A0 ", "A", "A00", "OTHER_SIZE", "", "SA0", "CustomPageSize",
                                          "ARCH3"};
    for (const char *key : kMisses) EXPECT_EQ(nullptr, FindPaperSize(key)) << "'" << key << "'";
    EXPECT_EQ(nullptr, FindPaperSize(nullptr));
}

TEST(PaperSeriesTable, SeriesOneToSevenGiveAutoInputAndOtherOutput)
{
    static const struct {
        LONG series;
        const char *input;
        const char *output;
    } kCases[] = {
        {1, "AUTO_JISA", "OTHER_JISA"},       {2, "AUTO_JISB", "OTHER_JISB"},     {3, "AUTO_SPECIAL", "OTHER_SPECIAL"},
        {4, "AUTO_ANSI", "OTHER_ANSI"},       {5, "AUTO_ARCH", "OTHER_ARCH"},     {6, "AUTO_ARCH30", "OTHER_ARCH30"},
        {7, "AUTO_ISOB", "OTHER_ISOB"},
    };
    for (const auto &c : kCases) {
        const PaperSeriesKeywords *row = FindPaperSeries(c.series);
        ASSERT_NE(nullptr, row) << c.series;
        EXPECT_EQ(c.input, Text(row->inputMode)) << c.series;
        EXPECT_EQ(c.output, Text(row->outputMode)) << c.series;
        EXPECT_EQ(c.input, Text(row->paperSize)) << c.series;
    }
}

TEST(PaperSeriesTable, OtherValuesHaveNoSeries)
{
    for (LONG series : {0L, 8L, 9L, -1L, 0x7FFFL}) EXPECT_EQ(nullptr, FindPaperSeries(series)) << series;
}

TEST(MediaMaps, InputSlotsGiveTheirMediaSource)
{
    static const struct {
        const char *slot;
        const char *source;
    } kCases[] = {
        {"Auto", "AUTO"},   {"Roll1", "TRAY1"}, {"Roll2", "TRAY2"}, {"Roll3", "TRAY3"},           {"Roll4", "TRAY4"},
        {"Tray3", "TRAY3"}, {"Tray4", "TRAY4"}, {"ManualFeed", "MANUAL_FD"}, {"auto", "(null)"}, {"Tray1", "(null)"},
        {"", "(null)"},
    };
    for (const auto &c : kCases) EXPECT_EQ(c.source, Text(FindMediaSource(c.slot))) << c.slot;
    EXPECT_EQ(nullptr, FindMediaSource(nullptr));
}

TEST(MediaMaps, MediaTypesGiveTheirMediaType)
{
    static const struct {
        const char *type;
        const char *value;
    } kCases[] = {
        {"Any", "ANYTHING"}, {"Bond", "ORDINARY"}, {"Vellum", "TRACING"}, {"Film", "FILM"},
        {"Glossy", "(null)"}, {"bond", "(null)"},  {"", "(null)"},
    };
    for (const auto &c : kCases) EXPECT_EQ(c.value, Text(FindMediaType(c.type))) << c.type;
    EXPECT_EQ(nullptr, FindMediaType(nullptr));
}

}  // namespace
