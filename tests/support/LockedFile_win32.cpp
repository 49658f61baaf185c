#include <windows.h>

#include "tests/support/LockedFile.h"
#include "tests/support/TempDir.h"

LockedFile::LockedFile(std::filesystem::path path, const std::string& content)
    : path_(std::move(path)) {
    WriteFileBytes(path_, content);
    // Open for reading, sharing reading only: no rename or delete until it is closed.
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    locked_ = file != INVALID_HANDLE_VALUE;
    if (locked_) handle_ = reinterpret_cast<intptr_t>(file);
}

LockedFile::~LockedFile() {
    if (locked_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
