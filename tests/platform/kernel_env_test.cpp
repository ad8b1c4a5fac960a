// Conformance tests of the temporary path, local time, tick count,
// environment variables and the computer and user names.
#include <gtest/gtest.h>

#include <string>

#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> WString;

TEST(TempPath, EndsWithOneSeparator)
{
    const char *dirs[] = {"/tmp/kv-temp-test", "/tmp/kv-temp-test/"};
    for (const char *d : dirs) {
        kvp::SystemSetTempDir(d);
        WCHAR buf[MAX_PATH];
        EXPECT_EQ(18u, GetTempPathW(MAX_PATH, buf)) << d;
        EXPECT_EQ(WString(TEXT("/tmp/kv-temp-test/")), WString(buf)) << d;
    }
}

TEST(TempPath, ShortBufferGetsTheNeededSizeWithTheTerminator)
{
    kvp::SystemSetTempDir("/tmp/kv-temp-test");  // 18 characters with the separator
    struct {
        DWORD size;
        DWORD answer;
        bool filled;
    } cases[] = {
        {0, 19, false}, {1, 19, false}, {18, 19, false}, {19, 18, true}, {40, 18, true},
    };
    for (const auto &c : cases) {
        WCHAR buf[48];
        for (WCHAR &w : buf) w = u'#';
        EXPECT_EQ(c.answer, GetTempPathW(c.size, c.size ? buf : nullptr)) << "size " << c.size;
        if (c.filled) {
            EXPECT_EQ(WString(TEXT("/tmp/kv-temp-test/")), WString(buf)) << "size " << c.size;
        } else {
            // Too small: nothing of the path is left in the buffer.
            for (DWORD i = 0; i < c.size; ++i) EXPECT_EQ(0, buf[i]) << "size " << c.size << " at " << i;
        }
        EXPECT_EQ(u'#', buf[c.filled ? 19 : c.size]) << "size " << c.size << ": wrote past its answer";
    }
    EXPECT_EQ(19u, GetTempPathW(0, nullptr));
}

TEST(LocalTime, FollowsTheFixedClockOfTheSystem)
{
    SYSTEMTIME fixed = {2024, 2, 4, 29, 23, 59, 58, 123};
    kvp::SystemSetLocalTime(&fixed);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(2024, now.wYear);
    EXPECT_EQ(2, now.wMonth);
    EXPECT_EQ(4, now.wDayOfWeek);
    EXPECT_EQ(29, now.wDay);
    EXPECT_EQ(23, now.wHour);
    EXPECT_EQ(59, now.wMinute);
    EXPECT_EQ(58, now.wSecond);
    EXPECT_EQ(123, now.wMilliseconds);
}

TEST(LocalTime, RealClockGivesAPlausibleDate)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_GE(now.wMonth, 1);
    EXPECT_LE(now.wMonth, 12);
    EXPECT_GE(now.wDay, 1);
    EXPECT_LE(now.wDay, 31);
    EXPECT_LE(now.wDayOfWeek, 6);
    EXPECT_LE(now.wHour, 23);
    EXPECT_LE(now.wSecond, 59);
    EXPECT_LE(now.wMilliseconds, 999);
}

TEST(TickCount, AdvancesAcrossSleep)
{
#ifdef KV_NATIVE_ONLY
    KV_NATIVE_ONLY("the Windows tick count moves in 10-16 ms steps, so 30 ms of sleep may show as 16");
#endif
    DWORD before = GetTickCount();
    Sleep(30);
    EXPECT_GE(GetTickCount() - before, 25u);
}

TEST(ComputerName, SizeExcludesTheTerminatorOnSuccess)
{
    kvp::SystemSetMachineName("KVHOST");
    WCHAR buf[32];
    DWORD size = 32;
    EXPECT_TRUE(GetComputerNameW(buf, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(WString(TEXT("KVHOST")), WString(buf));

    for (DWORD small : {0u, 5u, 6u}) {
        size = small;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetComputerNameW(buf, &size)) << small;
        EXPECT_EQ(static_cast<DWORD>(ERROR_BUFFER_OVERFLOW), GetLastError()) << small;
        EXPECT_EQ(7u, size) << small;
    }
}

TEST(UserName, SizeIncludesTheTerminator)
{
    kvp::SystemSetUserName("\xE5\xB1\xB1\xE7\x94\xB0");  // two kanji
    WCHAR buf[32];
    DWORD size = 32;
    EXPECT_TRUE(GetUserNameW(buf, &size));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(WString(u"\u5C71\u7530"), WString(buf));

    size = 2;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetUserNameW(buf, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(3u, size);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetUserNameW(buf, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(Environment, SetGetAndRemove)
{
    const WCHAR *name = TEXT("KV_ENV_TEST_VALUE");
    ASSERT_TRUE(SetEnvironmentVariableW(name, TEXT("abc")));
    WCHAR buf[8];
    EXPECT_EQ(3u, GetEnvironmentVariableW(name, buf, 8));
    EXPECT_EQ(WString(TEXT("abc")), WString(buf));
    EXPECT_EQ(3u, GetEnvironmentVariableW(TEXT("kv_env_test_value"), buf, 8)) << "names ignore case";
    EXPECT_EQ(4u, GetEnvironmentVariableW(name, buf, 3)) << "too small: the size with the terminator";
    EXPECT_EQ(4u, GetEnvironmentVariableW(name, nullptr, 0));

    ASSERT_TRUE(SetEnvironmentVariableW(name, nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetEnvironmentVariableW(name, buf, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetEnvironmentVariableW(TEXT("KV=BAD"), TEXT("x")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(ProcessIds, AreStableAndNonZero)
{
    EXPECT_NE(0u, GetCurrentProcessId());
    EXPECT_EQ(GetCurrentProcessId(), GetCurrentProcessId());
    EXPECT_NE(0u, GetCurrentThreadId());
}

}  // namespace
