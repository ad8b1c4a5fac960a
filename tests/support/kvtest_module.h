// The test program as the driver's module, with its log in a scratch
// directory of the test's own. For the test binaries that link the core
// (coremain.h).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "coremain.h"
#include "kvtest_log.h"

namespace kvtest {

// Attached when the test says so: after it has set the tuning values that
// the attach reads.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.Make("kvmod")); }

    void TearDown() override
    {
        if (attached_) Detach();
    }

    void Attach()
    {
        ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr)));
        attached_ = true;
    }

    void Detach()
    {
        ModuleDetach();
        attached_ = false;
    }

    // The core reads it when it attaches.
    static void SetDebugLevel(DWORD level) { SetDriverDword(TEXT("DebugLevel"), level); }

    std::filesystem::path LogPath() const { return kvtest::LogPath(scratch_.path()); }
    // Everything the module logged so far.
    std::string LogText() const { return kvtest::LogText(scratch_.path()); }
    // The lines of the log, each with its CR LF.
    std::vector<std::string> LogLines() const { return kvtest::LogLines(scratch_.path()); }
    void ClearLog() const { kvtest::ClearLog(scratch_.path()); }

    ScratchDir scratch_;
    bool attached_ = false;
};

// Attached as a plug-in is when the host loads it: private heap, and a log
// that takes every level.
class AttachedModuleTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ModuleTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(SetDebugLevel(LOG_INFO));
        Attach();
    }

    // Whatever the test did: detaching twice is harmless.
    void TearDown() override { Detach(); }
};

}  // namespace kvtest
