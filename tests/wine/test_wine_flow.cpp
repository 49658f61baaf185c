// The check-update-and-launch flow of the Windows launcher under Wine when the server is no
// help: unreachable, answering a failure, answering something that is not JSON; and the
// company pass, which reaches the server and the program but nothing a person can read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/LocalSockets.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";

size_t Count(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

class WineFlow : public ::testing::Test {
protected:
    // Installs version 1.0.0 through a first run, so the settings file names the program.
    void InstallThroughServer() {
        s.PlaceTool();
        s.Publish(s.PublishArchive("1.0.0"));
        ASSERT_EQ(s.Run().exitCode, 0);
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
        fs::remove(s.Install() / "received_args.txt");
    }
    // A run against another update address.
    LauncherRun RunAgainst(const std::string& baseUrl, const std::vector<std::string>& items = {}) {
        std::string commandLine = std::string("\"") + WindowsScenario::kLauncher + "\" " +
                                  Item("PRG_ID", "p1") + " " + Item("__TEST_UPDATE_URL__", baseUrl);
        for (const std::string& item : items) commandLine += " " + item;
        return s.RunCommandLine(commandLine);
    }

    WindowsScenario s;
};

// An update server of the test's own that answers every request with body.
struct ScriptedServer {
    explicit ScriptedServer(const std::string& body) {
        server.Serve("/comp/zeb/update/v1/", 200, body, "application/json");
        server.Start();
    }
    std::string BaseUrl() const {
        return "https://localhost:" + std::to_string(server.port()) + "/comp/zeb/update/v1/";
    }
    TestHttpsServer server;
};

TEST_F(WineFlow, AnUnreachableServerIsAskedFourTimesThenTheStoredProgramStarts) {
    InstallThroughServer();
    const std::string deadUrl =
        "https://localhost:" + std::to_string(UnusedLocalPort()) + "/comp/zeb/update/v1/";

    const LauncherRun run = RunAgainst(deadUrl, {Item("CUST_ID", "u9")});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string log = s.LogText();
    EXPECT_EQ(Count(log, "[ENU:20]curl_easy_perform failed"), 4u) << log;
    for (const char* retry : {"1회", "2회", "3회"})
        EXPECT_EQ(s.Log(std::string("[ENU:30]서버의 업데이트 정보 확인 실패(") + retry +
                        " 재시도 중): " + deadUrl)
                      .size(),
                  1u)
            << log;
    EXPECT_EQ(s.Log("[ENU:30]서버의 업데이트 정보 확인 실패(3초마다 3번 재시도)").size(), 1u);
    const std::optional<SampleAppRecord> record = s.ProgramRecord();
    ASSERT_TRUE(record) << log;
    EXPECT_EQ(record->commandLine, "C:\\ZebTest\\App\\viewer.exe --CUST_ID=\"u9\" "
                                   "--_TEST_UPDATE_URL__=\"" + deadUrl + "\"");
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
}

TEST_F(WineFlow, AServerFailureIsShownAndTheStoredProgramStarts) {
    InstallThroughServer();
    s.server.RemoveRelease("p1");  // the server now answers EMPTY

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.Log("[ENU:45]서버에서 업데이트 오류정보 수신: {\"RESULT\":\"EMPTY\"").size(), 1u)
        << s.LogText();
    EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
}

TEST_F(WineFlow, AReplyThatIsNotJsonIsShownAndTheStoredProgramStarts) {
    InstallThroughServer();
    ScriptedServer broken("<html>not an envelope</html>");

    const LauncherRun run = RunAgainst(broken.BaseUrl());

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.Log("[ENU:5]json 파싱 오류\r\n<html>not an envelope</html>").size(), 1u)
        << s.LogText();
    EXPECT_EQ(s.Log("[ENU:40]서버의 업데이트 정보 파싱 실패\r\n<html>").size(), 1u);
    EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
}

TEST_F(WineFlow, TheCompanyPassNeverReachesTheLogTheDebuggerOutputOrABox) {
    InstallThroughServer();
    s.EnableDebugLog();
    s.server.RemoveRelease("p1");  // a failure the user is shown
    const std::string pass = "s3cret-비밀";
    // Wine's traces escape what is not ASCII: the ASCII part is what could show there.
    const std::string asciiPart = "s3cret";

    // The pass first, so that even the beginning of a box that Wine's trace shows holds it.
    const LauncherRun run = s.RunCommandLine(std::string("\"") + WindowsScenario::kLauncher +
                                             "\" " + Item("COMP_PASS", pass) + " " +
                                             Item("PRG_ID", "p1") + " " + s.UpdateUrlItem());

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string masked = "--COMP_PASS=\"*\"";
    const std::string log = s.LogText();
    EXPECT_EQ(log.find(asciiPart), std::string::npos) << log;
    EXPECT_NE(log.find("원본 실행인자: " + masked + " --PRG_ID=\"p1\""), std::string::npos) << log;
    EXPECT_EQ(run.debugOutput.find(asciiPart), std::string::npos) << run.debugOutput;
    EXPECT_NE(run.debugOutput.find(masked + " --PRG_ID=\"p1\""), std::string::npos)
        << run.debugOutput;
    EXPECT_EQ(run.wineOutput.find(asciiPart), std::string::npos) << run.wineOutput;
    ASSERT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    for (const MessageBoxCall& box : run.boxes) {
        EXPECT_EQ(box.body.find(asciiPart), std::string::npos) << box.body;
        EXPECT_NE(box.body.find("Command line value: " + masked), std::string::npos) << box.body;
    }
    // The program still receives it, as the caller meant.
    const std::optional<SampleAppRecord> record = s.ProgramRecord();
    ASSERT_TRUE(record);
    EXPECT_NE(record->commandLine.find("--COMP_PASS=\"" + pass + "\""), std::string::npos);
}

}  // namespace
