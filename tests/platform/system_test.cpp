#include <gtest/gtest.h>

#include "kvp/system.h"
#include "kvp/win32.h"

TEST(System, ResetGivesDefaults)
{
    EXPECT_STREQ("", kvp::SystemStateDir());
    EXPECT_EQ(932u, kvp::SystemAnsiCodePage());
    kvp::SystemSetAnsiCodePage(1252);
    kvp::SystemReset();
    EXPECT_EQ(932u, kvp::SystemAnsiCodePage());
}

TEST(System, FaultsAreConsumedOneByOne)
{
    kvp::SystemFailNext(kvp::Fault::Registry, 2);
    EXPECT_TRUE(kvp::SystemTakeFault(kvp::Fault::Registry));
    EXPECT_TRUE(kvp::SystemTakeFault(kvp::Fault::Registry));
    EXPECT_FALSE(kvp::SystemTakeFault(kvp::Fault::Registry));
    EXPECT_FALSE(kvp::SystemTakeFault(kvp::Fault::Allocation));
}
