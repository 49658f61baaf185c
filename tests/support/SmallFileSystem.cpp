#include "tests/support/SmallFileSystem.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

// The namespace is made once per process; the answer is kept.
const std::string& EnterPrivateMountNamespace() {
    static const std::string why = [] {
        if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("private mounts: ") + std::strerror(errno);
        return std::string();
    }();
    return why;
}

}  // namespace

std::string SmallFileSystem::Unavailable() { return EnterPrivateMountNamespace(); }

bool SmallFileSystem::Mount(const std::filesystem::path& folder, uint64_t bytes) {
    if (!Unavailable().empty()) return false;
    std::filesystem::create_directories(folder);
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    folder_ = folder;
    return true;
}

void SmallFileSystem::LeaveFree(uint64_t bytes) {
    const uint64_t free = FreeBytes();
    if (free <= bytes) return;
    std::ofstream filler(folder_ / "filler", std::ios::binary | std::ios::trunc);
    const std::string block(4096, 'f');
    for (uint64_t left = free - bytes; left >= block.size(); left -= block.size())
        filler.write(block.data(), static_cast<std::streamsize>(block.size()));
}

uint64_t SmallFileSystem::FreeBytes() const {
    struct statvfs st {};
    if (::statvfs(folder_.c_str(), &st) != 0) return 0;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

SmallFileSystem::~SmallFileSystem() {
    if (!folder_.empty()) ::umount2(folder_.c_str(), MNT_DETACH);
}
