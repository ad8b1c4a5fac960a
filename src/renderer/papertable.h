// The keyword tables of the job header: which paper series the printer
// uses for input, output and each of its fifteen paper positions, which roll
// or tray feeds the job and which media it is printed on.
//
// The printer cuts roll paper to the page, so a page size alone does not tell
// it what to do: it needs the series the size belongs to. The tables turn the
// document's PPD keywords and the custom size series setting into the
// printer's words. Keys are compared exactly, case included, because the
// host hands us the PPD's keywords exactly as the PPD spells them.
#pragma once

#include "kvsys.h"

// The three series keywords of one row, for INPUTMODE, OUTPUTMODE and
// PAPER1SIZE to PAPER15SIZE.
struct PaperSeriesKeywords {
    LPCSTR inputMode;
    LPCSTR outputMode;
    LPCSTR paperSize;
};

// Longest page size keyword a row may carry (the host's option keywords
// are at most this long).
constexpr DWORD kPaperKeywordMax = 63;

// A row of the paper table. The row whose keyword is kPaperTableEnd closes
// the table and never matches.
struct PaperSizeRow {
    LPCSTR keyword;
    PaperSeriesKeywords series;
};
inline constexpr CHAR kPaperTableEnd[] = "OTHER_SIZE";
extern const PaperSizeRow PaperSizeTable[];

// A row of the series table, keyed by the private record's
// CustomSizePaperSeries. The row with key kPaperSeriesEnd closes it.
struct PaperSeriesRow {
    LONG series;
    PaperSeriesKeywords keywords;
};
constexpr LONG kPaperSeriesEnd = 8;
extern const PaperSeriesRow PaperSeriesTable[];

// A row of the media source map or the media type map; a row without
// keyword closes the map.
struct MediaMapRow {
    LPCSTR keyword;
    LPCSTR value;
};
extern const MediaMapRow MediaSourceMap[];
extern const MediaMapRow MediaTypeMap[];

// The series of a page size keyword ("A0" gives AUTO_JISA); null for a
// keyword that is not in the table, and for a null keyword.
const PaperSeriesKeywords *FindPaperSize(LPCSTR keyword);
// The keywords of a custom size series (1 to 7); null for any other value.
const PaperSeriesKeywords *FindPaperSeries(LONG series);
// MEDIASOURCE for an "InputSlot" keyword, MEDIATYPE for a "MediaType"
// keyword; null when the map has no such keyword.
LPCSTR FindMediaSource(LPCSTR keyword);
LPCSTR FindMediaType(LPCSTR keyword);
