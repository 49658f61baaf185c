// Directories: the file-name cut, system folders, folder chains, clearing, and the shell's
// move, copy and delete on real folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/os/os.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override { GL_DEBUG_SetLogFile((dir / "log.txt").wstring()); }
    std::string Log() const { return ReadFileBytes(dir / "log.txt"); }
    std::wstring W(const std::string& name) const { return (dir / name).wstring(); }
    std::string U8(const std::string& name) const { return (dir / name).string(); }
    bool Action(int command, bool pattern, const std::string& destination,
                const std::string& source) {
        std::wstring to = W(destination), from = W(source);
        return _dir_action(command, pattern, destination.empty() ? nullptr : to.c_str(),
                           from.c_str());
    }

    TempDir dir;
};

// The cut of a path written with "/", handed over in the launcher's form and shown with
// "/" again.
std::wstring Cut(const std::wstring& slashed) {
    const std::wstring path = NativePath(slashed);
    wchar_t buffer[256] = {};
    path.copy(buffer, 255);
    GL_DIRECTORY_CutFileName(buffer);
    std::wstring cut = buffer;
    for (wchar_t& c : cut)
        if (c == os::kSep) c = L'/';
    return cut;
}

}  // namespace

// ---- the file-name cut --------------------------------------------------------------------

TEST(DirectoryCut, RemovesALastNameThatLooksLikeAFile) {
    EXPECT_EQ(Cut(L"/a/b/x.y.txt"), L"/a/b");
    EXPECT_EQ(Cut(L"/a/b/ZEB.log"), L"/a/b");
    EXPECT_EQ(Cut(L"/a/v1.2"), L"/a");
    EXPECT_EQ(Cut(L"/a/\uD55C\uAE00.txt"), L"/a");
}

TEST(DirectoryCut, LeavesFoldersAndNamesThatAreNoFileNames) {
    EXPECT_EQ(Cut(L"/a/b"), L"/a/b");
    EXPECT_EQ(Cut(L"/a/b/"), L"/a/b/");
    EXPECT_EQ(Cut(L"/a/my file.txt"), L"/a/my file.txt");  // the blank stops the match
    EXPECT_EQ(Cut(L"/a/*.*"), L"/a/*.*");
    EXPECT_EQ(Cut(L"/a/.profile"), L"/a/.profile");         // nothing before the dot
    EXPECT_EQ(Cut(L"/a/x."), L"/a/x.");                     // nothing after it
    EXPECT_EQ(Cut(L"x.txt"), L"x.txt");                     // no separator before it
    EXPECT_EQ(Cut(L""), L"");
}

TEST(DirectoryCut, LongPathsAreCutTo255CharactersWithoutOverrun) {
    // A buffer holding more than 256 characters: only the first 256 may change.
    std::wstring guard(400, L'g');
    std::wstring longPath = L"/" + std::wstring(299, L'a');
    longPath.copy(guard.data(), longPath.size());
    guard[300] = L'\0';
    GL_DIRECTORY_CutFileName(guard.data());
    EXPECT_EQ(std::wcslen(guard.c_str()), 255u);
    EXPECT_EQ(guard.substr(257, 43), std::wstring(43, L'a'));

    EXPECT_EQ(GL_DIRECTORY_GetParent(longPath).size(), 255u);
    // Cut on a character boundary: multibyte text stays valid, not emptied.
    std::wstring korean = L"/" + std::wstring(150, L'\uD55C');
    std::wstring parent = GL_DIRECTORY_GetParent(korean);
    EXPECT_FALSE(parent.empty());
    EXPECT_EQ(parent, korean.substr(0, parent.size()));
}

// ---- system folders -----------------------------------------------------------------------

// The common application-data folder is the one %ProgramData% names (Windows sets the
// variable; the Linux stand-in takes its folder from it).
TEST(DirectoryFolders, DataDirIsVantrelInTheProgramDataFolder) {
    wchar_t buffer[260] = {};
    ASSERT_TRUE(GL_DIRECTORY_Get(buffer));
    EXPECT_EQ(std::wstring(buffer), os::ProgramDataFolder());
    EXPECT_EQ(GL_DIRECTORY_GetDataDir(),
              os::ProgramDataFolder() + os::kSepStr + L"Vantrel" + os::kSepStr);
}

TEST(DirectoryFolders, ParentOfTheLauncherIsItsFolder) {
    const fs::path exe = fs::path(ZEB_LAUNCHER_EXE).make_preferred();
    EXPECT_EQ(GL_DIRECTORY_GetParent(exe.wstring()), exe.parent_path().wstring());
    const fs::path self = GL_DIRECTORY_GetModulePath();
    EXPECT_TRUE(fs::is_regular_file(self));
    EXPECT_EQ(self.stem(), "test_gl_directory");
}

TEST_F(DirectoryTest, IsExistLooksAtTheFolderOfAFilePath) {
    EXPECT_TRUE(GL_DIRECTORY_IsExist(dir.wpath()));
    EXPECT_TRUE(GL_DIRECTORY_IsExist(W("not-yet.json")));
    EXPECT_FALSE(GL_DIRECTORY_IsExist(W("missing")));
    EXPECT_FALSE(GL_DIRECTORY_IsExist(W("missing/file.txt")));
}

// ---- folder chains ------------------------------------------------------------------------

TEST_F(DirectoryTest, MakeDirsOnALogFileCreatesTheFoldersOnly) {
    ASSERT_TRUE(GL_DIRECTORY_MakeDirs(W("Vantrel/logs/ZEB.log")));
    EXPECT_TRUE(fs::is_directory(dir / "Vantrel/logs"));
    EXPECT_FALSE(fs::exists(dir / "Vantrel/logs/ZEB.log"));
    EXPECT_TRUE(GL_DIRECTORY_MakeDirs(W("Vantrel/logs/ZEB.log")));  // already there
}

TEST_F(DirectoryTest, MakeDirsWithoutSeparatorFailsWithStatus10) {
    EXPECT_FALSE(GL_DIRECTORY_MakeDirs(L"folder"));
    EXPECT_NE(Log().find("[ENU:10]올바른 경로명이 아닙니다.(folder)"), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists("folder"));
}

TEST_F(DirectoryTest, MakeDirsWithADotInTheLastNameCreatesOnlyTheParent) {
    ASSERT_TRUE(GL_DIRECTORY_MakeDirs(W("app/v1.2")));
    EXPECT_TRUE(fs::is_directory(dir / "app"));
    EXPECT_FALSE(fs::exists(dir / "app/v1.2"));
}

TEST_F(DirectoryTest, MakeDirsCreatesDottedFoldersInsideTheChain) {
    ASSERT_TRUE(GL_DIRECTORY_MakeDirs(W("Program v1.2/bin.d/logs/")));
    EXPECT_TRUE(fs::is_directory(dir / "Program v1.2/bin.d/logs"));
}

TEST_F(DirectoryTest, MakeDirsCountsCharactersNotBytes) {
    // 111 Korean characters: 333 bytes of UTF-8, 222 of code page 949, all within the 255.
    const std::wstring name(37, L'\uD55C');
    const std::wstring folder = dir.wpath() + os::kSep + name + os::kSep + name + os::kSep + name;
    ASSERT_TRUE(GL_DIRECTORY_MakeDirs(folder + os::kSep)) << Log();
    EXPECT_TRUE(os::IsDirectory(folder));
    EXPECT_EQ(GL_DIRECTORY_GetParent(folder + os::kSep + L"x.txt"), folder);
}

TEST_F(DirectoryTest, MakeDirsThroughAFileFails) {
    WriteFileBytes(dir / "blocker", "x");
    EXPECT_FALSE(GL_DIRECTORY_MakeDirs(W("blocker/sub/")));
    EXPECT_NE(Log().find("[ENU:30]CreateDirectory() 실패: " + U8("blocker/sub")),
              std::string::npos)
        << Log();
    EXPECT_FALSE(GL_DIRECTORY_MakeDirs(W("blocker/")));
    EXPECT_NE(Log().find("[ENU:40]CreateDirectory() 실패: " + U8("blocker/")),
              std::string::npos)
        << Log();
}

// ---- clearing -----------------------------------------------------------------------------

TEST_F(DirectoryTest, ClearEmptiesNestedFoldersAndKeepsTheFolder) {
    WriteFileBytes(dir / "prog/a.txt", "a");
    WriteFileBytes(dir / "prog/noext", "b");
    WriteFileBytes(dir / "prog/sub/deeper/deepest/c.dll", "c");
    fs::create_directories(dir / "prog/empty");
    WriteFileBytes(dir / "outside/keep.txt", "k");
    const bool linked = MakeFolderLink(dir / "outside", dir / "prog/link");
    ASSERT_TRUE(GL_DIRECTORY_Clear(W("prog")));
    EXPECT_TRUE(fs::is_directory(dir / "prog"));
    EXPECT_TRUE(fs::is_empty(dir / "prog"));
    // A link is removed, not followed.
    EXPECT_EQ(ReadFileBytes(dir / "outside/keep.txt"), "k");
    if (!linked) GTEST_SKIP() << "no folder link made (Wine makes none); link case not tried";
}

TEST_F(DirectoryTest, ClearOfAMissingFolderFailsSilently) {
    EXPECT_FALSE(GL_DIRECTORY_Clear(W("missing")));
    EXPECT_EQ(Log(), "");
}

TEST_F(DirectoryTest, ClearOfWhatCannotBeListedFailsWithStatus5) {
    WriteFileBytes(dir / "plain", "no folder");
    EXPECT_FALSE(GL_DIRECTORY_Clear(W("plain")));
    EXPECT_NE(Log().find("[ENU:5]FindFirstFile() 실패: " + U8("plain") + "[ENW:"),
              std::string::npos)
        << Log();
    EXPECT_EQ(ReadFileBytes(dir / "plain"), "no folder");
}

// ---- shell operations ---------------------------------------------------------------------

TEST_F(DirectoryTest, UnknownCommandFailsWithStatus20) {
    fs::create_directory(dir / "src");
    EXPECT_FALSE(Action(3, false, "dst", "src"));
    EXPECT_NE(Log().find("[ENU:20]알 수 없는 명령: 3"), std::string::npos) << Log();
    EXPECT_TRUE(fs::exists(dir / "src"));
}

TEST_F(DirectoryTest, PatternWithoutFileNameFailsWithStatus10) {
    WriteFileBytes(dir / "backup/a.txt", "a");
    EXPECT_FALSE(Action(DIR_ACTION_MOVE, true, "prog/", "backup/"));
    EXPECT_NE(Log().find("[ENU:10]파일패턴 또는 파일명이 지정되지 않음: " + U8("backup/")),
              std::string::npos)
        << Log();
    EXPECT_TRUE(fs::exists(dir / "backup/a.txt"));
}

TEST_F(DirectoryTest, BackupAndRestoreMoveEveryEntryByRename) {
    WriteFileBytes(dir / "prog/app.exe", "app");
    WriteFileBytes(dir / "prog/noext", "n");
    WriteFileBytes(dir / "prog/.hidden", "h");
    WriteFileBytes(dir / "prog/sub/data.bin", "d");
    fs::create_hard_link(dir / "prog/sub/data.bin", dir / "witness");

    ASSERT_TRUE(Action(DIR_ACTION_MOVE, true, "_update/p1/temp/", "prog/*.*"));
    EXPECT_TRUE(fs::is_directory(dir / "prog"));
    EXPECT_TRUE(fs::is_empty(dir / "prog"));
    EXPECT_EQ(ReadFileBytes(dir / "_update/p1/temp/app.exe"), "app");
    EXPECT_EQ(ReadFileBytes(dir / "_update/p1/temp/noext"), "n");
    EXPECT_EQ(ReadFileBytes(dir / "_update/p1/temp/.hidden"), "h");
    // Same file system: the very file was renamed, not copied.
    EXPECT_TRUE(fs::equivalent(dir / "_update/p1/temp/sub/data.bin", dir / "witness"));

    // The restore: empty the program folder, move the backup back, delete the backup.
    WriteFileBytes(dir / "prog/half-unpacked.dll", "bad");
    GL_DIRECTORY_Clear(W("prog/"));
    ASSERT_TRUE(Action(DIR_ACTION_MOVE, true, "prog/", "_update/p1/temp/*.*"));
    ASSERT_TRUE(Action(DIR_ACTION_DELETE, false, "", "_update/p1/temp/"));
    EXPECT_FALSE(fs::exists(dir / "_update/p1/temp"));
    EXPECT_FALSE(fs::exists(dir / "prog/half-unpacked.dll"));
    EXPECT_EQ(ReadFileBytes(dir / "prog/app.exe"), "app");
    EXPECT_EQ(ReadFileBytes(dir / "prog/.hidden"), "h");
    EXPECT_TRUE(fs::equivalent(dir / "prog/sub/data.bin", dir / "witness"));
    EXPECT_EQ(Log(), "");
}

TEST_F(DirectoryTest, PatternOverAnEmptyFolderMovesNothing) {
    fs::create_directory(dir / "empty");
    EXPECT_TRUE(Action(DIR_ACTION_MOVE, true, "dest/", "empty/*.*"));
    EXPECT_TRUE(fs::is_directory(dir / "dest"));
}

TEST_F(DirectoryTest, FolderGoesIntoAnExistingFolderOrOntoANewName) {
    WriteFileBytes(dir / "src/f.txt", "f");
    fs::create_directory(dir / "existing");
    ASSERT_TRUE(Action(DIR_ACTION_COPY, false, "existing", "src"));
    EXPECT_EQ(ReadFileBytes(dir / "existing/src/f.txt"), "f");
    ASSERT_TRUE(Action(DIR_ACTION_MOVE, false, "new/name", "src"));
    EXPECT_EQ(ReadFileBytes(dir / "new/name/f.txt"), "f");
    EXPECT_FALSE(fs::exists(dir / "src"));
}

TEST_F(DirectoryTest, CopyIntoAnExistingCopyMergesAndReplaces) {
    WriteFileBytes(dir / "src/same.txt", "new");
    WriteFileBytes(dir / "dst/src/same.txt", "old");
    WriteFileBytes(dir / "dst/src/other.txt", "kept");
    ASSERT_TRUE(Action(DIR_ACTION_COPY, false, "dst", "src"));
    EXPECT_EQ(ReadFileBytes(dir / "dst/src/same.txt"), "new");
    EXPECT_EQ(ReadFileBytes(dir / "dst/src/other.txt"), "kept");
    EXPECT_EQ(ReadFileBytes(dir / "src/same.txt"), "new");
}

TEST_F(DirectoryTest, WildcardDeleteTakesOnlyMatchingEntries) {
    WriteFileBytes(dir / "d/a.txt", "a");
    WriteFileBytes(dir / "d/B.TXT", "b");
    WriteFileBytes(dir / "d/c.dll", "c");
    ASSERT_TRUE(Action(DIR_ACTION_DELETE, true, "", "d/*.txt"));
    EXPECT_FALSE(fs::exists(dir / "d/a.txt"));
    EXPECT_FALSE(fs::exists(dir / "d/B.TXT"));
    EXPECT_TRUE(fs::exists(dir / "d/c.dll"));
}

TEST_F(DirectoryTest, DeletingADottedFolderDeletesThatFolderOnly) {
    WriteFileBytes(dir / "apps/App v1.2/app.exe", "a");
    WriteFileBytes(dir / "apps/neighbour.txt", "n");
    ASSERT_TRUE(Action(DIR_ACTION_DELETE, false, "", "apps/App v1.2"));
    EXPECT_FALSE(fs::exists(dir / "apps/App v1.2"));
    EXPECT_EQ(ReadFileBytes(dir / "apps/neighbour.txt"), "n");
}

TEST_F(DirectoryTest, DeleteNeverReachesBeyondWhatItNames) {
    WriteFileBytes(dir / "apps/keep.txt", "k");
    // The file-name cut would make both name the folder "apps".
    for (const std::string source : {"apps/v1.2", "apps/keep.txt"}) {
        EXPECT_FALSE(Action(DIR_ACTION_DELETE, false, "", source)) << source;
        EXPECT_NE(Log().find("[ENU:25]지정한 경로보다 넓게 삭제하게 되어 삭제하지 않음: " +
                             U8(source)),
                  std::string::npos)
            << Log();
    }
    EXPECT_EQ(ReadFileBytes(dir / "apps/keep.txt"), "k");
    // A missing folder without a dot is a failed delete, as before.
    EXPECT_FALSE(Action(DIR_ACTION_DELETE, false, "", "apps/gone"));
    EXPECT_NE(Log().find("[ENU:30]SHFileOperation() 실패. 명령: 2"), std::string::npos) << Log();
}

TEST_F(DirectoryTest, FailedOperationsLogStatus30) {
    EXPECT_FALSE(Action(DIR_ACTION_MOVE, false, "dst", "missing"));
    EXPECT_NE(Log().find("[ENU:30]SHFileOperation() 실패. 명령: 0, 반환값: 2\nfrom: " +
                         U8("missing") + "\nto: " + U8("dst")),
              std::string::npos)
        << Log();
    WriteFileBytes(dir / "self/f.txt", "f");
    EXPECT_FALSE(Action(DIR_ACTION_MOVE, false, "self/inner", "self"));
    EXPECT_FALSE(Action(DIR_ACTION_COPY, false, "self/inner", "self"));
    EXPECT_EQ(ReadFileBytes(dir / "self/f.txt"), "f");
    EXPECT_FALSE(fs::exists(dir / "self/inner"));
}
