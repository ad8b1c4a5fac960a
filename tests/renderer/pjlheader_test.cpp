// The PJL job header, byte for byte: the example job in every JCL mode and
// the cases where a line, a part or the whole header must be left out.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "bytebuffer.h"
#include "devmode.h"
#include "jobinfo.h"
#include "kvp/spoolctl.h"
#include "kvtest_module.h"
#include "kvtest_printers.h"
#include "pdvalue.h"
#include "pjlheader.h"

namespace {

const char kExit[] = "\x1B%-12345X";

// The header a list of lines makes: the universal exit in front of the
// first, CR LF behind each.
std::string Lines(std::initializer_list<const char *> lines)
{
    std::string text = kExit;
    for (const char *line : lines) text += std::string(line) + "\r\n";
    return text;
}

// Shows ESC and line ends, so that a failed comparison reads line by line.
std::string Visible(const std::string &bytes)
{
    std::string text;
    for (char c : bytes) {
        if (c == '\x1B')
            text += "<ESC>";
        else if (c == '\r')
            text += "<CR>";
        else if (c == '\n')
            text += "<LF>\n";
        else
            text += c;
    }
    return text;
}

class PjlHeaderTest : public kvtest::AttachedModuleTest {
protected:
    void SetUp() override
    {
        AttachedModuleTest::SetUp();
        kvp::PrinterSpec spec;
        spec.name = "Plotter";
        spec.driverName = "KV Test Driver";
        printer_ = printers_.Add(spec);
        ASSERT_NE(nullptr, printer_);

        devmode_.assign(sizeof(DEVMODEW) + kPrivateDevmodeSize, 0);
        DEVMODEW *dm = Public();
        dm->dmSize = sizeof(DEVMODEW);
        dm->dmDriverExtra = kPrivateDevmodeSize;
        dm->dmCopies = 1;
        dm->dmOrientation = DMORIENT_PORTRAIT;
        ASSERT_TRUE(SetDevmodeDefaults(Record()));
        SetFlag(DevmodeFieldId::OutputControlByDriver, 1);

        InitJobInfo(&job_);
        SetJob(JobInfoFieldId::PageSize, "A0");
        SetJob(JobInfoFieldId::InputSlot, "Auto");
        SetJob(JobInfoFieldId::MediaType, "Bond");
#if KV_LINE_A
        SetJob(JobInfoFieldId::DocumentName, "Drawing");
        SetJob(JobInfoFieldId::PortName, "LPT1:");
        SetJob(JobInfoFieldId::UserName, "yamada");
        SetJob(JobInfoFieldId::Pin, "1234");
        SetSwitches(0x2);  // the secure print function is in use
#endif
        SetJcl(2);
        SetCapability(0);
    }

    void TearDown() override
    {
        printers_.CloseAll();
        AttachedModuleTest::TearDown();
    }

    DEVMODEW *Public() { return reinterpret_cast<DEVMODEW *>(devmode_.data()); }
    PrivateDevmode *Record() { return reinterpret_cast<PrivateDevmode *>(devmode_.data() + sizeof(DEVMODEW)); }

    void SetShort(DevmodeFieldId id, SHORT value) { ASSERT_TRUE(SetDevmodeShort(id, Record(), value)); }
    void SetFlag(DevmodeFieldId id, DWORD value) { ASSERT_TRUE(SetDevmodeFlag(id, Record(), value)); }
    void SetJob(JobInfoFieldId id, const char *text) { ASSERT_TRUE(SetJobInfoString(&job_, id, text)); }

    void SetDword(LPCWSTR name, DWORD value)
    {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer_, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE *>(&value),
                                  sizeof(value)));
    }
    void SetJcl(DWORD value) { SetDword(kValueSupportJCL, value); }
    void SetSwitches(DWORD value) { SetDword(kValueDisablePSFeatures, value); }
    void SetCapability(DWORD bits)
    {
        DWORD slots[4] = {bits, 0, 0, 0};
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer_, const_cast<LPWSTR>(kValueSupportCapability), REG_BINARY,
                                  reinterpret_cast<BYTE *>(slots), sizeof(slots)));
    }

    // The example job: a secure print job (plain PIN, automatic job name)
    // on A0 from the automatic source, on bond paper, fan-folded and put
    // out at the rear.
    void UseExampleJob()
    {
#if KV_LINE_A
        SetFlag(DevmodeFieldId::SecurePrint, 1);
        SetShort(DevmodeFieldId::DocumentNameMode, 2);
#endif
        SetShort(DevmodeFieldId::FoldMode, 3);
        SetShort(DevmodeFieldId::OutputDirection, 2);
        SetCapability(CAP_FOLDER | CAP_OUTPUT_TRAY | CAP_OUTPUT_CONTROL_DEFAULT_ON);
    }

    std::string Header()
    {
        PjlHeaderContext context(Public(), printer_, &job_);
        ByteBuffer out;
        InitByteBuffer(&out, kPjlHeaderInitialCapacity);
        EXPECT_TRUE(BuildPjlHeader(&context, &out));
        std::string bytes(reinterpret_cast<const char *>(out.data), out.length);
        FreeByteBuffer(&out);
        return bytes;
    }

    std::string Trailer()
    {
        PjlHeaderContext context(Public(), printer_, &job_);
        ByteBuffer out;
        InitByteBuffer(&out, 64);
        EXPECT_TRUE(BuildPjlTrailer(&context, &out));
        std::string bytes(reinterpret_cast<const char *>(out.data), out.length);
        FreeByteBuffer(&out);
        return bytes;
    }

    // The lines of the example's standard page part.
    static std::vector<std::string> ExamplePageLines()
    {
        std::vector<std::string> lines = {"@PJL SET PSDEFAULTDMS=ON", "@PJL DEFAULT SCALE=OFF",
                                          "@PJL DEFAULT INPUTMODE=AUTO_JISA", "@PJL DEFAULT OUTPUTMODE=AUTO_JISA"};
        for (int n = 1; n <= 15; ++n) lines.push_back("@PJL DEFAULT PAPER" + std::to_string(n) + "SIZE=AUTO_JISA");
        lines.push_back("@PJL DEFAULT COPIES=1");
        lines.push_back("@PJL DEFAULT MEDIASOURCE=AUTO");
        lines.push_back("@PJL DEFAULT MEDIATYPE=ORDINARY");
        return lines;
    }

    static std::string Join(const std::vector<std::string> &lines)
    {
        std::string text;
        for (const std::string &line : lines) text += line + "\r\n";
        return text;
    }

    kvtest::TestPrinters printers_;
    HANDLE printer_ = nullptr;
    std::vector<BYTE> devmode_;
    JobInfo job_;
};

#define EXPECT_BYTES(expected, actual) EXPECT_EQ(Visible(expected), Visible(actual))

TEST_F(PjlHeaderTest, ExampleJobInModeTwo)
{
    UseExampleJob();
    std::string expected = std::string(kExit) + "@PJL\r\n";
#if KV_LINE_A
    expected += "@PJL SET HOLD=STORE\r\n"
                "@PJL SET HOLDTYPE=PRIVATE\r\n"
                "@PJL SET HOLDKEY=\"1234\"\r\n"
                "@PJL SET USERNAME=\"yamada\"\r\n"
                "@PJL SET JOBNAME=\"Drawing\"\r\n";
#endif
    expected += Join(ExamplePageLines());
    expected += "@PJL DEFAULT FINISHPROGID=FAN\r\n"
                "@PJL DEFAULT FINISHCROSSFOLD=CROSSFOLDON\r\n"
                "@PJL DEFAULT OUTPUTTRAY=TRAY1\r\n"
                "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    EXPECT_BYTES(expected, Header());
    EXPECT_BYTES(kExit, Trailer());
}

TEST_F(PjlHeaderTest, ModeThreeWritesWhatModeTwoWrites)
{
    UseExampleJob();
    std::string modeTwo = Header();
    SetJcl(3);
    EXPECT_BYTES(modeTwo, Header());
}

TEST_F(PjlHeaderTest, ExampleJobInModeOne)
{
    UseExampleJob();
    SetJcl(1);
#if KV_LINE_A
    EXPECT_BYTES(Lines({"@PJL", "@ACPR=CONFIDENTIAL", "@ACPW=1234", "@ACID=yamada", "@PL>PostScript"}), Header());
#else
    EXPECT_BYTES(Lines({"@PJL", "@PL>PostScript"}), Header());
#endif
    EXPECT_BYTES(kExit, Trailer());
}

TEST_F(PjlHeaderTest, JclSupportChoosesTheMode)
{
    UseExampleJob();
    const struct {
        const char *name;
        bool present;
        DWORD value;
        const char *firstLines;  // null: no header
    } kCases[] = {
        {"absent", false, 0, nullptr},
        {"0", true, 0, nullptr},
        {"4", true, 4, nullptr},
        {"0xFFFF", true, 0xFFFF, nullptr},
        {"1", true, 1, "\x1B%-12345X@PJL\r\n@"},
        {"2", true, 2, "\x1B%-12345X@PJL\r\n@PJL "},
        {"high bits ignored", true, 0x10002, "\x1B%-12345X@PJL\r\n@PJL "},
    };
    for (const auto &c : kCases) {
        if (c.present)
            SetJcl(c.value);
        else
            DeletePrinterDataW(printer_, const_cast<LPWSTR>(kValueSupportJCL));
        std::string header = Header();
        if (c.firstLines == nullptr) {
            EXPECT_EQ("", Visible(header)) << c.name;
            EXPECT_EQ("", Visible(Trailer())) << c.name;
        } else {
            EXPECT_EQ(0u, header.rfind(c.firstLines, 0)) << c.name << ": " << Visible(header);
            EXPECT_BYTES(kExit, Trailer());
        }
    }
}

TEST_F(PjlHeaderTest, NoHeaderWithoutDriverOutputControlOrRecord)
{
    UseExampleJob();
    SetFlag(DevmodeFieldId::OutputControlByDriver, 0);
    EXPECT_EQ("", Header());
    EXPECT_EQ("", Trailer());

    SetFlag(DevmodeFieldId::OutputControlByDriver, 1);
    Public()->dmDriverExtra = 0;  // the record is no longer inside the DEVMODEW
    EXPECT_EQ("", Header());
    EXPECT_EQ("", Trailer());
}

TEST_F(PjlHeaderTest, CustomPageSizeWritesItsSeries)
{
    SetCapability(CAP_CUSTOM_SIZE_PAPER_SERIES | CAP_OUTPUT_CONTROL_DEFAULT_ON);
    ASSERT_TRUE(SetJobInfoShort(&job_, JobInfoFieldId::Flags, kJobFlagCustomPageSize));
    SetJob(JobInfoFieldId::PageSize, "CustomPageSize");
    SetJob(JobInfoFieldId::InputSlot, "Roll2");
    SetJob(JobInfoFieldId::MediaType, "Film");
    SetShort(DevmodeFieldId::CustomSizePaperSeries, 5);
    std::vector<std::string> lines = {"@PJL", "@PJL SET PSDEFAULTDMS=ON", "@PJL DEFAULT SCALE=OFF",
                                      "@PJL DEFAULT INPUTMODE=AUTO_ARCH", "@PJL DEFAULT OUTPUTMODE=OTHER_ARCH"};
    for (int n = 1; n <= 15; ++n) lines.push_back("@PJL DEFAULT PAPER" + std::to_string(n) + "SIZE=AUTO_ARCH");
    lines.push_back("@PJL DEFAULT COPIES=1");
    lines.push_back("@PJL DEFAULT MEDIASOURCE=TRAY2");
    lines.push_back("@PJL DEFAULT MEDIATYPE=FILM");
    lines.push_back("@PJL ENTER LANGUAGE=POSTSCRIPT");
    EXPECT_BYTES(kExit + Join(lines), Header());
}

TEST_F(PjlHeaderTest, CustomPageSizeCases)
{
    ASSERT_TRUE(SetJobInfoShort(&job_, JobInfoFieldId::Flags, kJobFlagCustomPageSize));
    const struct {
        const char *name;
        DWORD capability;
        SHORT series;
        const char *expected;
    } kCases[] = {
        {"series 0 writes no series lines", CAP_CUSTOM_SIZE_PAPER_SERIES, 0,
         "@PJL\r\n@PJL SET PSDEFAULTDMS=ON\r\n@PJL DEFAULT SCALE=OFF\r\n@PJL DEFAULT COPIES=1\r\n"
         "@PJL DEFAULT MEDIASOURCE=AUTO\r\n@PJL DEFAULT MEDIATYPE=ORDINARY\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n"},
        {"series 8 writes no series lines", CAP_CUSTOM_SIZE_PAPER_SERIES, 8,
         "@PJL\r\n@PJL SET PSDEFAULTDMS=ON\r\n@PJL DEFAULT SCALE=OFF\r\n@PJL DEFAULT COPIES=1\r\n"
         "@PJL DEFAULT MEDIASOURCE=AUTO\r\n@PJL DEFAULT MEDIATYPE=ORDINARY\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n"},
        // A custom size is never a standard page, whatever the capability.
        {"without the series capability", CAP_OUTPUT_CONTROL_DEFAULT_ON, 1,
         "@PJL\r\n@PJL ENTER LANGUAGE=POSTSCRIPT\r\n"},
    };
    for (const auto &c : kCases) {
        SetCapability(c.capability);
        SetShort(DevmodeFieldId::CustomSizePaperSeries, c.series);
        EXPECT_EQ(Visible(kExit + std::string(c.expected)), Visible(Header())) << c.name;
    }
}

TEST_F(PjlHeaderTest, StandardPageCases)
{
    SetCapability(CAP_OUTPUT_CONTROL_DEFAULT_ON);
    const std::string kEnd = "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    const std::string kPage = "@PJL SET PSDEFAULTDMS=ON\r\n@PJL DEFAULT SCALE=OFF\r\n";
    const struct {
        const char *name;
        const char *pageSize;
        const char *inputSlot;
        const char *mediaType;
        SHORT copies;
        std::string expected;
    } kCases[] = {
        {"input slot other than Auto", "A0", "Roll1", "Bond", 1, "@PJL\r\n" + kEnd},
        {"input slot auto in lower case", "A0", "auto", "Bond", 1, "@PJL\r\n" + kEnd},
        {"page size not in the table", "Postcard", "Auto", "Bond", 1,
         "@PJL\r\n" + kPage +
             "@PJL DEFAULT COPIES=1\r\n@PJL DEFAULT MEDIASOURCE=AUTO\r\n@PJL DEFAULT MEDIATYPE=ORDINARY\r\n" + kEnd},
        {"media type not in the map", "Postcard", "Auto", "Glossy", 2,
         "@PJL\r\n" + kPage + "@PJL DEFAULT COPIES=2\r\n@PJL DEFAULT MEDIASOURCE=AUTO\r\n" + kEnd},
        {"empty media type", "Postcard", "Auto", "", 300,
         "@PJL\r\n" + kPage + "@PJL DEFAULT COPIES=300\r\n@PJL DEFAULT MEDIASOURCE=AUTO\r\n" + kEnd},
        {"copies are unsigned 16-bit", "Postcard", "Auto", "", -1,
         "@PJL\r\n" + kPage + "@PJL DEFAULT COPIES=65535\r\n@PJL DEFAULT MEDIASOURCE=AUTO\r\n" + kEnd},
    };
    for (const auto &c : kCases) {
        SetJob(JobInfoFieldId::PageSize, c.pageSize);
        SetJob(JobInfoFieldId::InputSlot, c.inputSlot);
        SetJob(JobInfoFieldId::MediaType, c.mediaType);
        Public()->dmCopies = c.copies;
        EXPECT_EQ(Visible(kExit + c.expected), Visible(Header())) << c.name;
    }
}

TEST_F(PjlHeaderTest, StandardPageNeedsItsCapability)
{
    SetCapability(CAP_CUSTOM_SIZE_PAPER_SERIES);
    EXPECT_BYTES(Lines({"@PJL", "@PJL ENTER LANGUAGE=POSTSCRIPT"}), Header());
}

// Each finishing setting alone, with every finishing capability present.
TEST_F(PjlHeaderTest, FinishingLines)
{
    const DWORD kAllFinishing = CAP_FOLDER | CAP_STACKER | CAP_BALER | CAP_OUTPUT_TRAY | CAP_BINDING_MARGIN |
                                CAP_FOLD_ADJUSTMENT | CAP_ROTATE_STACK | CAP_EAR_FOLD | CAP_FOLD_PROGRAM |
                                CAP_PROGRAM_MARGINS | CAP_FOLD_OUTPUT_BIN;
    // Settings that write nothing, so that one case shows one setting's lines.
    struct Settings {
        SHORT foldMode = 2, stacker = 1, baler = 1, direction = 1, margin = 0, adjustment = 0;
        DWORD rotate = 0, earFold = 0;
        SHORT program = 0, programMargins = 0, bin = 0;
    };
    auto fold = [](SHORT v) { Settings s; s.foldMode = v; return s; };
    auto stack = [](SHORT v) { Settings s; s.stacker = v; return s; };
    auto bale = [](SHORT v) { Settings s; s.baler = v; return s; };
    auto tray = [](SHORT v) { Settings s; s.direction = v; return s; };
    auto margin = [](SHORT fm, SHORT v) { Settings s; s.foldMode = fm; s.margin = v; return s; };
    auto adjust = [](SHORT fm, SHORT v) { Settings s; s.foldMode = fm; s.adjustment = v; return s; };
    auto program = [](SHORT v, SHORT m, SHORT b) { Settings s; s.program = v; s.programMargins = m; s.bin = b; return s; };
    const std::string kBypass = "FINISHPROGID=BYPASS\n";
    const struct {
        const char *name;
        Settings settings;
        const char *lines;  // DEFAULT lines, one per "\n"
    } kCases[] = {
        {"fold 1", fold(1), ""},
        {"fold 2", fold(2), "FINISHPROGID=BYPASS\n"},
        {"fold 3", fold(3), "FINISHPROGID=FAN\nFINISHCROSSFOLD=CROSSFOLDON\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 4", fold(4), "FINISHPROGID=FAN\nFINISHCROSSFOLD=CROSSFOLDOFF\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 5", fold(5), "FINISHPROGID=CROSS\nFINISHCROSSFOLD=CROSSFOLDON\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 6", fold(6), "FINISHPROGID=CROSS\nFINISHCROSSFOLD=CROSSFOLDOFF\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 7", fold(7), "FINISHPROGID=SD1\nFINISHCROSSFOLD=CROSSFOLDON\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 8", fold(8), "FINISHPROGID=SD1\nFINISHCROSSFOLD=CROSSFOLDOFF\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 9", fold(9), "FINISHPROGID=170mm\nFINISHCROSSFOLD=CROSSFOLDOFF\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold 10", fold(10), "FINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"stacker 2", stack(2), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=SIZE\n"},
        {"stacker 3", stack(3), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=MIX\n"},
        {"stacker 4", stack(4), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=SORT\n"},
        {"stacker 5", stack(5), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=STACK\nFINISHBIN=BYPASS\n"},
        {"stacker 6", stack(6), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=STACK\nFINISHBIN=BIN1\n"},
        {"stacker 15", stack(15), "FINISHPROGID=BYPASS\nFINISHSTACKMODE=STACK\nFINISHBIN=BIN10\n"},
        {"stacker 16", stack(16), "FINISHPROGID=BYPASS\n"},
        {"stacker 0", stack(0), "FINISHPROGID=BYPASS\n"},
        {"baler 2", bale(2), "FINISHPROGID=BYPASS\nFINISHBALE=ON\n"},
        {"baler 3", bale(3), "FINISHPROGID=BYPASS\nFINISHBALE=OFF\n"},
        {"baler 0", bale(0), "FINISHPROGID=BYPASS\nFINISHBALE=OFF\n"},
        {"output direction 2", tray(2), "FINISHPROGID=BYPASS\nOUTPUTTRAY=TRAY1\n"},
        {"output direction 3", tray(3), "FINISHPROGID=BYPASS\nOUTPUTTRAY=TRAY2\n"},
        {"margin 1 while folding", margin(3, 1),
         "FINISHPROGID=FAN\nFINISHCROSSFOLD=CROSSFOLDON\nFINISHMARGINS=MARGINSOFF\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"margin 5 while folding", margin(9, 5),
         "FINISHPROGID=170mm\nFINISHCROSSFOLD=CROSSFOLDOFF\nFINISHMARGINS=50\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"margin 6 while folding", margin(10, 6), "FINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"margin with fold mode 1", margin(1, 2), ""},
        {"margin with fold mode 2", margin(2, 2), "FINISHPROGID=BYPASS\n"},
        {"fold size 1", adjust(10, 1), "FINISHSIZE=SMALLER\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold size 3", adjust(10, 3), "FINISHSIZE=BIGGER\nFINISHROTATE=OFF\nFINISHCORNER=OFF\n"},
        {"fold size with fold mode 1", adjust(1, 2), ""},
        {"program 1", program(1, 0, 0), "FINISHPROGID=BYPASS\nFINISHPROGID=PROGRAM1\n"},
        {"program 20 with its margins and bin", program(20, 2, 13),
         "FINISHPROGID=BYPASS\nFINISHPROGID=PROGRAM20\nFINISHMARGINS=USEPROGRAM\nFINISHBIN=BIN_13\n"},
        {"program margins off, bin don't care", program(0, 1, 14),
         "FINISHPROGID=BYPASS\nFINISHMARGINS=MARGINSOFF\nFINISHBIN=DONTCARE\n"},
        {"fan fold bin", program(0, 3, 15), "FINISHPROGID=BYPASS\nFINISHBIN=FANFOLD\n"},
        {"program 21 bypasses margins and bin", program(21, 1, 3), "FINISHPROGID=BYPASS\nFINISHPROGID=BYPASS\n"},
        {"program 22", program(22, 0, 16), "FINISHPROGID=BYPASS\n"},
    };
    SetCapability(kAllFinishing);
    for (const auto &c : kCases) {
        const Settings &s = c.settings;
        SetShort(DevmodeFieldId::FoldMode, s.foldMode);
        SetShort(DevmodeFieldId::StackerMode, s.stacker);
        SetShort(DevmodeFieldId::Baler, s.baler);
        SetShort(DevmodeFieldId::OutputDirection, s.direction);
        SetShort(DevmodeFieldId::BindingMargin, s.margin);
        SetShort(DevmodeFieldId::FoldAdjustment, s.adjustment);
        SetFlag(DevmodeFieldId::RotateStack, s.rotate);
        SetFlag(DevmodeFieldId::EarFold, s.earFold);
        SetShort(DevmodeFieldId::FoldProgram, s.program);
        SetShort(DevmodeFieldId::ProgramMargins, s.programMargins);
        SetShort(DevmodeFieldId::FoldOutputBin, s.bin);
        std::string expected = std::string(kExit) + "@PJL\r\n";
        for (const char *p = c.lines; *p != '\0';) {
            const char *end = strchr(p, '\n');
            expected += "@PJL DEFAULT " + std::string(p, end) + "\r\n";
            p = end + 1;
        }
        expected += "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
        // (Line A would drop the header of a job that leaves everything to
        // the printer; the fixture's user name keeps that from happening.)
        EXPECT_EQ(Visible(expected), Visible(Header())) << c.name;
    }
}

TEST_F(PjlHeaderTest, RotateAndCornerFollowTheirFlags)
{
    SetCapability(CAP_ROTATE_STACK | CAP_EAR_FOLD);
    SetShort(DevmodeFieldId::FoldMode, 3);
    SetFlag(DevmodeFieldId::RotateStack, 1);
    EXPECT_BYTES(Lines({"@PJL", "@PJL DEFAULT FINISHROTATE=ON", "@PJL DEFAULT FINISHCORNER=OFF",
                        "@PJL ENTER LANGUAGE=POSTSCRIPT"}),
                 Header());
    SetFlag(DevmodeFieldId::RotateStack, 0);
    SetFlag(DevmodeFieldId::EarFold, 1);
    EXPECT_BYTES(Lines({"@PJL", "@PJL DEFAULT FINISHROTATE=OFF", "@PJL DEFAULT FINISHCORNER=ON",
                        "@PJL ENTER LANGUAGE=POSTSCRIPT"}),
                 Header());
}

TEST_F(PjlHeaderTest, FinishingLinesAreLeftOutInModeOne)
{
    UseExampleJob();
    SetCapability(CAP_FOLDER | CAP_OUTPUT_TRAY | CAP_STACKER | CAP_CUSTOM_SIZE_PAPER_SERIES |
                  CAP_OUTPUT_CONTROL_DEFAULT_ON);
#if KV_LINE_A
    SetFlag(DevmodeFieldId::SecurePrint, 0);
#endif
    SetShort(DevmodeFieldId::StackerMode, 3);
    SetJcl(1);
    EXPECT_BYTES(Lines({"@PJL", "@PL>PostScript"}), Header());
}

#if KV_LINE_A
TEST_F(PjlHeaderTest, SecurePrintCases)
{
    const std::string kRest = "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    const struct {
        const char *name;
        DWORD jcl;
        const char *pin;
        DWORD capability;
        std::string expected;
    } kCases[] = {
        {"empty PIN, mode 2", 2, "", 0,
         "@PJL\r\n@PJL SET HOLD=STORE\r\n@PJL SET USERNAME=\"yamada\"\r\n@PJL SET JOBNAME=\"Drawing\"\r\n" + kRest},
        {"empty PIN, mode 1", 1, "", 0, "@PJL\r\n@ACPR=CONFIDENTIAL\r\n@ACID=yamada\r\n@PL>PostScript\r\n"},
        {"encoded PIN, mode 2", 2, "QkNFVg==", CAP_ENCODED_PIN,
         "@PJL\r\n@PJL SET HOLD=STORE\r\n@PJL SET HOLDTYPE=PRIVATE\r\n@PJL SET HOLDENCRYPTKEY=\"QkNFVg==\"\r\n"
         "@PJL SET USERNAME=\"yamada\"\r\n@PJL SET JOBNAME=\"Drawing\"\r\n" +
             kRest},
        {"encoded PIN, mode 1", 1, "QkNFVg==", CAP_ENCODED_PIN,
         "@PJL\r\n@ACPR=CONFIDENTIAL\r\n@EPWD=QkNFVg==\r\n@ACID=yamada\r\n@PL>PostScript\r\n"},
    };
    SetFlag(DevmodeFieldId::SecurePrint, 1);
    for (const auto &c : kCases) {
        SetJcl(c.jcl);
        SetJob(JobInfoFieldId::Pin, c.pin);
        SetCapability(c.capability);
        EXPECT_EQ(Visible(kExit + c.expected), Visible(Header())) << c.name;
    }
}

// Jobs that cannot be held at the printer lose their secure print; when
// nothing else is left for the header, the job loses its header too.
TEST_F(PjlHeaderTest, SecurePrintIsDroppedFromJobsThatCannotBeHeld)
{
    const struct {
        const char *name;
        const char *user;
        const char *port;
        DWORD switches;
        bool dropped;
    } kCases[] = {
        {"no user name", "", "LPT1:", 0x2, true},
        {"port FILE:", "yamada", "FILE:", 0x2, true},
        {"secure print function off", "yamada", "LPT1:", 0x1, true},
        {"every switch on", "yamada", "LPT1:", 0x80000000, false},
        {"port file: in lower case", "yamada", "file:", 0x2, false},
    };
    for (const auto &c : kCases) {
        for (bool leftToPrinter : {false, true}) {
            std::string where = std::string(c.name) + (leftToPrinter ? ", finishing left to the printer" : "");
            SetFlag(DevmodeFieldId::OutputControlByDriver, 1);
            SetFlag(DevmodeFieldId::SecurePrint, 1);
            SetShort(DevmodeFieldId::FoldMode, leftToPrinter ? 1 : 3);
            SetShort(DevmodeFieldId::OutputDirection, 1);
            SetCapability(CAP_FOLDER);
            SetJob(JobInfoFieldId::UserName, c.user);
            SetJob(JobInfoFieldId::PortName, c.port);
            SetSwitches(c.switches);
            std::string header = Header();
            EXPECT_EQ(!c.dropped, GetDevmodeFlag(DevmodeFieldId::SecurePrint, Record()) != 0) << where;
            EXPECT_EQ(!c.dropped, header.find("HOLD=STORE") != std::string::npos) << where << Visible(header);
            bool noHeader = c.dropped && leftToPrinter;
            EXPECT_EQ(noHeader, header.empty()) << where << Visible(header);
            EXPECT_EQ(!noHeader, GetDevmodeFlag(DevmodeFieldId::OutputControlByDriver, Record()) != 0) << where;
            // The closing step sees what the preparation left.
            EXPECT_EQ(noHeader ? "" : Visible(kExit), Visible(Trailer())) << where;
        }
    }
}

TEST_F(PjlHeaderTest, CustomPageSizeKeepsTheHeaderOfAJobThatLostSecurePrint)
{
    SetFlag(DevmodeFieldId::SecurePrint, 1);
    SetJob(JobInfoFieldId::PortName, "FILE:");
    ASSERT_TRUE(SetJobInfoShort(&job_, JobInfoFieldId::Flags, kJobFlagCustomPageSize));
    EXPECT_BYTES(Lines({"@PJL", "@PJL ENTER LANGUAGE=POSTSCRIPT"}), Header());
}

TEST_F(PjlHeaderTest, NormalJobWithoutUserNameAndNothingToSayHasNoHeader)
{
    SetJob(JobInfoFieldId::UserName, "");
    EXPECT_EQ("", Header());
    SetFlag(DevmodeFieldId::OutputControlByDriver, 1);
    SetShort(DevmodeFieldId::OutputDirection, 3);
    SetCapability(CAP_OUTPUT_TRAY);
    EXPECT_BYTES(Lines({"@PJL", "@PJL DEFAULT OUTPUTTRAY=TRAY2", "@PJL ENTER LANGUAGE=POSTSCRIPT"}), Header());
}

TEST_F(PjlHeaderTest, JobNameTypedByTheUserIsWrittenUnchanged)
{
    SetFlag(DevmodeFieldId::SecurePrint, 1);
    SetShort(DevmodeFieldId::DocumentNameMode, 1);
    ASSERT_TRUE(SetDevmodeString(DevmodeFieldId::DocumentName, Record(), u"Plan 7 (rev. B)"));
    std::string header = Header();
    EXPECT_NE(std::string::npos, header.find("@PJL SET JOBNAME=\"Plan 7 (rev. B)\"\r\n")) << Visible(header);
    EXPECT_STREQ("Plan 7 (rev. B)", GetJobInfoString(&job_, JobInfoFieldId::JobName));
}

TEST_F(PjlHeaderTest, AutomaticJobNameIsCutToTwentyFourBytesAtACharacterBoundary)
{
    SetFlag(DevmodeFieldId::SecurePrint, 1);
    const struct {
        const char *name;
        const char *document;  // in the ANSI code page, 932
        const char *jobName;   // null: no JOBNAME line
    } kCases[] = {
        // "A" and fifteen double-byte characters: 31 bytes, cut to 23 so
        // that the twelfth character is not split.
        {"double-byte, odd boundary",
         "A\x90\xDD\x8C\x76\x90\x7D\x96\xCA\x91\xE6\x88\xEA\x94\xC5\x82\xCC\x8D\xC5\x8F\x49\x8A\x6D\x94\x46\x97\x70"
         "\x8E\x91\x97\xBF",
         "A\x90\xDD\x8C\x76\x90\x7D\x96\xCA\x91\xE6\x88\xEA\x94\xC5\x82\xCC\x8D\xC5\x8F\x49\x8A\x6D"},
        {"single-byte, 30 characters", "abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvwx"},
        {"exactly 24 bytes", "abcdefghijklmnopqrstuvwx", "abcdefghijklmnopqrstuvwx"},
        {"empty name", "", nullptr},
        {"blank name", "   ", nullptr},
    };
    for (const auto &c : kCases) {
        SetJob(JobInfoFieldId::DocumentName, c.document);
        std::string header = Header();
        size_t at = header.find("@PJL SET JOBNAME=");
        if (c.jobName == nullptr) {
            EXPECT_EQ(std::string::npos, at) << c.name << Visible(header);
            continue;
        }
        EXPECT_NE(std::string::npos, header.find("@PJL SET JOBNAME=\"" + std::string(c.jobName) + "\"\r\n"))
            << c.name << Visible(header);
    }
}

TEST_F(PjlHeaderTest, ModelLibraryOverridesReplaceRulesOfTheirFieldOnly)
{
    PjlHeaderContext context(Public(), printer_, &job_);
    ASSERT_NE(nullptr, context.FindTextRule(kTextRuleJobName));
    EXPECT_EQ(24, context.FindTextRule(kTextRuleJobName)->maxLength);
    const ModelEditRule overrides[] = {
        {9, 0, 0x3, {0, 0}, 0, 4, 0},
        {kTextRuleJobName, 0, 0x00020003, {0, 0}, 0, 8, 0},
        {0, 0, 0, {0, 0}, 0, 0, 0},
    };
    context.ApplyTextRuleOverrides(overrides);
    EXPECT_EQ(nullptr, context.FindTextRule(9));
    ASSERT_NE(nullptr, context.FindTextRule(kTextRuleJobName));
    EXPECT_EQ(8, context.FindTextRule(kTextRuleJobName)->maxLength);
    CHAR out[kTextRuleOutputMax + 1];
    TextError code = TEXT_ERROR_NONE;
    EXPECT_TRUE(ConvertWithTextRule(&context, kTextRuleJobName, u"Section drawing", out, &code));
    EXPECT_STREQ("Section ", out);
    context.ApplyTextRuleOverrides(nullptr);
    EXPECT_EQ(8, context.FindTextRule(kTextRuleJobName)->maxLength);
}
#else
TEST_F(PjlHeaderTest, LineBHasNoTextRules)
{
    PjlHeaderContext context(Public(), printer_, &job_);
    EXPECT_EQ(nullptr, context.FindTextRule(kTextRuleJobName));
    CHAR out[kTextRuleOutputMax + 1];
    TextError code = TEXT_ERROR_NONE;
    EXPECT_FALSE(ConvertWithTextRule(&context, kTextRuleJobName, u"name", out, &code));
}

TEST_F(PjlHeaderTest, LineBNeverChangesTheRecord)
{
    std::vector<BYTE> before = devmode_;
    SetShort(DevmodeFieldId::FoldMode, 1);
    before = devmode_;
    EXPECT_BYTES(Lines({"@PJL", "@PJL ENTER LANGUAGE=POSTSCRIPT"}), Header());
    EXPECT_EQ(before, devmode_);
}
#endif

TEST(JclMode, LowSixteenBitsOneToThree)
{
    const struct {
        DWORD support;
        DWORD mode;
    } kCases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 0}, {0x10000, 0}, {0x10001, 1}, {0xFFFFFFFF, 0}};
    for (const auto &c : kCases) EXPECT_EQ(c.mode, JclModeFromSupport(c.support)) << c.support;
}

}  // namespace
