#pragma once
// One update run of the real launcher against the bundled update server: a test folder
// with the launcher's data folder, an installation folder and a temporary folder, the 7-Zip
// tool in place, and the program's short name unique to the test.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/LauncherRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateServerFixture.h"

class UpdateScenario {
public:
    // Starts the server and puts Debian's 7zz where the launcher keeps its 7-Zip tool (the
    // launcher's own object-storage address is fixed at build time and not this server).
    UpdateScenario();

    std::filesystem::path ProgramData() const { return dir.path() / "pd"; }
    std::filesystem::path Root() const { return LauncherRootFolder(ProgramData()); }
    // The installation folder, as the server names it (ends in a separator).
    std::string InstallFolder() const { return (dir.path() / "inst").string() + "/"; }
    std::filesystem::path Install() const { return dir.path() / "inst"; }
    std::filesystem::path TempFolder() const { return dir.path() / "tmp"; }
    std::filesystem::path BackupFolder() const { return Root() / "_update/p1/temp"; }
    // The private folder of the package's copy when the tool failed on the download.
    std::filesystem::path RetryFolder() const { return Root() / "_update/p1/retry"; }
    std::filesystem::path ToolPath() const { return Root() / "tools/7z/7za.exe"; }
    std::filesystem::path SettingsFile() const { return Root() / "_update/p1/p1_update.json"; }
    std::filesystem::path PendingFile() const { return Root() / "_update/p1/p1_update_.json"; }
    // Whether the update is marked as unfinished.
    bool AnyMarker() const;

    // Replaces the 7-Zip tool by a file of the test's own (execute permission set).
    void SetTool(const std::string& bytes);
    // Lets 'D' lines reach the log.
    void EnableDebugLog();

    // The launcher's environment: its own temporary folder, and the sample program told
    // its short name and to record and end at once.
    LauncherOptions Options(const EnvChanges& extra = {}) const;
    // --PRG_ID="p1", the test update URL, and the given further items.
    std::vector<std::string> Args(const std::vector<std::string>& extra = {}) const;

    // Copies the sample program into folder as viewer.exe with a marker file "version.txt".
    void MakeContent(const std::filesystem::path& folder, const std::string& version) const;
    // Publishes an archive of MakeContent's files for version (plus extra files, name to
    // bytes) as p1's release, with the built launcher as the current one.
    ProductInfo PublishVersion(const std::string& version,
                               const std::map<std::string, std::string>& extra = {});
    void Publish(const ProductInfo& program);
    // The version file beside the program the launcher started last, once it has started;
    // "<not started>" otherwise. The record is removed for the next start.
    std::string StartedVersion(const std::string& exeName = "viewer.exe") const;

    // The log lines whose message starts with prefix.
    std::vector<LogLine> Log(const std::string& prefix) const;

    TempDir dir;
    UpdateServerFixture server;
    std::string shortName;
};

// The built launcher's file version (the server then offers no newer launcher).
std::string BuiltLauncherVersion();
