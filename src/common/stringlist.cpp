// Bounded double-NUL string lists.
#include "stringlist.h"

StringList::StringList(LPCSTR initial) : m_buffer{}, m_count(0), m_cursor(0), m_end(0)
{
    if (initial != nullptr && initial[0] != '\0') AddList(initial);
}

StringList::~StringList() = default;

LPCSTR StringList::First()
{
    m_cursor = 0;
    return m_count > 0 ? m_buffer : nullptr;
}

LPCSTR StringList::Next()
{
    if (m_buffer[m_cursor] == '\0') return nullptr;
    DWORD next = m_cursor;
    while (m_buffer[next] != '\0') ++next;
    ++next;
    if (next >= m_end) return nullptr;
    m_cursor = next;
    return m_buffer[m_cursor] != '\0' ? m_buffer + m_cursor : nullptr;
}

BOOL StringList::Add(LPCSTR text)
{
    if (text == nullptr || text[0] == '\0') return FALSE;
    // Never look further into TEXT than could fit.
    DWORD room = kCapacity - m_end;
    DWORD length = 0;
    while (length + 2 <= room && text[length] != '\0') ++length;
    if (text[length] != '\0' || m_end + length + 2 > kCapacity) return FALSE;
    for (DWORD i = 0; i < length; ++i) m_buffer[m_end + i] = text[i];
    m_buffer[m_end + length] = '\0';
    m_end += length + 1;
    m_buffer[m_end] = '\0';
    ++m_count;
    return TRUE;
}

BOOL StringList::Contains(LPCSTR text)
{
    if (text == nullptr) return FALSE;
    for (DWORD at = 0; at < m_end;) {
        DWORD k = 0;
        while (m_buffer[at + k] != '\0' && m_buffer[at + k] == text[k]) ++k;
        if (m_buffer[at + k] == '\0' && text[k] == '\0') return TRUE;
        while (m_buffer[at] != '\0') ++at;
        ++at;
    }
    return FALSE;
}

BOOL StringList::AddList(LPCSTR list)
{
    if (list == nullptr) return FALSE;
    // Walk the list no further than the free space: a longer list cannot
    // fit anyway, and it may not be terminated where we think.
    DWORD room = kCapacity - m_end;
    DWORD size = 0;
    int strings = 0;
    while (size < room && list[size] != '\0') {
        while (size < room && list[size] != '\0') ++size;
        if (size >= room) return FALSE;
        ++size;
        ++strings;
    }
    // SIZE bytes of strings and the closing NUL.
    if (size >= room) return FALSE;
    for (DWORD i = 0; i < size; ++i) m_buffer[m_end + i] = list[i];
    m_end += size;
    m_buffer[m_end] = '\0';
    m_count += strings;
    return TRUE;
}

LPCSTR StringList::GetAt(int index)
{
    if (index < 0 || index >= m_count) return nullptr;
    DWORD at = 0;
    for (int i = 0; i < index; ++i) {
        while (m_buffer[at] != '\0') ++at;
        ++at;
    }
    return m_buffer + at;
}
