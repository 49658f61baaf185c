// The Windows launcher under Wine surviving faults of an update. It is ended by force
// (TerminateProcess, as "taskkill /f" does: nothing of its own runs) after the update was
// marked, after the old files went into the backup, while the 7-Zip tool unpacks and once the
// new version is complete; the next start, without and with the server, must find one
// version whole, never a mixture; a file that cannot be deleted (another program holds it
// open, where the Linux suite uses chattr) keeps the update from being undone until it can.
// Also: two launchers for one program started together, one arriving during an update, and
// a 7-Zip tool or msiexec that outlives its wait.
// Not mirrored from the Linux suite: a disk that fills, which needs a small file system
// mounted on the host (a Linux-only tool).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
const std::string kNoProgram = "실행파일이 존재하지 않습니다.";
const std::string kWaiting = "다른 런처가 작업중이어서 기다림(최대 ";
const std::string kWaited = "다른 런처의 작업이 끝나 계속함(";
const std::string kProgramLock = "C:\\ProgramData\\Vantrel\\_update\\p1\\p1_update.lock";
const std::string kTool = "C:\\ProgramData\\Vantrel\\tools\\7z\\7za.exe";

class WineUpdateFaults : public ::testing::Test {
protected:
    // Version 1.0.0 installed by the launcher itself (so the stored settings name it), and a
    // file of the user's beside it.
    void InstallFirstVersion() {
        s.PlaceTool();
        s.Publish(s.PublishArchive("1.0.0"));
        ASSERT_EQ(s.Run().exitCode, 0);
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
        ForgetStart();
        WriteFileBytes(s.Install() / "user.cfg", "settings");
    }
    // The sample program's record of its start goes, so that the next start makes a new one.
    void ForgetStart() const { fs::remove(s.Install() / "received_args.txt"); }
    std::vector<FileCopy> Version(const std::string& version, bool withUserFile) const {
        std::vector<FileCopy> files;
        if (withUserFile) files.push_back({"user.cfg", "settings"});
        files.push_back({"version.txt", version});
        files.push_back({"viewer.exe", ReadFileBytes(ZEB_WINDOWS_SAMPLE_APP_EXE)});
        return files;
    }
    // The program started from a whole installation of version, which the settings name.
    void ExpectStartedWhole(const std::string& version, bool withUserFile) {
        EXPECT_EQ(s.StartedVersion(), version) << s.LogText();
        EXPECT_EQ(InstalledFiles(s.Install()), Version(version, withUserFile));
        EXPECT_NE(ReadFileBytes(s.SettingsFile()).find("\"" + version + "\""), std::string::npos);
        EXPECT_FALSE(AnyUpdateMarker(s.ProgramData(), "p1"));
        EXPECT_FALSE(fs::exists(s.BackupFolder()));
        EXPECT_FALSE(fs::exists(s.RetryFolder()));
    }
    // Starts the launcher stopping at point, waits until it is there and ends it by force.
    void EndByForceAt(const std::string& point) {
        BackgroundProcess launcher;
        ASSERT_TRUE(s.StartRun(launcher, {}, {{"ZEB_TEST_PAUSE_AT", point}}));
        ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: " + point,
                                       std::chrono::seconds(60)))
            << s.LogText();
        ASSERT_TRUE(s.prefix.EndByForce("ZEB.Launcher.exe"));
        EXPECT_NE(launcher.Wait(std::chrono::seconds(30)), -1);
    }
    // Ends the launcher and its tool by force half way through the unpacking: a stand-in
    // unpacks the program only, with the real tool, then says so and blocks.
    void EndByForceWhileUnpacking() {
        s.PlaceToolStandIn();
        const std::string halfWay = "C:\\ZebTest\\half-way.txt";
        BackgroundProcess launcher;
        ASSERT_TRUE(s.StartRun(launcher, {},
                               {{"ZEB_WINE_HELPER_THEN", WindowsScenario::kRealTool},
                                {"ZEB_WINE_HELPER_ALSO", "viewer.exe"},
                                {"ZEB_WINE_HELPER_HANG", halfWay}}));
        ASSERT_TRUE(WaitForFile(s.prefix.HostPath(halfWay))) << s.LogText();
        EXPECT_TRUE(fs::exists(s.Program()));  // half new: the program only
        EXPECT_FALSE(fs::exists(s.Install() / "version.txt"));
        ASSERT_TRUE(s.prefix.EndByForce("ZEB.Launcher.exe"));
        ASSERT_TRUE(s.prefix.EndByForce("7za.exe"));
        EXPECT_NE(launcher.Wait(std::chrono::seconds(30)), -1);
        s.PlaceTool();
    }
    size_t Posts() const {
        size_t count = 0;
        for (const std::string& line : s.server.RequestLines()) count += line.rfind("POST ", 0) == 0;
        return count;
    }
    size_t PackageDownloads(const std::string& version) const {
        const std::string get = "GET /files/Viewer/" + version + "/Viewer.7z 200";
        size_t count = 0;
        for (const std::string& line : s.server.RequestLines()) count += line == get;
        return count;
    }

    WindowsScenario s;
};

// ---- ended by force at each state, then started again -----------------------------------

struct KillCase {
    const char* point;  // a ZEB_TEST_PAUSE_AT point, or "unpack" for a tool that blocks
    bool serverAtNextStart;
};

void PrintTo(const KillCase& kill, std::ostream* out) {
    *out << kill.point << (kill.serverAtNextStart ? " with server" : " offline");
}

std::string CaseName(const ::testing::TestParamInfo<KillCase>& info) {
    return std::string(info.param.point) +
           (info.param.serverAtNextStart ? "_WithServer" : "_Offline");
}

class WineKilledUpdate : public WineUpdateFaults, public ::testing::WithParamInterface<KillCase> {};

TEST_P(WineKilledUpdate, TheNextStartFindsOneVersionWhole) {
    const KillCase kill = GetParam();
    const std::string point = kill.point;
    InstallFirstVersion();
    s.Publish(s.PublishArchive("2.0.0"));
    if (point == "unpack") EndByForceWhileUnpacking();
    else EndByForceAt(point);
    if (HasFatalFailure()) return;
    if (!kill.serverAtNextStart) s.server.Stop();

    const LauncherRun next = s.Run();

    ASSERT_EQ(next.exitCode, 0) << next.wineOutput;
    const bool wasComplete = point == "installed";
    const std::string settled = wasComplete ? "끝나지 않은 업데이트를 마무리함: "
                                            : "중단된 업데이트를 되돌림: ";
    EXPECT_EQ(s.Log(settled + WindowsScenario::kInstallFolder).size(), 1u) << s.LogText();
    if (wasComplete || kill.serverAtNextStart) ExpectStartedWhole("2.0.0", false);
    else ExpectStartedWhole("1.0.0", true);
    EXPECT_FALSE(ShownBox(next.boxes, kNoProgram)) << next.wineOutput;
}

INSTANTIATE_TEST_SUITE_P(EachState, WineKilledUpdate,
                         ::testing::Values(KillCase{"marker", false}, KillCase{"marker", true},
                                           KillCase{"backup", false}, KillCase{"backup", true},
                                           KillCase{"unpack", false}, KillCase{"unpack", true},
                                           KillCase{"installed", false},
                                           KillCase{"installed", true}),
                         CaseName);

TEST_F(WineUpdateFaults, AnUpdateThatCannotBeUndoneYetIsNotBuiltUponUntilItIs) {
    InstallFirstVersion();
    s.Publish(s.PublishArchive("2.0.0"));
    EndByForceAt("backup");
    if (HasFatalFailure()) return;
    // A file of the new version that another program holds open (a scanner, say).
    const std::string holder = "C:\\ZebTest\\holder.exe";
    fs::copy_file(ZEB_WINE_HELPER_EXE, s.prefix.HostPath(holder));
    const std::string stuck = std::string(WindowsScenario::kInstallFolder) + "stuck.dll";
    BackgroundProcess holding;
    ASSERT_TRUE(s.prefix.Start(holding, {holder}, {{"ZEB_WINE_HELPER_HOLD", stuck}}));
    ASSERT_TRUE(WaitForFile(s.prefix.HostPath(stuck)));

    const LauncherRun blocked = s.Run();
    const bool stillHeld = s.prefix.EndByForce("holder.exe");

    ASSERT_EQ(blocked.exitCode, 0) << blocked.wineOutput;
    EXPECT_TRUE(stillHeld);
    EXPECT_EQ(s.Log(std::string("[ENU:30]중단된 업데이트를 되돌리지 못함: ") +
                    WindowsScenario::kInstallFolder)
                  .size(),
              1u)
        << s.LogText();
    EXPECT_EQ(s.Log("[ENU:16]중단된 업데이트를 되돌리지 못해 업데이트하지 않고 실행").size(), 1u);
    EXPECT_TRUE(AnyUpdateMarker(s.ProgramData(), "p1"));
    EXPECT_EQ(InstalledFiles(s.BackupFolder()), Version("1.0.0", true));  // waiting whole
    EXPECT_EQ(Posts(), 2u);  // the first installation and the run ended by force only
    ForgetStart();

    const LauncherRun next = s.Run();

    ASSERT_EQ(next.exitCode, 0) << next.wineOutput;
    EXPECT_EQ(s.Log(std::string("중단된 업데이트를 되돌림: ") + WindowsScenario::kInstallFolder)
                  .size(),
              1u)
        << s.LogText();
    ExpectStartedWhole("2.0.0", false);
}

// ---- launchers for one program at the same time -----------------------------------------

TEST_F(WineUpdateFaults, TwoLaunchersStartedTogetherUpdateOnceAndWhole) {
    InstallFirstVersion();
    s.Publish(s.PublishArchive("2.0.0"));

    BackgroundProcess first, second;
    ASSERT_TRUE(s.StartRun(first));
    ASSERT_TRUE(s.StartRun(second));

    EXPECT_EQ(first.Wait(std::chrono::minutes(2)), 0) << first.Output();
    EXPECT_EQ(second.Wait(std::chrono::minutes(2)), 0) << second.Output();
    // One updated; the other read its settings and found nothing to do.
    EXPECT_EQ(PackageDownloads("2.0.0"), 1u) << s.LogText();
    ExpectStartedWhole("2.0.0", false);
}

TEST_F(WineUpdateFaults, ALauncherArrivingDuringAnUpdateWaitsThenFindsItDone) {
    InstallFirstVersion();
    s.Publish(s.PublishArchive("2.0.0"));
    const std::string resume = "C:\\ZebTest\\resume";
    BackgroundProcess first;
    ASSERT_TRUE(s.StartRun(first, {},
                           {{"ZEB_TEST_PAUSE_AT", "backup"}, {"ZEB_TEST_RESUME_FILE", resume}}));
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: backup")) << s.LogText();

    BackgroundProcess second;
    ASSERT_TRUE(s.StartRun(second));
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), kWaiting + "300000ms): " + kProgramLock))
        << s.LogText();
    EXPECT_TRUE(second.Running());
    WriteFileBytes(s.prefix.HostPath(resume), "");

    EXPECT_EQ(first.Wait(std::chrono::minutes(2)), 0) << first.Output();
    EXPECT_EQ(second.Wait(std::chrono::minutes(2)), 0) << second.Output();
    EXPECT_EQ(s.Log(kWaited).size(), 1u) << s.LogText();
    EXPECT_EQ(PackageDownloads("2.0.0"), 1u);
    ExpectStartedWhole("2.0.0", false);
}

// ---- a tool that outlives its wait ------------------------------------------------------

// A tool that keeps writing into the installation folder until it is ended, allowed 3000 ms:
// it is ended before the retry and again before the restore, and nothing writes afterwards.
class WineOverdueTool : public WineUpdateFaults {
protected:
    // program: the tool as the launcher names it; image: its file name.
    void UpdateAndExpectTheOldVersionBack(const std::string& program, const std::string& image,
                                          int overdueStatus, const std::string& failed) {
        const std::string junk = std::string(WindowsScenario::kInstallFolder) + "junk.txt";

        const LauncherRun run =
            s.Run({}, {{"ZEB_TEST_TOOL_WAIT_MS", "3000"}, {"ZEB_WINE_HELPER_HANG", junk}});

        ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
        const std::string ended = "[ENU:" + std::to_string(overdueStatus) +
                                  "]3000ms 안에 끝나지 않은 프로세스를 강제 종료함: " + program;
        EXPECT_EQ(s.Log(ended).size(), 2u) << s.LogText();  // the package, then the copy
        EXPECT_EQ(s.Log(failed).size(), 1u) << s.LogText();
        EXPECT_FALSE(s.prefix.EndByForce(image)) << "a tool was still running";
        EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
        // No junk.txt: nothing wrote after the restore.
        ExpectStartedWhole("1.0.0", true);
    }
};

TEST_F(WineOverdueTool, ASevenZipToolIsEndedBeforeTheRetryAndTheRestore) {
    InstallFirstVersion();
    s.Publish(s.PublishArchive("2.0.0"));
    s.PlaceToolStandIn();
    UpdateAndExpectTheOldVersionBack(kTool, "7za.exe", 47, "[ENU:80]압축파일 풀기 실패");
}

TEST_F(WineOverdueTool, AnInstallerIsEndedBeforeTheRetryAndTheRestore) {
    InstallFirstVersion();
    s.Publish(s.server.PublishProgramFile(s.shortName, "2.0.0", "setup.msi", "not an installer",
                                          WindowsScenario::kInstallFolder, "viewer.exe"));
    // Found before Wine's own msiexec: a program is looked for in the launcher's folder first.
    fs::copy_file(ZEB_WINE_HELPER_EXE, s.LauncherFile().parent_path() / "msiexec.exe");
    UpdateAndExpectTheOldVersionBack("msiexec.exe", "msiexec.exe", 42,
                                     "[ENU:80]셋업파일 설치 실패");
}

}  // namespace
