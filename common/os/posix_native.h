#pragma once
// Helpers shared by the POSIX backend's files: paths as the kernel takes them, descriptors
// and whole writes.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace os::posix {

// Names are bytes here, mostly UTF-8. A byte that is no part of a UTF-8 sequence becomes a
// lone surrogate U+DC80..U+DCFF, which turns back into that byte on the way to the kernel,
// so every name the system gives round-trips. The strict and lossy UTF-8 conversions of
// os.h (the wire, the log) never produce or accept these.
std::wstring NameFromBytes(const std::string& bytes);
// False when the text has no byte form (a surrogate other than an escaped byte).
bool NameToBytes(const std::wstring& name, std::string& bytes);
// Path of a call as the kernel takes it; false (EILSEQ) when it has no byte form.
bool ToNative(const std::wstring& path, std::string& native);
// A path or name the kernel gave, in the round-trip form above.
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

// Opens a file for reading without waiting for a pipe's writer or a device; anything but a
// regular file is refused (EISDIR for a folder, EINVAL for the rest). st receives its
// status. -1 with errno on failure.
int OpenRegularForReading(const std::string& native, struct stat& st);

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
