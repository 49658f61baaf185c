// Fuzz target: the MIN_SPEC text and the version order of the prerequisite checks (nothing
// is fetched or installed). Input: two 32-bit .NET release numbers, then the MIN_SPEC text
// as UTF-8; its lines are also taken as version texts. Properties:
//   - WIN_VER is read as the C runtime's wcstol reads it, and only table indices pass;
//   - an installer's hash is absent or 64 lower-case hex digits;
//   - a MIN_SPEC written back from what was read reads the same;
//   - CompareVersion is an order: reflexive, antisymmetric, transitive; trailing ".0" parts
//     change nothing; on dotted versions with parts below 10^9 it agrees with the update
//     server's order;
//   - a higher .NET release never names a lower version.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "launcher/FileDigest.h"
#include "launcher/MinSpec.h"
#include "server/JsonText.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/zeb-update-server/VersionCompare.h"

namespace {

bool SameSpec(const MinSpec& a, const MinSpec& b) {
    return a.windowsVersion == b.windowsVersion && a.dotNetEnabled == b.dotNetEnabled &&
           a.dotNetVersion == b.dotNetVersion && a.dotNetUrl == b.dotNetUrl &&
           a.dotNetSha256 == b.dotNetSha256 && a.vcRedistEnabled == b.vcRedistEnabled &&
           a.vcRedistVersion == b.vcRedistVersion && a.vcRedistUrl == b.vcRedistUrl &&
           a.vcRedistSha256 == b.vcRedistSha256;
}

JsonValue Text(const std::wstring& text, JsonDocument::AllocatorType& allocator) {
    return JsonValue(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

std::wstring SpecText(const MinSpec& spec) {
    JsonDocument document(rapidjson::kObjectType);
    auto& allocator = document.GetAllocator();
    if (spec.windowsVersion >= 0)
        document.AddMember(L"WIN_VER", Text(std::to_wstring(spec.windowsVersion), allocator),
                           allocator);
    auto prerequisite = [&](const wchar_t* name, bool enabled, const std::wstring& version,
                            const std::wstring& url, const std::wstring& sha256) {
        JsonValue object(rapidjson::kObjectType);
        object.AddMember(L"ENABLED", Text(enabled ? L"true" : L"false", allocator), allocator);
        object.AddMember(L"VER", Text(version, allocator), allocator);
        object.AddMember(L"URL", Text(url, allocator), allocator);
        if (!sha256.empty()) object.AddMember(L"SHA256", Text(sha256, allocator), allocator);
        document.AddMember(JsonValue(name, allocator), object, allocator);
    };
    prerequisite(L"DOTNET_FX", spec.dotNetEnabled, spec.dotNetVersion, spec.dotNetUrl,
                 spec.dotNetSha256);
    prerequisite(L"VC_REDIST", spec.vcRedistEnabled, spec.vcRedistVersion, spec.vcRedistUrl,
                 spec.vcRedistSha256);
    return ToCompactJsonText(document);
}

void CheckWindowsVersion(const std::wstring& text, const MinSpec& spec) {
    JsonDocument document;
    if (!ParseJsonText(text, document)) return;
    const JsonValue* winVer = JsonPointer(L"/WIN_VER").Get(document);
    if (winVer == nullptr) {
        FUZZ_CHECK(spec.windowsVersion == -1);
        return;
    }
    FUZZ_CHECK(winVer->IsString());
    const std::wstring given(winVer->GetString(), winVer->GetStringLength());
    wchar_t* end = nullptr;
    errno = 0;
    const long value = std::wcstol(given.c_str(), &end, 10);
    FUZZ_CHECK(end != given.c_str() && errno == 0 && value == spec.windowsVersion);
    FUZZ_CHECK(spec.windowsVersion >= 0 && spec.windowsVersion < kWindowsVersionCount);
}

// Parts of at most nine digits after leading zeros: where the launcher's 32-bit parts cannot
// wrap.
bool SmallDottedVersion(const std::wstring& text, std::string& narrow) {
    narrow.clear();
    size_t digits = 0;
    for (wchar_t c : text) {
        if (c == L'.') digits = 0;
        else if (c != L'0' || digits > 0) ++digits;
        if (digits > 9 || c > 0x7F) return false;
        narrow += static_cast<char>(c);
    }
    return IsDottedVersion(narrow);
}

void CheckVersionOrder(const std::vector<std::wstring>& versions) {
    for (const std::wstring& a : versions) {
        FUZZ_CHECK(CompareVersion(a, a) == 0);
        FUZZ_CHECK(CompareVersion(a, a + L".0") == 0);
        for (const std::wstring& b : versions) {
            const int ab = CompareVersion(a, b);
            FUZZ_CHECK(ab >= -1 && ab <= 1 && CompareVersion(b, a) == -ab);
            std::string narrowA, narrowB;
            if (SmallDottedVersion(a, narrowA) && SmallDottedVersion(b, narrowB))
                FUZZ_CHECK(CompareDottedVersions(narrowA, narrowB) == ab);
            for (const std::wstring& c : versions)
                if (ab <= 0 && CompareVersion(b, c) <= 0) FUZZ_CHECK(CompareVersion(a, c) <= 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzz::DiscardLog(), true);
    (void)quiet;
    if (size < 8) return 0;
    int32_t releases[2];
    std::memcpy(releases, data, sizeof releases);
    const std::wstring text =
        os::Utf8ToWideLossy(std::string(reinterpret_cast<const char*>(data) + 8, size - 8));

    MinSpec spec;
    if (ParseMinSpec(text, spec)) {
        CheckWindowsVersion(text, spec);
        for (const std::wstring* hash : {&spec.dotNetSha256, &spec.vcRedistSha256})
            FUZZ_CHECK(hash->empty() || IsSha256Text(*hash));
        MinSpec again;
        FUZZ_CHECK(ParseMinSpec(SpecText(spec), again));
        FUZZ_CHECK(SameSpec(again, spec));
    }

    std::vector<std::wstring> versions = {spec.dotNetVersion, spec.vcRedistVersion,
                                          DotNetVersionOfRelease(releases[0]),
                                          DotNetVersionOfRelease(releases[1])};
    size_t start = 0;
    for (size_t lines = 0; lines < 8 && start <= text.size(); ++lines) {
        const size_t end = text.find(L'\n', start);
        versions.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    CheckVersionOrder(versions);

    const auto [low, high] = std::minmax(releases[0], releases[1]);
    if (low > 0) FUZZ_CHECK(CompareVersion(DotNetVersionOfRelease(low), DotNetVersionOfRelease(high)) <= 0);
    return 0;
}
