// The rendering function base: binding to the services, the output
// helpers, and the feature-option lookup with its fallback to the
// printer's sticky settings.
#include "render_support.h"

namespace {

using namespace rendertest;

class RenderingFunctionTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        CallLog::entries.clear();
        InitJobInfo(&job_);
        printer_ = AddPrinter("Functions", "LPT1:", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_RAW_ONLY);
        device_.dwSize = sizeof(device_);
        services_.printer = printer_;
        services_.devmode = &devmode_;
        services_.jobInfo = &job_;
        services_.device = &device_;
        services_.core = &core_;
        core_.options = {{"%PagePerSheet", "Booklet"}, {"%CtrlDAfter", "False"}, {"InputSlot", "Roll1"}};
        function_ = new RecordingFunction("fn");
    }

    void TearDown() override
    {
        delete function_;
        RenderTest::TearDown();
    }

    // The host's sticky settings of the printer.
    void SetSticky(const std::string &records, DWORD claimedSize = 0)
    {
        SetDword(printer_, "FeatureKeywordSize",
                 claimedSize != 0 ? claimedSize : static_cast<DWORD>(records.size()));
        SetData(printer_, "FeatureKeyword", REG_BINARY, records.data(), static_cast<DWORD>(records.size()));
    }

    HANDLE printer_ = nullptr;
    JobInfo job_;
    DEVMODEW devmode_ = {};
    DEVOBJ device_ = {};
    FakeCore core_;
    FakeServices services_;
    RecordingFunction *function_ = nullptr;
};

TEST_F(RenderingFunctionTest, BindTakesTheServicesFactsAndOneHelperReference)
{
    services_.version = 7;
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    EXPECT_TRUE(function_->IsInitialized());
    EXPECT_EQ(7, function_->ServicesVersion());
    EXPECT_EQ(printer_, function_->Printer());
    EXPECT_EQ(&devmode_, function_->PublicDevmode());
    EXPECT_EQ(&job_, function_->Job());
    EXPECT_EQ(&device_, function_->Device());
    EXPECT_EQ(&core_, function_->CoreHelper());
    EXPECT_EQ(1, core_.refs);
    // Binding again replaces the helper without a second reference.
    ASSERT_EQ(S_OK, function_->Bind(&services_));
    EXPECT_EQ(1, core_.refs);
    delete function_;
    function_ = nullptr;
    EXPECT_EQ(0, core_.refs);
}

TEST_F(RenderingFunctionTest, BindWithoutTheJobsFactsFails)
{
    struct Case {
        const char *missing;
        HANDLE printer;
        PDEVMODEW devmode;
        JobInfo *job;
    } cases[] = {
        {"printer", nullptr, &devmode_, &job_},
        {"DEVMODEW", printer_, nullptr, &job_},
        {"job information", printer_, &devmode_, nullptr},
    };
    for (const Case &c : cases) {
        services_.printer = c.printer;
        services_.devmode = c.devmode;
        services_.jobInfo = c.job;
        ClearLog();
        EXPECT_EQ(E_FAIL, function_->Initialize(&services_)) << c.missing;
        EXPECT_FALSE(function_->IsInitialized()) << c.missing;
        EXPECT_EQ(nullptr, function_->Services()) << c.missing;
        EXPECT_EQ(nullptr, function_->Printer()) << c.missing;
        EXPECT_NE(std::string::npos, LogText().find("KVPS[WARN]")) << c.missing;
        EXPECT_NE(std::string::npos, LogText().find("Function initialization failed.")) << c.missing;
    }
    EXPECT_EQ(E_INVALIDARG, function_->Initialize(nullptr));
}

TEST_F(RenderingFunctionTest, BindWithoutAHelperStillSucceeds)
{
    services_.core = nullptr;
    EXPECT_EQ(S_OK, function_->Initialize(&services_));
    EXPECT_EQ(nullptr, function_->CoreHelper());
}

TEST_F(RenderingFunctionTest, SecondInitializeWarnsAndRebinds)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    ClearLog();
    EXPECT_EQ(S_OK, function_->Initialize(&services_));
    EXPECT_NE(std::string::npos, LogText().find("Function is already initialized."));
}

TEST_F(RenderingFunctionTest, WriteTextAndSerializeStateGoThroughTheServices)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    EXPECT_TRUE(function_->WriteText("gsave\r\n", 0));
    EXPECT_TRUE(function_->WriteText("grestore-and-more", 8));
    EXPECT_EQ("gsave\r\ngrestore", services_.written);
    EXPECT_TRUE(function_->SerializeState("\x01\x00", 2));
    ASSERT_EQ(1u, services_.properties.size());
    EXPECT_EQ("fn", services_.properties[0].owner);
    EXPECT_EQ("__Serialize__", services_.properties[0].name);
    EXPECT_EQ(1u, services_.properties[0].type);
    EXPECT_EQ(Bytes({1, 0}), services_.properties[0].data);
    services_.propertyResult = E_FAIL;
    EXPECT_FALSE(function_->SerializeState("x", 1));
}

TEST_F(RenderingFunctionTest, FeatureKeywordsUpToSixtyOneCharacters)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    std::string longest(61, 'K');
    core_.options[longest] = "Yes";
    CHAR option[64] = {};
    EXPECT_TRUE(function_->GetFeatureOption(longest.c_str(), option, sizeof(option)));
    EXPECT_STREQ("Yes", option);
    std::string tooLong(62, 'K');
    core_.options[tooLong] = "Yes";
    core_.calls.clear();
    EXPECT_FALSE(function_->GetFeatureOption(tooLong.c_str(), option, sizeof(option)));
    EXPECT_NE(std::string::npos, LogText().find("KVPS[ERROR]"));
    EXPECT_NE(std::string::npos, LogText().find("pszFeature length too long."));
    EXPECT_TRUE(core_.calls.empty());
}

TEST_F(RenderingFunctionTest, OptionMustFitAndBeTheFeaturesOwn)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    CHAR option[6] = {};
    EXPECT_TRUE(function_->GetFeatureOption("InputSlot", option, sizeof(option)));
    EXPECT_STREQ("Roll1", option);
    EXPECT_FALSE(function_->GetFeatureOption("InputSlot", option, 5));
    core_.answerAs["InputSlot"] = "OutputBin";
    EXPECT_FALSE(function_->GetFeatureOption("InputSlot", option, sizeof(option)));
    EXPECT_FALSE(function_->GetFeatureOption("Unknown", option, sizeof(option)));
}

TEST_F(RenderingFunctionTest, FlagIsOffOnlyForExactlyFalse)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    struct Case {
        const char *option;
        BOOL flag;
    } cases[] = {{"False", FALSE}, {"false", TRUE}, {"FALSE", TRUE}, {"True", TRUE}, {"", TRUE}, {"False ", TRUE}};
    for (const Case &c : cases) {
        core_.options["%CtrlDAfter"] = c.option;
        BOOL flag = 2;
        ASSERT_TRUE(function_->GetFeatureFlag("%CtrlDAfter", &flag)) << c.option;
        EXPECT_EQ(c.flag, flag) << c.option;
    }
    BOOL flag = 2;
    EXPECT_FALSE(function_->GetFeatureFlag("Missing", &flag));
    EXPECT_EQ(2, flag);
}

TEST_F(RenderingFunctionTest, NumbersAndTheBookletLayout)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    struct Case {
        const char *feature;
        const char *option;
        LONG number;
    } cases[] = {
        // The printer of this test is RAW-only.
        {"%PagePerSheet", "Booklet", 1},
        {"%PagePerSheet", "9", 9},
        {"%PagePerSheet", "16up", 16},
        {"%PagePerSheet", "none", 0},
        {"Copies", "Booklet", 0},
        {"Copies", "12", 12},
    };
    for (const Case &c : cases) {
        core_.options[c.feature] = c.option;
        LONG number = -1;
        ASSERT_TRUE(function_->GetFeatureNumber(c.feature, &number)) << c.feature << " " << c.option;
        EXPECT_EQ(c.number, number) << c.feature << " " << c.option;
    }
}

TEST_F(RenderingFunctionTest, BookletIsTwoPagesOnASpooledPrinter)
{
    HANDLE spooled = AddPrinter("Spooled");
    services_.printer = spooled;
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    LONG number = 0;
    ASSERT_TRUE(function_->GetFeatureNumber("%PagePerSheet", &number));
    EXPECT_EQ(2, number);
}

TEST_F(RenderingFunctionTest, StickySettingsAnswerWhenTheHostCannot)
{
    core_.getOptionsResult = E_FAIL;
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    SetSticky(std::string("PageSize\0A0\0\r\n", 14) + std::string("InputSlot\0Roll2\0 trailing bytes\n", 32) +
              std::string("Empty\0\0\n", 8) + std::string("\0Hidden\0X\0\n", 11));
    CHAR option[64] = {};
    EXPECT_TRUE(function_->GetFeatureOption("InputSlot", option, sizeof(option)));
    EXPECT_STREQ("Roll2", option);
    EXPECT_TRUE(function_->GetFeatureOption("Empty", option, sizeof(option)));
    EXPECT_STREQ("", option);
    // A record that begins with NUL ends the settings.
    EXPECT_FALSE(function_->GetFeatureOption("Hidden", option, sizeof(option)));

    std::string request = MultiString({"Missing", "PageSize", "InputSlot"});
    CHAR reply[64];
    std::memset(reply, 'x', sizeof(reply));
    ASSERT_TRUE(function_->GetFeatureOptions(request.data(), static_cast<DWORD>(request.size()), reply,
                                             sizeof(reply)));
    EXPECT_EQ(std::string("PageSize\0A0\0InputSlot\0Roll2\0\0", 29), std::string(reply, 29));
    // Pairs that would not fit with the closing NUL are left out.
    std::memset(reply, 'x', sizeof(reply));
    ASSERT_TRUE(function_->GetFeatureOptions(request.data(), static_cast<DWORD>(request.size()), reply, 13));
    EXPECT_EQ(std::string("PageSize\0A0\0\0", 13), std::string(reply, 13));
    EXPECT_FALSE(function_->GetFeatureOptions(request.data(), static_cast<DWORD>(request.size()), reply, 12));
}

TEST_F(RenderingFunctionTest, StickySettingsNeedTheirSizeAndBytes)
{
    // Without device and helper the lookup goes to the printer directly.
    services_.device = nullptr;
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    CHAR option[64] = {};
    EXPECT_FALSE(function_->GetFeatureOption("PageSize", option, sizeof(option)));

    std::string records("PageSize\0A2\0\n", 13);
    struct Case {
        const char *name;
        DWORD claimed;
        bool found;
    } cases[] = {
        {"exact size", 13, true},
        // The value is longer than the size says: the spooler refuses it.
        {"size too small", 5, false},
        // A size beyond what is stored reads what is there.
        {"size too large", 100, true},
        {"absurd size", 0xFFFFFFF0, false},
    };
    for (const Case &c : cases) {
        SetSticky(records, c.claimed);
        EXPECT_EQ(c.found, function_->GetFeatureOption("PageSize", option, sizeof(option)) != 0) << c.name;
    }
    // A size of another width is no size.
    SetData(printer_, "FeatureKeywordSize", REG_BINARY, "\x0d\x00", 2);
    EXPECT_FALSE(function_->GetFeatureOption("PageSize", option, sizeof(option)));
}

TEST_F(RenderingFunctionTest, StickySettingsCutShortReadNothingPastThem)
{
    core_.getOptionsResult = E_FAIL;
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    const std::string cuts[] = {
        std::string("PageSize", 8),
        std::string("PageSize\0A3", 11),
        std::string("Other\0B\0 no line end", 20),
    };
    for (const std::string &records : cuts) {
        SetSticky(records);
        CHAR option[64] = {};
        EXPECT_FALSE(function_->GetFeatureOption("PageSize", option, sizeof(option))) << records.size();
    }
}

TEST_F(RenderingFunctionTest, OnPropertyRoutesOnlyTheSerializeName)
{
    ASSERT_EQ(S_OK, function_->Initialize(&services_));
    EXPECT_EQ(S_OK, function_->OnProperty("__Serialize__", "ab", 2));
    EXPECT_EQ(std::vector<std::string>({"fn Initialize", "fn Bind", "fn Deserialize ab"}), CallLog::entries);
    EXPECT_EQ(S_FALSE, function_->OnProperty("__JobInfo__", "ab", 2));
    EXPECT_EQ(E_INVALIDARG, function_->OnProperty(nullptr, "ab", 2));
    EXPECT_EQ(E_INVALIDARG, function_->OnProperty("__Serialize__", nullptr, 2));
    EXPECT_EQ(E_INVALIDARG, function_->OnProperty("__Serialize__", "ab", 0));
    EXPECT_EQ(E_NOTIMPL, function_->Reserved());
}

}  // namespace
