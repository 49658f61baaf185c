// Moving an installation aside and back: entries are renamed, never copied; a move that
// fails half-way leaves the installation whole; a restore replaces whatever the failed
// update left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/os/os.h"
#include "launcher/BackupRestore.h"
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

}  // namespace
