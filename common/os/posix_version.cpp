// The version record the build stamps into its binaries, read from an ELF64 file.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/os/os.h"
#include "common/os/posix_native.h"
#include "common/os/version_record.h"

namespace os {

using namespace posix;

// ---- version record ---------------------------------------------------------------------

VersionRead ReadVersionRecord(const std::wstring& path, uint16_t fileVersion[4],
                              uint16_t productVersion[4], int& error) {
    error = 0;
    std::string native;
    if (!ToNative(path, native)) {
        error = errno;
        return VersionRead::kError;
    }
    struct stat st {};
    Fd fd(OpenRegularForReading(native, st));
    if (fd.get() < 0) {
        error = errno;
        return VersionRead::kError;
    }
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    // A short read means a malformed file (no version); a failed read is an error.
    auto readAt = [&](void* data, size_t size, uint64_t offset, VersionRead& result) {
        if (offset > fileSize || size > fileSize - offset) {
            result = VersionRead::kNoVersion;
            return false;
        }
        if (ReadAt(fd.get(), data, size, offset)) return true;
        error = errno;
        result = error != 0 ? VersionRead::kError : VersionRead::kNoVersion;
        return false;
    };

    VersionRead result = VersionRead::kNoVersion;
    Elf64_Ehdr eh{};
    if (!readAt(&eh, sizeof eh, 0, result)) return result;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize < sizeof(Elf64_Shdr))
        return VersionRead::kNoVersion;

    auto section = [&](uint64_t index, Elf64_Shdr& sh) {
        return readAt(&sh, sizeof sh, eh.e_shoff + index * eh.e_shentsize, result);
    };
    uint64_t count = eh.e_shnum;
    uint64_t names = eh.e_shstrndx;
    Elf64_Shdr first{};
    if (eh.e_shoff == 0 || !section(0, first)) return result;
    if (count == 0) count = first.sh_size;  // more sections than the header field holds
    if (names == SHN_XINDEX) names = first.sh_link;
    if (names >= count || count > fileSize / eh.e_shentsize) return VersionRead::kNoVersion;

    Elf64_Shdr strtab{};
    if (!section(names, strtab)) return result;
    const std::string_view wanted(kZebVersionSection);
    for (uint64_t i = 1; i < count; ++i) {
        Elf64_Shdr sh{};
        if (!section(i, sh)) return result;
        if (sh.sh_name >= strtab.sh_size || strtab.sh_size - sh.sh_name < wanted.size() + 1)
            continue;
        char name[16] = {};
        if (!readAt(name, wanted.size() + 1, strtab.sh_offset + sh.sh_name, result)) return result;
        if (wanted != std::string_view(name, wanted.size()) || name[wanted.size()] != '\0') continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_size < sizeof(zeb_version_record))
            return VersionRead::kNoVersion;
        zeb_version_record record{};
        if (!readAt(&record, sizeof record, sh.sh_offset, result)) return result;
        if (std::memcmp(record.magic, kZebVersionMagic, sizeof record.magic) != 0)
            return VersionRead::kNoVersion;
        for (int k = 0; k < 4; ++k) {
            fileVersion[k] = record.fileVersion[k];
            productVersion[k] = record.productVersion[k];
        }
        return VersionRead::kOk;
    }
    return VersionRead::kNoVersion;
}

}  // namespace os
