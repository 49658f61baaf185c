// Processes under Windows: Toolhelp finds a running program by its bare name or its full
// path whatever the letter case, its exit event ends it, and a command line reaches
// CreateProcessW byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <string>
#include <vector>

#include "common/GL_Process.h"
#include "common/os/os.h"
#include "tests/support/SampleApp.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return text;
}

bool Contains(const std::vector<uint32_t>& pids, uint32_t pid) {
    return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

// The sample program, copied under a name no other process has, running with an exit event
// of its own.
class RunningSampleApp : public ::testing::Test {
protected:
    void SetUp() override {
        CopySampleApp(exe);
        ScopedEnv eventName("ZEB_SAMPLE_APP_SHORT_NM", shortName.c_str());
        const GL_PROCESS_INFO info = GL_PROCESS_Run(true, 0, exe.wstring(), L"", false, 0);
        ASSERT_NE(info.dwProcessId, 0u) << log.Text();
        pid = info.dwProcessId;
        process = info.hProcess;
        os::CloseThread(info.hThread);
        // The event exists before the record does.
        ASSERT_TRUE(WaitForSampleAppRecord(exe).has_value());
    }
    void TearDown() override {
        if (process == 0) return;
        if (!os::WaitProcess(process, 0)) GL_PROCESS_Terminate(pid, L"");
        os::CloseProcess(process);
    }
    std::wstring EventName() const {
        return os::Utf8ToWideLossy(SampleAppEventName(shortName));
    }

    TestLog log;
    TempDir dir;
    const std::string shortName = UniqueShortName("toolhelp");
    const fs::path exe = dir / ("ZebSample-" + shortName + ".exe");
    uint32_t pid = 0;
    os::ProcessHandle process = 0;
};

}  // namespace

TEST_F(RunningSampleApp, FoundByItsBareNameInAnyLetterCase) {
    std::vector<uint32_t> pids;
    ASSERT_EQ(GL_PROCESS_GetID(Upper(exe.filename().wstring()), pids), 0);
    EXPECT_EQ(pids, std::vector<uint32_t>{pid});
    ASSERT_EQ(GL_PROCESS_GetID(exe.filename().wstring(), pids), 0);
    EXPECT_EQ(pids, std::vector<uint32_t>{pid});
}

TEST_F(RunningSampleApp, FoundByItsFullPathInAnyLetterCaseAndNowhereElse) {
    std::vector<uint32_t> pids;
    ASSERT_EQ(GL_PROCESS_GetID(Upper(exe.wstring()), pids), 0);
    EXPECT_EQ(pids, std::vector<uint32_t>{pid});
    ASSERT_EQ(GL_PROCESS_GetID((dir / "elsewhere" / exe.filename()).wstring(), pids), 0);
    EXPECT_TRUE(pids.empty());
}

TEST_F(RunningSampleApp, ItsExitEventEndsIt) {
    EXPECT_TRUE(GL_PROCESS_Terminate(pid, EventName())) << log.Text();
    EXPECT_TRUE(os::WaitProcess(process, 0));
    std::vector<uint32_t> pids;
    ASSERT_EQ(GL_PROCESS_GetID(exe.wstring(), pids), 0);
    EXPECT_FALSE(Contains(pids, pid));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(RunningSampleApp, AnEventNobodyCreatedIsStatus39AndTheProgramRuns) {
    const std::wstring wrong = L"__zeb_exit_event_nobody_";
    EXPECT_FALSE(GL_PROCESS_Terminate(pid, wrong));
    const auto lines = log.Matching("[ENU:39]OpenEvent() 함수 실패(이벤트명: __zeb_exit_event_nobody_)[ENW:" +
                                    std::to_string(os::err::kFileNotFound) + "]");
    EXPECT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_FALSE(os::WaitProcess(process, 0));
    // Without an event the program is ended by force.
    EXPECT_TRUE(GL_PROCESS_Terminate(pid, L""));
    EXPECT_TRUE(os::WaitProcess(process, 0));
}

TEST(CommandLine, ReachesTheProgramByteForByte) {
    TestLog log;
    TempDir dir;
    const std::wstring helper =
        (fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper.exe").make_preferred().wstring();
    const std::wstring record = (dir / "command-line.txt").wstring();
    // Quotes inside arguments, a closing backslash before a quote: what msiexec and 7-Zip
    // are handed.
    const std::wstring arguments = L"cmdline " + record +
                                   L" /i \"C:\\a b\\p.msi\" /passive PROP=\"a b\" -o\"C:\\App\\\"";
    const GL_PROCESS_INFO info = GL_PROCESS_Run(true, 0, helper, arguments, true, 60000);
    ASSERT_NE(info.dwProcessId, 0u) << log.Text();
    uint32_t code = 1;
    EXPECT_EQ(os::GetProcessExitCode(info.hProcess, code), 0);
    EXPECT_EQ(code, 0u);
    os::CloseThread(info.hThread);
    os::CloseProcess(info.hProcess);
    EXPECT_EQ(ReadFileBytes(record), os::WideToUtf8Lossy(helper + L" " + arguments));
}
