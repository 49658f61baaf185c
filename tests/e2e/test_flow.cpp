// The check-update-and-launch flow through the real launcher: one test per outcome (what is
// started, what the user is shown) and the stored settings that carry a run to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/MessageBoxes.h"
#include "tests/support/SampleApp.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
const std::string kApiPath = "/comp/zeb/update/v1/";

bool Contains(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
}

class Flow : public ::testing::Test {
protected:
    // Installs version 1.0.0 through a first run, so the settings file names the program.
    void InstallThroughServer() {
        const fs::path content = s.dir.path() / "content";
        s.MakeContent(content, "1.0.0");
        s.server.PublishRelease(
            "p1",
            s.server.PublishProgramArchive(s.shortName, "1.0.0", content, s.InstallFolder(),
                                           "viewer.exe"),
            s.server.LauncherInfo("1.0.0.0"));
        const ProcessResult first = Run(s.Args());
        ASSERT_EQ(first.exitCode, 0) << first.err;
        ASSERT_TRUE(WaitForSampleAppRecord(Program()));
        fs::remove(Program().parent_path() / "received_args.txt");
    }
    ProcessResult Run(const std::vector<std::string>& args) {
        return RunLauncher(args, s.Options());
    }
    // Items that point the launcher at another update address.
    std::vector<std::string> ArgsFor(const std::string& baseUrl,
                                     const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> args{"--PRG_ID=p1", "--__TEST_UPDATE_URL__=" + baseUrl};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    fs::path Program() const { return s.Install() / "viewer.exe"; }
    bool ProgramStarted() {
        return WaitForSampleAppRecord(Program(), std::chrono::seconds(3)).has_value();
    }
    // A base URL where nothing listens.
    static std::string DeadUrl() { return "https://127.0.0.1:9/comp/zeb/update/v1/"; }

    UpdateScenario s;
};

// An update server of the test's own that answers every request with body.
struct ScriptedServer {
    explicit ScriptedServer(const std::string& body) {
        TrustTestCa();
        server.Post(kApiPath, [body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/json");
        });
        server.Start();
    }
    std::string BaseUrl() const { return server.Url(kApiPath); }
    TestHttpsServer server;
};

TEST_F(Flow, NothingToUpdateStartsTheInstalledProgramWithoutDownloading) {
    InstallThroughServer();
    const size_t requestsBefore = s.server.RequestLines().size();

    const ProcessResult run = Run(s.Args({"--COMP_ID=c1"}));

    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(ProgramStarted());
    ASSERT_TRUE(s.server.WaitForRequestLine("POST"));
    const auto lines = s.server.RequestLines();
    for (size_t i = requestsBefore; i < lines.size(); ++i)
        EXPECT_FALSE(Contains(lines[i], "GET ")) << lines[i];
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed));
}

TEST_F(Flow, SuccessfulRunStoresCompactSettingsWithoutPendingFile) {
    InstallThroughServer();

    const std::string stored = ReadFileBytes(s.SettingsFile());
    ASSERT_GE(stored.size(), 3u);
    EXPECT_EQ(stored.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_FALSE(Contains(stored, "\n")) << "stored compactly";
    EXPECT_FALSE(Contains(stored, "_PRG_ARGS_TMP"));
    EXPECT_TRUE(Contains(stored, "\"UPDATE_PRG_INFO\""));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
}

TEST_F(Flow, UnreachableServerStartsTheStoredProgramSilently) {
    InstallThroughServer();

    const ProcessResult run = Run(ArgsFor(DeadUrl(), {"--CUST_ID=u9"}));

    ASSERT_EQ(run.exitCode, 0);
    const auto record = WaitForSampleAppRecord(Program(), std::chrono::seconds(3));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args.front(), "--CUST_ID=u9");
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(s.Log("[ENU:30]서버의 업데이트 정보 확인 실패(3초마다 3번 재시도)").size(), 1u);
}

TEST_F(Flow, NoStoredSettingsAndNoServerEndsWithUnknownProgram) {
    const ProcessResult run = Run(ArgsFor(DeadUrl()));

    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ShownBox(run.err, "프로그램(p1) 업데이트 정보를 알 수 없습니다.")) << run.err;
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed));
    EXPECT_EQ(s.Log("[ENU:85]프로그램(p1) 업데이트 정보를 알 수 없습니다.").size(), 1u);
}

TEST_F(Flow, ServerFailureIsShownAndTheStoredProgramStarts) {
    InstallThroughServer();
    s.server.RemoveRelease("p1");  // the server now answers EMPTY

    const ProcessResult run = Run(s.Args());

    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(s.Log("[ENU:45]서버에서 업데이트 오류정보 수신").size(), 1u);
    EXPECT_TRUE(ProgramStarted());
}

TEST_F(Flow, UnusableReplyIsShownAndTheStoredProgramStarts) {
    InstallThroughServer();
    ScriptedServer broken("<html>not an envelope</html>");

    const ProcessResult run = Run(ArgsFor(broken.BaseUrl()));

    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
    EXPECT_EQ(s.Log("[ENU:40]").size(), 1u);
    EXPECT_TRUE(ProgramStarted());
}

TEST_F(Flow, ServerDataThatIsNotJsonStartsNothingAndShowsNothing) {
    InstallThroughServer();
    ScriptedServer server(R"({"RESULT":"OK","DATA":["{not json"]})");

    const ProcessResult run = Run(ArgsFor(server.BaseUrl()));

    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(s.Log("[ENU:47]").size(), 1u);
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed));
    EXPECT_FALSE(ProgramStarted());
}

// JSON text as a JSON string's content.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

TEST_F(Flow, ReplyNestedBeyondTheLimitIsAnUnusableReply) {
    InstallThroughServer();
    ScriptedServer deep(std::string(1000000, '['));

    const ProcessResult run = Run(ArgsFor(deep.BaseUrl()));

    ASSERT_EQ(run.exitCode, 0) << run.err.substr(0, 500);
    // Both lines carry the reply and are cut to a log line's length, so they lose their ends
    // of line: looked for in the whole text.
    const std::string log = ReadLauncherLog(s.ProgramData());
    EXPECT_NE(log.find("[ENU:5]json 파싱 오류\r\n[[["), std::string::npos);
    EXPECT_NE(log.find("[ENU:40]서버의 업데이트 정보 파싱 실패\r\n[[["), std::string::npos);
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed));
    EXPECT_TRUE(ProgramStarted());
}

TEST_F(Flow, ServerDataNestedBeyondTheLimitIsNotJson) {
    InstallThroughServer();
    // The stored settings as the server would send them, nothing to update, and one member
    // nested far deeper than any writer could take back.
    std::string data = ReadFileBytes(s.SettingsFile()).substr(3);
    for (size_t at; (at = data.find("\"NeedToUpdate\":true")) != std::string::npos;)
        data.replace(at, 19, "\"NeedToUpdate\":false");
    data.insert(1, "\"X\":" + std::string(100000, '[') + std::string(100000, ']') + ",");
    ScriptedServer server(R"({"RESULT":"OK","DATA":[")" + Escaped(data) + R"("]})");

    const ProcessResult run = Run(ArgsFor(server.BaseUrl()));

    // As for any server data that is not JSON.
    ASSERT_EQ(run.exitCode, 0) << run.err.substr(0, 500);
    EXPECT_EQ(s.Log("[ENU:47]json 파싱 오류").size(), 1u);
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed));
    EXPECT_FALSE(ProgramStarted());
    EXPECT_EQ(ReadFileBytes(s.SettingsFile()).find("\"X\""), std::string::npos);
}

TEST_F(Flow, LocalFilesNestedBeyondTheLimitAreReadAsNotJson) {
    WriteFileBytes(s.SettingsFile(), "\xEF\xBB\xBF" + std::string(1000000, '['));
    WriteFileBytes(ClientInfoPath(s.ProgramData()), std::string(1000000, '['));

    const ProcessResult run = Run(ArgsFor(DeadUrl()));

    // As without either file: a fresh PC identifier, and no program known.
    ASSERT_EQ(run.exitCode, 0) << run.err.substr(0, 500);
    std::string pcGuid, launcherPath;
    EXPECT_TRUE(ParseClientInfo(ReadClientInfo(s.ProgramData()), pcGuid, launcherPath));
    EXPECT_TRUE(IsPcGuid(pcGuid)) << pcGuid;
    EXPECT_TRUE(ShownBox(run.err, "프로그램(p1) 업데이트 정보를 알 수 없습니다.")) << run.err;
}

TEST_F(Flow, StoredProgramGoneIsReportedAsVersionZeroAndAsMissingExecutable) {
    InstallThroughServer();
    fs::remove(Program());
    ScriptedServer server(R"({"RESULT":"FAIL","DATA":[]})");

    const ProcessResult run = Run(ArgsFor(server.BaseUrl()));

    ASSERT_EQ(run.exitCode, 0);
    const auto requests = server.server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(Contains(requests[0].body, "\"PRG_OLD_VER\": \"0.0.0\"")) << requests[0].body;
    EXPECT_TRUE(ShownBox(run.err, kUpdateFailed));
    EXPECT_TRUE(ShownBox(run.err, "실행파일이 존재하지 않습니다.")) << run.err;
    EXPECT_EQ(s.Log("[ENU:90]실행파일이 존재하지 않습니다.").size(), 1u);
}

TEST_F(Flow, InstalledVersionFromTheRegistryReachesTheServer) {
    const fs::path entry = s.ProgramData() /
        "Registry/HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/{p1}";
    WriteFileBytes(entry / "values.json",
                   R"({"DisplayName": "p1", "DisplayVersion": "3.4.5"})");
    ScriptedServer server(R"({"RESULT":"EMPTY"})");

    Run(ArgsFor(server.BaseUrl()));

    const auto requests = server.server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(Contains(requests[0].body, "\"PRG_INST_OLD_VER\": \"3.4.5\""))
        << requests[0].body;
    EXPECT_TRUE(Contains(requests[0].body, "\"PRG_OLD_VER\": \"\"")) << "nothing stored yet";
}

TEST_F(Flow, RunPathOverrideWinsEvenAfterAFailedUpdate) {
    InstallThroughServer();
    const fs::path other = s.dir.path() / "other/viewer.exe";
    CopySampleApp(other);
    s.server.RemoveRelease("p1");

    const ProcessResult run = Run(s.Args({"--__TEST_PATH_RUN__=" + other.string()}));

    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ShownBox(run.err, "__TEST_PATH_RUN__항목을 사용중입니다.: ")) << run.err;
    const auto record = WaitForSampleAppRecord(other);
    ASSERT_TRUE(record);
    EXPECT_NE(std::find(record->args.begin(), record->args.end(),
                        "--_TEST_PATH_RUN__=" + other.string()),
              record->args.end());
    EXPECT_FALSE(ProgramStarted());
}

}  // namespace
