// Launchers for one program started together update it once: the others wait for the lock,
// then read what the first one left and start the program. The same kind of lock guards the
// 7-Zip tool and the prerequisites folder that every program shares, and the client-
// information file keeps one PC identifier. Real processes started within milliseconds of
// each other; no Linux-only tool (the Windows suite can mirror these).
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FolderContents.h"
#include "tests/support/LockHolder.h"
#include "tests/support/SampleApp.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kWaiting = "다른 런처가 작업중이어서 기다림(최대 ";
const std::string kWaited = "다른 런처의 작업이 끝나 계속함(";

class ConcurrentLaunchers : public ::testing::Test {
protected:
    void InstallFirstVersion() {
        s.PublishVersion("1.0.0");
        ASSERT_EQ(RunLauncher(s.Args(), s.Options()).exitCode, 0);
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << Log();
    }
    // Starts count launchers one right after the other.
    std::vector<std::unique_ptr<BackgroundProcess>> StartTogether(int count,
                                                                  const EnvChanges& env = {}) {
        std::vector<std::unique_ptr<BackgroundProcess>> launchers;
        for (int i = 0; i < count; ++i) {
            launchers.push_back(std::make_unique<BackgroundProcess>());
            EXPECT_TRUE(StartLauncher(*launchers.back(), s.Args(), s.Options(env)));
        }
        return launchers;
    }
    static void ExpectAllEndWell(std::vector<std::unique_ptr<BackgroundProcess>>& launchers) {
        for (auto& launcher : launchers) EXPECT_EQ(launcher->Wait(std::chrono::seconds(120)), 0);
    }
    size_t PackageDownloads(const std::string& version) const {
        const std::string get = "GET /files/" + s.shortName + "/" + version + "/" + s.shortName + ".7z 200";
        size_t count = 0;
        for (const std::string& line : s.server.RequestLines()) count += line == get;
        return count;
    }
    void ExpectVersionWhole(const std::string& version) {
        EXPECT_EQ(s.StartedVersion(), version) << Log();
        EXPECT_EQ(FilesBelow(s.Install()), (std::vector<std::string>{"version.txt", "viewer.exe"}));
        EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), version);
        EXPECT_EQ(ReadFileBytes(s.Install() / "viewer.exe"), ReadFileBytes(ZEB_SAMPLE_APP_EXE));
        EXPECT_NE(fs::status(s.Install() / "viewer.exe").permissions() & fs::perms::owner_exec,
                  fs::perms::none);
        EXPECT_NE(ReadFileBytes(s.SettingsFile()).find("\"" + version + "\""), std::string::npos);
        EXPECT_FALSE(s.AnyMarker());
        EXPECT_FALSE(fs::exists(s.BackupFolder()));
    }
    size_t LogCount(const std::string& needle) const {
        size_t count = 0;
        for (const std::string& line : ReadLauncherLogLines(s.ProgramData()))
            count += line.find(needle) != std::string::npos;
        return count;
    }
    std::string Log() const { return ReadLauncherLog(s.ProgramData()); }
    std::string ProgramLock() const { return (s.Root() / "_update/p1/p1_update.lock").string(); }

    UpdateScenario s;
};

TEST_F(ConcurrentLaunchers, TwoThenThreeStartedTogetherUpdateOnceAndWhole) {
    InstallFirstVersion();
    int round = 0;
    for (const int count : {2, 3}) {
        const std::string version = std::to_string(2 + round++) + ".0.0";
        s.PublishVersion(version);
        auto launchers = StartTogether(count);
        ExpectAllEndWell(launchers);
        // The first updated; the others read its settings and found nothing to do.
        EXPECT_EQ(PackageDownloads(version), 1u) << count << " launchers";
        ExpectVersionWhole(version);
    }
}

TEST_F(ConcurrentLaunchers, LaunchersArrivingDuringAnUpdateWaitThenFindItDone) {
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    const fs::path resume = s.dir / "resume";
    BackgroundProcess first;
    ASSERT_TRUE(StartLauncher(first, s.Args(),
                              s.Options({{"ZEB_TEST_PAUSE_AT", "backup"},
                                         {"ZEB_TEST_RESUME_FILE", resume.string()}})));
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: backup")) << Log();

    auto later = StartTogether(2);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (LogCount(kWaiting + "300000ms): " + ProgramLock()) < 2 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(LogCount(kWaiting + "300000ms): " + ProgramLock()), 2u) << Log();
    WriteFileBytes(resume, "");

    EXPECT_EQ(first.Wait(std::chrono::seconds(120)), 0);
    ExpectAllEndWell(later);
    EXPECT_EQ(LogCount(kWaited), 2u) << Log();
    EXPECT_EQ(PackageDownloads("2.0.0"), 1u);
    ExpectVersionWhole("2.0.0");
}

TEST_F(ConcurrentLaunchers, ALauncherThatCannotWaitAnyLongerStartsWhatIsInstalled) {
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    const fs::path resume = s.dir / "resume";
    BackgroundProcess first;
    ASSERT_TRUE(StartLauncher(first, s.Args(),
                              s.Options({{"ZEB_TEST_PAUSE_AT", "marker"},
                                         {"ZEB_TEST_RESUME_FILE", resume.string()}})));
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: marker")) << Log();

    const ProcessResult second =
        RunLauncher(s.Args(), s.Options({{"ZEB_TEST_LOCK_WAIT_MS", "1000"}}));

    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(LogCount("[ENU:10]다른 런처의 작업을 기다리다 시간초과("), 1u) << Log();
    EXPECT_EQ(LogCount("[ENU:15]다른 런처가 업데이트 중이어서 업데이트하지 않고 실행"), 1u);
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    WriteFileBytes(resume, "");
    EXPECT_EQ(first.Wait(std::chrono::seconds(120)), 0);
    // Asked the server twice: the first installation and the paused launcher.
    size_t posts = 0;
    for (const std::string& line : s.server.RequestLines()) posts += line.rfind("POST ", 0) == 0;
    EXPECT_EQ(posts, 2u);
    ExpectVersionWhole("2.0.0");
}

TEST_F(ConcurrentLaunchers, TheStartedProgramDoesNotHoldTheLauncherLock) {
    s.PublishVersion("1.0.0");
    // The program keeps running after the launcher has ended (and keeps its output open).
    BackgroundProcess first;
    ASSERT_TRUE(StartLauncher(first, s.Args(), s.Options({{"ZEB_SAMPLE_APP_EXIT_AT_ONCE", "0"}})));
    ASSERT_EQ(first.Wait(std::chrono::seconds(120)), 0);
    const auto record = WaitForSampleAppRecord(s.Install() / "viewer.exe");
    ASSERT_TRUE(record);
    ASSERT_TRUE(ProcessAlive(static_cast<int>(record->pid)));

    const ProcessResult second =
        RunLauncher(s.Args(), s.Options({{"ZEB_TEST_LOCK_WAIT_MS", "2000"}}));

    ::kill(static_cast<int>(record->pid), SIGKILL);
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(LogCount(kWaiting), 0u) << Log();
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
}

// A holder of a shared lock (another program's launcher) makes this launcher wait at that
// step; the update goes on once the holder ends.
class SharedLockWait : public ConcurrentLaunchers {
protected:
    void UpdateWhileHeld(const fs::path& lockFile) {
        LockHolder holder(lockFile);
        ASSERT_TRUE(holder.holding());
        BackgroundProcess launcher;
        ASSERT_TRUE(StartLauncher(launcher, s.Args(), s.Options()));
        EXPECT_TRUE(WaitForLauncherLog(s.ProgramData(),
                                       kWaiting + "300000ms): " + lockFile.string()))
            << Log();
        EXPECT_FALSE(fs::exists(s.BackupFolder()));  // nothing moved meanwhile
        holder.Kill();
        EXPECT_EQ(launcher.Wait(std::chrono::seconds(120)), 0);
        EXPECT_EQ(LogCount(kWaited), 1u) << Log();
        ExpectVersionWhole("2.0.0");
    }
};

TEST_F(SharedLockWait, TheSevenZipToolIsFetchedByOneLauncherAtATime) {
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    UpdateWhileHeld(s.Root() / "tools/7z/7za.lock");
}

TEST_F(SharedLockWait, ThePrerequisitesFolderIsUsedByOneLauncherAtATime) {
    InstallFirstVersion();
    // A recent enough .NET Framework: the check passes without fetching anything.
    WriteFileBytes(s.ProgramData() / "Registry/HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/"
                                     "NET Framework Setup/NDP/v4/Full/values.json",
                   R"({"Release": 528040})");
    ProductInfo program = s.PublishVersion("2.0.0");
    program.minSpec = R"({"DOTNET_FX": {"ENABLED": "true", "VER": "4.7.1", "URL": "https://127.0.0.1:1/fx.exe"}})";
    s.Publish(program);
    UpdateWhileHeld(s.Root() / "_update/3rd/3rd.lock");
}

// Every launcher reads and rewrites the client-information file: started together, on a
// fresh machine and then again and again, they all send the one identifier the file keeps.
TEST(ConcurrentStarts, LaunchersStartedTogetherAlwaysSendTheOnePcIdentifierTheFileKeeps) {
    TrustTestCa();
    TestHttpsServer api;
    api.Post("/api/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("{}", "application/json");
    });
    api.Start();
    TempDir dir;
    LauncherOptions options;
    options.programData = dir / "pd";
    const std::vector<std::string> args{"--PRG_ID=p1", "--__TEST_UPDATE_URL__=" + api.Url("/api/")};

    constexpr int kRounds = 25, kTogether = 3;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<BackgroundProcess>> launchers;
        for (int i = 0; i < kTogether; ++i) {
            launchers.push_back(std::make_unique<BackgroundProcess>());
            ASSERT_TRUE(StartLauncher(*launchers.back(), args, options));
        }
        for (auto& launcher : launchers) EXPECT_EQ(launcher->Wait(std::chrono::seconds(120)), 0);
    }

    std::string stored, path;
    ASSERT_TRUE(ParseClientInfo(ReadClientInfo(options.programData), stored, path));
    std::set<std::string> sent;
    for (const RecordedRequest& request : api.Requests()) {
        const size_t at = request.body.find("\"PC_GUID\": \"");
        ASSERT_NE(at, std::string::npos) << request.body;
        sent.insert(request.body.substr(at + 12, 36));
    }
    EXPECT_EQ(api.Requests().size(), static_cast<size_t>(kRounds * kTogether));
    EXPECT_EQ(sent, std::set<std::string>{stored});
}

}  // namespace
