// pack: a release folder staged like the update server's own: the program packed as 7z, the
// launcher and the 7-Zip tool when given, and the release description with the size and
// SHA-256 of every file the launcher fetches.
#include <rapidjson/document.h>

#include <climits>
#include <filesystem>
#include <iostream>

#include "common/HexText.h"
#include "common/os/os.h"
#include "tools/zeb-release/Arguments.h"
#include "tools/zeb-release/Commands.h"
#include "tools/zeb-release/FileWrites.h"
#include "tools/zeb-release/ReleaseJson.h"
#include "tools/zeb-release/Report.h"
#include "tools/zeb-release/SevenZip.h"
#include "tools/zeb-update-server/ReleaseStore.h"
#include "tools/zeb-update-server/VersionCompare.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCommand = "pack";
constexpr OptionSpec kOptions[] = {
    {"prg-id", true, true},         {"program-folder", true, true}, {"short-name", true, true},
    {"version", true, true},        {"install-folder", true, true}, {"run-exe", true, true},
    {"server-url", true, true},     {"root-dir-svr", true, false},  {"launcher-version", true, true},
    {"launcher-exe", true, false},  {"tool-7z", true, false},       {"min-spec", true, false},
    {"stage", true, true},          {"7zz", true, false},
};
// Where the launcher fetches its 7-Zip tool, below the object-storage base URL.
constexpr const char* kToolPath = "zeb-mh/Tools/7z/7za.exe";
constexpr const char* kLauncherName = "ZEB.Launcher.exe";
constexpr const char* kLauncherRoot = "files/ZebLauncher/";

// A folder below the server's root as ROOT_DIR_SVR names it: relative, "/"-separated,
// ending in "/", without "." or ".." parts.
bool IsServerFolder(const std::string& folder) {
    if (folder.empty() || folder.front() == '/' || folder.back() != '/' ||
        folder.find('\\') != std::string::npos)
        return false;
    size_t start = 0;
    while (start < folder.size()) {
        const size_t end = folder.find('/', start);
        const std::string part = folder.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

struct StagedFile {
    StagedFile(std::string fileName, std::string pathBelowStage)
        : name(std::move(fileName)), relativePath(std::move(pathBelowStage)) {}
    std::string name;          // FILE_NM
    std::string relativePath;  // below the stage
    int64_t size = 0;
    std::string sha256;
};

// Size and hash of a staged file; false when it is unreadable or too large for FILE_SIZE.
bool Describe(const fs::path& stage, StagedFile& file, std::string& error) {
    const fs::path path = stage / file.relativePath;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size > static_cast<uintmax_t>(INT32_MAX)) {
        error = path.string() + (ec ? ": " + ec.message() : " is larger than FILE_SIZE can say");
        return false;
    }
    os::Sha256Digest digest{};
    if (const int e = os::Sha256File(path.wstring(), digest)) {
        error = "cannot read " + path.string() + " (error " + std::to_string(e) + ")";
        return false;
    }
    file.size = static_cast<int64_t>(size);
    file.sha256 = HexEncode(digest);
    std::cout << file.relativePath << " " << file.size << " " << file.sha256 << "\n";
    return true;
}

class InfoWriter {
public:
    explicit InfoWriter(rapidjson::Document::AllocatorType& allocator)
        : info_(rapidjson::kObjectType), allocator_(allocator) {}
    InfoWriter& Text(const char* name, const std::string& value) {
        info_.AddMember(rapidjson::StringRef(name), rapidjson::Value(value.c_str(), allocator_),
                        allocator_);
        return *this;
    }
    InfoWriter& Files(const std::vector<StagedFile>& files, const std::string& version,
                      const char* typeGb) {
        rapidjson::Value list(rapidjson::kArrayType);
        for (const StagedFile& file : files) {
            rapidjson::Value element(rapidjson::kObjectType);
            auto text = [this](const std::string& s) { return rapidjson::Value(s.c_str(), allocator_); };
            element.AddMember("FILE_NM", text(file.name), allocator_);
            element.AddMember("SUB_DIR_SVR", text(version + "/"), allocator_);
            element.AddMember("SUB_DIR_CLI", "", allocator_);
            element.AddMember("FILE_VERSION", text(version), allocator_);
            element.AddMember("FILE_SIZE", file.size, allocator_);
            element.AddMember("FILE_SIZE_7Z", file.size, allocator_);
            element.AddMember("TYPE_GB", rapidjson::StringRef(typeGb), allocator_);
            element.AddMember("FILE_SHA256", text(file.sha256), allocator_);
            list.PushBack(element, allocator_);
        }
        info_.AddMember("FILES", list, allocator_);
        return *this;
    }
    rapidjson::Value& value() { return info_; }

private:
    rapidjson::Value info_;
    rapidjson::Document::AllocatorType& allocator_;
};

// The minimum specification as the release carries it: compact JSON text, every installer
// with a URL also with its hash.
bool ReadMinSpec(const fs::path& file, std::string& text, std::string& error) {
    rapidjson::Document minSpec;
    if (!ReadJsonFile(file, minSpec, error)) return false;
    if (!minSpec.IsObject()) {
        error = file.string() + " does not hold a JSON object";
        return false;
    }
    if (const std::string where = FindMissingInstallerHash(minSpec); !where.empty()) {
        error = file.string() + ": an installer with a URL needs its hash at " + where;
        return false;
    }
    text = CompactJson(minSpec);
    return true;
}

std::string CheckNames(const Arguments& a) {
    if (!IsPlainProgramId(a.Get("prg-id"))) return "--prg-id is not a plain name";
    const std::string shortName = a.Get("short-name");
    if (!IsPlainProgramId(shortName)) return "--short-name is not a plain name";
    if (!IsDottedVersion(a.Get("version"))) return "--version is not a dotted version";
    if (!IsDottedVersion(a.Get("launcher-version")))
        return "--launcher-version is not a dotted version";
    if (a.Get("run-exe").empty()) return "--run-exe is empty";
    if (a.Get("server-url").empty()) return "--server-url is empty";
    if (a.Has("root-dir-svr") && !IsServerFolder(a.Get("root-dir-svr")))
        return "--root-dir-svr must be a relative folder ending in \"/\" without \"..\"";
    std::error_code ec;
    const fs::path folder = a.Get("program-folder");
    if (!fs::is_directory(folder, ec) || fs::is_empty(folder, ec))
        return "--program-folder is not a folder with files: " + folder.string();
    return std::string();
}

}  // namespace

int RunPack(std::span<const char* const> items) {
    std::string error;
    const auto arguments = Arguments::Parse(items, kOptions, error);
    if (!arguments) return WrongUsage(kCommand, error);
    const Arguments& a = *arguments;
    if (const std::string problem = CheckNames(a); !problem.empty())
        return WrongUsage(kCommand, problem);

    const fs::path stage = a.Get("stage");
    const std::string shortName = a.Get("short-name");
    const std::string version = a.Get("version");
    const std::string rootDirSvr = a.Has("root-dir-svr") ? a.Get("root-dir-svr")
                                                         : "files/" + shortName + "/";
    StagedFile package{shortName + ".7z", rootDirSvr + version + "/" + shortName + ".7z"};
    const std::string sevenZip = a.Has("7zz") ? a.Get("7zz") : "7zz";
    if (!PackFolder(sevenZip, a.Get("program-folder"), stage / package.relativePath, error) ||
        !Describe(stage, package, error))
        return Failed(kCommand, error);

    std::string minSpec;
    if (a.Has("min-spec") && !ReadMinSpec(a.Get("min-spec"), minSpec, error))
        return Failed(kCommand, error);

    // Staged beside the package: what the launcher fetches from the same deployment.
    std::vector<StagedFile> launcherFiles;
    const std::string launcherVersion = a.Get("launcher-version");
    if (a.Has("launcher-exe")) {
        StagedFile launcher{kLauncherName,
                            std::string(kLauncherRoot) + launcherVersion + "/" + kLauncherName};
        if (!ReplaceWithCopy(stage / launcher.relativePath, a.Get("launcher-exe"), error) ||
            !Describe(stage, launcher, error))
            return Failed(kCommand, error);
        launcherFiles.push_back(launcher);
    }
    StagedFile tool{"7za.exe", kToolPath};
    if (a.Has("tool-7z") && (!ReplaceWithCopy(stage / tool.relativePath, a.Get("tool-7z"), error) ||
                             !Describe(stage, tool, error)))
        return Failed(kCommand, error);

    rapidjson::Document release(rapidjson::kObjectType);
    auto& allocator = release.GetAllocator();
    InfoWriter program(allocator);
    program.Text("INSTALL_GB", "ZIP")
        .Text("SHORT_NM", shortName)
        .Text("UP_VERSION", version)
        .Text("ROOT_DIR_CLI_INST", a.Get("install-folder"))
        .Text("RUN_EXE_NAME", a.Get("run-exe"))
        .Text("CFG_FROM_SVR", "")
        .Text("SVR_URL", a.Get("server-url"))
        .Text("ROOT_DIR_SVR", rootDirSvr);
    if (!minSpec.empty()) program.Text("MIN_SPEC", minSpec);
    if (a.Has("tool-7z")) program.Text("TOOL_7Z_SHA256", tool.sha256);
    program.Files({package}, version, "Z");
    InfoWriter launcher(allocator);
    launcher.Text("INSTALL_GB", "LAUNCHER")
        .Text("SHORT_NM", "ZebLauncher")
        .Text("UP_VERSION", launcherVersion)
        .Text("ROOT_DIR_CLI_INST", "")
        .Text("RUN_EXE_NAME", kLauncherName)
        .Text("CFG_FROM_SVR", "")
        .Text("SVR_URL", a.Get("server-url"))
        .Text("ROOT_DIR_SVR", kLauncherRoot)
        .Files(launcherFiles, launcherVersion, "F");
    release.AddMember("UPDATE_PRG_INFO", program.value(), allocator);
    release.AddMember("UPDATE_LAUNCHER_INFO", launcher.value(), allocator);

    const std::string releaseName = std::string(kReleasesFolderName) + "/" + a.Get("prg-id") + ".json";
    if (!ReplaceFile(stage / releaseName, PrettyJson(release), error)) return Failed(kCommand, error);
    std::cout << releaseName << " (not signed yet)\n";
    return 0;
}
