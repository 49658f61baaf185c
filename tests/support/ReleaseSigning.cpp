#include "tests/support/ReleaseSigning.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdexcept>

#include "common/HexText.h"
#include "tests/support/SignedReleaseVectors.h"
#include "tests/support/TempDir.h"
#include "tools/zeb-release/Signer.h"

namespace fs = std::filesystem;

namespace {

SigningKey LoadKey(const fs::path& pemFile) {
    std::string error;
    std::optional<SigningKey> key = SigningKey::FromPem(ReadFileBytes(pemFile), error);
    if (!key) throw std::runtime_error(pemFile.string() + ": " + error);
    return *key;
}

// An update-information object as the publisher signs it: without NeedToUpdate.
rapidjson::Value SignedObject(const ProductInfo& info, rapidjson::Document::AllocatorType& allocator) {
    rapidjson::Document parsed;
    parsed.Parse(info.ToJson().c_str());
    parsed.RemoveMember("NeedToUpdate");
    return rapidjson::Value(parsed, allocator);
}

}  // namespace

fs::path PublisherKey() { return fs::path(ZEB_SOURCE_DIR) / "tests/data/release_keys/publisher.pem"; }

fs::path RotatedKey() { return fs::path(ZEB_SOURCE_DIR) / "tests/data/release_keys/rotated.pem"; }

std::string KeyIdOf(const fs::path& pemFile) { return KeyIdOf(LoadKey(pemFile).PublicPoint()); }

std::string SignRelease(const std::string& prgId, const ProductInfo& program,
                        const ProductInfo& launcher, const fs::path& pemFile) {
    rapidjson::Document release(rapidjson::kObjectType);
    auto& allocator = release.GetAllocator();
    release.AddMember("PRG_ID", rapidjson::Value(prgId.c_str(), allocator), allocator);
    release.AddMember("UPDATE_PRG_INFO", SignedObject(program, allocator), allocator);
    release.AddMember("UPDATE_LAUNCHER_INFO", SignedObject(launcher, allocator), allocator);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    release.Accept(writer);
    const std::string signedText(buffer.GetString(), buffer.GetSize());

    const SigningKey key = LoadKey(pemFile);
    const std::vector<uint8_t> signature = key.Sign(signedText);
    if (signature.empty()) throw std::runtime_error("signing failed");
    return vectors::SignedDocument(signedText, KeyIdOf(key.PublicPoint()), HexEncode(signature));
}
