// Helpers shared by the POSIX backend's files.
#include "common/os/posix_native.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "common/os/os.h"

namespace os::posix {

namespace {

// The process's umask, read without changing it (the umask(2) dance would race other threads).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

bool ToNative(const std::wstring& path, std::string& native) {
    if (NameToBytes(path, native)) return true;
    errno = EILSEQ;
    return false;
}

std::wstring FromNative(const std::string& native) { return NameFromBytes(native); }

int Fail(int code) {
    errno = code;
    return code;
}

// Writes everything, resuming after signals and short writes.
int WriteAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Reads up to size bytes at offset; false on a read error (errno set) or a short file.
bool ReadAt(int fd, void* data, size_t size, uint64_t offset) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = 0;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

int OpenRegularForReading(const std::string& native, struct stat& st) {
    // Decided before the open, which alone may act on a device.
    if (::stat(native.c_str(), &st) != 0) return -1;
    int fd = -1;
    if (S_ISREG(st.st_mode)) {
        do {
            fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return -1;
        // The name may have been given to something else meanwhile.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
        ::close(fd);
    }
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

int Fd::Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

bool EndsWithExe(const std::wstring& path) {
    if (path.size() < 4) return false;
    std::wstring tail = path.substr(path.size() - 4);
    for (auto& c : tail)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return tail == L".exe";
}

void AddExecuteBits(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, (st.st_mode & 07777) | (0111 & ~CurrentUmask()));
}

int OpenForWriting(const std::wstring& path, int flags, mode_t mode) {
    std::string native;
    if (!ToNative(path, native)) return -1;
    int fd;
    do {
        fd = ::open(native.c_str(), flags | O_WRONLY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace os::posix
