#pragma once
// Fetching a version's files and the 7-Zip tool into the launcher's update folders.
#include <map>
#include <string>

#include "launcher/UpdateInfo.h"
#include "server/GL_Internet.h"

// Downloads every file of info from its SVR_URL (HTTPS for an exact "https://" prefix,
// FTP otherwise). Fills SVR_FILE_PATH and CLI_DOWNLOAD_PATH of every entry and sets the
// program update folder and the backup folder of the context. 0 when every file arrived
// with the FILE_SHA256 it names; a file that differs is deleted (20). A build with release
// keys fetches nothing when a file names no hash (25).
int DownloadFiles(UpdateInfo& info);

// Local path -> the SHA-256 (64 lower-case hex digits) the fetched file must have.
using DownloadHashes = std::map<std::wstring, std::wstring>;

// Where the files of info come from and go to, without fetching anything: fills
// SVR_FILE_PATH (ROOT_DIR_SVR + SUB_DIR_SVR + FILE_NM) and CLI_DOWNLOAD_PATH (the version
// folder below updateFolder + FILE_NM) of every entry, and the set, sizes and hashes to
// fetch. 0, or (logged) 15 when a name of the server data would leave its folder, 25 when
// a build with release keys meets a file without FILE_SHA256.
int PlanDownloads(UpdateInfo& info, const std::wstring& updateFolder, DownloadSet& files,
                  DownloadSizes& sizes, DownloadHashes& hashes);

// Makes sure the 7-Zip tool is in the tools folder, fetching it from the object storage
// when it is missing, empty or, when expectedSha256 is given, another file. 0 when the
// right tool is present afterwards; else 10 (not fetched), 15 (a build with release keys
// and no hash: nothing fetched) or 20 (the fetched tool differs; deleted).
int Download7z(const std::wstring& expectedSha256);
// The same with the object-storage base URL given (Download7z passes the deployment's).
int Download7zFrom(const std::wstring& objectStorageUrl, const std::wstring& expectedSha256);

// Splits an FTP address "scheme://host:port" at its colons; false unless there are exactly
// three pieces. server becomes "scheme://host", port the leading digits of the last piece.
bool SplitFtpAddress(const std::wstring& address, std::wstring& server, int& port);

// Server data that becomes part of a local path must stay inside its folder.
// A single name: not empty, not "." or "..", no separator ('/' or '\\'), no drive, no NUL.
bool IsSafeFileName(const std::wstring& name);
// A relative folder such as "bin\\x86\\" (may be empty): not absolute, no ".." component.
bool IsSafeRelativeFolder(const std::wstring& folder);
// A server path (ROOT_DIR_SVR + SUB_DIR_SVR + FILE_NM) that stays below SVR_URL's path: no
// ".." component, separated by '/' or '\\', also when written with percent escapes, in the
// part before the first '?' or '#' (the address's path ends there).
bool IsSafeServerPath(const std::wstring& path);
