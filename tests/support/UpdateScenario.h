#pragma once
// One update run of the real launcher against the bundled update server: a test folder
// with the launcher's data folder, an installation folder and a temporary folder, the 7-Zip
// tool in place, and the program's short name unique to the test.
#include <filesystem>
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
    std::filesystem::path ToolPath() const { return Root() / "tools/7z/7za.exe"; }
    std::filesystem::path SettingsFile() const { return Root() / "_update/p1/p1_update.json"; }
    std::filesystem::path PendingFile() const { return Root() / "_update/p1/p1_update_.json"; }

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

    // The log lines whose message starts with prefix.
    std::vector<LogLine> Log(const std::string& prefix) const;

    TempDir dir;
    UpdateServerFixture server;
    std::string shortName;
};
