#pragma once
// Files served by GET below the release folder (update files, the 7-Zip tool below
// "zeb-mh/Tools/7z/7za.exe"). The release descriptions in "releases/" are not served.
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace httplib {
struct Request;
struct Response;
}

enum class FileLookup {
    kFound,
    kMissing,  // no regular file there, or below the hidden releases folder
    kRefused,  // the path tries to leave the folder: a ".." part, a backslash, a NUL, or a
               // symbolic link leading outside
};

struct ServedFile {
    FileLookup state = FileLookup::kMissing;
    std::filesystem::path path;  // resolved file (kFound only)
    std::uintmax_t size = 0;
};

// Maps a decoded request path ("/zeb-mh/Tools/7z/7za.exe") to a file below root, which must
// be canonical (symbolic links resolved). Empty and "." parts are skipped; the path is
// always taken relative to root, so "//etc/passwd" means root/etc/passwd.
ServedFile ResolveServedFile(const std::filesystem::path& root, std::string_view urlPath);

// Answers with the file's bytes, read in pieces as the client takes them, so a file of any
// size is streamed without being held in memory. One range lying within the file gets 206
// with that part; any other Range header is ignored and the whole file sent with 200.
void StreamFile(const ServedFile& file, const httplib::Request& request,
                httplib::Response& response);
