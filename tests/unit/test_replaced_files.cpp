// Files the launcher rewrites (client information, settings, markers) are replaced whole: a
// reader in another process finds the old text or the new one, never none and never a part,
// and a write that fails leaves the old file. No Linux-only tool: the Windows suite can run
// these as they are.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/helpers/AlternateText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

std::string HelperExe() { return std::string(ZEB_TEST_HELPER_DIR) + "/zeb-test-helper"; }

std::string Utf8File(const std::wstring& text) {
    return "\xEF\xBB\xBF" + os::WideToUtf8Lossy(text);
}

TEST(ReplacedFiles, AReaderFindsTheOldOrTheNewTextWhileAnotherProcessRewritesIt) {
    TempDir dir;
    const fs::path file = dir / "ZebCliInfo.json";
    const std::string first = Utf8File(AlternateText(0)), second = Utf8File(AlternateText(1));
    WriteFileBytes(file, second);

    BackgroundProcess writer;
    ASSERT_TRUE(writer.Start(HelperExe(), {"write-loop", file.string(), "150"}));
    int reads = 0, changes = 0;
    std::string last;
    while (writer.Running()) {
        // The launcher's own reader. On Windows it cannot open a file another process holds
        // open, the writer's rename included; the name itself never goes missing.
        std::vector<uint8_t> bytes;
        const int error = os::ReadWholeFile(file.wstring(), bytes, 1 << 20);
        ASSERT_NE(error, os::err::kFileNotFound) << "read " << reads << " found no file";
        if (error != 0) continue;
        const std::string seen(bytes.begin(), bytes.end());
        ASSERT_TRUE(seen == first || seen == second)
            << "read " << reads << " found " << seen.size() << " bytes";
        changes += seen != last;
        last = seen;
        ++reads;
    }
    EXPECT_EQ(ReadFileBytes(file), second);  // 150 writes end on the second text
    EXPECT_GT(changes, 1) << "the reader never saw the file change";
    // Nothing of the passing names stays beside the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ReplacedFiles, TheSameTextAgainLeavesTheFileAsItIs) {
    TestLog log;
    TempDir dir;
    const std::wstring path = (dir / "p1_update.json").wstring();
    ASSERT_TRUE(GL_FILE_WriteText(path, L"{\"A\":1}", ENC_UTF8_BOM, false));
    const auto earlier = fs::last_write_time(dir / "p1_update.json") - std::chrono::hours(1);
    fs::last_write_time(dir / "p1_update.json", earlier);

    ASSERT_TRUE(GL_FILE_WriteText(path, L"{\"A\":1}", ENC_UTF8_BOM, false));
    EXPECT_EQ(fs::last_write_time(dir / "p1_update.json"), earlier);

    ASSERT_TRUE(GL_FILE_WriteText(path, L"{\"A\":2}", ENC_UTF8_BOM, false));
    EXPECT_EQ(ReadFileBytes(dir / "p1_update.json"), "\xEF\xBB\xBF{\"A\":2}");
}

TEST(ReplacedFiles, AFolderInTheFilesPlaceFailsAndStaysAFolder) {
    TestLog log;
    TempDir dir;
    fs::create_directories(dir / "taken.json/inside");
    EXPECT_FALSE(GL_FILE_WriteText((dir / "taken.json").wstring(), L"x", ENC_UTF8_BOM, false));
    EXPECT_TRUE(fs::is_directory(dir / "taken.json/inside"));
    EXPECT_EQ(log.Matching("[ENU:30]파일쓰기 실패(" + (dir / "taken.json").string() +
                           "), append == 0")
                  .size(),
              1u)
        << log.Text();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
