// The log file's sharing on Windows: the log opens for appending with write sharing only, so
// another writer that shares writing lets a line through at once, while a handle that does
// not share writing makes a line wait three seconds and then brings up the failure notice.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"
#include "common/os/os.h"
#include "tests/support/LogOutputCapture.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class LogSharing : public ::testing::Test {
protected:
    void SetUp() override {
        GL_DEBUG_ResetForTesting();
        GL_DEBUG_SetDataFolderForTesting(dir.wpath());
        GL_DEBUG_SetLogFile(log.wstring());
    }
    void TearDown() override {
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        GL_DEBUG_ResetForTesting();
    }
    void Hold(DWORD access, DWORD share) {
        held = CreateFileW(log.c_str(), access, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
    }
    long long LogLineMs(const wchar_t* message) {
        const auto start = std::chrono::steady_clock::now();
        GL_LOG('E', 0, 7, L"%s", std::wstring(message));
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }

    TempDir dir;
    const fs::path log = dir / "zeb.cpp.log";
    HANDLE held = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST_F(LogSharing, AnotherWriterSharingWritingLetsTheLineThroughAtOnce) {
    Hold(FILE_APPEND_DATA, FILE_SHARE_WRITE);
    LogOutputCapture output;
    EXPECT_LT(LogLineMs(L"shared"), 400);
    // The held handle shares no reading: the file is read once it is closed.
    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    EXPECT_NE(ReadFileBytes(log).find("] [ENU:7]shared\r\n"), std::string::npos);
    EXPECT_EQ(output.Text().find("GLDebugMsg"), std::string::npos);
}

TEST_F(LogSharing, AHandleThatDoesNotShareWritingMakesTheLineWaitThenShowsTheNotice) {
    Hold(GENERIC_WRITE, FILE_SHARE_READ);
    LogOutputCapture output;
    const long long ms = LogLineMs(L"held");
    EXPECT_GE(ms, 3000);
    EXPECT_LT(ms, 4500);
    const std::string text = output.Text();
    const size_t box = text.find("[GLDebugMsg] GL_DEBUG_Log() CreateFile실패1\r\n파일쓰기 3초 시도 실패: " +
                                 os::WideToUtf8Lossy(log.wstring()) + "\r\n\r\n");
    ASSERT_NE(box, std::string::npos) << text;
    EXPECT_NE(text.find("] [ENU:7]held\r\n", box), std::string::npos) << text;
    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    EXPECT_EQ(ReadFileBytes(log), "");  // the line is lost, not written late
}
