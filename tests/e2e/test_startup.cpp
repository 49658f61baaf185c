// Start-up of the real launcher: log lines, the missing-item message, masking of the
// company pass, the client-information file, and text that must survive without a locale.
#include <gtest/gtest.h>


#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/support/LauncherRunner.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    EXPECT_TRUE(os::WideToUtf8(text, out));
    return out;
}

const std::string kFormatText =
    "Command line format: --CMD=\"[command]\" --COMP_ID=\"[company id]\" "
    "--COMP_PASS=\"[company pass]\" --CUST_ID=\"[customer id]\" --PRG_ID=\"[program id]\" "
    "--PRG_ARGS=\"[program command line]\"";
const std::string kCaptionTail = ": 이 창은 잠시 후 자동으로 닫힙니다.";

std::string LauncherPath() { return fs::canonical(ZEB_LAUNCHER_EXE).string(); }

// The file version the build stamped into the launcher, four dotted numbers.
std::string LauncherVersion() {
    std::wstring version;
    EXPECT_TRUE(GL_FILE_GetVersion(fs::canonical(ZEB_LAUNCHER_EXE).wstring(), false, version));
    const std::string text = Utf8(version);
    int numbers = 0;
    for (size_t start = 0; start <= text.size(); ++numbers) {
        size_t dot = text.find('.', start);
        if (dot == std::string::npos) dot = text.size();
        const std::string number = text.substr(start, dot - start);
        EXPECT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
            << text;
        start = dot + 1;
    }
    EXPECT_EQ(numbers, 4) << text;
    return text;
}

std::string MissingItemBody(const std::string& maskedCommandLine, const std::string& path) {
    return kFormatText + "\r\n\r\nCan not find command line item(--PRG_ID): " +
           maskedCommandLine + "\r\n\r\nCommand line value: " + maskedCommandLine +
           "\r\n\r\nPath: " + path;
}

// PC_GUID and PATH_LAUNCHER of the client-information file, checked for its exact layout.
std::pair<std::string, std::string> ClientInfoMembers(const fs::path& programData) {
    std::pair<std::string, std::string> members;
    const std::string bytes = ReadClientInfo(programData);
    EXPECT_TRUE(ParseClientInfo(bytes, members.first, members.second)) << bytes;
    return members;
}

LauncherOptions Options(const TempDir& dir) {
    LauncherOptions options;
    options.programData = dir.path();
    options.timeout = std::chrono::seconds(90);
    return options;
}

TEST(Startup, NoArgumentsShowsMissingItemMessageAndLogsTheStart) {
    TempDir dir;
    BackgroundProcess launcher;
    const std::string out = (dir / "output.txt").string();
    ASSERT_TRUE(StartLauncher(launcher, {}, Options(dir), out));
    const int pid = launcher.pid();
    EXPECT_EQ(launcher.Wait(std::chrono::seconds(60)), 0);
    const std::string err = launcher.Output();

    EXPECT_NE(err.find("Vantrel Launcher" + kCaptionTail), std::string::npos) << err;
    EXPECT_EQ(err.find(" - Vantrel Launcher"), std::string::npos) << err;
    EXPECT_NE(err.find(MissingItemBody("", LauncherPath())), std::string::npos) << err;

    const auto starts = FindLogLines(dir.path(), "런처 실행됨: ");
    ASSERT_EQ(starts.size(), 1u) << ReadLauncherLog(dir.path());
    EXPECT_EQ(starts[0].level, 'E');
    EXPECT_EQ(starts[0].executable, "ZEB.Launcher.exe");
    EXPECT_EQ(starts[0].pid, static_cast<unsigned long>(pid));
    EXPECT_EQ(starts[0].sourceFile, "WinMain.cpp");
    EXPECT_EQ(starts[0].function, "wWinMain");
    EXPECT_EQ(starts[0].message, "런처 실행됨: " + LauncherPath() + "(" + LauncherVersion() + ")");
    // Every line ends in CR LF, the first is the start line.
    const std::string log = ReadLauncherLog(dir.path());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_NE(ReadLauncherLogLines(dir.path()).at(0).find("런처 실행됨: "), std::string::npos);
    EXPECT_EQ(FindLogLines(dir.path(), "원본 실행인자: ").size(), 1u);
    // Nothing past the missing-item message: no tokenizer complaint, no client information.
    EXPECT_EQ(log.find("[ENU:10]"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(ClientInfoPath(dir.path())));
}

TEST(Startup, FullCommandLineIsMaskedForwardedAndKeepsThePcGuid) {
    TempDir dir;
    const std::vector<std::string> args = {"--CMD=run", "--COMP_ID=c1", "--COMP_PASS=secret",
                                           "--CUST_ID=u1", "--PRG_ID=p1"};
    const ProcessResult first = RunLauncher(args, Options(dir));
    EXPECT_EQ(first.exitCode, 0);
    const std::string log = ReadLauncherLog(dir.path());
    EXPECT_EQ(log.find("secret"), std::string::npos) << log;
    EXPECT_EQ(first.err.find("secret"), std::string::npos) << first.err;
    EXPECT_EQ(first.out.find("secret"), std::string::npos);

    const auto raw = FindLogLines(dir.path(), "원본 실행인자: ");
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].message,
              "원본 실행인자: --CMD=\"run\" --COMP_ID=\"c1\" --COMP_PASS=\"*\" --CUST_ID=\"u1\" "
              "--PRG_ID=\"p1\"");
    const auto forwarded = FindLogLines(dir.path(), "실행프로그램에 넘길 인자: ");
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_EQ(forwarded[0].message,
              "실행프로그램에 넘길 인자: --COMP_ID=\"c1\" --COMP_PASS=\"*\" --CUST_ID=\"u1\"");
    EXPECT_EQ(first.err.find("Can not find command line item"), std::string::npos);

    const auto [guid, path] = ClientInfoMembers(dir.path());
    EXPECT_TRUE(IsPcGuid(guid)) << guid;
    EXPECT_EQ(path, LauncherPath());

    const ProcessResult second = RunLauncher(args, Options(dir));
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(ClientInfoMembers(dir.path()).first, guid);
    EXPECT_EQ(FindLogLines(dir.path(), "런처 실행됨: ").size(), 2u);
    EXPECT_EQ(ReadLauncherLog(dir.path()).find("secret"), std::string::npos);
}

TEST(Startup, TextBeforeTheFirstItemIsRejected) {
    TempDir dir;
    const ProcessResult run =
        RunLauncher({"run", "--PRG_ID=p1", "--COMP_PASS=secret"}, Options(dir));
    EXPECT_EQ(run.exitCode, 0);
    const std::string masked = "run --PRG_ID=\"p1\" --COMP_PASS=\"*";
    const auto failures = FindLogLines(dir.path(), "[ENU:10]");
    ASSERT_EQ(failures.size(), 1u) << ReadLauncherLog(dir.path());
    EXPECT_EQ(failures[0].function, "GL_STRING_ParseCommandLineArgs1");
    EXPECT_EQ(failures[0].message, "[ENU:10]커맨드라인 문자열 파싱 실패: " + masked);
    EXPECT_NE(run.err.find(MissingItemBody(masked, LauncherPath())), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("secret"), std::string::npos);
    EXPECT_EQ(ReadLauncherLog(dir.path()).find("secret"), std::string::npos);
    EXPECT_FALSE(fs::exists(ClientInfoPath(dir.path())));
}

TEST(Startup, DevelopmentItemIsAnnouncedAndForwarded) {
    TempDir dir;
    const ProcessResult run = RunLauncher(
        {"--PRG_ID=p1", "--__TEST_PATH_RUN__=/opt/앱/app.exe"}, Options(dir));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("p1 - Vantrel Launcher" + kCaptionTail), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("__TEST_PATH_RUN__항목을 사용중입니다.: /opt/앱/app.exe\r\n\r\n"
                           "Command line value: "),
              std::string::npos)
        << run.err;
    const auto forwarded = FindLogLines(dir.path(), "실행프로그램에 넘길 인자: ");
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_EQ(forwarded[0].message, "실행프로그램에 넘길 인자: --_TEST_PATH_RUN__=\"/opt/앱/app.exe\"");
}

TEST(Startup, TemporaryLauncherRunWithoutPendingUpdateKeepsItsOwnItems) {
    TempDir dir;
    const ProcessResult run = RunLauncher(
        {"--LAUNCHER_UPDATED=p1", "--PRG_ID=p1", "--__TEST_UPDATE_URL__=https://127.0.0.1:9/u/"},
        Options(dir));
    EXPECT_EQ(run.exitCode, 0);
    // No notice on the temporary launcher's run.
    EXPECT_EQ(run.err.find("항목을 사용중입니다."), std::string::npos) << run.err;
    const auto forwarded = FindLogLines(dir.path(), "실행프로그램에 넘길 인자: ");
    ASSERT_EQ(forwarded.size(), 1u) << ReadLauncherLog(dir.path());
    EXPECT_EQ(forwarded[0].message,
              "실행프로그램에 넘길 인자: --LAUNCHER_UPDATED=\"p1\" "
              "--_TEST_UPDATE_URL__=\"https://127.0.0.1:9/u/\"");
}

TEST(Startup, KoreanSurvivesWithoutLocale) {
    TempDir dir;
    const fs::path exe = CopyLauncherTo(dir / "런처 폴더");
    ASSERT_FALSE(exe.empty());
    LauncherOptions options = Options(dir);
    options.programData = dir / "공용 데이터";
    options.executable = exe;
    options.env = {{"LANG", std::nullopt}, {"LC_ALL", std::nullopt}, {"LC_CTYPE", std::nullopt},
                   {"LANGUAGE", std::nullopt}};
    const ProcessResult run =
        RunLauncher({"--PRG_ID=프로그램", "--PRG_ARGS=안녕 세상"}, options);
    EXPECT_EQ(run.exitCode, 0);

    const auto starts = FindLogLines(options.programData, "런처 실행됨: ");
    ASSERT_EQ(starts.size(), 1u) << run.err;
    EXPECT_EQ(starts[0].message, "런처 실행됨: " + exe.string() + "(" + LauncherVersion() + ")");
    const auto raw = FindLogLines(options.programData, "원본 실행인자: ");
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].message, "원본 실행인자: --PRG_ID=\"프로그램\" --PRG_ARGS=\"안녕 세상\"");
    const auto forwarded = FindLogLines(options.programData, "실행프로그램에 넘길 인자: ");
    ASSERT_EQ(forwarded.size(), 1u);
    EXPECT_EQ(forwarded[0].message, "실행프로그램에 넘길 인자: --PRG_ARGS=\"안녕 세상\"");
    EXPECT_EQ(ClientInfoMembers(options.programData).second, exe.string());
}

TEST(Startup, ArgumentThatIsNotUtf8IsKeptWithReplacementCharacters) {
    TempDir dir;
    const ProcessResult run = RunLauncher({"--PRG_ID=p\xFF" "1", "--CMD=run"}, Options(dir));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("실행인자 1: "), std::string::npos) << run.err;
    const auto raw = FindLogLines(dir.path(), "원본 실행인자: ");
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].message, "원본 실행인자: --PRG_ID=\"p\xEF\xBF\xBD" "1\" --CMD=\"run\"");
    EXPECT_TRUE(fs::exists(ClientInfoPath(dir.path())));
}

}  // namespace
