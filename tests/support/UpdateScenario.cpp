#include "tests/support/UpdateScenario.h"

#include <stdexcept>

#include "common/GL_File.h"
#include "tests/support/SampleApp.h"

namespace fs = std::filesystem;

UpdateScenario::UpdateScenario() : shortName(UniqueShortName("Viewer")) {
    if (!server.Start()) throw std::runtime_error("update server: " + server.Output());
    fs::create_directories(TempFolder());
    fs::create_directories(ToolPath().parent_path());
    fs::copy_file(Find7zz(), ToolPath(), fs::copy_options::overwrite_existing);
}

void UpdateScenario::SetTool(const std::string& bytes) {
    WriteFileBytes(ToolPath(), bytes);
    fs::permissions(ToolPath(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
}

void UpdateScenario::EnableDebugLog() {
    fs::create_directories(Root() / "logs");
    WriteFileBytes(Root() / "logs/enable_log_dbg.txt", "");
}

LauncherOptions UpdateScenario::Options(const EnvChanges& extra) const {
    LauncherOptions options;
    options.programData = ProgramData();
    options.timeout = std::chrono::seconds(120);
    options.env["TMPDIR"] = TempFolder().string();
    options.env["ZEB_SAMPLE_APP_SHORT_NM"] = shortName;
    options.env["ZEB_SAMPLE_APP_EXIT_AT_ONCE"] = "1";
    for (const auto& [name, value] : extra) options.env[name] = value;
    return options;
}

std::vector<std::string> UpdateScenario::Args(const std::vector<std::string>& extra) const {
    std::vector<std::string> args{"--PRG_ID=p1", "--__TEST_UPDATE_URL__=" + server.BaseUrl()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

void UpdateScenario::MakeContent(const fs::path& folder, const std::string& version) const {
    CopySampleApp(folder / "viewer.exe");
    WriteFileBytes(folder / "version.txt", version);
}

std::vector<LogLine> UpdateScenario::Log(const std::string& prefix) const {
    return FindLogLines(ProgramData(), prefix);
}

ProductInfo UpdateScenario::PublishVersion(const std::string& version,
                                           const std::map<std::string, std::string>& extra) {
    const fs::path content = dir.path() / ("content-" + version);
    MakeContent(content, version);
    for (const auto& [name, bytes] : extra) WriteFileBytes(content / name, bytes);
    const ProductInfo program =
        server.PublishProgramArchive(shortName, version, content, InstallFolder(), "viewer.exe");
    Publish(program);
    return program;
}

void UpdateScenario::Publish(const ProductInfo& program) {
    server.PublishRelease("p1", program, server.LauncherInfo(BuiltLauncherVersion()));
}

std::string UpdateScenario::StartedVersion(const std::string& exeName) const {
    const auto record = WaitForSampleAppRecord(Install() / exeName);
    if (!record) return "<not started>";
    fs::remove(Install() / "received_args.txt");
    return ReadFileBytes(fs::path(record->exe).parent_path() / "version.txt");
}

bool UpdateScenario::AnyMarker() const { return AnyUpdateMarker(ProgramData(), "p1"); }

std::string BuiltLauncherVersion() {
    std::wstring version;
    GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), false, version);
    return fs::path(version).string();
}
