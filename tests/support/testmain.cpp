// Test main: every test runs on a fresh in-memory emulated system.
#include <gtest/gtest.h>

#include "kvp/system.h"

namespace {
class FreshSystem : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { kvp::SystemReset(); }
};
}  // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSystem);
    return RUN_ALL_TESTS();
}
