#pragma once
// File and request transports. HTTP(S) runs over libcurl's easy interface; every transfer
// verifies the server's certificate (see CurlTransferPolicy.h for the time limits).
#include <map>
#include <string>

// Local file path -> server path, fetched in ascending order of local path.
using DownloadSet = std::map<std::wstring, std::wstring>;
using DownloadSetA = std::map<std::string, std::string>;

// Posts body to url and collects the whole reply. True when the exchange completed, whatever
// the HTTP status; reply is then every byte received. False leaves reply as it was.
bool GL_INTERNET_HTTPSendRequestByCurl(std::string url, std::string body, std::string& reply);
// Wide-text form: UTF-8 on the wire. A reply that is not valid UTF-8 becomes empty; an empty
// reply leaves the caller's string as it was.
bool GL_INTERNET_HTTPSendRequestByCurl(std::wstring url, std::wstring body, std::wstring& reply);

// Fetches every entry from baseUrl + "/" + server path into its local path, creating the
// folders on the way. overwrite false keeps an existing non-empty file. Stops at the first
// failure, deleting the file that failed; files fetched before it stay.
bool GL_INTERNET_HTTPDownloadToFileByCurl(std::string baseUrl, DownloadSetA files, bool overwrite);
bool GL_INTERNET_HTTPDownloadToFileByCurl(std::wstring baseUrl, DownloadSet files, bool overwrite);
