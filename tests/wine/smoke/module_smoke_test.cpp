// The real PE modules, loaded with LoadLibraryW as the host and the
// spooler load them, asked what their native twins answer in the native
// module and integration tests: the model libraries' queries and resources,
// and the plug-ins' class factories, interfaces, GetInfo and DevMode sizes.
// Every check is a row of the tables below, per model set.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "kvcontract.h"
#include "modelquery.h"
#include "resid.h"

namespace {

typedef void (*OupmProc)(DWORD queryId, DWORD printerType, PVOID input, PVOID output);
typedef HRESULT(STDAPICALLTYPE *GetClassObjectProc)(REFCLSID, REFIID, LPVOID *);
typedef HRESULT(STDAPICALLTYPE *CanUnloadNowProc)();

struct ModelSet {
    const char *prefix;
    char line;  // 'A' or 'B'
    const char *productName;
    WORD printerType;
    DWORD capability;
    WORD deviceDialog;  // line A only
    WORD securePrint;   // line A only
    DWORD recordVersion;
    DWORD recordSize;  // OEMDM_SIZE
};

const ModelSet kSets[] = {
    {"kvpscos", 'A', "Vastrelo 1140 PS", 8001, 0x00060007, 8001, 2, 0x30323030, 316},
    {"kvpsctv", 'A', "Vastrelo 1180 PS", 8091, 0x000647FF, 8001, 2, 0x30323030, 316},
    {"kvpscmw", 'B', "Vastrelo 1162 PS", 8011, 0x000007FF, 0, 0, 0x30313030, 76},
    {"kvpscpl", 'B', "Vastrelo 1157 PS", 8081, 0x000007FF, 0, 0, 0x30313030, 76},
};

std::string SetName(const ::testing::TestParamInfo<ModelSet> &info) { return info.param.prefix; }

std::string Utf8(const WCHAR *text, int length)
{
    if (length <= 0) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    return out;
}

std::basic_string<WCHAR> Wide(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::basic_string<WCHAR> out(static_cast<size_t>(n > 0 ? n : 1), 0);
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

// The module directory: KV_MODULE_DIR of the environment (set by
// scripts/test-wine.sh), else the directory of this program.
std::string ModuleDir()
{
    WCHAR dir[1024];
    DWORD n = GetEnvironmentVariableW(TEXT("KV_MODULE_DIR"), dir, 1024);
    if (n > 0 && n < 1024) return Utf8(dir, static_cast<int>(n));
    n = GetModuleFileNameW(nullptr, dir, 1024);
    std::string self = Utf8(dir, static_cast<int>(n));
    return self.substr(0, self.find_last_of("\\/"));
}

// One module of the set under test, loaded for the test and freed after it.
class Module {
public:
    explicit Module(const std::string &file)
        : path_(ModuleDir() + "\\" + file), handle_(LoadLibraryW(Wide(path_).c_str())), error_(GetLastError())
    {
    }
    ~Module()
    {
        if (handle_) FreeLibrary(handle_);
    }
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    HMODULE get() const { return handle_; }
    std::string Why() const { return path_ + ": LoadLibraryW error " + std::to_string(error_); }
    template <typename Proc>
    Proc Export(const char *name) const
    {
        return reinterpret_cast<Proc>(reinterpret_cast<void *>(GetProcAddress(handle_, name)));
    }

private:
    std::string path_;
    HMODULE handle_;
    DWORD error_;
};

class ModelLibrary : public ::testing::TestWithParam<ModelSet> {
protected:
    void SetUp() override
    {
        library_.reset(new Module(std::string(GetParam().prefix) + "j.fpl"));
        ASSERT_NE(nullptr, library_->get()) << library_->Why();
        entry_ = library_->Export<OupmProc>("OupmFunction");
        ASSERT_NE(nullptr, entry_);
    }

    bool LineA() const { return GetParam().line == 'A'; }
    DWORD Supported(DWORD query)
    {
        DWORD answer = 0xdeadbeef;
        entry_(ModelQueryA::IsSupported, GetParam().printerType, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(query)),
               &answer);
        return answer;
    }
    template <typename T>
    T Answer(DWORD query, T sentinel, PVOID input = nullptr)
    {
        T answer = sentinel;
        entry_(query, GetParam().printerType, input, &answer);
        return answer;
    }

    std::unique_ptr<Module> library_;
    OupmProc entry_ = nullptr;
};

// The queries of each line, by that line's numbers; line B knows none of
// line A's numbers.
TEST_P(ModelLibrary, OupmFunctionQueries)
{
    const ModelSet &set = GetParam();
    WORD type = 0xBEEF;
    entry_(ModelQueryA::GetPrinterType, 0, const_cast<char *>(set.productName), &type);
    EXPECT_EQ(set.printerType, type) << set.productName;

    struct Query {
        const char *what;
        DWORD lineA, lineB;  // 0xFFFF: the line has no such query
        DWORD answer;        // a WORD or DWORD answer; ~0u: a pointer
    } queries[] = {
        {"JCL support", ModelQueryA::GetSupportTypeJcl, ModelQueryB::GetSupportTypeJcl, 3},
        {"options tab", ModelQueryA::GetOptionDialog, ModelQueryB::GetOptionDialog, IDD_OPTIONS},
        {"device settings tab", ModelQueryA::GetDeviceDialog, 0xFFFF, set.deviceDialog},
        {"secure print", ModelQueryA::GetSupportTypeSecurePrint, 0xFFFF, set.securePrint},
        {"capability", ModelQueryA::GetCapability, ModelQueryB::GetCapability, set.capability},
    };
    for (const Query &q : queries) {
        const DWORD mine = LineA() ? q.lineA : q.lineB;
        const DWORD other = LineA() ? q.lineB : q.lineA;
        if (mine != 0xFFFF) {
            EXPECT_EQ(1u, Supported(mine)) << q.what;
            if (q.lineA == ModelQueryA::GetCapability)
                EXPECT_EQ(q.answer, Answer<DWORD>(mine, 0xdeadbeef)) << q.what;
            else
                EXPECT_EQ(q.answer, Answer<WORD>(mine, 0xBEEF)) << q.what;
        }
        if (!LineA() && other != 0xFFFF) {
            EXPECT_EQ(0u, Supported(other)) << q.what << ": the other line's number";
            EXPECT_EQ(0xdeadbeefu, Answer<DWORD>(other, 0xdeadbeef)) << q.what << ": the other line's number";
        }
    }
}

TEST_P(ModelLibrary, StringsFromTheStringTable)
{
    const ModelSet &set = GetParam();
    struct Case {
        UINT id;
        std::string text;
        bool lineAOnly;
    } cases[] = {
        {IDS_LIBRARY_NAME, std::string(set.prefix) + "j", false},
        {IDS_PRINTING_DEFAULTS, "標準の設定", false},
        {IDS_WARNING_CAPTION, "警告", true},
    };
    for (const Case &c : cases) {
        WCHAR buffer[256];
        SetLastError(0xdeadbeef);
        int n = LoadStringW(library_->get(), c.id, buffer, 256);
        if (c.lineAOnly && !LineA()) {
            EXPECT_EQ(0, n) << "string " << c.id;
            continue;
        }
        EXPECT_EQ(c.text, Utf8(buffer, n)) << "string " << c.id;
    }
}

// Dialog templates found and read with the Win32 resource functions. The
// extended template keeps its control count at byte 16.
TEST_P(ModelLibrary, DialogTemplates)
{
    struct Case {
        WORD id;
        bool lineAOnly;
        WORD controlsA, controlsB;  // 0: not counted
    } cases[] = {
        {IDD_OPTIONS, false, 25, 22},
        {IDD_ABOUT, false, 0, 0},
        {IDD_DEVICE_SETTINGS, true, 0, 0},
        {IDD_SECURE_PRINT, true, 0, 0},
    };
    for (const Case &c : cases) {
        SetLastError(0xdeadbeef);
        HRSRC found = FindResourceW(library_->get(), MAKEINTRESOURCEW(c.id), RT_DIALOG);
        if (c.lineAOnly && !LineA()) {
            EXPECT_EQ(nullptr, found) << "dialog " << c.id;
            EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError()) << "dialog " << c.id;
            continue;
        }
        ASSERT_NE(nullptr, found) << "dialog " << c.id << ": error " << GetLastError();
        const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(library_->get(), found)));
        const DWORD size = SizeofResource(library_->get(), found);
        ASSERT_NE(nullptr, data) << "dialog " << c.id;
        ASSERT_GE(size, 18u) << "dialog " << c.id;
        const WORD controls = LineA() ? c.controlsA : c.controlsB;
        if (!controls) continue;
        const bool extended = data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
        EXPECT_TRUE(extended) << "dialog " << c.id;
        EXPECT_EQ(controls, static_cast<WORD>(data[16] | (data[17] << 8))) << "dialog " << c.id;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModelSet, ModelLibrary, ::testing::ValuesIn(kSets), SetName);

// ---- The two plug-ins --------------------------------------------------------

struct Plugin {
    const char *what;
    const char *suffix;
    const CLSID *clsid;
    const CLSID *otherClsid;
    const IID *iid;  // the newest interface the host asks for
};

const Plugin kPlugins[] = {
    {"UI plug-in", "u.dll", &CLSID_OEMUI, &CLSID_OEMRENDER, &IID_IPrintOemUI2},
    {"render plug-in", "r.dll", &CLSID_OEMRENDER, &CLSID_OEMUI, &IID_IPrintOemPS2},
};

// GetInfo and DevMode sit in slots 3 and 4 of both plug-in interfaces.
template <typename Interface>
void CheckInfoAndRecordSize(Interface *plugin, const ModelSet &set, const char *what)
{
    struct {
        DWORD mode;
        DWORD value;
    } infos[] = {{OEMGI_GETSIGNATURE, 0x4B424B44}, {OEMGI_GETINTERFACEVERSION, 0x00010000},
                 {OEMGI_GETVERSION, set.recordVersion}};
    for (const auto &i : infos) {
        DWORD value = 0xdeadbeef, needed = 0;
        EXPECT_EQ(S_OK, plugin->GetInfo(i.mode, &value, sizeof(value), &needed)) << what << ", mode " << i.mode;
        EXPECT_EQ(i.value, value) << what << ", mode " << i.mode;
        EXPECT_EQ(4u, needed) << what << ", mode " << i.mode;
    }
    OEMDMPARAM param = {};
    param.cbSize = sizeof(param);
    EXPECT_EQ(S_OK, plugin->DevMode(OEMDM_SIZE, &param)) << what;
    EXPECT_EQ(set.recordSize, param.cbBufSize) << what;
}

class Plugins : public ::testing::TestWithParam<ModelSet> {};

TEST_P(Plugins, ClassFactoryInterfacesInfoAndRecordSize)
{
    const ModelSet &set = GetParam();
    for (const Plugin &p : kPlugins) {
        SCOPED_TRACE(p.what);
        Module module(std::string(set.prefix) + p.suffix);
        ASSERT_NE(nullptr, module.get()) << module.Why();
        auto getClassObject = module.Export<GetClassObjectProc>("DllGetClassObject");
        auto canUnloadNow = module.Export<CanUnloadNowProc>("DllCanUnloadNow");
        ASSERT_NE(nullptr, getClassObject);
        ASSERT_NE(nullptr, canUnloadNow);

        void *none = reinterpret_cast<void *>(1);
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(*p.otherClsid, IID_IClassFactory, &none));
        EXPECT_EQ(nullptr, none);

        IClassFactory *factory = nullptr;
        ASSERT_EQ(S_OK, getClassObject(*p.clsid, IID_IClassFactory, reinterpret_cast<void **>(&factory)));
        ASSERT_NE(nullptr, factory);
        IUnknown *object = nullptr;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)));
        factory->Release();
        void *newest = nullptr;
        ASSERT_EQ(S_OK, object->QueryInterface(*p.iid, &newest));
        ASSERT_NE(nullptr, newest);
        if (p.iid == &IID_IPrintOemUI2)
            CheckInfoAndRecordSize(static_cast<IPrintOemUI2 *>(newest), set, p.what);
        else
            CheckInfoAndRecordSize(static_cast<IPrintOemPS2 *>(newest), set, p.what);
        static_cast<IUnknown *>(newest)->Release();
        EXPECT_EQ(0u, object->Release());
        EXPECT_EQ(S_OK, canUnloadNow());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModelSet, Plugins, ::testing::ValuesIn(kSets), SetName);

}  // namespace

int main(int argc, char **argv)
{
    // A module that fails to load answers with an error code, not a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::printf("modules: %s\n", ModuleDir().c_str());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
