// Fuzz target: the update server's answer to the launcher's query. Input: the value of the
// query item "cmd", a line feed, then the posted body (without a line feed the item is
// absent and everything is the body). The release folder holds one release, one file that
// is no JSON and one whose version is not a dotted one. Properties:
//   - the reply is well-formed UTF-8 JSON: an object of the six envelope members, all
//     strings but DATA, a list of strings; RESULT is one of the four results;
//   - only the command "zeb.launcher" with a JSON object naming a release by its string
//     PRG_ID is answered OK, and then DATA is that release with NeedToUpdate decided from the
//     versions the body reports;
//   - a release file that is no JSON or holds no dotted version is EXCEPTION, never OK.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

#include "tests/fuzz/FuzzSupport.h"
#include "tools/zeb-update-server/Envelope.h"
#include "tools/zeb-update-server/JsonInput.h"
#include "tools/zeb-update-server/UpdateQuery.h"
#include "tools/zeb-update-server/VersionCompare.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRelease =
    R"({"UPDATE_PRG_INFO":{"SHORT_NM":"Viewer","UP_VERSION":"2.0.13","NeedToUpdate":false,)"
    R"("FILES":[{"FILE_NM":"Viewer.7z"}]},)"
    R"("UPDATE_LAUNCHER_INFO":{"SHORT_NM":"ZebLauncher","UP_VERSION":"1.0.0.0"}})";

const fs::path& ReleaseFolder() {
    static const fs::path folder = [] {
        const fs::path root = fuzz::ScratchFolder() / "releases-root";
        fs::create_directories(root / "releases");
        std::ofstream(root / "releases" / "viewer.json", std::ios::binary) << kRelease;
        std::ofstream(root / "releases" / "broken.json", std::ios::binary) << "{\"UPDATE";
        std::ofstream(root / "releases" / "beta.json", std::ios::binary)
            << R"({"UPDATE_PRG_INFO":{"UP_VERSION":"2.0-beta"},)"
               R"("UPDATE_LAUNCHER_INFO":{"UP_VERSION":"1.0"}})";
        return root;
    }();
    return folder;
}

std::string_view StringOf(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return {};
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return {};
    return {member->value.GetString(), member->value.GetStringLength()};
}

// The reply's envelope: its members and their types.
void CheckEnvelope(const std::string& reply, rapidjson::Document& envelope) {
    envelope.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(
        reply.data(), reply.size());
    FUZZ_CHECK(!envelope.HasParseError() && envelope.IsObject());
    FUZZ_CHECK(envelope.MemberCount() == 6);
    for (const char* name : {"RESULT", "TITLE", "MESSAGE", "MESSAGE_DEBUG", "TIME_STAMP"})
        FUZZ_CHECK(envelope.HasMember(name) && envelope[name].IsString());
    FUZZ_CHECK(envelope.HasMember("DATA") && envelope["DATA"].IsArray());
    for (const rapidjson::Value& item : envelope["DATA"].GetArray()) FUZZ_CHECK(item.IsString());
    const std::string_view result = StringOf(envelope, "RESULT");
    FUZZ_CHECK(result == "OK" || result == "EMPTY" || result == "ERROR" || result == "EXCEPTION");
}

void CheckAnswered(const rapidjson::Document& request, const rapidjson::Value& data) {
    rapidjson::Document answered, release;
    answered.Parse(data.GetString(), data.GetStringLength());
    release.Parse(kRelease.data(), kRelease.size());
    FUZZ_CHECK(!answered.HasParseError() && answered.IsObject());
    const std::pair<const char*, const char*> infos[] = {{"UPDATE_PRG_INFO", "PRG_OLD_VER"},
                                                         {"UPDATE_LAUNCHER_INFO", "LAUNCHER_OLD_VER"}};
    for (const auto& [name, reported] : infos) {
        FUZZ_CHECK(answered.HasMember(name) && answered[name].IsObject());
        rapidjson::Value& info = answered[name];
        FUZZ_CHECK(info.HasMember("NeedToUpdate") && info["NeedToUpdate"].IsBool());
        FUZZ_CHECK(info["NeedToUpdate"].GetBool() ==
                   ClientIsBehind(StringOf(request, reported), StringOf(release[name], "UP_VERSION")));
        info.RemoveMember("NeedToUpdate");
        release[name].RemoveMember("NeedToUpdate");
    }
    FUZZ_CHECK(answered == release);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::optional<std::string> cmd;
    std::string_view body = input;
    if (const size_t feed = input.find('\n'); feed != std::string_view::npos) {
        cmd = std::string(input.substr(0, feed));
        body = input.substr(feed + 1);
    }

    const Envelope answer = AnswerUpdateQuery(ReleaseFolder(), cmd, body);
    rapidjson::Document envelope;
    CheckEnvelope(SerializeEnvelope(answer, CurrentTimeStamp()), envelope);
    FUZZ_CHECK(StringOf(envelope, "RESULT") == answer.result);

    // The body as the server reads it: what is taken apart here is the dispatch.
    rapidjson::Document request;
    const bool parsed = !ParseJsonInput(request, body).IsError();
    const std::string_view prgId = parsed ? StringOf(request, "PRG_ID") : std::string_view();
    if (answer.result == "OK") {
        FUZZ_CHECK(cmd == "zeb.launcher" && prgId == "viewer");
        FUZZ_CHECK(envelope["DATA"].Size() == 1);
        CheckAnswered(request, envelope["DATA"][0]);
    }
    if (cmd == "zeb.launcher" && (prgId == "broken" || prgId == "beta"))
        FUZZ_CHECK(answer.result == "EXCEPTION");
    if (cmd != "zeb.launcher") FUZZ_CHECK(answer.result == "ERROR");
    return 0;
}
