// keygen: a P-256 key pair for signing releases. The private key stays with the publisher
// (PEM, readable by its owner only); the public key file goes into the launcher's build.
#include <rapidjson/document.h>

#include <filesystem>
#include <iostream>

#include "common/HexText.h"
#include "tools/zeb-release/Arguments.h"
#include "tools/zeb-release/Commands.h"
#include "tools/zeb-release/FileWrites.h"
#include "tools/zeb-release/ReleaseJson.h"
#include "tools/zeb-release/Report.h"
#include "tools/zeb-release/Signer.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommand = "keygen";
constexpr OptionSpec kOptions[] = {{"private", true, true}, {"public", true, true}};

std::string PublicKeyFile(const std::vector<uint8_t>& point) {
    rapidjson::Document file(rapidjson::kObjectType);
    auto& allocator = file.GetAllocator();
    const std::string keyId = KeyIdOf(point);
    const std::string hex = HexEncode(point);
    file.AddMember("KEY_ID", rapidjson::Value(keyId.c_str(), allocator), allocator);
    file.AddMember("ALG", rapidjson::StringRef(kReleaseAlgorithm), allocator);
    file.AddMember("PUBLIC_KEY", rapidjson::Value(hex.c_str(), allocator), allocator);
    return PrettyJson(file);
}

}  // namespace

int RunKeygen(std::span<const char* const> items) {
    std::string error;
    const auto arguments = Arguments::Parse(items, kOptions, error);
    if (!arguments) return WrongUsage(kCommand, error);
    const fs::path privateFile = arguments->Get("private");
    const fs::path publicFile = arguments->Get("public");
    // A key pair is made whole or not at all; nothing is overwritten.
    std::error_code ec;
    for (const fs::path& file : {privateFile, publicFile}) {
        if (fs::exists(fs::symlink_status(file, ec)))
            return Failed(kCommand, file.string() + " exists; keys are never overwritten");
    }

    const auto key = SigningKey::Generate(error);
    if (!key) return Failed(kCommand, error);
    const std::vector<uint8_t> point = key->PublicPoint();
    const std::string pem = key->PrivatePem();
    if (point.empty() || pem.empty()) return Failed(kCommand, "cannot write out the new key");
    if (!WritePrivateFile(privateFile, pem, error)) return Failed(kCommand, error);
    if (!ReplaceFile(publicFile, PublicKeyFile(point), error)) {
        fs::remove(privateFile, ec);  // half a pair is of no use
        return Failed(kCommand, error);
    }
    std::cout << KeyIdOf(point) << "\n";
    return 0;
}
