#include "server/CurlTransferPolicy.h"

#include <optional>
#include <string>

#include "common/GL_Debug.h"
#include "common/os/os.h"

namespace {

std::optional<std::string> NarrowEnv(const wchar_t* name) {
    std::optional<std::wstring> value = os::GetEnv(name);
    std::string narrow;
    if (!value || value->empty() || !os::WideToUtf8(*value, narrow)) return std::nullopt;
    return narrow;
}

// A test's lower limit: digits only, above 0 and not above the default, else the default.
uint64_t LimitFromEnv(const wchar_t* name, uint64_t fallback) {
    std::optional<std::string> text = NarrowEnv(name);
    if (!text) return fallback;
    uint64_t value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9' || value > fallback) return fallback;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value > 0 && value <= fallback ? value : fallback;
}

long SecondsFromEnv(const wchar_t* name, long fallback) {
    return static_cast<long>(LimitFromEnv(name, static_cast<uint64_t>(fallback)));
}

// Only libcurl's own notes and the header blocks reach the log: the bodies carry the
// company pass and the files.
int TraceToLog(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_TEXT && type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    std::string text(data, size);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) return 0;
    const char prefix = type == CURLINFO_TEXT ? '*' : type == CURLINFO_HEADER_IN ? '<' : '>';
    GL_DEBUG_LogA(std::string(), 'D', __FILE__, static_cast<const char*>(user), __LINE__, 0, 0,
                  "%c %s", prefix, text);
    return 0;
}

}  // namespace

void ApplyCurlTransferPolicy(CURL* curl, const char* logFunction) {
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, TraceToLog);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, const_cast<char*>(logFunction));

    // The OpenSSL convention: each variable, when set, replaces its own default.
    if (std::optional<std::string> file = NarrowEnv(L"SSL_CERT_FILE"))
        curl_easy_setopt(curl, CURLOPT_CAINFO, file->c_str());
    if (std::optional<std::string> dir = NarrowEnv(L"SSL_CERT_DIR"))
        curl_easy_setopt(curl, CURLOPT_CAPATH, dir->c_str());

    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                     SecondsFromEnv(L"ZEB_TEST_CONNECT_TIMEOUT", kCurlConnectTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kCurlStallBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     SecondsFromEnv(L"ZEB_TEST_STALL_TIME", kCurlStallSeconds));
}

long CurlRequestTimeLimitSeconds() {
    return SecondsFromEnv(L"ZEB_TEST_REQUEST_TIME", kCurlRequestTimeLimitSeconds);
}

uint64_t DownloadCeilingBytes() {
    return LimitFromEnv(L"ZEB_TEST_DOWNLOAD_CEILING", kDownloadCeilingBytes);
}
