#include "tools/zeb-update-server/UpdateQuery.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "tools/zeb-update-server/JsonInput.h"
#include "tools/zeb-update-server/ReleaseStore.h"
#include "tools/zeb-update-server/VersionCompare.h"

namespace {

Envelope Failure(const char* result, std::string message, std::string debug = {}) {
    Envelope envelope;
    envelope.result = result;
    envelope.message = std::move(message);
    envelope.messageDebug = std::move(debug);
    return envelope;
}

// A string member of the request; a missing member or one of another type reads as empty.
std::string_view RequestString(const rapidjson::Value& request, const char* name) {
    auto member = request.FindMember(name);
    if (member == request.MemberEnd() || !member->value.IsString()) return {};
    return {member->value.GetString(), member->value.GetStringLength()};
}

// Sets NeedToUpdate of one info object (replacing whatever the release file said).
void DecideUpdate(rapidjson::Document& doc, const char* infoName, std::string_view clientVersion) {
    rapidjson::Value& info = doc[infoName];
    const rapidjson::Value& version = info["UP_VERSION"];
    const bool behind =
        ClientIsBehind(clientVersion, {version.GetString(), version.GetStringLength()});
    if (info.HasMember("NeedToUpdate")) info["NeedToUpdate"].SetBool(behind);
    else info.AddMember("NeedToUpdate", behind, doc.GetAllocator());
}

std::string Serialize(const rapidjson::Document& doc) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    doc.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace

Envelope AnswerUpdateQuery(const std::filesystem::path& folder,
                           const std::optional<std::string>& cmd, std::string_view body) {
    if (!cmd) return Failure("ERROR", "missing command", "the query item cmd is absent");
    if (*cmd != kLauncherCommand) return Failure("ERROR", "unknown command", *cmd);

    rapidjson::Document request;
    if (const rapidjson::ParseResult parsed = ParseJsonInput(request, body); parsed.IsError())
        return Failure("ERROR", "the request is not JSON", DescribeParseFailure(parsed));
    if (!request.IsObject()) return Failure("ERROR", "the request is not a JSON object");
    const rapidjson::Value& fields = request;
    const auto prgIdMember = fields.FindMember("PRG_ID");
    if (prgIdMember == fields.MemberEnd() || !prgIdMember->value.IsString())
        return Failure("ERROR", "PRG_ID is missing or not a string");
    const std::string prgId(prgIdMember->value.GetString(),
                            prgIdMember->value.GetStringLength());

    Release release = LoadRelease(folder, prgId);
    if (release.state == ReleaseState::kUnknown)
        return Failure("EMPTY", "no release for this program", prgId);
    if (release.state == ReleaseState::kBroken)
        return Failure("EXCEPTION", "the release of this program cannot be read",
                       release.problem);

    DecideUpdate(release.document, "UPDATE_PRG_INFO", RequestString(request, "PRG_OLD_VER"));
    DecideUpdate(release.document, "UPDATE_LAUNCHER_INFO",
                 RequestString(request, "LAUNCHER_OLD_VER"));
    Envelope envelope;
    envelope.result = "OK";
    envelope.data.push_back(Serialize(release.document));
    return envelope;
}
