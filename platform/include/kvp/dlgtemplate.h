// Dialog templates as they are stored in RT_DIALOG resources, in both
// forms: the classic DLGTEMPLATE and the extended DLGTEMPLATEEX. The dialog
// system builds its windows from the parsed form; tests read templates with
// it. Not Win32: a C++ interface of the platform.
#pragma once

#include <string>
#include <vector>

#include "kvp/base.h"

#ifndef KVP_CXX_API
#define KVP_CXX_API __attribute__((visibility("default")))
#endif

#ifndef DS_SETFONT
#define DS_SETFONT 0x40L
#endif

namespace kvp {

// A menu, class or title field: absent, an ordinal (0xFFFF + id) or a text.
struct DlgField {
    enum Kind { None, Ordinal, Text } kind = None;
    WORD ordinal = 0;
    std::basic_string<WCHAR> text;
};

struct DlgItem {
    DWORD helpId = 0;  // extended templates only
    DWORD exStyle = 0;
    DWORD style = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;  // 16 bits in classic templates
    DlgField windowClass;  // predefined classes as ordinals: 0x80 button,
                           // 0x81 edit, 0x82 static, 0x83 list box,
                           // 0x84 scroll bar, 0x85 combo box
    DlgField title;
    std::vector<BYTE> creationData;
};

struct DlgTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    DlgField menu;
    DlgField windowClass;
    std::basic_string<WCHAR> title;
    bool hasFont = false;  // DS_SETFONT
    WORD pointSize = 0;
    WORD weight = 0;  // extended only
    BYTE italic = 0;  // extended only
    BYTE charset = 0;  // extended only
    std::basic_string<WCHAR> faceName;
    std::vector<DlgItem> items;
};

// Parse SIZE bytes at DATA (the start of a template, DWORD-aligned as a
// resource is). Every field is read within SIZE: a template whose items or
// texts run past it is rejected (false, *out reset).
KVP_CXX_API bool ParseDialogTemplate(const void *data, size_t size, DlgTemplate *out);

}  // namespace kvp
