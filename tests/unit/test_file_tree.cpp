// Whole trees moved, copied and deleted on top of the single-entry primitives.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/FileTree.h"
#include "common/os/os.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void MakeTree(const fs::path& root) {
    WriteFileBytes(root / "top.txt", "top");
    WriteFileBytes(root / "sub" / "inner.exe", "inner");
    fs::create_directories(root / "sub" / "empty");
}

void ExpectTree(const fs::path& root) {
    EXPECT_EQ("top", ReadFileBytes(root / "top.txt"));
    EXPECT_EQ("inner", ReadFileBytes(root / "sub" / "inner.exe"));
    EXPECT_TRUE(fs::is_directory(root / "sub" / "empty"));
}

}  // namespace

TEST(FileTree, CopyKeepsContentAndMergesIntoAnExistingFolder) {
    TempDir dir;
    MakeTree(dir / "from");
    WriteFileBytes(dir / "to" / "top.txt", "old");
    WriteFileBytes(dir / "to" / "keep.txt", "keep");
    ASSERT_EQ(0, file_tree::Copy((dir / "from").wstring(), (dir / "to").wstring()));
    ExpectTree(dir / "to");
    ExpectTree(dir / "from");
    EXPECT_EQ("keep", ReadFileBytes(dir / "to" / "keep.txt"));
}

TEST(FileTree, CopyOrMoveIntoItselfIsRefused) {
    TempDir dir;
    MakeTree(dir / "from");
    const std::wstring from = (dir / "from").wstring();
    EXPECT_EQ(os::err::kInvalidData,
              file_tree::Copy(from, (dir / "from" / "sub" / "again").wstring()));
    EXPECT_EQ(os::err::kInvalidData, file_tree::Move(from, (dir / "from" / "inside").wstring()));
    // Spelled with a "." component and a doubled separator, it is still the same folder.
    EXPECT_EQ(os::err::kInvalidData,
              file_tree::Move(from, from + os::kSepStr + L"." + os::kSepStr + os::kSepStr + L"x"));
    EXPECT_FALSE(fs::exists(dir / "from" / "sub" / "again"));
    ExpectTree(dir / "from");
}

TEST(FileTree, MoveRenamesThenMergesAndReplacesFiles) {
    TempDir dir;
    MakeTree(dir / "from");
    ASSERT_EQ(0, file_tree::Move((dir / "from").wstring(), (dir / "to").wstring()));
    EXPECT_FALSE(fs::exists(dir / "from"));
    ExpectTree(dir / "to");

    MakeTree(dir / "again");
    WriteFileBytes(dir / "again" / "top.txt", "newer");
    WriteFileBytes(dir / "to" / "only.txt", "only");
    ASSERT_EQ(0, file_tree::Move((dir / "again").wstring(), (dir / "to").wstring()));
    EXPECT_FALSE(fs::exists(dir / "again"));
    EXPECT_EQ("newer", ReadFileBytes(dir / "to" / "top.txt"));
    EXPECT_EQ("only", ReadFileBytes(dir / "to" / "only.txt"));
    EXPECT_EQ("inner", ReadFileBytes(dir / "to" / "sub" / "inner.exe"));
}

TEST(FileTree, MoveOfAMissingSourceOrAFolderOntoAFileFails) {
    TempDir dir;
    EXPECT_EQ(os::err::kFileNotFound,
              file_tree::Move((dir / "none").wstring(), (dir / "to").wstring()));
    MakeTree(dir / "from");
    WriteFileBytes(dir / "file", "f");
    EXPECT_EQ(os::err::kAlreadyExists,
              file_tree::Move((dir / "from").wstring(), (dir / "file").wstring()));
    ExpectTree(dir / "from");
    EXPECT_EQ("f", ReadFileBytes(dir / "file"));
}

TEST(FileTree, DeleteRemovesEverythingButNeverGoesThroughALink) {
    TempDir dir;
    MakeTree(dir / "kept");
    MakeTree(dir / "doomed");
    const bool linked = MakeFolderLink(dir / "kept", dir / "doomed" / "link");
    ASSERT_EQ(0, file_tree::Delete((dir / "doomed").wstring()));
    EXPECT_FALSE(fs::exists(dir / "doomed"));
    ExpectTree(dir / "kept");
    EXPECT_EQ(os::err::kFileNotFound, file_tree::Delete((dir / "doomed").wstring()));
    if (!linked) GTEST_SKIP() << "no folder link made (Wine makes none); link case not tried";
}

TEST(FileTree, CopyMakesALinkALinkAgain) {
    TempDir dir;
    MakeTree(dir / "kept");
    fs::create_directories(dir / "from");
    if (!MakeFolderLink(dir / "kept", dir / "from" / "link"))
        GTEST_SKIP() << "no folder link made (Wine's CreateSymbolicLinkW makes none)";
    ASSERT_EQ(0, file_tree::Copy((dir / "from").wstring(), (dir / "to").wstring()));
    EXPECT_TRUE(fs::is_symlink(dir / "to" / "link"));
    EXPECT_EQ(fs::read_symlink(dir / "from" / "link"), fs::read_symlink(dir / "to" / "link"));
}

TEST(FileTree, WithinComparesComponents) {
    const std::wstring s = os::kSepStr;
    EXPECT_TRUE(file_tree::IsWithin(s + L"a" + s + L"b", s + L"a"));
    EXPECT_TRUE(file_tree::IsWithin(s + L"a" + s, s + L"a"));
    EXPECT_FALSE(file_tree::IsWithin(s + L"ab", s + L"a"));
    EXPECT_FALSE(file_tree::IsWithin(s + L"a", s + L"a" + s + L"b"));
}
