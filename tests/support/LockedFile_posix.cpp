#include <cstdlib>

#include "tests/support/LockedFile.h"
#include "tests/support/TempDir.h"

LockedFile::LockedFile(std::filesystem::path path, const std::string& content)
    : path_(std::move(path)) {
    WriteFileBytes(path_, content);
    locked_ = std::system(("chattr +i '" + path_.string() + "' 2>/dev/null").c_str()) == 0;
}

LockedFile::~LockedFile() {
    if (locked_) std::system(("chattr -i '" + path_.string() + "' 2>/dev/null").c_str());
}
