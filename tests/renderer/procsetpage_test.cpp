// Page counting of the procset server and its sheet rotation fragments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "procsetpage.h"

namespace {

struct Page {
    SHORT orientation;
    SHORT paperSize;
    SHORT paperLength;
    SHORT paperWidth;
    const char *inputSlot;  // null: the lookup failed
};

struct Count {
    LONG logical;
    LONG physical;
    LONG position;
    bool newSheet;
};

DEVMODEW MakeDevmode(const Page &page)
{
    DEVMODEW dm;
    memset(&dm, 0, sizeof(dm));
    dm.dmSize = sizeof(dm);
    dm.dmOrientation = page.orientation;
    dm.dmPaperSize = page.paperSize;
    dm.dmPaperLength = page.paperLength;
    dm.dmPaperWidth = page.paperWidth;
    return dm;
}

// Counts PAGES with PAGESPERSHEET (null: the first page's lookup failed)
// and returns the counters after each.
std::vector<Count> CountPages(PageState *state, const std::vector<Page> &pages, const LONG *pagesPerSheet)
{
    std::vector<Count> counts;
    for (const Page &page : pages) {
        DEVMODEW dm = MakeDevmode(page);
        CountPage(state, &dm, page.inputSlot, IsBeforeFirstPage(state) ? pagesPerSheet : nullptr);
        counts.push_back({state->logicalPages, state->physicalSheets, state->position, state->newSheet != 0});
    }
    return counts;
}

std::string Describe(const std::vector<Count> &counts)
{
    std::string text;
    for (const Count &c : counts)
        text += "(" + std::to_string(c.logical) + "," + std::to_string(c.physical) + "," +
                std::to_string(c.position) + (c.newSheet ? ",new) " : ") ");
    return text;
}

const Page kA3 = {DMORIENT_PORTRAIT, 8, 0, 0, "Auto"};
const Page kA4 = {DMORIENT_PORTRAIT, 9, 0, 0, "Auto"};

TEST(PageCounting, FreshStateCountsNothing)
{
    PageState state;
    memset(&state, 0x77, sizeof(state));
    InitPageState(&state, nullptr);
    EXPECT_TRUE(IsBeforeFirstPage(&state));
    EXPECT_EQ(0, state.logicalPages);
    EXPECT_EQ(0, state.newSheet);
    EXPECT_STREQ("", state.currentInputSlot);
}

TEST(PageCounting, CasesOfPagesOnSheets)
{
    const Page kRoll2 = {DMORIENT_PORTRAIT, 8, 0, 0, "Roll2"};
    const Page kLongA3 = {DMORIENT_PORTRAIT, 8, 1200, 0, "Auto"};
    const Page kWideA3 = {DMORIENT_PORTRAIT, 8, 0, 900, "Auto"};
    const Page kNoSlot = {DMORIENT_PORTRAIT, 8, 0, 0, nullptr};
    static const LONG one = 1, two = 2, four = 4;
    const struct {
        const char *name;
        const LONG *pagesPerSheet;
        std::vector<Page> pages;
        const char *expected;
    } kCases[] = {
        {"one page per sheet", &one, {kA3, kA3, kA3}, "(1,1,1,new) (2,2,1,new) (3,3,1,new) "},
        {"two per sheet, constant paper", &two, {kA3, kA3, kA3}, "(1,1,1,new) (2,1,2) (3,2,1,new) "},
        {"four per sheet", &four, {kA3, kA3, kA3, kA3, kA3}, "(1,1,1,new) (2,1,2) (3,1,3) (4,1,4) (5,2,1,new) "},
        {"paper size change mid-sheet", &four, {kA3, kA4, kA4}, "(1,1,1,new) (2,2,1,new) (3,2,2) "},
        {"paper length change", &two, {kA3, kLongA3}, "(1,1,1,new) (2,2,1,new) "},
        {"paper width change", &two, {kA3, kWideA3}, "(1,1,1,new) (2,2,1,new) "},
        {"input slot change", &four, {kA3, kRoll2, kRoll2}, "(1,1,1,new) (2,2,1,new) (3,2,2) "},
        {"failed slot lookups count as one empty slot", &two, {kNoSlot, kNoSlot, kNoSlot},
         "(1,1,1,new) (2,1,2) (3,2,1,new) "},
        {"failed pages-per-sheet lookup counts as one", nullptr, {kA3, kA3}, "(1,1,1,new) (2,2,1,new) "},
    };
    for (const auto &c : kCases) {
        PageState state;
        InitPageState(&state, nullptr);
        EXPECT_EQ(c.expected, Describe(CountPages(&state, c.pages, c.pagesPerSheet))) << c.name;
    }
}

TEST(PageCounting, PagesPerSheetIsDecidedAtTheFirstPageOnly)
{
    PageState state;
    InitPageState(&state, nullptr);
    const LONG two = 2, six = 6;
    DEVMODEW dm = MakeDevmode(kA3);
    CountPage(&state, &dm, "Auto", &two);
    CountPage(&state, &dm, "Auto", &six);
    CountPage(&state, &dm, "Auto", &six);
    EXPECT_EQ(2, state.pagesPerSheet);
    EXPECT_EQ(2, state.physicalSheets);
}

TEST(PageCounting, ReadsAShorterPublicPartOnlyAsFarAsItsSize)
{
    // An older public part of 156 bytes, allocated to its exact size.
    const WORD kOldSize = 156;
    std::vector<BYTE> bytes(kOldSize, 0);
    DEVMODEW full = MakeDevmode(kA3);
    full.dmSize = kOldSize;
    memcpy(bytes.data(), &full, kOldSize);
    PageState state;
    InitPageState(&state, nullptr);
    const LONG one = 1;
    CountPage(&state, reinterpret_cast<const DEVMODEW *>(bytes.data()), "Auto", &one);
    EXPECT_EQ(kA3.paperSize, state.currentDevmode.dmPaperSize);
    EXPECT_EQ(0u, state.currentDevmode.dmPelsWidth);
}

TEST(PageCounting, KeepsThePreviousPageForComparison)
{
    PageState state;
    InitPageState(&state, nullptr);
    const LONG one = 1;
    CountPages(&state, {kA3, {DMORIENT_PORTRAIT, 9, 0, 0, "Roll1"}}, &one);
    EXPECT_EQ(8, state.previousDevmode.dmPaperSize);
    EXPECT_EQ(9, state.currentDevmode.dmPaperSize);
    EXPECT_STREQ("Auto", state.previousInputSlot);
    EXPECT_STREQ("Roll1", state.currentInputSlot);
}

TEST(PageCounting, LongInputSlotIsCutToItsBuffer)
{
    PageState state;
    InitPageState(&state, nullptr);
    const LONG one = 1;
    std::string slot(100, 's');
    DEVMODEW dm = MakeDevmode(kA3);
    CountPage(&state, &dm, slot.c_str(), &one);
    EXPECT_EQ(std::string(63, 's'), state.currentInputSlot);
}

TEST(SheetRotation, OnlyTwoAndSixUpPortraitTurnTheirSheets)
{
    const struct {
        LONG pagesPerSheet;
        SHORT orientation;
        bool rotate;
    } kCases[] = {
        {2, DMORIENT_PORTRAIT, true},   {6, DMORIENT_PORTRAIT, true},  {1, DMORIENT_PORTRAIT, false},
        {4, DMORIENT_PORTRAIT, false},  {9, DMORIENT_PORTRAIT, false}, {16, DMORIENT_PORTRAIT, false},
        {2, DMORIENT_LANDSCAPE, false}, {6, DMORIENT_LANDSCAPE, false},
    };
    for (const auto &c : kCases) {
        PageState state;
        InitPageState(&state, nullptr);
        Page page = kA3;
        page.orientation = c.orientation;
        std::vector<Count> counts = CountPages(&state, {page, page, page, page, page}, &c.pagesPerSheet);
        std::string where = std::to_string(c.pagesPerSheet) + "-up, orientation " + std::to_string(c.orientation);
        EXPECT_EQ(c.rotate, state.rotateSheets != 0) << where;
        // The pages that begin a sheet are the ones that would be turned.
        std::string turned;
        PageState replay;
        InitPageState(&replay, nullptr);
        for (int i = 0; i < 5; ++i) {
            DEVMODEW dm = MakeDevmode(page);
            CountPage(&replay, &dm, "Auto", IsBeforeFirstPage(&replay) ? &c.pagesPerSheet : nullptr);
            if (NeedsRotation(&replay, TRUE)) turned += std::to_string(i + 1) + " ";
            EXPECT_FALSE(NeedsRotation(&replay, FALSE)) << where;
        }
        const char *expected = !c.rotate ? "" : c.pagesPerSheet == 2 ? "1 3 5 " : "1 ";
        EXPECT_EQ(expected, turned) << where;
    }
}

TEST(SheetRotation, FragmentsAreExact)
{
    EXPECT_STREQ("grestore\r\ngrestore\r\n180 rotate\r\n"
                 "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
                 "startpage\r\ngsave mysetup concat colspRefresh\r\n",
                 kRotateSheetFragment);
    EXPECT_STREQ("userdict pagesave restore\r\ngrestore\r\ngrestore\r\n180 rotate\r\n"
                 "clippath pathbbox exch 4 -1 roll add 3 1 roll add translate\r\n"
                 "startpage\r\ngsave userdict begin /pagesave save def end mysetup concat colspRefresh\r\n",
                 kRotateSheetFragmentPortability);
    EXPECT_STREQ("%-OEMPluginInsertBegin\r\n", kInsertBeginMarker);
    EXPECT_STREQ("%-OEMPluginInsertEnd\r\n", kInsertEndMarker);
}

TEST(SheetRotation, PortabilityOutputTakesItsOwnFragment)
{
    EXPECT_EQ(kRotateSheetFragmentPortability, SelectRotateSheetFragment("Portability"));
    for (const char *format : {"EPS", "Archive", "portability", "Portability ", ""})
        EXPECT_EQ(kRotateSheetFragment, SelectRotateSheetFragment(format)) << format;
}

}  // namespace
