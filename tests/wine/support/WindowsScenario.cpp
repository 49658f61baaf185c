#include "tests/wine/support/WindowsScenario.h"

#include <algorithm>
#include <stdexcept>

#include "tests/support/TestCa.h"
#include "tests/wine/support/PeVersion.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelper = "C:\\ZebTest\\zeb-wine-helper.exe";

void CopyInto(const fs::path& source, const fs::path& target) {
    fs::create_directories(target.parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
}

}  // namespace

std::string Item(const std::string& name, const std::string& value) {
    return "--" + name + "=\"" + value + "\"";
}

std::string BuiltLauncherVersion() {
    const std::optional<std::string> version = ReadFileVersion(ZEB_WINDOWS_LAUNCHER_EXE);
    if (!version) throw std::runtime_error("the built launcher has no version resource");
    return *version;
}

void PrintTo(const FileCopy& file, std::ostream* out) {
    *out << file.name << " (" << file.bytes.size() << " bytes)";
}

std::vector<FileCopy> FilesBelow(const fs::path& folder) {
    std::vector<FileCopy> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back({entry.path().lexically_relative(folder).generic_string(),
                             ReadFileBytes(entry.path())});
    std::sort(files.begin(), files.end(),
              [](const FileCopy& a, const FileCopy& b) { return a.name < b.name; });
    return files;
}

std::vector<FileCopy> InstalledFiles(const fs::path& folder) {
    auto files = FilesBelow(folder);
    std::erase_if(files, [](const FileCopy& file) { return file.name == "received_args.txt"; });
    return files;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    return ReadFileBytes(a) == ReadFileBytes(b);
}

WindowsScenario::WindowsScenario(const std::string& windowsVersion) : prefix(windowsVersion) {
    server.SetUrlHost("localhost");
    if (!server.Start()) throw std::runtime_error("update server: " + server.Output());
    CopyInto(ZEB_WINDOWS_LAUNCHER_EXE, LauncherFile());
    CopyInto(ZEB_WINE_HELPER_EXE, prefix.HostPath(kHelper));
}

void WindowsScenario::UseKeyedLauncher() const {
    CopyInto(ZEB_WINDOWS_KEYED_LAUNCHER_EXE, LauncherFile());
}

void WindowsScenario::PlaceTool() const { CopyInto(ZEB_WINDOWS_7ZA_EXE, ToolFile()); }

void WindowsScenario::PlaceToolStandIn() const {
    CopyInto(ZEB_WINDOWS_7ZA_EXE, prefix.HostPath(kRealTool));
    CopyInto(ZEB_WINE_HELPER_EXE, ToolFile());
}

void WindowsScenario::MakeContent(const fs::path& folder, const std::string& version) const {
    CopyInto(ZEB_WINDOWS_SAMPLE_APP_EXE, folder / "viewer.exe");
    WriteFileBytes(folder / "version.txt", version);
}

void WindowsScenario::InstallOld() const {
    MakeContent(Install(), "old");
    // Bytes that a text conversion anywhere on the way would change.
    WriteFileBytes(Install() / "user.cfg", std::string("settings\r\n\0\xff\xfe", 13));
}

void WindowsScenario::EnableDebugLog() const {
    WriteFileBytes(Root() / "logs/enable_log_dbg.txt", "");
}

ProductInfo WindowsScenario::PublishArchive(const std::string& version) {
    const fs::path content = server.Folder() / ("content-" + version);
    MakeContent(content, version);
    ProductInfo info =
        server.PublishProgramArchive(shortName, version, content, kInstallFolder, "viewer.exe");
    fs::remove_all(content);
    return info;
}

void WindowsScenario::Publish(const ProductInfo& program) {
    server.PublishRelease("p1", program, server.LauncherInfo(BuiltLauncherVersion()));
}

EnvChanges WindowsScenario::LauncherEnvironment(const EnvChanges& extra) const {
    EnvChanges env = {{"SSL_CERT_FILE", prefix.WindowsPath(GetTestCa().caCert)},
                      {"ZEB_SAMPLE_APP_SHORT_NM", shortName},
                      {"ZEB_SAMPLE_APP_EXIT_AT_ONCE", "1"},
                      {"WINEDEBUG", "-all,+relay,+debugstr"}};
    for (const auto& [name, value] : extra) env[name] = value;
    return env;
}

std::string WindowsScenario::UpdateUrlItem() const {
    return Item("__TEST_UPDATE_URL__", server.BaseUrl());
}

std::string WindowsScenario::LauncherCommandLine(const std::vector<std::string>& items) const {
    std::string commandLine = std::string("\"") + kLauncher + "\" " + Item("PRG_ID", "p1") + " " +
                              UpdateUrlItem();
    for (const std::string& item : items) commandLine += " " + item;
    return commandLine;
}

std::vector<std::string> WindowsScenario::HelperRun(const std::string& commandLine,
                                                    bool waitForAll, std::string& name) {
    name = "C:\\ZebTest\\runs\\" + std::to_string(++runs_);
    WriteFileBytes(prefix.HostPath(name + ".cmd"), commandLine);
    std::vector<std::string> args = {kHelper, "run", name + ".cmd", name + ".debug"};
    if (waitForAll) args.push_back("all");
    return args;
}

LauncherRun WindowsScenario::Run(const std::vector<std::string>& items, const EnvChanges& env,
                                 bool waitForAll) {
    return RunCommandLine(LauncherCommandLine(items), env, waitForAll);
}

LauncherRun WindowsScenario::RunCommandLine(const std::string& commandLine, const EnvChanges& env,
                                            bool waitForAll) {
    std::string name;
    const std::vector<std::string> args = HelperRun(commandLine, waitForAll, name);
    const WineResult result =
        prefix.Wine(args, LauncherEnvironment(env), std::chrono::minutes(3));
    LauncherRun run;
    run.exitCode = result.exitCode;
    run.wineOutput = result.output;
    run.debugOutput = ReadFileBytes(prefix.HostPath(name + ".debug"));
    run.boxes = FindMessageBoxCalls(result.output);
    return run;
}

bool WindowsScenario::StartRun(BackgroundProcess& process, const std::vector<std::string>& items,
                               const EnvChanges& env) {
    std::string name;
    return prefix.Start(process, HelperRun(LauncherCommandLine(items), false, name),
                        LauncherEnvironment(env));
}

std::optional<SampleAppRecord> WindowsScenario::ProgramRecord() const {
    return WaitForSampleAppRecord(Program());
}

std::string WindowsScenario::StartedVersion() const {
    const std::optional<SampleAppRecord> record = ProgramRecord();
    if (!record) return "<not started>";
    return ReadFileBytes(Install() / "version.txt");
}

std::vector<LogLine> WindowsScenario::Log(const std::string& prefix) const {
    return FindLogLines(ProgramData(), prefix);
}
