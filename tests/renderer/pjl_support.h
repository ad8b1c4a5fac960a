// Shared set-up of the job header, property and procset tests: the module
// started as a plug-in is (private heap, log level), with its log in a
// directory of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "coremain.h"
#include "kvp/system.h"

namespace pjltest {

class AttachedModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        tempDir_ = std::filesystem::temp_directory_path() /
                   ("kv-pjl-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(tempDir_);
        std::filesystem::create_directories(tempDir_);
        kvp::SystemSetTempDir(tempDir_.c_str());
        SetDebugLevel(LOG_INFO);
        ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr)));
    }

    void TearDown() override
    {
        ModuleDetach();
        std::filesystem::remove_all(tempDir_);
    }

    static void SetDebugLevel(DWORD level)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, CORE_DEFAULT_REGISTRY_KEY, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"DebugLevel", 0, REG_DWORD,
                                                reinterpret_cast<const BYTE *>(&level), sizeof(level)));
        RegCloseKey(key);
    }

    // Everything the module logged so far.
    std::string LogText() const
    {
        std::string all;
        for (const auto &entry : std::filesystem::directory_iterator(tempDir_)) {
            if (entry.path().extension() != ".log") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            all += text.str();
        }
        return all;
    }

    std::filesystem::path tempDir_;
};

}  // namespace pjltest
