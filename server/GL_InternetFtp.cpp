#include "server/GL_InternetFtp.h"

#include <algorithm>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/PathText.h"
#include "common/os/os.h"
#include "server/CurlTransferPolicy.h"

namespace {

// Bytes moved per read and write; the whole transfer never needs more than this.
constexpr size_t kCopyChunk = 128 * 1024;
// A file listed with size 0 is read in pieces of one byte less than this.
constexpr size_t kUnsizedBuffer = 32767;

std::wstring DisplayName(const std::wstring& path) {
    const size_t cut = LastSeparator(path);
    std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    if (name.size() > kFtpPathCapacity) name.resize(kFtpPathCapacity);
    return name;
}

struct Piece {
    uint64_t read = 0;
    uint64_t written = 0;
    int writeError = 0;
};

// Reads up to want bytes and writes them to the file, chunk by chunk. Ends early when the
// remote file ends or a write fails (a file that could not be created fails its first
// write with the creation's error).
Piece CopyPiece(FtpRemoteFile& remote, std::vector<char>& buffer, uint64_t want,
                os::FileWriter& file, int createError) {
    Piece piece;
    while (piece.read < want) {
        const size_t ask = static_cast<size_t>(std::min<uint64_t>(buffer.size(), want - piece.read));
        const size_t got = remote.Read(buffer.data(), ask);
        if (got == 0) break;
        piece.read += got;
        const int error = file.IsOpen() ? file.Write(buffer.data(), got) : createError;
        if (error != 0) {
            piece.writeError = error;
            break;
        }
        piece.written += got;
        if (got < ask) break;
    }
    return piece;
}

// The local side of one download: the folders leading to it, the bytes in
// <local path>.part, and the real name given only to a complete file.
class LocalDownload {
public:
    LocalDownload(const std::wstring& localPath, const ProgressCallback& progress)
        : localPath_(localPath),
          partial_(PartialDownloadPath(localPath)),
          displayName_(DisplayName(localPath)),
          progress_(progress) {}

    // Makes the folders and reports the start; false (logged) when the folders fail.
    bool Begin() {
        // The folder is named with its closing separator: the folder chain would take a file
        // name without an extension for one more folder.
        const size_t lastSep = LastSeparator(localPath_);
        if (lastSep != std::wstring::npos &&
            !GL_DIRECTORY_MakeDirs(localPath_.substr(0, lastSep + 1))) {
            GL_LOG_FN(L"DownloadFile", 'E', os::LastError(), 10,
                      L"Can not create directory.\r\n%s", localPath_);
            return false;
        }
        if (progress_) progress_(0.0f, 0.0f, L"파일을 다운로드 중입니다...");
        return true;
    }

    // Opens the partial file; the error, if any, fails the first write. Whatever still holds
    // the real name (a folder, a file in use) could not take the download's place, and
    // fails it the same way.
    int Create() {
        if (os::PathExists(localPath_)) {
            const int error = os::RemoveFile(localPath_);
            if (error != 0 && error != os::err::kFileNotFound) return error;
        }
        return file_.Create(partial_);
    }
    os::FileWriter& file() { return file_; }
    const std::wstring& displayName() const { return displayName_; }
    // Bytes in the partial file so far (0 when it cannot be read).
    uint32_t Size() const {
        uint32_t size = 0;
        if (os::PathExists(partial_)) GL_FILE_GetSize(partial_, size);
        return size;
    }

    void Report(uint64_t done, uint64_t expected) const {
        if (progress_)
            progress_(static_cast<float>(done), static_cast<float>(expected), displayName_);
    }

    template <typename... Args>
    bool Fail(int error, int status, const wchar_t* format, const Args&... args) {
        file_.Close();
        GL_LOG_FN(L"DownloadFile", 'E', error, status, format, args...);
        GL_FILE_Delete(partial_);
        return false;
    }
    bool Fail(int error, int status, const wchar_t* format) {
        return Fail(error, status, format, displayName_);
    }

    // Closes the complete file and gives it its real name; then the end is reported.
    bool Commit(uint64_t total, uint64_t expected) {
        if (const int closeError = file_.Close(); closeError != 0)
            return Fail(closeError, 30, kWriteFailed);
        if (const int error = os::ReplaceFileWith(partial_, localPath_); error != 0)
            return Fail(error, 40, L"다운로드한 파일을 제 이름으로 바꾸지 못함.\r\n%s");
        os::MarkRunnableIfProgram(localPath_);
        Report(total, expected);
        return true;
    }

    static constexpr const wchar_t* kWriteFailed =
        L"서버에서 받은 데이터를 파일로 쓰기에 실패.\r\n%s";
    static constexpr const wchar_t* kSizeDiffers =
        L"Can not download the file. Check permission of the file at server or client.\r\n%s";

private:
    std::wstring localPath_;
    std::wstring partial_;
    std::wstring displayName_;
    const ProgressCallback& progress_;
    os::FileWriter file_;
};

// One entry of a set: look the file up, open it and copy it. Logs under the names the
// log readers know these steps by. givenSize is the file's size from the update data, 0
// when none was given.
bool FtpDownload(CInetConn& connection, const std::wstring& serverPath,
                 const std::wstring& localPath, uint32_t givenSize,
                 const ProgressCallback& progress) {
    auto missing = [&serverPath]() {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 10, L"FtpGetFileInfo() 실패\n%s", serverPath);
        return false;
    };
    std::string path;
    const bool readable = os::WideToUtf8(serverPath, path);
    const FtpFileInfo info = readable ? FtpLookUpFile(connection, path) : FtpFileInfo{};
    const bool sized = info.result == FtpFileInfo::Result::kFound;
    if (info.result == FtpFileInfo::Result::kFailed) {
        GL_LOG_FN(L"FtpGetFileInfo", 'E', info.osError, 10, L"FtpFindFirstFile() 실패.[%s]",
                  serverPath);
        return missing();
    }
    if (sized && info.size >= kFtpSizeLimit) {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 15, L"4GB 이상인 파일은 받을 수 없음(%s 바이트)\n%s",
                  std::to_wstring(info.size), serverPath);
        return false;
    }
    if (sized && givenSize > 0 && info.size != givenSize) {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 25,
                  L"서버의 파일 크기(%s 바이트)가 FILE_SIZE(%s 바이트)와 다름\n%s",
                  std::to_wstring(info.size), std::to_wstring(givenSize), serverPath);
        return false;
    }

    CurlFtpFile remote(connection);
    if (!remote.Open(path)) {
        // Without a size the look-up could not tell a missing file; the retrieval can.
        if (!sized && remote.Missing()) return missing();
        GL_LOG_FN(L"FtpDownload", 'E', remote.LastError(), 20,
                  L"Can not open file at ftp server.\n%s", serverPath);
        return false;
    }
    const bool copied =
        sized ? DownloadFile(remote, static_cast<uint32_t>(info.size), localPath, progress)
        : givenSize > 0 ? DownloadFile(remote, givenSize, localPath, progress)
                        : DownloadFileOfUnknownSize(remote, DownloadCeilingBytes(), localPath,
                                                    progress);
    if (!copied) {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 0, nullptr);
        return false;
    }
    return true;
}

}  // namespace

bool GL_FTP_Function(const std::wstring& serverUrl, int port, const std::wstring& userName,
                     const std::wstring& password, bool overwrite,
                     const ProgressCallback& progress, DownloadSet files,
                     const DownloadSizes& sizes) {
    CInetConn connection(serverUrl);
    if (const int result = connection.connectSecurity(port, userName, password); result != 0) {
        GL_LOG('E', 0, 10, L"CInetConn::connect()실패(ret: %d", result);
        return false;
    }
    for (const auto& [localPath, server] : files) {
        // A longer path would have to be cut, and the cut path could name another file.
        if (localPath.size() > kFtpPathCapacity || server.size() > kFtpPathCapacity) {
            GL_LOG_FN(L"FtpDownload", 'E', 0, 5, L"경로가 %d자를 넘어 받지 않음\n%s\n%s",
                      static_cast<int>(kFtpPathCapacity), server, localPath);
            return false;
        }
        std::wstring serverPath = server;
        std::replace(serverPath.begin(), serverPath.end(), L'\\', L'/');

        if (GL_FILE_Exists(localPath)) {
            uint32_t size = 0;
            GL_FILE_GetSize(localPath, size);
            if (size > 0 && !overwrite) continue;
            GL_FILE_Delete(localPath);
        }
        const auto given = sizes.find(localPath);
        if (!FtpDownload(connection, serverPath, localPath,
                         given == sizes.end() ? 0 : given->second, progress))
            return false;
    }
    return true;
}

bool DownloadFile(FtpRemoteFile& remote, uint32_t expectedSize, const std::wstring& localPath,
                  const ProgressCallback& progress) {
    LocalDownload download(localPath, progress);
    if (!download.Begin()) return false;

    std::vector<char> buffer;
    uint64_t total = 0;
    int createError = 0;
    if (expectedSize > 0) {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(uint64_t{expectedSize} + 1, kCopyChunk)));
        const uint32_t step = expectedSize / 10;
        createError = download.Create();
        uint64_t position = 0;
        for (int i = 0; i < 10; ++i) {
            const Piece piece = CopyPiece(remote, buffer, step, download.file(), createError);
            if (piece.read == 0) break;
            if (piece.writeError != 0)
                return download.Fail(piece.writeError, 30, LocalDownload::kWriteFailed);
            total += piece.written;
            download.Report(total, expectedSize);
            position += piece.read;
        }
        // The rest; a failing write here shows as a short file below.
        total += CopyPiece(remote, buffer, expectedSize - position, download.file(), createError)
                     .written;
    } else {
        buffer.resize(kUnsizedBuffer - 1);
        createError = download.Create();
    }

    // Anything past the listed size means the file changed on the server after it was
    // looked up: the local copy would not be that file.
    const bool longer = remote.Read(buffer.data(), buffer.size()) > 0;
    // With nothing to write, a file that could not be created is only noticed here.
    if (!longer && expectedSize == 0 && createError != 0)
        return download.Fail(createError, 30, LocalDownload::kWriteFailed);
    if (const int closeError = download.file().Close(); closeError != 0)
        return download.Fail(closeError, 30, LocalDownload::kWriteFailed);
    if (longer || total != expectedSize || download.Size() != expectedSize)
        return download.Fail(remote.LastError(), 20, LocalDownload::kSizeDiffers);
    return download.Commit(total, expectedSize);
}

bool DownloadFileOfUnknownSize(FtpRemoteFile& remote, uint64_t limit,
                               const std::wstring& localPath, const ProgressCallback& progress) {
    LocalDownload download(localPath, progress);
    if (!download.Begin()) return false;

    std::vector<char> buffer(kCopyChunk);
    const int createError = download.Create();
    // One byte more than the limit shows a file that is too large.
    const Piece piece = CopyPiece(remote, buffer, limit + 1, download.file(), createError);
    if (piece.writeError != 0)
        return download.Fail(piece.writeError, 30, LocalDownload::kWriteFailed);
    if (piece.read > limit)
        return download.Fail(0, 35, L"서버에서 받은 데이터가 %s 바이트를 넘어 중단.\r\n%s",
                             std::to_wstring(limit), download.displayName());
    // Without a size to compare, only the transfer's own end tells a whole file.
    if (remote.Failed())
        return download.Fail(remote.LastError(), 20, LocalDownload::kSizeDiffers);
    if (createError != 0) return download.Fail(createError, 30, LocalDownload::kWriteFailed);
    return download.Commit(piece.written, piece.written);
}
