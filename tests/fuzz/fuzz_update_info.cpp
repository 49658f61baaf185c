// Fuzz target: a product's update information (UPDATE_PRG_INFO or UPDATE_LAUNCHER_INFO) and
// the download paths built from it. The first byte chooses the product; the rest is the
// server data as UTF-8. Properties, for data that parses:
//   - the data stored afterwards reads back as the same information, and carries the kind of
//     install that was chosen;
//   - every hash a file brings to the download is 64 lower-case hex digits;
//   - every local download path is <update folder>/<SHORT_NM>/download/<version>/<FILE_NM>,
//     each part one plain name, also where "\" separates;
//   - every file's address, as libcurl takes the URL apart and folds its dot segments and as
//     a server decodes escapes and takes "\" for "/", stays below SVR_URL's path on its host.
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/GL_String.h"
#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "launcher/Downloads.h"
#include "launcher/FileDigest.h"
#include "launcher/UpdateInfo.h"
#include "server/GL_Internet.h"
#include "server/JsonText.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const std::wstring kUpdateFolder = L"/zeb-fuzz/_update/";

bool SameFile(const UpdateFileInfo& a, const UpdateFileInfo& b) {
    return a.FILE_NM == b.FILE_NM && a.SUB_DIR_SVR == b.SUB_DIR_SVR &&
           a.SUB_DIR_CLI == b.SUB_DIR_CLI && a.FILE_VERSION == b.FILE_VERSION &&
           a.FILE_SIZE == b.FILE_SIZE && a.FILE_SIZE_7Z == b.FILE_SIZE_7Z &&
           a.TYPE_GB == b.TYPE_GB && a.FILE_SHA256 == b.FILE_SHA256;
}

bool SameInfo(const UpdateInfo& a, const UpdateInfo& b) {
    if (a.NeedToUpdate != b.NeedToUpdate || a.SHORT_NM != b.SHORT_NM ||
        a.UP_VERSION != b.UP_VERSION || a.SVR_URL != b.SVR_URL || a.ROOT_DIR_SVR != b.ROOT_DIR_SVR ||
        a.ROOT_DIR_CLI_INST != b.ROOT_DIR_CLI_INST || a.RUN_EXE_NAME != b.RUN_EXE_NAME ||
        a.RUN_EXE_PATH != b.RUN_EXE_PATH || a.MIN_SPEC != b.MIN_SPEC ||
        a.TOOL_7Z_SHA256 != b.TOOL_7Z_SHA256 ||
        a.INSTALL_GB != b.INSTALL_GB || a.CFG_FROM_SVR != b.CFG_FROM_SVR ||
        a.FILES.size() != b.FILES.size())
        return false;
    for (auto x = a.FILES.begin(), y = b.FILES.begin(); x != a.FILES.end(); ++x, ++y)
        if (x->first != y->first || !SameFile(x->second, y->second)) return false;
    return true;
}

// The parts of a local path below the update folder, "/" and "\" both separating.
std::vector<std::wstring> PartsBelow(const std::wstring& path) {
    std::vector<std::wstring> parts(1);
    for (wchar_t c : path.substr(kUpdateFolder.size())) {
        if (c == L'/' || c == L'\\') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

bool PlainName(const std::wstring& part) { return !part.empty() && part != L"." && part != L".."; }

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct Address {
    std::string scheme, host, port, path;
};

// The URL as libcurl's transfer takes it apart (dot segments folded); nothing when libcurl
// refuses it, in which case nothing is fetched either.
std::optional<Address> AddressOf(const std::string& url) {
    std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
    if (curl_url_set(handle.get(), CURLUPART_URL, url.c_str(),
                     CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    Address address;
    const std::pair<CURLUPart, std::string*> parts[] = {{CURLUPART_SCHEME, &address.scheme},
                                                        {CURLUPART_HOST, &address.host},
                                                        {CURLUPART_PORT, &address.port},
                                                        {CURLUPART_PATH, &address.path}};
    for (const auto& [part, text] : parts) {
        char* raw = nullptr;
        if (curl_url_get(handle.get(), part, &raw, CURLU_DEFAULT_PORT) == CURLUE_OK && raw) {
            *text = raw;
            curl_free(raw);
        }
    }
    return address;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The folders a server reaches for a URL path: escapes decoded, "/" and "\" separating,
// "." and empty parts skipped, ".." going up (never above the root).
std::vector<std::string> ServerFolders(const std::string& path) {
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
            HexValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    std::vector<std::string> folders;
    std::string part;
    for (size_t i = 0; i <= decoded.size(); ++i) {
        if (i < decoded.size() && decoded[i] != '/' && decoded[i] != '\\') {
            part += decoded[i];
            continue;
        }
        if (part == "..") {
            if (!folders.empty()) folders.pop_back();
        } else if (!part.empty() && part != ".") {
            folders.push_back(part);
        }
        part.clear();
    }
    return folders;
}

void CheckServerAddress(const std::wstring& svrUrl, const std::wstring& serverPath) {
    std::string base = GL_STRING_ConvWCSToMBS(svrUrl);
    if (!base.empty() && base.back() == '/') base.pop_back();
    const std::string below = DownloadPathBelow(base, GL_STRING_ConvWCSToMBS(serverPath));
    if (below.empty()) return;  // refused by the download itself
    const auto baseAddress = AddressOf(base);
    const auto fileAddress = AddressOf(base + "/" + below);
    if (!baseAddress || !fileAddress) return;
    FUZZ_CHECK(fileAddress->scheme == baseAddress->scheme);
    FUZZ_CHECK(fileAddress->host == baseAddress->host);
    FUZZ_CHECK(fileAddress->port == baseAddress->port);
    const std::vector<std::string> baseFolders = ServerFolders(baseAddress->path);
    const std::vector<std::string> fileFolders = ServerFolders(fileAddress->path);
    FUZZ_CHECK(fileFolders.size() >= baseFolders.size());
    FUZZ_CHECK(std::equal(baseFolders.begin(), baseFolders.end(), fileFolders.begin()));
}

void CheckDownloads(UpdateInfo info) {
    DownloadSet files;
    DownloadSizes sizes;
    DownloadHashes hashes;
    if (PlanDownloads(info, kUpdateFolder, files, sizes, hashes) != 0) return;
    for (const auto& [key, file] : info.FILES) {
        FUZZ_CHECK(file.SVR_FILE_PATH == info.ROOT_DIR_SVR + file.SUB_DIR_SVR + file.FILE_NM);
        FUZZ_CHECK(file.CLI_DOWNLOAD_PATH.starts_with(kUpdateFolder));
        const std::vector<std::wstring> parts = PartsBelow(file.CLI_DOWNLOAD_PATH);
        FUZZ_CHECK(parts.size() == 4);
        FUZZ_CHECK(parts[0] == info.SHORT_NM && parts[1] == L"download" &&
                   parts[3] == file.FILE_NM);
        for (const std::wstring& part : parts) FUZZ_CHECK(PlainName(part));
        FUZZ_CHECK(files.count(file.CLI_DOWNLOAD_PATH) == 1);
        if (info.SVR_URL.starts_with(L"https://"))
            CheckServerAddress(info.SVR_URL, files.at(file.CLI_DOWNLOAD_PATH));
    }
    FUZZ_CHECK(files.size() <= info.FILES.size());
    for (const auto& [local, size] : sizes) FUZZ_CHECK(files.count(local) == 1 && size > 0);
    for (const auto& [local, hash] : hashes) FUZZ_CHECK(files.count(local) == 1 && IsSha256Text(hash));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzz::DiscardLog(), true);
    (void)quiet;
    if (size == 0) return 0;
    const bool forLauncher = (data[0] & 1) != 0;
    const std::wstring text =
        os::Utf8ToWideLossy(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    JsonDocument document;
    if (!ParseJsonText(text, document)) return 0;

    UpdateInfo info;
    if (ParseUpdateInfo(document, forLauncher, info) != 0) return 0;
    FUZZ_CHECK(info.RUN_EXE_PATH == info.ROOT_DIR_CLI_INST + info.RUN_EXE_NAME);
    // The kind comes from the one element the server sent (two elements naming one local
    // path leave one file, and the kind given).
    const std::wstring node = forLauncher ? L"/UPDATE_LAUNCHER_INFO" : L"/UPDATE_PRG_INFO";
    const JsonValue* sent = JsonPointer((node + L"/FILES").c_str()).Get(document);
    if (info.NeedToUpdate && sent != nullptr && sent->IsArray() && sent->Size() == 1) {
        const JsonValue* kind = JsonPointer((node + L"/INSTALL_GB").c_str()).Get(document);
        FUZZ_CHECK(kind != nullptr && kind->IsString() && info.INSTALL_GB == kind->GetString());
    }

    // The data as the launcher stores it and reads it on a run without a server.
    JsonDocument stored;
    FUZZ_CHECK(ParseJsonText(ToCompactJsonText(document), stored));
    UpdateInfo again;
    FUZZ_CHECK(ParseUpdateInfo(stored, forLauncher, again) == 0);
    FUZZ_CHECK(SameInfo(again, info));

    if (info.NeedToUpdate) CheckDownloads(info);
    return 0;
}
