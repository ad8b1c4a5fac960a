// Dialog template parser.
//
// Classic DLGTEMPLATE: DWORD style, DWORD exStyle, WORD count, SHORT x, y,
// cx, cy, menu, class, title, and with DS_SETFONT a WORD point size and the
// face name; each item DWORD-aligned: DWORD style, DWORD exStyle, SHORT x,
// y, cx, cy, WORD id, class, title, WORD creation-data size and the data.
//
// DLGTEMPLATEEX: WORD version 1, WORD 0xFFFF, DWORD helpId, DWORD exStyle,
// DWORD style, WORD count, SHORT x, y, cx, cy, menu, class, title, and with
// DS_SETFONT WORD point size, WORD weight, BYTE italic, BYTE charset and the
// face name; each item DWORD-aligned: DWORD helpId, DWORD exStyle, DWORD
// style, SHORT x, y, cx, cy, DWORD id, class, title, WORD creation-data size
// and the data.
//
// Menu and class fields: 0x0000 none, 0xFFFF + ordinal, or a text; titles
// the same (an ordinal title names an icon or bitmap resource).
#include "kvp/dlgtemplate.h"

#include <cstring>

namespace kvp {
namespace {

class Reader {
public:
    Reader(const BYTE *data, size_t size) : m_data(data), m_size(size) {}

    bool Word(WORD *out) { return Fixed(out); }
    bool Short(SHORT *out)
    {
        WORD w;
        if (!Word(&w)) return false;
        *out = static_cast<SHORT>(w);
        return true;
    }
    bool Dword(DWORD *out) { return Fixed(out); }
    bool Byte(BYTE *out) { return Fixed(out); }
    bool Text(std::basic_string<WCHAR> *out)
    {
        out->clear();
        WORD w;
        while (true) {
            if (!Word(&w)) return false;
            if (w == 0) return true;
            out->push_back(static_cast<WCHAR>(w));
        }
    }
    bool Field(DlgField *f)
    {
        WORD first;
        if (!Word(&first)) return false;
        if (first == 0) {
            f->kind = DlgField::None;
            return true;
        }
        if (first == 0xFFFF) {
            f->kind = DlgField::Ordinal;
            return Word(&f->ordinal);
        }
        f->kind = DlgField::Text;
        m_pos -= 2;
        return Text(&f->text);
    }
    bool Bytes(size_t n, std::vector<BYTE> *out)
    {
        if (m_size - m_pos < n) return false;
        out->assign(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return true;
    }
    // Items start on a DWORD boundary of the template; the last one may end
    // the resource without padding.
    bool Align4()
    {
        size_t next = (m_pos + 3) & ~static_cast<size_t>(3);
        if (next > m_size) return false;
        m_pos = next;
        return true;
    }

private:
    // A little-endian field of T's size, only when the template still holds it.
    template <class T>
    bool Fixed(T *out)
    {
        if (m_size - m_pos < sizeof(T)) return false;
        std::memcpy(out, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return true;
    }

    const BYTE *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool ParseItem(Reader &r, bool extended, DlgItem *item)
{
    if (!r.Align4()) return false;
    if (extended) {
        if (!r.Dword(&item->helpId) || !r.Dword(&item->exStyle) || !r.Dword(&item->style)) return false;
    } else {
        if (!r.Dword(&item->style) || !r.Dword(&item->exStyle)) return false;
    }
    if (!r.Short(&item->x) || !r.Short(&item->y) || !r.Short(&item->cx) || !r.Short(&item->cy)) return false;
    if (extended) {
        if (!r.Dword(&item->id)) return false;
    } else {
        WORD id;
        if (!r.Word(&id)) return false;
        item->id = id;
    }
    // A title is a text or an ordinal; an empty text is a single NUL, which
    // reads as "none" and means the same.
    WORD extra;
    if (!r.Field(&item->windowClass) || !r.Field(&item->title) || !r.Word(&extra)) return false;
    // A classic template counts the size word itself in a non-zero size.
    size_t extraBytes = extra;
    if (!extended && extraBytes >= 2) extraBytes -= 2;
    return r.Bytes(extraBytes, &item->creationData);
}

}  // namespace

bool ParseDialogTemplate(const void *data, size_t size, DlgTemplate *out)
{
    if (!out) return false;
    *out = DlgTemplate();
    if (!data) return false;
    Reader r(static_cast<const BYTE *>(data), size);
    DlgTemplate t;
    WORD version = 0, signature = 0;
    if (size >= 4) {
        std::memcpy(&version, data, 2);
        std::memcpy(&signature, static_cast<const BYTE *>(data) + 2, 2);
    }
    t.extended = version == 1 && signature == 0xFFFF;
    WORD count = 0;
    if (t.extended) {
        WORD skip;
        if (!r.Word(&skip) || !r.Word(&skip) || !r.Dword(&t.helpId) || !r.Dword(&t.exStyle) || !r.Dword(&t.style))
            return false;
    } else {
        if (!r.Dword(&t.style) || !r.Dword(&t.exStyle)) return false;
    }
    if (!r.Word(&count) || !r.Short(&t.x) || !r.Short(&t.y) || !r.Short(&t.cx) || !r.Short(&t.cy)) return false;
    if (!r.Field(&t.menu) || !r.Field(&t.windowClass) || !r.Text(&t.title)) return false;
    if (t.style & DS_SETFONT) {
        t.hasFont = true;
        if (!r.Word(&t.pointSize)) return false;
        if (t.extended && (!r.Word(&t.weight) || !r.Byte(&t.italic) || !r.Byte(&t.charset))) return false;
        if (!r.Text(&t.faceName)) return false;
    }
    // Items are added as they are read, so a count larger than the data
    // costs nothing.
    for (WORD i = 0; i < count; ++i) {
        DlgItem item;
        if (!ParseItem(r, t.extended, &item)) return false;
        t.items.push_back(std::move(item));
    }
    *out = std::move(t);
    return true;
}

}  // namespace kvp
