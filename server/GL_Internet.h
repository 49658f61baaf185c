#pragma once
// File and request transports. HTTP(S) runs over libcurl's easy interface; every transfer
// verifies the server's certificate (see CurlTransferPolicy.h for the time and size limits).
#include <cstdint>
#include <map>
#include <string>

// Local file path -> server path, fetched in ascending order of local path.
using DownloadSet = std::map<std::wstring, std::wstring>;
using DownloadSetA = std::map<std::string, std::string>;
// Local file path -> the size the update data gives for that file (FILE_SIZE); a file that
// is absent here, or given 0, has no size to keep.
using DownloadSizes = std::map<std::wstring, uint32_t>;
using DownloadSizesA = std::map<std::string, uint32_t>;

// What follows baseUrl (given without its closing '/') and "/" in the address a file is
// fetched from: serverPath without one leading '/' and, when it then starts with baseUrl +
// "/" (a full URL below the base), without that.
std::string DownloadPathBelow(const std::string& baseUrl, const std::string& serverPath);

// The file a download of localPath writes into (localPath + ".part"); only a complete file
// gets the real name, so a download cut short never passes for the file.
std::wstring PartialDownloadPath(const std::wstring& localPath);

// Posts body to url and collects the whole reply. True when the exchange completed, whatever
// the HTTP status; reply is then every byte received. False leaves reply as it was; so does
// a reply over kCurlReplyLimitBytes or one that takes longer than the request's time limit.
bool GL_INTERNET_HTTPSendRequestByCurl(std::string url, std::string body, std::string& reply);
// Wide-text form: UTF-8 on the wire. A reply that is not valid UTF-8 becomes empty; an empty
// reply leaves the caller's string as it was.
bool GL_INTERNET_HTTPSendRequestByCurl(std::wstring url, std::wstring body, std::wstring& reply);

// Fetches every entry from baseUrl + "/" + server path into its local path, creating the
// folders on the way. overwrite false keeps an existing non-empty file. Each file is written
// as <local path>.part and renamed when it is complete: no more than its size in sizes (when
// given), never more than the download ceiling, and exactly its given size. Stops at the
// first failure, deleting the file that failed; files fetched before it stay.
bool GL_INTERNET_HTTPDownloadToFileByCurl(std::string baseUrl, DownloadSetA files, bool overwrite,
                                          const DownloadSizesA& sizes = {});
bool GL_INTERNET_HTTPDownloadToFileByCurl(std::wstring baseUrl, DownloadSet files, bool overwrite,
                                          const DownloadSizes& sizes = {});
