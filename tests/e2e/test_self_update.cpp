// The launcher replacing itself: the first run hands over to the temporary launcher, which
// waits for it, replaces ZEB.Launcher.exe and carries on with the first run's command line.
// Runs that wait for "every ZEB.Launcher.exe" get a PID namespace of their own, so that
// launchers of other tests running meanwhile are not seen.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "common/GL_File.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/ReleaseSigning.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUnshare = "/usr/bin/unshare";

std::string HelperExe() { return std::string(ZEB_TEST_HELPER_DIR) + "/zeb-test-helper"; }

bool CanIsolate() {
    return fs::exists(kUnshare) &&
           RunProcess(kUnshare, {"--fork", "--pid", "--mount-proc", "/bin/true"}).exitCode == 0;
}

// Runs command in a new PID namespace and waits until every process in it has ended.
ProcessResult RunIsolated(const std::vector<std::string>& command,
                          const LauncherOptions& options) {
    std::vector<std::string> args{"--fork", "--pid", "--mount-proc", HelperExe(), "reap"};
    args.insert(args.end(), command.begin(), command.end());
    return RunProcess(kUnshare, args, LauncherEnvironment(options), options.timeout);
}

std::string FileVersion(const fs::path& file) {
    std::wstring version;
    if (!GL_FILE_GetVersion(file.wstring(), false, version)) return "<unreadable>";
    return fs::path(version).string();
}

// A copy of the launcher (or of source) whose version record says version (file and
// product version).
void WriteLauncherWithVersion(const fs::path& target, const uint16_t (&version)[4],
                              const fs::path& source = ZEB_LAUNCHER_EXE) {
    std::string bytes = ReadFileBytes(source);
    const std::string magic = "ZEBVER01";
    // The build stamps the same numbers as file and product version.
    uint16_t current[8] = {};
    unsigned parts[4] = {};
    ASSERT_EQ(std::sscanf(FileVersion(source).c_str(), "%u.%u.%u.%u", &parts[0],
                          &parts[1], &parts[2], &parts[3]),
              4);
    for (int i = 0; i < 8; ++i) current[i] = static_cast<uint16_t>(parts[i % 4]);
    int patched = 0;
    for (size_t at = bytes.find(magic); at != std::string::npos; at = bytes.find(magic, at + 1)) {
        if (at + magic.size() + sizeof current > bytes.size() ||
            std::memcmp(&bytes[at + magic.size()], current, sizeof current) != 0)
            continue;
        for (int i = 0; i < 8; ++i)
            std::memcpy(&bytes[at + magic.size() + 2 * i], &version[i % 4], 2);
        ++patched;
    }
    ASSERT_EQ(patched, 1) << "version record of the built launcher";
    fs::create_directories(target.parent_path());
    WriteFileBytes(target, bytes);
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
}

class SelfUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        app = s.dir.path() / "app";
        launcher = CopyLauncherTo(app);
        ASSERT_FALSE(launcher.empty());
        tempLauncher = app / "ZEB.Launcher_.exe";
    }

    // The program: a script that appends its arguments, then "end", to starts.log beside it.
    ProductInfo PublishProgram(const std::string& version) {
        const fs::path content = s.dir.path() / ("content-" + version);
        fs::create_directories(content);
        WriteFileBytes(content / "viewer.exe",
                       "#!/bin/sh\nprintf '%s\\n' \"$@\" end >> \"$(dirname \"$0\")/starts.log\"\n");
        fs::permissions(content / "viewer.exe", fs::perms::owner_all);
        return s.server.PublishProgramArchive(s.shortName, version, content, s.InstallFolder(),
                                              "viewer.exe");
    }
    std::string Starts() const { return ReadFileBytes(s.Install() / "starts.log"); }

    // A pending-settings file as a first run leaves it, with the given command line member.
    void WritePending(const ProductInfo& program, const std::string& argsMember) {
        ProductInfo updated = program;
        updated.needToUpdate = true;
        const std::string text = "{\"UPDATE_PRG_INFO\":" + updated.ToJson() +
                                 ",\"UPDATE_LAUNCHER_INFO\":" +
                                 s.server.LauncherInfo(FileVersion(ZEB_LAUNCHER_EXE)).ToJson() +
                                 argsMember + "}";
        fs::create_directories(s.PendingFile().parent_path());
        WriteFileBytes(s.PendingFile(), "\xEF\xBB\xBF" + text);
    }

    UpdateScenario s;
    fs::path app, launcher, tempLauncher;
};

TEST_F(SelfUpdate, TheTemporaryLauncherReplacesTheOldOneAndStartsTheProgramOnce) {
    if (!CanIsolate()) GTEST_SKIP() << "no PID namespace available";
    const fs::path newLauncher = s.dir.path() / "new/ZEB.Launcher.exe";
    WriteLauncherWithVersion(newLauncher, {9, 8, 7, 6});
    s.server.PublishRelease("p1", PublishProgram("1.0.0"),
                            s.server.LauncherInfo("9.8.7.6", newLauncher));

    // The launcher file is replaced by one rename: it is never missing meanwhile.
    std::atomic<bool> running{true};
    std::atomic<int> missing{0};
    std::thread watcher([&] {
        while (running) missing += !fs::exists(launcher);
    });
    const ProcessResult run = RunIsolated(
        {launcher.string(), "--PRG_ID=p1", "--COMP_ID=acme", "--COMP_PASS=s3cret",
         "--CUST_ID=c7", "--PRG_ARGS=open file.txt",
         "--__TEST_UPDATE_URL__=" + s.server.BaseUrl()},
        s.Options());
    running = false;
    watcher.join();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(FileVersion(launcher), "9.8.7.6");
    EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(newLauncher));
    EXPECT_FALSE(fs::exists(tempLauncher));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
    // Started once, with the items of the first run, the company pass included.
    EXPECT_EQ(Starts(), "--COMP_ID=acme\n--COMP_PASS=s3cret\n--CUST_ID=c7\n--PRG_ARGS=open file.txt\n"
                        "--_TEST_UPDATE_URL__=" + s.server.BaseUrl() + "\nend\n")
        << ReadLauncherLog(s.ProgramData());
    // Only the first run asked the server.
    int posts = 0;
    for (const std::string& line : s.server.RequestLines()) posts += line.rfind("POST ", 0) == 0;
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(s.Log("런처 업데이트 후처리 중 신버전 런처 파일명 변경").size(), 1u);
    const std::string settings = ReadFileBytes(s.SettingsFile());
    EXPECT_FALSE(settings.empty());
    EXPECT_EQ(settings.find("_PRG_ARGS_TMP"), std::string::npos);
    EXPECT_EQ(run.err.find("업데이트하지 못했습니다."), std::string::npos) << run.err;
}

TEST_F(SelfUpdate, AnOldLauncherStillRunningAfterFiveSecondsKeepsItsFile) {
    if (!CanIsolate()) GTEST_SKIP() << "no PID namespace available";
    WriteLauncherWithVersion(tempLauncher, {9, 8, 7, 6});
    // Any process of that file name counts as the old launcher.
    const fs::path other = s.dir.path() / "other/ZEB.Launcher.exe";
    fs::create_directories(other.parent_path());
    fs::copy_file("/bin/sleep", other);
    WritePending(PublishProgram("1.0.0"), ",\"_PRG_ARGS_TMP\":\"--PRG_ID=\\\"p1\\\" --CUST_ID=\\\"c7\\\"\"");

    const auto started = std::chrono::steady_clock::now();
    const ProcessResult run = RunIsolated(
        {"/bin/sh", "-c", "\"$0\" 30 & old=$!; \"$1\" --PRG_ID=p1 --LAUNCHER_UPDATED=p1; kill $old",
         other.string(), tempLauncher.string()},
        s.Options());
    const auto waited = std::chrono::steady_clock::now() - started;

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(waited, std::chrono::seconds(5));
    EXPECT_TRUE(ShownBox(run.err, "런처 업데이트 후처리 중 구버전 런처 종료대기 실패")) << run.err;
    EXPECT_EQ(s.Log("[ENU:84]런처 업데이트 후처리 중 구버전 런처 종료대기 실패").size(), 1u);
    EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(ZEB_LAUNCHER_EXE));
    EXPECT_TRUE(fs::exists(tempLauncher));
    // The program is still updated and started, with the first run's items: its command line
    // was restored before the wait failed.
    EXPECT_EQ(Starts(), "--CUST_ID=c7\nend\n") << ReadLauncherLog(s.ProgramData());
}

TEST_F(SelfUpdate, APendingFileWithoutTheCommandLineStillUpdatesAndStartsTheProgram) {
    WriteLauncherWithVersion(tempLauncher, {9, 8, 7, 6});
    WritePending(PublishProgram("1.0.0"), "");

    const ProcessResult run =
        RunLauncher({"--PRG_ID=p1", "--LAUNCHER_UPDATED=p1"}, [&] {
            LauncherOptions options = s.Options();
            options.executable = tempLauncher;
            return options;
        }());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(ShownBox(run.err, "런처 업데이트 후처리 중 인자읽기 실패1: _PRG_ARGS_TMP")) << run.err;
    EXPECT_EQ(s.Log("[ENU:81]런처 업데이트 후처리 중 인자읽기 실패1: _PRG_ARGS_TMP").size(), 1u);
    EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(ZEB_LAUNCHER_EXE));
    EXPECT_EQ(Starts(), "--LAUNCHER_UPDATED=p1\nend\n") << ReadLauncherLog(s.ProgramData());
    EXPECT_FALSE(fs::exists(s.PendingFile()));
}

TEST_F(SelfUpdate, ATemporaryLauncherUnderAnotherNameReplacesNothing) {
    const fs::path renamed = app / "Other.exe";
    WriteLauncherWithVersion(renamed, {9, 8, 7, 6});
    WritePending(PublishProgram("1.0.0"), ",\"_PRG_ARGS_TMP\":\"--PRG_ID=\\\"p1\\\"\"");

    LauncherOptions options = s.Options();
    options.executable = renamed;
    const ProcessResult run = RunLauncher({"--PRG_ID=p1", "--LAUNCHER_UPDATED=p1"}, options);

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.Log("[ENU:83]런처 업데이트 후처리 실패(비정상 파일명): " + tempLauncher.string())
                  .size(),
              1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(ZEB_LAUNCHER_EXE));
    EXPECT_TRUE(fs::exists(renamed));
}

// The launcher built with the test publisher's keys, updating itself from a signed release:
// the temporary launcher checks the signature of what the first run left it.
class SignedSelfUpdate : public SelfUpdate {
protected:
    void SetUp() override {
        app = s.dir.path() / "app";
        launcher = CopyLauncherTo(app, "ZEB.Launcher.exe", ZEB_KEYED_LAUNCHER_EXE);
        ASSERT_FALSE(launcher.empty());
        tempLauncher = app / "ZEB.Launcher_.exe";
        s.EnableDebugLog();
    }
    // The program 1.0.0 and the launcher 9.8.7.6 (newLauncher), with every hash, signed.
    std::string SignedRelease(const fs::path& newLauncher) {
        ProductInfo program = PublishProgram("1.0.0");
        s.server.NameHashes(program);
        program.tool7zSha256 = FileSha256(s.ToolPath());
        ProductInfo launcherInfo = s.server.LauncherInfo("9.8.7.6", newLauncher);
        s.server.NameHashes(launcherInfo);
        return SignRelease("p1", program, launcherInfo, PublisherKey());
    }
    size_t Verified() const {
        return s.Log("릴리스 서명 확인(키: " + KeyIdOf(PublisherKey()) + ")").size();
    }
};

TEST_F(SignedSelfUpdate, TheKeyedLauncherReplacesItselfFromASignedRelease) {
    if (!CanIsolate()) GTEST_SKIP() << "no PID namespace available";
    const fs::path newLauncher = s.dir.path() / "new/ZEB.Launcher.exe";
    WriteLauncherWithVersion(newLauncher, {9, 8, 7, 6}, ZEB_KEYED_LAUNCHER_EXE);
    s.server.PublishReleaseText("p1", SignedRelease(newLauncher));

    const ProcessResult run = RunIsolated(
        {launcher.string(), "--PRG_ID=p1", "--CUST_ID=c7", "--__TEST_UPDATE_URL__=" + s.server.BaseUrl()},
        s.Options());

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FileVersion(launcher), "9.8.7.6") << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(newLauncher));
    EXPECT_EQ(Starts(), "--CUST_ID=c7\n--_TEST_UPDATE_URL__=" + s.server.BaseUrl() + "\nend\n");
    // Checked by the first run as the server sent it, and by the temporary launcher as the
    // first run left it.
    EXPECT_EQ(Verified(), 2u) << ReadLauncherLog(s.ProgramData());
}

TEST_F(SignedSelfUpdate, PendingSettingsChangedAfterTheFirstRunAreNotUsed) {
    WriteLauncherWithVersion(tempLauncher, {9, 8, 7, 6}, ZEB_KEYED_LAUNCHER_EXE);
    rapidjson::Document pending;
    pending.Parse(SignedRelease(tempLauncher).c_str());
    const fs::path elsewhere = s.dir.path() / "elsewhere";
    rapidjson::Pointer("/UPDATE_PRG_INFO/ROOT_DIR_CLI_INST").Set(pending, (elsewhere.string() + "/").c_str());
    rapidjson::Pointer("/_PRG_ARGS_TMP").Set(pending, "--PRG_ID=\"p1\" --CUST_ID=\"c7\"");
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    pending.Accept(writer);
    fs::create_directories(s.PendingFile().parent_path());
    WriteFileBytes(s.PendingFile(), std::string("\xEF\xBB\xBF") + text.GetString());
    const std::string keyedLauncher = ReadFileBytes(launcher);
    LauncherOptions options = s.Options();
    options.executable = tempLauncher;

    const ProcessResult run = RunLauncher({"--PRG_ID=p1", "--LAUNCHER_UPDATED=p1"}, options);

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string refused = "런처 업데이트 후처리 프로그램 업데이트 정보 임시파일 서명 검증 실패";
    EXPECT_TRUE(ShownBox(run.err, refused)) << run.err;
    EXPECT_EQ(s.Log("[ENU:80]" + refused).size(), 1u) << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:50]서명 후 변경된 항목: /UPDATE_PRG_INFO/ROOT_DIR_CLI_INST").size(), 1u);
    // Nothing of it was used: the launcher stays, no program is installed or started.
    EXPECT_EQ(ReadFileBytes(launcher), keyedLauncher);
    EXPECT_TRUE(fs::exists(tempLauncher));
    EXPECT_EQ(s.Log("[ENU:55]프로그램 업데이트 정보 ParseUpdateInfo() 실패").size(), 1u);
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_FALSE(fs::exists(s.Install()));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
}

TEST_F(SignedSelfUpdate, ANewLauncherWithOneByteChangedIsNeverStarted) {
    const fs::path newLauncher = s.dir.path() / "new/ZEB.Launcher.exe";
    WriteLauncherWithVersion(newLauncher, {9, 8, 7, 6}, ZEB_KEYED_LAUNCHER_EXE);
    s.server.PublishReleaseText("p1", SignedRelease(newLauncher));
    const fs::path published = s.server.Folder() / "files/ZebLauncher/9.8.7.6/ZEB.Launcher.exe";
    std::string bytes = ReadFileBytes(published);
    bytes[bytes.size() / 2] ^= 0x01;
    WriteFileBytes(published, bytes);
    const std::string keyedLauncher = ReadFileBytes(launcher);
    LauncherOptions options = s.Options();
    options.executable = launcher;

    const ProcessResult run =
        RunLauncher({"--PRG_ID=p1", "--CUST_ID=c7", "--__TEST_UPDATE_URL__=" + s.server.BaseUrl()}, options);

    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path downloaded = s.Root() / "_update/ZebLauncher/download/9_8_7_6/ZEB.Launcher.exe";
    EXPECT_EQ(s.Log("[ENU:20]다운로드 파일 해시 불일치: " + downloaded.string()).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:30]런처 파일 다운로드 실패").size(), 1u);
    EXPECT_EQ(s.Log("[ENU:80]런처 업데이트 실패").size(), 1u);
    EXPECT_FALSE(fs::exists(downloaded));
    EXPECT_FALSE(fs::exists(tempLauncher));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
    EXPECT_EQ(ReadFileBytes(launcher), keyedLauncher);
    // The program is updated and started by the old launcher.
    EXPECT_EQ(Starts(), "--CUST_ID=c7\n--_TEST_UPDATE_URL__=" + s.server.BaseUrl() + "\nend\n")
        << ReadLauncherLog(s.ProgramData());
}

// A temporary launcher that never takes over (it ends at once, or hangs before it starts
// its work): the first run notices, ends it and updates and starts the program itself.
class TakeOver : public SelfUpdate {
protected:
    ProcessResult RunWithNewLauncher(const std::string& script) {
        const fs::path fake = s.dir.path() / "fake/ZEB.Launcher.exe";
        fs::create_directories(fake.parent_path());
        WriteFileBytes(fake, script);
        fs::permissions(fake, fs::perms::owner_all);
        s.server.PublishRelease("p1", PublishProgram("1.0.0"), s.server.LauncherInfo("9.8.7.6", fake));
        LauncherOptions options = s.Options();
        options.executable = launcher;
        return RunLauncher({"--PRG_ID=p1", "--CUST_ID=c7", "--__TEST_UPDATE_URL__=" + s.server.BaseUrl()},
                           options);
    }
    void ExpectTheFirstRunCarriedOn(const ProcessResult& run) {
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(s.Log("[ENU:75]임시 런처가 업데이트를 넘겨받지 못함\r\n파일경로: " +
                        tempLauncher.string())
                      .size(),
                  1u)
            << ReadLauncherLog(s.ProgramData());
        EXPECT_EQ(s.Log("[ENU:80]런처 업데이트 실패").size(), 1u);
        EXPECT_EQ(Starts(), "--CUST_ID=c7\n--_TEST_UPDATE_URL__=" + s.server.BaseUrl() + "\nend\n");
        EXPECT_EQ(ReadFileBytes(launcher), ReadFileBytes(ZEB_LAUNCHER_EXE));
        EXPECT_FALSE(fs::exists(s.PendingFile()));
    }
};

TEST_F(TakeOver, ATemporaryLauncherThatEndsAtOnceLeavesTheWorkToTheFirstRun) {
    ExpectTheFirstRunCarriedOn(RunWithNewLauncher("#!/bin/sh\nexit 3\n"));
}

TEST_F(TakeOver, ATemporaryLauncherThatNeverSignalsIsEndedAfterTenSeconds) {
    const fs::path pid = s.dir.path() / "fake.pid";
    const auto started = std::chrono::steady_clock::now();
    const ProcessResult run =
        RunWithNewLauncher("#!/bin/sh\necho $$ > '" + pid.string() + "'\nexec sleep 600\n");
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    ExpectTheFirstRunCarriedOn(run);
    EXPECT_FALSE(ProcessAlive(std::stoi(ReadFileBytes(pid))));
}

}  // namespace
