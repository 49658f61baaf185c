#pragma once
// A small tmpfs mounted on a folder for one test, so that writes below it run out of space.
// The mount lives in a mount namespace of the calling thread's own (made on first use, with
// every mount private), so it never shows outside the test process and goes when the process
// does; children started from the same thread see it. Needs CAP_SYS_ADMIN (the CI runs as
// root); Available() tells whether this process has it. Linux only.
#include <cstdint>
#include <filesystem>
#include <string>

class SmallFileSystem {
public:
    SmallFileSystem() = default;
    ~SmallFileSystem();  // unmounts (lazily: whatever still uses it lets go on its own)
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    // Empty when the mounts can be made here, else why not.
    static std::string Unavailable();
    // Mounts a tmpfs of bytes on folder (made when missing). False when it cannot.
    bool Mount(const std::filesystem::path& folder, uint64_t bytes);
    // Fills the file system up to leave bytes free, with the file "filler" at its top.
    void LeaveFree(uint64_t bytes);
    uint64_t FreeBytes() const;

private:
    std::filesystem::path folder_;
};
