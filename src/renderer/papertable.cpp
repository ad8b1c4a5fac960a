// The paper, series and media tables of the job header.
#include "papertable.h"

namespace {

constexpr PaperSeriesKeywords kAnsi = {"AUTO_ANSI", "AUTO_ANSI", "AUTO_ANSI"};
constexpr PaperSeriesKeywords kArch = {"AUTO_ARCH", "AUTO_ARCH", "AUTO_ARCH"};
constexpr PaperSeriesKeywords kArch30 = {"AUTO_ARCH30", "AUTO_ARCH30", "AUTO_ARCH30"};
constexpr PaperSeriesKeywords kJisA = {"AUTO_JISA", "AUTO_JISA", "AUTO_JISA"};
constexpr PaperSeriesKeywords kJisB = {"AUTO_JISB", "AUTO_JISB", "AUTO_JISB"};
constexpr PaperSeriesKeywords kSpecial = {"AUTO_SPECIAL", "AUTO_SPECIAL", "AUTO_SPECIAL"};
constexpr PaperSeriesKeywords kIsoB = {"AUTO_ISOB", "AUTO_ISOB", "AUTO_ISOB"};
constexpr PaperSeriesKeywords kNone = {nullptr, nullptr, nullptr};

bool SameKeyword(LPCSTR a, LPCSTR b)
{
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

LPCSTR FindInMap(const MediaMapRow *map, LPCSTR keyword)
{
    if (keyword == nullptr) return nullptr;
    for (const MediaMapRow *row = map; row->keyword != nullptr; ++row)
        if (SameKeyword(row->keyword, keyword)) return row->value;
    return nullptr;
}

}  // namespace

// The maker's own sizes carry the "KV" prefix: the host hands them to us
// after translating the PPD's prefix back.
const PaperSizeRow PaperSizeTable[] = {
    {"Letter", kAnsi},       {"Tabloid", kAnsi},      {"AnsiC", kAnsi},        {"AnsiD", kAnsi},
    {"AnsiE", kAnsi},        {"ARCHA", kArch},        {"ARCHB", kArch},        {"ARCHC", kArch},
    {"ARCHD", kArch},        {"ARCHE", kArch},        {"ARCH30", kArch30},     {"A4", kJisA},
    {"A3", kJisA},           {"A2", kJisA},           {"A1", kJisA},           {"A0", kJisA},
    {"B4", kJisB},           {"B3", kJisB},           {"B2", kJisB},           {"B1", kJisB},
    {"KVSA0", kSpecial},     {"KVSA1", kSpecial},     {"KVSA2", kSpecial},     {"KVSA3", kSpecial},
    {"KVSA1Small", kSpecial}, {"KVSA2Small", kSpecial}, {"KVSA3Small", kSpecial}, {"ISOB4", kIsoB},
    {"ISOB3", kIsoB},        {"ISOB2", kIsoB},        {"ISOB1", kIsoB},        {kPaperTableEnd, kNone},
};

// A custom size is fed from the series' automatic choice but cut as "other"
// size of that series, hence the OTHER_ output keywords.
const PaperSeriesRow PaperSeriesTable[] = {
    {1, {"AUTO_JISA", "OTHER_JISA", "AUTO_JISA"}},
    {2, {"AUTO_JISB", "OTHER_JISB", "AUTO_JISB"}},
    {3, {"AUTO_SPECIAL", "OTHER_SPECIAL", "AUTO_SPECIAL"}},
    {4, {"AUTO_ANSI", "OTHER_ANSI", "AUTO_ANSI"}},
    {5, {"AUTO_ARCH", "OTHER_ARCH", "AUTO_ARCH"}},
    {6, {"AUTO_ARCH30", "OTHER_ARCH30", "AUTO_ARCH30"}},
    {7, {"AUTO_ISOB", "OTHER_ISOB", "AUTO_ISOB"}},
    {kPaperSeriesEnd, kNone},
};

const MediaMapRow MediaSourceMap[] = {
    {"Auto", "AUTO"},   {"Roll1", "TRAY1"}, {"Roll2", "TRAY2"}, {"Roll3", "TRAY3"},         {"Roll4", "TRAY4"},
    {"Tray3", "TRAY3"}, {"Tray4", "TRAY4"}, {"ManualFeed", "MANUAL_FD"}, {nullptr, nullptr},
};

const MediaMapRow MediaTypeMap[] = {
    {"Any", "ANYTHING"}, {"Bond", "ORDINARY"}, {"Vellum", "TRACING"}, {"Film", "FILM"}, {nullptr, nullptr},
};

const PaperSeriesKeywords *FindPaperSize(LPCSTR keyword)
{
    if (keyword == nullptr) return nullptr;
    for (const PaperSizeRow *row = PaperSizeTable;; ++row) {
        if (SameKeyword(row->keyword, kPaperTableEnd)) return nullptr;
        if (SameKeyword(row->keyword, keyword)) return &row->series;
    }
}

const PaperSeriesKeywords *FindPaperSeries(LONG series)
{
    for (const PaperSeriesRow *row = PaperSeriesTable;; ++row) {
        if (row->series == kPaperSeriesEnd) return nullptr;
        if (row->series == series) return &row->keywords;
    }
}

LPCSTR FindMediaSource(LPCSTR keyword) { return FindInMap(MediaSourceMap, keyword); }

LPCSTR FindMediaType(LPCSTR keyword) { return FindInMap(MediaTypeMap, keyword); }
