// sign: makes a release description the signed release the update server serves. The
// signed text is the release's own update-information objects (without the server's
// NeedToUpdate) and its program id, written once; the launcher checks the signature over
// exactly those bytes and compares the objects it reads with them.
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
#include "tools/zeb-update-server/ReleaseStore.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommand = "sign";
constexpr OptionSpec kOptions[] = {{"key", true, true}, {"release", true, true}};

// What makes a release unfit to sign; empty when it is fit.
std::string CheckRelease(const rapidjson::Document& release) {
    if (!release.IsObject()) return "the release is not a JSON object";
    for (const char* name : kInfoMembers) {
        if (!release.HasMember(name) || !release[name].IsObject())
            return std::string(name) + " is missing or not an object";
        if (const std::string where = FindMissingHash(release[name]); !where.empty())
            return "no valid hash at /" + std::string(name) + where;
    }
    return std::string();
}

}  // namespace

int RunSign(std::span<const char* const> items) {
    std::string error;
    const auto arguments = Arguments::Parse(items, kOptions, error);
    if (!arguments) return WrongUsage(kCommand, error);
    const fs::path releaseFile = arguments->Get("release");
    // The server finds a release by its file name, releases/<PRG_ID>.json: the same id is
    // signed, so a release cannot be served for another program.
    const std::string prgId = releaseFile.stem().string();
    if (releaseFile.extension() != ".json" || !IsPlainProgramId(prgId))
        return WrongUsage(kCommand, "the release file must be named <PRG_ID>.json");

    std::string pem;
    if (!ReadFileText(arguments->Get("key"), pem, error)) return Failed(kCommand, error);
    const auto key = SigningKey::FromPem(pem, error);
    if (!key) return Failed(kCommand, arguments->Get("key") + ": " + error);

    rapidjson::Document release;
    if (!ReadJsonFile(releaseFile, release, error)) return Failed(kCommand, error);
    if (const std::string problem = CheckRelease(release); !problem.empty())
        return Failed(kCommand, releaseFile.string() + ": " + problem);

    auto& allocator = release.GetAllocator();
    release.RemoveMember(kSignedReleaseMember);
    release.RemoveMember(kReleaseSignatureMember);
    rapidjson::Document signedRelease(rapidjson::kObjectType);
    signedRelease.AddMember("PRG_ID", rapidjson::Value(prgId.c_str(), signedRelease.GetAllocator()),
                            signedRelease.GetAllocator());
    for (const char* name : kInfoMembers) {
        release[name].RemoveMember("NeedToUpdate");
        signedRelease.AddMember(rapidjson::StringRef(name),
                                rapidjson::Value(release[name], signedRelease.GetAllocator()),
                                signedRelease.GetAllocator());
    }
    const std::string signedText = CompactJson(signedRelease);
    const std::vector<uint8_t> signature = key->Sign(signedText);
    const std::string keyId = KeyIdOf(key->PublicPoint());
    if (signature.empty() || keyId.empty()) return Failed(kCommand, "signing failed");

    release.AddMember(rapidjson::StringRef(kSignedReleaseMember),
                      rapidjson::Value(signedText.data(),
                                       static_cast<rapidjson::SizeType>(signedText.size()), allocator),
                      allocator);
    rapidjson::Value envelope(rapidjson::kObjectType);
    envelope.AddMember("KEY_ID", rapidjson::Value(keyId.c_str(), allocator), allocator);
    envelope.AddMember("ALG", rapidjson::StringRef(kReleaseAlgorithm), allocator);
    envelope.AddMember("SIG", rapidjson::Value(HexEncode(signature).c_str(), allocator), allocator);
    release.AddMember(rapidjson::StringRef(kReleaseSignatureMember), envelope, allocator);
    if (!ReplaceFile(releaseFile, PrettyJson(release), error)) return Failed(kCommand, error);
    std::cout << releaseFile.string() << " signed with key " << keyId << "\n";
    return 0;
}
