// The minimum-specification test of a program update.
#include "launcher/MinSpec.h"

#include <climits>
#include <utility>

#include "common/GL_Debug.h"
#include "common/JsonTypes.h"
#include "launcher/FileDigest.h"
#include "launcher/TimedMessage.h"
#include "server/JsonText.h"

namespace {

// One member of the MIN_SPEC object. Members are strings; one of another type makes the
// whole text unusable.
struct Member {
    bool present = false;
    bool usable = true;
    std::wstring text;
};

Member ReadMember(const JsonDocument& document, const wchar_t* pointer) {
    Member member;
    const JsonValue* value = JsonPointer(pointer).Get(document);
    if (value == nullptr) return member;
    member.present = true;
    member.usable = value->IsString();
    if (member.usable) member.text.assign(value->GetString(), value->GetStringLength());
    return member;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// Leading blanks and a sign allowed, digits up to the first other character, at least one
// digit; only indices of the version table are usable.
bool ParseVersionIndex(const std::wstring& text, int& index) {
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    long long value = 0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at, ++digits) {
        value = value * 10 + (text[at] - L'0');
        if (value > INT_MAX) return false;
    }
    if (digits == 0) return false;
    if (negative) value = -value;
    if (value < 0 || value >= kWindowsVersionCount) return false;
    index = static_cast<int>(value);
    return true;
}

bool Refuse(int status, const std::wstring& message) {
    GL_LOG_FN(L"CheckMinSpec", 'E', 0, status, L"%s", message);
    ShowTimedMessage(message, std::wstring());
    return false;
}

}  // namespace

bool ParseMinSpec(const std::wstring& text, MinSpec& spec) {
    JsonDocument document;
    if (!ParseJsonText(text, document)) return false;
    const Member winVer = ReadMember(document, L"/WIN_VER");
    const Member dotNetEnabled = ReadMember(document, L"/DOTNET_FX/ENABLED");
    const Member dotNetVer = ReadMember(document, L"/DOTNET_FX/VER");
    const Member dotNetUrl = ReadMember(document, L"/DOTNET_FX/URL");
    const Member dotNetHash = ReadMember(document, L"/DOTNET_FX/SHA256");
    const Member vcEnabled = ReadMember(document, L"/VC_REDIST/ENABLED");
    const Member vcVer = ReadMember(document, L"/VC_REDIST/VER");
    const Member vcUrl = ReadMember(document, L"/VC_REDIST/URL");
    const Member vcHash = ReadMember(document, L"/VC_REDIST/SHA256");
    for (const Member* member : {&winVer, &dotNetEnabled, &dotNetVer, &dotNetUrl, &dotNetHash,
                                 &vcEnabled, &vcVer, &vcUrl, &vcHash})
        if (!member->usable) return false;
    for (const Member* hash : {&dotNetHash, &vcHash})
        if (hash->present && !IsSha256Text(hash->text)) return false;
    MinSpec parsed;
    if (winVer.present && !ParseVersionIndex(winVer.text, parsed.windowsVersion)) return false;
    parsed.dotNetEnabled = !dotNetEnabled.present || dotNetEnabled.text == L"true";
    parsed.dotNetVersion = dotNetVer.text;
    parsed.dotNetUrl = dotNetUrl.text;
    parsed.dotNetSha256 = dotNetHash.text;
    parsed.vcRedistEnabled = vcEnabled.present && vcEnabled.text == L"true";
    parsed.vcRedistVersion = vcVer.text;
    parsed.vcRedistUrl = vcUrl.text;
    parsed.vcRedistSha256 = vcHash.text;
    spec = std::move(parsed);
    return true;
}

bool CheckMinSpec(const std::wstring& minSpec) {
    MinSpec spec;
    if (!ParseMinSpec(minSpec, spec)) {
        GL_LOG('E', 0, 3, L"json 파싱 오류\r\n%s", minSpec);
        ShowTimedMessage(L"업데이트를 위한 최소 사양정보(MIN_SPEC) 파싱 실패", std::wstring());
        return false;
    }

    if (spec.windowsVersion >= 0) {
        const int current = GetWindowsVersion();
        if (current == -1) return Refuse(4, L"윈도우 운영체제 버전확인 실패");
        if (current < spec.windowsVersion)
            return Refuse(5, GL_DEBUG_FormatMessage(L"윈도우 운영체제 버전이 낮음(최소 %s이상)",
                                                    WindowsVersionName(spec.windowsVersion)));
    }

    if (spec.dotNetEnabled) {
        if (spec.dotNetVersion.empty() || spec.dotNetUrl.empty()) return true;
        if (InstallDotNetFramework(spec.dotNetVersion, spec.dotNetUrl, spec.dotNetSha256) != 0)
            return Refuse(6, GL_DEBUG_FormatMessage(L"닷넷 버전확인/설치 실패(%s)",
                                                    spec.dotNetVersion));
    }

    if (!spec.vcRedistEnabled) return true;
    if (spec.vcRedistVersion.empty() || spec.vcRedistUrl.empty()) return true;
    if (InstallVcRedist(spec.vcRedistVersion, spec.vcRedistUrl, spec.vcRedistSha256) != 0)
        return Refuse(7, GL_DEBUG_FormatMessage(L"VC_REDIST 버전확인/설치 실패(%s)",
                                                spec.vcRedistVersion));
    return true;
}
