// The host simulator's PostScript splitting: where a real document meets
// the host's injection points and page ends.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kvhost/renderhost.h"

namespace {

using kvhost::PsStep;

std::string Describe(const std::vector<PsStep> &steps)
{
    std::string out;
    for (const PsStep &step : steps) {
        switch (step.kind) {
        case PsStep::Write:
            out += "W[" + step.text + "]";
            break;
        case PsStep::Command:
            out += "C" + std::to_string(step.index);
            break;
        case PsStep::SendPage:
            out += "P[" + step.text + "]";
            break;
        }
        out += "\n";
    }
    return out;
}

std::string Joined(const std::vector<PsStep> &steps)
{
    std::string out;
    for (const PsStep &step : steps)
        if (step.kind != PsStep::Command) out += step.text;
    return out;
}

TEST(RenderHostSplit, PagesSetupsAndTrailer)
{
    const std::string doc =
        "%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n"
        "%%Page: 1 1\n%%BeginPageSetup\nsetup1\n%%EndPageSetup\nbody1\nshowpage\n%%PageTrailer\n"
        "%%Page: 2 2\n%%BeginPageSetup\r\nsetup2\r\n%%EndPageSetup\r\nbody2\r\nshowpage\r\n"
        "%%Trailer\n%%EOF\n";
    std::vector<PsStep> steps = kvhost::SplitPostScript(doc);
    EXPECT_EQ("C1\n"
              "W[%!PS-Adobe-3.0\n%%Pages: 2\n%%EndComments\n]\n"
              "W[%%Page: 1 1\n%%BeginPageSetup\n]\nC101\nW[setup1\n]\nC102\nW[%%EndPageSetup\nbody1\n]\n"
              "P[showpage\n%%PageTrailer\n]\n"
              "W[%%Page: 2 2\n%%BeginPageSetup\r\n]\nC101\nW[setup2\r\n]\nC102\nW[%%EndPageSetup\r\nbody2\r\n]\n"
              "P[showpage\r\n]\n"
              "W[%%Trailer\n%%EOF\n]\nC20\n",
              Describe(steps));
    // Every byte of the document is written once, in order.
    EXPECT_EQ(doc, Joined(steps));
}

TEST(RenderHostSplit, EmbeddedDocumentsKeepTheirComments)
{
    const std::string doc =
        "%!PS\n%%Page: 1 1\n%%BeginDocument: logo.eps\n%%Page: 1 1\n%%Trailer\nshowpage\n%%EndDocument\n"
        "body\nshowpage\n%%Trailer\n";
    std::vector<PsStep> steps = kvhost::SplitPostScript(doc);
    EXPECT_EQ("C1\nW[%!PS\n]\n"
              "W[%%Page: 1 1\n%%BeginDocument: logo.eps\n%%Page: 1 1\n%%Trailer\nshowpage\n%%EndDocument\nbody\n]\n"
              "P[showpage\n]\nW[%%Trailer\n]\nC20\n",
              Describe(steps));
}

TEST(RenderHostSplit, DocumentWithoutPagesIsOnePage)
{
    std::vector<PsStep> steps = kvhost::SplitPostScript("%!PS\n1 2 moveto\nshowpage\n");
    EXPECT_EQ("C1\nW[%!PS\n1 2 moveto\n]\nP[showpage\n]\nC20\n", Describe(steps));
    EXPECT_EQ("C1\nP[]\nC20\n", Describe(kvhost::SplitPostScript("")));
}

TEST(RenderHostSplit, PageWithoutSetupOrShowpage)
{
    const std::string doc = "%%Page: 1 1\nnone\n%%Page: 2 2\n%%BeginPageSetup\nhalf\n";
    std::vector<PsStep> steps = kvhost::SplitPostScript(doc);
    // Without both setup comments a page has no setup injection points;
    // without showpage its closing part is empty.
    EXPECT_EQ("C1\nW[%%Page: 1 1\nnone\n]\nP[]\nW[%%Page: 2 2\n%%BeginPageSetup\nhalf\n]\nP[]\nC20\n",
              Describe(steps));
    EXPECT_EQ(doc, Joined(steps));
}

TEST(RenderHostSplit, TheBundledSampleHasThreePages)
{
    std::ifstream in(std::string(KV_SOURCE_DIR) + "/samples/drawing.ps", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<PsStep> steps = kvhost::SplitPostScript(text.str());
    int pages = 0, setups = 0;
    for (const PsStep &step : steps) {
        if (step.kind == PsStep::SendPage) {
            ++pages;
            EXPECT_EQ(0u, step.text.find("showpage")) << step.text;
        }
        if (step.kind == PsStep::Command && step.index == PSINJECT_BEGINPAGESETUP) ++setups;
    }
    EXPECT_EQ(3, pages);
    EXPECT_EQ(3, setups);
    EXPECT_EQ(text.str(), Joined(steps));
}

TEST(RenderHostSplit, PageLayoutNumbers)
{
    EXPECT_EQ(0u, kvhost::PageLayoutOf("1"));
    EXPECT_EQ(1u, kvhost::PageLayoutOf("2"));
    EXPECT_EQ(5u, kvhost::PageLayoutOf("16"));
    EXPECT_EQ(6u, kvhost::PageLayoutOf("Booklet"));
    EXPECT_EQ(0u, kvhost::PageLayoutOf("3"));
}

}  // namespace
