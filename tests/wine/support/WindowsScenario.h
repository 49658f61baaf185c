#pragma once
// One test of the Windows launcher under Wine: a prefix of its own, the update server reached
// as localhost (Wine's TLS matches certificate names only for host names), the launcher
// copied into the prefix, the program installed to C:\ZebTest\App\, and runs of the launcher
// the way a Windows caller starts it.
//
//   WindowsScenario s;
//   s.PlaceTool();
//   s.Publish(s.PublishArchive("1.2.0"));
//   const LauncherRun run = s.Run({Item("CUST_ID", "c7")});
//   EXPECT_EQ(s.StartedVersion(), "1.2.0");
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/LauncherRunner.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateServerFixture.h"
#include "tests/wine/support/WineMessageBoxes.h"
#include "tests/wine/support/WinePrefix.h"

// --NAME="VALUE", as a caller writes an item of the launcher's command line.
std::string Item(const std::string& name, const std::string& value);

struct LauncherRun {
    int exitCode = -1;   // -1: it did not end in time
    std::string wineOutput;   // wine's standard error: relay and debug-string traces
    std::string debugOutput;  // every process's debugger output, one string per line
    std::vector<MessageBoxCall> boxes;
};

class WindowsScenario {
public:
    static constexpr const char* kLauncher = "C:\\ZebTest\\Launcher\\ZEB.Launcher.exe";
    static constexpr const char* kInstallFolder = "C:\\ZebTest\\App\\";

    // windowsVersion: see WinePrefix. Starts the update server and copies the launcher in.
    explicit WindowsScenario(const std::string& windowsVersion = "");

    std::filesystem::path ProgramData() const { return prefix.DriveC() / "ProgramData"; }
    std::filesystem::path Root() const { return LauncherRootFolder(ProgramData()); }
    std::filesystem::path Install() const { return prefix.HostPath(kInstallFolder); }
    std::filesystem::path Program() const { return Install() / "viewer.exe"; }
    std::filesystem::path LauncherFile() const { return prefix.HostPath(kLauncher); }
    std::filesystem::path BackupFolder() const { return Root() / "_update/p1/temp"; }
    std::filesystem::path RetryFolder() const { return Root() / "_update/p1/retry"; }
    std::filesystem::path SettingsFile() const { return Root() / "_update/p1/p1_update.json"; }
    std::filesystem::path PendingFile() const { return Root() / "_update/p1/p1_update_.json"; }
    std::filesystem::path ToolFile() const { return Root() / "tools/7z/7za.exe"; }

    // Puts the built 7za.exe where the launcher keeps its 7-Zip tool (the object storage
    // the launcher was built for is not this test's server).
    void PlaceTool() const;
    // The sample program as viewer.exe and a marker file version.txt.
    void MakeContent(const std::filesystem::path& folder, const std::string& version) const;
    // An old version in the installation folder, with a settings file of the user's.
    void InstallOld() const;
    // Lets 'D' lines reach the log.
    void EnableDebugLog() const;
    // Packs MakeContent(version) as the program's 7z archive on the server.
    ProductInfo PublishArchive(const std::string& version);
    // Publishes the program with launcher information that matches the built launcher.
    void Publish(const ProductInfo& program);

    // Runs kLauncher with --PRG_ID="p1", the test update URL and items, and waits for it
    // (waitForAll: and for every process it started).
    LauncherRun Run(const std::vector<std::string>& items = {}, const EnvChanges& env = {},
                    bool waitForAll = false);
    // Runs exactly this command line.
    LauncherRun RunCommandLine(const std::string& commandLine, const EnvChanges& env = {},
                               bool waitForAll = false);
    // Starts a run like Run() without waiting for it; its wine output is process.Output().
    bool StartRun(BackgroundProcess& process, const std::vector<std::string>& items = {},
                  const EnvChanges& env = {});
    // The test update URL of this scenario's server.
    std::string UpdateUrlItem() const;

    // The version file beside the program the launcher started last ("<not started>").
    std::string StartedVersion() const;
    std::optional<SampleAppRecord> ProgramRecord() const;
    // Log lines whose message starts with prefix.
    std::vector<LogLine> Log(const std::string& prefix) const;
    std::string LogText() const { return ReadLauncherLog(ProgramData()); }

    WinePrefix prefix;
    UpdateServerFixture server;
    std::string shortName = "Viewer";

private:
    // The launcher's environment in the prefix: the test authority trusted (as a Windows
    // path), the sample program told its short name and to record and end at once, the
    // relay and debug-string traces on.
    EnvChanges LauncherEnvironment(const EnvChanges& extra = {}) const;
    std::string LauncherCommandLine(const std::vector<std::string>& items) const;
    // The helper's arguments for one run of commandLine; name: where its files go.
    std::vector<std::string> HelperRun(const std::string& commandLine, bool waitForAll,
                                       std::string& name);

    int runs_ = 0;
};

// A file below a folder: its name relative to the folder (with "/") and its bytes. Printed
// as name and size: the bytes may be a whole program.
struct FileCopy {
    std::string name;
    std::string bytes;
    bool operator==(const FileCopy&) const = default;
};
void PrintTo(const FileCopy& file, std::ostream* out);
// Every regular file below folder, in name order.
std::vector<FileCopy> FilesBelow(const std::filesystem::path& folder);
// Whether two files hold the same bytes.
bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b);
// The built Windows launcher's file version.
std::string BuiltLauncherVersion();
