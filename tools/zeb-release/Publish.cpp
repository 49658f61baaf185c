// publish: puts a staged release into an update server's folder so that no launcher ever
// sees a release whose files are missing: every file first, each written under a temporary
// name, flushed and renamed into place; the release descriptions last, the same way. A
// publish that stops half-way leaves the old release in place (plus files it names not).
#include <rapidjson/document.h>

#include <filesystem>
#include <iostream>
#include <vector>

#include "common/os/os.h"
#include "tools/zeb-release/Arguments.h"
#include "tools/zeb-release/Commands.h"
#include "tools/zeb-release/FileWrites.h"
#include "tools/zeb-release/ReleaseJson.h"
#include "tools/zeb-release/Report.h"
#include "tools/zeb-update-server/ReleaseStore.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommand = "publish";
constexpr OptionSpec kOptions[] = {
    {"stage", true, true}, {"folder", true, true}, {"unsigned", false, false}, {"replace", false, false}};

struct StagedSet {
    std::vector<fs::path> files;     // relative to the stage, releases excepted
    std::vector<fs::path> releases;  // releases/<PRG_ID>.json
};

bool IsTemporary(const fs::path& name) {
    const std::string text = name.filename().string();
    return text.starts_with(".") && text.ends_with(".zeb-release-tmp");
}

bool CollectStage(const fs::path& stage, StagedSet& set, std::string& error) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(stage, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(stage);
        if (it->is_symlink()) {
            error = "the stage holds a link, which is not published: " + relative.string();
            return false;
        }
        if (it->is_directory() || IsTemporary(relative)) continue;
        if (!it->is_regular_file()) {
            error = "the stage holds something that is no file: " + relative.string();
            return false;
        }
        const bool inReleases = relative.begin()->string() == kReleasesFolderName;
        if (!inReleases) set.files.push_back(relative);
        else if (relative.parent_path() == kReleasesFolderName && relative.extension() == ".json")
            set.releases.push_back(relative);
        else {
            error = "not a release description: " + relative.string();
            return false;
        }
    }
    if (ec) error = "cannot list " + stage.string() + ": " + ec.message();
    else if (set.releases.empty()) error = "the stage holds no release (releases/<PRG_ID>.json)";
    return error.empty();
}

// A release the launcher would take for its program id: signed for it, unless unsigned
// releases are asked for.
bool CheckRelease(const fs::path& file, bool allowUnsigned, std::string& error) {
    rapidjson::Document release;
    if (!ReadJsonFile(file, release, error)) return false;
    const std::string prgId = file.stem().string();
    if (!release.IsObject() || !IsPlainProgramId(prgId)) {
        error = file.string() + " is not a release of a program id";
        return false;
    }
    if (!release.HasMember(kSignedReleaseMember)) {
        if (!allowUnsigned) error = file.string() + " is not signed (zeb-release sign, or --unsigned)";
        return allowUnsigned;
    }
    const rapidjson::Value& text = release[kSignedReleaseMember];
    rapidjson::Document signedRelease;
    if (text.IsString()) signedRelease.Parse(text.GetString(), text.GetStringLength());
    if (!text.IsString() || signedRelease.HasParseError() || !signedRelease.IsObject() ||
        !signedRelease.HasMember("PRG_ID") || signedRelease["PRG_ID"] != prgId.c_str()) {
        error = file.string() + " is signed for another program id than " + prgId;
        return false;
    }
    return true;
}

bool SameContent(const fs::path& a, const fs::path& b) {
    os::Sha256Digest da{}, db{};
    return os::Sha256File(a.wstring(), da) == 0 && os::Sha256File(b.wstring(), db) == 0 && da == db;
}

}  // namespace

int RunPublish(std::span<const char* const> items) {
    std::string error;
    const auto arguments = Arguments::Parse(items, kOptions, error);
    if (!arguments) return WrongUsage(kCommand, error);
    const fs::path stage = arguments->Get("stage");
    const fs::path folder = arguments->Get("folder");
    std::error_code ec;
    if (!fs::is_directory(stage, ec)) return WrongUsage(kCommand, "no stage folder " + stage.string());
    if (!fs::is_directory(folder, ec))
        return WrongUsage(kCommand, "no update server folder " + folder.string());

    StagedSet set;
    if (!CollectStage(stage, set, error)) return Failed(kCommand, error);
    for (const fs::path& release : set.releases)
        if (!CheckRelease(stage / release, arguments->Has("unsigned"), error))
            return Failed(kCommand, error);

    // A file a live release names is never changed under it unless asked for.
    std::vector<fs::path> toCopy;
    for (const fs::path& file : set.files) {
        const fs::path target = folder / file;
        if (!fs::exists(target, ec)) toCopy.push_back(file);
        else if (SameContent(stage / file, target)) continue;
        else if (arguments->Has("replace")) toCopy.push_back(file);
        else return Failed(kCommand, target.string() + " exists with other content (--replace)");
    }

    for (const fs::path& file : toCopy) {
        if (!ReplaceWithCopy(folder / file, stage / file, error)) return Failed(kCommand, error);
        std::cout << "file " << file.string() << "\n";
    }
    for (const fs::path& release : set.releases) {
        if (!ReplaceWithCopy(folder / release, stage / release, error))
            return Failed(kCommand, error);
        std::cout << "release " << release.string() << "\n";
    }
    return 0;
}
