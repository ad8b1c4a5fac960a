// The core helper proxy: our "KV" keywords in the installed PPD's own
// prefix on the way to the host, and back on the way out; and the prefix
// the document start chooses from the PPD's file name.
#include "corehelperproxy.h"
#include "render_support.h"

namespace {

using namespace rendertest;

class CoreHelperProxyTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        core_.options = {{"ABFoldMode", "ABFold2"}, {"PageSize", "A0"}, {"KVBaler", "On"}};
    }

    CoreHelperProxy *Proxy(const char *prefix, BOOL translate)
    {
        CoreHelperProxy *proxy = CoreHelperProxy::Create(&core_, prefix, translate);
        EXPECT_NE(nullptr, proxy);
        return proxy;
    }

    FakeCore core_;
    DEVOBJ device_ = {};
};

TEST_F(CoreHelperProxyTest, OptionsAskedAndAnsweredInOurPrefix)
{
    CoreHelperProxy *proxy = Proxy("AB", TRUE);
    EXPECT_EQ(1, core_.refs);
    std::string request = MultiString({"KVFoldMode", "PageSize"});
    CHAR reply[128] = {};
    DWORD needed = 0;
    ASSERT_EQ(S_OK, proxy->GetOptions(&device_, 0, request.data(), static_cast<DWORD>(request.size()), reply,
                                      sizeof(reply), &needed));
    EXPECT_EQ(std::vector<std::string>({"ABFoldMode", "PageSize"}), core_.requested);
    EXPECT_EQ(std::vector<std::string>({"KVFoldMode", "KVFold2", "PageSize", "A0"}), SplitList(reply, needed));
    proxy->Release();
    EXPECT_EQ(0, core_.refs);
}

TEST_F(CoreHelperProxyTest, ListsComeBackInOurPrefix)
{
    CoreHelperProxy *proxy = Proxy("AB", TRUE);
    CHAR list[128] = {};
    DWORD needed = 0;
    ASSERT_EQ(S_OK, proxy->EnumFeatures(&device_, 0, list, sizeof(list), &needed));
    EXPECT_EQ(std::vector<std::string>({"KVFoldMode", "KVBaler", "PageSize"}), SplitList(list, needed));
    ASSERT_EQ(S_OK, proxy->EnumOptions(&device_, 0, "KVFoldMode", list, sizeof(list), &needed));
    EXPECT_EQ("EnumOptions ABFoldMode", core_.calls.back());
    EXPECT_EQ(std::vector<std::string>({"KVFold2", "KVFold22"}), SplitList(list, needed));
    proxy->Release();
}

TEST_F(CoreHelperProxyTest, AttributeKeywordsGoOutInThePpdsPrefix)
{
    CoreHelperProxy *proxy = Proxy("AB", TRUE);
    DWORD type = 0, needed = 0;
    BYTE data[8];
    proxy->GetFeatureAttribute(&device_, 0, "KVFoldMode", "DisplayName", &type, data, sizeof(data), &needed);
    EXPECT_EQ("GetFeatureAttribute ABFoldMode DisplayName", core_.calls.back());
    proxy->GetOptionAttribute(&device_, 0, "KVFoldMode", "KVFold1", "DisplayName", &type, data, sizeof(data),
                              &needed);
    EXPECT_EQ("GetOptionAttribute ABFoldMode ABFold1 DisplayName", core_.calls.back());
    // Global attributes have no keyword to translate.
    EXPECT_EQ(E_NOTIMPL, proxy->GetGlobalAttribute(&device_, 0, "KVLanguageLevel", &type, data, sizeof(data),
                                                   &needed));
    EXPECT_EQ("GetGlobalAttribute KVLanguageLevel", core_.calls.back());
    proxy->Release();
}

TEST_F(CoreHelperProxyTest, WithoutTranslationEverythingPassesUnchanged)
{
    CoreHelperProxy *proxy = Proxy("KV", FALSE);
    std::string request = MultiString({"KVBaler"});
    CHAR reply[64] = {};
    DWORD needed = 0;
    ASSERT_EQ(S_OK, proxy->GetOptions(&device_, 0, request.data(), static_cast<DWORD>(request.size()), reply,
                                      sizeof(reply), &needed));
    EXPECT_EQ(std::vector<std::string>({"KVBaler"}), core_.requested);
    EXPECT_EQ(std::vector<std::string>({"KVBaler", "On"}), SplitList(reply, needed));
    ASSERT_EQ(S_OK, proxy->DrvWritePrinter(&device_, const_cast<char *>("KVxx"), 4, &needed));
    EXPECT_EQ("KVxx", core_.stream);
    proxy->Release();
}

TEST_F(CoreHelperProxyTest, FailedAnswersAreNotRewritten)
{
    CoreHelperProxy *proxy = Proxy("AB", TRUE);
    core_.getOptionsResult = E_OUTOFMEMORY;
    std::string request = MultiString({"KVFoldMode"});
    CHAR reply[16];
    std::memcpy(reply, "ABuntouched\0\0", 13);
    DWORD needed = 0;
    EXPECT_EQ(E_OUTOFMEMORY, proxy->GetOptions(&device_, 0, request.data(), static_cast<DWORD>(request.size()),
                                               reply, sizeof(reply), &needed));
    EXPECT_STREQ("ABuntouched", reply);
    // A request longer than the rewrite buffer is refused before the host.
    std::string huge = MultiString({std::string(1100, 'K')});
    core_.calls.clear();
    EXPECT_EQ(E_INVALIDARG, proxy->GetOptions(&device_, 0, huge.data(), static_cast<DWORD>(huge.size()), reply,
                                              sizeof(reply), &needed));
    EXPECT_TRUE(core_.calls.empty());
    proxy->Release();
}

TEST_F(CoreHelperProxyTest, QueryInterfaceOfTheProxy)
{
    CoreHelperProxy *proxy = Proxy("AB", TRUE);
    void *out = nullptr;
    ASSERT_EQ(S_OK, proxy->QueryInterface(IID_IPrintCorePS2, &out));
    EXPECT_EQ(static_cast<IPrintCorePS2 *>(proxy), out);
    static_cast<IUnknown *>(out)->Release();
    ASSERT_EQ(S_OK, proxy->QueryInterface(IID_IUnknown, &out));
    static_cast<IUnknown *>(out)->Release();
    // Anything else is the host helper's business.
    EXPECT_EQ(E_NOINTERFACE, proxy->QueryInterface(IID_IPrintOemPS2, &out));
    EXPECT_EQ(0u, proxy->Release());
}

// The prefix as the document start chooses it from the printer's PPD.
class ProxyPrefixTest : public SessionTest {};

TEST_F(ProxyPrefixTest, PpdFileNameDecidesTheTranslation)
{
    std::filesystem::path ab = scratch_.path() / "ab1180.ppd";
    std::filesystem::copy_file(PackagingPpd("KV1180.PPD"), ab);
    struct Case {
        std::string ppd;
        BOOL translate;
        const char *prefix;
    } cases[] = {
        {PackagingPpd("KV1180.PPD"), FALSE, "KV"},
        {ab.string(), TRUE, "AB"},
        // No data file: no prefix to translate to.
        {std::string(), FALSE, ""},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ppd);
        printerName_ = "Prefix" + std::to_string(n++);
        printer_ = AddPrinter(printerName_, "LPT1:", PRINTER_ATTRIBUTE_LOCAL, c.ppd);
        device_ = std::make_unique<TestDevice>(printer_);
        host_ = std::make_unique<HostDdi>();
        plugin_ = std::make_unique<Plugin>(&core_);
        ASSERT_EQ(S_OK, Enable());
        ASSERT_TRUE(StartDoc());
        auto *proxy = static_cast<CoreHelperProxy *>(plugin_->system->CoreHelper());
        ASSERT_NE(nullptr, proxy);
        EXPECT_EQ(c.translate, proxy->Translates());
        EXPECT_STREQ(c.prefix, proxy->Prefix());
        plugin_->ps2->DisablePDEV(&device_->devobj);
        EndDocPrinter(printer_);
        job_ = 0;
    }
}

}  // namespace
