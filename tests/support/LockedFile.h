#pragma once
// A file that cannot be renamed or deleted while this object lives: immutable on Linux
// (chattr +i, which stops root where modes do not), held open without delete sharing on
// Windows.
#include <cstdint>
#include <filesystem>
#include <string>

class LockedFile {
public:
    // Writes the file with content, then locks it.
    LockedFile(std::filesystem::path path, const std::string& content);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    // False when this platform or file system allowed no lock (the file is still written).
    bool locked() const { return locked_; }

private:
    std::filesystem::path path_;
    bool locked_ = false;
    intptr_t handle_ = 0;  // the open file on Windows
};
