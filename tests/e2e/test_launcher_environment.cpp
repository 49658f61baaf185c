// The real launcher started in a hostile environment: its standard streams closed, its
// standard error a pipe nobody reads, the end of its children ignored. It still does its job,
// and what it starts gets a sound start of its own.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

struct StartUp {
    bool closedStandardStreams = false;
    bool brokenStandardError = false;
    bool childEndIgnored = false;
};

// Runs the launcher as RunLauncher does, its start-up prepared in the child as a careless
// or hostile starter leaves it. The exit code, or minus the signal that ended it (also the
// time-out's kill).
int RunStartedSo(const std::vector<std::string>& args, const LauncherOptions& options,
                 const StartUp& how) {
    std::vector<std::string> storage{options.executable.string()};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const EnvChanges env = LauncherEnvironment(options);

    const pid_t child = fork();
    if (child < 0) return -1000;
    if (child == 0) {
        for (const auto& [name, value] : env) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
        if (how.brokenStandardError) {
            int ends[2];
            if (pipe(ends) != 0) _exit(126);
            close(ends[0]);
            dup2(ends[1], 2);
        }
        if (how.closedStandardStreams)
            for (int fd = 0; fd <= 2; ++fd) close(fd);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGCHLD, how.childEndIgnored ? SIG_IGN : SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class HostileStart : public ::testing::Test {
protected:
    // An archive of the sample program with version.txt holding version, as the release.
    void PublishArchive(const std::string& version) {
        const fs::path content = s.dir.path() / ("content-" + version);
        s.MakeContent(content, version);
        Publish(s.server.PublishProgramArchive(s.shortName, version, content, s.InstallFolder(),
                                               "viewer.exe"));
    }
    void Publish(const ProductInfo& program) {
        std::wstring version;
        GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), false, version);
        s.server.PublishRelease("p1", program,
                                s.server.LauncherInfo(fs::path(version).string()));
    }

    UpdateScenario s;
};

}  // namespace

TEST_F(HostileStart, ABrokenStandardErrorDoesNotEndTheLauncher) {
    // Every log line and the missing-item box go to standard error as well.
    const int code = RunStartedSo({"--CMD=\"x\""}, s.Options(), {.brokenStandardError = true});
    EXPECT_EQ(code, 0);
    const std::string log = ReadLauncherLog(s.ProgramData());
    EXPECT_NE(log.find("원본 실행인자: --CMD=\"x\""), std::string::npos) << log;

    // A whole update run, with its error lines, too.
    PublishArchive("1.0.0");
    EXPECT_EQ(RunStartedSo(s.Args(), s.Options(), {.brokenStandardError = true}), 0);
    EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "1.0.0");
}

TEST_F(HostileStart, ClosedStandardStreamsReachTheProgramAsTheNullDevice) {
    PublishArchive("1.0.0");
    // The program keeps running, so that its streams can be looked at.
    const LauncherOptions options = s.Options({{"ZEB_SAMPLE_APP_EXIT_AT_ONCE", std::nullopt}});
    const int code = RunStartedSo(s.Args(), options, {.closedStandardStreams = true});
    EXPECT_EQ(code, 0);
    const auto record = WaitForSampleAppRecord(s.Install() / "viewer.exe");
    ASSERT_TRUE(record.has_value()) << ReadLauncherLog(s.ProgramData());
    const fs::path streams = "/proc/" + std::to_string(record->pid) + "/fd";
    for (const char* fd : {"0", "1", "2"}) {
        std::error_code error;
        EXPECT_EQ(fs::read_symlink(streams / fd, error), "/dev/null") << fd;
    }
    kill(static_cast<pid_t>(record->pid), SIGKILL);
    os::RemoveNamedEvent(fs::path(SampleAppEventName(s.shortName)).wstring());
    EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "1.0.0");
}

TEST_F(HostileStart, ABrokenArchiveFailsAlsoWhenTheEndOfChildrenIsIgnored) {
    s.MakeContent(s.Install(), "old");
    WriteFileBytes(s.Install() / "user.cfg", "settings");
    Publish(s.server.PublishProgramFile(s.shortName, "2.0.0", s.shortName + ".7z",
                                        "this is not an archive", s.InstallFolder(),
                                        "viewer.exe"));

    EXPECT_EQ(RunStartedSo(s.Args(), s.Options(), {.childEndIgnored = true}), 0);

    // The tool's failure was read as one: the old files came back, nothing was stored.
    EXPECT_EQ(s.Log("[ENU:80]압축파일 풀기 실패").size(), 1u) << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(s.Install() / "user.cfg"), "settings");
    EXPECT_EQ(ReadFileBytes(s.Install() / "version.txt"), "old");
    EXPECT_FALSE(fs::exists(s.SettingsFile()));
}
