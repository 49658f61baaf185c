#include "tools/zeb-release/FileWrites.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Reason(const std::string& what, const fs::path& path, int error) {
    return what + " " + path.string() + ": " + std::strerror(error);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

// Writes, flushes and closes a new file; 0 or the error.
int WriteDurably(Descriptor& file, std::string_view bytes) {
    if (const int e = WriteAll(file.get(), bytes.data(), bytes.size())) return e;
    if (::fsync(file.get()) != 0) return errno;
    return file.Close();
}

bool SyncFolder(const fs::path& folder, std::string& error) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
        error = Reason("cannot flush the folder", folder, errno);
        return false;
    }
    return true;
}

bool MakeFolders(const fs::path& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) error = "cannot make the folder " + folder.string() + ": " + ec.message();
    return !ec;
}

// Renames the finished temporary file over path and makes the rename durable.
bool Commit(const fs::path& temporary, const fs::path& path, std::string& error) {
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = Reason("cannot rename into place", path, errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return SyncFolder(path.parent_path(), error);
}

bool Replace(const fs::path& given, mode_t mode, const std::function<int(Descriptor&)>& fill,
             std::string& error) {
    const fs::path path = fs::absolute(given);
    if (!MakeFolders(path.parent_path(), error)) return false;
    const fs::path temporary = TemporaryNameFor(path);
    Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (file.get() < 0) {
        error = Reason("cannot write", temporary, errno);
        return false;
    }
    // The umask must not narrow a program's mode.
    if (::fchmod(file.get(), mode) != 0) {
        error = Reason("cannot set the mode of", temporary, errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (const int e = fill(file)) {
        error = Reason("cannot write", temporary, e);
        ::unlink(temporary.c_str());
        return false;
    }
    return Commit(temporary, path, error);
}

}  // namespace

fs::path TemporaryNameFor(const fs::path& path) {
    return path.parent_path() / ("." + path.filename().string() + ".zeb-release-tmp");
}

bool WritePrivateFile(const fs::path& path, std::string_view bytes, std::string& error) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        error = Reason("cannot create", path, errno);
        return false;
    }
    if (const int e = WriteDurably(file, bytes)) {
        error = Reason("cannot write", path, e);
        return false;
    }
    return true;
}

bool ReplaceFile(const fs::path& path, std::string_view bytes, std::string& error) {
    return Replace(path, 0644, [bytes](Descriptor& file) { return WriteDurably(file, bytes); },
                   error);
}

bool ReplaceWithCopy(const fs::path& path, const fs::path& source, std::string& error) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0) {
        error = Reason("cannot read", source, errno);
        return false;
    }
    const auto copy = [&in](Descriptor& out) {
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return errno;
            if (got == 0) break;
            if (const int e = WriteAll(out.get(), buffer, static_cast<size_t>(got))) return e;
        }
        return WriteDurably(out, {});
    };
    return Replace(path, st.st_mode & 0777, copy, error);
}

bool ReadFileText(const fs::path& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        error = "cannot open " + path.string();
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    text = content.str();
    return true;
}
