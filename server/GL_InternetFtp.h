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
// existing non-empty local file. Stops at the first failure; true when every file came.
bool GL_FTP_Function(const std::wstring& serverUrl, int port, const std::wstring& userName,
                     const std::wstring& password, bool overwrite,
                     const ProgressCallback& progress, DownloadSet files);

// Copies an opened remote file into localPath in tenths of expectedSize, reporting
// progress. True only when exactly expectedSize bytes came; otherwise the local file is
// deleted.
bool DownloadFile(FtpRemoteFile& remote, uint32_t expectedSize, const std::wstring& localPath,
                  const ProgressCallback& progress);
