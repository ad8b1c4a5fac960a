// A bounded list of NUL-separated strings closed by an empty string: the
// form of the feature and option lists the host driver exchanges.
//
// INVARIANT: the buffer always holds a well-formed list (the closing NUL at
// the end position); a string that does not fit is refused as a whole.
#pragma once

#include "kvsys.h"

class StringList {
public:
    static constexpr DWORD kCapacity = 2048;

    // INITIAL is an optional double-NUL list added with AddList.
    explicit StringList(LPCSTR initial = nullptr);
    virtual ~StringList();
    StringList(const StringList &) = delete;
    StringList &operator=(const StringList &) = delete;

    // The first string (and the cursor back to it); null when empty.
    LPCSTR First();
    // The string after the one at the cursor; null at the end.
    virtual LPCSTR Next();
    // Appends one string; false for a null or empty string or one that
    // does not fit with its NUL and the closing NUL.
    virtual BOOL Add(LPCSTR text);
    // True when a string equal byte for byte is in the list.
    virtual BOOL Contains(LPCSTR text);
    // Appends every string of a double-NUL list, or none when the whole
    // list does not fit.
    virtual BOOL AddList(LPCSTR list);
    // The INDEX-th string; null for an index outside the list.
    virtual LPCSTR GetAt(int index);

    int GetCount() const { return m_count; }
    // The list as the host wants it: double-NUL terminated, GetSize() bytes.
    LPCSTR GetBuffer() const { return m_buffer; }
    DWORD GetSize() const { return m_end + 1; }

private:
    CHAR m_buffer[kCapacity];
    int m_count;
    DWORD m_cursor;  // offset of the string returned last
    DWORD m_end;     // offset of the closing NUL
};
