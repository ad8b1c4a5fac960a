// Files and file mappings, and CloseHandle for both.
//
// A file handle is the address of this file's record of an open file (a
// native descriptor plus the access and share mode it was opened with). The
// records of all open handles form the share table: an open that the share
// modes of the handles already open on the same file (device and inode) do
// not allow fails with ERROR_SHARING_VIOLATION before the file is touched,
// so CREATE_ALWAYS never truncates a file someone holds exclusively.
// Mapping handles hold a descriptor of their own, so a view outlives the
// file handle, as on Windows.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <unordered_set>

#include "kvp/kernel.h"
#include "wstr.h"

namespace {

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
constexpr uint64_t kAllocationGranularity = 65536;

struct Object {
    enum class Type { File, Mapping } type;
    int fd = -1;
    explicit Object(Type t) : type(t) {}
    virtual ~Object()
    {
        if (fd >= 0) close(fd);
    }
};

struct File : Object {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    bool read = false;
    bool write = false;
    bool del = false;
    DWORD share = 0;
    bool deleteOnClose = false;
    File() : Object(Type::File) {}
    bool HasDataAccess() const { return read || write || del; }
};

struct Mapping : Object {
    uint64_t size = 0;
    DWORD protect = 0;
    Mapping() : Object(Type::Mapping) {}
};

// Never destroyed: handles may be closed from static destructors.
struct Table {
    std::mutex lock;
    std::unordered_set<Object *> objects;
    std::map<const void *, size_t> views;
};

Table &T()
{
    static Table *t = new Table;
    return *t;
}

// The object of type TYPE behind H; null, with ERROR_INVALID_HANDLE as the
// last error, for anything else. Called with the table locked.
template <typename K>
K *Lookup(HANDLE h, Object::Type type)
{
    auto it = T().objects.find(static_cast<Object *>(h));
    if (it == T().objects.end() || (*it)->type != type) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<K *>(*it);
}

File *FileOf(HANDLE h) { return Lookup<File>(h, Object::Type::File); }

std::string NativePath(LPCWSTR name)
{
    std::string path = kvp::WToUtf8(name);
    for (char &c : path)
        if (c == '\\') c = '/';
    return path;
}

// The native path of NAME; false, with ERROR_PATH_NOT_FOUND as the last
// error, when there is no name.
bool PathOf(LPCWSTR name, std::string *path)
{
    *path = name ? NativePath(name) : std::string();
    if (path->empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

bool ParentExists(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return true;
    std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD ErrorOf(int err, const std::string &path)
{
    switch (err) {
    case ENOENT:
        return ParentExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

// Whether an open asking READ/WRITE/DEL with SHARE may join the handles
// already open on the file. Handles without data access take no part.
bool SharingAllows(dev_t dev, ino_t ino, bool read, bool write, bool del, DWORD share)
{
    if (!read && !write && !del) return true;
    for (Object *o : T().objects) {
        if (o->type != Object::Type::File) continue;
        const File *f = static_cast<const File *>(o);
        if (f->dev != dev || f->ino != ino || !f->HasDataAccess()) continue;
        if ((read && !(f->share & FILE_SHARE_READ)) || (write && !(f->share & FILE_SHARE_WRITE)) ||
            (del && !(f->share & FILE_SHARE_DELETE)) || (f->read && !(share & FILE_SHARE_READ)) ||
            (f->write && !(share & FILE_SHARE_WRITE)) || (f->del && !(share & FILE_SHARE_DELETE)))
            return false;
    }
    return true;
}

bool ReadAll(int fd, char *buf, size_t n, size_t *done)
{
    *done = 0;
    while (*done < n) {
        ssize_t r = read(fd, buf + *done, n - *done);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        *done += static_cast<size_t>(r);
    }
    return true;
}

bool WriteAll(int fd, const char *buf, size_t n, size_t *done)
{
    *done = 0;
    while (*done < n) {
        ssize_t r = write(fd, buf + *done, n - *done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        *done += static_cast<size_t>(r);
    }
    return true;
}

// A file handle opened for writing; null, with the last error set, for
// anything else. Called with the table locked.
File *WritableFile(HANDLE h)
{
    File *f = FileOf(h);
    if (f && !f->write) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return f;
}

// The checks ReadFile and WriteFile make, in Windows' order, before moving
// any data: a file handle opened with ACCESS, no overlapped transfer, and a
// buffer wherever there are bytes to move. Called with the table locked.
File *TransferFile(HANDLE h, bool File::*access, const void *buffer, DWORD size, LPOVERLAPPED overlapped)
{
    File *f = FileOf(h);
    if (!f) return nullptr;
    if (overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!(f->*access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!buffer && size) {
        SetLastError(ERROR_NOACCESS);
        return nullptr;
    }
    return f;
}

bool Seek(File *f, int64_t distance, DWORD method, int64_t *result)
{
    int64_t base;
    if (method == FILE_BEGIN) {
        base = 0;
    } else if (method == FILE_CURRENT) {
        base = lseek(f->fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = fstat(f->fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (base < 0) {
        SetLastError(ErrorOf(errno, f->path));
        return false;
    }
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance)) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    if (lseek(f->fd, base + distance, SEEK_SET) < 0) {
        SetLastError(ErrorOf(errno, f->path));
        return false;
    }
    *result = base + distance;
    return true;
}

}  // namespace

KVP_API HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                  DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    std::string path;
    if (!PathOf(lpFileName, &path)) return INVALID_HANDLE_VALUE;
    const bool read = (dwDesiredAccess & kReadRights) != 0;
    const bool write = (dwDesiredAccess & kWriteRights) != 0;
    const bool del = (dwDesiredAccess & DELETE) != 0;
    const bool appendOnly = (dwDesiredAccess & FILE_APPEND_DATA) &&
                            !(dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
        (dwShareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) ||
        (dwCreationDisposition == TRUNCATE_EXISTING && !write)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    std::lock_guard<std::mutex> guard(T().lock);
    struct stat st;
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (dwCreationDisposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        if (!SharingAllows(st.st_dev, st.st_ino, read, write, del, dwShareMode)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    } else if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) {
        SetLastError(ErrorOf(ENOENT, path));
        return INVALID_HANDLE_VALUE;
    }

    // Truncation needs a descriptor that may write, even for a handle that
    // was asked for reading only.
    const bool truncate =
        exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
    const bool fdWrite = write || truncate;
    const bool fdRead = read || !fdWrite;
    int flags = O_CLOEXEC | (fdRead && fdWrite ? O_RDWR : (fdWrite ? O_WRONLY : O_RDONLY));
    if (appendOnly) flags |= O_APPEND;
    if (!exists) flags |= O_CREAT | O_EXCL;
    if (truncate) flags |= O_TRUNC;
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(ErrorOf(errno, path));
        return INVALID_HANDLE_VALUE;
    }
    File *f = new File;
    f->fd = fd;
    f->path = path;
    fstat(fd, &st);
    f->dev = st.st_dev;
    f->ino = st.st_ino;
    f->read = read;
    f->write = write;
    f->del = del;
    f->share = dwShareMode;
    f->deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    T().objects.insert(f);
    const bool reopened =
        exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reopened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return f;
}

KVP_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                             LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = TransferFile(hFile, &File::read, lpBuffer, nNumberOfBytesToRead, lpOverlapped);
    if (!f) return FALSE;
    size_t done = 0;
    bool ok = ReadAll(f->fd, static_cast<char *>(lpBuffer), nNumberOfBytesToRead, &done);
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(done);
    if (!ok) {
        SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT);
        return FALSE;
    }
    return TRUE;
}

KVP_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                              LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = TransferFile(hFile, &File::write, lpBuffer, nNumberOfBytesToWrite, lpOverlapped);
    if (!f) return FALSE;
    size_t done = 0;
    bool ok = WriteAll(f->fd, static_cast<const char *>(lpBuffer), nNumberOfBytesToWrite, &done);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
    if (!ok) {
        SetLastError(errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

KVP_API DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                    DWORD dwMoveMethod)
{
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = FileOf(hFile);
    if (!f) return INVALID_SET_FILE_POINTER;
    // Without a high part the distance is a signed 32-bit number; with one,
    // the low part is its unsigned lower half.
    int64_t distance = lpDistanceToMoveHigh
                           ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                                  static_cast<uint32_t>(lDistanceToMove))
                           : static_cast<int64_t>(lDistanceToMove);
    int64_t position = 0;
    if (!Seek(f, distance, dwMoveMethod, &position)) return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    const DWORD low = static_cast<DWORD>(static_cast<uint64_t>(position));
    // The caller tells a position that looks like the failure value from a
    // failure by the last error.
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

KVP_API BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                                     DWORD dwMoveMethod)
{
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = FileOf(hFile);
    if (!f) return FALSE;
    int64_t position = 0;
    if (!Seek(f, liDistanceToMove.QuadPart, dwMoveMethod, &position)) return FALSE;
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = position;
    return TRUE;
}

KVP_API BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = WritableFile(hFile);
    if (!f) return FALSE;
    off_t at = lseek(f->fd, 0, SEEK_CUR);
    if (at < 0 || ftruncate(f->fd, at) != 0) {
        SetLastError(ErrorOf(errno, f->path));
        return FALSE;
    }
    return TRUE;
}

KVP_API BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = FileOf(hFile);
    if (!f) return FALSE;
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        SetLastError(ErrorOf(errno, f->path));
        return FALSE;
    }
    if (!lpFileSize) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    lpFileSize->QuadPart = static_cast<LONGLONG>(st.st_size);
    return TRUE;
}

KVP_API DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size)) return INVALID_FILE_SIZE;
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
    const DWORD low = static_cast<DWORD>(size.QuadPart);
    if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return low;
}

KVP_API BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    std::lock_guard<std::mutex> guard(T().lock);
    File *f = WritableFile(hFile);
    if (!f) return FALSE;
    if (fsync(f->fd) != 0) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

KVP_API BOOL WINAPI CloseHandle(HANDLE hObject)
{
    // INVALID_HANDLE_VALUE is also the current process's pseudo handle,
    // whose closing Windows accepts and ignores.
    if (hObject == INVALID_HANDLE_VALUE) return TRUE;
    std::lock_guard<std::mutex> guard(T().lock);
    auto it = T().objects.find(static_cast<Object *>(hObject));
    if (it == T().objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Object *o = *it;
    T().objects.erase(it);
    if (o->type == Object::Type::File) {
        File *f = static_cast<File *>(o);
        struct stat st;
        if (f->deleteOnClose && stat(f->path.c_str(), &st) == 0 && st.st_dev == f->dev && st.st_ino == f->ino)
            unlink(f->path.c_str());
    }
    delete o;
    return TRUE;
}

KVP_API BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    std::string path;
    if (!PathOf(lpFileName, &path)) return FALSE;
    std::lock_guard<std::mutex> guard(T().lock);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(ErrorOf(errno, path));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Deleting is an open for DELETE that shares everything.
    if (!SharingAllows(st.st_dev, st.st_ino, false, false, true,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (unlink(path.c_str()) != 0) {
        SetLastError(ErrorOf(errno, path));
        return FALSE;
    }
    return TRUE;
}

KVP_API DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    std::string path;
    if (!PathOf(lpFileName, &path)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(ErrorOf(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    // Files written by Windows carry the archive bit; one nobody may
    // write is read-only.
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

KVP_API BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
    std::string path;
    if (!PathOf(lpPathName, &path)) return FALSE;
    if (mkdir(path.c_str(), 0777) != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS
                                     : (errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorOf(errno, path)));
        return FALSE;
    }
    return TRUE;
}

KVP_API BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName)
{
    std::string path;
    if (!PathOf(lpPathName, &path)) return FALSE;
    if (rmdir(path.c_str()) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : ErrorOf(errno, path));
        return FALSE;
    }
    return TRUE;
}

KVP_API HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                         DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName)
{
    const DWORD protect = flProtect & 0xFF;
    // PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE and PAGE_EXECUTE_WRITECOPY
    // are protections Windows knows; they need execute access, which no
    // handle of ours carries.
    if (protect == 0x20 || protect == 0x40 || protect == 0x80) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE && protect != PAGE_WRITECOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t size = (static_cast<uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
    std::lock_guard<std::mutex> guard(T().lock);
    int fd = -1;
    if (hFile == INVALID_HANDLE_VALUE) {
        // Backed by memory only: the size is the caller's to give.
        if (size == 0 || size > static_cast<uint64_t>(INT64_MAX)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        fd = memfd_create("kvp-section", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
            if (fd >= 0) close(fd);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    } else {
        File *f = FileOf(hFile);
        if (!f) return nullptr;
        if (!f->read || (protect == PAGE_READWRITE && !f->write)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        struct stat st;
        if (fstat(f->fd, &st) != 0) {
            SetLastError(ErrorOf(errno, f->path));
            return nullptr;
        }
        const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
        if (size == 0) {
            if (fileSize == 0) {
                SetLastError(ERROR_FILE_INVALID);
                return nullptr;
            }
            size = fileSize;
        } else if (size > fileSize) {
            // Only a writable mapping may grow its file.
            if (protect != PAGE_READWRITE || size > static_cast<uint64_t>(INT64_MAX)) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            if (ftruncate(f->fd, static_cast<off_t>(size)) != 0) {
                SetLastError(ErrorOf(errno, f->path));
                return nullptr;
            }
        }
        fd = fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            SetLastError(ERROR_TOO_MANY_OPEN_FILES);
            return nullptr;
        }
    }
    Mapping *m = new Mapping;
    m->fd = fd;
    m->size = size;
    m->protect = protect;
    T().objects.insert(m);
    SetLastError(ERROR_SUCCESS);
    return m;
}

KVP_API LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                                    DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap)
{
    std::lock_guard<std::mutex> guard(T().lock);
    Mapping *m = Lookup<Mapping>(hFileMappingObject, Object::Type::Mapping);
    if (!m) return nullptr;
    const uint64_t offset = (static_cast<uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    if (offset % kAllocationGranularity) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    if (offset >= m->size || dwNumberOfBytesToMap > m->size - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const size_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : static_cast<size_t>(m->size - offset);
    int prot;
    int share;
    if (dwDesiredAccess & FILE_MAP_WRITE) {
        if (m->protect != PAGE_READWRITE) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        prot = PROT_READ | PROT_WRITE;
        share = MAP_SHARED;
    } else if (dwDesiredAccess & FILE_MAP_COPY) {
        // Copy on write: the view may be written, the file never sees it.
        prot = PROT_READ | PROT_WRITE;
        share = MAP_PRIVATE;
    } else if (dwDesiredAccess & FILE_MAP_READ) {
        prot = PROT_READ;
        share = MAP_SHARED;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void *view = mmap(nullptr, length, prot, share, m->fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    T().views[view] = length;
    return view;
}

KVP_API BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress)
{
    std::lock_guard<std::mutex> guard(T().lock);
    auto it = T().views.find(lpBaseAddress);
    if (it == T().views.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    munmap(const_cast<void *>(it->first), it->second);
    T().views.erase(it);
    return TRUE;
}
