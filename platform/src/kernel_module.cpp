// Modules: LoadLibraryW and friends over dlopen.
//
// An HMODULE is the address of this file's record of the module, never a
// dlopen handle: the record carries the reference count, the native path and
// the kind of load, and a handle that is not one of the records is refused.
// The executable has a record of its own (module handle NULL), and shared
// objects that the process loaded by itself (the C library, this platform)
// get one the first time someone asks for them by name or address.
//
// INVARIANT: the loader lock is held while a DllMain runs, as on Windows, so
// a DllMain may load and free other modules but two threads never attach or
// detach modules at the same time.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "kvp/kernel.h"
#include "kvp/moduleinfo.h"
#include "wstr.h"

namespace {

enum class Kind {
    Executable,  // the program itself
    Library,     // loaded with LoadLibraryW: code, DllMain, reference count
    Datafile,    // LOAD_LIBRARY_AS_DATAFILE: the file only, for its resources
    Implicit,    // loaded by the process itself; never unloaded here
};

struct Module {
    Kind kind;
    std::string path;            // canonical native path
    void *dl = nullptr;          // dlopen handle (Library, Executable)
    struct link_map *map = nullptr;  // the object in the dynamic linker
    long refs = 1;
    bool pinned = false;
};

struct Loader {
    std::recursive_mutex lock;
    std::vector<Module *> modules;  // modules[0] is the executable
};

std::string ExecutablePath()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

// Never destroyed: modules still loaded at exit may call in from their own
// destructors.
Loader &L()
{
    static Loader *loader = [] {
        Loader *l = new Loader;
        Module *exe = new Module{Kind::Executable, ExecutablePath()};
        exe->dl = dlopen(nullptr, RTLD_NOW);
        if (exe->dl) dlinfo(exe->dl, RTLD_DI_LINKMAP, &exe->map);
        exe->pinned = true;
        l->modules.push_back(exe);
        return l;
    }();
    return *loader;
}

Module *Executable() { return L().modules.front(); }

Module *Find(HMODULE handle)
{
    if (!handle) return Executable();
    for (Module *m : L().modules)
        if (reinterpret_cast<HMODULE>(m) == handle) return m;
    return nullptr;
}

HMODULE HandleOf(Module *m) { return reinterpret_cast<HMODULE>(m); }

std::string NativePath(LPCWSTR name)
{
    std::string path = kvp::WToUtf8(name);
    for (char &c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A name without an extension means a ".dll"; a trailing dot means the name
// has no extension at all.
std::string WithDefaultExtension(std::string name)
{
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
        return name;
    }
    if (name.find('.') == std::string::npos) name += ".dll";
    return name;
}

bool SameNameNoCase(const std::string &a, const std::string &b)
{
    return kvp::WEqualNoCase(kvp::WFromUtf8(a), kvp::WFromUtf8(b));
}

std::string Canonical(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out(real);
    std::free(real);
    return out;
}

Module *FindLoaded(Kind kind, const std::string &canonicalPath)
{
    for (Module *m : L().modules)
        if (m->kind == kind && m->path == canonicalPath) return m;
    return nullptr;
}

// A loaded module (not a data file) whose file name matches NAME: a bare
// name (its extension already settled) matches the base name, a path the
// whole path, without regard to case.
Module *FindByName(const std::string &name)
{
    const bool isPath = name.find('/') != std::string::npos;
    const std::string wanted = isPath ? Canonical(name) : name;
    for (Module *m : L().modules) {
        if (m->kind == Kind::Datafile) continue;
        if (SameNameNoCase(isPath ? m->path : BaseName(m->path), wanted)) return m;
    }
    return nullptr;
}

Module *RecordOfMap(struct link_map *map)
{
    for (Module *m : L().modules)
        if (m->map == map && m->kind != Kind::Datafile) return m;
    if (!map || !map->l_name || !*map->l_name) return nullptr;
    Module *m = new Module{Kind::Implicit, Canonical(map->l_name)};
    m->map = map;
    m->pinned = true;
    L().modules.push_back(m);
    return m;
}

// An object the process loaded by itself, by base name.
Module *FindImplicit(const std::string &baseName)
{
    void *self = dlopen(nullptr, RTLD_NOW);
    struct link_map *map = nullptr;
    struct link_map *found = nullptr;
    if (self && dlinfo(self, RTLD_DI_LINKMAP, &map) == 0) {
        for (; map && !found; map = map->l_next)
            if (map->l_name && *map->l_name && SameNameNoCase(BaseName(map->l_name), baseName)) found = map;
    }
    if (self) dlclose(self);
    return found ? RecordOfMap(found) : nullptr;
}

enum class FileCheck { Missing, Empty, NotObject, Object, Unreadable };

FileCheck CheckObjectFile(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return FileCheck::Missing;
    if (!S_ISREG(st.st_mode)) return FileCheck::Unreadable;
    if (st.st_size == 0) return FileCheck::Empty;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FileCheck::Unreadable;
    unsigned char magic[4] = {0, 0, 0, 0};
    ssize_t n = read(fd, magic, sizeof magic);
    close(fd);
    return n == 4 && std::memcmp(magic, "\177ELF", 4) == 0 ? FileCheck::Object : FileCheck::NotObject;
}

// The symbol NAME when MODULE itself defines it (dlsym would also find the
// module's dependencies' symbols, which Windows never exports for it).
void *OwnSymbol(Module *m, const char *name)
{
    if (!m->dl) return nullptr;
    dlerror();
    void *sym = dlsym(m->dl, name);
    if (!sym) return nullptr;
    Dl_info info;
    struct link_map *owner = nullptr;
    if (!dladdr1(sym, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP)) return nullptr;
    return owner == m->map ? sym : nullptr;
}

PDLLMAIN EntryOf(Module *m) { return reinterpret_cast<PDLLMAIN>(OwnSymbol(m, "DllMain")); }

void Forget(Module *m)
{
    auto &all = L().modules;
    for (auto it = all.begin(); it != all.end(); ++it)
        if (*it == m) {
            all.erase(it);
            break;
        }
    delete m;
}

DWORD LoadErrorOf(const char *message)
{
    const std::string text = message ? message : "";
    if (text.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
    if (text.find("ELF") != std::string::npos || text.find("file too short") != std::string::npos)
        return ERROR_BAD_EXE_FORMAT;
    return ERROR_MOD_NOT_FOUND;
}

HMODULE Load(const std::string &request, bool datafile)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    std::string path = request;
    if (path.find('/') == std::string::npos) {
        // A bare name: a module already loaded under that name, else the
        // file beside the executable.
        std::string name = WithDefaultExtension(path);
        Module *m = FindByName(name);
        if (!m) m = FindImplicit(name);
        if (m) {
            if (m->kind == Kind::Library) ++m->refs;
            return HandleOf(m);
        }
        path = DirName(Executable()->path) + "/" + name;
    }

    switch (CheckObjectFile(path)) {
    case FileCheck::Missing:
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    case FileCheck::Unreadable:
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    case FileCheck::Empty:
        SetLastError(ERROR_FILE_INVALID);
        return nullptr;
    case FileCheck::NotObject:
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    case FileCheck::Object:
        break;
    }
    const std::string canonical = Canonical(path);

    if (Module *m = FindLoaded(Kind::Library, canonical)) {
        ++m->refs;
        return HandleOf(m);
    }
    if (datafile) {
        if (Module *m = FindLoaded(Kind::Datafile, canonical)) {
            ++m->refs;
            return HandleOf(m);
        }
        Module *m = new Module{Kind::Datafile, canonical};
        L().modules.push_back(m);
        return HandleOf(m);
    }

    void *dl = dlopen(canonical.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        SetLastError(LoadErrorOf(dlerror()));
        return nullptr;
    }
    struct link_map *map = nullptr;
    dlinfo(dl, RTLD_DI_LINKMAP, &map);
    for (Module *m : L().modules)
        if (m->map == map && m->kind != Kind::Datafile) {
            // The same object under another name (a link, or a library the
            // process had already loaded by itself).
            dlclose(dl);
            if (m->kind == Kind::Library) ++m->refs;
            return HandleOf(m);
        }

    Module *m = new Module{Kind::Library, canonical};
    m->dl = dl;
    m->map = map;
    L().modules.push_back(m);
    if (PDLLMAIN entry = EntryOf(m)) {
        if (!entry(HandleOf(m), DLL_PROCESS_ATTACH, nullptr)) {
            // As on Windows, a refused attach is answered with the detach
            // call before the module goes: its DllMain may have set up half.
            entry(HandleOf(m), DLL_PROCESS_DETACH, nullptr);
            Forget(m);
            dlclose(dl);
            SetLastError(ERROR_DLL_INIT_FAILED);
            return nullptr;
        }
    }
    return HandleOf(m);
}

}  // namespace

KVP_API HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
    const DWORD known = LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_LIBRARY_AS_IMAGE_RESOURCE |
                        LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE;
    if (!lpLibFileName || hFile || (dwFlags & ~known)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = NativePath(lpLibFileName);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const bool datafile =
        (dwFlags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE)) != 0;
    return Load(path, datafile);
}

KVP_API HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

KVP_API BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    Module *m = hLibModule ? Find(hLibModule) : nullptr;
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (m->pinned || m->kind == Kind::Executable || m->kind == Kind::Implicit) return TRUE;
    if (--m->refs > 0) return TRUE;
    if (m->kind == Kind::Library) {
        // Still findable by name and address while it detaches.
        if (PDLLMAIN entry = EntryOf(m)) entry(HandleOf(m), DLL_PROCESS_DETACH, nullptr);
        void *dl = m->dl;
        Forget(m);
        dlclose(dl);
    } else {
        Forget(m);
    }
    return TRUE;
}

KVP_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    Module *m = Find(hModule);
    if (!m || m->kind == Kind::Datafile) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Exports by ordinal do not exist for ELF objects.
    if (!lpProcName || IS_INTRESOURCE(lpProcName)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (m->kind == Kind::Implicit && !m->dl) {
        m->dl = dlopen(m->path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
    void *sym = OwnSymbol(m, lpProcName);
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(sym);
}

KVP_API DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    Module *m = Find(hModule);
    if (!m || m->kind == Kind::Datafile) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!lpFilename && nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const kvp::wstring16 path = kvp::WFromUtf8(m->path);
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // A path that does not fit is cut to nSize - 1 characters, terminated,
    // and the answer is nSize.
    const bool fits = path.size() < nSize;
    const size_t count = fits ? path.size() : nSize - 1;
    for (size_t i = 0; i < count; ++i) lpFilename[i] = path[i];
    lpFilename[count] = 0;
    if (!fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    return static_cast<DWORD>(count);
}

KVP_API HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    if (!lpModuleName) return HandleOf(Executable());
    std::string name = NativePath(lpModuleName);
    const bool bare = name.find('/') == std::string::npos;
    if (bare) name = WithDefaultExtension(name);
    Module *m = name.empty() ? nullptr : FindByName(name);
    if (!m && bare && !name.empty()) m = FindImplicit(name);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return HandleOf(m);
}

KVP_API BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE *phModule)
{
    const DWORD known = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (phModule) *phModule = nullptr;
    if (!phModule || (dwFlags & ~known) ||
        ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    Module *m = nullptr;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        Dl_info info;
        struct link_map *map = nullptr;
        if (lpModuleName && dladdr1(lpModuleName, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) && map) {
            m = map == Executable()->map ? Executable() : RecordOfMap(map);
        }
    } else {
        HMODULE h = GetModuleHandleW(lpModuleName);
        m = h ? Find(h) : nullptr;
    }
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) m->pinned = true;
    else if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && m->kind == Kind::Library) ++m->refs;
    *phModule = HandleOf(m);
    return TRUE;
}

namespace kvp {

const char *ModuleNativePath(HMODULE module)
{
    std::lock_guard<std::recursive_mutex> guard(L().lock);
    Module *m = Find(module);
    return m ? m->path.c_str() : "";
}

}  // namespace kvp
