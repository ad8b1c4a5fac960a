// The keyword adapter below the COM surface: what reaches the host and what
// comes back, for the argument sizes and prefixes the pages can meet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coremain.h"
#include "coreuiadapter.h"
#include "kvp/spoolctl.h"
#include "kvtest_printers.h"

namespace {

std::vector<std::string> Split(const char *data, size_t size)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (data != nullptr && i < size && data[i] != '\0') {
        size_t j = i;
        while (j < size && data[j] != '\0') ++j;
        out.emplace_back(data + i, j - i);
        i = j + 1;
    }
    return out;
}

// A host that records the keywords it is handed and answers a fixed list.
class FakeHost : public IPrintCoreUI2 {
public:
    std::vector<std::string> received;
    DWORD receivedSize = 0;
    int calls = 0;
    std::string reply;  // a multi-string without its closing NUL
    HRESULT result = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR feature, PVOID, DWORD, PDWORD, PDWORD) override
    {
        return Keyword(feature);
    }
    HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE, PCSTR feature, PCSTR) override
    {
        return Keyword(feature);
    }
    HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID, PVOID, DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetOptions(POEMUIOBJ, DWORD, PCSTR requested, DWORD size, PSTR out, DWORD outSize,
                                         PDWORD needed) override
    {
        ++calls;
        received = Split(requested, size);
        receivedSize = size;
        if (requested == nullptr) received = {"(null)"};
        return Answer(out, outSize, needed);
    }
    HRESULT STDMETHODCALLTYPE SetOptions(POEMUIOBJ, DWORD, PCSTR pairs, DWORD size, PDWORD) override
    {
        ++calls;
        received = Split(pairs, size);
        receivedSize = size;
        return result;
    }
    HRESULT STDMETHODCALLTYPE EnumConstrainedOptions(POEMUIOBJ, DWORD, PCSTR feature, PSTR out, DWORD size,
                                                     PDWORD needed) override
    {
        Keyword(feature);
        return Answer(out, size, needed);
    }
    HRESULT STDMETHODCALLTYPE WhyConstrained(POEMUIOBJ, DWORD, PCSTR feature, PCSTR option, PSTR out, DWORD size,
                                             PDWORD needed) override
    {
        Keyword(feature);
        received.push_back(option != nullptr ? option : "(null)");
        return Answer(out, size, needed);
    }
    HRESULT STDMETHODCALLTYPE GetGlobalAttribute(POEMUIOBJ, DWORD, PCSTR attribute, PDWORD, PBYTE, DWORD,
                                                 PDWORD) override
    {
        return Keyword(attribute);
    }
    HRESULT STDMETHODCALLTYPE GetFeatureAttribute(POEMUIOBJ, DWORD, PCSTR feature, PCSTR, PDWORD, PBYTE, DWORD,
                                                  PDWORD) override
    {
        return Keyword(feature);
    }
    HRESULT STDMETHODCALLTYPE GetOptionAttribute(POEMUIOBJ, DWORD, PCSTR feature, PCSTR option, PCSTR, PDWORD, PBYTE,
                                                 DWORD, PDWORD) override
    {
        Keyword(feature);
        received.push_back(option != nullptr ? option : "(null)");
        return result;
    }
    HRESULT STDMETHODCALLTYPE EnumFeatures(POEMUIOBJ, DWORD, PSTR out, DWORD size, PDWORD needed) override
    {
        ++calls;
        return Answer(out, size, needed);
    }
    HRESULT STDMETHODCALLTYPE EnumOptions(POEMUIOBJ, DWORD, PCSTR feature, PSTR out, DWORD size,
                                          PDWORD needed) override
    {
        Keyword(feature);
        return Answer(out, size, needed);
    }
    HRESULT STDMETHODCALLTYPE QuerySimulationSupport(HANDLE, DWORD, PBYTE, DWORD, PDWORD) override { return E_NOTIMPL; }

private:
    HRESULT Keyword(PCSTR keyword)
    {
        ++calls;
        received = {keyword != nullptr ? keyword : "(null)"};
        return result;
    }
    HRESULT Answer(PSTR out, DWORD size, PDWORD needed)
    {
        DWORD bytes = static_cast<DWORD>(reply.size() + 1);
        if (needed != nullptr) *needed = bytes;
        if (out == nullptr || size < bytes) return E_OUTOFMEMORY;
        memcpy(out, reply.c_str(), bytes);
        return result;
    }
};

class Adapter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ModuleAttach(GetModuleHandleW(nullptr))); }
    void TearDown() override
    {
        CoreUiAdapter::Destroy(adapter_);
        printers_.CloseAll();
        ModuleDetach();
    }

    // The adapter for a printer whose driver's data file is PPD.
    void Make(const std::string &ppd, const std::string &name = "Plotter")
    {
        CoreUiAdapter::Destroy(adapter_);
        adapter_ = nullptr;
        printers_.CloseAll();
        kvp::PrinterSpec spec;
        spec.name = name;
        spec.driverName = "Korvane Vastrelo 1180 PS";
        spec.dataFile = ppd;
        printer_ = printers_.Add(spec);
        ASSERT_NE(nullptr, printer_);
        adapter_ = CoreUiAdapter::Create(&host_, printer_);
        ASSERT_NE(nullptr, adapter_);
    }

    FakeHost host_;
    kvtest::TestPrinters printers_;
    HANDLE printer_ = nullptr;
    CoreUiAdapter *adapter_ = nullptr;
};

TEST_F(Adapter, PrefixComesFromTheDataFileName)
{
    struct {
        const char *ppd;
        bool mapping;
        const char prefix[3];
    } cases[] = {
        {"/drivers/ab1180.ppd", true, "AB"},
        {"C:\\drivers\\Zq9.PPD", true, "ZQ"},
        {"/drivers/KV1180.PPD", false, "KV"},
        {"/drivers/kv1180.ppd", false, "KV"},
        {"/drivers/kV.x.ppd", false, "KV"},
    };
    int n = 0;
    for (const auto &c : cases) {
        Make(c.ppd, "Plotter " + std::to_string(++n));
        EXPECT_EQ(c.mapping, adapter_->IsMapping() != 0) << c.ppd;
        EXPECT_EQ(std::string(c.prefix), std::string(adapter_->Prefix(), 2)) << c.ppd;
    }
}

TEST_F(Adapter, UnreadableDriverPassesEverythingThrough)
{
    adapter_ = CoreUiAdapter::Create(&host_, nullptr);
    ASSERT_NE(nullptr, adapter_);
    EXPECT_FALSE(adapter_->IsMapping());
    host_.reply = std::string("ABSA1\0KVSA1", 11);
    char list[64];
    DWORD needed = 0;
    ASSERT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, "KVFold", list, sizeof(list), &needed));
    EXPECT_EQ((std::vector<std::string>{"KVFold"}), host_.received);
    EXPECT_EQ((std::vector<std::string>{"ABSA1", "KVSA1"}), Split(list, needed));
}

TEST_F(Adapter, KeywordsAreMappedOnlyWhereTheyBeginWithOurPrefix)
{
    Make("/drivers/AB1180.PPD");
    const char request[] = "KVFold\0PageSize\0XKVa\0KV\0";
    host_.reply = std::string("ABFold\0ABFan\0PageSize\0ABSA1\0Other\0AB", 36);
    char reply[128];
    DWORD needed = 0;
    ASSERT_EQ(S_OK, adapter_->GetOptions(nullptr, 0, request, sizeof(request), reply, sizeof(reply), &needed));
    EXPECT_EQ((std::vector<std::string>{"ABFold", "PageSize", "XKVa", "AB"}), host_.received);
    EXPECT_EQ(sizeof(request), host_.receivedSize);
    EXPECT_EQ((std::vector<std::string>{"KVFold", "KVFan", "PageSize", "KVSA1", "Other", "KV"}), Split(reply, needed));
}

TEST_F(Adapter, NullRequestMeansEveryFeature)
{
    Make("/drivers/AB1180.PPD");
    host_.reply = std::string("ABFold\0ABFan", 12);
    char reply[64];
    DWORD needed = 0;
    ASSERT_EQ(S_OK, adapter_->GetOptions(nullptr, 0, nullptr, 0, reply, sizeof(reply), &needed));
    EXPECT_EQ((std::vector<std::string>{"(null)"}), host_.received);
    EXPECT_EQ((std::vector<std::string>{"KVFold", "KVFan"}), Split(reply, needed));
}

TEST_F(Adapter, RequestWithoutClosingNulIsClosedForTheHost)
{
    Make("/drivers/AB1180.PPD");
    const char request[6] = {'K', 'V', 'F', 'o', 'l', 'd'};
    char reply[64];
    DWORD needed = 0;
    host_.reply = "x";
    ASSERT_EQ(S_OK, adapter_->GetOptions(nullptr, 0, request, sizeof(request), reply, sizeof(reply), &needed));
    EXPECT_EQ((std::vector<std::string>{"ABFold"}), host_.received);
    EXPECT_EQ(8u, host_.receivedSize);
}

TEST_F(Adapter, LongListsAreCopiedWhole)
{
    Make("/drivers/AB1180.PPD");
    std::string pairs;
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        std::string feature = "KVFeature" + std::to_string(i);
        pairs += feature + '\0' + "KVOption" + '\0';
        expected.push_back("ABFeature" + std::to_string(i));
        expected.push_back("ABOption");
    }
    pairs += '\0';
    ASSERT_GT(pairs.size(), 1024u);
    DWORD result = 0;
    ASSERT_EQ(S_OK, adapter_->SetOptions(nullptr, 0, pairs.data(), static_cast<DWORD>(pairs.size()), &result));
    EXPECT_EQ(expected, host_.received);
    EXPECT_EQ(pairs.size(), host_.receivedSize);
}

TEST_F(Adapter, KeywordTooLongForItsCopyIsRefused)
{
    Make("/drivers/AB1180.PPD");
    std::string keyword = "KV" + std::string(1021, 'x');  // 1023 characters fit with the NUL
    char list[16];
    DWORD needed = 0;
    host_.reply = "";
    EXPECT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, keyword.c_str(), list, sizeof(list), &needed));
    EXPECT_EQ(1, host_.calls);
    keyword += 'x';
    EXPECT_EQ(E_INVALIDARG, adapter_->EnumOptions(nullptr, 0, keyword.c_str(), list, sizeof(list), &needed));
    EXPECT_EQ(E_INVALIDARG, adapter_->GetFeatureAttribute(nullptr, 0, keyword.c_str(), "x", nullptr, nullptr, 0, &needed));
    EXPECT_EQ(E_INVALIDARG,
              adapter_->WhyConstrained(nullptr, 0, "KVFold", keyword.c_str(), list, sizeof(list), &needed));
    EXPECT_EQ(1, host_.calls);
}

TEST_F(Adapter, OutputsAreMappedBackOnlyWhenTheHostSucceeded)
{
    Make("/drivers/AB1180.PPD");
    host_.reply = std::string("ABFold", 6);
    char list[16] = {};
    DWORD needed = 0;
    host_.result = S_FALSE;
    ASSERT_EQ(S_FALSE, adapter_->EnumFeatures(nullptr, 0, list, sizeof(list), &needed));
    EXPECT_EQ((std::vector<std::string>{"KVFold"}), Split(list, needed));
    host_.result = E_FAIL;
    ASSERT_EQ(E_FAIL, adapter_->EnumFeatures(nullptr, 0, list, sizeof(list), &needed));
    EXPECT_EQ((std::vector<std::string>{"ABFold"}), Split(list, needed));
    // No buffer: nothing to map, the host's answer stands.
    host_.result = S_OK;
    EXPECT_EQ(E_OUTOFMEMORY, adapter_->EnumFeatures(nullptr, 0, nullptr, 0, &needed));
    EXPECT_EQ(7u, needed);
}

TEST_F(Adapter, MappingBackStaysInsideTheCallersBuffer)
{
    Make("/drivers/AB1180.PPD");
    // A host that fills the whole buffer without closing the list.
    host_.reply = std::string("ABx\0AB", 6);
    char list[8];
    memset(list, '#', sizeof(list));
    DWORD needed = 0;
    ASSERT_EQ(S_OK, adapter_->EnumOptions(nullptr, 0, "KVFold", list, 7, &needed));
    EXPECT_EQ(0, memcmp(list, "KVx\0KV\0#", 8));
}

TEST_F(Adapter, UnmappedCallsAndArgumentsPassThrough)
{
    Make("/drivers/AB1180.PPD");
    DWORD needed = 0;
    adapter_->DrvGetDriverSetting(nullptr, "KVFold", nullptr, 0, &needed, nullptr);
    EXPECT_EQ((std::vector<std::string>{"KVFold"}), host_.received);
    adapter_->DrvUpgradeRegistrySetting(nullptr, "KVFold", "KVFan");
    EXPECT_EQ((std::vector<std::string>{"KVFold"}), host_.received);
    adapter_->GetGlobalAttribute(nullptr, 0, "KVAttribute", nullptr, nullptr, 0, &needed);
    EXPECT_EQ((std::vector<std::string>{"KVAttribute"}), host_.received);
    adapter_->GetOptionAttribute(nullptr, 0, nullptr, "KVFan", "DisplayName", nullptr, nullptr, 0, &needed);
    EXPECT_EQ((std::vector<std::string>{"(null)", "ABFan"}), host_.received);
    EXPECT_EQ(E_NOTIMPL, adapter_->QuerySimulationSupport(nullptr, 1, nullptr, 0, &needed));
}

}  // namespace
