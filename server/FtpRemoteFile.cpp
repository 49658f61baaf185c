#include "server/FtpRemoteFile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr long kNetworkReadSize = 128 * 1024;
constexpr int kWaitMs = 1000;

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

FtpFileInfo FtpLookUpFile(CInetConn& connection, const std::string& path) {
    FtpFileInfo info;
    CURL* handle = connection.connection();
    if (handle == nullptr) return info;
    // File look-ups and transfers speak FTP only: a connection made for another service
    // finds no file, whatever its scheme would let libcurl fetch.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(handle, CURLOPT_URL, connection.fileUrl(path).c_str());
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    const CURLcode code = connection.runTransfer();
    // 550 to SIZE: no such file, a folder, or no SIZE for this client.
    if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
        info.result = FtpFileInfo::Result::kSizeUnknown;
        return info;
    }
    if (code != CURLE_OK) {
        info.osError = connection.transferOsError();
        return info;
    }
    // Any other refusal of SIZE lets libcurl carry on without a size.
    curl_off_t size = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    if (size < 0) {
        info.result = FtpFileInfo::Result::kSizeUnknown;
        return info;
    }
    info.result = FtpFileInfo::Result::kFound;
    info.size = static_cast<uint64_t>(size);
    return info;
}

bool CurlFtpFile::Open(const std::string& path) {
    Close();
    CURL* handle = connection_.connection();
    if (handle == nullptr) return false;
    pending_.clear();
    readPos_ = 0;
    accepted_ = paused_ = ended_ = failed_ = missing_ = false;
    osError_ = 0;
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(handle, CURLOPT_URL, connection_.fileUrl(path).c_str());
    curl_easy_setopt(handle, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kNetworkReadSize);
    // Read to the end of the data connection, not to the size the server announced: only
    // then does a file that changed after its look-up show.
    curl_easy_setopt(handle, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnReply);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    open_ = true;

    // The file is open once the server answers the retrieval with a preliminary reply or
    // sends data; a transfer that ends before either was refused.
    while (!accepted_ && Buffered() == 0 && !ended_)
        if (!connection_.pumpTransfer(kWaitMs)) NoteEnd();
    if (ended_ && connection_.transferResult() == CURLE_OK) accepted_ = true;
    if (!accepted_) {
        osError_ = connection_.transferOsError();
        missing_ = connection_.transferResult() == CURLE_REMOTE_FILE_NOT_FOUND;
        Close();
        return false;
    }
    return true;
}

size_t CurlFtpFile::Read(void* buffer, size_t size) {
    if (!open_) return 0;
    auto* out = static_cast<char*>(buffer);
    size_t copied = 0;
    while (copied < size) {
        if (const size_t buffered = Buffered(); buffered > 0) {
            const size_t take = std::min(buffered, size - copied);
            std::memcpy(out + copied, pending_.data() + readPos_, take);
            readPos_ += take;
            copied += take;
            if (readPos_ == pending_.size()) {
                pending_.clear();
                readPos_ = 0;
            }
            continue;
        }
        if (ended_) break;
        target_ = out + copied;
        targetRoom_ = size - copied;
        if (paused_) {
            // libcurl hands over what it held back from inside this call.
            paused_ = false;
            curl_easy_pause(connection_.connection(), CURLPAUSE_CONT);
        } else if (!connection_.pumpTransfer(kWaitMs)) {
            NoteEnd();
        }
        copied = size - targetRoom_;
        target_ = nullptr;
        targetRoom_ = 0;
    }
    return copied;
}

void CurlFtpFile::Close() {
    if (!open_) return;
    open_ = false;
    connection_.endTransfer();
    CURL* handle = connection_.connection();
    curl_easy_setopt(handle, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, nullptr);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, nullptr);
    pending_.clear();
    pending_.shrink_to_fit();
    readPos_ = 0;
}

void CurlFtpFile::NoteEnd() {
    ended_ = true;
    failed_ = connection_.transferResult() != CURLE_OK;
    if (failed_) osError_ = connection_.transferOsError();
}

size_t CurlFtpFile::OnData(char* data, size_t size, size_t count, void* self) {
    auto* file = static_cast<CurlFtpFile*>(self);
    const size_t bytes = size * count;
    if (file->Buffered() >= kBufferLimit) {
        file->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    file->accepted_ = true;
    // Bytes go to the waiting reader first, in order: only when nothing is buffered.
    size_t direct = 0;
    if (file->Buffered() == 0 && file->targetRoom_ > 0) {
        direct = std::min(bytes, file->targetRoom_);
        std::memcpy(file->target_, data, direct);
        file->target_ += direct;
        file->targetRoom_ -= direct;
    }
    try {
        file->pending_.insert(file->pending_.end(), data + direct, data + bytes);
    } catch (const std::bad_alloc&) {
        return 0;  // ends the transfer instead of unwinding through libcurl
    }
    return bytes;
}

size_t CurlFtpFile::OnReply(char* data, size_t size, size_t count, void* self) {
    auto* file = static_cast<CurlFtpFile*>(self);
    const size_t bytes = size * count;
    // 125 and 150 are the preliminary replies to a retrieval: the data connection opens.
    if (bytes >= 3 && data[0] == '1' && (std::memcmp(data, "125", 3) == 0 ||
                                         std::memcmp(data, "150", 3) == 0))
        file->accepted_ = true;
    return bytes;
}
