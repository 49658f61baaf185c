// The Windows launcher started without arguments: it tells the user that the program item
// is missing (a timed box, which returns at once without a display) and leaves nothing but
// its start lines in C:\ProgramData\Vantrel\logs\zeb.cpp.log, in the log's exact format.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/os/os.h"
#include "tests/support/LogEntries.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

fs::path VantrelFolder() {
    std::wstring folder;
    uint32_t result = 0;
    EXPECT_EQ(os::CommonAppDataFolder(folder, result), os::FolderLookup::kOk);
    return fs::path(folder) / "Vantrel";
}

}  // namespace

TEST(LauncherStart, WithoutArgumentsItLogsItsStartAndReturns) {
    const fs::path vantrel = VantrelFolder();
    std::error_code ec;
    fs::remove_all(vantrel, ec);
    ASSERT_FALSE(fs::exists(vantrel));

    const std::wstring launcher = fs::path(ZEB_LAUNCHER_EXE).make_preferred().wstring();
    os::StartedProcess started;
    ASSERT_EQ(os::StartProcess(launcher, L"", 0, false, started), 0);
    const bool ended = os::WaitProcess(started.process, 60000);
    uint32_t code = 1;
    os::GetProcessExitCode(started.process, code);
    if (!ended) os::KillProcess(started.process);
    os::CloseThread(started.thread);
    os::CloseProcess(started.process);
    ASSERT_TRUE(ended) << "the missing-item box did not return";
    EXPECT_EQ(code, 0u);

    // Nothing but the log folder: no client-information file, no update folders. (Other test
    // programs of this prefix may log to the default log beside the launcher's.)
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(vantrel))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"logs"});

    const std::string text = ReadFileBytes(vantrel / "logs" / "zeb.cpp.log");
    std::wstring wide;
    EXPECT_TRUE(os::Utf8ToWide(text, wide)) << "the log is UTF-8";
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = SplitLogEntries(text);
    ASSERT_EQ(lines.size(), 2u) << text;

    // "MM-DD hh:mm:ss.mmm [E][ZEB.Launcher.exe:pid:tid][WinMain.cpp:wWinMain:line] message"
    const std::string identity = "[E][ZEB.Launcher.exe:" + Hex(started.pid) + ":" + Hex(started.tid) +
                                 "][WinMain.cpp:wWinMain:";
    const std::string starts[] = {"런처 실행됨: " + os::WideToUtf8Lossy(launcher) + "(" ZEB_PROJECT_VERSION ")",
                                  "원본 실행인자: "};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(StartsLogEntry(lines[i], 0)) << lines[i];
        EXPECT_EQ(lines[i].compare(19, identity.size(), identity), 0) << lines[i];
        LogLine line;
        ASSERT_TRUE(ParseLogLine(lines[i], line)) << lines[i];
        EXPECT_GT(line.line, 0);
        EXPECT_EQ(line.message, starts[i]);
    }
}
