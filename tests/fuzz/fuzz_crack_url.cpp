// Fuzz target: CInetConn::crackURL, which splits the prerequisite installers' URLs and the
// FTP server addresses. The input is the URL as UTF-8. Properties, for URLs it accepts:
//   - every part fits its capacity and the port is one a URL can name;
//   - the parts put together again split into the same parts (where the path has its "/").
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/os/os.h"
#include "server/InetConn.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool SameParts(const UrlParts& a, const UrlParts& b) {
    return a.scheme == b.scheme && a.schemeNumber == b.schemeNumber &&
           a.userName == b.userName && a.password == b.password && a.hostName == b.hostName &&
           a.port == b.port && a.urlPath == b.urlPath && a.extraInfo == b.extraInfo;
}

std::wstring Assembled(const UrlParts& parts) {
    std::wstring url = parts.scheme + L"://";
    if (!parts.userName.empty() || !parts.password.empty()) {
        url += parts.userName;
        if (!parts.password.empty()) url += L":" + parts.password;
        url += L"@";
    }
    url += parts.hostName;
    if (parts.port != 0 || DefaultPortForScheme(parts.schemeNumber) != 0)
        url += L":" + std::to_wstring(parts.port);
    return url + parts.urlPath + parts.extraInfo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzz::DiscardLog(), true);
    (void)quiet;
    const std::wstring url =
        os::Utf8ToWideLossy(std::string(reinterpret_cast<const char*>(data), size));

    UrlParts parts;
    if (!CInetConn::crackURL(url, parts)) {
        FUZZ_CHECK(SameParts(parts, UrlParts{}));
        return 0;
    }
    FUZZ_CHECK(parts.scheme.size() <= kUrlNameCapacity && parts.userName.size() <= kUrlNameCapacity &&
               parts.password.size() <= kUrlNameCapacity && parts.hostName.size() <= kUrlNameCapacity &&
               parts.urlPath.size() <= kUrlPathCapacity && parts.extraInfo.size() <= kUrlExtraCapacity);
    FUZZ_CHECK(parts.port >= 0 && parts.port <= 65535);

    // A path without its leading "/" ("file:x") has no form with "//" and a host.
    if (!parts.urlPath.starts_with(L'/')) return 0;
    UrlParts again;
    FUZZ_CHECK(CInetConn::crackURL(Assembled(parts), again));
    FUZZ_CHECK(SameParts(again, parts));
    return 0;
}
