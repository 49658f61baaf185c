// File systems that run out of space while the launcher writes to them: the backup folder's
// (the old files are copied there across file systems), the installation folder's (the tool
// unpacks), the update-settings file's and the download folder's. The old version stays
// whole and starts; nothing partial replaces an original. Linux only: the small file
// systems are tmpfs mounts of the test process's own (CAP_SYS_ADMIN; CI runs as root).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/support/FolderContents.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/SampleApp.h"
#include "tests/support/SmallFileSystem.h"
#include "tests/support/TestLog.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

// Bytes that do not compress, so that an archive of them is as large as they are.
std::string RandomBytes(size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

uint64_t SampleAppSize() { return fs::file_size(ZEB_SAMPLE_APP_EXE); }

bool AnyPartialCopy(const fs::path& folder) {
    if (!fs::exists(folder)) return false;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().string().find(".zeb-moving") != std::string::npos) return true;
    return false;
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = SmallFileSystem::Unavailable();
        if (!why.empty()) GTEST_SKIP() << "no small file system here: " << why;
    }
    void InstallFirstVersion() {
        s.PublishVersion("1.0.0");
        const ProcessResult run = RunLauncher(s.Args(), s.Options());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << Log();
    }
    void ExpectOldVersionWhole(const std::vector<std::string>& files) {
        EXPECT_EQ(FilesBelow(s.Install()), files);
        EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "1.0.0");
        EXPECT_EQ(ReadFileBytes(s.Install() / "viewer.exe"), ReadFileBytes(ZEB_SAMPLE_APP_EXE));
        EXPECT_NE(fs::status(s.Install() / "viewer.exe").permissions() & fs::perms::owner_exec,
                  fs::perms::none);
        EXPECT_FALSE(s.AnyMarker());
        EXPECT_FALSE(fs::exists(s.BackupFolder()));
    }
    std::string Log() const { return ReadLauncherLog(s.ProgramData()); }

    UpdateScenario s;
    SmallFileSystem small;  // unmounted before the scenario's folder goes
};

TEST_F(FullDisk, ABackupThatRunsOutOfSpacePutsBackOnlyWholeFilesAndNeverAPartialCopy) {
    // The program's update folder, which holds the backup, has room for the program but not
    // for the large file behind it in name order.
    ASSERT_TRUE(small.Mount(s.Root() / "_update/p1", SampleAppSize() + kMiB));
    InstallFirstVersion();
    const std::string data = RandomBytes(3000000);
    WriteFileBytes(s.Install() / "zz-data.bin", data);
    s.PublishVersion("2.0.0");

    const ProcessResult run = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("[ENU:40]기존 설치된 파일들을 임시폴더에 백업 실패").size(), 1u) << Log();
    EXPECT_TRUE(ShownBox(run.err, "업데이트하지 못했습니다.")) << run.err;
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole({"version.txt", "viewer.exe", "zz-data.bin"});
    EXPECT_EQ(ReadFileBytes(s.Install() / "zz-data.bin"), data);
    EXPECT_FALSE(AnyPartialCopy(s.Install()));
    EXPECT_FALSE(AnyPartialCopy(s.Root() / "_update/p1"));
}

TEST_F(FullDisk, AnUnpackingThatRunsOutOfSpaceBringsTheOldFilesBack) {
    ASSERT_TRUE(small.Mount(s.Install(), SampleAppSize() + kMiB));
    InstallFirstVersion();
    s.PublishVersion("2.0.0", {{"large.dat", RandomBytes(3 * kMiB)}});

    const ProcessResult run = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("[ENU:80]압축파일 풀기 실패").size(), 1u) << Log();
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole({"version.txt", "viewer.exe"});
    EXPECT_FALSE(AnyPartialCopy(s.Install()));
}

TEST_F(FullDisk, ASettingsWriteThatRunsOutOfSpaceKeepsTheOldSettingsForTheNextStart) {
    ASSERT_TRUE(small.Mount(s.Root() / "_update/p1", kMiB));
    InstallFirstVersion();
    const std::string settings = ReadFileBytes(s.SettingsFile());
    ASSERT_FALSE(settings.empty());
    small.LeaveFree(0);

    // The server now says the program is current: the settings text changes.
    const ProcessResult full = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(s.Log("[ENU:70]서버 설정내역 파일로 저장 실패").size(), 1u) << Log();
    EXPECT_EQ(ReadFileBytes(s.SettingsFile()), settings);
    EXPECT_EQ(s.StartedVersion(), "1.0.0");

    s.server.Stop();
    const ProcessResult offline = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(offline.exitCode, 0) << offline.err;
    EXPECT_EQ(s.StartedVersion(), "1.0.0") << offline.err;
}

TEST_F(FullDisk, ADownloadThatRunsOutOfSpaceLeavesTheRunningProgramAndItsFilesAlone) {
    InstallFirstVersion();
    BackgroundProcess running;
    ASSERT_TRUE(running.Start((s.Install() / "viewer.exe").string(), {},
                              {{"ZEB_SAMPLE_APP_SHORT_NM", s.shortName}}));
    ASSERT_EQ(s.StartedVersion(), "1.0.0");
    ASSERT_TRUE(small.Mount(s.Root() / "_update" / s.shortName / "download/2_0_0", 512 * 1024));
    s.PublishVersion("2.0.0", {{"large.dat", RandomBytes(3 * kMiB)}});

    const ProcessResult run = RunLauncher(s.Args(), s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("[ENU:35]압축 파일 다운로드 실패").size(), 1u) << Log();
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    ExpectOldVersionWhole({"version.txt", "viewer.exe"});
}

// ---- the file unit's own writes and moves ------------------------------------------------

TEST_F(FullDisk, ATextWriteWithoutRoomKeepsTheOldFileAndLeavesNothingBeside) {
    TestLog log;
    ASSERT_TRUE(small.Mount(s.dir / "small", 64 * 1024));
    const fs::path file = s.dir / "small/ZebCliInfo.json";
    WriteFileBytes(file, "old");
    small.LeaveFree(0);

    EXPECT_FALSE(GL_FILE_WriteText(file.wstring(), std::wstring(20000, L'n'), ENC_UTF8_BOM, false));

    EXPECT_EQ(ReadFileBytes(file), "old");
    EXPECT_EQ(log.Matching("[ENU:20]파일쓰기 실패(" + file.string() + "), append == 0").size(), 1u)
        << log.Text();
    EXPECT_EQ(FilesBelow(s.dir / "small"), (std::vector<std::string>{"ZebCliInfo.json", "filler"}));
}

TEST_F(FullDisk, AMoveAcrossFileSystemsWithoutRoomLeavesNoPartialCopy) {
    ASSERT_TRUE(small.Mount(s.dir / "small", 256 * 1024));
    const std::string data = RandomBytes(1000000);
    WriteFileBytes(s.dir / "big.bin", data);

    EXPECT_NE(os::RenameNoReplace((s.dir / "big.bin").wstring(), (s.dir / "small/big.bin").wstring()),
              0);

    EXPECT_EQ(ReadFileBytes(s.dir / "big.bin"), data);
    EXPECT_TRUE(fs::is_empty(s.dir / "small"));
}

}  // namespace
