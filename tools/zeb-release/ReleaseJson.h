#pragma once
// Release descriptions as the publisher handles them: JSON files in UTF-8, the signed form
// the launcher checks, and the hashes every fetched file must carry.
#include <rapidjson/document.h>

#include <filesystem>
#include <string>

inline constexpr const char* kInfoMembers[] = {"UPDATE_PRG_INFO", "UPDATE_LAUNCHER_INFO"};
inline constexpr const char* kSignedReleaseMember = "SIGNED_RELEASE";
inline constexpr const char* kReleaseSignatureMember = "RELEASE_SIGNATURE";
inline constexpr const char* kReleaseAlgorithm = "ECDSA_P256_SHA256";

// A JSON file in UTF-8 (checked); false with the reason otherwise.
bool ReadJsonFile(const std::filesystem::path& path, rapidjson::Document& document,
                  std::string& error);
std::string CompactJson(const rapidjson::Value& value);
std::string PrettyJson(const rapidjson::Value& value);

bool IsSha256Hex(const rapidjson::Value& value);
// Empty when every file the information makes the launcher fetch carries its hash: each
// FILES element its FILE_SHA256, each installer of MIN_SPEC with a URL its SHA256, and a
// TOOL_7Z_SHA256 that is present is well formed. Else what is missing, as a JSON Pointer.
std::string FindMissingHash(const rapidjson::Value& info);
// The same for the MIN_SPEC object alone (below "/MIN_SPEC").
std::string FindMissingInstallerHash(const rapidjson::Value& minSpec);
