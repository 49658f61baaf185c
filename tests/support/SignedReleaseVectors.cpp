#include "tests/support/SignedReleaseVectors.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace vectors {

std::string SignedDocument(std::string_view signedText, std::string_view keyId,
                           std::string_view signatureHex) {
    rapidjson::Document signedRelease;
    signedRelease.Parse(signedText.data(), signedText.size());
    rapidjson::Document document(rapidjson::kObjectType);
    auto& allocator = document.GetAllocator();
    auto text = [&allocator](std::string_view s) {
        return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), allocator);
    };
    for (const char* name : {"UPDATE_PRG_INFO", "UPDATE_LAUNCHER_INFO"}) {
        if (!signedRelease.IsObject() || !signedRelease.HasMember(name)) continue;
        rapidjson::Value info(signedRelease[name], allocator);
        info.AddMember("NeedToUpdate", true, allocator);
        document.AddMember(rapidjson::StringRef(name), info, allocator);
    }
    document.AddMember("SIGNED_RELEASE", text(signedText), allocator);
    rapidjson::Value signature(rapidjson::kObjectType);
    signature.AddMember("KEY_ID", text(keyId), allocator);
    signature.AddMember("ALG", "ECDSA_P256_SHA256", allocator);
    signature.AddMember("SIG", text(signatureHex), allocator);
    document.AddMember("RELEASE_SIGNATURE", signature, allocator);

    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace vectors
