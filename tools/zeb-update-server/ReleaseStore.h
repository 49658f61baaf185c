#pragma once
// Release descriptions: one JSON file per program identifier, <folder>/releases/<PRG_ID>.json,
// holding the UPDATE_PRG_INFO and UPDATE_LAUNCHER_INFO objects to send. Read anew on every
// request, so a release published while the server runs takes effect at once.
#include <rapidjson/document.h>

#include <filesystem>
#include <string>
#include <string_view>

// The folder below the release folder that holds the descriptions.
inline constexpr std::string_view kReleasesFolderName = "releases";

enum class ReleaseState {
    kFound,    // document holds a well-formed release
    kUnknown,  // no release for this identifier, or the identifier is not a plain name
    kBroken,   // the file exists but is unreadable, not JSON, or lacks what is needed
};

struct Release {
    ReleaseState state = ReleaseState::kUnknown;
    rapidjson::Document document;  // root object with both info objects (kFound only)
    std::string problem;           // why the release is broken (kBroken only)
};

// A program identifier usable as a file name: not empty, at most 200 bytes, no "/", "\" or
// ":", no control character (NUL included), and not starting with "." (so "." and ".."
// and hidden files are out).
bool IsPlainProgramId(std::string_view prgId);

// Loads the release of prgId. A found release has a root object whose UPDATE_PRG_INFO and
// UPDATE_LAUNCHER_INFO are objects with a dotted-version string UP_VERSION.
Release LoadRelease(const std::filesystem::path& folder, std::string_view prgId);
