#include "server/InetConn.h"

#include <memory>

#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "server/CurlTransferPolicy.h"

namespace {

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlTextDeleter>;

// The scheme numbers and default ports of the well-known schemes.
struct SchemeInfo {
    const char* name;
    int number;
    int defaultPort;
};
constexpr SchemeInfo kSchemes[] = {
    {"ftp", kSchemeFtp, 21},   {"gopher", 2, 70}, {"http", kSchemeHttp, 80},
    {"https", kSchemeHttps, 443}, {"file", 5, 0},  {"news", 6, 0},
    {"mailto", 7, 0},          {"socks", 8, 0},   {"javascript", 9, 0},
    {"vbscript", 10, 0},       {"res", 11, 0},
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

const SchemeInfo* FindScheme(const std::string& scheme) {
    std::string lower;
    for (char c : scheme) lower += LowerAscii(c);
    for (const SchemeInfo& info : kSchemes)
        if (lower == info.name) return &info;
    return nullptr;
}

// One part of a split URL as wide text; absent parts are empty. False when a part that is
// present cannot be read as UTF-8.
bool GetPart(CURLU* url, CURLUPart part, std::wstring& out) {
    char* raw = nullptr;
    out.clear();
    if (curl_url_get(url, part, &raw, 0) != CURLUE_OK || raw == nullptr) return true;
    CurlText text(raw);
    return os::Utf8ToWide(text.get(), out);
}

bool IsPlainUrlByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// Never longer than libcurl's own next deadline.
int PollWait(CURLM* session, int waitMs) {
    long deadline = -1;
    curl_multi_timeout(session, &deadline);
    return deadline >= 0 && deadline < waitMs ? static_cast<int>(deadline) : waitMs;
}

}  // namespace

int DefaultPortForScheme(int schemeNumber) {
    for (const SchemeInfo& info : kSchemes)
        if (info.number == schemeNumber) return info.defaultPort;
    return 0;
}

CInetConn::CInetConn(const std::wstring& url) {
    globalInit_ = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    session_ = globalInit_ ? curl_multi_init() : nullptr;
    if (session_ == nullptr)
        GL_LOG_FN(L"CInetConn::CInetConn", 'E', os::LastError(), 10,
                  L"CInetConn.InternetOpen() 실패");
    url_ = url;
    if (!crackURL(url_, parts_))
        GL_LOG_FN(L"CInetConn::CInetConn", 'E', os::LastError(), 20,
                  L"CInetConn.crackURL() 실패: %s", url_);
}

CInetConn::~CInetConn() {
    endTransfer();
    if (connection_ != nullptr) curl_easy_cleanup(connection_);
    if (session_ != nullptr) curl_multi_cleanup(session_);
    if (globalInit_) curl_global_cleanup();
}

bool CInetConn::crackURL(const std::wstring& url, UrlParts& parts) {
    auto fail = [&url]() {
        GL_LOG_FN(L"CInetConn::crackURL", 'E', 0, 10, L"InternetCrackUrl() 실패: %s", url);
        return false;
    };
    std::string narrow;
    if (!os::WideToUtf8(url, narrow)) return fail();
    UrlHandle handle(curl_url());
    if (!handle) return fail();
    // Taken as written: no decoding, no dot-segment folding, unknown schemes allowed.
    const unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE;
    if (curl_url_set(handle.get(), CURLUPART_URL, narrow.c_str(), flags) != CURLUE_OK)
        return fail();

    UrlParts split;
    std::wstring port, query, fragment;
    if (!GetPart(handle.get(), CURLUPART_SCHEME, split.scheme) ||
        !GetPart(handle.get(), CURLUPART_USER, split.userName) ||
        !GetPart(handle.get(), CURLUPART_PASSWORD, split.password) ||
        !GetPart(handle.get(), CURLUPART_HOST, split.hostName) ||
        !GetPart(handle.get(), CURLUPART_PORT, port) ||
        !GetPart(handle.get(), CURLUPART_PATH, split.urlPath) ||
        !GetPart(handle.get(), CURLUPART_QUERY, query) ||
        !GetPart(handle.get(), CURLUPART_FRAGMENT, fragment))
        return fail();
    if (!query.empty()) split.extraInfo = L"?" + query;
    if (!fragment.empty()) split.extraInfo += L"#" + fragment;

    if (split.scheme.size() > kUrlNameCapacity || split.userName.size() > kUrlNameCapacity ||
        split.password.size() > kUrlNameCapacity || split.hostName.size() > kUrlNameCapacity ||
        split.urlPath.size() > kUrlPathCapacity || split.extraInfo.size() > kUrlExtraCapacity)
        return fail();

    std::string scheme;
    os::WideToUtf8(split.scheme, scheme);
    const SchemeInfo* info = FindScheme(scheme);
    split.schemeNumber = info != nullptr ? info->number : kSchemeUnknown;
    if (!port.empty()) {
        // libcurl has checked it: digits only, at most 65535.
        for (wchar_t c : port) split.port = split.port * 10 + (c - L'0');
    } else {
        split.port = info != nullptr ? info->defaultPort : 0;
    }
    parts = std::move(split);
    return true;
}

int CInetConn::connectSecurity(int port, const std::wstring& userName,
                               const std::wstring& password) {
    if (session_ == nullptr) return 10;

    serverName_.clear();
    for (wchar_t c : parts_.hostName) serverName_ += LowerAscii(c);
    serverPort_ = port >= 1 ? port : 0;

    auto fail = [this](int error) {
        GL_LOG_FN(L"CInetConn::connectSecurity", 'E', error, 20, L"%s", serverName_);
        return 20;
    };
    const int scheme = parts_.schemeNumber;
    if (scheme != kSchemeFtp && scheme != kSchemeHttp && scheme != kSchemeHttps)
        return fail(0);  // no service to connect to
    if (serverName_.empty()) return fail(0);

    std::string user, pass;
    if (!os::WideToUtf8(userName, user) || !os::WideToUtf8(password, pass)) return fail(0);

    endTransfer();
    if (connection_ != nullptr) curl_easy_cleanup(connection_);
    connection_ = curl_easy_init();
    if (connection_ == nullptr) return fail(os::LastError());

    curl_easy_setopt(connection_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(connection_, CURLOPT_USERAGENT, "GLCInetConn");
    curl_easy_setopt(connection_, CURLOPT_WRITEFUNCTION, DiscardBody);
    curl_easy_setopt(connection_, CURLOPT_VERBOSE, 1L);
    ApplyCurlTransferPolicy(connection_, "CInetConn::connectSecurity");
    // An empty user name keeps libcurl's anonymous login.
    if (!user.empty()) {
        curl_easy_setopt(connection_, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(connection_, CURLOPT_PASSWORD, pass.c_str());
    }
    // The HTTP service opens its connection with the first request, as WinINet's does.
    if (scheme != kSchemeFtp) return 0;

    // Paths go to the server as given (no CWD walk, no dot folding), in passive mode
    // (libcurl's default), binary (TYPE I, libcurl's default).
    curl_easy_setopt(connection_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(connection_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(connection_, CURLOPT_SERVER_RESPONSE_TIMEOUT, kCurlStallSeconds);
    // Logging in shows that the connection works; the control connection then stays in the
    // session's cache for the transfers that follow.
    curl_easy_setopt(connection_, CURLOPT_URL, fileUrl(std::string()).c_str());
    curl_easy_setopt(connection_, CURLOPT_NOBODY, 1L);
    if (runTransfer() != CURLE_OK) {
        const int error = transferOsError();
        curl_easy_cleanup(connection_);
        connection_ = nullptr;
        return fail(error);
    }
    return 0;
}

std::string CInetConn::fileUrl(const std::string& path) const {
    std::string scheme, host;
    os::WideToUtf8(parts_.scheme, scheme);
    os::WideToUtf8(serverName_, host);
    std::string url;
    for (char c : scheme) url += LowerAscii(c);
    url += "://" + host;
    if (serverPort_ > 0) url += ":" + std::to_string(serverPort_);
    url += "/";
    static const char kHex[] = "0123456789ABCDEF";
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsPlainUrlByte(byte)) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0F];
        }
    }
    return url;
}

bool CInetConn::pumpTransfer(int waitMs) {
    if (session_ == nullptr || connection_ == nullptr) {
        result_ = CURLE_FAILED_INIT;
        return false;
    }
    if (!active_) {
        result_ = CURLE_OK;
        finished_ = false;
        if (curl_multi_add_handle(session_, connection_) != CURLM_OK) {
            result_ = CURLE_FAILED_INIT;
            return false;
        }
        active_ = true;
    } else if (finished_) {
        return false;
    } else if (curl_multi_poll(session_, nullptr, 0, PollWait(session_, waitMs), nullptr) !=
               CURLM_OK) {
        result_ = CURLE_RECV_ERROR;
        finished_ = true;
        return false;
    }
    int running = 0;
    CURLMcode code = curl_multi_perform(session_, &running);
    // A step libcurl queued without a socket to wait on or a timer (the passive data
    // connection, when the server's reply came at once) starts only on the next call. Once
    // data flows there is no such step.
    curl_off_t received = 0;
    curl_easy_getinfo(connection_, CURLINFO_SIZE_DOWNLOAD_T, &received);
    if (code == CURLM_OK && running > 0 && received == 0)
        code = curl_multi_perform(session_, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(session_, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == connection_) {
            result_ = message->data.result;
            finished_ = true;
        }
    }
    if (code != CURLM_OK && !finished_) {
        result_ = CURLE_RECV_ERROR;
        finished_ = true;
    }
    return !finished_;
}

CURLcode CInetConn::runTransfer() {
    while (pumpTransfer(1000)) {
    }
    endTransfer();
    return result_;
}

void CInetConn::endTransfer() {
    if (!active_) return;
    curl_multi_remove_handle(session_, connection_);
    active_ = false;
    finished_ = false;
}

int CInetConn::transferOsError() const {
    long error = 0;
    if (connection_ != nullptr) curl_easy_getinfo(connection_, CURLINFO_OS_ERRNO, &error);
    return static_cast<int>(error);
}
