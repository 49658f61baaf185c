// Moving an installation aside and back: entries are renamed, never copied; a move that
// fails half-way leaves the installation whole and never lets a partial copy replace an
// original; a restore replaces whatever the failed update left behind; the launcher's own
// files inside the installation stay; a marker nobody can read is dropped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/os/os.h"
#include "launcher/BackupRestore.h"
#include "launcher/LauncherContext.h"
#include "launcher/UpdateRecovery.h"
#include "tests/support/LockedFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

class BackupRestore : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(install / "bin/plugins");
        WriteFileBytes(install / "app.exe", "old program");
        WriteFileBytes(install / "bin/plugins/p.dll", "plugin");
        WriteFileBytes(install / "readme", "no extension");
    }
    std::wstring Install() const { return install.wstring() + os::kSepStr; }
    std::wstring Backup() const { return backup.wstring() + os::kSepStr; }
    void ExpectOldInstallation(const fs::path& folder) {
        EXPECT_EQ(ReadFileBytes(folder / "app.exe"), "old program");
        EXPECT_EQ(ReadFileBytes(folder / "bin/plugins/p.dll"), "plugin");
        EXPECT_EQ(ReadFileBytes(folder / "readme"), "no extension");
    }

    TestLog log;
    TempDir dir;
    fs::path install = dir / "inst";
    fs::path backup = dir / "update/p1/temp";
};

TEST_F(BackupRestore, EveryEntryIsRenamedIntoTheBackup) {
    fs::create_hard_link(install / "bin/plugins/p.dll", dir / "witness");

    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));

    ExpectOldInstallation(backup);
    // The same file, not a copy.
    EXPECT_TRUE(fs::equivalent(backup / "bin/plugins/p.dll", dir / "witness"));
    EXPECT_TRUE(fs::is_empty(install));
}

TEST_F(BackupRestore, AMissingInstallationHasNothingToMove) {
    fs::remove_all(install);
    EXPECT_TRUE(MoveInstallationToBackup(Install(), Backup()));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupRestore, AFolderWithoutClosingSeparatorMovesOnlyItsOwnEntries) {
    WriteFileBytes(dir / "inst.old", "sibling");
    fs::create_directories(dir / "installer.d");
    WriteFileBytes(dir / "installer.d/x.txt", "sibling");

    ASSERT_TRUE(MoveInstallationToBackup(install.wstring(), Backup()));

    EXPECT_EQ(ReadFileBytes(dir / "inst.old"), "sibling");
    EXPECT_EQ(ReadFileBytes(dir / "installer.d/x.txt"), "sibling");
    ExpectOldInstallation(backup);
}

TEST_F(BackupRestore, AMoveThatFailsHalfWayPutsTheMovedEntriesBack) {
    LockedFile locked(install / "zz.lock", "locked");  // listed last: the others move first
    if (!locked.locked()) GTEST_SKIP() << "no file can be locked against a move here";

    EXPECT_FALSE(MoveInstallationToBackup(Install(), Backup()));

    ExpectOldInstallation(install);
    EXPECT_EQ(ReadFileBytes(install / "zz.lock"), "locked");
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupRestore, RestoreReplacesWhatTheFailedUpdateLeftWithTheOldFiles) {
    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));
    WriteFileBytes(install / "app.exe", "half-unpacked new program");
    WriteFileBytes(install / "new-only.dat", "new");

    EXPECT_EQ(RestoreAndDeleteBackupDirectory(75, Backup(), Install()), 0);

    ExpectOldInstallation(install);
    EXPECT_FALSE(fs::exists(install / "new-only.dat"));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupRestore, WithoutABackupTheRestoreLeavesTheInstallationAlone) {
    EXPECT_EQ(RestoreAndDeleteBackupDirectory(75, Backup(), Install()), 0);
    ExpectOldInstallation(install);
}

TEST_F(BackupRestore, ARestoreThatCannotMoveBackKeepsTheBackupAndReportsItsStatus) {
    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));
    LockedFile locked(backup / "zz.lock", "locked");
    if (!locked.locked()) GTEST_SKIP() << "no file can be locked against a move here";

    EXPECT_EQ(RestoreAndDeleteBackupDirectory(75, Backup(), Install()), 75);

    EXPECT_TRUE(fs::exists(backup / "zz.lock"));
    const auto lines = log.Matching("[ENU:75]백업해둔 설치파일들을 복구 실패\r\rFrom: " +
                                    os::WideToUtf8Lossy(Backup()) +
                                    "\r\nTo: " + os::WideToUtf8Lossy(Install()));
    EXPECT_EQ(lines.size(), 1u) << log.Text();
}

TEST_F(BackupRestore, PuttingBackKeepsTheOriginalsStillInPlaceAndDropsUnfinishedCopies) {
    // What a move cut short leaves: app.exe moved whole, readme copied only in part (its
    // original still in the installation), a copy under its passing name.
    fs::create_directories(backup / "bin/plugins");
    fs::rename(install / "app.exe", backup / "app.exe");
    WriteFileBytes(backup / "readme", "no ext");
    fs::rename(install / "bin/plugins/p.dll", backup / "bin/plugins/p.dll");
    WriteFileBytes(backup / "bin/plugins/q.dll.zeb-moving", "half");

    ASSERT_TRUE(PutBackupBack(Backup(), Install()));

    ExpectOldInstallation(install);
    EXPECT_FALSE(fs::exists(install / "bin/plugins/q.dll.zeb-moving"));
    EXPECT_FALSE(fs::exists(install / "bin/plugins/q.dll"));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupRestore, ALeftoverBackupIsBroughtBackBeforeAnUpdateMovesAnything) {
    fs::create_directories(backup);
    fs::rename(install / "readme", backup / "readme");

    ASSERT_TRUE(EmptyBackupFolder(Backup(), Install()));

    ExpectOldInstallation(install);
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(log.Matching("이전 업데이트의 백업 파일들을 설치폴더로 되돌림").size(), 1u) << log.Text();
}

TEST_F(BackupRestore, TheLaunchersOwnFilesInsideTheInstallationStayThroughBackupAndRestore) {
    WriteFileBytes(install / "bin/ZEB.Launcher.exe", "launcher");
    WriteFileBytes(install / "bin/ZEB.Launcher_.exe", "temporary launcher");
    LauncherContext& ctx = Context();
    const std::wstring savedModule = ctx.modulePath, savedLauncher = ctx.launcherPath,
                       savedTemporary = ctx.tempLauncherPath;
    // In the form the system names the running module (GetModuleFileNameW gives "\").
    SetLauncherPaths(ctx, NativePath((install / "bin/ZEB.Launcher.exe").wstring()));

    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));
    EXPECT_EQ(ReadFileBytes(install / "bin/ZEB.Launcher.exe"), "launcher");
    EXPECT_EQ(ReadFileBytes(install / "bin/ZEB.Launcher_.exe"), "temporary launcher");
    EXPECT_FALSE(fs::exists(backup / "bin/ZEB.Launcher.exe"));
    EXPECT_EQ(ReadFileBytes(backup / "bin/plugins/p.dll"), "plugin");

    WriteFileBytes(install / "app.exe", "half-unpacked new program");
    WriteFileBytes(install / "bin/new.dll", "new");
    EXPECT_EQ(RestoreAndDeleteBackupDirectory(75, Backup(), Install()), 0);

    ctx.modulePath = savedModule;
    ctx.launcherPath = savedLauncher;
    ctx.tempLauncherPath = savedTemporary;
    ExpectOldInstallation(install);
    EXPECT_EQ(ReadFileBytes(install / "bin/ZEB.Launcher.exe"), "launcher");
    EXPECT_FALSE(fs::exists(install / "bin/new.dll"));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupRestore, ARestoreThatCannotClearTheNewFilesLeavesTheBackupWhole) {
    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));
    LockedFile stuck(install / "new.dll", "locked");
    if (!stuck.locked()) GTEST_SKIP() << "no file can be locked against a move here";

    EXPECT_EQ(RestoreAndDeleteBackupDirectory(75, Backup(), Install()), 75);

    // Nothing came back half-way: the old files wait whole in the backup.
    ExpectOldInstallation(backup);
    EXPECT_FALSE(fs::exists(install / "app.exe"));
}

TEST_F(BackupRestore, AMarkerNobodyCanReadIsDroppedAndTheBackupLeftAlone) {
    LauncherContext& ctx = Context();
    const std::wstring saved = ctx.updateMarkerStem;
    ctx.updateMarkerStem = (dir / "update/p1/p1_updating_").wstring();
    WriteFileBytes(dir / "update/p1/p1_updating_installing.json", "{\"INSTALL_DIR\": 5}");
    ASSERT_TRUE(MoveInstallationToBackup(Install(), Backup()));

    RecoverInterruptedUpdate();

    ctx.updateMarkerStem = saved;
    EXPECT_FALSE(fs::exists(dir / "update/p1/p1_updating_installing.json"));
    ExpectOldInstallation(backup);
    EXPECT_EQ(log.Matching("[ENU:10]업데이트 상태 파일을 읽지 못해 지움: ").size(), 1u) << log.Text();
}

}  // namespace
