#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"
#include "common/PathText.h"
#include "common/os/os.h"
#include "tests/support/LogEntries.h"
#include "tests/support/LogOutputCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wine.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(unsigned long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lx", value);
    return buffer;
}

// "[E][exe:pid:tid]" as this process writes it from its main thread.
std::string Identity(char level) {
    const std::string exe = os::WideToUtf8Lossy(LastComponent(os::ModulePath()));
    return std::string("[") + level + "][" + exe + ":" + Hex(os::CurrentProcessId()) + ":" +
           Hex(os::CurrentThreadId()) + "]";
}

// The system's text of an error number without its closing CR LF, as a log line carries it.
std::string SystemText(int code) {
    std::wstring text = os::ErrorText(code, L"");
    EXPECT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    text.resize(text.size() - 2);
    return os::WideToUtf8Lossy(text);
}

// "MM-DD hh:mm:ss.mmm"
bool IsTimeStamp(const std::string& text) {
    static const std::string kShape = "00-00 00:00:00.000";
    if (text.size() != kShape.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (kShape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != kShape[i])
            return false;
    return true;
}

long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

class GlDebug : public ::testing::Test {
protected:
    void SetUp() override {
        GL_DEBUG_ResetForTesting();
        GL_DEBUG_SetDataFolderForTesting(dir_.wpath());
    }
    void TearDown() override { GL_DEBUG_ResetForTesting(); }
    fs::path LogsFolder() const { return dir_ / "Vantrel" / "logs"; }
    fs::path DefaultLog() const { return LogsFolder() / "ZEB.log"; }
    void EnableDebugLines() {
        fs::create_directories(LogsFolder());
        WriteFileBytes(LogsFolder() / "enable_log_dbg.txt", "");
    }
    // Logs to a file of the test's own and returns its whole content.
    fs::path UseLog(const std::string& name = "test.log") {
        const fs::path path = dir_ / name;
        GL_DEBUG_SetLogFile(path.wstring());
        return path;
    }

    TempDir dir_;
};

// Everything after the time stamp of a single-line file, checking the stamp's shape.
std::string AfterTime(const std::string& text) {
    EXPECT_GE(text.size(), 18u);
    if (text.size() < 18) return std::string();
    EXPECT_TRUE(IsTimeStamp(text.substr(0, 18))) << text;
    return text.substr(18);
}

}  // namespace

// ---- the line -------------------------------------------------------------------------

TEST_F(GlDebug, ErrorLineHasTheDocumentedBytes) {
    const fs::path log = UseLog();
    EXPECT_EQ(30, GL_DEBUG_Log(L"", 'E', L"src/engine/launcher.src", L"UpdateLauncherProcPre", 125,
                               0, 30, L"런처 파일 다운로드 실패"));
    EXPECT_EQ(" " + Identity('E') +
                  "[launcher.src:UpdateLauncherProcPre:125] [ENU:30]런처 파일 다운로드 실패\r\n",
              AfterTime(ReadFileBytes(log)));
}

TEST_F(GlDebug, LocationPartFollowsWhatTheCallerGave) {
    const fs::path log = UseLog();
    GL_DEBUG_Log(L"", 'E', L"", L"OnlyFunction", 9, 0, 5, L"a");
    GL_DEBUG_Log(L"", 'E', L"", L"", 9, 0, 5, L"b");
    GL_DEBUG_Log(L"", 'E', L"plain.cpp", L"", 9, 0, 5, L"c");
    const std::string text = ReadFileBytes(log);
    const std::string id = Identity('E');
    EXPECT_NE(std::string::npos, text.find(id + "[OnlyFunction] [ENU:5]a\r\n"));
    EXPECT_NE(std::string::npos, text.find(id + " [ENU:5]b\r\n"));
    EXPECT_NE(std::string::npos, text.find(id + "[plain.cpp::9] [ENU:5]c\r\n"));
}

TEST_F(GlDebug, StatusZeroAndNullFormatPrintNoStatus) {
    const fs::path log = UseLog();
    EXPECT_EQ(0, GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"quiet"));
    EXPECT_EQ(40, GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 2, 0, 40, nullptr));
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("[a.cpp:F:1] quiet\r\n"));
    EXPECT_NE(std::string::npos, text.find("[a.cpp:F:2] \r\n"));
    EXPECT_EQ(std::string::npos, text.find("ENU"));
}

TEST_F(GlDebug, PercentInArgumentsIsNotReinterpreted) {
    const fs::path log = UseLog();
    GL_LOG('E', 0, 10, L"value %s and %d", std::wstring(L"100%d %s"), 7);
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("[ENU:10]value 100%d %s and 7\r\n"));
}

TEST_F(GlDebug, MacroNamesFileFunctionAndLine) {
    const fs::path log = UseLog();
    const int line = __LINE__ + 1;
    GL_LOG('E', 0, 0, L"here");
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("[test_gl_debug.cpp:TestBody:" + std::to_string(line) +
                                      "] here\r\n"));
    GL_LOG_FN(L"GLCRegistry::ReadString", 'E', 0, 0, L"named");
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("[test_gl_debug.cpp:GLCRegistry::ReadString:"));
}

TEST_F(GlDebug, ErrorPartCarriesCodeAndSystemTextWithoutLineBreak) {
    const fs::path log = UseLog();
    const int code = os::err::kAccessDenied;
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, code, 10, L"open");
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("[ENU:10]open[ENW:" + std::to_string(code) +
                                                         "]" + SystemText(code) + "\r\n"));
}

TEST_F(GlDebug, CodeWithoutTextGetsTheLookupFailure) {
    const fs::path log = UseLog();
    EXPECT_EQ(L"", os::ErrorText(99999, L""));
    const int lookupError = os::LastError();
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 99999, 0, L"x");
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("x[ENW:99999]오류 GL_DEBUG_GetErrMsg()::FormatMessage():" +
                                      std::to_string(lookupError) + "\r\n"));
}

TEST_F(GlDebug, GetErrMsgLeavesTextAloneForCodeZero) {
    std::wstring text = L"before";
    GL_DEBUG_GetErrMsg(0, text);
    EXPECT_EQ(L"before", text);
    GL_DEBUG_GetErrMsg(os::err::kFileNotFound, text);
    EXPECT_EQ(os::WideToUtf8Lossy(text), SystemText(os::err::kFileNotFound) + "\r\n");
}

TEST_F(GlDebug, LongMessageIsCutAndLosesLineEnd) {
    const fs::path log = UseLog();
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 10, L"%s", std::wstring(3000, L'x'));
    const std::string text = ReadFileBytes(log);
    EXPECT_EQ(1024u, text.size());
    EXPECT_NE("\r\n", text.substr(text.size() - 2));
    // Cut by characters, not bytes: a line of Korean text is 1,024 characters as well.
    GL_DEBUG_ResetForTesting();
    const fs::path second = UseLog("second.log");
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"%s", std::wstring(3000, L'한'));
    std::wstring wide;
    ASSERT_TRUE(os::Utf8ToWide(ReadFileBytes(second), wide));
    EXPECT_EQ(1024u, wide.size());
    EXPECT_EQ(L'한', wide.back());
}

TEST_F(GlDebug, LongSourcePathIsCutBeforeItsNameIsTaken) {
    const fs::path log = UseLog();
    const std::wstring source = std::wstring(250, L'd') + L"/abcdefghij.cpp";
    GL_DEBUG_Log(L"", 'E', source, L"F", 3, 0, 0, L"m");
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("][abcd:F:3] m\r\n"));
}

TEST_F(GlDebug, LogFilePathIsKeptTo255Characters) {
    GL_DEBUG_SetLogFile(L"/" + std::wstring(300, L'p'));
    EXPECT_EQ(255u, GL_DEBUG_GetLogFile().size());
}

TEST_F(GlDebug, MismatchedArgumentGivesTheFaultTextAndRawFormat) {
    const fs::path log = UseLog();
    EXPECT_EQ(5, GL_LOG('E', 0, 5, L"name %s", 42));
    GL_LOG('E', 0, 6, L"%d and %d", 1);
    const std::string fault =
        "SEH exception with code 0xE06D7363 thrown in GL_DEBUG_Log: 가변인자 오류\r\n";
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("[ENU:5]" + fault + "name %s\r\n"));
    EXPECT_NE(std::string::npos, text.find("[ENU:6]" + fault + "%d and %d\r\n"));
}

TEST_F(GlDebug, LastErrorSurvivesALogCall) {
    UseLog();
    os::SetLastErrorCode(os::err::kDirNotEmpty);
    GL_LOG('E', 0, 1, L"x");
    EXPECT_EQ(os::err::kDirNotEmpty, os::LastError());
}

// ---- the narrow twin ------------------------------------------------------------------

TEST_F(GlDebug, NarrowLogPrintsItsMessageAsPlainText) {
    const fs::path log = UseLog();
    // Narrow text is in the ANSI code page; the file holds UTF-8.
    EXPECT_EQ(15, GL_DEBUG_LogA("", 'E', "server/GL_Internet.cpp", "GL_INTERNET_HTTPSendRequestByCurl",
                                77, 0, 15, "%s", os::WideToAnsiLossy(L"100%d 완료").c_str()));
    GL_LOGA('E', 0, 0, "count %d", 3);
    GL_DEBUG_LogA("", 'E', "x.cpp", "F", 1, 0, 4, nullptr);
    GL_DEBUG_LogA("", 'E', "x.cpp", "F", 2, 0, 4, "%s", 12);
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos,
              text.find("[GL_Internet.cpp:GL_INTERNET_HTTPSendRequestByCurl:77] [ENU:15]100%d 완료\r\n"));
    EXPECT_NE(std::string::npos, text.find("[test_gl_debug.cpp:TestBody:"));
    EXPECT_NE(std::string::npos, text.find("] count 3\r\n"));
    EXPECT_NE(std::string::npos, text.find("[x.cpp:F:1] \r\n"));
    EXPECT_NE(std::string::npos, text.find("[x.cpp:F:2] [ENU:4]SEH exception with code 0xE06D7363"));
}

TEST_F(GlDebug, NarrowLogNamesItsOwnLogFile) {
    const fs::path log = dir_ / "narrow/sub/a.log";
    GL_DEBUG_LogA(log.string(), 'E', "x.cpp", "F", 1, 0, 0, "n");
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("[x.cpp:F:1] n\r\n"));
}

// ---- levels and the switch file -------------------------------------------------------

TEST_F(GlDebug, DebugLineWithoutSwitchGoesNowhere) {
    const fs::path log = UseLog();
    LogOutputCapture err;
    EXPECT_EQ(20, GL_DEBUG_Log(L"", 'D', L"a.cpp", L"F", 1, 0, 20, L"trace"));
    EXPECT_EQ(7, GL_DEBUG_Log(L"", 'X', L"a.cpp", L"F", 1, 0, 7, L"other letter"));
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ("", err.Text());
}

TEST_F(GlDebug, ErrorLineGoesToDebuggerOutputWithoutJumpPrefix) {
    const fs::path log = UseLog();
    LogOutputCapture err;
    GL_DEBUG_Log(L"", 'E', L"dir/a.cpp", L"F", 12, 0, 1, L"bad");
    EXPECT_EQ("Error: " + ReadFileBytes(log), err.Text());
}

TEST_F(GlDebug, SwitchFileTurnsDebugLinesOnAndOffWhileRunning) {
    const fs::path log = UseLog();
    GL_DEBUG_Log(L"", 'D', L"dir/a.cpp", L"F", 1, 0, 0, L"before");
    EnableDebugLines();
    {
        LogOutputCapture err;
        GL_DEBUG_Log(L"", 'D', L"dir/a.cpp", L"F", 2, 0, 0, L"during");
        const std::string text = ReadFileBytes(log);
        EXPECT_EQ(" " + Identity('D') + "[a.cpp:F:2] during\r\n", AfterTime(text));
        EXPECT_EQ("> dir/a.cpp(2): Warning: " + text, err.Text());
    }
    {
        LogOutputCapture err;
        GL_DEBUG_Log(L"", 'E', L"dir/b.cpp", L"G", 3, 0, 0, L"error");
        EXPECT_EQ(0u, err.Text().find("> dir/b.cpp(3): Error: "));
        // No jump prefix for a line without a source file.
        GL_DEBUG_Log(L"", 'X', L"", L"H", 4, 0, 0, L"letter");
        EXPECT_NE(std::string::npos, err.Text().find("\r\nWarning: "));
        EXPECT_NE(std::string::npos, ReadFileBytes(log).find("[X]"));
    }
    fs::remove(LogsFolder() / "enable_log_dbg.txt");
    const auto size = fs::file_size(log);
    GL_DEBUG_Log(L"", 'D', L"dir/a.cpp", L"F", 5, 0, 0, L"after");
    EXPECT_EQ(size, fs::file_size(log));
}

// ---- where lines go -------------------------------------------------------------------

TEST_F(GlDebug, DefaultLogIsAnnouncedOnceAndItsFoldersCreated) {
    LogOutputCapture err;
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"first");
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 2, 0, 0, L"second");
    const std::string notice = "로그파일이 지정되지 않아 기본 로그파일에 저장: " + DefaultLog().string();
    EXPECT_EQ(1u, CountOf(err.Text(), notice));
    EXPECT_EQ(DefaultLog().wstring(), GL_DEBUG_GetLogFile());
    const std::string text = ReadFileBytes(DefaultLog());
    EXPECT_NE(std::string::npos, text.find("] first\r\n"));
    EXPECT_NE(std::string::npos, text.find("] second\r\n"));
    EXPECT_TRUE(GL_DEBUG_FolderFlagForTesting());
}

TEST_F(GlDebug, SetLogFileCreatesNothingUntilTheFirstLine) {
    const fs::path log = dir_ / "later/logs/zeb.cpp.log";
    LogOutputCapture err;
    GL_DEBUG_SetLogFile(log.wstring());
    EXPECT_FALSE(fs::exists(dir_ / "later"));
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"line");
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("] line\r\n"));
    EXPECT_EQ(std::string::npos, err.Text().find("기본 로그파일"));
}

TEST_F(GlDebug, AppendsToAnExistingFileWithoutSignature) {
    const fs::path log = UseLog();
    WriteFileBytes(log, "old\r\n");
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"new");
    const std::string text = ReadFileBytes(log);
    EXPECT_EQ(0u, text.find("old\r\n"));
    EXPECT_NE(std::string::npos, text.find("] new\r\n"));
}

TEST_F(GlDebug, CallThatNamesALogFileMovesTheLog) {
    const fs::path first = UseLog();
    const fs::path named = dir_ / "named/deeper/own.log";
    GL_DEBUG_Log(named.wstring(), 'E', L"a.cpp", L"F", 1, 0, 0, L"to named");
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 2, 0, 0, L"still named");
    EXPECT_FALSE(fs::exists(first));
    const std::string text = ReadFileBytes(named);
    EXPECT_NE(std::string::npos, text.find("] to named\r\n"));
    EXPECT_NE(std::string::npos, text.find("] still named\r\n"));
}

// ---- writing and its failures ----------------------------------------------------------

TEST_F(GlDebug, UnwritableLogRetriesThreeSecondsThenShowsTheNotice) {
    // A folder where the log file should be: no missing folder, but no file to write either.
    const fs::path log = dir_ / "taken.log";
    fs::create_directories(log);
    GL_DEBUG_SetLogFile(log.wstring());
    LogOutputCapture err;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(3, GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 3, L"lost"));
    const long long ms = ElapsedMs(start);
    EXPECT_GE(ms, 3000);
    EXPECT_LT(ms, 4500);
    const std::string text = err.Text();
    const size_t box = text.find("[GLDebugMsg] GL_DEBUG_Log() CreateFile실패1\r\n"
                                 "파일쓰기 3초 시도 실패: " + log.string() + "\r\n\r\n");
    ASSERT_NE(std::string::npos, box) << text;
    EXPECT_NE(std::string::npos, text.find("] [ENU:3]lost\r\n", box));
    EXPECT_FALSE(GL_DEBUG_FolderFlagForTesting());
}

TEST_F(GlDebug, LogFolderMissingAgainFailsAtOnceOnceFlagIsSet) {
    const fs::path log = dir_ / "gone/logs/zeb.log";
    GL_DEBUG_SetLogFile(log.wstring());
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"created");
    ASSERT_TRUE(fs::exists(log));
    EXPECT_TRUE(GL_DEBUG_FolderFlagForTesting());
    fs::remove_all(dir_ / "gone");
    LogOutputCapture err;
    const auto start = std::chrono::steady_clock::now();
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 2, 0, 0, L"lost");
    EXPECT_LT(ElapsedMs(start), 400);
    EXPECT_NE(std::string::npos, err.Text().find("CreateFile실패1\r\n파일쓰기 실패: " + log.string()));
    EXPECT_FALSE(fs::exists(dir_ / "gone"));
}

TEST_F(GlDebug, WriterCreatesMissingFoldersOnceAndRetriesAtOnce) {
    std::wstring errorText;
    const fs::path log = dir_ / "w/x/y.log";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(_dbg_WriteFile(log.wstring(), "abc", errorText));
    EXPECT_LT(ElapsedMs(start), 400);
    EXPECT_EQ("abc", ReadFileBytes(log));
    EXPECT_TRUE(errorText.empty());
}

TEST_F(GlDebug, LinesOfTwoProcessesWritingAtOnceStayWhole) {
    // Wine writes an append at the end it last saw: two processes' lines overwrite and tear
    // each other there, while Windows and Linux append each write whole.
    if (UnderWine()) GTEST_SKIP() << "Wine cannot show atomic appends of two processes";
    const fs::path log = dir_ / "shared.log";
    const std::wstring helper = (fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper").wstring();
    const int count = 300;
    os::StartedProcess writers[2];
    const char tags[2] = {'A', 'B'};
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(0, os::StartProcess(helper, L"log " + log.wstring() + L" " + wchar_t(tags[i]) +
                                                  L" " + std::to_wstring(count),
                                      0, false, writers[i]));
    for (const os::StartedProcess& writer : writers) {
        EXPECT_TRUE(os::WaitProcess(writer.process, 60000));
        uint32_t code = 1;
        EXPECT_EQ(0, os::GetProcessExitCode(writer.process, code));
        EXPECT_EQ(0u, code);
        os::CloseThread(writer.thread);
        os::CloseProcess(writer.process);
    }
    const std::string text = ReadFileBytes(log);
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = SplitLogEntries(text);
    ASSERT_EQ(lines.size(), 2u * count);
    int next[2] = {0, 0};
    for (const std::string& entry : lines) {
        LogLine line;
        ASSERT_TRUE(ParseLogLine(entry, line)) << entry;
        const int writer = line.pid == writers[0].pid ? 0 : 1;
        ASSERT_EQ(line.pid, writers[writer].pid) << entry;
        // Each writer's lines in its own order, none torn or merged with the other's.
        EXPECT_EQ(line.message, std::string(1, tags[writer]) + " " + std::to_string(next[writer]++));
    }
}

// ---- folder creation ------------------------------------------------------------------

TEST_F(GlDebug, MakeDirsCreatesTheChainUpToTheFileFolder) {
    UseLog();
    EXPECT_TRUE(_dbg_MakeDirs((dir_ / "Vantrel/logs/ZEB.log").wstring()));
    EXPECT_TRUE(fs::is_directory(LogsFolder()));
    EXPECT_FALSE(fs::exists(LogsFolder() / "ZEB.log"));
    EXPECT_FALSE(fs::exists(LogsFolder() / "ZEB"));
    EXPECT_TRUE(_dbg_MakeDirs((dir_ / "Vantrel/logs/ZEB.log").wstring()));  // all there
}

TEST_F(GlDebug, MakeDirsHandlesDotsInFoldersAndNamesWithoutExtension) {
    UseLog();
    EXPECT_TRUE(_dbg_MakeDirs((dir_ / "v1.2/new.d/file.log").wstring()));
    EXPECT_TRUE(fs::is_directory(dir_ / "v1.2/new.d"));
    EXPECT_TRUE(_dbg_MakeDirs((dir_ / "plain/ZEBLOG").wstring()));
    EXPECT_TRUE(fs::is_directory(dir_ / "plain"));
    EXPECT_FALSE(fs::exists(dir_ / "plain/ZEBLOG"));
}

TEST_F(GlDebug, MakeDirsRejectsPathWithoutSeparator) {
    const fs::path log = UseLog();
    EXPECT_TRUE(_dbg_MakeDirs(L"ZEB.log"));
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find(":_dbg_MakeDirs:"));
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("] [ENU:10]올바른 경로명이 아닙니다.(ZEB.log)\r\n"));
}

TEST_F(GlDebug, MakeDirsReportsAFolderItCannotCreate) {
    const fs::path log = UseLog();
    WriteFileBytes(dir_ / "file", "x");
    const fs::path blocked = dir_ / "file/a";
    EXPECT_FALSE(_dbg_MakeDirs((dir_ / "file/a/b/c.log").wstring()));
    // What the system answers for that folder, where a file stands in the way.
    const int notAFolder = os::MakeFolder(blocked.wstring());
    ASSERT_NE(0, notAFolder);
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("[ENU:20]CreateDirectory() 실패: " + blocked.string() +
                                      "[ENW:" + std::to_string(notAFolder) + "]" +
                                      SystemText(notAFolder) + "\r\n"));
    // The last folder itself: a name the file system refuses. 90 Korean characters are
    // 270 bytes of UTF-8, longer than a Linux name; Windows takes their length but no "|".
    const std::wstring name = std::wstring(90, L'긴') + L"|";
    const std::wstring tooLong = dir_.wpath() + L"/ok/" + name;
    EXPECT_FALSE(_dbg_MakeDirs(tooLong + L"/x.log"));
    EXPECT_TRUE(fs::is_directory(dir_ / "ok"));
    const int nameTooLong = os::MakeFolder(tooLong);
    ASSERT_NE(0, nameTooLong);
    std::string narrow;
    ASSERT_TRUE(os::WideToUtf8(tooLong, narrow));
    EXPECT_NE(std::string::npos,
              ReadFileBytes(log).find("[ENU:30]CreateDirectory() 실패: " + narrow + "[ENW:" +
                                      std::to_string(nameTooLong) + "]"));
}

TEST_F(GlDebug, PathExistsTestsThePathItself) {
    fs::create_directories(dir_ / "has.dot");
    EXPECT_TRUE(_dbg_PathExists((dir_ / "has.dot").wstring()));
    EXPECT_FALSE(_dbg_PathExists((dir_ / "has.dot/missing.txt").wstring()));
    EXPECT_TRUE(_dbg_PathExists(std::wstring(os::kSepStr) + os::kSepStr + L"server"));
}

// ---- text encoding --------------------------------------------------------------------

TEST_F(GlDebug, KoreanTextIsUtf8InFileAndDebuggerOutput) {
    const fs::path log = UseLog();
    LogOutputCapture err;
    GL_LOG('E', 0, 0, L"%s 완료 %d", std::wstring(L"업데이트"), 3);
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, text.find("] 업데이트 완료 3\r\n"));
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ("Error: " + text, err.Text());
}

TEST_F(GlDebug, BrokenCharacterBecomesQuestionMarkInTheFile) {
    const fs::path log = UseLog();
    GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 0, L"%s", std::wstring(1, wchar_t(0xD800)));
    EXPECT_NE(std::string::npos, ReadFileBytes(log).find("[a.cpp:F:1] ?\r\n"));
}
