// File version information: GetFileVersionInfoSizeW, GetFileVersionInfoW
// and VerQueryValueW.
//
// The version resource is a tree of nodes, each
//   WORD wLength (of the node with its children), WORD wValueLength,
//   WORD wType (1 text, 0 binary), WCHAR szKey[] with NUL, padding to a DWORD,
//   the value (wValueLength characters for text, bytes for binary),
//   padding to a DWORD, then the children.
// The root ("VS_VERSION_INFO") has the VS_FIXEDFILEINFO as its value.
#include <cstring>

#include "kvp/kernel.h"
#include "kvp/resource.h"
#include "resource_internal.h"
#include "wstr.h"

using namespace kvp;

namespace {

// One node of the tree, located within [0, limit) of the block.
struct Node {
    size_t start = 0;
    size_t end = 0;  // start + wLength
    WORD valueLength = 0;
    WORD type = 0;
    size_t keyOffset = 0;
    size_t keyLength = 0;  // characters
    size_t valueOffset = 0;
    size_t valueBytes = 0;
    size_t childrenOffset = 0;
};

bool ReadNode(const BYTE *block, size_t start, size_t limit, Node *n)
{
    if (start > limit || limit - start < 6) return false;
    const size_t length = Word(block + start);
    if (length < 6 || length > limit - start) return false;
    n->start = start;
    n->end = start + length;
    n->valueLength = Word(block + start + 2);
    n->type = Word(block + start + 4);
    size_t p = start + 6;
    n->keyOffset = p;
    while (true) {
        if (n->end - p < 2) return false;
        if (Word(block + p) == 0) break;
        p += 2;
    }
    n->keyLength = (p - n->keyOffset) / 2;
    p = AlignUp4(p + 2);
    n->valueOffset = p;
    n->valueBytes = n->type == 1 ? static_cast<size_t>(n->valueLength) * 2 : n->valueLength;
    if (p > n->end || n->valueBytes > n->end - p) {
        // Some writers count a text value in bytes; never reach past the node.
        if (p > n->end) return false;
        n->valueBytes = n->end - p;
    }
    n->childrenOffset = AlignUp4(p + n->valueBytes);
    return true;
}

bool KeyIs(const BYTE *block, const Node &n, const wstring16 &upperName)
{
    if (n.keyLength != upperName.size()) return false;
    wstring16 key(n.keyLength, u'\0');
    for (size_t i = 0; i < n.keyLength; ++i) key[i] = static_cast<WCHAR>(Word(block + n.keyOffset + 2 * i));
    return WUpper(key) == upperName;
}

// The version resource of a file, copied out of its resource image.
bool ReadVersionResource(LPCWSTR fileName, std::vector<BYTE> *out)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Win32 callers may separate with '\\'; natively the separator is '/'.
    std::string path = WToUtf8(fileName);
    for (char &c : path)
        if (c == '\\') c = '/';
    ResImage img;
    if (!LoadResImageFromFile(path, &img)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!img.hasSection || img.entries.empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    ResKey type, name;
    type.id = 16;
    name.id = VS_VERSION_INFO;
    DWORD error = 0;
    const ResEntry *e = FindEntry(img, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &error);
    if (!e) {
        SetLastError(error);
        return false;
    }
    // The resource must at least hold its root node.
    Node root;
    if (!ReadNode(img.bytes.data() + e->dataOffset, 0, e->dataSize, &root)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    out->assign(img.bytes.begin() + e->dataOffset, img.bytes.begin() + e->dataOffset + e->dataSize);
    return true;
}

}  // namespace

KVP_API DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle) *lpdwHandle = 0;
    std::vector<BYTE> res;
    if (!ReadVersionResource(lptstrFilename, &res)) return 0;
    return static_cast<DWORD>(res.size());
}

KVP_API BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData)
{
    if (!lpData || dwLen == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<BYTE> res;
    if (!ReadVersionResource(lptstrFilename, &res)) return FALSE;
    const size_t n = res.size() < dwLen ? res.size() : dwLen;
    std::memcpy(lpData, res.data(), n);
    if (n < res.size() && n >= 2) {
        // Cut the root to what the caller holds: VerQueryValueW has no size
        // argument and walks by the lengths in the block.
        const WORD cut = static_cast<WORD>(n & ~static_cast<size_t>(1));
        if (Word(static_cast<BYTE *>(lpData)) > cut) std::memcpy(lpData, &cut, sizeof cut);
    }
    return TRUE;
}

KVP_API BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen)
{
    if (puLen) *puLen = 0;
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const BYTE *block = static_cast<const BYTE *>(pBlock);
    Node node;
    // The root's own length is the only bound there is.
    if (!ReadNode(block, 0, Word(block), &node)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    const wstring16 path(lpSubBlock);
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && (path[i] == u'\\' || path[i] == u'/')) ++i;
        if (i >= path.size()) break;
        size_t j = i;
        while (j < path.size() && path[j] != u'\\' && path[j] != u'/') ++j;
        const wstring16 want = WUpper(path.substr(i, j - i));
        i = j;

        bool found = false;
        size_t child = node.childrenOffset;
        Node c;
        while (child < node.end && ReadNode(block, child, node.end, &c)) {
            if (KeyIs(block, c, want)) {
                found = true;
                break;
            }
            child = AlignUp4(c.end);
        }
        if (!found) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = c;
    }
    if (node.start == 0 && node.valueBytes == 0) {
        // "\\" on a resource without fixed information.
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<BYTE *>(block + node.valueOffset);
    if (puLen) *puLen = node.type == 1 ? static_cast<UINT>(node.valueBytes / 2) : static_cast<UINT>(node.valueBytes);
    return TRUE;
}
