#include "server/GL_InternetFtp.h"

#include <algorithm>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/PathText.h"
#include "common/os/os.h"

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

// One entry of a set: look the file up, open it and copy it. Logs under the names the
// log readers know these steps by.
bool FtpDownload(CInetConn& connection, const std::wstring& serverPath,
                 const std::wstring& localPath, const ProgressCallback& progress) {
    std::string path;
    const bool readable = os::WideToUtf8(serverPath, path);
    const FtpFileInfo info = readable ? FtpLookUpFile(connection, path) : FtpFileInfo{};
    if (info.result != FtpFileInfo::Result::kFound) {
        if (info.result == FtpFileInfo::Result::kFailed)
            GL_LOG_FN(L"FtpGetFileInfo", 'E', info.osError, 10, L"FtpFindFirstFile() 실패.[%s]",
                      serverPath);
        GL_LOG_FN(L"FtpDownload", 'E', 0, 10, L"FtpGetFileInfo() 실패\n%s", serverPath);
        return false;
    }
    if (info.size >= kFtpSizeLimit) {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 15, L"4GB 이상인 파일은 받을 수 없음(%s 바이트)\n%s",
                  std::to_wstring(info.size), serverPath);
        return false;
    }

    CurlFtpFile remote(connection);
    if (!remote.Open(path)) {
        GL_LOG_FN(L"FtpDownload", 'E', remote.LastError(), 20,
                  L"Can not open file at ftp server.\n%s", serverPath);
        return false;
    }
    if (!DownloadFile(remote, static_cast<uint32_t>(info.size), localPath, progress)) {
        GL_LOG_FN(L"FtpDownload", 'E', 0, 0, nullptr);
        return false;
    }
    return true;
}

}  // namespace

bool GL_FTP_Function(const std::wstring& serverUrl, int port, const std::wstring& userName,
                     const std::wstring& password, bool overwrite,
                     const ProgressCallback& progress, DownloadSet files) {
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
        if (!FtpDownload(connection, serverPath, localPath, progress)) return false;
    }
    return true;
}

bool DownloadFile(FtpRemoteFile& remote, uint32_t expectedSize, const std::wstring& localPath,
                  const ProgressCallback& progress) {
    // The folder is named with its closing separator: the folder chain would take a file
    // name without an extension for one more folder.
    const size_t lastSep = LastSeparator(localPath);
    if (lastSep != std::wstring::npos && !GL_DIRECTORY_MakeDirs(localPath.substr(0, lastSep + 1))) {
        GL_LOG('E', os::LastError(), 10, L"Can not create directory.\r\n%s", localPath);
        return false;
    }
    if (progress) progress(0.0f, 0.0f, L"파일을 다운로드 중입니다...");
    const std::wstring displayName = DisplayName(localPath);

    os::FileWriter file;
    auto fail = [&](int error, int status, const wchar_t* text) {
        file.Close();
        GL_LOG_FN(L"DownloadFile", 'E', error, status, text, displayName);
        GL_FILE_Delete(localPath);
        return false;
    };
    const wchar_t* const kWriteFailed = L"서버에서 받은 데이터를 파일로 쓰기에 실패.\r\n%s";
    const wchar_t* const kSizeDiffers =
        L"Can not download the file. Check permission of the file at server or client.\r\n%s";

    std::vector<char> buffer;
    uint64_t total = 0;
    int createError = 0;
    if (expectedSize > 0) {
        buffer.resize(static_cast<size_t>(std::min<uint64_t>(uint64_t{expectedSize} + 1, kCopyChunk)));
        const uint32_t step = expectedSize / 10;
        GL_FILE_Delete(localPath);
        createError = file.Create(localPath);
        uint64_t position = 0;
        for (int i = 0; i < 10; ++i) {
            const Piece piece = CopyPiece(remote, buffer, step, file, createError);
            if (piece.read == 0) break;
            if (piece.writeError != 0) return fail(piece.writeError, 30, kWriteFailed);
            total += piece.written;
            if (progress)
                progress(static_cast<float>(total), static_cast<float>(expectedSize), displayName);
            position += piece.read;
        }
        // The rest; a failing write here shows as a short file below.
        total += CopyPiece(remote, buffer, expectedSize - position, file, createError).written;
    } else {
        buffer.resize(kUnsizedBuffer - 1);
        createError = file.Create(localPath);
    }

    // Anything past the listed size means the file changed on the server after it was
    // looked up: the local copy would not be that file.
    const bool longer = remote.Read(buffer.data(), buffer.size()) > 0;
    // With nothing to write, a file that could not be created is only noticed here.
    if (!longer && expectedSize == 0 && createError != 0)
        return fail(createError, 30, kWriteFailed);
    if (const int closeError = file.Close(); closeError != 0)
        return fail(closeError, 30, kWriteFailed);

    uint32_t localSize = 0;
    if (os::PathExists(localPath)) GL_FILE_GetSize(localPath, localSize);
    if (longer || total != expectedSize || localSize != expectedSize)
        return fail(remote.LastError(), 20, kSizeDiffers);
    if (progress)
        progress(static_cast<float>(total), static_cast<float>(expectedSize), displayName);
    return true;
}
