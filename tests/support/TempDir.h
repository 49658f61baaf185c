#pragma once
// A fresh folder below the system temporary folder, removed with everything in it.
#include <chrono>
#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // The folder as the launcher writes paths: wide text.
    std::wstring wpath() const { return path_.wstring(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Whole file as bytes; empty when unreadable.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Polls until the file exists (another process makes it); false on time-out.
bool WaitForFile(const std::filesystem::path& path,
                 std::chrono::milliseconds timeout = std::chrono::seconds(60));
