#include "tools/zeb-update-server/ReleaseStore.h"

#include <fstream>
#include <sstream>

#include "tools/zeb-update-server/JsonInput.h"
#include "tools/zeb-update-server/VersionCompare.h"

namespace {

constexpr size_t kMaxProgramIdLength = 200;

Release Broken(std::string problem) {
    Release release;
    release.state = ReleaseState::kBroken;
    release.problem = std::move(problem);
    return release;
}

// Empty when the info object is usable, else what is wrong with it.
std::string CheckInfoObject(const rapidjson::Value& root, const char* name) {
    auto member = root.FindMember(name);
    if (member == root.MemberEnd() || !member->value.IsObject())
        return std::string(name) + " is missing or not an object";
    const rapidjson::Value& info = member->value;
    auto version = info.FindMember("UP_VERSION");
    if (version == info.MemberEnd() || !version->value.IsString())
        return std::string(name) + ".UP_VERSION is missing or not a string";
    std::string_view text(version->value.GetString(), version->value.GetStringLength());
    if (!IsDottedVersion(text))
        return std::string(name) + ".UP_VERSION is not a dotted numeric version: " +
               std::string(text);
    return {};
}

}  // namespace

bool IsPlainProgramId(std::string_view prgId) {
    if (prgId.empty() || prgId.size() > kMaxProgramIdLength || prgId.front() == '.')
        return false;
    for (unsigned char c : prgId) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

Release LoadRelease(const std::filesystem::path& folder, std::string_view prgId) {
    Release release;
    if (!IsPlainProgramId(prgId)) return release;
    const auto file = folder / kReleasesFolderName / (std::string(prgId) + ".json");
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return release;
    if (!std::filesystem::is_regular_file(file, ec))
        return Broken("release file is not a regular file: " + file.string());

    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.good() && !in.eof()) return Broken("cannot read release file: " + file.string());
    const std::string content = text.str();

    rapidjson::Document& doc = release.document;
    if (const rapidjson::ParseResult parsed = ParseJsonInput(doc, content); parsed.IsError())
        return Broken("release file is not valid JSON: " + file.string() + ": " +
                      DescribeParseFailure(parsed));
    if (!doc.IsObject()) return Broken("release file does not hold an object: " + file.string());
    for (const char* name : {"UPDATE_PRG_INFO", "UPDATE_LAUNCHER_INFO"}) {
        if (std::string problem = CheckInfoObject(doc, name); !problem.empty())
            return Broken(problem + " in " + file.string());
    }
    release.state = ReleaseState::kFound;
    return release;
}
