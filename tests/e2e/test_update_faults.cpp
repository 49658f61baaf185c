// Updates cut short or failing at each of their states. The launcher is killed (SIGKILL)
// after the update was marked, after the old files went into the backup, while the tool
// unpacks, while the old files come back and once the new version is complete; the next
// start, without and with the server, must find one version whole, never a mixture. Also: a
// tool that outlives its wait, a launcher living inside the installation folder, a new
// version that renamed its program, and a file server that fails while the program runs.
// Apart from the one that makes a file undeletable with chattr, none of these needs a
// Linux-only tool: the Windows suite can mirror them, killing with TerminateProcess and
// giving the tool stand-ins as batch files.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/support/FolderContents.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kOldFiles{"user.cfg", "version.txt", "viewer.exe"};
const std::vector<std::string> kNewFiles{"version.txt", "viewer.exe"};

class UpdateFaults : public ::testing::Test {
protected:
    // Version 1.0.0 installed by the launcher itself (so the stored settings name it), and a
    // file of the user's beside it.
    void InstallFirstVersion() {
        s.PublishVersion("1.0.0");
        const ProcessResult run = RunLauncher(s.Args(), s.Options());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
        WriteFileBytes(s.Install() / "user.cfg", "settings");
    }
    // Starts the launcher in the background, stopping at point when it is not empty.
    void StartPaused(BackgroundProcess& launcher, const std::string& point) {
        LauncherOptions options = s.Options();
        if (!point.empty()) options.env["ZEB_TEST_PAUSE_AT"] = point;
        ASSERT_TRUE(StartLauncher(launcher, s.Args(), options));
    }
    static void KillHard(BackgroundProcess& process) {
        ::kill(process.pid(), SIGKILL);
        process.Wait(std::chrono::seconds(10));
    }
    // A 7-Zip stand-in that unpacks only the program, tells that it has, then blocks.
    void UseToolThatStopsHalfWay() {
        s.SetTool("#!/bin/sh\necho $$ > '" + (s.dir / "tool.pid").string() + "'\n" +
                  Find7zz().string() + " x \"$2\" \"$3\" -y viewer.exe >/dev/null\ntouch '" +
                  (s.dir / "tool.started").string() + "'\nexec sleep 600\n");
    }
    void UseRealTool() { fs::copy_file(Find7zz(), s.ToolPath(), fs::copy_options::overwrite_existing); }
    void ExpectOldVersionWhole() {
        EXPECT_EQ(FilesBelow(s.Install()), kOldFiles);
        EXPECT_EQ(ReadFileBytes(s.Install() / "user.cfg"), "settings");
        EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "1.0.0");
        EXPECT_EQ(ReadFileBytes(s.Install() / "viewer.exe"), ReadFileBytes(ZEB_SAMPLE_APP_EXE));
        EXPECT_NE(fs::status(s.Install() / "viewer.exe").permissions() & fs::perms::owner_exec,
                  fs::perms::none);
    }
    void ExpectNewVersionWhole() {
        EXPECT_EQ(FilesBelow(s.Install()), kNewFiles);
        EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "2.0.0");
        EXPECT_EQ(ReadFileBytes(s.Install() / "viewer.exe"), ReadFileBytes(ZEB_SAMPLE_APP_EXE));
    }
    void ExpectNothingLeftOfTheUpdate() {
        EXPECT_FALSE(s.AnyMarker());
        EXPECT_FALSE(fs::exists(s.BackupFolder()));
        EXPECT_FALSE(fs::exists(s.RetryFolder()));
    }
    std::string Log() const { return ReadLauncherLog(s.ProgramData()); }

    UpdateScenario s;
};

// ---- killed at each state, then started again -------------------------------------------

struct KillCase {
    const char* point;  // a ZEB_TEST_PAUSE_AT point, or "unpack" for a tool that blocks
    bool serverAtNextStart;
};

void PrintTo(const KillCase& kill, std::ostream* out) {
    *out << kill.point << (kill.serverAtNextStart ? " with server" : " offline");
}

std::string CaseName(const ::testing::TestParamInfo<KillCase>& info) {
    return std::string(info.param.point) + (info.param.serverAtNextStart ? "_WithServer" : "_Offline");
}

class KilledUpdate : public UpdateFaults, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KilledUpdate, TheNextStartFindsOneVersionWhole) {
    const KillCase kill = GetParam();
    const std::string point = kill.point;
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    if (point == "unpack") UseToolThatStopsHalfWay();
    // The old files come back only after a failed unpacking.
    if (point == "restore") s.SetTool("#!/bin/sh\nexit 2\n");

    BackgroundProcess launcher;
    StartPaused(launcher, point == "unpack" ? "" : point);
    if (point == "unpack") {
        ASSERT_TRUE(WaitForFile(s.dir / "tool.started")) << Log();
        EXPECT_TRUE(fs::exists(s.Install() / "viewer.exe"));  // half new: the program only
        EXPECT_FALSE(fs::exists(s.Install() / "version.txt"));
    } else {
        ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: " + point, std::chrono::seconds(60)))
            << Log();
    }
    KillHard(launcher);
    if (point == "unpack") ::kill(std::stoi(ReadFileBytes(s.dir / "tool.pid")), SIGKILL);
    UseRealTool();
    if (!kill.serverAtNextStart) s.server.Stop();

    const ProcessResult next = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(next.exitCode, 0) << next.err;
    const bool wasComplete = point == "installed";
    const std::string settled = wasComplete ? "끝나지 않은 업데이트를 마무리함: "
                                            : "중단된 업데이트를 되돌림: ";
    EXPECT_EQ(s.Log(settled + s.InstallFolder()).size(), 1u) << Log();
    const bool expectNew = wasComplete || kill.serverAtNextStart;
    EXPECT_EQ(s.StartedVersion(), expectNew ? "2.0.0" : "1.0.0") << Log();
    if (expectNew) ExpectNewVersionWhole();
    else ExpectOldVersionWhole();
    ExpectNothingLeftOfTheUpdate();
    // The stored settings always name the version that is installed.
    EXPECT_NE(ReadFileBytes(s.SettingsFile()).find(expectNew ? "\"2.0.0\"" : "\"1.0.0\""),
              std::string::npos);
    EXPECT_FALSE(ShownBox(next.err, "실행파일이 존재하지 않습니다.")) << next.err;
}

INSTANTIATE_TEST_SUITE_P(
    EachState, KilledUpdate,
    ::testing::Values(KillCase{"marker", false}, KillCase{"marker", true},
                      KillCase{"backup", false}, KillCase{"backup", true},
                      KillCase{"unpack", false}, KillCase{"unpack", true},
                      KillCase{"restore", false}, KillCase{"restore", true},
                      KillCase{"installed", false}, KillCase{"installed", true}),
    CaseName);

TEST_F(UpdateFaults, AnUpdateThatCannotBeUndoneYetIsNotBuiltUponUntilItIs) {
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    BackgroundProcess launcher;
    StartPaused(launcher, "backup");
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "테스트 정지 지점: backup")) << Log();
    KillHard(launcher);
    // A file of the new version that cannot be deleted (a scanner holding it, say).
    WriteFileBytes(s.Install() / "stuck.dll", "new");
    if (std::system(("chattr +i '" + (s.Install() / "stuck.dll").string() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i not available here";

    const ProcessResult blocked = RunLauncher(s.Args(), s.Options());
    std::system(("chattr -i '" + (s.Install() / "stuck.dll").string() + "'").c_str());

    ASSERT_EQ(blocked.exitCode, 0) << blocked.err;
    EXPECT_EQ(s.Log("[ENU:30]중단된 업데이트를 되돌리지 못함: " + s.InstallFolder()).size(), 1u) << Log();
    EXPECT_EQ(s.Log("[ENU:16]중단된 업데이트를 되돌리지 못해 업데이트하지 않고 실행").size(), 1u);
    EXPECT_TRUE(s.AnyMarker());
    EXPECT_EQ(FilesBelow(s.BackupFolder()), kOldFiles);  // the old files wait whole
    size_t posts = 0;
    for (const std::string& line : s.server.RequestLines()) posts += line.rfind("POST ", 0) == 0;
    EXPECT_EQ(posts, 2u);  // the first installation and the killed run only

    const ProcessResult next = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(s.Log("중단된 업데이트를 되돌림: " + s.InstallFolder()).size(), 1u) << Log();
    EXPECT_EQ(s.StartedVersion(), "2.0.0");
    ExpectNewVersionWhole();
    ExpectNothingLeftOfTheUpdate();
}

// ---- a tool that outlives its wait ------------------------------------------------------

TEST_F(UpdateFaults, AToolStillRunningAfterItsWaitIsEndedBeforeTheRetryAndTheRestore) {
    InstallFirstVersion();
    s.PublishVersion("2.0.0");
    // It keeps writing into the installation folder until it is ended.
    s.SetTool("#!/bin/sh\necho $$ >> '" + (s.dir / "tool.pids").string() +
              "'\nout=\"${3#-o}\"\nwhile :; do echo x >> \"${out}junk.txt\"; sleep 0.05; done\n");

    const ProcessResult run = RunLauncher(s.Args(), s.Options({{"ZEB_TEST_TOOL_WAIT_MS", "1500"}}));

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string ended =
        "[ENU:47]1500ms 안에 끝나지 않은 프로세스를 강제 종료함: " + s.ToolPath().string();
    EXPECT_EQ(s.Log(ended).size(), 2u) << Log();  // the package, then the copy
    EXPECT_EQ(s.Log("[ENU:80]압축파일 풀기 실패").size(), 1u) << Log();
    std::istringstream pids(ReadFileBytes(s.dir / "tool.pids"));
    int count = 0;
    for (int pid; pids >> pid; ++count) EXPECT_FALSE(ProcessAlive(pid)) << pid;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole();  // no junk.txt: nothing wrote after the restore
    ExpectNothingLeftOfTheUpdate();
}

// ---- the launcher inside the installation folder ----------------------------------------

TEST_F(UpdateFaults, ALauncherInsideTheInstallationFolderStaysThroughUpdateAndRestore) {
    LauncherOptions options = s.Options();
    options.executable = CopyLauncherTo(s.Install() / "bin");
    ASSERT_FALSE(options.executable.empty());
    s.PublishVersion("1.0.0");
    ASSERT_EQ(RunLauncher(s.Args(), options).exitCode, 0);
    ASSERT_EQ(s.StartedVersion(), "1.0.0") << Log();

    s.PublishVersion("2.0.0", {{"bin/tool.dll", "new library"}});
    const ProcessResult updated = RunLauncher(s.Args(), options);

    ASSERT_EQ(updated.exitCode, 0) << updated.err;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << Log();
    EXPECT_EQ(ReadFileBytes(options.executable), ReadFileBytes(ZEB_LAUNCHER_EXE));
    EXPECT_EQ(FilesBelow(s.Install()), (std::vector<std::string>{"bin/ZEB.Launcher.exe",
                                                                 "bin/tool.dll", "version.txt",
                                                                 "viewer.exe"}));
    ExpectNothingLeftOfTheUpdate();

    s.Publish(s.server.PublishProgramFile(s.shortName, "3.0.0", s.shortName + ".7z", "broken",
                                          s.InstallFolder(), "viewer.exe"));
    const ProcessResult failed = RunLauncher(s.Args(), options);

    ASSERT_EQ(failed.exitCode, 0) << failed.err;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << Log();
    EXPECT_EQ(ReadFileBytes(options.executable), ReadFileBytes(ZEB_LAUNCHER_EXE));
    EXPECT_EQ(ReadFileBytes(s.Install() / "bin/tool.dll"), "new library");
    ExpectNothingLeftOfTheUpdate();
}

// ---- what a failed update starts --------------------------------------------------------

TEST_F(UpdateFaults, AFailedUpdateWhoseProgramWasRenamedStartsTheStoredProgram) {
    InstallFirstVersion();
    s.Publish(s.server.PublishProgramFile(s.shortName, "2.0.0", s.shortName + ".7z",
                                          "not an archive", s.InstallFolder(), "viewer2.exe"));

    const ProcessResult run = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(ShownBox(run.err, "업데이트하지 못했습니다.")) << run.err;
    EXPECT_FALSE(ShownBox(run.err, "실행파일이 존재하지 않습니다.")) << run.err;
    EXPECT_EQ(s.Log("새 버전 실행파일이 없어 기존 실행파일을 실행: " +
                    (s.Install() / "viewer.exe").string())
                  .size(),
              1u)
        << Log();
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole();
}

TEST_F(UpdateFaults, AFileServerThatFailsLeavesTheRunningProgramAlone) {
    InstallFirstVersion();
    BackgroundProcess running;
    ASSERT_TRUE(running.Start((s.Install() / "viewer.exe").string(), {},
                              {{"ZEB_SAMPLE_APP_SHORT_NM", s.shortName}}));
    ASSERT_EQ(s.StartedVersion(), "1.0.0");
    s.PublishVersion("2.0.0");
    fs::remove(s.server.Folder() / "files" / s.shortName / "2.0.0" / (s.shortName + ".7z"));

    const ProcessResult run = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("[ENU:35]압축 파일 다운로드 실패").size(), 1u) << Log();
    EXPECT_TRUE(running.Running()) << "the program was ended although nothing was downloaded";
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole();
    ExpectNothingLeftOfTheUpdate();
}

}  // namespace
