#include "tools/zeb-release/ReleaseJson.h"

#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "tools/zeb-release/FileWrites.h"

bool ReadJsonFile(const std::filesystem::path& path, rapidjson::Document& document,
                  std::string& error) {
    std::string text;
    if (!ReadFileText(path, text, error)) return false;
    document.Parse<rapidjson::kParseValidateEncodingFlag>(text.data(), text.size());
    if (document.HasParseError()) {
        error = path.string() + " is not JSON in UTF-8: " +
                rapidjson::GetParseError_En(document.GetParseError()) + " at offset " +
                std::to_string(document.GetErrorOffset());
        return false;
    }
    return true;
}

std::string CompactJson(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string PrettyJson(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

bool IsSha256Hex(const rapidjson::Value& value) {
    if (!value.IsString() || value.GetStringLength() != 64) return false;
    for (const char* c = value.GetString(); *c != '\0'; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f'))) return false;
    return true;
}

namespace {

bool HasMember(const rapidjson::Value& object, const char* name) {
    return object.IsObject() && object.HasMember(name);
}

}  // namespace

std::string FindMissingInstallerHash(const rapidjson::Value& minSpec) {
    for (const char* installer : {"DOTNET_FX", "VC_REDIST"}) {
        if (!HasMember(minSpec, installer)) continue;
        const rapidjson::Value& part = minSpec[installer];
        const bool hasUrl = HasMember(part, "URL") && part["URL"].IsString() &&
                            part["URL"].GetStringLength() > 0;
        if (hasUrl && !(HasMember(part, "SHA256") && IsSha256Hex(part["SHA256"])))
            return "/" + std::string(installer) + "/SHA256";
    }
    return std::string();
}

std::string FindMissingHash(const rapidjson::Value& info) {
    if (HasMember(info, "FILES") && info["FILES"].IsArray()) {
        const rapidjson::Value& files = info["FILES"];
        for (rapidjson::SizeType i = 0; i < files.Size(); ++i) {
            if (!(HasMember(files[i], "FILE_SHA256") && IsSha256Hex(files[i]["FILE_SHA256"])))
                return "/FILES/" + std::to_string(i) + "/FILE_SHA256";
        }
    }
    if (HasMember(info, "TOOL_7Z_SHA256") && !IsSha256Hex(info["TOOL_7Z_SHA256"]))
        return "/TOOL_7Z_SHA256";
    if (HasMember(info, "MIN_SPEC") && info["MIN_SPEC"].IsString()) {
        rapidjson::Document minSpec;
        minSpec.Parse(info["MIN_SPEC"].GetString(), info["MIN_SPEC"].GetStringLength());
        if (minSpec.HasParseError() || !minSpec.IsObject()) return "/MIN_SPEC";
        if (std::string where = FindMissingInstallerHash(minSpec); !where.empty())
            return "/MIN_SPEC" + where;
    }
    return std::string();
}
