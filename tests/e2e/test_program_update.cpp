// Program updates through the real launcher: a first installation, an update over a running
// program, unpacking that fails and is undone, the retry from the temporary copy, installer
// packages, unsupported kinds and server names that would leave their folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/GL_File.h"
#include "tests/support/FolderContents.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";

bool Contains(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
}

class ProgramUpdate : public ::testing::Test {
protected:
    // Publishes an archive of the sample program with version.txt holding version.
    ProductInfo PublishArchive(const std::string& version) {
        const fs::path content = s.dir.path() / ("content-" + version);
        s.MakeContent(content, version);
        return s.server.PublishProgramArchive(s.shortName, version, content, s.InstallFolder(),
                                              "viewer.exe");
    }
    void Publish(const ProductInfo& program) {
        s.server.PublishRelease("p1", program, s.server.LauncherInfo(LauncherVersion()));
    }
    // An old version in the installation folder, as a previous update left it.
    void InstallOld() {
        s.MakeContent(s.Install(), "old");
        WriteFileBytes(s.Install() / "user.cfg", "settings");
    }
    ProcessResult Run(const EnvChanges& env = {}) {
        return RunLauncher(s.Args({"--COMP_PASS=secret", "--CUST_ID=c7"}), s.Options(env));
    }
    // The version file of the sample program the launcher started last.
    std::string StartedVersion() {
        const auto record = WaitForSampleAppRecord(s.Install() / "viewer.exe");
        if (!record) return "<not started>";
        return ReadFileBytes(fs::path(record->exe).parent_path() / "version.txt");
    }
    // The built launcher's own version: the server offers no newer launcher.
    static std::string LauncherVersion() {
        std::wstring version;
        GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), false, version);
        return fs::path(version).string();
    }

    UpdateScenario s;
};

TEST_F(ProgramUpdate, FirstInstallationUnpacksWithoutBackupAndStartsTheProgram) {
    Publish(PublishArchive("1.2.0"));

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesBelow(s.Install()),
              (std::vector<std::string>{"received_args.txt", "version.txt", "viewer.exe"}));
    EXPECT_EQ(StartedVersion(), "1.2.0");
    const auto record = WaitForSampleAppRecord(s.Install() / "viewer.exe");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, (std::vector<std::string>{"--COMP_PASS=secret", "--CUST_ID=c7",
                                                      "--_TEST_UPDATE_URL__=" +
                                                          s.server.BaseUrl()}));
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(Contains(run.err, kUpdateFailed)) << run.err;
    EXPECT_TRUE(fs::exists(s.SettingsFile()));
    // The launcher was current: nothing of a self-update appeared.
    EXPECT_FALSE(fs::exists(s.PendingFile()));
    EXPECT_FALSE(fs::exists(fs::path(ZEB_LAUNCHER_EXE).parent_path() / "ZEB.Launcher_.exe"));
    // The downloaded package stays in the version folder.
    EXPECT_TRUE(fs::exists(s.Root() / "_update" / s.shortName / "download/1_2_0" /
                           (s.shortName + ".7z")));
}

TEST_F(ProgramUpdate, UpdateOverARunningProgramAsksItToExitThenReplacesTheFiles) {
    InstallOld();
    BackgroundProcess old;
    ASSERT_TRUE(old.Start((s.Install() / "viewer.exe").string(), {},
                          {{"ZEB_SAMPLE_APP_SHORT_NM", s.shortName}}));
    const auto oldRecord = WaitForSampleAppRecord(s.Install() / "viewer.exe");
    ASSERT_TRUE(oldRecord);
    Publish(PublishArchive("2.0.0"));

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Exit code 0: it ended through its exit event, not by force.
    EXPECT_EQ(old.Wait(std::chrono::seconds(10)), 0);
    EXPECT_EQ(StartedVersion(), "2.0.0");
    EXPECT_FALSE(fs::exists(s.Install() / "user.cfg"));  // the old files went with the backup
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(Contains(run.err, kUpdateFailed)) << run.err;
}

TEST_F(ProgramUpdate, AnArchiveThatFailsTwiceBringsTheOldFilesBack) {
    InstallOld();
    Publish(s.server.PublishProgramFile(s.shortName, "2.0.0", s.shortName + ".7z",
                                        "this is not an archive", s.InstallFolder(),
                                        "viewer.exe"));

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string copy = (s.RetryFolder() / (s.shortName + ".7z")).string();
    EXPECT_EQ(s.Log("[ENU:80]압축파일 풀기 실패\r\n파일경로: " + copy).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(FilesBelow(s.Install()),
              (std::vector<std::string>{"received_args.txt", "user.cfg", "version.txt",
                                        "viewer.exe"}));
    EXPECT_EQ(ReadFileBytes(s.Install() / "user.cfg"), "settings");
    EXPECT_EQ(StartedVersion(), "old");
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(fs::exists(s.RetryFolder()));
    EXPECT_FALSE(fs::exists(s.SettingsFile()));
}

TEST_F(ProgramUpdate, AToolFailingOnlyOnTheDownloadedPackageSucceedsFromTheTemporaryCopy) {
    InstallOld();
    s.EnableDebugLog();
    // Exit code 2 for the package in its download folder, real unpacking for the copy.
    s.SetTool("#!/bin/sh\ncase \"$2\" in */download/*) exit 2;; esac\nexec " +
              Find7zz().string() + " \"$@\"\n");
    Publish(PublishArchive("2.1.0"));

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("압축풀기 후 비정상 프로세스 종료코드: 2").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(StartedVersion(), "2.1.0");
    EXPECT_FALSE(fs::exists(s.RetryFolder()));
    // Nothing went through the shared temporary folder.
    EXPECT_TRUE(fs::is_empty(s.TempFolder()));
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(Contains(run.err, kUpdateFailed)) << run.err;
}

// ---- installer packages -----------------------------------------------------------------

class InstallerUpdate : public ProgramUpdate {
protected:
    // An installer program of the test's own, found as "msiexec.exe" on PATH: it records its
    // arguments and, with exit code 0, installs the sample program into the folder it is
    // told through the environment.
    EnvChanges InstallerOnPath(int exitCode) {
        const fs::path bin = s.dir.path() / "bin";
        fs::create_directories(bin);
        WriteFileBytes(bin / "msiexec.exe",
                       "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$INSTALLER_LOG\"\n"
                       "[ " + std::to_string(exitCode) + " = 0 ] || exit " +
                           std::to_string(exitCode) +
                           "\nmkdir -p \"$INSTALL_DIR\"\ncp \"$SAMPLE_APP\" \"$INSTALL_DIR/viewer.exe\"\n"
                           "cp \"$2\" \"$INSTALL_DIR/version.txt\"\n");
        fs::permissions(bin / "msiexec.exe", fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        return {{"PATH", bin.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin")},
                {"INSTALLER_LOG", (s.dir.path() / "installer.log").string()},
                {"INSTALL_DIR", s.Install().string()},
                {"SAMPLE_APP", ZEB_SAMPLE_APP_EXE}};
    }
    std::string Package() const {
        return (s.Root() / "_update" / s.shortName / "download/3_0_0/setup.msi").string();
    }
};

TEST_F(InstallerUpdate, RunsTheInstallerFromPathOnTheDownloadedPackage) {
    InstallOld();
    Publish(s.server.PublishProgramFile(s.shortName, "3.0.0", "setup.msi", "3.0.0",
                                        s.InstallFolder(), "viewer.exe"));

    const ProcessResult run = Run(InstallerOnPath(0));

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(s.dir.path() / "installer.log"), "/i\n" + Package() + "\n/passive\n");
    EXPECT_EQ(StartedVersion(), "3.0.0");
    EXPECT_FALSE(fs::exists(s.Install() / "user.cfg"));
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(Contains(run.err, kUpdateFailed)) << run.err;
}

TEST_F(InstallerUpdate, AFailingInstallerIsRetriedFromTheCopyThenTheOldFilesComeBack) {
    InstallOld();
    Publish(s.server.PublishProgramFile(s.shortName, "3.0.0", "setup.msi", "3.0.0",
                                        s.InstallFolder(), "viewer.exe"));

    const ProcessResult run = Run(InstallerOnPath(3));

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string copy = (s.RetryFolder() / "setup.msi").string();
    EXPECT_EQ(ReadFileBytes(s.dir.path() / "installer.log"),
              "/i\n" + Package() + "\n/passive\n/i\n" + copy + "\n/passive\n");
    EXPECT_EQ(s.Log("[ENU:80]셋업파일 설치 실패\r\n파일경로: " + copy).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(s.Install() / "user.cfg"), "settings");
    EXPECT_EQ(StartedVersion(), "old");
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
}

// ---- kinds that are not installed -------------------------------------------------------

TEST_F(ProgramUpdate, SeveralFilesAreTheUnsupportedKindFiles) {
    InstallOld();
    ProductInfo program = PublishArchive("4.0.0");
    ReleaseFile second = program.files.front();
    second.name = "extra.dat";
    program.files.push_back(second);
    Publish(program);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:65]아직 지원하지 않는 유형: FILES").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(StartedVersion(), "old");
}

TEST_F(ProgramUpdate, TheLauncherFileAsProgramIsNotSupported) {
    InstallOld();
    Publish(s.server.PublishProgramFile(s.shortName, "4.0.0", "ZEB.Launcher.exe", "binary",
                                        s.InstallFolder(), "viewer.exe"));

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:70]지원하지 않는 파일 유형: LAUNCHER").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(StartedVersion(), "old");
}

// ---- server names that would leave their folders ----------------------------------------

TEST_F(ProgramUpdate, AFileNameThatClimbsOutOfTheDownloadFolderIsRefused) {
    InstallOld();
    ProductInfo program = PublishArchive("5.0.0");
    // Six levels up from the version folder is the test's folder; the URL's dot segments
    // make the request ask for the file at the server's top.
    const std::string escaped = "../../../../../../escaped.7z";
    s.server.AddFile("escaped.7z", "payload");
    program.files.front().name = escaped;
    Publish(program);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:15]다운로드 경로로 쓸 수 없는 이름(FILE_NM): " + escaped).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:35]압축 파일 다운로드 실패").size(), 1u);
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_FALSE(fs::exists(s.dir.path() / "escaped.7z"));
    EXPECT_EQ(ReadFileBytes(s.Install() / "user.cfg"), "settings");
    EXPECT_FALSE(fs::exists(s.Root() / "_update" / s.shortName));
    EXPECT_EQ(StartedVersion(), "old");
}

}  // namespace

namespace {

// The same first installation with the package on an FTP server: only the update API is
// asked over HTTPS.
TEST_F(ProgramUpdate, PackageOnAnFtpServerIsInstalledAndStarted) {
    FtpServerFixture ftp;
    const fs::path content = s.dir.path() / "content-ftp";
    s.MakeContent(content, "3.0.0");
    const fs::path archive = s.dir.path() / "pack.7z";
    Make7zArchive(content, archive);
    ftp.AddFile("viewer/3.0.0/pack.7z", ReadFileBytes(archive));
    ProductInfo program = s.server.PublishProgramArchive(s.shortName, "3.0.0", content,
                                                         s.InstallFolder(), "viewer.exe");
    program.serverUrl = "ftp://127.0.0.1:" + std::to_string(ftp.port());
    program.rootDirSvr = "/viewer/";
    program.files.at(0).name = "pack.7z";
    program.files.at(0).subDirSvr = "3.0.0/";
    Publish(program);

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(StartedVersion(), "3.0.0");
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed)) << run.err;
    for (const std::string& line : s.server.RequestLines())
        EXPECT_EQ(line.find("GET "), std::string::npos) << line;
}

}  // namespace
