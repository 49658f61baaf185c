// POSIX implementation of the primitives (processes, named events and the registry live in
// their own files).
#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/os/os.h"
#include "common/os/version_record.h"

extern char** environ;

namespace os {

namespace err {
const int kFileNotFound = ENOENT;
const int kPathNotFound = ENOENT;  // POSIX does not tell a missing file from a missing folder
const int kAlreadyExists = EEXIST;
const int kAccessDenied = EACCES;
// Not errno values: the registry stand-in reports these two with their Windows numbers,
// which lie outside the range errno uses.
const int kNoMoreItems = 259;
const int kMoreData = 234;
}  // namespace err

namespace {

// Path of a call as the kernel takes it; false (EILSEQ) when the text has no UTF-8 form.
bool ToNative(const std::wstring& path, std::string& native) {
    if (WideToNarrow(path, native)) return true;
    errno = EILSEQ;
    return false;
}

std::wstring FromNative(const std::string& native) { return NarrowToWideLossy(native); }

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

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the close error (a deferred write error on some file systems).
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

bool EndsWithExe(const std::wstring& path) {
    if (path.size() < 4) return false;
    std::wstring tail = path.substr(path.size() - 4);
    for (auto& c : tail)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return tail == L".exe";
}

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

void AddExecuteBits(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, (st.st_mode & 07777) | (0111 & ~CurrentUmask()));
}

int OpenForWriting(const std::wstring& path, int flags, mode_t mode = 0666) {
    std::string native;
    if (!ToNative(path, native)) return -1;
    int fd;
    do {
        fd = ::open(native.c_str(), flags | O_WRONLY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int ErrorOf(const std::error_code& ec) { return ec ? ec.value() : 0; }

// True when inner is outer itself or lies below it.
bool Within(const std::filesystem::path& inner, const std::filesystem::path& outer) {
    std::error_code ec;
    const auto a = std::filesystem::weakly_canonical(inner, ec);
    if (ec) return false;
    const auto b = std::filesystem::weakly_canonical(outer, ec);
    if (ec) return false;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty()) continue;  // trailing separator
        if (ai == a.end() || *ai != *bi) return false;
    }
    return true;
}

}  // namespace

// ---- errors ---------------------------------------------------------------------------

int LastError() { return errno; }
void SetLastError(int code) { errno = code; }

std::wstring ErrorText(int code) {
    // The registry stand-in's two numbers carry the Windows texts.
    if (code == err::kNoMoreItems) return L"No more data is available.\r\n";
    if (code == err::kMoreData) return L"More data is available.\r\n";
    char buffer[256];
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) {
        errno = EINVAL;
        return std::wstring();
    }
    return FromNative(text) + L"\r\n";
}

// ---- environment and well-known folders ------------------------------------------------

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    std::string native;
    if (!ToNative(name, native)) return std::nullopt;
    const char* value = ::getenv(native.c_str());
    if (value == nullptr) return std::nullopt;
    std::wstring wide;
    if (!NarrowToWide(value, wide)) return std::nullopt;
    return wide;
}

namespace {
std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && path.back() == kSep) path.pop_back();
    return path;
}

// A folder variable: its value when set and not empty, else the fallback. False when the
// value is set but has no text form.
bool FolderVariable(const char* name, const wchar_t* fallback, std::wstring& out) {
    const char* value = ::getenv(name);
    if (value == nullptr || *value == '\0') {
        out = fallback;
        return true;
    }
    std::wstring wide;
    if (!NarrowToWide(value, wide)) {
        errno = EILSEQ;
        return false;
    }
    out = WithoutTrailingSeparators(wide);
    return true;
}
}  // namespace

bool CommonAppDataFolder(std::wstring& out) { return FolderVariable("ProgramData", L"/var/lib", out); }

std::wstring ProgramFilesFolder() {
    std::wstring out;
    return FolderVariable("ProgramFiles", L"/opt", out) ? out : L"/opt";
}

std::wstring ProgramDataFolder() {
    std::wstring out;
    return FolderVariable("ProgramData", L"/var/lib", out) ? out : L"/var/lib";
}

std::wstring TempFolder() {
    std::wstring out;
    if (!FolderVariable("TMPDIR", L"/tmp", out)) out = L"/tmp";
    if (out.empty() || out.back() != kSep) out += kSep;
    return out;
}

std::wstring ModulePath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::wstring();
    buffer.resize(static_cast<size_t>(n));
    return FromNative(buffer);
}

std::wstring CurrentDirectory() {
    std::error_code ec;
    const auto path = std::filesystem::current_path(ec);
    return ec ? std::wstring() : FromNative(path.string());
}

bool SetCurrentDirectory(const std::wstring& path) {
    std::string native;
    return ToNative(path, native) && ::chdir(native.c_str()) == 0;
}

// ---- process identity, time, output -----------------------------------------------------

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }
uint32_t CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

bool IsDebuggerPresent() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("TracerPid:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    return false;
}

LocalTime Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return LocalTime{local.tm_mon + 1,  local.tm_mday, local.tm_hour,
                     local.tm_min,      local.tm_sec,  static_cast<int>(ts.tv_nsec / 1000000)};
}

uint64_t MonotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMs(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void DebugOutputNarrow(const std::string& text) {
    const int saved = errno;
    WriteAll(STDERR_FILENO, text.data(), text.size());
    errno = saved;
}

void DebugOutput(const std::wstring& text) { DebugOutputNarrow(WideToNarrowLossy(text)); }

namespace {
bool ProgramOnPath(const char* name) {
    const char* path = ::getenv("PATH");
    if (path == nullptr) return false;
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = ::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

bool ShowZenity(const std::string& caption, const std::string& body, uint32_t timeoutMs) {
    const std::string timeout = "--timeout=" + std::to_string((timeoutMs + 999) / 1000);
    const std::string title = "--title=" + caption;
    const std::string text = "--text=" + body;
    char* argv[] = {const_cast<char*>("zenity"), const_cast<char*>("--info"),
                    const_cast<char*>(timeout.c_str()), const_cast<char*>(title.c_str()),
                    const_cast<char*>(text.c_str()), nullptr};
    pid_t pid;
    if (::posix_spawnp(&pid, "zenity", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    // OK, closed by the user, or timed out; anything else (no connection to the display)
    // means nobody saw the box.
    if (!WIFEXITED(status)) return false;
    const int code = WEXITSTATUS(status);
    return code == 0 || code == 1 || code == 5;
}

// Waits up to timeoutMs for the user to press Enter on the terminal.
void WaitForEnter(uint32_t timeoutMs) {
    const uint64_t end = MonotonicMs() + timeoutMs;
    while (true) {
        const uint64_t now = MonotonicMs();
        if (now >= end) return;
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(end - now));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n <= 0 || c == '\n') return;
    }
}
}  // namespace

bool MessageBoxTimeout(const std::wstring& caption, const std::wstring& body, uint32_t timeoutMs) {
    const int saved = errno;
    const std::string c = WideToNarrowLossy(caption), b = WideToNarrowLossy(body);
    if (HasDisplay() && ProgramOnPath("zenity") && ShowZenity(c, b, timeoutMs)) {
        errno = saved;
        return true;
    }
    const std::string text = "[" + c + "] " + b + "\n";
    const bool shown = WriteAll(STDERR_FILENO, text.data(), text.size()) == 0;
    if (shown && ::isatty(STDIN_FILENO)) WaitForEnter(timeoutMs);
    errno = saved;
    return shown;
}

void MessageBoxModal(const std::wstring& caption, const std::wstring& body) {
    DebugOutputNarrow("[" + WideToNarrowLossy(caption) + "] " + WideToNarrowLossy(body) + "\n");
}

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

// "//server" and "//server/share/..." stand for the Windows UNC forms.
bool PathIsUNC(const std::wstring& path) {
    return path.size() >= 2 && path[0] == kSep && path[1] == kSep;
}

bool PathIsUNCServer(const std::wstring& path) {
    return PathIsUNC(path) && path.find(kSep, 2) == std::wstring::npos;
}

int DeleteFile(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::unlink(native.c_str()) == 0 ? 0 : errno;
}

int MoveFile(const std::wstring& from, const std::wstring& to) {
    std::string src, dst;
    if (!ToNative(from, src) || !ToNative(to, dst)) return errno;
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno == EINVAL || errno == ENOSYS) {  // file system without no-replace renames
        struct stat st {};
        if (::lstat(dst.c_str(), &st) == 0) return Fail(EEXIST);
        if (::rename(src.c_str(), dst.c_str()) == 0) return 0;
    }
    if (errno != EXDEV) return errno;
    // Another file system: a file is copied and the original removed, as MoveFileW does.
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return Fail(EXDEV);
    if (const int e = CopyFile(from, to, true)) return e;
    return ::unlink(src.c_str()) == 0 ? 0 : errno;
}

int CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    std::string src;
    if (!ToNative(from, src)) return errno;
    Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return errno;
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
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

int CreateDirectory(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::mkdir(native.c_str(), 0777) == 0 ? 0 : errno;
}

int RemoveDirectory(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    return ::rmdir(native.c_str()) == 0 ? 0 : errno;
}

int ListDirectory(const std::wstring& path, std::vector<DirEntry>& out) {
    out.clear();
    std::string native;
    if (!ToNative(path, native)) return errno;
    std::error_code ec;
    std::filesystem::directory_iterator it(native, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::wstring name;
        // A name without a text form cannot be handed on; refuse the listing rather than
        // leave the caller with a partial view of the folder.
        if (!NarrowToWide(it->path().filename().string(), name)) {
            out.clear();
            return Fail(EILSEQ);
        }
        // A link is not followed: clearing a folder must not reach into the link's target.
        std::error_code typeError;
        const bool isDir = it->is_directory(typeError) && !it->is_symlink(typeError);
        out.push_back(DirEntry{std::move(name), isDir});
    }
    if (ec) {
        out.clear();
        return Fail(ec.value());
    }
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return 0;
}

int ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out) {
    out.clear();
    std::string native;
    if (!ToNative(path, native)) return errno;
    Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
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
        out.insert(out.end(), buffer, buffer + n);
    }
}

int AppendToFile(const std::wstring& path, const void* data, size_t size) {
    Fd fd(OpenForWriting(path, O_CREAT | O_APPEND));
    if (fd.get() < 0) return errno;
    if (const int e = WriteAll(fd.get(), data, size)) return Fail(e);
    if (const int e = fd.Close()) return Fail(e);
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

int GetFileSize(const std::wstring& path, uint64_t& size) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    size = static_cast<uint64_t>(st.st_size);
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

namespace {
namespace fs = std::filesystem;

int CopyTreeNative(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy(from, to,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing |
                 fs::copy_options::copy_symlinks,
             ec);
    return ErrorOf(ec);
}

int MoveTreeNative(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const auto source = fs::symlink_status(from, ec);
    if (ec) return ErrorOf(ec);
    const auto target = fs::symlink_status(to, ec);
    if (fs::is_directory(source) && fs::is_directory(target)) {
        // Merge into the existing folder, entry by entry.
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
            if (const int e = MoveTreeNative(it->path(), to / it->path().filename())) return e;
        if (ec) return ErrorOf(ec);
        fs::remove(from, ec);
        return ErrorOf(ec);
    }
    if (fs::exists(target) && fs::is_directory(source) != fs::is_directory(target)) return EEXIST;
    fs::rename(from, to, ec);
    if (ec.value() != EXDEV) return ErrorOf(ec);
    if (const int e = CopyTreeNative(from, to)) return e;
    fs::remove_all(from, ec);
    return ErrorOf(ec);
}

bool TreePaths(const std::wstring& from, const std::wstring& to, fs::path& src, fs::path& dst) {
    std::string a, b;
    if (!ToNative(from, a) || !ToNative(to, b)) return false;
    src = a;
    dst = b;
    return true;
}
}  // namespace

int MoveTree(const std::wstring& from, const std::wstring& to) {
    fs::path src, dst;
    if (!TreePaths(from, to, src, dst)) return errno;
    // The common case, a new name on the same file system, is one rename; anything else
    // (an existing target to merge or replace, another file system) takes the long way.
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(src, ec))) return Fail(ENOENT);
    if (fs::is_directory(fs::symlink_status(src, ec)) && Within(dst, src)) return Fail(EINVAL);
    return Fail(MoveTreeNative(src, dst));
}

int CopyTree(const std::wstring& from, const std::wstring& to) {
    fs::path src, dst;
    if (!TreePaths(from, to, src, dst)) return errno;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(src, ec))) return Fail(ENOENT);
    // A copy into its own source would never end.
    if (fs::is_directory(fs::symlink_status(src, ec)) && Within(dst, src)) return Fail(EINVAL);
    return Fail(CopyTreeNative(src, dst));
}

int DeleteTree(const std::wstring& path) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(native, ec))) return Fail(ENOENT);
    fs::remove_all(native, ec);
    return Fail(ErrorOf(ec));
}

// ---- streaming writer -------------------------------------------------------------------

FileWriter::~FileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

int FileWriter::Create(const std::wstring& path) {
    if (fd_ >= 0) Close();
    fd_ = OpenForWriting(path, O_CREAT | O_TRUNC);
    if (fd_ < 0) return errno;
    if (EndsWithExe(path)) AddExecuteBits(fd_);
    return 0;
}

int FileWriter::Write(const void* data, size_t size) {
    if (fd_ < 0) return Fail(EBADF);
    return Fail(WriteAll(fd_, data, size));
}

int FileWriter::Close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

// ---- version record ---------------------------------------------------------------------

VersionRead ReadVersionRecord(const std::wstring& path, uint16_t fileVersion[4],
                              uint16_t productVersion[4], int& error) {
    error = 0;
    std::string native;
    if (!ToNative(path, native)) {
        error = errno;
        return VersionRead::kError;
    }
    Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        error = errno;
        return VersionRead::kError;
    }
    if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
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
