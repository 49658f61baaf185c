// Files and folders on Linux.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <new>

#include "common/os/os.h"
#include "common/os/posix_native.h"

namespace os {

using namespace posix;

// ---- files and folders ------------------------------------------------------------------

bool PathExists(const std::wstring& path) {
    std::string native;
    return ToNative(path, native) && ::access(native.c_str(), F_OK) == 0;
}

bool IsDirectory(const std::wstring& path) {
    std::string native;
    struct stat st {};
    return ToNative(path, native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathInfo InspectPath(const std::wstring& path) {
    PathInfo info;
    std::string native;
    struct stat st {};
    if (!ToNative(path, native) || ::lstat(native.c_str(), &st) != 0) return info;
    info.exists = true;
    info.isLink = S_ISLNK(st.st_mode);
    info.isDirectory = S_ISDIR(st.st_mode) || (info.isLink && IsDirectory(path));
    return info;
}

// "//server" and "//server/share/..." stand for the Windows UNC forms.
bool IsUncPath(const std::wstring& path) {
    return path.size() >= 2 && path[0] == kSep && path[1] == kSep;
}

bool IsUncServer(const std::wstring& path) {
    return IsUncPath(path) && path.find(kSep, 2) == std::wstring::npos;
}

int RemoveFile(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    // unlink would remove a folder link's entry; a folder is refused as DeleteFileW does.
    if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(EISDIR);
    return ::unlink(native.c_str()) == 0 ? 0 : errno;
}

namespace {

// rename(2) that never replaces: 0 or the error (errno set).
int RenameNative(const std::string& src, const std::string& dst) {
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno == EINVAL || errno == ENOSYS) {  // file system without no-replace renames
        struct stat st {};
        if (::lstat(dst.c_str(), &st) == 0) return Fail(EEXIST);
        if (::rename(src.c_str(), dst.c_str()) == 0) return 0;
    }
    return errno;
}

// Flushes a file or a folder to the disk; 0 or the error.
int SyncPath(const std::string& native, int flags) {
    Fd fd(::open(native.c_str(), flags | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

std::string FolderOf(const std::string& native) {
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : native.substr(0, slash);
}

}  // namespace

int RenameNoReplace(const std::wstring& from, const std::wstring& to) {
    std::string src, dst;
    if (!ToNative(from, src) || !ToNative(to, dst)) return errno;
    const int e = RenameNative(src, dst);
    if (e != EXDEV) return e;
    // Another file system: a file is copied under a passing name, flushed, given its name and
    // only then removed at its source, as MoveFileW does it.
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return Fail(EXDEV);
    if (::lstat(dst.c_str(), &st) == 0) return Fail(EEXIST);
    const std::wstring part = to + kMoveCopySuffix;
    std::string partNative;
    if (!ToNative(part, partNative)) return errno;
    int copied = CopyOneFile(from, part, false);
    if (copied == 0) copied = SyncPath(partNative, O_RDONLY);
    if (copied == 0) copied = RenameNative(partNative, dst);
    if (copied != 0) {
        ::unlink(partNative.c_str());
        return Fail(copied);
    }
    return ::unlink(src.c_str()) == 0 ? 0 : errno;
}

int ReplaceFileWith(const std::wstring& from, const std::wstring& to) {
    std::string src, dst;
    if (!ToNative(from, src) || !ToNative(to, dst)) return errno;
    if (::rename(src.c_str(), dst.c_str()) != 0) return errno;
    SyncPath(FolderOf(dst), O_RDONLY | O_DIRECTORY);
    errno = 0;
    return 0;
}

int CopyOneFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    std::string src;
    if (!ToNative(from, src)) return errno;
    struct stat st {};
    Fd in(OpenRegularForReading(src, st));
    if (in.get() < 0) return errno;
    // Not truncated yet: a copy onto itself must not destroy the source.
    Fd out(OpenForWriting(to, O_CREAT | (failIfExists ? O_EXCL : 0), st.st_mode & 07777));
    if (out.get() < 0) return errno;
    struct stat dst {};
    if (::fstat(out.get(), &dst) != 0) return errno;
    if (dst.st_dev == st.st_dev && dst.st_ino == st.st_ino) return Fail(EINVAL);
    if (::ftruncate(out.get(), 0) != 0) return errno;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        if (const int e = WriteAll(out.get(), buffer, static_cast<size_t>(n))) return Fail(e);
    }
    ::fchmod(out.get(), st.st_mode & 07777);
    if (EndsWithExe(to)) AddExecuteBits(out.get());
    if (const int e = out.Close()) return Fail(e);
    return 0;
}

int MakeFolder(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::mkdir(native.c_str(), 0777) == 0 ? 0 : errno;
}

int MakePrivateFolder(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::mkdir(native.c_str(), 0700) == 0 ? 0 : errno;
}

int RemoveFolder(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::rmdir(native.c_str()) == 0 ? 0 : errno;
}

int RemoveLink(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return errno;
    if (!S_ISLNK(st.st_mode)) return Fail(EINVAL);
    return ::unlink(native.c_str()) == 0 ? 0 : errno;
}

int CopyLink(const std::wstring& from, const std::wstring& to) {
    std::string src, dst;
    if (!ToNative(from, src) || !ToNative(to, dst)) return errno;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(src.c_str(), target.data(), target.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) == target.size()) return Fail(ENAMETOOLONG);
    target.resize(static_cast<size_t>(n));
    return ::symlink(target.c_str(), dst.c_str()) == 0 ? 0 : errno;
}

int ListDirectory(const std::wstring& path, std::vector<DirEntry>& out) {
    out.clear();
    std::string native;
    if (!ToNative(path, native)) return errno;
    std::error_code ec;
    std::filesystem::directory_iterator it(native, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        DirEntry entry;
        entry.name = FromNative(it->path().filename().string());
        std::error_code typeError;
        entry.isLink = it->is_symlink(typeError);
        entry.isDirectory = it->is_directory(typeError);
        out.push_back(std::move(entry));
    }
    if (ec) {
        out.clear();
        return Fail(ec.value());
    }
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return 0;
}

int ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    out.clear();
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    Fd fd(OpenRegularForReading(native, st));
    if (fd.get() < 0) return errno;
    if (static_cast<uint64_t>(st.st_size) > maxBytes) return Fail(EFBIG);
    try {
        out.reserve(static_cast<size_t>(st.st_size));
        uint8_t buffer[65536];
        while (true) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int e = errno;
                out.clear();
                return Fail(e);
            }
            if (n == 0) return 0;
            // The file may grow while it is read.
            if (out.size() + static_cast<size_t>(n) > maxBytes) {
                out.clear();
                return Fail(EFBIG);
            }
            out.insert(out.end(), buffer, buffer + n);
        }
    } catch (const std::bad_alloc&) {
        out = std::vector<uint8_t>();
        return Fail(ENOMEM);
    }
}

int AppendToFile(const std::wstring& path, const void* data, size_t size) {
    FileWriter file;
    if (const int e = file.OpenForAppend(path)) return e;
    if (const int e = file.Write(data, size)) return e;
    if (const int e = file.Close()) return Fail(e);
    return 0;
}

int WriteNewFile(const std::wstring& path, const void* data, size_t size) {
    Fd fd(OpenForWriting(path, O_CREAT | O_TRUNC));
    if (fd.get() < 0) return errno;
    if (EndsWithExe(path)) AddExecuteBits(fd.get());
    if (const int e = WriteAll(fd.get(), data, size)) return Fail(e);
    if (const int e = fd.Close()) return Fail(e);
    return 0;
}

int QueryFileSize(const std::wstring& path, uint64_t& size) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}

int GetFileIdentity(const std::wstring& path, FileIdentity& identity) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno;
    identity = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return 0;
}

int OpenForExclusiveUse(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    const int fd = ::open(native.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

void MarkRunnableIfProgram(const std::wstring& path) {
    if (!EndsWithExe(path)) return;
    std::string native;
    if (!ToNative(path, native)) return;
    const int saved = errno;
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        AddExecuteBits(fd);
        ::close(fd);
    }
    errno = saved;
}

// ---- streaming writer ---------------------------------------------------------------------

FileWriter::~FileWriter() { Close(); }

int FileWriter::Create(const std::wstring& path) {
    Close();
    const int fd = OpenForWriting(path, O_CREAT | O_TRUNC);
    if (fd < 0) return errno;
    handle_ = fd;
    if (EndsWithExe(path)) AddExecuteBits(fd);
    return 0;
}

int FileWriter::OpenForAppend(const std::wstring& path) {
    Close();
    const int fd = OpenForWriting(path, O_CREAT | O_APPEND);
    if (fd < 0) return errno;
    handle_ = fd;
    return 0;
}

int FileWriter::Write(const void* data, size_t size) {
    if (handle_ == kNone) return Fail(EBADF);
    return Fail(WriteAll(static_cast<int>(handle_), data, size));
}

int FileWriter::Flush() {
    if (handle_ == kNone) return Fail(EBADF);
    return ::fsync(static_cast<int>(handle_)) == 0 ? 0 : errno;
}

int FileWriter::Close() {
    if (handle_ == kNone) return 0;
    const int fd = static_cast<int>(handle_);
    handle_ = kNone;
    return ::close(fd) == 0 ? 0 : errno;
}

// ---- locks between processes ---------------------------------------------------------------

int TryLockExclusive(const std::wstring& path, LockHandle& handle) {
    handle = kNoLock;
    std::string native;
    if (!ToNative(path, native)) return errno;
    int fd;
    do {
        fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int e = errno;
        ::close(fd);
        return Fail(e == EWOULDBLOCK ? err::kLockBusy : e);
    }
    handle = fd;
    return 0;
}

void ReleaseLock(LockHandle handle) {
    if (handle == kNoLock) return;
    const int saved = errno;
    ::close(static_cast<int>(handle));
    errno = saved;
}

}  // namespace os
