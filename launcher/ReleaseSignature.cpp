#include "launcher/ReleaseSignature.h"

#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "launcher/ReleaseComparison.h"
#include "launcher/ReleaseEnvelope.h"

namespace {

#define GL_LOG_VERIFY(level, status, ...) \
    GL_LOG_FN(L"VerifyReleaseSignature", (level), 0, (status), __VA_ARGS__)

const wchar_t* const kInfoMembers[] = {L"UPDATE_PRG_INFO", L"UPDATE_LAUNCHER_INFO"};

const ReleaseKey* FindKey(std::span<const ReleaseKey> keys, const std::wstring& keyId) {
    for (const ReleaseKey& key : keys)
        if (ReleaseKeyId(key) == keyId) return &key;
    return nullptr;
}

int Unusable(const wchar_t* why) {
    return GL_LOG_VERIFY('E', 40, L"서명된 릴리스 내용 오류: %s", std::wstring(why));
}

// Parses the signed text and checks it has the shape of a release; 0 or 40.
int ParseSignedRelease(const std::wstring& text, JsonDocument& release) {
    // The parser would stop at a NUL; JSON text has none.
    if (text.find(L'\0') != std::wstring::npos) return Unusable(L"NUL");
    release.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
    if (release.HasParseError()) return Unusable(L"JSON");
    if (!release.IsObject()) return Unusable(L"not an object");
    if (!IsUnambiguousJson(release, kMaxSignedDepth)) return Unusable(L"nesting or repeated names");
    const JsonValue& root = release;
    const auto prgId = root.FindMember(L"PRG_ID");
    if (prgId == root.MemberEnd() || !prgId->value.IsString()) return Unusable(L"PRG_ID");
    for (const wchar_t* name : kInfoMembers) {
        const auto info = root.FindMember(name);
        if (info == root.MemberEnd() || !info->value.IsObject()) return Unusable(name);
    }
    return 0;
}

// The document's one member of that name; null when it is missing or repeated.
const JsonValue* OnlyMember(const JsonValue& document, const wchar_t* name) {
    const JsonValue* found = nullptr;
    for (auto it = document.MemberBegin(); it != document.MemberEnd(); ++it) {
        if (std::wstring_view(it->name.GetString(), it->name.GetStringLength()) != name) continue;
        if (found != nullptr) return nullptr;
        found = &it->value;
    }
    return found;
}

}  // namespace

int MatchSignedRelease(const JsonValue& document, const std::wstring& signedText,
                       const std::wstring& prgId, JsonDocument& release) {
    if (const int status = ParseSignedRelease(signedText, release); status != 0) return status;
    const JsonValue& signedPrgId = release[L"PRG_ID"];
    const std::wstring signedFor(signedPrgId.GetString(), signedPrgId.GetStringLength());
    if (signedFor != prgId)
        return GL_LOG_VERIFY('E', 45, L"다른 프로그램의 릴리스: %s", signedFor);
    for (const wchar_t* name : kInfoMembers) {
        const std::wstring path = std::wstring(L"/") + name;
        const JsonValue* outer = document.IsObject() ? OnlyMember(document, name) : nullptr;
        const std::wstring where =
            outer == nullptr ? path : FindChangeAfterSigning(*outer, release[name], path);
        if (!where.empty()) return GL_LOG_VERIFY('E', 50, L"서명 후 변경된 항목: %s", where);
    }
    return 0;
}

int VerifyReleaseSignature(const JsonValue& document, const std::wstring& prgId,
                           std::span<const ReleaseKey> keys, VerifiedRelease& verified) {
    if (keys.empty()) return 0;

    ReleaseEnvelope envelope;
    if (const int status = ParseReleaseEnvelope(document, envelope); status != 0) return status;
    const ReleaseKey* key = FindKey(keys, envelope.keyId);
    if (key == nullptr) return GL_LOG_VERIFY('E', 25, L"알 수 없는 서명 키: %s", envelope.keyId);
    const auto* bytes = reinterpret_cast<const uint8_t*>(envelope.signedBytes.data());
    if (!os::VerifyEcdsaP256(key->publicKey, {bytes, envelope.signedBytes.size()},
                             envelope.signature))
        return GL_LOG_VERIFY('E', 30, L"릴리스 서명 검증 실패(키: %s)", envelope.keyId);

    JsonDocument release;
    if (const int status = MatchSignedRelease(document, envelope.signedText, prgId, release);
        status != 0)
        return status;
    GL_LOG_VERIFY('D', 0, L"릴리스 서명 확인(키: %s)", envelope.keyId);
    verified.keyId = envelope.keyId;
    verified.signedRelease.Swap(release);
    return 0;
}
