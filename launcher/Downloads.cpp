#include "launcher/Downloads.h"

#include <climits>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_String.h"
#include "common/os/os.h"
#include "launcher/FileDigest.h"
#include "launcher/LauncherContext.h"
#include "server/GL_InternetFtp.h"

namespace {

constexpr const wchar_t* kSevenZipObject = L"Tools/7z/7za.exe";
constexpr const wchar_t* kFtpUser = L"anonymous";
constexpr const wchar_t* kFtpPassword = L"";

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool HasDrive(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

constexpr int kStatusUnsafeName = 15;
constexpr int kStatusHashDiffers = 20;
constexpr int kStatusHashMissing = 25;

bool RefuseName(const std::wstring& member, const std::wstring& value) {
    GL_LOG_FN(L"DownloadFiles", 'E', 0, kStatusUnsafeName,
              L"다운로드 경로로 쓸 수 없는 이름(%s): %s", member, value);
    return false;
}

// Every name of the server data that becomes part of a local path or of a server path; the
// first unsafe one is logged.
bool CheckNames(const UpdateInfo& info) {
    if (!IsSafeFileName(info.SHORT_NM)) return RefuseName(L"SHORT_NM", info.SHORT_NM);
    if (!IsSafeFileName(info.UP_VERSION)) return RefuseName(L"UP_VERSION", info.UP_VERSION);
    for (const auto& [key, file] : info.FILES) {
        if (!IsSafeFileName(file.FILE_NM)) return RefuseName(L"FILE_NM", file.FILE_NM);
        if (!IsSafeRelativeFolder(file.SUB_DIR_CLI))
            return RefuseName(L"SUB_DIR_CLI", file.SUB_DIR_CLI);
        // Checked joined: "a/." and "./b" make a way up only together.
        const std::wstring serverPath = info.ROOT_DIR_SVR + file.SUB_DIR_SVR + file.FILE_NM;
        if (!IsSafeServerPath(serverPath)) return RefuseName(L"SVR_FILE_PATH", serverPath);
    }
    return true;
}

// A build with keys fetches nothing the signed release does not name a hash for.
bool EveryFileHasHash(const UpdateInfo& info) {
    if (!ReleaseHashesRequired()) return true;
    for (const auto& [key, file] : info.FILES) {
        if (file.FILE_SHA256.empty()) {
            GL_LOG_FN(L"DownloadFiles", 'E', 0, kStatusHashMissing, L"해시 정보 없는 파일: %s",
                      file.FILE_NM);
            return false;
        }
    }
    return true;
}

// Every fetched file whose release names a hash must have it; one that does not is deleted
// before anything can run it.
bool FetchedFilesMatch(const DownloadHashes& hashes) {
    for (const auto& [localPath, hash] : hashes) {
        if (CheckFileSha256(localPath, hash) == DigestCheck::kMatch) continue;
        GL_FILE_Delete(localPath);
        GL_LOG_FN(L"DownloadFiles", 'E', 0, kStatusHashDiffers, L"다운로드 파일 해시 불일치: %s",
                  localPath);
        return false;
    }
    return true;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The text with every percent-encoded ASCII character decoded (what a URL path means to
// the server that takes it apart).
std::wstring DecodeAsciiEscapes(const std::wstring& text) {
    std::wstring decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0 && high < 8) {
                decoded += static_cast<wchar_t>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

}  // namespace

bool IsSafeFileName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    if (HasDrive(name)) return false;
    for (wchar_t c : name)
        if (IsSeparator(c) || c == L'\0') return false;
    return true;
}

bool IsSafeRelativeFolder(const std::wstring& folder) {
    if (folder.empty()) return true;
    if (IsSeparator(folder[0]) || HasDrive(folder)) return false;
    std::wstring component;
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || IsSeparator(folder[i])) {
            if (component == L"..") return false;
            component.clear();
        } else if (folder[i] == L'\0') {
            return false;
        } else {
            component += folder[i];
        }
    }
    return true;
}

bool IsSafeServerPath(const std::wstring& path) {
    // After a '?' or '#' the address holds its query or fragment: "..?x" names "..".
    const std::wstring decoded = DecodeAsciiEscapes(path.substr(0, path.find_first_of(L"?#")));
    std::wstring component;
    for (size_t i = 0; i <= decoded.size(); ++i) {
        if (i == decoded.size() || IsSeparator(decoded[i])) {
            if (component == L"..") return false;
            component.clear();
        } else {
            component += decoded[i];
        }
    }
    return true;
}

bool SplitFtpAddress(const std::wstring& address, std::wstring& server, int& port) {
    std::vector<std::wstring> pieces;
    GL_STRING_Split(address, L":", pieces);
    if (pieces.size() != 3) return false;
    server = pieces[0] + L":" + pieces[1];
    long value = 0;
    for (wchar_t c : pieces[2]) {
        if (c < L'0' || c > L'9') break;
        value = value * 10 + (c - L'0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    port = static_cast<int>(value);
    return true;
}

int PlanDownloads(UpdateInfo& info, const std::wstring& updateFolder, DownloadSet& files,
                  DownloadSizes& sizes, DownloadHashes& hashes) {
    // Nothing may be written outside the update folders on the server's word.
    if (!CheckNames(info)) return kStatusUnsafeName;
    if (!EveryFileHasHash(info)) return kStatusHashMissing;

    const std::wstring downloadFolder =
        updateFolder + info.SHORT_NM + os::kSepStr + L"download" + os::kSepStr;
    const std::wstring versionFolder =
        downloadFolder + GL_STRING_ReplaceAll(info.UP_VERSION, L".", L"_") + os::kSepStr;

    for (auto& [key, file] : info.FILES) {
        file.SVR_FILE_PATH = info.ROOT_DIR_SVR + file.SUB_DIR_SVR + file.FILE_NM;
        file.CLI_DOWNLOAD_PATH = versionFolder + file.FILE_NM;
        files[file.CLI_DOWNLOAD_PATH] = file.SVR_FILE_PATH;
        // The entry that wins the local path brings its size, or none (a 32-bit FILE_SIZE
        // that is not above 0 gives none: the file may be 2 GiB or larger).
        if (file.FILE_SIZE > 0)
            sizes[file.CLI_DOWNLOAD_PATH] = static_cast<uint32_t>(file.FILE_SIZE);
        else
            sizes.erase(file.CLI_DOWNLOAD_PATH);
        // Likewise its hash.
        if (!file.FILE_SHA256.empty())
            hashes[file.CLI_DOWNLOAD_PATH] = file.FILE_SHA256;
        else
            hashes.erase(file.CLI_DOWNLOAD_PATH);
    }
    return 0;
}

int DownloadFiles(UpdateInfo& info) {
    LauncherContext& ctx = Context();
    ctx.programUpdateFolder = ctx.updateFolder + ctx.request.programId + os::kSepStr;
    ctx.backupFolder = ctx.programUpdateFolder + L"temp" + os::kSepStr;

    DownloadSet files;
    DownloadSizes sizes;
    DownloadHashes hashes;
    if (const int status = PlanDownloads(info, ctx.updateFolder, files, sizes, hashes);
        status != 0)
        return status;

    if (info.SVR_URL.starts_with(L"https://")) {
        if (!GL_INTERNET_HTTPDownloadToFileByCurl(info.SVR_URL, files, true, sizes))
            return GL_LOG('E', 0, 10, L"업데이트된 파일 다운로드 실패");
    } else {
        std::wstring server;
        int port = 0;
        if (!SplitFtpAddress(info.SVR_URL, server, port))
            return GL_LOG('E', 0, 5, L"잘못된 svr_url 형식: %s", info.SVR_URL);
        if (!GL_FTP_Function(server, port, kFtpUser, kFtpPassword, true, nullptr, files, sizes))
            return GL_LOG('E', 0, 10, L"업데이트된 파일 다운로드 실패");
    }
    return FetchedFilesMatch(hashes) ? 0 : kStatusHashDiffers;
}

int Download7zFrom(const std::wstring& objectStorageUrl, const std::wstring& expectedSha256) {
    const std::wstring& tool = Context().sevenZipProgram;
    const bool hashed = !expectedSha256.empty();
    if (!hashed && ReleaseHashesRequired())
        return GL_LOG_FN(L"Download7z", 'E', 0, 15, L"7za.exe 해시 정보 없음");
    if (GL_FILE_Exists(tool)) {
        uint32_t size = 0;
        if (GL_FILE_GetSize(tool, size) != 0) size = 0;
        if (size > 0) {
            if (!hashed || CheckFileSha256(tool, expectedSha256) == DigestCheck::kMatch) return 0;
            GL_LOG_FN(L"Download7z", 'E', 0, 5, L"7za.exe 해시 불일치, 다시 다운로드: %s", tool);
        }
        GL_FILE_Delete(tool);
    }
    DownloadSet files{{tool, kSevenZipObject}};
    if (!GL_INTERNET_HTTPDownloadToFileByCurl(objectStorageUrl, files, true))
        return GL_LOG_FN(L"Download7z", 'E', 0, 10, L"7za.exe 파일 다운로드 실패");
    if (hashed && CheckFileSha256(tool, expectedSha256) != DigestCheck::kMatch) {
        GL_FILE_Delete(tool);
        return GL_LOG_FN(L"Download7z", 'E', 0, 20, L"7za.exe 파일 해시 불일치");
    }
    return 0;
}

int Download7z(const std::wstring& expectedSha256) {
    return Download7zFrom(os::Utf8ToWideLossy(ZEB_OBJECT_STORAGE_URL), expectedSha256);
}
