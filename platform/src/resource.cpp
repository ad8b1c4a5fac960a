// Module resources: FindResourceW and friends, LoadStringW.
//
// A module's resources are the .res image in its ELF section ".kvrsrc",
// read from the module's file on first use and kept for the rest of the
// process, so that pointers handed out by LoadResource and LoadStringW stay
// valid while anyone may hold them. An image is known by its file's path and
// identity: a module loaded again from a rebuilt file gets a fresh image.
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "kvp/kernel.h"
#include "kvp/moduleinfo.h"
#include "kvp/resource.h"
#include "kvp/system.h"
#include "resource_internal.h"
#include "wstr.h"

namespace kvp {
namespace {

struct Cache {
    std::mutex lock;
    std::vector<std::unique_ptr<ResImage>> images;
};

Cache &TheCache()
{
    static Cache *cache = new Cache;  // outlives every module's static destructors
    return *cache;
}

struct FileIdentity {
    dev_t dev;
    ino_t ino;
    off_t size;
    int64_t mtimeNs;
};

bool Identify(const std::string &path, FileIdentity *id)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    id->dev = st.st_dev;
    id->ino = st.st_ino;
    id->size = st.st_size;
    id->mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool SameFile(const ResImage &img, const FileIdentity &id)
{
    return img.dev == static_cast<uint64_t>(id.dev) && img.ino == static_cast<uint64_t>(id.ino) &&
           img.fileSize == static_cast<int64_t>(id.size) && img.mtimeNs == id.mtimeNs;
}

// The emulated user's UI language follows the system's code page: a system
// on code page 932 is a Japanese Windows.
WORD UserLanguage() { return SystemAnsiCodePage() == 932 ? 0x0411 : 0x0409; }

}  // namespace

bool ModulePathOf(HMODULE module, std::string *path)
{
    const char *native = ModuleNativePath(module);
    if (!native || !*native) return false;
    *path = native;
    return true;
}

bool LoadResImageFromFile(const std::string &path, ResImage *img)
{
    img->path = path;
    ElfSectionResult r = ReadElfSection(path.c_str(), ".kvrsrc", &img->bytes);
    img->hasSection = r == ElfSectionResult::Ok;
    if (r == ElfSectionResult::NoFile) return false;
    // A damaged image keeps no entries: every lookup then answers "not found".
    if (img->hasSection) ParseResImage(img->bytes.data(), img->bytes.size(), &img->entries);
    return true;
}

const ResImage *ImageOfModule(HMODULE module, DWORD *error)
{
    std::string path;
    if (!ModulePathOf(module, &path)) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    FileIdentity id;
    if (!Identify(path, &id)) {
        *error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    Cache &c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    for (auto it = c.images.rbegin(); it != c.images.rend(); ++it)
        if ((*it)->path == path && SameFile(**it, id)) return it->get();

    auto img = std::make_unique<ResImage>();
    if (!LoadResImageFromFile(path, img.get())) {
        *error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    img->dev = static_cast<uint64_t>(id.dev);
    img->ino = static_cast<uint64_t>(id.ino);
    img->fileSize = static_cast<int64_t>(id.size);
    img->mtimeNs = id.mtimeNs;
    c.images.push_back(std::move(img));
    return c.images.back().get();
}

// The image that holds this entry, or null for a pointer we never handed out.
const ResImage *ImageOfEntry(const ResEntry *entry)
{
    if (!entry) return nullptr;
    Cache &c = TheCache();
    std::lock_guard<std::mutex> guard(c.lock);
    const uintptr_t p = reinterpret_cast<uintptr_t>(entry);
    for (const auto &img : c.images) {
        if (img->entries.empty()) continue;
        const uintptr_t b = reinterpret_cast<uintptr_t>(img->entries.data());
        const uintptr_t e = reinterpret_cast<uintptr_t>(img->entries.data() + img->entries.size());
        if (p >= b && p < e && (p - b) % sizeof(ResEntry) == 0) return img.get();
    }
    return nullptr;
}

ResKey KeyOf(LPCWSTR p)
{
    ResKey k;
    if (IS_INTRESOURCE(p)) {
        k.isId = true;
        k.id = LOWORD(reinterpret_cast<ULONG_PTR>(p));
        return k;
    }
    // "#123" names the integer id 123, as on Windows.
    if (p[0] == u'#') {
        DWORD v = 0;
        size_t i = 1;
        for (; p[i] >= u'0' && p[i] <= u'9' && v <= 0xFFFF; ++i) v = v * 10 + (p[i] - u'0');
        if (i > 1 && p[i] == 0 && v <= 0xFFFF) {
            k.isId = true;
            k.id = static_cast<WORD>(v);
            return k;
        }
    }
    k.isId = false;
    k.name = WUpper(wstring16(p));
    return k;
}

namespace {

bool Matches(const ResImage &img, bool isId, WORD id, DWORD offset, DWORD length, const ResKey &key)
{
    if (isId != key.isId) return false;
    if (isId) return id == key.id;
    if (length != key.name.size()) return false;
    wstring16 name(length, u'\0');
    for (DWORD i = 0; i < length; ++i) name[i] = static_cast<WCHAR>(Word(img.bytes.data() + offset + 2 * i));
    return WUpper(name) == key.name;
}

}  // namespace

const ResEntry *FindEntry(const ResImage &img, const ResKey &type, const ResKey &name, WORD language, DWORD *error)
{
    std::vector<const ResEntry *> candidates;
    bool typeSeen = false;
    for (const ResEntry &e : img.entries) {
        if (!Matches(img, e.typeIsId, e.typeId, e.typeNameOffset, e.typeNameLength, type)) continue;
        typeSeen = true;
        if (Matches(img, e.nameIsId, e.nameId, e.nameOffset, e.nameLength, name)) candidates.push_back(&e);
    }
    if (candidates.empty()) {
        *error = typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
        return nullptr;
    }
    auto with = [&](WORD lang) -> const ResEntry * {
        for (const ResEntry *e : candidates)
            if (e->language == lang) return e;
        return nullptr;
    };
    const ResEntry *hit = nullptr;
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) {
        // Neutral, the user's language, its SUBLANG_NEUTRAL form, US English.
        const WORD user = UserLanguage();
        const WORD order[] = {0, user, static_cast<WORD>(PRIMARYLANGID(user)), 0x0409};
        for (WORD lang : order)
            if ((hit = with(lang)) != nullptr) break;
        if (!hit) hit = candidates.front();
    } else {
        // Exact, the primary language with SUBLANG_NEUTRAL, then neutral.
        const WORD order[] = {language, static_cast<WORD>(PRIMARYLANGID(language)), 0};
        for (WORD lang : order)
            if ((hit = with(lang)) != nullptr) break;
    }
    if (!hit) *error = ERROR_RESOURCE_LANG_NOT_FOUND;
    return hit;
}

}  // namespace kvp

using namespace kvp;

namespace {

HRSRC FindIn(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
    DWORD error = 0;
    const ResImage *img = ImageOfModule(hModule, &error);
    if (img && !img->hasSection) {
        img = nullptr;
        error = ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    const ResEntry *e = img ? FindEntry(*img, KeyOf(lpType), KeyOf(lpName), wLanguage, &error) : nullptr;
    if (!e) {
        SetLastError(error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResEntry *>(e));
}

}  // namespace

KVP_API HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
    return FindIn(hModule, lpType, lpName, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

KVP_API HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
    return FindIn(hModule, lpType, lpName, wLanguage);
}

KVP_API HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    const ResEntry *e = reinterpret_cast<const ResEntry *>(hResInfo);
    const ResImage *img = ImageOfEntry(e);
    if (!img) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<BYTE *>(img->bytes.data() + e->dataOffset);
}

KVP_API LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

KVP_API DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    const ResEntry *e = reinterpret_cast<const ResEntry *>(hResInfo);
    if (!ImageOfEntry(e)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return e->dataSize;
}

KVP_API BOOL WINAPI FreeResource(HGLOBAL hResData) { return FALSE; }

KVP_API int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WORD id = LOWORD(uID);
    HRSRC block = FindResourceW(hInstance, MAKEINTRESOURCEW((id >> 4) + 1), RT_STRING);
    if (!block) return 0;  // FindResourceW set the error
    const BYTE *data = static_cast<const BYTE *>(LoadResource(hInstance, block));
    const DWORD size = SizeofResource(hInstance, block);
    if (!data) return 0;

    // A block holds 16 strings, each a WORD count of characters and the
    // characters; absent strings have count 0.
    DWORD pos = 0;
    WORD length = 0;
    for (unsigned i = 0; i <= (id & 15u); ++i) {
        if (size < 2 || pos > size - 2) {
            length = 0;
            break;
        }
        std::memcpy(&length, data + pos, sizeof length);
        pos += 2;
        if (i < (id & 15u)) {
            if (static_cast<DWORD>(length) * 2 > size - pos) {
                length = 0;
                break;
            }
            pos += static_cast<DWORD>(length) * 2;
        }
    }
    if (length && static_cast<DWORD>(length) * 2 > size - pos) length = 0;  // cut short: treat as absent
    if (length == 0) {
        if (cchBufferMax > 0) lpBuffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const WCHAR *text = reinterpret_cast<const WCHAR *>(data + pos);
    if (cchBufferMax == 0) {
        std::memcpy(lpBuffer, &text, sizeof text);
        return length;
    }
    const int n = length < cchBufferMax ? length : cchBufferMax - 1;
    std::memcpy(lpBuffer, text, static_cast<size_t>(n) * sizeof(WCHAR));
    lpBuffer[n] = 0;
    return n;
}
