// The host simulator's PPD model and option state answer as the host's
// helper interfaces do.
#include <gtest/gtest.h>

#include <cstring>

#include "kvhost/ppdmodel.h"

namespace {

const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n"
    "*Product: \"(Vastrelo 1180 PS)\"\n"
    "*OpenUI *PageSize/Page Size: PickOne\n"
    "*DefaultPageSize: A1\n"
    "*PageSize A1/A1: \"<</PageSize [1684 2384]>>\n setpagedevice\"\n"
    "*PageSize KVSA1/Special A1: \"<</PageSize [1772 2494]>> setpagedevice\"\n"
    "*CloseUI: *PageSize\n"
    "*OpenUI *InputSlot/Paper Source: PickOne\n"
    "*DefaultInputSlot: Auto\n"
    "*InputSlot Auto/Auto: \"\"\n"
    "*InputSlot Roll1/Roll 1: \"\"\n"
    "*CloseUI: *InputSlot\n"
    "*CustomPageSize True: \"pop pop pop\"\n";

class HostPpdModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(model.LoadText(kPpd, &error)) << error;
        model.AddHostFeatures();
    }
    kvhost::PpdModel model;
};

TEST_F(HostPpdModel, ReadsFeaturesDefaultsAndProduct)
{
    EXPECT_EQ("(Vastrelo 1180 PS)", model.Value("Product"));
    const kvhost::PpdFeature *size = model.Find("PageSize");
    ASSERT_NE(nullptr, size);
    EXPECT_EQ("A1", size->defaultOption);
    ASSERT_EQ(2u, size->options.size());  // the multi-line invocation is no option
    EXPECT_EQ("KVSA1", size->options[1].keyword);
    EXPECT_TRUE(model.HasCustomPageSize());
    ASSERT_NE(nullptr, model.Find("%PagePerSheet"));
}

TEST_F(HostPpdModel, GetOptionsAnswersRequestedPairsAndSkipsUnknown)
{
    kvhost::OptionState state(model);
    ASSERT_TRUE(state.Set("InputSlot", "Roll1"));
    const char request[] = "InputSlot\0NoSuchFeature\0%PagePerSheet\0";
    char reply[64];
    DWORD needed = 0;
    ASSERT_EQ(S_OK, state.GetOptions(request, sizeof(request), reply, sizeof(reply), &needed));
    const char expected[] = "InputSlot\0Roll1\0%PagePerSheet\0" "1\0";
    ASSERT_EQ(sizeof(expected), needed);
    EXPECT_EQ(0, std::memcmp(expected, reply, needed));
}

TEST_F(HostPpdModel, GetOptionsReportsNeededSizeWhenReplyTooSmall)
{
    kvhost::OptionState state(model);
    const char request[] = "PageSize\0";
    char reply[4];
    DWORD needed = 0;
    EXPECT_EQ(E_OUTOFMEMORY, state.GetOptions(request, sizeof(request), reply, sizeof(reply), &needed));
    EXPECT_EQ(sizeof("PageSize\0A1\0"), needed);
    const char unknown[] = "Nope\0";
    EXPECT_EQ(E_INVALIDARG, state.GetOptions(unknown, sizeof(unknown), reply, sizeof(reply), &needed));
}

TEST_F(HostPpdModel, SetRefusesUnknownOptionsButTakesCustomPageSize)
{
    kvhost::OptionState state(model);
    EXPECT_FALSE(state.Set("PageSize", "A7"));
    EXPECT_EQ("A1", state.Get("PageSize"));
    EXPECT_TRUE(state.Set("PageSize", "CustomPageSize"));
    const char pairs[] = "%PagePerSheet\0Booklet\0InputSlot\0Tray9\0";
    EXPECT_EQ(E_INVALIDARG, state.SetOptions(pairs, sizeof(pairs)));
    EXPECT_EQ("Booklet", state.Get("%PagePerSheet"));
}

TEST_F(HostPpdModel, EnumOptionsListsKeywords)
{
    kvhost::OptionState state(model);
    char list[64];
    DWORD needed = 0;
    ASSERT_EQ(S_OK, state.EnumOptions("PageSize", list, sizeof(list), &needed));
    const char expected[] = "A1\0KVSA1\0";
    ASSERT_EQ(sizeof(expected), needed);
    EXPECT_EQ(0, std::memcmp(expected, list, needed));
}

TEST(HostPpdFiles, EveryShippedPpdLoads)
{
    for (const char *name : {"KV1140.PPD", "KV1180.PPD", "KV1162.PPD", "KV1165.PPD", "KV1157.PPD"}) {
        kvhost::PpdModel model;
        std::string error;
        ASSERT_TRUE(model.Load(std::string(KV_SOURCE_DIR) + "/packaging/" + name, &error)) << name << ": " << error;
        EXPECT_NE(nullptr, model.Find("InputSlot")) << name;
        EXPECT_NE(nullptr, model.Find("MediaType")) << name;
        EXPECT_EQ('(', model.Value("Product").front()) << name;
    }
}

}  // namespace
