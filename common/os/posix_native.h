#pragma once
// Helpers shared by the POSIX backend's files: paths as the kernel takes them, descriptors
// and whole writes.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace os::posix {

// Path of a call as the kernel takes it; false (EILSEQ) when the text has no UTF-8 form.
bool ToNative(const std::wstring& path, std::string& native);
std::wstring FromNative(const std::string& native);
// Sets errno to code and returns it.
int Fail(int code);
// Writes everything, resuming after signals and short writes; 0 or the error.
int WriteAll(int fd, const void* data, size_t size);
// Reads size bytes at offset; false on a read error (errno set) or a short file (errno 0).
bool ReadAt(int fd, void* data, size_t size, uint64_t offset);
bool EndsWithExe(const std::wstring& path);
// Adds the execute bits the umask allows to a regular file.
void AddExecuteBits(int fd);
// open() for writing, close-on-exec, resumed after signals; -1 with errno on failure.
int OpenForWriting(const std::wstring& path, int flags, mode_t mode = 0666);

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the close error (a deferred write error on some file systems).
    int Close();

private:
    int fd_;
};

}  // namespace os::posix
