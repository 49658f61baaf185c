#pragma once
// File transport over FTP: passive, binary, one connection for a whole download set.
#include <cstdint>
#include <functional>
#include <string>

#include "server/FtpRemoteFile.h"
#include "server/GL_Internet.h"

// (bytes done, bytes expected, text): called at the start, once per tenth, and at the end.
using ProgressCallback = std::function<void(float, float, const std::wstring&)>;

// Longest local or server path a download set entry may hold, in characters.
inline constexpr size_t kFtpPathCapacity = 255;
// Sizes from here on do not fit the 32-bit expected size and are refused.
inline constexpr uint64_t kFtpSizeLimit = uint64_t{1} << 32;

// Connects to serverUrl ("ftp://" + host) on port (< 1: the default port) and fetches every
// entry of files (local path -> server path, '\' sent as '/'). overwrite false keeps an
// existing non-empty local file. A file's size in sizes (when given) must be the size the
// server lists, and is the size expected when the server lists none. Stops at the first
// failure; true when every file came.
bool GL_FTP_Function(const std::wstring& serverUrl, int port, const std::wstring& userName,
                     const std::wstring& password, bool overwrite,
                     const ProgressCallback& progress, DownloadSet files,
                     const DownloadSizes& sizes = {});

// Copies an opened remote file into localPath in tenths of expectedSize, reporting
// progress. The bytes go to PartialDownloadPath(localPath), which takes the real name only
// when exactly expectedSize bytes came; otherwise it is deleted.
bool DownloadFile(FtpRemoteFile& remote, uint32_t expectedSize, const std::wstring& localPath,
                  const ProgressCallback& progress);
// The same for a file whose size nobody gave: everything up to the end of the transfer, as
// long as it is no more than limit bytes and the transfer ends without a failure.
bool DownloadFileOfUnknownSize(FtpRemoteFile& remote, uint64_t limit,
                               const std::wstring& localPath, const ProgressCallback& progress);
