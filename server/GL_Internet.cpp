#include "server/GL_Internet.h"

#include <curl/curl.h>

#include <cstdint>
#include <new>
#include <utility>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/GL_String.h"
#include "common/PathText.h"
#include "common/os/os.h"
#include "server/CurlTransferPolicy.h"

namespace {

constexpr const char* kRequestFn = "GL_INTERNET_HTTPSendRequestByCurl";
constexpr const char* kDownloadFn = "GL_INTERNET_HTTPDownloadToFileByCurl";

#define GL_LOG_DOWNLOAD(winError, status, ...)                                              \
    GL_DEBUG_LogA(std::string(), 'E', std::string(__FILE__), std::string(kDownloadFn), \
                  __LINE__, (winError), (status), __VA_ARGS__)

// Scoped libcurl resources, so that every path releases them in the right order.
class CurlGlobal {
public:
    CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {}
    ~CurlGlobal() {
        if (ok_) curl_global_cleanup();
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;

private:
    bool ok_;
};

class EasyHandle {
public:
    EasyHandle() : handle_(curl_easy_init()) {}
    ~EasyHandle() { Release(); }
    EasyHandle(const EasyHandle&) = delete;
    EasyHandle& operator=(const EasyHandle&) = delete;
    CURL* get() const { return handle_; }
    void Release() {
        if (handle_ != nullptr) curl_easy_cleanup(handle_);
        handle_ = nullptr;
    }

private:
    CURL* handle_;
};

class HeaderList {
public:
    HeaderList() = default;
    ~HeaderList() { curl_slist_free_all(list_); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    bool Append(const char* line) {
        curl_slist* grown = curl_slist_append(list_, line);
        if (grown == nullptr) return false;
        list_ = grown;
        return true;
    }
    curl_slist* get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

// The reply as it arrives; past its limit the transfer ends.
struct ReplyBuffer {
    std::string bytes;
    bool overLimit = false;
};

size_t AppendToReply(char* data, size_t size, size_t count, void* user) {
    const size_t bytes = size * count;
    auto* reply = static_cast<ReplyBuffer*>(user);
    if (reply != nullptr && count != 0) {
        if (bytes > kCurlReplyLimitBytes - reply->bytes.size()) {
            reply->overLimit = true;
            return 0;
        }
        try {
            reply->bytes.append(data, bytes);
        } catch (const std::bad_alloc&) {
            return 0;  // ends the transfer instead of unwinding through libcurl
        }
    }
    return bytes;
}

// A download's file as it is written; past its limit the transfer ends.
struct DownloadSink {
    os::FileWriter file;
    uint64_t limit = 0;
    uint64_t written = 0;
    bool overLimit = false;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
    const size_t bytes = size * count;
    auto* sink = static_cast<DownloadSink*>(user);
    if (bytes > sink->limit - sink->written) {
        sink->overLimit = true;
        return 0;
    }
    if (sink->file.Write(data, bytes) != 0) return 0;
    sink->written += bytes;
    return bytes;
}

// Size of a local file, 0 when it cannot be read or is a folder; 64 bits, so that no size
// wraps to 0.
uint64_t LocalFileSize(const std::wstring& path) {
    uint64_t size = 0;
    if (os::IsDirectory(path) || os::QueryFileSize(path, size) != 0) return 0;
    return size;
}

// One entry of a download set; false stops the set. expectedSize is the file's size from
// the update data, 0 when none was given.
bool DownloadOne(const std::string& baseUrl, const std::string& localPath,
                 const std::string& serverPathGiven, bool overwrite, uint32_t expectedSize) {
    const std::string serverPath = DownloadPathBelow(baseUrl, serverPathGiven);
    const std::string url = baseUrl + "/" + serverPath;
    // Checked before the local file is touched, so a bad entry costs nothing installed.
    if (serverPath.empty() || localPath.empty()) {
        GL_LOG_DOWNLOAD(0, 20, "다운로드 경로가 비어 있음\r\nfrom: %s\r\nto: %s", url, localPath);
        return false;
    }

    const std::wstring wideLocal = GL_STRING_ConvMBSToWCS(localPath);
    if (GL_FILE_Exists(wideLocal)) {
        if (LocalFileSize(wideLocal) > 0 && !overwrite) return true;
        GL_FILE_Delete(localPath);
        // What could not be cleared (a folder, a file in use) cannot take the download's
        // place; the second attempt tells why.
        if (const int error = os::PathExists(wideLocal) ? os::RemoveFile(wideLocal) : 0;
            error != 0 && error != os::err::kFileNotFound) {
            GL_LOG_DOWNLOAD(error, 10, "Can open file.\r\n%s", localPath);
            return false;
        }
    }

    EasyHandle easy;
    if (easy.get() == nullptr) {
        GL_LOG_DOWNLOAD(0, 5, "curl 초기화 실패\r\n%s", url);
        return false;
    }
    // The folder is named with a closing separator: handed the file path itself, the folder
    // chain would take a file name without an extension for one more folder.
    const size_t lastSep = LastSeparator(wideLocal);
    if (lastSep != std::wstring::npos && !GL_DIRECTORY_MakeDirs(wideLocal.substr(0, lastSep + 1))) {
        GL_LOG_DOWNLOAD(os::LastError(), 10, "Can not create directory.\r\n%s", localPath);
        return false;
    }
    const std::wstring partial = PartialDownloadPath(wideLocal);
    const std::string partialText = GL_STRING_ConvWCSToMBS(partial);
    DownloadSink sink;
    sink.limit = DownloadCeilingBytes();
    if (expectedSize > 0 && expectedSize < sink.limit) sink.limit = expectedSize;
    if (const int error = sink.file.Create(partial); error != 0) {
        GL_LOG_DOWNLOAD(error, 10, "Can open file.\r\n%s", partialText);
        GL_FILE_Delete(partial);
        return false;
    }

    CURL* curl = easy.get();
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
    ApplyCurlTransferPolicy(curl, kDownloadFn);

    CURLcode code = curl_easy_perform(curl);
    easy.Release();
    // A write that fails only when the file is closed loses data like one that fails early.
    if (sink.file.Close() != 0 && code == CURLE_OK) code = CURLE_WRITE_ERROR;
    if (sink.overLimit) {
        GL_FILE_Delete(partial);
        GL_LOG_DOWNLOAD(0, 35, "받은 데이터가 %s 바이트를 넘어 다운로드 중단\r\nfrom: %s\r\nto: %s",
                        std::to_string(sink.limit), url, localPath);
        return false;
    }
    if (code != CURLE_OK) {
        GL_FILE_Delete(partial);
        GL_LOG_DOWNLOAD(0, 30,
                        "curl_easy_perform failed(%d) : %s\r\nDownloadFile() 실패\r\n"
                        "from: %s\r\nto: %s",
                        static_cast<int>(code), curl_easy_strerror(code), url, localPath);
        return false;
    }

    const uint64_t size = LocalFileSize(partial);
    if (size == 0) {
        GL_FILE_Delete(partial);
        GL_LOG_DOWNLOAD(0, 40, "파일을 다운로드했으나 크기가 0\r\nfrom: %s\r\nto: %s", url,
                        localPath);
        return false;
    }
    if (expectedSize > 0 && size != expectedSize) {
        GL_FILE_Delete(partial);
        GL_LOG_DOWNLOAD(0, 45,
                        "다운로드한 파일의 크기(%s 바이트)가 FILE_SIZE(%s 바이트)와 다름\r\n"
                        "from: %s\r\nto: %s",
                        std::to_string(size), std::to_string(expectedSize), url, localPath);
        return false;
    }
    if (const int error = os::ReplaceFileWith(partial, wideLocal); error != 0) {
        GL_FILE_Delete(partial);
        GL_LOG_DOWNLOAD(error, 50, "다운로드한 파일을 제 이름으로 바꾸지 못함\r\nfrom: %s\r\nto: %s",
                        partialText, localPath);
        return false;
    }
    os::MarkRunnableIfProgram(wideLocal);
    return true;
}

}  // namespace

bool GL_INTERNET_HTTPSendRequestByCurl(std::string url, std::string body, std::string& reply) {
    CurlGlobal global;
    EasyHandle easy;
    HeaderList headers;
    if (easy.get() == nullptr || !headers.Append("Accept: application/json")) {
        GL_LOG('E', 0, 10, L"curl 초기화 실패\r\n%s", GL_STRING_ConvMBSToWCS(url));
        return false;
    }

    ReplyBuffer received;
    const long timeLimit = CurlRequestTimeLimitSeconds();
    CURL* curl = easy.get();
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    ApplyCurlTransferPolicy(curl, kRequestFn);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeLimit);

    const uint64_t started = os::MonotonicMs();
    const CURLcode code = curl_easy_perform(curl);
    if (received.overLimit) {
        GL_LOGA('E', 0, 25, "서버 응답이 %s 바이트를 넘어 받기 중단\r\n%s",
                std::to_string(kCurlReplyLimitBytes), url);
        return false;
    }
    // The stall and connect limits end a transfer with the same code, but only earlier.
    if (code == CURLE_OPERATION_TIMEDOUT &&
        os::MonotonicMs() - started >= static_cast<uint64_t>(timeLimit) * 1000) {
        GL_LOGA('E', 0, 30, "서버 응답이 %d초 안에 끝나지 않아 중단\r\n%s",
                static_cast<int>(timeLimit), url);
        return false;
    }
    if (code != CURLE_OK) {
        GL_LOGA('E', 0, 20, "curl_easy_perform failed(%d) : %s", static_cast<int>(code),
                curl_easy_strerror(code));
        return false;
    }
    reply = std::move(received.bytes);
    return true;
}

bool GL_INTERNET_HTTPSendRequestByCurl(std::wstring url, std::wstring body, std::wstring& reply) {
    std::string narrowUrl;
    std::string narrowBody;
    if (!os::WideToUtf8(url, narrowUrl)) narrowUrl.clear();
    if (!os::WideToUtf8(body, narrowBody)) narrowBody.clear();

    std::string received;
    const bool ok = GL_INTERNET_HTTPSendRequestByCurl(std::move(narrowUrl), std::move(narrowBody),
                                                      received);
    if (!received.empty()) {
        reply.clear();
        std::wstring decoded;
        if (os::Utf8ToWide(received, decoded)) reply = std::move(decoded);
    }
    return ok;
}

std::string DownloadPathBelow(const std::string& baseUrl, const std::string& serverPath) {
    std::string below = serverPath;
    if (!below.empty() && below.front() == '/') below.erase(0, 1);
    // Only a leading copy: removed from further in, the text around it could join into a
    // new "../" (".", the base, "./").
    if (below.starts_with(baseUrl + "/")) below.erase(0, baseUrl.size() + 1);
    return below;
}

std::wstring PartialDownloadPath(const std::wstring& localPath) { return localPath + L".part"; }

bool GL_INTERNET_HTTPDownloadToFileByCurl(std::string baseUrl, DownloadSetA files,
                                          bool overwrite, const DownloadSizesA& sizes) {
    if (!baseUrl.empty() && baseUrl.back() == '/') baseUrl.pop_back();
    if (files.empty()) return true;
    CurlGlobal global;
    for (const auto& [localPath, serverPath] : files) {
        const auto size = sizes.find(localPath);
        if (!DownloadOne(baseUrl, localPath, serverPath, overwrite,
                         size == sizes.end() ? 0 : size->second))
            return false;
    }
    return true;
}

bool GL_INTERNET_HTTPDownloadToFileByCurl(std::wstring baseUrl, DownloadSet files,
                                          bool overwrite, const DownloadSizes& sizes) {
    DownloadSetA narrow;
    DownloadSizesA narrowSizes;
    for (const auto& [localPath, serverPath] : files) {
        const std::string local = GL_STRING_ConvWCSToMBS(localPath);
        narrow[local] = GL_STRING_ConvWCSToMBS(serverPath);
        // A later pair that lands on the same narrow path brings its own size, or none.
        const auto size = sizes.find(localPath);
        if (size != sizes.end())
            narrowSizes[local] = size->second;
        else
            narrowSizes.erase(local);
    }
    return GL_INTERNET_HTTPDownloadToFileByCurl(GL_STRING_ConvWCSToMBS(baseUrl), std::move(narrow),
                                                overwrite, narrowSizes);
}
