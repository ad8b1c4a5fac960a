// Reading one section of an ELF file from disk: where a module keeps its
// resource image. The file may be anything a caller names (GetFileVersionInfoW
// takes any path), so every offset and size is checked against the file's
// real size before it is read.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvp/resource.h"

namespace kvp {
namespace {

class File {
public:
    explicit File(const char *path) : m_fd(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool Open() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    // All of [offset, offset + size), or false.
    bool ReadAt(uint64_t offset, void *out, size_t size) const
    {
        auto *p = static_cast<char *>(out);
        while (size > 0) {
            ssize_t n = ::pread(m_fd, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            offset += static_cast<uint64_t>(n);
            size -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

bool InFile(uint64_t offset, uint64_t size, uint64_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

ElfSectionResult ReadElfSection(const char *path, const char *sectionName, std::vector<BYTE> *contents,
                                int *sysError)
{
    if (sysError) *sysError = 0;
    if (contents) contents->clear();
    if (!path || !sectionName || !contents) {
        if (sysError) *sysError = EINVAL;
        return ElfSectionResult::NoFile;
    }
    File file(path);
    struct stat st;
    if (!file.Open() || ::fstat(file.Fd(), &st) != 0) {
        if (sysError) *sysError = errno;
        return ElfSectionResult::NoFile;
    }
    if (!S_ISREG(st.st_mode)) {
        if (sysError) *sysError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return ElfSectionResult::NoFile;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    Elf64_Ehdr eh;
    if (fileSize < sizeof eh || !file.ReadAt(0, &eh, sizeof eh)) return ElfSectionResult::NotElf;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shoff == 0)
        return ElfSectionResult::NotElf;

    // Section 0 carries the real count and string table index when they do
    // not fit the header's 16-bit fields.
    Elf64_Shdr first;
    if (!InFile(eh.e_shoff, sizeof first, fileSize) || !file.ReadAt(eh.e_shoff, &first, sizeof first))
        return ElfSectionResult::NotElf;
    uint64_t count = eh.e_shnum ? eh.e_shnum : first.sh_size;
    uint64_t strIndex = eh.e_shstrndx == SHN_XINDEX ? first.sh_link : eh.e_shstrndx;
    if (count == 0 || count > fileSize / sizeof(Elf64_Shdr) || strIndex >= count ||
        !InFile(eh.e_shoff, count * sizeof(Elf64_Shdr), fileSize))
        return ElfSectionResult::NotElf;

    std::vector<Elf64_Shdr> sections(count);
    if (!file.ReadAt(eh.e_shoff, sections.data(), count * sizeof(Elf64_Shdr))) return ElfSectionResult::NotElf;

    const Elf64_Shdr &strtab = sections[strIndex];
    if (strtab.sh_type != SHT_STRTAB || !InFile(strtab.sh_offset, strtab.sh_size, fileSize))
        return ElfSectionResult::NotElf;
    std::vector<char> names(strtab.sh_size + 1, '\0');  // the extra NUL ends a cut last name
    if (strtab.sh_size && !file.ReadAt(strtab.sh_offset, names.data(), strtab.sh_size))
        return ElfSectionResult::NotElf;

    for (const Elf64_Shdr &sh : sections) {
        if (sh.sh_name >= strtab.sh_size || std::strcmp(&names[sh.sh_name], sectionName) != 0) continue;
        if (sh.sh_type == SHT_NOBITS || !InFile(sh.sh_offset, sh.sh_size, fileSize))
            return ElfSectionResult::NoSection;
        contents->resize(sh.sh_size);
        if (sh.sh_size && !file.ReadAt(sh.sh_offset, contents->data(), sh.sh_size)) {
            contents->clear();
            return ElfSectionResult::NoSection;
        }
        return ElfSectionResult::Ok;
    }
    return ElfSectionResult::NoSection;
}

}  // namespace kvp
