#include "launcher/ReleaseEnvelope.h"

#include "common/GL_Debug.h"
#include "common/HexText.h"
#include "common/os/os.h"

namespace {

#define GL_LOG_VERIFY(status, ...) \
    GL_LOG_FN(L"VerifyReleaseSignature", 'E', 0, (status), __VA_ARGS__)

const JsonValue* Member(const JsonValue& object, const wchar_t* name) {
    if (!object.IsObject()) return nullptr;
    const auto it = object.FindMember(name);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

bool ReadString(const JsonValue& object, const wchar_t* name, std::wstring& out) {
    const JsonValue* value = Member(object, name);
    if (value == nullptr || !value->IsString()) return false;
    out.assign(value->GetString(), value->GetStringLength());
    return true;
}

int Malformed(const std::wstring& where) {
    return GL_LOG_VERIFY(10, L"릴리스 서명 형식 오류: %s", where);
}

}  // namespace

int ParseReleaseEnvelope(const JsonValue& document, ReleaseEnvelope& envelope) {
    const JsonValue* text = Member(document, kSignedReleaseMember);
    const JsonValue* signature = Member(document, kReleaseSignatureMember);
    if (text == nullptr)
        return GL_LOG_VERIFY(5, L"릴리스 서명 항목 없음: %s", std::wstring(kSignedReleaseMember));
    if (signature == nullptr)
        return GL_LOG_VERIFY(5, L"릴리스 서명 항목 없음: %s", std::wstring(kReleaseSignatureMember));

    const std::wstring textPath = std::wstring(L"/") + kSignedReleaseMember;
    if (!text->IsString() || text->GetStringLength() > kMaxSignedTextBytes) return Malformed(textPath);
    envelope.signedText.assign(text->GetString(), text->GetStringLength());
    if (!os::WideToUtf8(envelope.signedText, envelope.signedBytes) ||
        envelope.signedBytes.size() > kMaxSignedTextBytes)
        return Malformed(textPath);

    const std::wstring signaturePath = std::wstring(L"/") + kReleaseSignatureMember;
    if (!signature->IsObject()) return Malformed(signaturePath);
    std::wstring algorithm, sigHex;
    if (!ReadString(*signature, L"KEY_ID", envelope.keyId)) return Malformed(signaturePath + L"/KEY_ID");
    if (!ReadString(*signature, L"ALG", algorithm)) return Malformed(signaturePath + L"/ALG");
    if (!ReadString(*signature, L"SIG", sigHex) || !HexDecode(sigHex, envelope.signature))
        return Malformed(signaturePath + L"/SIG");
    if (envelope.signature.size() != os::kP256SignatureSize)
        return GL_LOG_VERIFY(15, L"릴리스 서명 길이 오류(%d바이트)",
                             static_cast<int>(envelope.signature.size()));
    if (algorithm != kReleaseAlgorithm)
        return GL_LOG_VERIFY(20, L"지원하지 않는 서명 방식: %s", algorithm);
    return 0;
}
