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
    // A path below the folder in the platform's own form ("/" becomes "\\" on Windows).
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return (path_ / name).make_preferred();
    }

private:
    std::filesystem::path path_;
};

// path with each "/" turned into the separator the launcher writes (os::kSep).
std::wstring NativePath(std::wstring path);

// Whole file as bytes; empty when unreadable.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Polls until the file exists (another process makes it); false on time-out.
bool WaitForFile(const std::filesystem::path& path,
                 std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Makes link a link to the folder target; false when none was made (Wine reports success
// for a link it does not make).
bool MakeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link);
