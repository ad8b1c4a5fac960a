// The persisted system: the registry and the spooler kept in a state
// directory outlive a system instance and are shared with other processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kvp/spoolctl.h"
#include "kvp/system.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> W;

class PersistTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = std::string(kvp::SystemTempDir()) + "/kvpersist.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(&tmpl[0]));
        root_ = tmpl;
        state_ = root_ + "/state";
    }

    void TearDown() override
    {
        kvp::SystemReset();  // closes the database before its files go
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    static LONG SetDword(HKEY root, const WCHAR *path, const WCHAR *name, DWORD value)
    {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), sizeof value);
        RegCloseKey(key);
        return rc;
    }

    // The value, or ~0u when it cannot be read.
    static DWORD GetDword(HKEY root, const WCHAR *path, const WCHAR *name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return ~0u;
        DWORD value = 0, size = sizeof value;
        LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? value : ~0u;
    }

    static std::string FileText(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string root_;
    std::string state_;
};

const WCHAR kKey[] = u"SOFTWARE\\KvPersist";

W Digits(int n)
{
    std::string s = std::to_string(n);
    return W(s.begin(), s.end());
}

kvp::PrinterSpec Printer(const char *name)
{
    kvp::PrinterSpec spec;
    spec.name = name;
    spec.port = "FILE:";
    spec.driverName = "KV PS Oskel";
    spec.dataFile = "/opt/kv/KVOS.PPD";
    spec.configFile = "/opt/kv/ps5ui.dll";
    return spec;
}

TEST_F(PersistTest, ValueSurvivesIntoTheNextSystemOnTheSameDirectory)
{
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, kKey, u"Level", 3));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, kKey, u"Mine", 4));
    struct stat st;
    EXPECT_EQ(0, stat((state_ + "/registry.db").c_str(), &st));

    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    EXPECT_EQ(3u, GetDword(HKEY_LOCAL_MACHINE, u"software\\kvpersist", u"LEVEL"));
    EXPECT_EQ(4u, GetDword(HKEY_CURRENT_USER, kKey, u"Mine"));

    // An in-memory system knows nothing of it; the directory still does.
    kvp::SystemReset();
    EXPECT_EQ(~0u, GetDword(HKEY_LOCAL_MACHINE, kKey, u"Level"));
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    EXPECT_EQ(3u, GetDword(HKEY_LOCAL_MACHINE, kKey, u"Level"));
}

TEST_F(PersistTest, CaseRulesHoldInTheDatabase)
{
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\u00C9cole\\Sub", u"Value", 1));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, u"software\\\u00E9COLE\\sub", u"VALUE", 2));
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    EXPECT_EQ(2u, GetDword(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\u00C9COLE\\SUB", u"value"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\u00E9cole", 0, KEY_READ, &key));
    WCHAR name[16];
    DWORD size = 16;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(W(u"Sub"), W(name));
    size = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(PersistTest, StateDirectoryIsMadeOnFirstUse)
{
    const std::string deep = state_ + "/a/b";
    ASSERT_TRUE(kvp::SystemOpenState(deep.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, kKey, u"V", 1));
    struct stat st;
    EXPECT_EQ(0, stat((deep + "/registry.db").c_str(), &st));
}

TEST_F(PersistTest, FailedWriteLeavesTheStoredValue)
{
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, kKey, u"V", 1));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));
    DWORD two = 2;
    kvp::SystemFailNext(kvp::Fault::Registry);
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&two), 4));
    RegCloseKey(key);
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    EXPECT_EQ(1u, GetDword(HKEY_LOCAL_MACHINE, kKey, u"V"));
}

// The child process opens the state directory only after the parent
// forked it, so the two share no database connection, as two separate
// processes would not.
TEST_F(PersistTest, AnotherProcessSeesWritesAndDeletions)
{
    int toChild[2], toParent[2];
    ASSERT_EQ(0, pipe(toChild));
    ASSERT_EQ(0, pipe(toParent));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char c;
        if (read(toChild[0], &c, 1) != 1) _exit(10);
        if (!kvp::SystemOpenState(state_.c_str())) _exit(11);
        if (GetDword(HKEY_LOCAL_MACHINE, kKey, u"FromParent") != 1) _exit(12);
        if (SetDword(HKEY_LOCAL_MACHINE, kKey, u"FromChild", 2) != ERROR_SUCCESS) _exit(13);
        if (RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvPersist\\Doomed") != ERROR_SUCCESS) _exit(14);
        kvp::SystemReset();
        _exit(write(toParent[1], "x", 1) == 1 ? 0 : 15);
    }
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    HKEY key = nullptr, doomed = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(key, u"Doomed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &doomed, nullptr));
    DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"FromParent", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
    ASSERT_EQ(1, write(toChild[1], "x", 1));
    char c;
    ASSERT_EQ(1, read(toParent[0], &c, 1));
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(0, WEXITSTATUS(status));

    // Read through the handles opened before the child wrote.
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, u"FromChild", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    EXPECT_EQ(2u, value);
    size = sizeof value;
    EXPECT_EQ(ERROR_KEY_DELETED,
              RegQueryValueExW(doomed, u"X", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size));
    RegCloseKey(doomed);
    RegCloseKey(key);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

TEST_F(PersistTest, ConcurrentProcessesLoseNoWrites)
{
    const int kEach = 40;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!kvp::SystemOpenState(state_.c_str())) _exit(10);
        for (int i = 0; i < kEach; ++i) {
            W name = u"child" + Digits(i);
            if (SetDword(HKEY_LOCAL_MACHINE, kKey, name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS) _exit(11);
        }
        kvp::SystemReset();
        _exit(0);
    }
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    for (int i = 0; i < kEach; ++i) {
        W name = u"parent" + Digits(i);
        ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_LOCAL_MACHINE, kKey, name.c_str(), static_cast<DWORD>(i)));
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(0, WEXITSTATUS(status));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));
    DWORD values = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(2 * kEach), values);
    RegCloseKey(key);
}

TEST_F(PersistTest, PrintersDataAndJobsSurvive)
{
    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    ASSERT_TRUE(kvp::AddPrinter(Printer("KV Oskel")));
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"KV Oskel"), &h, &all));
    DWORD jcl = 2;
    ASSERT_EQ(ERROR_SUCCESS, SetPrinterDataW(h, const_cast<LPWSTR>(u"OEMSupportJCL"), REG_DWORD,
                                             reinterpret_cast<BYTE *>(&jcl), sizeof jcl));
    DOC_INFO_1W doc = {const_cast<LPWSTR>(u"plan"), nullptr, nullptr};
    const DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&doc));
    ASSERT_EQ(1u, job);
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(h, const_cast<char *>("@PJL\r\n"), 6, &written));
    kvp::SystemFailNext(kvp::Fault::SpoolWrite);
    EXPECT_FALSE(WritePrinter(h, const_cast<char *>("lost"), 4, &written));
    ASSERT_TRUE(WritePrinter(h, const_cast<char *>("%!PS"), 4, &written));
    ASSERT_TRUE(EndDocPrinter(h));
    ASSERT_TRUE(ClosePrinter(h));
    EXPECT_EQ(state_ + "/spool/1.spl", kvp::JobSpoolPath(job));
    EXPECT_EQ("@PJL\r\n%!PS", FileText(kvp::JobSpoolPath(job)));

    ASSERT_TRUE(kvp::SystemOpenState(state_.c_str()));
    ASSERT_EQ(1u, kvp::ListPrinters().size());
    EXPECT_EQ("/opt/kv/KVOS.PPD", kvp::ListPrinters()[0].dataFile);
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"kv oskel"), &h, nullptr));
    DWORD value = 0, needed = 0;
    EXPECT_EQ(ERROR_SUCCESS, GetPrinterDataW(h, const_cast<LPWSTR>(u"OEMSupportJCL"), nullptr,
                                             reinterpret_cast<BYTE *>(&value), sizeof value, &needed));
    EXPECT_EQ(2u, value);
    EXPECT_EQ("@PJL\r\n%!PS", kvp::JobBytes(job));
    ASSERT_FALSE(GetJobW(h, job, 2, nullptr, 0, &needed));
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(GetJobW(h, job, 2, buf.data(), needed, &needed));
    const JOB_INFO_2W *info = reinterpret_cast<const JOB_INFO_2W *>(buf.data());
    EXPECT_EQ(W(u"plan"), W(info->pDocument));
    EXPECT_EQ(10u, info->Size);
    EXPECT_TRUE(info->Status & JOB_STATUS_COMPLETE);
    // The next job takes the next id of the directory's system.
    EXPECT_EQ(2u, StartDocPrinterW(h, 1, reinterpret_cast<BYTE *>(&doc)));
    EXPECT_TRUE(AbortPrinter(h));
    EXPECT_EQ(2u, kvp::LastJobId());
    ClosePrinter(h);

    ASSERT_TRUE(kvp::DeletePrinter("KV Oskel"));
    struct stat st;
    EXPECT_NE(0, stat((state_ + "/spool/1.spl").c_str(), &st));
}

}  // namespace
