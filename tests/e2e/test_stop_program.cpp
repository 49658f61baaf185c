// Stopping the managed program before an update, against real copies of the sample program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/GL_Process.h"
#include "common/os/os.h"
#include "launcher/StopProgram.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SampleApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

class StopProgramTest : public ::testing::Test {
protected:
    TestLog log;
    TempDir dir;
    std::vector<uint32_t> started;
    std::vector<std::wstring> shortNames;
    UpdateInfo info;

    StopProgramTest() {
        info.SHORT_NM = fs::path(UniqueShortName("stop")).wstring();
        info.ROOT_DIR_CLI_INST = (dir / "Viewer").wstring() + L"/";
        info.RUN_EXE_NAME = L"Viewer.exe";
        info.RUN_EXE_PATH = info.ROOT_DIR_CLI_INST + info.RUN_EXE_NAME;
    }

    ~StopProgramTest() override {
        // A killed program leaves its event behind.
        for (const auto& name : shortNames) os::RemoveNamedEvent(ExitEventName(name));
        for (const uint32_t pid : started) {
            os::ProcessHandle process = 0;
            if (os::OpenProcessHandle(pid, os::ProcessAccess::kControl, process) != 0)
                continue;
            os::KillProcess(process);
            os::WaitProcess(process, 5000);
            os::CloseProcess(process);
        }
    }

    uint32_t Start(const fs::path& exe, const std::map<std::string, std::string>& env = {}) {
        std::map<std::string, std::string> all{
            {"ZEB_SAMPLE_APP_SHORT_NM", fs::path(info.SHORT_NM).string()}};
        for (const auto& [name, value] : env) all[name] = value;
        shortNames.push_back(fs::path(all["ZEB_SAMPLE_APP_SHORT_NM"]).wstring());
        ScopedEnv scoped(all);
        if (!fs::exists(exe)) CopySampleApp(exe);
        fs::remove(exe.parent_path() / "received_args.txt");
        const auto process = GL_PROCESS_Run(false, 0, exe.wstring(), L"", false, 0);
        started.push_back(process.dwProcessId);
        EXPECT_TRUE(WaitForSampleAppRecord(exe).has_value());
        return process.dwProcessId;
    }

    bool EventStillThere() const {
        os::EventHandle event = 0;
        if (os::OpenNamedEvent(ExitEventName(info.SHORT_NM), event) != 0) return false;
        os::CloseNamedEvent(event);
        return true;
    }
};

}  // namespace

TEST_F(StopProgramTest, ExitEventNameCarriesTheShortName) {
    EXPECT_EQ(ExitEventName(L"Viewer"), L"__zeb_exit_event_Viewer_");
}

TEST_F(StopProgramTest, ProgramWatchingItsEventClosesByItself) {
    const uint32_t pid = Start(fs::path(info.RUN_EXE_PATH));
    EXPECT_TRUE(StopRunningProgram(info));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
    EXPECT_FALSE(EventStillThere());  // it removed its event on the way out: no kill
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StopProgramTest, ProgramWithoutTheEventIsEndedByForce) {
    const uint32_t pid = Start(fs::path(info.RUN_EXE_PATH), {{"ZEB_SAMPLE_APP_SHORT_NM", UniqueShortName("other")}});
    EXPECT_TRUE(StopRunningProgram(info));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
    EXPECT_EQ(log.Matching("[ENU:39]").size(), 1u) << log.Text();
}

TEST_F(StopProgramTest, ProgramIgnoringItsEventIsEndedByForceAfterTheTimeOut) {
    const uint32_t pid = Start(fs::path(info.RUN_EXE_PATH), {{"ZEB_SAMPLE_APP_IGNORE_EVENT", "1"}});
    EXPECT_TRUE(StopRunningProgram(info));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
    EXPECT_EQ(log.Matching("[ENU:50]Time Out(5000ms)").size(), 1u) << log.Text();
}

TEST_F(StopProgramTest, OnlyTheInstalledProgramIsStopped) {
    const uint32_t installed = Start(fs::path(info.RUN_EXE_PATH));
    const uint32_t elsewhere = Start(dir / "copy" / "Viewer.exe", {{"ZEB_SAMPLE_APP_SHORT_NM", UniqueShortName("x")}});
    EXPECT_TRUE(StopRunningProgram(info));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(installed)));
    EXPECT_TRUE(ProcessAlive(static_cast<int>(elsewhere)));
}

TEST_F(StopProgramTest, NothingRunningIsSuccess) {
    EXPECT_TRUE(StopRunningProgram(info));
    EXPECT_EQ(log.Text(), "");
}
