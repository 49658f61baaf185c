// Process control against real programs: copies of the sample program and the test helper.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/GL_Process.h"
#include "common/os/os.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SampleApp.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring W(const fs::path& path) { return path.wstring(); }
std::wstring W(const std::string& text) { return fs::path(text).wstring(); }

// Kills whatever a test leaves running.
class Survivors {
public:
    ~Survivors() {
        for (const uint32_t pid : pids_) {
            os::ProcessHandle process = 0;
            if (os::OpenProcessHandle(pid, os::ProcessAccess::kControl, process) != 0)
                continue;
            os::KillProcess(process);
            os::WaitProcess(process, 5000);
            os::CloseProcess(process);
        }
    }
    void Add(uint32_t pid) { pids_.push_back(pid); }

private:
    std::vector<uint32_t> pids_;
};

std::string StatusField(uint32_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
    return "";
}

bool Exists(uint32_t pid) { return fs::exists("/proc/" + std::to_string(pid)); }

class ProcessTest : public ::testing::Test {
protected:
    TestLog log;
    TempDir dir;
    Survivors survivors;
    std::string shortName = UniqueShortName("proc");
    std::string eventName = SampleAppEventName(shortName);

    // A killed program leaves its event behind.
    ~ProcessTest() override { os::RemoveNamedEvent(W(eventName)); }

    // A copy of the sample program started without wait and without kept handles.
    SampleAppRecord Launch(const fs::path& exe, const std::map<std::string, std::string>& env = {},
                           const std::wstring& arguments = L"") {
        std::map<std::string, std::string> all{{"ZEB_SAMPLE_APP_SHORT_NM", shortName}};
        all.insert(env.begin(), env.end());
        ScopedEnv scoped(all);
        if (!fs::exists(exe)) CopySampleApp(exe);
        fs::remove(exe.parent_path() / "received_args.txt");
        const GL_PROCESS_INFO info = GL_PROCESS_Run(false, 0, W(exe), arguments, false, 0);
        EXPECT_NE(info.dwProcessId, 0u);
        if (info.dwProcessId != 0) survivors.Add(info.dwProcessId);
        const auto record = WaitForSampleAppRecord(exe);
        EXPECT_TRUE(record.has_value()) << exe;
        return record.value_or(SampleAppRecord{});
    }
};

}  // namespace

// ---- finding processes ---------------------------------------------------------------------

TEST_F(ProcessTest, GetIdMatchesABareNameInAnyFolderAndAFullPathOnlyThere) {
    const std::string name = "Zeb.Sample_" + shortName + ".exe";
    const fs::path first = dir / "one" / name, second = dir / "two" / name;
    const unsigned a = Launch(first).pid, b = Launch(second).pid;

    std::vector<uint32_t> pids{12345};  // cleared first
    std::wstring lower = W(name);
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    EXPECT_EQ(GL_PROCESS_GetID(lower, pids), 0);
    std::sort(pids.begin(), pids.end());
    std::vector<uint32_t> both{a, b};
    std::sort(both.begin(), both.end());
    EXPECT_EQ(pids, both);

    std::wstring upperPath = W(first);
    for (auto& c : upperPath) c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_EQ(GL_PROCESS_GetID(upperPath, pids), 0);
    EXPECT_EQ(pids, std::vector<uint32_t>{a});

    EXPECT_EQ(GL_PROCESS_GetID(W(dir / "three" / name), pids), 0);
    EXPECT_TRUE(pids.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, GetIdWithAPathFindsTheProgramHoweverThePathIsSpelled) {
    const std::string name = "Zeb.Sample_" + shortName + ".exe";
    fs::create_directories(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "linked");
    const unsigned pid = Launch(dir / "linked" / name).pid;  // started through the link
    const std::string base = dir.path().string();
    std::vector<uint32_t> pids;
    for (const std::string& spelling :
         {base + "/real/" + name, base + "/linked/" + name, base + "//real//" + name,
          base + "/./real/./" + name, base + "/linked/../real/" + name}) {
        EXPECT_EQ(GL_PROCESS_GetID(W(spelling), pids), 0);
        EXPECT_EQ(pids, std::vector<uint32_t>{pid}) << spelling;
    }
    // A file of the same name elsewhere is another program.
    CopySampleApp(dir / "copy" / name);
    EXPECT_EQ(GL_PROCESS_GetID(W(dir / "copy" / name), pids), 0);
    EXPECT_TRUE(pids.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, GetPathFromPidGivesTheExecutableOrFalseForNoProcess) {
    std::wstring path = L"unchanged";
    EXPECT_TRUE(GL_PROCESS_GetPathFromPID(os::CurrentProcessId(), path));
    EXPECT_EQ(path, os::ModulePath());
    path = L"unchanged";
    EXPECT_FALSE(GL_PROCESS_GetPathFromPID(0x3FFFFFF0u, path));
    EXPECT_EQ(path, L"unchanged");
    EXPECT_EQ(log.Text(), "");
}

// ---- ending processes ----------------------------------------------------------------------

TEST_F(ProcessTest, TerminateByNameOfAnUnknownProgramIsTrueAndSilent) {
    EXPECT_TRUE(GL_PROCESS_TerminateByName(L"no-such-program-" + W(shortName) + L".exe",
                                           W(eventName)));
    EXPECT_TRUE(GL_PROCESS_Terminate(0, W(eventName)));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, ExitEventEndsAProgramThatWatchesIt) {
    const fs::path exe = dir / "app" / "viewer.exe";
    const unsigned pid = Launch(exe).pid;
    const auto start = Clock::now();
    EXPECT_TRUE(GL_PROCESS_Terminate(pid, W(eventName)));
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
    // It closed by itself: its event is gone with it.
    os::EventHandle event = 0;
    EXPECT_EQ(os::OpenNamedEvent(W(eventName), event), os::err::kFileNotFound);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, EventNameWithASlashStillReachesTheProgram) {
    shortName = "with/slash-" + shortName;
    eventName = SampleAppEventName(shortName);
    const unsigned pid = Launch(dir / "viewer.exe").pid;
    EXPECT_TRUE(GL_PROCESS_Terminate(pid, W(eventName)));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
}

TEST_F(ProcessTest, EventTheProgramNeverCreatedFailsWith39AndForceStillEndsIt) {
    const unsigned pid = Launch(dir / "viewer.exe").pid;
    const std::string missing = SampleAppEventName("never-" + shortName);
    EXPECT_FALSE(GL_PROCESS_Terminate(pid, W(missing)));
    EXPECT_TRUE(ProcessAlive(static_cast<int>(pid)));
    const auto lines = log.Matching("[ENU:39]OpenEvent() 함수 실패(이벤트명: " + missing + ")");
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find("[E]"), std::string::npos);
    EXPECT_NE(lines[0].find(":GL_PROCESS_Terminate:"), std::string::npos);
    EXPECT_NE(lines[0].find("[ENW:2]"), std::string::npos);

    EXPECT_TRUE(GL_PROCESS_Terminate(pid, L""));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
}

TEST_F(ProcessTest, EventLeftByAKilledProgramFailsWith39AtOnce) {
    // The program that made the event is killed: nothing removes the event.
    const unsigned killed = Launch(dir / "killed" / "viewer.exe").pid;
    EXPECT_TRUE(GL_PROCESS_Terminate(killed, L""));
    // A program that never made that event: asked through it, it cannot be.
    const fs::path other = dir / "other" / "viewer.exe";
    CopySampleApp(other);
    const std::string otherName = UniqueShortName("other");
    ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", otherName}});
    const GL_PROCESS_INFO info = GL_PROCESS_Run(false, 0, W(other), L"", false, 0);
    survivors.Add(info.dwProcessId);
    ASSERT_TRUE(WaitForSampleAppRecord(other).has_value());

    EXPECT_FALSE(GL_PROCESS_Terminate(info.dwProcessId, W(eventName)));
    EXPECT_EQ(log.Matching("[ENU:39]OpenEvent() 함수 실패(이벤트명: " + eventName + ")").size(),
              1u)
        << log.Text();
    EXPECT_TRUE(log.Matching("[ENU:50]").empty()) << log.Text();
    EXPECT_TRUE(ProcessAlive(static_cast<int>(info.dwProcessId)));
    EXPECT_TRUE(GL_PROCESS_Terminate(info.dwProcessId, W(SampleAppEventName(otherName))));
}

TEST_F(ProcessTest, ProgramIgnoringItsEventTimesOutAfterFiveSecondsAndStaysAlive) {
    const unsigned pid = Launch(dir / "stubborn.exe", {{"ZEB_SAMPLE_APP_IGNORE_EVENT", "1"}}).pid;
    const auto start = Clock::now();
    EXPECT_FALSE(GL_PROCESS_Terminate(pid, W(eventName)));
    const double took = SecondsSince(start);
    EXPECT_GE(took, 4.9);
    EXPECT_LT(took, 7.0);
    EXPECT_TRUE(ProcessAlive(static_cast<int>(pid)));
    EXPECT_EQ(log.Matching("[ENU:50]Time Out(5000ms)").size(), 1u) << log.Text();
}

TEST_F(ProcessTest, ForceEndsTheProgramAndLeavesItsExecutableFree) {
    const fs::path exe = dir / "viewer.exe";
    const unsigned pid = Launch(exe, {{"ZEB_SAMPLE_APP_IGNORE_EVENT", "1"}}).pid;
    EXPECT_EQ(os::OpenForExclusiveUse(W(exe)), ETXTBSY);
    const auto start = Clock::now();
    EXPECT_TRUE(GL_PROCESS_Terminate(pid, L""));
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
    EXPECT_EQ(os::OpenForExclusiveUse(W(exe)), 0);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, ExecutableStillRunningElsewhereFailsWith60AfterTenSeconds) {
    const fs::path exe = dir / "shared.exe";
    const unsigned first = Launch(exe).pid;
    const unsigned second = Launch(exe).pid;
    const auto start = Clock::now();
    EXPECT_FALSE(GL_PROCESS_Terminate(first, L""));
    const double took = SecondsSince(start);
    EXPECT_GE(took, 9.9);
    EXPECT_LT(took, 13.0);
    EXPECT_FALSE(ProcessAlive(static_cast<int>(first)));
    EXPECT_TRUE(ProcessAlive(static_cast<int>(second)));
    const std::string expected =
        "[ENU:60]프로세스가 사용중이어서 종료되지 않음으로 판단(10000ms 대기): " + exe.string();
    EXPECT_EQ(log.Matching(expected).size(), 1u) << log.Text();
}

TEST_F(ProcessTest, RemovedExecutableKeepsItsPathAndCountsAsFree) {
    const fs::path exe = dir / "removed.exe";
    const unsigned pid = Launch(exe).pid;
    fs::remove(exe);
    std::wstring path;
    EXPECT_TRUE(GL_PROCESS_GetPathFromPID(pid, path));
    EXPECT_EQ(path, W(exe));
    std::vector<uint32_t> pids;
    EXPECT_EQ(GL_PROCESS_GetID(W(exe), pids), 0);
    EXPECT_EQ(pids, std::vector<uint32_t>{pid});
    EXPECT_TRUE(GL_PROCESS_TerminateByName(W(exe), L""));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pid)));
}

TEST_F(ProcessTest, TerminateByNameEndsEveryMatchingProgramAndNoOther) {
    const std::string name = "viewer-" + shortName + ".exe";
    const unsigned one = Launch(dir / "a" / name).pid;
    const unsigned two = Launch(dir / "b" / name).pid;
    const unsigned other = Launch(dir / "a" / ("editor-" + shortName + ".exe")).pid;
    EXPECT_TRUE(GL_PROCESS_TerminateByName(W(name), L""));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(one)));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(two)));
    EXPECT_TRUE(ProcessAlive(static_cast<int>(other)));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ProcessTest, AnIdThatRunsAnotherProgramByItsTurnIsLeftAlone) {
    // Two processes of one program file, each turning into another program (an exec keeps
    // the id) as soon as the other has ended. Whichever is ended first, the other's id runs
    // "sleep" by its turn, and the executable stays busy until it does.
    const fs::path twin = dir / "Twin.exe";
    fs::copy_file("/bin/sh", twin);
    fs::permissions(twin, fs::perms::owner_all);
    auto script = [&](const std::string& self, const std::string& peer) {
        const std::string own = (dir / (self + ".pid")).string();
        const std::string other = (dir / (peer + ".pid")).string();
        return W("-c \"echo $$ > " + own + "; until [ -s " + other + " ]; do sleep 0.02; done; " +
                 "read peer < " + other + "; while [ -e /proc/$peer/exe ]; do sleep 0.02; done; " +
                 "exec sleep 60\"");
    };
    const auto a = GL_PROCESS_Run(false, 0, W(twin), script("a", "b"), false, 0);
    const auto b = GL_PROCESS_Run(false, 0, W(twin), script("b", "a"), false, 0);
    survivors.Add(a.dwProcessId);
    survivors.Add(b.dwProcessId);
    for (const char* ready : {"a.pid", "b.pid"})
        for (int i = 0; i < 500 && ReadFileBytes(dir / ready).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));

    EXPECT_TRUE(GL_PROCESS_TerminateByName(L"Twin.exe", L"")) << log.Text();
    const bool aLives = ProcessAlive(static_cast<int>(a.dwProcessId));
    const bool bLives = ProcessAlive(static_cast<int>(b.dwProcessId));
    ASSERT_NE(aLives, bLives) << log.Text();
    const uint32_t left = aLives ? a.dwProcessId : b.dwProcessId;
    const fs::path running = fs::read_symlink("/proc/" + std::to_string(left) + "/exe");
    EXPECT_EQ(running.filename(), "sleep");
    EXPECT_EQ(log.Matching("[ENU:35]종료할 프로그램이 아니어서 종료하지 않음(" +
                           std::to_string(left) + "): " + running.string())
                  .size(),
              1u)
        << log.Text();
}

TEST_F(ProcessTest, AnIdThatEndedOnItsOwnByItsTurnCountsAsEnded) {
    // Two processes of one program file, each ending by itself once the other has ended:
    // whichever is ended first, the other's id is gone by its turn. They are started by a
    // shell that leaves them at once, so nobody here keeps their ids alive after they end.
    const fs::path pair = dir / "Pair.exe";
    fs::copy_file("/bin/sh", pair);
    fs::permissions(pair, fs::perms::owner_all);
    auto script = [&](const std::string& self, const std::string& peer) {
        const fs::path file = dir / (self + ".sh");
        const std::string own = (dir / (self + ".pid")).string();
        const std::string other = (dir / (peer + ".pid")).string();
        WriteFileBytes(file, "echo $$ > " + own + "; until [ -s " + other +
                                 " ]; do sleep 0.02; done; read peer < " + other +
                                 "; while [ -e /proc/$peer/exe ]; do sleep 0.02; done\n");
        return pair.string() + " " + file.string() + " &";
    };
    const std::string both = script("a", "b") + " " + script("b", "a");
    GL_PROCESS_Run(true, 0, L"/bin/sh", W("-c \"" + both + "\""), true, 10000);
    uint32_t pids[2] = {};
    for (int k = 0; k < 2; ++k) {
        const fs::path ready = dir / (k == 0 ? "a.pid" : "b.pid");
        for (int i = 0; i < 500 && ReadFileBytes(ready).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pids[k] = static_cast<uint32_t>(std::stoul(ReadFileBytes(ready)));
        survivors.Add(pids[k]);
    }

    EXPECT_TRUE(GL_PROCESS_TerminateByName(L"Pair.exe", L"")) << log.Text();
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pids[0])));
    EXPECT_FALSE(ProcessAlive(static_cast<int>(pids[1])));
    EXPECT_TRUE(log.Matching("[ENU:30]").empty()) << log.Text();
}

// ---- exit codes ------------------------------------------------------------------------------

TEST_F(ProcessTest, ExitCodeIsReadAlsoWhenTheEndOfChildrenWasInheritedAsIgnored) {
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    const fs::path helper = fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper";
    const auto info = GL_PROCESS_Run(true, 0, W(helper), L"exit 7", true, 10000);
    uint32_t code = 0;
    const int read = os::GetProcessExitCode(info.hProcess, code);
    os::CloseProcess(info.hProcess);
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(read, 0);
    EXPECT_EQ(code, 7u);
}

TEST_F(ProcessTest, ExitCodeTakenElsewhereIsAFailureNotZero) {
    const fs::path helper = fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper";
    const auto info = GL_PROCESS_Run(true, 0, W(helper), L"exit 7", true, 10000);
    int status = 0;
    ASSERT_EQ(waitpid(static_cast<pid_t>(info.dwProcessId), &status, 0),
              static_cast<pid_t>(info.dwProcessId));
    uint32_t code = 12345;
    EXPECT_NE(os::GetProcessExitCode(info.hProcess, code), 0);
    EXPECT_EQ(code, 12345u);
    os::CloseProcess(info.hProcess);
}

// ---- starting programs ---------------------------------------------------------------------

TEST_F(ProcessTest, InlineArgumentsAfterTheExtensionWinOverTheArgumentParameter) {
    const fs::path exe = dir / "viewer.exe";
    const auto record = Launch(exe, {}, L"--ignored");
    EXPECT_EQ(record.args, std::vector<std::string>{"--ignored"});
    const auto inlined = [&] {
        ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", shortName}});
        fs::remove(dir / "received_args.txt");
        const auto info = GL_PROCESS_Run(false, 0, W(exe) + L" --A=1 two", L"--ignored", false, 0);
        survivors.Add(info.dwProcessId);
        return WaitForSampleAppRecord(exe);
    }();
    ASSERT_TRUE(inlined.has_value());
    EXPECT_EQ(inlined->args, (std::vector<std::string>{"--A=1", "two"}));
    EXPECT_EQ(inlined->exe, exe.string());
}

TEST_F(ProcessTest, ArgumentsAreSplitByTheWindowsRules) {
    const auto record =
        Launch(dir / "viewer.exe", {}, L"--PRG_ID=\"p 1\" \"say \\\"hi\\\"\" plain  \"\" 업데이트");
    EXPECT_EQ(record.args,
              (std::vector<std::string>{"--PRG_ID=p 1", "say \"hi\"", "plain", "", "업데이트"}));
}

TEST_F(ProcessTest, ProgramStartsInItsFolderAndTheCallersDirectoryComesBack) {
    const fs::path exe = dir / "folder with space" / "viewer.exe";
    const std::wstring before = os::CurrentDirectory();
    const auto record = Launch(exe);
    EXPECT_EQ(record.cwd, exe.parent_path().string());
    EXPECT_EQ(os::CurrentDirectory(), before);
}

TEST_F(ProcessTest, RunWithoutWaitGivesTheProgramsOwnIdAndNoChildToReap) {
    const fs::path exe = dir / "viewer.exe";
    CopySampleApp(exe);
    ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", shortName}});
    const auto info = GL_PROCESS_Run(false, 0, W(exe), L"", false, 0);
    survivors.Add(info.dwProcessId);
    const auto record = WaitForSampleAppRecord(exe);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->pid, info.dwProcessId);
    EXPECT_EQ(info.dwThreadId, info.dwProcessId);
    EXPECT_NE(info.hProcess, 0);
    EXPECT_EQ(info.hThread, 0);
    // Not a child of this process: nobody here would ever reap it.
    EXPECT_NE(std::stoul(StatusField(info.dwProcessId, "PPid")), os::CurrentProcessId());
}

TEST_F(ProcessTest, KeptHandleGivesTheExitCodeAndClosingItReapsTheChild) {
    const fs::path helper = fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper";
    const auto info = GL_PROCESS_Run(true, 0, W(helper), L"exit 7", true, 10000);
    ASSERT_NE(info.hProcess, 0);
    uint32_t code = 0;
    EXPECT_EQ(os::GetProcessExitCode(info.hProcess, code), 0);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(Exists(info.dwProcessId));  // ended, waiting to be reaped
    os::CloseProcess(info.hProcess);
    os::CloseThread(info.hThread);
    EXPECT_FALSE(Exists(info.dwProcessId));
}

TEST_F(ProcessTest, WaitTimeLimitLeavesTheProgramRunning) {
    const fs::path exe = dir / "viewer.exe";
    CopySampleApp(exe);
    ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", shortName}});
    const auto start = Clock::now();
    const auto info = GL_PROCESS_Run(true, 0, W(exe), L"", true, 400);
    const double took = SecondsSince(start);
    survivors.Add(info.dwProcessId);
    EXPECT_GE(took, 0.39);
    EXPECT_LT(took, 2.0);
    uint32_t code = 0;
    EXPECT_EQ(os::GetProcessExitCode(info.hProcess, code), 0);
    EXPECT_EQ(code, os::kStillActive);

    // Closed while running: reaped once it has ended, at the next start.
    os::CloseProcess(info.hProcess);
    ASSERT_TRUE(WaitForSampleAppRecord(exe).has_value());
    EXPECT_TRUE(GL_PROCESS_Terminate(info.dwProcessId, W(eventName)));
    const fs::path helper = fs::path(ZEB_TEST_HELPER_DIR) / "zeb-test-helper";
    GL_PROCESS_Run(false, 0, W(helper), L"exit 0", true, 10000);
    EXPECT_FALSE(Exists(info.dwProcessId));
}

TEST_F(ProcessTest, WaitWithoutKeptHandlesWaitsForTheEnd) {
    const fs::path exe = dir / "quick.exe";
    CopySampleApp(exe);
    const fs::path extra = dir / "records" / "extra.txt";
    fs::create_directories(extra.parent_path());
    ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", shortName},
                   {"ZEB_SAMPLE_APP_EXIT_AT_ONCE", "1"},
                   {"ZEB_SAMPLE_APP_RECORD", extra.string()}});
    const auto info = GL_PROCESS_Run(false, 0, W(exe), L"x", true, GL_INFINITE);
    EXPECT_NE(info.dwProcessId, 0u);
    EXPECT_FALSE(ProcessAlive(static_cast<int>(info.dwProcessId)));
    const auto record = ParseSampleAppRecord(ReadFileBytes(extra));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->pid, info.dwProcessId);
    EXPECT_EQ(record->args, std::vector<std::string>{"x"});
    EXPECT_EQ(ReadFileBytes(dir / "received_args.txt"), ReadFileBytes(extra));
}

TEST_F(ProcessTest, NoWindowFlagGivesNoConsoleAndNoFileIsInherited) {
    const fs::path exe = dir / "tool.exe";
    CopySampleApp(exe);
    FILE* open = std::fopen((dir / "held-open.txt").c_str(), "w");
    ASSERT_NE(open, nullptr);
    ScopedEnv env({{"ZEB_SAMPLE_APP_SHORT_NM", shortName}});
    const auto info = GL_PROCESS_Run(true, GL_CREATE_NO_WINDOW, W(exe), L"", false, 0);
    std::fclose(open);
    survivors.Add(info.dwProcessId);
    ASSERT_TRUE(WaitForSampleAppRecord(exe).has_value());
    const fs::path fds = "/proc/" + std::to_string(info.dwProcessId) + "/fd";
    for (const char* stream : {"0", "1", "2"}) EXPECT_EQ(fs::read_symlink(fds / stream), "/dev/null");
    // Besides them the program holds only what it opened itself (its exit event's lock).
    for (const auto& entry : fs::directory_iterator(fds)) {
        const std::string target = fs::read_symlink(entry.path()).string();
        EXPECT_TRUE(target == "/dev/null" || target.rfind("/dev/shm/sem.", 0) == 0) << target;
    }
    EXPECT_TRUE(GL_PROCESS_Terminate(info.dwProcessId, W(eventName)));
    os::CloseProcess(info.hProcess);
}

TEST_F(ProcessTest, MissingProgramFailsAfterAboutThreeSecondsWithAnAllZeroRecord) {
    const std::wstring before = os::CurrentDirectory();
    const auto start = Clock::now();
    const auto info = GL_PROCESS_Run(true, 0, W(dir / "missing" / "setup.exe"), L"", true, 180000);
    const double took = SecondsSince(start);
    EXPECT_GE(took, 2.9);
    EXPECT_LT(took, 4.5);
    EXPECT_EQ(info.hProcess, 0);
    EXPECT_EQ(info.hThread, 0);
    EXPECT_EQ(info.dwProcessId, 0u);
    EXPECT_EQ(info.dwThreadId, 0u);
    EXPECT_EQ(os::CurrentDirectory(), before);
    const auto lines = log.Matching("[ENU:10]CreateProcess() 실패: 180000ms 대기[ENW:2]");
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find(":GL_PROCESS_Run:"), std::string::npos);
}

TEST_F(ProcessTest, FailingStartWithoutTimeLimitIsBoundedTheSameWay) {
    const auto start = Clock::now();
    const auto info = GL_PROCESS_Run(false, 0, W(dir / "notinstalled.exe"), L"/quiet", true,
                                     GL_INFINITE);
    const double took = SecondsSince(start);
    EXPECT_LT(took, 4.5);
    EXPECT_EQ(info.dwProcessId, 0u);
    EXPECT_EQ(log.Matching("[ENU:10]CreateProcess() 실패: -1ms 대기").size(), 1u) << log.Text();
}

TEST_F(ProcessTest, FileThatIsNoProgramIsNotStarted) {
    const fs::path notProgram = dir / "readme.exe";
    WriteFileBytes(notProgram, "just text\n");
    fs::permissions(notProgram, fs::perms::owner_all);
    const auto info = GL_PROCESS_Run(false, 0, W(notProgram), L"", false, 0);
    EXPECT_EQ(info.dwProcessId, 0u);
    EXPECT_EQ(log.Matching("[ENU:10]CreateProcess() 실패: 0ms 대기[ENW:8]").size(), 1u)
        << log.Text();
}

TEST_F(ProcessTest, BareProgramNameIsLookedUpOnPath) {
    const fs::path bin = dir / "bin";
    CopySampleApp(bin / ("installer-" + shortName + ".exe"));
    const std::string path = bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ScopedEnv env({{"PATH", path}, {"ZEB_SAMPLE_APP_SHORT_NM", shortName},
                   {"ZEB_SAMPLE_APP_EXIT_AT_ONCE", "1"}});
    const auto info =
        GL_PROCESS_Run(false, 0, W("installer-" + shortName + ".exe"), L"/i", true, 10000);
    ASSERT_NE(info.dwProcessId, 0u);
    const auto record = WaitForSampleAppRecord(bin / "x");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->args, std::vector<std::string>{"/i"});
}
