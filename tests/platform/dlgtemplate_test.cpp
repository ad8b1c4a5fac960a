// The dialog template parser on the test module's two templates (500
// extended, 501 classic; resmodule/resmodule.rc) and on every truncation of
// them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvp/dlgtemplate.h"
#include "kvp/win32.h"

namespace {

typedef std::basic_string<WCHAR> wstr;

// The data of dialog ID, copied into a buffer of exactly its size.
std::vector<BYTE> DialogBytes(WORD id)
{
    std::vector<BYTE> image;
    std::vector<kvp::ResEntry> entries;
    if (kvp::ReadElfSection(KV_TEST_RESMODULE, ".kvrsrc", &image) != kvp::ElfSectionResult::Ok ||
        !kvp::ParseResImage(image.data(), image.size(), &entries))
        return {};
    for (const kvp::ResEntry &e : entries)
        if (e.typeIsId && e.typeId == 5 && e.nameIsId && e.nameId == id)
            return std::vector<BYTE>(image.begin() + e.dataOffset, image.begin() + e.dataOffset + e.dataSize);
    return {};
}

struct ItemCase {
    DWORD id;
    WORD classAtom;  // 0: a class name
    DWORD style;
    SHORT x, y, cx, cy;
    const WCHAR *title;  // null: the title is an ordinal
};

void ExpectItems(const kvp::DlgTemplate &t, const std::vector<ItemCase> &want)
{
    ASSERT_EQ(want.size(), t.items.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const kvp::DlgItem &item = t.items[i];
        const ItemCase &w = want[i];
        SCOPED_TRACE("control " + std::to_string(w.id));
        EXPECT_EQ(w.id, item.id);
        if (w.classAtom) {
            EXPECT_EQ(kvp::DlgField::Ordinal, item.windowClass.kind);
            EXPECT_EQ(w.classAtom, item.windowClass.ordinal);
        } else {
            EXPECT_EQ(kvp::DlgField::Text, item.windowClass.kind);
        }
        EXPECT_EQ(w.style, item.style);
        EXPECT_EQ(w.x, item.x);
        EXPECT_EQ(w.y, item.y);
        EXPECT_EQ(w.cx, item.cx);
        EXPECT_EQ(w.cy, item.cy);
        if (w.title) {
            EXPECT_EQ(wstr(w.title), item.title.kind == kvp::DlgField::Text ? item.title.text : wstr());
        }
    }
}

TEST(DialogTemplate, ExtendedTemplate)
{
    std::vector<BYTE> data = DialogBytes(500);
    ASSERT_FALSE(data.empty());
    kvp::DlgTemplate t;
    ASSERT_TRUE(kvp::ParseDialogTemplate(data.data(), data.size(), &t));
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(0x80C00040u, t.style);
    EXPECT_EQ(0x00000008u, t.exStyle);
    EXPECT_EQ(10, t.x);
    EXPECT_EQ(20, t.y);
    EXPECT_EQ(200, t.cx);
    EXPECT_EQ(100, t.cy);
    EXPECT_EQ(kvp::DlgField::None, t.menu.kind);
    EXPECT_EQ(kvp::DlgField::None, t.windowClass.kind);
    EXPECT_EQ(wstr(u"拡張"), t.title);
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(700, t.weight);
    EXPECT_EQ(1, t.italic);
    EXPECT_EQ(0x80, t.charset);
    EXPECT_EQ(wstr(u"ＭＳ Ｐゴシック"), t.faceName);
    ExpectItems(t, {
                       {1001, 0x80, 0x50010003, 7, 5, 115, 14, u"チェック"},
                       {1002, 0x85, 0x50210003, 7, 35, 110, 100, u""},
                       {1003, 0x82, 0x50000003, 17, 43, 20, 20, nullptr},
                       {1004, 0, 0x50000000, -1, -2, 30, 40, u"named class"},
                   });
    EXPECT_EQ(4242u, t.items[0].helpId);
    EXPECT_EQ(4u, t.items[0].exStyle);
    // An icon named by its id.
    EXPECT_EQ(kvp::DlgField::Ordinal, t.items[2].title.kind);
    EXPECT_EQ(10005, t.items[2].title.ordinal);
    EXPECT_EQ(wstr(u"KVCUSTOM"), t.items[3].windowClass.text);
}

TEST(DialogTemplate, ClassicTemplate)
{
    std::vector<BYTE> data = DialogBytes(501);
    ASSERT_FALSE(data.empty());
    kvp::DlgTemplate t;
    ASSERT_TRUE(kvp::ParseDialogTemplate(data.data(), data.size(), &t));
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(0x80C00040u, t.style);
    EXPECT_EQ(0, t.x);
    EXPECT_EQ(25, t.y);
    EXPECT_EQ(226, t.cx);
    EXPECT_EQ(219, t.cy);
    EXPECT_EQ(wstr(u"クラシック"), t.title);
    EXPECT_TRUE(t.hasFont);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(wstr(u"ＭＳ Ｐゴシック"), t.faceName);
    ExpectItems(t, {
                       {1101, 0x82, 0x50000000, 7, 7, 109, 8, u"ラベル"},
                       {1102, 0x81, 0x50812020, 7, 47, 55, 14, u""},
                       {1, 0x80, 0x50010001, 7, 198, 50, 14, u"OK"},
                   });
}

// Every cut of a template is refused, read within its buffer (the sanitizer
// watches), and leaves an empty result.
TEST(DialogTemplate, TruncatedTemplatesAreRefused)
{
    for (WORD id : {500, 501}) {
        std::vector<BYTE> data = DialogBytes(id);
        ASSERT_FALSE(data.empty());
        for (size_t n = 0; n < data.size(); ++n) {
            std::vector<BYTE> cut(data.begin(), data.begin() + n);
            kvp::DlgTemplate t;
            t.title = u"stale";
            // The last item's title may end the data without padding; any
            // shorter cut loses part of a field.
            ASSERT_FALSE(kvp::ParseDialogTemplate(cut.data(), cut.size(), &t)) << "dialog " << id << " cut at " << n;
            ASSERT_TRUE(t.items.empty() && t.title.empty()) << "dialog " << id << " cut at " << n;
        }
    }
}

TEST(DialogTemplate, ItemCountBeyondTheDataIsRefused)
{
    std::vector<BYTE> data = DialogBytes(500);
    ASSERT_GT(data.size(), 18u);
    data[16] = 0xFF;  // cDlgItems of the extended header
    data[17] = 0xFF;
    kvp::DlgTemplate t;
    EXPECT_FALSE(kvp::ParseDialogTemplate(data.data(), data.size(), &t));
    EXPECT_FALSE(kvp::ParseDialogTemplate(nullptr, 10, &t));
}

}  // namespace
