// The four built model libraries, loaded as the plug-ins load them: their
// model queries through OupmFunction and the resources they carry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kvp/dlgtemplate.h"
#include "kvp/win32.h"
#include "modelquery.h"
#include "resid.h"

namespace {

typedef std::basic_string<WCHAR> wstr;
typedef void (*OupmProc)(DWORD queryId, DWORD printerType, PVOID input, PVOID output);

wstr Wide(const std::string &ascii) { return wstr(ascii.begin(), ascii.end()); }

struct Library {
    const char *file;
    char line;  // 'A' or 'B'
};

std::ostream &operator<<(std::ostream &os, const Library &l) { return os << l.file; }

const Library kLibraries[] = {
    {"kvpscosj.fpl", 'A'},
    {"kvpsctvj.fpl", 'A'},
    {"kvpscmwj.fpl", 'B'},
    {"kvpscplj.fpl", 'B'},
};

// The library under test, loaded with LoadLibraryW.
class ModelLibrary : public ::testing::TestWithParam<Library> {
protected:
    void SetUp() override
    {
        std::string path = std::string(KV_MODULE_DIR) + "/" + GetParam().file;
        m_module = LoadLibraryW(Wide(path).c_str());
        ASSERT_NE(nullptr, m_module) << path << ": error " << GetLastError();
        m_entry = reinterpret_cast<OupmProc>(GetProcAddress(m_module, "OupmFunction"));
        ASSERT_NE(nullptr, m_entry);
    }
    void TearDown() override
    {
        if (m_module) FreeLibrary(m_module);
    }

    bool LineA() const { return GetParam().line == 'A'; }
    // This line's number for a query (line B has no 201 and 202: 0xFFFF).
    DWORD Id(DWORD lineA) const
    {
        if (LineA()) return lineA;
        switch (lineA) {
        case 100: return ModelQueryB::GetSupportTypeJcl;
        case 200: return ModelQueryB::GetOptionDialog;
        case 300: return ModelQueryB::GetCapability;
        case 301: return ModelQueryB::GetEditRules;
        case 302: return ModelQueryB::GetOverrides;
        case 303: return ModelQueryB::GetItemList;
        case 0:
        case 1: return lineA;
        default: return 0xFFFF;
        }
    }

    DWORD Supported(DWORD query, DWORD type)
    {
        DWORD answer = 0xdeadbeef;
        m_entry(0, type, reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(query)), &answer);
        return answer;
    }
    // A 16-bit answer; 0xBEEF when nothing was written.
    WORD Word(DWORD query, DWORD type)
    {
        WORD answer = 0xBEEF;
        m_entry(query, type, nullptr, &answer);
        return answer;
    }
    DWORD Dword(DWORD query, DWORD type)
    {
        DWORD answer = 0xdeadbeef;
        m_entry(query, type, nullptr, &answer);
        return answer;
    }
    const void *Pointer(DWORD query, DWORD type, PVOID input = nullptr)
    {
        const void *answer = &m_entry;  // a sentinel that no answer can be
        m_entry(query, type, input, &answer);
        return answer;
    }
    WORD TypeOf(const char *productName, DWORD type = 0)
    {
        WORD answer = 0xBEEF;
        m_entry(1, type, const_cast<char *>(productName), &answer);
        return answer;
    }

    HMODULE m_module = nullptr;
    OupmProc m_entry = nullptr;
};

INSTANTIATE_TEST_SUITE_P(All, ModelLibrary, ::testing::ValuesIn(kLibraries));

// ---- Model queries --------------------------------------------------------

struct Model {
    const char *library;
    const char *productName;
    WORD type;
    DWORD capability;
    WORD deviceDialog;       // line A only
    WORD securePrint;        // line A only
    bool editRules;          // Oskel only
    bool itemLists;          // Tavrin only
};

const Model kModels[] = {
    {"kvpscosj.fpl", "Vastrelo 1140 PS", 8001, 0x00060007, 8001, 2, true, false},
    {"kvpsctvj.fpl", "Vastrelo 1180 PS", 8091, 0x000647FF, 8001, 2, false, true},
    {"kvpscmwj.fpl", "Vastrelo 1162 PS", 8011, 0x000007FF, 0, 0, false, false},
    {"kvpscmwj.fpl", "Vastrelo 1165 PS", 8012, 0x000007FF, 0, 0, false, false},
    {"kvpscplj.fpl", "Vastrelo 1157 PS", 8081, 0x000007FF, 0, 0, false, false},
};

TEST_P(ModelLibrary, PrinterTypeByProductName)
{
    for (const Model &m : kModels) {
        const bool mine = std::strcmp(m.library, GetParam().file) == 0;
        EXPECT_EQ(mine ? m.type : 0, TypeOf(m.productName)) << m.productName;
        // The type argument does not matter to this query.
        EXPECT_EQ(mine ? m.type : 0, TypeOf(m.productName, 1234)) << m.productName;
    }
    struct Case {
        const char *name;
    } unknown[] = {{"vastrelo 1140 ps"}, {"VASTRELO 1180 PS"}, {"Vastrelo 1140 PS "}, {"Vastrelo 1140"}, {""}};
    for (const Case &c : unknown) EXPECT_EQ(0, TypeOf(c.name)) << "\"" << c.name << "\"";
    EXPECT_EQ(0, TypeOf(nullptr));
}

TEST_P(ModelLibrary, AnswersOfEachModel)
{
    int seen = 0;
    for (const Model &m : kModels) {
        if (std::strcmp(m.library, GetParam().file) != 0) continue;
        ++seen;
        SCOPED_TRACE(m.productName);
        for (DWORD q : {0u, 1u, 100u, 200u, 300u, 301u, 302u, 303u})
            EXPECT_EQ(1u, Supported(Id(q), m.type)) << "query " << Id(q);
        EXPECT_EQ(3, Word(Id(100), m.type));
        EXPECT_EQ(IDD_OPTIONS, Word(Id(200), m.type));
        EXPECT_EQ(m.capability, Dword(Id(300), m.type));
        EXPECT_EQ(m.editRules, Pointer(Id(301), m.type) != nullptr);
        EXPECT_EQ(nullptr, Pointer(Id(302), m.type));  // no model has overrides
        WORD control = IDC_PAPER_SERIES;
        EXPECT_EQ(m.itemLists, Pointer(Id(303), m.type, &control) != nullptr);
        if (LineA()) {
            EXPECT_EQ(1u, Supported(201, m.type));
            EXPECT_EQ(1u, Supported(202, m.type));
            EXPECT_EQ(m.deviceDialog, Word(201, m.type));
            EXPECT_EQ(m.securePrint, Word(202, m.type));
        } else {
            // Line B knows neither the device settings tab nor secure print,
            // nor line A's numbers.
            for (DWORD q : {100u, 200u, 201u, 202u, 300u, 301u, 302u, 303u}) {
                EXPECT_EQ(0u, Supported(q, m.type)) << "query " << q;
                EXPECT_EQ(0xBEEF, Word(q, m.type)) << "query " << q;
            }
        }
        // Only the low 16 bits of the type count.
        EXPECT_EQ(m.capability, Dword(Id(300), 0xABCD0000u | m.type));
    }
    EXPECT_GT(seen, 0);
}

// Types of other sets and type 0 find the closing record: query 0 answers 0
// for everything but the type lookup, and a direct query answers zeros.
TEST_P(ModelLibrary, UnknownTypesAnswerNothing)
{
    for (DWORD type : {8001u, 8091u, 8011u, 8012u, 8081u, 0u, 1234u}) {
        bool mine = false;
        for (const Model &m : kModels)
            mine = mine || (m.type == type && std::strcmp(m.library, GetParam().file) == 0);
        if (mine) continue;
        SCOPED_TRACE("type " + std::to_string(type));
        EXPECT_EQ(1u, Supported(1, type));
        for (DWORD q : {0u, 100u, 200u, 300u, 301u, 302u, 303u})
            EXPECT_EQ(0u, Supported(Id(q), type)) << "query " << Id(q);
        EXPECT_EQ(0, Word(Id(100), type));
        EXPECT_EQ(0, Word(Id(200), type));
        EXPECT_EQ(0u, Dword(Id(300), type));
        EXPECT_EQ(nullptr, Pointer(Id(301), type));
        WORD control = IDC_PAPER_SERIES;
        EXPECT_EQ(nullptr, Pointer(Id(303), type, &control));
    }
}

TEST_P(ModelLibrary, UnknownQueriesWriteNothing)
{
    const WORD type = LineA() ? (std::strcmp(GetParam().file, "kvpscosj.fpl") == 0 ? 8001 : 8091)
                              : (std::strcmp(GetParam().file, "kvpscmwj.fpl") == 0 ? 8011 : 8081);
    for (DWORD q : {2u, 99u, 203u, 304u, 1000u, 1007u, 0xFFFFFFFFu}) {
        EXPECT_EQ(0u, Supported(q, type)) << "query " << q;
        EXPECT_EQ(0xdeadbeefu, Dword(q, type)) << "query " << q;
    }
    // A null output is ignored.
    m_entry(Id(300), type, nullptr, nullptr);
}

// Oskel replaces the secure print user ID and PIN rules; layout checked byte
// by byte, as the UI plug-in copies the records whole.
TEST(ModelLibraryOskel, EditRules)
{
    HMODULE module = LoadLibraryW(Wide(std::string(KV_MODULE_DIR) + "/kvpscosj.fpl").c_str());
    ASSERT_NE(nullptr, module);
    auto entry = reinterpret_cast<OupmProc>(GetProcAddress(module, "OupmFunction"));
    ASSERT_NE(nullptr, entry);
    const BYTE *rules = nullptr;
    entry(301, 8001, nullptr, &rules);
    ASSERT_NE(nullptr, rules);
    const BYTE expected[3][24] = {
        {0x60, 0x2B, 0, 0, 0x03, 0x00, 0x6C, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0},
        {0x62, 0x2B, 0, 0, 0x01, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 7, 0, 0, 0, 0, 0},
        {0},
    };
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, std::memcmp(expected[i], rules + 24 * i, 24)) << "rule " << i;
    // The Tavrin rules are none.
    const void *none = &entry;
    entry(301, 8091, nullptr, &none);
    EXPECT_EQ(nullptr, none);
    FreeLibrary(module);
}

TEST(ModelLibraryTavrin, ItemLists)
{
    HMODULE module = LoadLibraryW(Wide(std::string(KV_MODULE_DIR) + "/kvpsctvj.fpl").c_str());
    ASSERT_NE(nullptr, module);
    auto entry = reinterpret_cast<OupmProc>(GetProcAddress(module, "OupmFunction"));
    ASSERT_NE(nullptr, entry);
    struct Case {
        WORD control;
        std::vector<WORD> items;  // empty: no list
    } cases[] = {
        {IDC_PAPER_SERIES, {1401, 1403, 1404, 1405}},
        {IDC_FOLDER, {1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508}},
        {IDC_STACKER, {}},
        {0, {}},
    };
    for (const Case &c : cases) {
        WORD control = c.control;
        const ModelItemList *list = reinterpret_cast<const ModelItemList *>(&entry);
        entry(303, 8091, &control, &list);
        if (c.items.empty()) {
            EXPECT_EQ(nullptr, list) << "control " << c.control;
            continue;
        }
        ASSERT_NE(nullptr, list) << "control " << c.control;
        EXPECT_EQ(c.control, list->controlId);
        std::vector<WORD> slots(list->stringIds, list->stringIds + KV_MODEL_ITEMS_MAX);
        std::vector<WORD> want = c.items;
        want.resize(KV_MODEL_ITEMS_MAX, 0);
        EXPECT_EQ(want, slots) << "control " << c.control;
    }
    // No control id: no list.
    const void *answer = &entry;
    entry(303, 8091, nullptr, &answer);
    EXPECT_EQ(nullptr, answer);
    FreeLibrary(module);
}

// ---- Resources ------------------------------------------------------------

std::string Utf8(const wstr &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

TEST_P(ModelLibrary, Strings)
{
    std::string base = std::string(GetParam().file).substr(0, 8);
    struct Case {
        UINT id;
        std::string text;
        bool lineAOnly;
    } cases[] = {
        {IDS_REGISTRY_KEY, "Software\\Korvane\\KV PostScript Printer Driver\\", false},
        {IDS_LIBRARY_NAME, base, false},
        {IDS_PRINTING_DEFAULTS, "標準の設定", false},
        {IDS_INTERNAL_ERROR,
         "本プリンタドライバ内部の不整合により、正常に動作できません。\n"
         "詳細につきましては、お近くのテレフォンセンターにお問い合わせください。",
         false},
        {IDS_PAPER_SERIES_ARCH30, "30-Arch系列", false},
        {IDS_WARNING_CAPTION, "警告", true},
        {IDS_MSG_INVALID_USER_ID,
         "[ユーザーID]に無効な文字列が設定されています。\n"
         "半角英数字にて（\"は除く）、%d文字から%d文字までの範囲で入力してください。",
         true},
    };
    for (const Case &c : cases) {
        WCHAR buffer[512];
        SetLastError(0xdeadbeef);
        int n = LoadStringW(m_module, c.id, buffer, 512);
        if (c.lineAOnly && !LineA()) {
            EXPECT_EQ(0, n) << "string " << c.id;
            EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError()) << "string " << c.id;
            continue;
        }
        EXPECT_EQ(c.text, Utf8(wstr(buffer, n > 0 ? n : 0))) << "string " << c.id;
    }
}

struct Control {
    WORD id;
    WORD classAtom;
    SHORT x, y, cx, cy;
    bool lineAOnly;
};

// The options tab as the UI plug-in lays it out, in template order.
const Control kOptionsTab[] = {
    {1202, 0x80, 7, 5, 115, 14, false},     {1204, 0x82, 7, 24, 140, 10, false},
    {1203, 0x85, 7, 35, 110, 100, false},   {10901, 0x82, 150, 24, 114, 10, true},
    {10902, 0x85, 150, 35, 93, 100, true},  {10903, 0x80, 245, 35, 38, 14, true},
    {10004, 0x82, 7, 55, 272, 1, false},    {1206, 0x82, 7, 62, 110, 10, false},
    {1205, 0x85, 7, 73, 110, 100, false},   {1222, 0x82, 127, 72, 16, 16, false},
    {1208, 0x82, 7, 89, 110, 10, false},    {1207, 0x85, 7, 101, 110, 100, false},
    {1210, 0x82, 7, 119, 110, 10, false},   {1209, 0x85, 7, 130, 110, 100, false},
    {1212, 0x82, 7, 148, 110, 10, false},   {1211, 0x85, 7, 159, 110, 100, false},
    {1213, 0x80, 150, 63, 129, 110, false}, {1217, 0x82, 158, 77, 60, 10, false},
    {1218, 0x85, 158, 87, 110, 100, false}, {1219, 0x82, 158, 107, 60, 10, false},
    {1220, 0x85, 158, 117, 110, 100, false}, {1214, 0x80, 158, 136, 86, 14, false},
    {1215, 0x80, 158, 155, 63, 11, false},  {1224, 0x80, 158, 180, 70, 14, false},
    {10002, 0x80, 231, 180, 50, 14, false},
};

TEST_P(ModelLibrary, OptionsTabTemplate)
{
    HRSRC found = FindResourceW(m_module, MAKEINTRESOURCEW(IDD_OPTIONS), RT_DIALOG);
    ASSERT_NE(nullptr, found);
    kvp::DlgTemplate t;
    ASSERT_TRUE(kvp::ParseDialogTemplate(LockResource(LoadResource(m_module, found)), SizeofResource(m_module, found), &t));
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(wstr(u"オプション"), t.title);
    EXPECT_EQ(290, t.cx);
    EXPECT_EQ(190, t.cy);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(wstr(u"ＭＳ Ｐゴシック"), t.faceName);

    std::vector<Control> want;
    for (const Control &c : kOptionsTab)
        if (LineA() || !c.lineAOnly) want.push_back(c);
    // Line B's paper series label takes the room of the print type controls.
    if (!LineA()) want[1].cx = 152;
    ASSERT_EQ(LineA() ? 25u : 22u, want.size());
    ASSERT_EQ(want.size(), t.items.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const kvp::DlgItem &item = t.items[i];
        const Control &c = want[i];
        SCOPED_TRACE("control " + std::to_string(c.id));
        EXPECT_EQ(c.id, item.id);
        EXPECT_EQ(kvp::DlgField::Ordinal, item.windowClass.kind);
        EXPECT_EQ(c.classAtom, item.windowClass.ordinal);
        EXPECT_EQ(c.x, item.x);
        EXPECT_EQ(c.y, item.y);
        EXPECT_EQ(c.cx, item.cx);
        EXPECT_EQ(c.cy, item.cy);
    }
}

// Line B carries a subset: no device settings tab, no secure print dialog,
// no icon.
TEST_P(ModelLibrary, LineSubset)
{
    struct Case {
        LPCWSTR type;
        WORD id;
        bool lineAOnly;
    } cases[] = {
        {RT_DIALOG, IDD_ABOUT, false},
        {RT_DIALOG, IDD_DEVICE_SETTINGS, true},
        {RT_DIALOG, IDD_SECURE_PRINT, true},
        {RT_BITMAP, IDB_FOLD, false},
        {RT_BITMAP, IDB_ABOUT, false},
        {RT_GROUP_ICON, IDI_INFO_SIGN, true},
    };
    for (const Case &c : cases) {
        HRSRC found = FindResourceW(m_module, MAKEINTRESOURCEW(c.id), c.type);
        EXPECT_EQ(LineA() || !c.lineAOnly, found != nullptr) << "resource " << c.id;
    }
}

TEST_P(ModelLibrary, Pictures)
{
    struct Case {
        WORD id;
        LONG width, height;
        WORD bits;
    } cases[] = {
        {IDB_FOLD, 22, 17, 24},
        {IDB_ABOUT, 496, 328, 8},
    };
    for (const Case &c : cases) {
        HRSRC found = FindResourceW(m_module, MAKEINTRESOURCEW(c.id), RT_BITMAP);
        ASSERT_NE(nullptr, found) << "bitmap " << c.id;
        ASSERT_GE(SizeofResource(m_module, found), 40u);
        const BYTE *info = static_cast<const BYTE *>(LockResource(LoadResource(m_module, found)));
        LONG width, height;
        WORD bits;
        std::memcpy(&width, info + 4, 4);
        std::memcpy(&height, info + 8, 4);
        std::memcpy(&bits, info + 14, 2);
        EXPECT_EQ(c.width, width) << "bitmap " << c.id;
        EXPECT_EQ(c.height, height < 0 ? -height : height) << "bitmap " << c.id;
        EXPECT_EQ(c.bits, bits) << "bitmap " << c.id;
    }
}

TEST_P(ModelLibrary, VersionResourceNamesTheFile)
{
    WCHAR path[1024];
    DWORD n = GetModuleFileNameW(m_module, path, 1024);
    ASSERT_GT(n, 0u);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    for (const char *key : {"OriginalFilename", "InternalName"}) {
        LPVOID value = nullptr;
        UINT length = 0;
        std::string sub = std::string("\\StringFileInfo\\041104B0\\") + key;
        ASSERT_TRUE(VerQueryValueW(block.data(), Wide(sub).c_str(), &value, &length)) << key;
        EXPECT_EQ(GetParam().file, Utf8(wstr(static_cast<const WCHAR *>(value)))) << key;
    }
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof info);
    EXPECT_EQ(VS_FFI_SIGNATURE, info.dwSignature);
    EXPECT_EQ(VFT_DLL, info.dwFileType);
}

}  // namespace
