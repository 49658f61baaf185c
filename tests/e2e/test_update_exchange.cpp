// The exchange with the update server over real HTTPS: the request as the server receives
// it, the envelope checks, and the retries when no server answers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "common/os/os.h"
#include "server/UpdateExchange.h"
#include "tests/support/LocalSockets.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/TestLog.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kApiPath = "/comp/zeb/update/v1/";

std::wstring Wide(const std::string& text) {
    std::wstring out;
    EXPECT_TRUE(os::Utf8ToWide(text, out));
    return out;
}

UpdateQuery Query(const std::string& baseUrl) {
    UpdateQuery query;
    query.serverUrl = Wide(baseUrl);
    query.compId = L"C1";
    query.compPass = L"pa\"ss\\word";
    query.custId = L"";
    query.pcGuid = L"0f8e7d6c-5b4a-4392-8180-7f6e5d4c3b2a";
    query.launcherOldVer = L"1.0.0.0";
    query.prgOldVer = L"0.0.0";
    query.prgInstOldVer = L"2.1";
    query.prgId = L"p1";
    query.prgArgs = L"--MODE=\"full\"\t--USER=\"홍길동\"";
    query.launchArgs = L"x";
    return query;
}

class UpdateExchange : public ::testing::Test {
protected:
    void SetUp() override { TrustTestCa(); }

    // Serves reply (with status) at the API path and runs the exchange once.
    int Exchange(const std::string& reply, int status = 200) {
        server.Serve(kApiPath, status, reply, "application/json");
        server.Start();
        return QueryUpdateInfo(Query(server.Url(kApiPath)), dataText, document);
    }

    TestLog log{true};
    TestHttpsServer server;
    std::wstring dataText = L"untouched";
    JsonDocument document;
};

TEST_F(UpdateExchange, RequestAsTheServerReceivesIt) {
    ASSERT_EQ(Exchange(R"({"RESULT":"OK","DATA":["{}"]})"), 0);
    ASSERT_EQ(server.Requests().size(), 1u);
    const RecordedRequest request = server.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/comp/zeb/update/v1/?cmd=zeb.launcher");
    EXPECT_EQ(request.Header("Accept"), "application/json");
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.HeaderCount("User-Agent"), 0u);
    EXPECT_EQ(request.body,
              "{\n"
              "    \"COMP_ID\": \"C1\",\n"
              "    \"COMP_PASS\": \"pa\\\"ss\\\\word\",\n"
              "    \"CUST_ID\": \"\",\n"
              "    \"PC_GUID\": \"0f8e7d6c-5b4a-4392-8180-7f6e5d4c3b2a\",\n"
              "    \"LAUNCHER_OLD_VER\": \"1.0.0.0\",\n"
              "    \"PRG_OLD_VER\": \"0.0.0\",\n"
              "    \"PRG_INST_OLD_VER\": \"2.1\",\n"
              "    \"PRG_ID\": \"p1\",\n"
              "    \"PRG_ARGS\": \"--MODE=\\\"full\\\"\\t--USER=\\\"\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99\\\"\",\n"
              "    \"LAUNCH_ARGS\": \"x\"\n"
              "}");
    EXPECT_EQ(log.Matching(":CheckUpdateAndLaunchProgram:").size(), 1u);
    EXPECT_EQ(log.Matching("서버에서 업데이트 설정정보 읽기: " + server.Url(kApiPath) + "?cmd=zeb.launcher")
                  .size(),
              1u)
        << log.Text();
    // The company pass goes in the body only, never into the trace.
    EXPECT_EQ(log.Text().find("ss\\\\word"), std::string::npos);
}

TEST_F(UpdateExchange, FirstDataElementBecomesTheServerDocument) {
    const std::string info = R"({\"UPDATE_PRG_INFO\":{\"SHORT_NM\":\"뷰어\"}})";
    ASSERT_EQ(Exchange(R"({"RESULT":"OK","DATA":[")" + info + R"(","{\"second\":1}"]})"), 0);
    EXPECT_EQ(dataText, L"{\"UPDATE_PRG_INFO\":{\"SHORT_NM\":\"뷰어\"}}");
    ASSERT_TRUE(document.IsObject());
    EXPECT_EQ(std::wstring(document[L"UPDATE_PRG_INFO"][L"SHORT_NM"].GetString()), L"뷰어");
    EXPECT_FALSE(document.HasMember(L"second"));
}

TEST_F(UpdateExchange, HttpStatusOfTheReplyIsNotLookedAt) {
    EXPECT_EQ(Exchange(R"({"RESULT":"OK","DATA":["{}"]})", 500), 0);
    EXPECT_TRUE(document.IsObject());
    EXPECT_EQ(document.MemberCount(), 0u);
}

TEST_F(UpdateExchange, ReplyThatIsNoEnvelopeFailsWithForty) {
    EXPECT_EQ(Exchange("<html><body>404 Not Found</body></html>", 404), 40);
    EXPECT_EQ(log.Matching("[ENU:5]json 파싱 오류\r\n<html>").size(), 1u) << log.Text();
    EXPECT_EQ(log.Matching("[ENU:40]서버의 업데이트 정보 파싱 실패\r\n<html><body>404 Not Found</body></html>")
                  .size(),
              1u)
        << log.Text();
    EXPECT_EQ(dataText, L"untouched");
}

TEST_F(UpdateExchange, ReplyThatIsNotUtf8FailsWithForty) {
    EXPECT_EQ(Exchange("{\"RESULT\":\"OK\",\"DATA\":[\"{}\"],\"MESSAGE\":\"caf\xE9\"}"), 40);
    // The undecodable reply reaches the envelope parser as an empty text.
    EXPECT_EQ(log.Matching("[ENU:5]json 파싱 오류").size(), 1u) << log.Text();
}

TEST_F(UpdateExchange, NullResultFailsWithTenThenForty) {
    EXPECT_EQ(Exchange(R"({"RESULT":null,"DATA":["{}"]})"), 40);
    EXPECT_EQ(log.Matching("[ENU:10]RESULT 항목 누락").size(), 1u);
    EXPECT_EQ(log.Matching("[ENU:40]").size(), 1u);
}

TEST_F(UpdateExchange, AnythingButExactlyOkIsAServerFailure) {
    const std::string replies[] = {R"({"DATA":["{}"]})", R"({"RESULT":"ok","DATA":["{}"]})",
                                   R"({"RESULT":"ERROR","MESSAGE":"거부"})", R"(["OK"])",
                                   R"({"RESULT":1,"DATA":["{}"]})"};
    for (const std::string& reply : replies) {
        TestLog log;
        TestHttpsServer server;
        server.Serve(kApiPath, 200, reply);
        server.Start();
        EXPECT_EQ(QueryUpdateInfo(Query(server.Url(kApiPath)), dataText, document), 45) << reply;
        EXPECT_EQ(log.Matching("[ENU:45]서버에서 업데이트 오류정보 수신: " + reply).size(), 1u) << log.Text();
    }
    EXPECT_EQ(dataText, L"untouched");
}

TEST_F(UpdateExchange, OkWithoutUsableDataFailsWithFortySeven) {
    document.Parse(L"{\"before\":true}");
    EXPECT_EQ(Exchange(R"({"RESULT":"OK","DATA":[]})"), 47);
    EXPECT_EQ(log.Matching("[ENU:47]").size(), 1u) << log.Text();
    EXPECT_EQ(dataText, L"untouched");
    EXPECT_TRUE(document.HasMember(L"before"));
}

TEST_F(UpdateExchange, FirstDataElementThatIsNotJsonFailsWithFortySeven) {
    document.Parse(L"{\"before\":true}");
    EXPECT_EQ(Exchange(R"({"RESULT":"OK","DATA":["{broken", "{}"]})"), 47);
    EXPECT_EQ(log.Matching("[ENU:47]json 파싱 오류\r\n{broken").size(), 1u) << log.Text();
    EXPECT_EQ(dataText, L"{broken");
    EXPECT_TRUE(document.HasMember(L"before"));
}

TEST_F(UpdateExchange, NonStringFirstDataElementFailsWithFortySeven) {
    EXPECT_EQ(Exchange(R"({"RESULT":"OK","DATA":[{"UPDATE_PRG_INFO":{}}, "{}"]})"), 47);
}

// Four sends three seconds apart, then the final line.
void ExpectFourSendsAndGiveUp(const std::string& url) {
    TestLog log;
    std::wstring dataText;
    JsonDocument document;
    const auto start = Clock::now();
    EXPECT_EQ(QueryUpdateInfo(Query(url), dataText, document), 30);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(9000));
    EXPECT_LT(elapsed, std::chrono::milliseconds(15000));

    const std::string requestUrl = url + "?cmd=zeb.launcher";
    std::vector<std::string> exchange;
    for (const std::string& line : log.Lines())
        if (line.find(":CheckUpdateAndLaunchProgram:") != std::string::npos) exchange.push_back(line);
    ASSERT_EQ(exchange.size(), 4u) << log.Text();
    for (int i = 1; i <= 3; ++i)
        EXPECT_NE(exchange[i - 1].find("[ENU:30]서버의 업데이트 정보 확인 실패(" + std::to_string(i) +
                                       "회 재시도 중): " + requestUrl),
                  std::string::npos)
            << exchange[i - 1];
    EXPECT_NE(exchange[3].find("[ENU:30]서버의 업데이트 정보 확인 실패(3초마다 3번 재시도): " + requestUrl),
              std::string::npos)
        << exchange[3];
    EXPECT_EQ(log.Matching(":GL_INTERNET_HTTPSendRequestByCurl:").size(), 4u);  // one per send
}

TEST(UpdateExchangeRetry, NothingListeningGivesFourSendsThenThirty) {
    ExpectFourSendsAndGiveUp("https://127.0.0.1:" + std::to_string(UnusedLocalPort()) + kApiPath);
}

TEST(UpdateExchangeRetry, ReplyOverTheCapIsRetriedLikeAFailedSend) {
    TrustTestCa();
    TestHttpsServer server;
    server.Serve(kApiPath, 200, R"({"RESULT":"OK","DATA":["{}"]})" + std::string(16 << 20, ' '));
    server.Start();
    ExpectFourSendsAndGiveUp(server.Url(kApiPath));
    EXPECT_EQ(server.Requests().size(), 4u);
}

TEST(UpdateExchangeRetry, UntrustedServerIsTreatedAsUnreachable) {
    TrustTestCa();
    TestHttpsServer untrusted(TestHttpsServer::Certificate::kUntrusted);
    untrusted.Serve(kApiPath, 200, R"({"RESULT":"OK","DATA":["{}"]})");
    untrusted.Start();
    ExpectFourSendsAndGiveUp(untrusted.Url(kApiPath));
    EXPECT_TRUE(untrusted.Requests().empty());
}

}  // namespace
