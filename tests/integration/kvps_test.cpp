// The kvps command as a user runs it: the built binary, on a state
// directory of the test's own, its output and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kKvps = std::string(KV_MODULE_DIR) + "/../bin/kvps";

struct Result {
    int code;
    std::string out;  // stdout and stderr, in that order
    std::string err;
};

std::string Quote(const std::string &arg)
{
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class KvpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kKvps)) << kKvps << " is not built";
        dir_ = std::filesystem::temp_directory_path() /
               ("kv-kvps-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "tmp");
        state_ = (dir_ / "state").string();
    }

    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs kvps --state <the test's state> ARGS.
    Result Run(const std::vector<std::string> &args, bool withState = true)
    {
        std::string command = "TMPDIR=" + Quote((dir_ / "tmp").string()) + " " + Quote(kKvps);
        if (withState) command += " --state " + Quote(state_);
        for (const std::string &a : args) command += " " + Quote(a);
        std::string errPath = (dir_ / "stderr.txt").string();
        command += " 2>" + Quote(errPath);
        Result r{-1, "", ""};
        FILE *pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return r;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) r.out.append(buffer, n);
        int status = pclose(pipe);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = ReadFile(errPath);
        return r;
    }

    std::filesystem::path dir_;
    std::string state_;
};

TEST_F(KvpsTest, EveryCommandAnswersHelp)
{
    const std::vector<std::vector<std::string>> kCommands = {
        {"--help"},          {"printer", "--help"},         {"printer", "add", "--help"},
        {"printer", "list", "--help"}, {"printer", "data", "--help"}, {"reg", "--help"},
        {"reg", "query", "--help"},    {"print", "--help"},  {"demo", "--help"},
    };
    for (const auto &args : kCommands) {
        Result r = Run(args, false);
        std::string where = args[0] + (args.size() > 1 ? " " + args[1] : "");
        EXPECT_EQ(0, r.code) << where << r.err;
        EXPECT_NE(std::string::npos, r.out.find("usage: kvps")) << where << r.out;
    }
}

TEST_F(KvpsTest, BadArgumentsGetAUsageMessage)
{
    const std::vector<std::vector<std::string>> kCommands = {
        {},
        {"frobnicate"},
        {"--state"},
        {"printer"},
        {"printer", "add"},
        {"printer", "add", "P"},
        {"printer", "add", "P", "--model"},
        {"printer", "add", "P", "--model", "Vastrelo 9999 PS"},
        {"printer", "list", "extra"},
        {"printer", "data"},
        {"printer", "data", "P", "set", "NoEquals"},
        {"printer", "data", "P", "set", "V=qword:1"},
        {"printer", "data", "P", "set", "V=dword:twelve"},
        {"printer", "data", "P", "set", "V=binary:ABC"},
        {"reg"},
        {"reg", "query"},
        {"reg", "query", "HKXX\\Software"},
        {"reg", "add", "HKLM\\Software\\X", "/v", "N", "/t", "REG_DWORD", "/d", "-4"},
        {"reg", "add", "HKLM\\Software\\X", "/v", "N", "/t", "REG_MULTI_SZ", "/d", "a"},
        {"reg", "add", "HKLM\\Software\\X", "/q"},
        {"print"},
        {"print", "P"},
    };
    for (const auto &args : kCommands) {
        std::string where;
        for (const std::string &a : args) where += a + " ";
        Result r = Run(args);
        EXPECT_EQ(2, r.code) << where << r.out << r.err;
        EXPECT_NE(std::string::npos, r.err.find("usage: kvps")) << where << r.err;
    }
}

TEST_F(KvpsTest, PrinterLifeCycle)
{
    Result r = Run({"printer", "add", "Plotter A", "--model", "tavrin"});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Vastrelo 1180 PS")) << r.out;
    r = Run({"printer", "add", "Plotter B", "--model", "Vastrelo 1157 PS", "--port", "FILE:", "--raw-only"});
    ASSERT_EQ(0, r.code) << r.err;
    r = Run({"printer", "add", "Plotter A", "--model", "tavrin"});
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.err.find("Plotter A")) << r.err;

    // A later process sees both, from the state directory.
    r = Run({"printer", "list"});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Plotter A\n    driver Korvane Vastrelo 1180 PS\n    port LPT1:\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Plotter B\n    driver Korvane Vastrelo 1157 PS\n    port FILE:, RAW only\n"))
        << r.out;

    // The UI plug-in's initialisation filled the printer data.
    r = Run({"printer", "data", "Plotter A"});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("OEMSupportJCL  REG_DWORD  0x")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("OEMSupportCapability  REG_BINARY  ")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("OEMPrinterID  REG_SZ  \"")) << r.out;

    ASSERT_EQ(0, Run({"printer", "data", "Plotter A", "set", "OEMDisablePSFeatures=dword:0x3"}).code);
    ASSERT_EQ(0, Run({"printer", "data", "Plotter A", "set", "OEMSecurePrintUserName=sz:yamada"}).code);
    ASSERT_EQ(0, Run({"printer", "data", "Plotter A", "set", "Blob=binary:00 7f FF"}).code);
    r = Run({"printer", "data", "Plotter A"});
    EXPECT_NE(std::string::npos, r.out.find("OEMDisablePSFeatures  REG_DWORD  0x00000003 (3)\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("OEMSecurePrintUserName  REG_SZ  \"yamada\"\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Blob  REG_BINARY  00 7F FF\n")) << r.out;

    ASSERT_EQ(0, Run({"printer", "remove", "Plotter B"}).code);
    r = Run({"printer", "list"});
    EXPECT_EQ(std::string::npos, r.out.find("Plotter B")) << r.out;
    r = Run({"printer", "remove", "Plotter B"});
    EXPECT_EQ(1, r.code);
    r = Run({"printer", "data", "Nobody"});
    EXPECT_EQ(1, r.code);
    EXPECT_NE(std::string::npos, r.err.find("Nobody")) << r.err;
}

TEST_F(KvpsTest, RegistryInTheMannerOfReg)
{
    const std::string kKey = "HKLM\\Software\\Korvane\\KV PostScript Printer Driver";
    Result r = Run({"reg", "add", kKey, "/v", "DebugLevel", "/t", "REG_DWORD", "/d", "1"});
    ASSERT_EQ(0, r.code) << r.err;
    ASSERT_EQ(0, Run({"reg", "add", kKey, "/v", "Note", "/d", "plain text"}).code);
    ASSERT_EQ(0, Run({"reg", "add", kKey + "\\Sub", "/v", "Raw", "/t", "REG_BINARY", "/d", "0aFF"}).code);

    r = Run({"reg", "query", kKey});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_EQ("\nHKEY_LOCAL_MACHINE\\Software\\Korvane\\KV PostScript Printer Driver\n"
              "    DebugLevel    REG_DWORD    0x1\n"
              "    Note    REG_SZ    plain text\n"
              "\n"
              "HKEY_LOCAL_MACHINE\\Software\\Korvane\\KV PostScript Printer Driver\\Sub\n",
              r.out);
    r = Run({"reg", "query", kKey + "\\Sub", "/v", "Raw"});
    EXPECT_NE(std::string::npos, r.out.find("    Raw    REG_BINARY    0AFF\n")) << r.out;

    ASSERT_EQ(0, Run({"reg", "delete", kKey, "/v", "Note", "/f"}).code);
    r = Run({"reg", "query", kKey, "/v", "Note"});
    EXPECT_EQ(1, r.code);
    ASSERT_EQ(0, Run({"reg", "delete", kKey, "/f"}).code);
    r = Run({"reg", "query", kKey});
    EXPECT_EQ(1, r.code);
    EXPECT_NE(std::string::npos, r.err.find("was not found")) << r.err;
    r = Run({"reg", "query", "HKLM\\Software\\Korvane"});
    EXPECT_EQ(0, r.code) << r.err;
}

TEST_F(KvpsTest, StateDirectoryComesFromTheEnvironmentWithoutOption)
{
    std::string command = "KVPS_STATE=" + Quote(state_) + " " + Quote(kKvps) +
                          " printer add Env --model merrow >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(command.c_str()));
    Result r = Run({"printer", "list"});
    EXPECT_NE(std::string::npos, r.out.find("Env\n")) << r.out;
}

const char kExit[] = "\x1B%-12345X";
const std::string kSample = std::string(KV_SOURCE_DIR) + "/samples/drawing.ps";

class KvpsPrintTest : public KvpsTest {
protected:
    std::string Out(const std::string &name) { return (dir_ / name).string(); }
};

TEST_F(KvpsPrintTest, PrintsTheSampleOnEachModelSet)
{
    const std::string sample = ReadFile(kSample);
    ASSERT_FALSE(sample.empty());
    for (const char *set : {"oskel", "tavrin", "merrow", "pellin"}) {
        ASSERT_EQ(0, Run({"printer", "add", set, "--model", set}).code) << set;
        Result r = Run({"print", set, kSample, "-o", Out(std::string(set) + ".prn"), "--set", "OutputControlByDriver=1",
                        "--set", "FoldMode=3"});
        ASSERT_EQ(0, r.code) << set << r.err;
        std::string job = ReadFile(Out(std::string(set) + ".prn"));
        EXPECT_EQ(0u, job.rfind(std::string(kExit) + "@PJL\r\n", 0)) << set;
        EXPECT_NE(std::string::npos, job.find("@PJL ENTER LANGUAGE=POSTSCRIPT\r\n%!PS-Adobe-3.0")) << set;
        EXPECT_NE(std::string::npos, job.find("%%EOF")) << set;
        ASSERT_GE(job.size(), 9u);
        EXPECT_EQ(kExit, job.substr(job.size() - 9)) << set;
        EXPECT_NE(std::string::npos, r.out.find("Written to: " + Out(std::string(set) + ".prn"))) << r.out;
    }
}

TEST_F(KvpsPrintTest, TavrinJobBeginsWithItsFinishingHeader)
{
    ASSERT_EQ(0, Run({"printer", "add", "T", "--model", "Vastrelo 1180 PS"}).code);
    Result r = Run({"print", "T", kSample, "-o", Out("t.prn"), "--set", "OutputControlByDriver=1", "--set",
                    "FoldMode=3", "--set", "OutputDirection=2", "--copies", "2", "--document", "Plan"});
    ASSERT_EQ(0, r.code) << r.err;
    std::string job = ReadFile(Out("t.prn"));
    const std::string header = std::string(kExit) +
                               "@PJL\r\n"
                               "@PJL DEFAULT FINISHPROGID=FAN\r\n"
                               "@PJL DEFAULT FINISHCROSSFOLD=CROSSFOLDON\r\n"
                               "@PJL DEFAULT OUTPUTTRAY=TRAY1\r\n"
                               "@PJL DEFAULT FINISHMARGINS=MARGINSOFF\r\n"
                               "@PJL DEFAULT FINISHSIZE=STANDARD\r\n"
                               "@PJL DEFAULT FINISHROTATE=OFF\r\n"
                               "@PJL DEFAULT FINISHCORNER=OFF\r\n"
                               "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    EXPECT_EQ(header, job.substr(0, header.size()));
    EXPECT_NE(std::string::npos, r.out.find("\"Plan\"")) << r.out;
}

TEST_F(KvpsPrintTest, WithoutDriverOutputControlTheJobIsThePostScript)
{
    ASSERT_EQ(0, Run({"printer", "add", "M", "--model", "merrow"}).code);
    Result r = Run({"print", "M", kSample});
    ASSERT_EQ(0, r.code) << r.err;
    size_t at = r.out.find("Spool file: ");
    ASSERT_NE(std::string::npos, at) << r.out;
    std::string path = r.out.substr(at + 12, r.out.find('\n', at) - at - 12);
    std::string job = ReadFile(path);
    EXPECT_EQ(0u, job.rfind("%!PS-Adobe-3.0", 0)) << path;
    EXPECT_EQ(std::string::npos, job.find(kExit));
}

TEST_F(KvpsPrintTest, TwoUpPortraitTurnsEveryNewSheet)
{
    ASSERT_EQ(0, Run({"printer", "add", "O", "--model", "oskel"}).code);
    Result r = Run({"print", "O", kSample, "-o", Out("o.prn"), "--option", "%PagePerSheet=2", "--orientation",
                    "portrait"});
    ASSERT_EQ(0, r.code) << r.err;
    std::string job = ReadFile(Out("o.prn"));
    size_t count = 0;
    for (size_t at = job.find("%-OEMPluginInsertBegin\r\ngrestore"); at != std::string::npos;
         at = job.find("%-OEMPluginInsertBegin\r\ngrestore", at + 1))
        ++count;
    EXPECT_EQ(2u, count);  // pages 1 and 3 of the three
}

TEST_F(KvpsPrintTest, SecurePrintWithTheUsersCredentials)
{
    ASSERT_EQ(0, Run({"printer", "add", "S", "--model", "tavrin"}).code);
    // The secure print function in use, print speed priority off.
    ASSERT_EQ(0, Run({"printer", "data", "S", "set", "OEMDisablePSFeatures=dword:2"}).code);
    Result r = Run({"print", "S", kSample, "-o", Out("s.prn"), "--document", "Site plan", "--set", "SecurePrint=1",
                    "--set", "OutputControlByDriver=1",
                    "--user", "yamada", "--pin", "2468"});
    ASSERT_EQ(0, r.code) << r.err;
    // The printer asks for encoded PINs: the stored form goes out.
    const std::string header = std::string(kExit) +
                               "@PJL\r\n"
                               "@PJL SET HOLD=STORE\r\n"
                               "@PJL SET HOLDTYPE=PRIVATE\r\n"
                               "@PJL SET HOLDENCRYPTKEY=\"XEVMWg==\"\r\n"
                               "@PJL SET USERNAME=\"yamada\"\r\n"
                               "@PJL SET JOBNAME=\"Site plan\"\r\n"
                               "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
    std::string job = ReadFile(Out("s.prn"));
    EXPECT_EQ(header, job.substr(0, header.size()));

    ASSERT_EQ(0, Run({"printer", "add", "B", "--model", "merrow"}).code);
    r = Run({"print", "B", kSample, "--user", "yamada", "--pin", "2468"});
    EXPECT_EQ(2, r.code);
    EXPECT_NE(std::string::npos, r.err.find("line A")) << r.err;
}

TEST_F(KvpsPrintTest, RefusedJobExitsWithItsReason)
{
    ASSERT_EQ(0, Run({"printer", "add", "S", "--model", "tavrin"}).code);
    // Print speed priority on, and no user name configured for the printer.
    ASSERT_EQ(0, Run({"printer", "data", "S", "set", "OEMDisablePSFeatures=dword:3"}).code);
    Result r = Run({"print", "S", kSample, "-o", Out("s.prn"), "--set", "SecurePrint=1"});
    EXPECT_EQ(1, r.code);
    EXPECT_NE(std::string::npos, r.err.find("EnablePDEV")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Out("s.prn")));
}

TEST_F(KvpsPrintTest, BadPrintArguments)
{
    ASSERT_EQ(0, Run({"printer", "add", "B", "--model", "pellin"}).code);
    const struct {
        std::vector<std::string> args;
        int code;
        const char *message;
    } kCases[] = {
        {{"print", "B", kSample, "--copies", "0"}, 2, "--copies"},
        {{"print", "B", kSample, "--copies", "many"}, 2, "--copies"},
        {{"print", "B", kSample, "--orientation", "sideways"}, 2, "--orientation"},
        {{"print", "B", kSample, "--set", "NoSuchField=1"}, 2, "NoSuchField"},
        {{"print", "B", kSample, "--set", "FoldMode=huge"}, 2, "FoldMode"},
        {{"print", "B", kSample, "--set", "SecurePrint=1"}, 2, "line B"},
        {{"print", "B", kSample, "--option", "PageSize=Postcard"}, 2, "Postcard"},
        {{"print", "B", kSample, "--option", "Nope=1"}, 2, "Nope"},
        {{"print", "B", kSample, "--bogus"}, 2, "--bogus"},
        {{"print", "B", kSample, "extra"}, 2, "usage"},
        {{"print", "B", Out("missing.ps")}, 1, "cannot read"},
        {{"print", "Nobody", kSample}, 1, "no printer"},
    };
    for (const auto &c : kCases) {
        Result r = Run(c.args);
        std::string where;
        for (const std::string &a : c.args) where += a + " ";
        EXPECT_EQ(c.code, r.code) << where << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << where << r.err;
    }
}

TEST_F(KvpsPrintTest, DebugLevelOneLogsTheRenderPlugInInTheTemporaryDirectory)
{
    ASSERT_EQ(0, Run({"printer", "add", "L", "--model", "tavrin"}).code);
    ASSERT_EQ(0, Run({"reg", "add", "HKLM\\Software\\Korvane\\KV PostScript Printer Driver", "/v", "DebugLevel",
                      "/t", "REG_DWORD", "/d", "1"})
                     .code);
    ASSERT_EQ(0, Run({"print", "L", kSample, "-o", Out("l.prn")}).code);
    std::string log = ReadFile(dir_ / "tmp" / "kvpsctvr.dll.log");
    EXPECT_NE(std::string::npos, log.find("KVPS[NOTICE]: rfpsprocserver(")) << log;
    EXPECT_NE(std::string::npos, log.find("PageCount: cLogical(3), cPhysical(3), cNup(1)")) << log;
}

TEST_F(KvpsPrintTest, DemoPrintsOnEveryModelSet)
{
    Result r = Run({"demo"});
    ASSERT_EQ(0, r.code) << r.err << r.out;
    for (const char *name : {"Demo Oskel", "Demo Tavrin", "Demo Merrow", "Demo Pellin"})
        EXPECT_NE(std::string::npos, r.out.find(std::string("== ") + name)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("@PJL SET HOLD=STORE")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("@PL>PostScript")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(state_) / "demo-output" / "Demo-Tavrin.prn"));
}

}  // namespace
