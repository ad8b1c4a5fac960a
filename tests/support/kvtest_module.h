// The test program attached as the driver's module, as a plug-in is when
// the host loads it: private heap, and a log that takes every level in a
// scratch directory of the test's own. For the test binaries that link the
// core (coremain.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "coremain.h"
#include "kvtest_log.h"

namespace kvtest {

class AttachedModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch_.Make("kvmod"));
        ASSERT_NO_FATAL_FAILURE(SetDebugLevel(LOG_INFO));
        ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr)));
    }

    void TearDown() override { ModuleDetach(); }

    // The core reads it when it attaches.
    static void SetDebugLevel(DWORD level) { SetDriverDword(TEXT("DebugLevel"), level); }

    // Everything the module logged so far.
    std::string LogText() const { return kvtest::LogText(scratch_.path()); }
    void ClearLog() const { kvtest::ClearLog(scratch_.path()); }

    ScratchDir scratch_;
};

}  // namespace kvtest
