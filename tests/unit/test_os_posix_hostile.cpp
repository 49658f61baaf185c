// The library on Linux against files and names that are not what they seem: pipes, devices
// and sparse files given as files to read, links that lead nowhere or into other folders,
// names that are no UTF-8, a data folder at the root, a full disk under the log, and the
// exit event of a program that was killed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/support/SampleApp.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

class Hostile : public ::testing::Test {
protected:
    std::wstring W(const std::string& name) const { return (dir / name).wstring(); }

    TestLog log;
    TempDir dir;
};

// A name with a stray byte, a truncated sequence and an encoded surrogate: no UTF-8.
const std::string kNoUtf8Name = "data\xFF\xC3(\xED\xA0\x80.bin";

}  // namespace

// ---- reading what is no regular file -------------------------------------------------------

TEST_F(Hostile, APipeAsAFileToReadIsRefusedWithoutWaitingForAWriter) {
    const fs::path fifo = dir / "settings.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir / "linked.json");
    for (const std::string name : {"settings.json", "linked.json"}) {
        auto reading = std::async(std::launch::async, [&] {
            std::wstring text;
            return GL_FILE_Read(W(name), text);
        });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Let the waiting read end before the test fails.
            const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) close(writer);
            ADD_FAILURE() << name << ": the read waited for a writer";
        }
        EXPECT_FALSE(reading.get()) << name;
    }
}

TEST_F(Hostile, DevicesAreNotReadAsFiles) {
    std::wstring text = L"old";
    uint8_t* raw = nullptr;
    // Read before, /dev/null gave an empty text; /dev/zero was read until memory ran out.
    ASSERT_FALSE(GL_FILE_Read(L"/dev/null", text));
    EXPECT_EQ(text, L"");
    EXPECT_FALSE(GL_FILE_ReadRaw(L"/dev/zero", &raw));
    EXPECT_EQ(raw, nullptr);
}

TEST_F(Hostile, AFileFarAboveTheReadLimitIsRefusedBeforeAnythingIsAllocated) {
    // The limit itself is tested with the other reads; this file could not be held at all.
    const fs::path sparse = dir / "huge.json";
    WriteFileBytes(sparse, "{}");
    fs::resize_file(sparse, uint64_t(1) << 40);  // 1 TiB, holding no blocks
    std::wstring text = L"old";
    EXPECT_FALSE(GL_FILE_Read(sparse.wstring(), text));
    EXPECT_EQ(text, L"");
}

// ---- links ------------------------------------------------------------------------------

TEST_F(Hostile, ALinkThatLeadsNowhereIsStillAName) {
    fs::create_symlink(dir / "gone.txt", dir / "dangling.txt");
    EXPECT_TRUE(GL_FILE_Delete(W("dangling.txt")));
    EXPECT_FALSE(fs::is_symlink(dir / "dangling.txt"));

    // As a destination it is replaced, as a source it is moved.
    fs::create_symlink(dir / "gone.txt", dir / "dangling.txt");
    WriteFileBytes(dir / "new.txt", "new");
    ASSERT_TRUE(GL_FILE_RenameFileOrDir(W("new.txt"), W("dangling.txt")));
    EXPECT_EQ(ReadFileBytes(dir / "dangling.txt"), "new");
    fs::create_symlink(dir / "gone.txt", dir / "dangling2.txt");
    ASSERT_TRUE(GL_FILE_RenameFileOrDir(W("dangling2.txt"), W("moved.txt")));
    EXPECT_TRUE(fs::is_symlink(dir / "moved.txt"));
    EXPECT_FALSE(fs::is_symlink(dir / "dangling2.txt"));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(Hostile, RenamingAFileOntoItselfThroughALinkedFolderKeepsIt) {
    WriteFileBytes(dir / "d/x.exe", "only copy");
    fs::create_directory_symlink(dir / "d", dir / "linked");
    for (const std::string& from : {dir.path().string() + "/linked/x.exe",
                                    dir.path().string() + "//d//x.exe"}) {
        EXPECT_TRUE(GL_FILE_RenameFileOrDir(fs::path(from).wstring(), W("d/x.exe"))) << from;
        EXPECT_EQ(ReadFileBytes(dir / "d/x.exe"), "only copy") << from;
    }
    EXPECT_EQ(log.Text(), "");
}

TEST_F(Hostile, DeletingALinkedFolderWithATrailingSeparatorIsRefused) {
    WriteFileBytes(dir / "target/keep.txt", "k");
    fs::create_directory_symlink(dir / "target", dir / "link");
    const std::wstring withSeparator = W("link") + L"/";
    EXPECT_FALSE(_dir_action(DIR_ACTION_DELETE, false, nullptr, withSeparator.c_str()));
    EXPECT_EQ(ReadFileBytes(dir / "target/keep.txt"), "k");
    EXPECT_EQ(log.Matching("[ENU:25]지정한 경로보다 넓게 삭제하게 되어 삭제하지 않음: " +
                           (dir / "link").string() + "/")
                  .size(),
              1u)
        << log.Text();
    // Named without it, the link itself goes and its target stays.
    EXPECT_TRUE(_dir_action(DIR_ACTION_DELETE, false, nullptr, W("link").c_str()));
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFileBytes(dir / "target/keep.txt"), "k");
}

TEST_F(Hostile, DeletingASourceLongerThanAPathBufferIsRefused) {
    // The first 255 characters name an existing folder of their own.
    const fs::path folder =
        dir / std::string(255 - dir.path().string().size() - 1, 'f');
    ASSERT_EQ(folder.string().size(), 255u);
    WriteFileBytes(folder / "keep.txt", "k");
    const std::wstring longer = folder.wstring() + L"/more";
    EXPECT_FALSE(_dir_action(DIR_ACTION_DELETE, false, nullptr, longer.c_str()));
    EXPECT_EQ(ReadFileBytes(folder / "keep.txt"), "k");
    EXPECT_EQ(log.Matching("[ENU:25]").size(), 1u) << log.Text();
}

// ---- names that are no UTF-8 --------------------------------------------------------------

TEST_F(Hostile, ANameThatIsNoUtf8GoesIntoTheBackupAndBackWhole) {
    WriteFileBytes(dir / "prog" / kNoUtf8Name, "odd");
    WriteFileBytes(dir / "prog/sub" / kNoUtf8Name / "inner.txt", "inner");
    WriteFileBytes(dir / "prog/app.exe", "app");
    const std::wstring backup = W("backup") + L"/";
    ASSERT_TRUE(_dir_action(DIR_ACTION_MOVE, true, backup.c_str(), (W("prog") + L"/*.*").c_str()))
        << log.Text();
    EXPECT_TRUE(fs::is_empty(dir / "prog"));
    EXPECT_EQ(ReadFileBytes(dir / "backup" / kNoUtf8Name), "odd");
    EXPECT_EQ(ReadFileBytes(dir / "backup/sub" / kNoUtf8Name / "inner.txt"), "inner");
    ASSERT_TRUE(_dir_action(DIR_ACTION_MOVE, true, (W("prog") + L"/").c_str(),
                            (W("backup") + L"/*.*").c_str()));
    EXPECT_EQ(ReadFileBytes(dir / "prog" / kNoUtf8Name), "odd");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(Hostile, ClearingRemovesANameThatIsNoUtf8) {
    WriteFileBytes(dir / "prog" / kNoUtf8Name, "odd");
    WriteFileBytes(dir / "prog" / kNoUtf8Name.substr(0, 6) / "inner.txt", "inner");
    ASSERT_TRUE(GL_DIRECTORY_Clear(W("prog"))) << log.Text();
    EXPECT_TRUE(fs::is_empty(dir / "prog"));
    EXPECT_EQ(log.Text(), "");
}

// ---- the data folder at the root ------------------------------------------------------------

TEST(HostileFolders, ADataFolderAtTheRootIsNoUncServerName) {
    ScopedEnv env("ProgramData", "/");
    EXPECT_EQ(GL_DIRECTORY_GetDataDir(), L"/Vantrel/");
    EXPECT_FALSE(os::IsUncPath(GL_DIRECTORY_GetDataDir()));
}

// ---- the log on a full disk -----------------------------------------------------------------

TEST_F(Hostile, AFailedWriteOfTheLogIsNeitherRetriedNorReported) {
    StderrCapture err;
    GL_DEBUG_SetLogFile(L"/dev/full");
    EXPECT_EQ(GL_LOG('E', 0, 7, L"disk full"), 7);
    // The line reached the debugger output; the writer took the open and gave the write up
    // at once, without the notice of a writer that could not open the file.
    EXPECT_NE(err.Text().find("[ENU:7]disk full"), std::string::npos) << err.Text();
    EXPECT_EQ(err.Text().find("GLDebugMsg"), std::string::npos) << err.Text();
}

// ---- exit events --------------------------------------------------------------------------

TEST(HostileEvents, TheEventOfAProgramThatWasKilledIsGone) {
    const std::wstring name = fs::path(SampleAppEventName(UniqueShortName("killed"))).wstring();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        os::EventHandle event = 0;
        _exit(os::CreateNamedEvent(name, event) == 0 ? 0 : 1);  // neither closed nor removed
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    os::EventHandle opened = 0;
    EXPECT_EQ(os::OpenNamedEvent(name, opened), os::err::kFileNotFound);
    // Made again, it is there as usual, and gone with its maker's last handle.
    os::EventHandle created = 0;
    ASSERT_EQ(os::CreateNamedEvent(name, created), 0);
    ASSERT_EQ(os::OpenNamedEvent(name, opened), 0);
    EXPECT_EQ(os::SignalNamedEvent(opened), 0);
    EXPECT_TRUE(os::WaitNamedEvent(created, 0));
    os::CloseNamedEvent(opened);
    os::CloseNamedEvent(created);
    EXPECT_EQ(os::OpenNamedEvent(name, opened), os::err::kFileNotFound);
    os::RemoveNamedEvent(name);
}
