// The bundled update server, run as a real process over HTTPS: the update API's answers and
// NeedToUpdate decisions, the static files below its folder, and its request log.
#include <gtest/gtest.h>
#include <httplib.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <thread>
#include <utility>

#include "common/HexText.h"
#include "common/os/os.h"
#include "launcher/ReleaseSignature.h"
#include "server/JsonText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SignedReleaseVectors.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestLog.h"
#include "tests/support/UpdateServerFixture.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kQueryTarget = "/comp/zeb/update/v1/?cmd=zeb.launcher";
// The launcher posts its JSON without a content type of its own, so libcurl's default goes.
constexpr const char* kLauncherContentType = "application/x-www-form-urlencoded";

// A request body as the launcher writes it: ten string members, pretty-printed.
std::string LauncherRequest(const std::string& prgId, const std::string& prgOldVer,
                            const std::string& launcherOldVer,
                            const std::string& prgArgs = "--A=\"1\"") {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 4);
    writer.StartObject();
    const std::pair<const char*, std::string> members[] = {
        {"COMP_ID", "c1"},          {"COMP_PASS", "secret"},          {"CUST_ID", "u1"},
        {"PC_GUID", "0f8fad5b-d9cb-469f-a165-70867728950e"},
        {"LAUNCHER_OLD_VER", launcherOldVer}, {"PRG_OLD_VER", prgOldVer},
        {"PRG_INST_OLD_VER", ""},    {"PRG_ID", prgId},                {"PRG_ARGS", prgArgs},
        {"LAUNCH_ARGS", ""}};
    for (const auto& [name, value] : members) {
        writer.Key(name);
        writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
    }
    writer.EndObject();
    return buffer.GetString();
}

struct Reply {
    int status = 0;
    std::string body;
    rapidjson::Document envelope;
    std::string result;
    rapidjson::Document info;  // DATA[0] parsed, when RESULT is OK
};

class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Output(); }

    ProductInfo Program(const std::string& version) {
        ProductInfo info;
        info.shortName = "Viewer";
        info.version = version;
        info.installFolder = "%ProgramData%Viewer/";
        info.runExeName = "viewer.exe";
        info.serverUrl = server.FileUrl();
        info.rootDirSvr = "files/Viewer/";
        info.files.push_back({"Viewer.7z", version + "/", "", version, 1234, 1234, "7Z", ""});
        return info;
    }

    void Publish(const std::string& prgId, const std::string& programVersion,
                 const std::string& launcherVersion) {
        server.PublishRelease(prgId, Program(programVersion),
                              server.LauncherInfo(launcherVersion));
    }

    // Posts body to target and checks the envelope's shape on the way.
    Reply Post(const std::string& body, const std::string& target = kQueryTarget) {
        Reply reply;
        auto client = server.Client();
        auto res = client->Post(target.c_str(), body, kLauncherContentType);
        if (!res) {
            ADD_FAILURE() << "no reply: " << httplib::to_string(res.error());
            return reply;
        }
        reply.status = res->status;
        reply.body = res->body;
        reply.envelope.Parse(reply.body.c_str());
        if (reply.envelope.HasParseError() || !reply.envelope.IsObject()) {
            ADD_FAILURE() << "reply is not a JSON object: " << reply.body;
            return reply;
        }
        for (const char* name : {"RESULT", "TITLE", "MESSAGE", "MESSAGE_DEBUG", "TIME_STAMP"}) {
            EXPECT_TRUE(reply.envelope.HasMember(name) && reply.envelope[name].IsString())
                << name << " in " << reply.body;
        }
        EXPECT_TRUE(reply.envelope.HasMember("DATA") && reply.envelope["DATA"].IsArray())
            << reply.body;
        if (!reply.envelope.HasMember("RESULT") || !reply.envelope["RESULT"].IsString())
            return reply;
        reply.result = reply.envelope["RESULT"].GetString();
        if (reply.result == "OK") {
            const auto& data = reply.envelope["DATA"];
            EXPECT_EQ(data.Size(), 1u);
            if (data.Size() >= 1 && data[0].IsString()) {
                reply.info.Parse(data[0].GetString());
                EXPECT_FALSE(reply.info.HasParseError()) << data[0].GetString();
            }
        } else {
            EXPECT_EQ(reply.envelope["DATA"].Size(), 0u) << reply.body;
        }
        return reply;
    }

    Reply Query(const std::string& prgId, const std::string& prgOldVer,
                const std::string& launcherOldVer) {
        return Post(LauncherRequest(prgId, prgOldVer, launcherOldVer));
    }

    // NeedToUpdate of one info object of an OK reply; fails the test when it is not a bool.
    static bool NeedToUpdate(const Reply& reply, const char* infoName) {
        if (!reply.info.IsObject() || !reply.info.HasMember(infoName)) {
            ADD_FAILURE() << infoName << " missing in " << reply.body;
            return false;
        }
        const auto& info = reply.info[infoName];
        if (!info.HasMember("NeedToUpdate") || !info["NeedToUpdate"].IsBool()) {
            ADD_FAILURE() << "NeedToUpdate missing or not a boolean in " << reply.body;
            return false;
        }
        return info["NeedToUpdate"].GetBool();
    }

    httplib::Result Get(const std::string& target) {
        auto client = server.Client();
        client->set_url_encode(false);  // send traversal attempts exactly as written
        return client->Get(target.c_str());
    }

    UpdateServerFixture server;
};

// Waits until the server has logged count request lines.
bool WaitForLineCount(const UpdateServerFixture& server, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.RequestLines().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// --- NeedToUpdate ---------------------------------------------------------------------------

TEST_F(UpdateServerTest, ProgramNeedsUpdateOnlyWhenClientVersionIsLower) {
    Publish("p1", "1.10.0", "1.0.0.0");
    const std::pair<const char*, bool> cases[] = {
        {"", true},         // nothing known about the installed program
        {"0.0.0", true},    // the program's run path is gone
        {"1.9.9", true},    {"1.9", true},      {"1.09.99", true},
        {"1.10.0", false},  {"1.10", false},    {"1.10.0.0", false},
        {"1.10.1", false},  {"1.11", false},    {"2", false},
        {"not-a-version", true},
    };
    for (const auto& [clientVersion, expected] : cases) {
        const Reply reply = Query("p1", clientVersion, "1.0.0.0");
        ASSERT_EQ(reply.result, "OK") << reply.body;
        EXPECT_EQ(NeedToUpdate(reply, "UPDATE_PRG_INFO"), expected)
            << "PRG_OLD_VER \"" << clientVersion << "\"";
    }
}

TEST_F(UpdateServerTest, LauncherNeedsUpdateOnlyWhenItsVersionIsLower) {
    Publish("p1", "1.0.0", "2.0.10.0");
    const std::pair<const char*, bool> cases[] = {
        {"1.0.0.0", true},   {"2.0.9.9", true},  {"2.0.9.0", true}, {"", true},
        {"2.0.10.0", false}, {"2.0.10", false},  {"2.0.11.0", false}, {"10.0.0.0", false},
    };
    for (const auto& [launcherVersion, expected] : cases) {
        const Reply reply = Query("p1", "1.0.0", launcherVersion);
        ASSERT_EQ(reply.result, "OK") << reply.body;
        EXPECT_EQ(NeedToUpdate(reply, "UPDATE_LAUNCHER_INFO"), expected)
            << "LAUNCHER_OLD_VER \"" << launcherVersion << "\"";
        // The program's decision is independent of the launcher's.
        EXPECT_FALSE(NeedToUpdate(reply, "UPDATE_PRG_INFO"));
    }
}

TEST_F(UpdateServerTest, ReleaseFileNeedToUpdateIsOverriddenByTheDecision) {
    ProductInfo program = Program("3.0");
    program.needToUpdate = true;  // stale flag in the release file
    ProductInfo launcher = server.LauncherInfo("1.0.0.0");
    launcher.needToUpdate = false;
    server.PublishRelease("p1", program, launcher);

    Reply reply = Query("p1", "3.0", "0.9.0.0");
    ASSERT_EQ(reply.result, "OK") << reply.body;
    EXPECT_FALSE(NeedToUpdate(reply, "UPDATE_PRG_INFO"));
    EXPECT_TRUE(NeedToUpdate(reply, "UPDATE_LAUNCHER_INFO"));
    // One member, not a second NeedToUpdate beside the stale one.
    int count = 0;
    for (const auto& m : std::as_const(reply.info)["UPDATE_PRG_INFO"].GetObject())
        count += std::string(m.name.GetString()) == "NeedToUpdate";
    EXPECT_EQ(count, 1);
}

TEST_F(UpdateServerTest, RequestWithoutVersionMembersCountsAsNothingInstalled) {
    Publish("p1", "1.0", "1.0.0.0");
    const Reply reply = Post(R"({"PRG_ID":"p1","PRG_OLD_VER":7,"LAUNCHER_OLD_VER":null})");
    ASSERT_EQ(reply.result, "OK") << reply.body;
    EXPECT_TRUE(NeedToUpdate(reply, "UPDATE_PRG_INFO"));
    EXPECT_TRUE(NeedToUpdate(reply, "UPDATE_LAUNCHER_INFO"));
}

// --- the update information sent ------------------------------------------------------------

TEST_F(UpdateServerTest, DataHoldsBothInfoObjectsAsPublished) {
    ProductInfo program = Program("2.0.13");
    program.minSpec = R"({"DOTNET_FX":{"ENABLED":true}})";
    program.installFolder = "%ProgramFilesX86%뷰어\\";  // non-ASCII survives as UTF-8
    server.PublishRelease("p1", program, server.LauncherInfo("1.2.3.4"));

    const Reply reply = Query("p1", "", "1.2.3.4");
    ASSERT_EQ(reply.result, "OK") << reply.body;
    const auto& prg = reply.info["UPDATE_PRG_INFO"];
    EXPECT_STREQ(prg["SHORT_NM"].GetString(), "Viewer");
    EXPECT_STREQ(prg["UP_VERSION"].GetString(), "2.0.13");
    EXPECT_STREQ(prg["INSTALL_GB"].GetString(), "ZIP");
    EXPECT_STREQ(prg["ROOT_DIR_CLI_INST"].GetString(), "%ProgramFilesX86%뷰어\\");
    EXPECT_STREQ(prg["SVR_URL"].GetString(), server.FileUrl().c_str());
    EXPECT_STREQ(prg["MIN_SPEC"].GetString(), R"({"DOTNET_FX":{"ENABLED":true}})");
    ASSERT_TRUE(prg["FILES"].IsArray());
    ASSERT_EQ(prg["FILES"].Size(), 1u);
    EXPECT_STREQ(prg["FILES"][0]["FILE_NM"].GetString(), "Viewer.7z");
    EXPECT_EQ(prg["FILES"][0]["FILE_SIZE"].GetInt(), 1234);
    const auto& launcher = reply.info["UPDATE_LAUNCHER_INFO"];
    EXPECT_STREQ(launcher["UP_VERSION"].GetString(), "1.2.3.4");
    EXPECT_STREQ(launcher["FILES"][0]["FILE_NM"].GetString(), "ZEB.Launcher.exe");
    EXPECT_TRUE(reply.body.find("뷰어") != std::string::npos) << "sent as UTF-8, not \\u escapes";
}

TEST_F(UpdateServerTest, OtherTopLevelMembersOfTheReleaseArePassedOn) {
    server.PublishReleaseText("p1", R"({"NOTE":"kept","UPDATE_PRG_INFO":)" +
                                        Program("1.0").ToJson() + R"(,"UPDATE_LAUNCHER_INFO":)" +
                                        server.LauncherInfo("1.0").ToJson() + "}");
    const Reply reply = Query("p1", "", "");
    ASSERT_EQ(reply.result, "OK") << reply.body;
    ASSERT_TRUE(reply.info.HasMember("NOTE"));
    EXPECT_STREQ(reply.info["NOTE"].GetString(), "kept");
}

// --- signed releases ----------------------------------------------------------------------

TEST_F(UpdateServerTest, SignedReleaseIsServedAsThePublisherSignedIt) {
    using namespace vectors;
    server.PublishReleaseText("viewer", SignedDocument(kRelease, kOldKeyId, kSigRelease));
    std::vector<uint8_t> point;
    ASSERT_TRUE(HexDecode(kOldKey, point));
    ReleaseKey key{};
    std::copy(point.begin(), point.end(), key.publicKey.begin());
    TestLog log;

    const std::pair<Reply, bool> replies[] = {{Query("viewer", "1.0", "0.9.0.0"), true},
                                              {Query("viewer", "2.0.13", "1.0.0.0"), false}};
    for (const auto& [reply, behind] : replies) {
        ASSERT_EQ(reply.result, "OK") << reply.body;
        // Only NeedToUpdate is the server's; the signed text and the signature pass unchanged.
        EXPECT_EQ(NeedToUpdate(reply, "UPDATE_PRG_INFO"), behind);
        EXPECT_EQ(NeedToUpdate(reply, "UPDATE_LAUNCHER_INFO"), behind);
        const auto& signedText = reply.info["SIGNED_RELEASE"];
        EXPECT_EQ(std::string_view(signedText.GetString(), signedText.GetStringLength()), kRelease);
        EXPECT_EQ(std::string(reply.info["RELEASE_SIGNATURE"]["SIG"].GetString()), kSigRelease);
        EXPECT_EQ(std::string(reply.info["RELEASE_SIGNATURE"]["KEY_ID"].GetString()), kOldKeyId);

        // What the launcher makes of the data holds the publisher's signature.
        std::wstring data;
        ASSERT_TRUE(os::Utf8ToWide(reply.envelope["DATA"][0].GetString(), data));
        JsonDocument document;
        ASSERT_TRUE(ParseJsonText(data, document));
        VerifiedRelease verified;
        EXPECT_EQ(VerifyReleaseSignature(document, L"viewer", std::span(&key, 1), verified), 0)
            << log.Text();
    }
}

TEST_F(UpdateServerTest, EnvelopeCarriesATimeStamp) {
    Publish("p1", "1.0", "1.0");
    const Reply ok = Query("p1", "", "");
    const Reply empty = Query("nope", "", "");
    for (const Reply* reply : {&ok, &empty}) {
        ASSERT_TRUE(reply->envelope.IsObject());
        EXPECT_TRUE(std::regex_match(std::string(reply->envelope["TIME_STAMP"].GetString()),
                                     std::regex("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z")))
            << reply->body;
    }
}

TEST_F(UpdateServerTest, RepublishedReleaseTakesEffectWithoutRestart) {
    Publish("p1", "1.0.0", "1.0.0.0");
    EXPECT_FALSE(NeedToUpdate(Query("p1", "1.0.0", "1.0.0.0"), "UPDATE_PRG_INFO"));
    Publish("p1", "1.0.1", "1.0.0.1");
    const Reply reply = Query("p1", "1.0.0", "1.0.0.0");
    EXPECT_TRUE(NeedToUpdate(reply, "UPDATE_PRG_INFO"));
    EXPECT_TRUE(NeedToUpdate(reply, "UPDATE_LAUNCHER_INFO"));
    EXPECT_STREQ(reply.info["UPDATE_PRG_INFO"]["UP_VERSION"].GetString(), "1.0.1");
    server.RemoveRelease("p1");
    EXPECT_EQ(Query("p1", "1.0.0", "1.0.0.0").result, "EMPTY");
}

TEST_F(UpdateServerTest, ConcurrentQueriesAllSucceed) {
    Publish("p1", "1.0", "1.0");
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            auto client = server.Client();
            for (int i = 0; i < 10; ++i) {
                auto res = client->Post(kQueryTarget, LauncherRequest("p1", "0.9", "1.0"),
                                        kLauncherContentType);
                if (res && res->status == 200 &&
                    res->body.find("\"RESULT\":\"OK\"") != std::string::npos)
                    ++ok;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(ok.load(), 60);
    // Lines written from the server's worker threads stay whole.
    ASSERT_TRUE(WaitForLineCount(server, 60)) << server.Output();
    for (const auto& line : server.RequestLines())
        EXPECT_EQ(line, "POST /comp/zeb/update/v1/?cmd=zeb.launcher 200 OK");
}

// --- refused queries ------------------------------------------------------------------------

TEST_F(UpdateServerTest, UnknownProgramIsEmpty) {
    Publish("p1", "1.0", "1.0");
    const Reply reply = Query("p2", "", "");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.result, "EMPTY") << reply.body;
    // Case matters: the identifier names a file exactly.
    EXPECT_EQ(Query("P1", "", "").result, "EMPTY");
}

TEST_F(UpdateServerTest, UnsafeProgramIdentifierIsEmptyEvenWhenItWouldFindAFile) {
    Publish("p1", "1.0", "1.0");
    const std::string release = ReadFileBytes(server.Folder() / "releases" / "p1.json");
    // Files that a traversing identifier would reach.
    WriteFileBytes(server.Folder() / "outside.json", release);
    WriteFileBytes(server.Folder() / "releases" / "sub" / "p1.json", release);
    WriteFileBytes(server.Folder() / "releases" / ".hidden.json", release);
    WriteFileBytes(server.Folder() / "releases" / ".json", release);
    for (const std::string& prgId :
         {std::string("../outside"), std::string("sub/p1"), std::string("sub\\p1"),
          std::string(".hidden"), std::string(""), std::string(".."), std::string("."),
          server.Folder().string() + "/outside"}) {
        EXPECT_EQ(Query(prgId, "", "").result, "EMPTY") << "PRG_ID \"" << prgId << "\"";
    }
    // A NUL would cut the file name short at the system call: "p1.json\0.json".
    const Reply nul = Post(R"({"PRG_ID":"p1.json\u0000"})");
    EXPECT_EQ(nul.result, "EMPTY") << nul.body;
    EXPECT_EQ(Query("p1", "", "").result, "OK");
}

TEST_F(UpdateServerTest, UnreadableRequestIsAnError) {
    Publish("p1", "1.0", "1.0");
    for (const std::string& body :
         {std::string("not json"), std::string(""), std::string("[\"p1\"]"),
          std::string("\"p1\""), std::string(R"({"PRG_ID":1})"), std::string(R"({"PRG_ID":null})"),
          std::string(R"({"prg_id":"p1"})"), std::string(R"({"PRG_ID":"p1")"),
          std::string("{\"PRG_ID\":\"p1\xff\"}"), std::string(R"({"PRG_ID":"p1"} trailing)")}) {
        const Reply reply = Post(body);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.result, "ERROR") << "body " << body << " -> " << reply.body;
    }
}

TEST_F(UpdateServerTest, WrongOrMissingCommandIsAnError) {
    Publish("p1", "1.0", "1.0");
    const std::string body = LauncherRequest("p1", "", "");
    EXPECT_EQ(Post(body, "/comp/zeb/update/v1/?cmd=zeb.other").result, "ERROR");
    EXPECT_EQ(Post(body, "/comp/zeb/update/v1/?cmd=ZEB.LAUNCHER").result, "ERROR");
    EXPECT_EQ(Post(body, "/comp/zeb/update/v1/").result, "ERROR");
    EXPECT_EQ(Post(body, "/comp/zeb/update/v1/?command=zeb.launcher").result, "ERROR");
    // A cmd inside the posted body is not a query item.
    EXPECT_EQ(Post(R"({"PRG_ID":"p1","X":"&cmd=zeb.launcher&"})", "/comp/zeb/update/v1/").result,
              "ERROR");
    EXPECT_EQ(Post(body, "/comp/zeb/update/v1/?cmd=zeb.launcher").result, "OK");
}

TEST_F(UpdateServerTest, DeeplyNestedRequestIsAnErrorAndTheServerLivesOn) {
    Publish("p1", "1.0", "1.0");
    const std::string head = "{\"PRG_ID\":\"p1\",\"X\":";
    const std::string deep = head + std::string(150000, '[');
    const std::string limit = head + std::string(511, '[') + std::string(511, ']') + "}";
    const Reply refused = Post(deep);
    EXPECT_EQ(refused.result, "ERROR") << refused.body.substr(0, 300);
    ASSERT_TRUE(refused.envelope.IsObject());
    EXPECT_EQ(std::string(refused.envelope["MESSAGE_DEBUG"].GetString()),
              "nested deeper than 512 levels at offset " +
                  std::to_string(head.size() + 511));  // the bracket that opens level 513
    EXPECT_TRUE(server.Running());
    EXPECT_EQ(Post(limit).result, "OK");
}

TEST_F(UpdateServerTest, RepliesAreUtf8WhateverTheRequestHolds) {
    Publish("p1", "1.0", "1.0");
    const std::string body = LauncherRequest("p1", "", "");
    // A command that is no UTF-8, and a program identifier whose escape names a lone
    // surrogate (the JSON reader takes it, its UTF-8 form is none).
    const Reply command = Post(body, "/comp/zeb/update/v1/?cmd=%FF%FE");
    const Reply surrogate = Post(R"({"PRG_ID":"p\udc001"})");
    for (const Reply* reply : {&command, &surrogate}) {
        std::wstring decoded;
        EXPECT_TRUE(os::Utf8ToWide(reply->body, decoded)) << reply->body;
    }
    EXPECT_EQ(command.result, "ERROR");
    EXPECT_EQ(std::string(command.envelope["MESSAGE_DEBUG"].GetString()),
              "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(surrogate.result, "EMPTY");
    EXPECT_EQ(std::string(surrogate.envelope["MESSAGE_DEBUG"].GetString()),
              "p\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "1");
    // Well-formed text passes unchanged, Korean included.
    const Reply korean = Post(body, "/comp/zeb/update/v1/?cmd=%ED%95%9C");
    EXPECT_EQ(std::string(korean.envelope["MESSAGE_DEBUG"].GetString()), "\xED\x95\x9C");
}

TEST_F(UpdateServerTest, LongRequestSentAsFormDataIsStillRead) {
    // The launcher's content type is the form one; its PRG_ARGS may run past 8 KiB.
    Publish("p1", "1.0", "1.0");
    const std::string longArgs(20000, 'a');
    const Reply reply = Post(LauncherRequest("p1", "", "", "--LONG=\"" + longArgs + "\""));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.result, "OK") << reply.body.substr(0, 200);
}

TEST_F(UpdateServerTest, OversizedBodyIsRefusedWithoutHarm) {
    Publish("p1", "1.0", "1.0");
    auto client = server.Client();
    auto res = client->Post(kQueryTarget, std::string(2 << 20, '{'), kLauncherContentType);
    // The server may also close the connection before the whole body is sent.
    if (res) {
        EXPECT_EQ(res->status, 413);
    }
    EXPECT_EQ(Query("p1", "", "").result, "OK");
}

TEST_F(UpdateServerTest, BrokenReleaseIsAnException) {
    Publish("good", "1.0", "1.0");
    const std::string launcher = server.LauncherInfo("1.0").ToJson();
    const std::string program = Program("1.0").ToJson();
    ProductInfo nonNumeric = Program("1.0-beta");
    const std::string withLauncher = R"(,"UPDATE_LAUNCHER_INFO":)" + launcher + "}";
    const std::pair<const char*, std::string> broken[] = {
        {"truncated", R"({"UPDATE_PRG_INFO":{"UP_VERSION":"1.0")"},
        {"empty", ""},
        {"array", "[]"},
        {"noLauncher", R"({"UPDATE_PRG_INFO":)" + program + "}"},
        {"launcherNotObject",
         R"({"UPDATE_PRG_INFO":)" + program + R"(,"UPDATE_LAUNCHER_INFO":"x"})"},
        {"noVersion", R"({"UPDATE_PRG_INFO":{"SHORT_NM":"V"})" + withLauncher},
        {"numericVersion", R"({"UPDATE_PRG_INFO":{"UP_VERSION":1})" + withLauncher},
        {"nonNumeric", R"({"UPDATE_PRG_INFO":)" + nonNumeric.ToJson() + withLauncher},
        {"tooDeep", R"({"UPDATE_PRG_INFO":)" + program + R"(,"X":)" + std::string(150000, '[') +
                        std::string(150000, ']') + withLauncher},
    };
    for (const auto& [prgId, text] : broken) {
        server.PublishReleaseText(prgId, text);
        const Reply reply = Query(prgId, "", "");
        EXPECT_EQ(reply.result, "EXCEPTION") << prgId << ": " << reply.body;
    }
    // A folder where the release file should be.
    fs::create_directories(server.Folder() / "releases" / "dir.json");
    EXPECT_EQ(Query("dir", "", "").result, "EXCEPTION");
    EXPECT_EQ(Query("good", "", "").result, "OK");
}

// --- files ----------------------------------------------------------------------------------

TEST_F(UpdateServerTest, ServesFilesBelowTheFolderByteForByte) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(i * 7 % 256);
    server.AddFile("files/Viewer/1.0/pack.7z", bytes);
    auto res = Get("/files/Viewer/1.0/pack.7z");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, bytes);
    // Empty and "." parts do not change the file.
    res = Get("/files//Viewer/./1.0/pack.7z");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, bytes);
}

TEST_F(UpdateServerTest, RangeWithinTheFileGetsThatPartOtherRangesTheWholeFile) {
    const std::string bytes = "0123456789abcdef";
    server.AddFile("files/r.bin", bytes);
    auto client = server.Client();
    const std::tuple<const char*, int, std::string> cases[] = {
        {"bytes=2-3", 206, "23"},
        {"bytes=10-", 206, "abcdef"},
        {"bytes=-3", 206, "def"},
        {"bytes=15-15", 206, "f"},
        // Past the end, or several ranges: the whole file rather than a wrong length.
        {"bytes=10-100", 200, bytes},
        {"bytes=16-", 200, bytes},
        {"bytes=-17", 200, bytes},
        {"bytes=0-1,4-5", 200, bytes},
    };
    for (const auto& [range, status, body] : cases) {
        auto res = client->Get("/files/r.bin", {{"Range", range}});
        ASSERT_TRUE(res) << range;
        EXPECT_EQ(res->status, status) << range;
        EXPECT_EQ(res->body, body) << range;
    }
}

TEST_F(UpdateServerTest, ServesTheSevenZipToolAtItsObjectStoragePath) {
    server.Publish7Zip();
    httplib::Result res = Get("/zeb-mh/Tools/7z/7za.exe");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, ReadFileBytes(Find7zz()));
    EXPECT_EQ(server.ObjectStorageUrl() + "Tools/7z/7za.exe",
              server.FileUrl() + "zeb-mh/Tools/7z/7za.exe");
}

TEST_F(UpdateServerTest, MissingFilesAndFoldersAre404) {
    server.AddFile("files/a.bin", "a");
    for (const char* target : {"/files/b.bin", "/files", "/files/", "/", "/nothing/at/all"}) {
        auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 404) << target;
    }
}

TEST_F(UpdateServerTest, ReleaseDescriptionsAreNotServed) {
    Publish("p1", "1.0", "1.0");
    fs::create_symlink(server.Folder() / "releases", server.Folder() / "pub");
    for (const char* target : {"/releases/p1.json", "/./releases/p1.json", "//releases/p1.json",
                               "/pub/p1.json", "/releases/"}) {
        auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 404) << target;
        EXPECT_EQ(res->body.find("UPDATE_PRG_INFO"), std::string::npos) << target;
    }
}

TEST_F(UpdateServerTest, PathsLeavingTheFolderAreRefused) {
    TempDir outside;
    WriteFileBytes(outside / "secret.txt", "SECRET");
    const std::string name = outside.path().filename().string();
    fs::create_symlink(outside.path(), server.Folder() / "linkdir");
    fs::create_symlink(outside / "secret.txt", server.Folder() / "link.txt");
    server.AddFile("files/a.bin", "a");

    const std::string targets[] = {
        "/../" + name + "/secret.txt",
        "/files/../../" + name + "/secret.txt",
        "/%2e%2e/" + name + "/secret.txt",
        "/files/%2E%2E/%2e%2e/" + name + "/secret.txt",
        "/..%2f" + name + "%2fsecret.txt",
        "/files/..%5c..%5c" + name + "%5csecret.txt",
        "/linkdir/secret.txt",
        "/link.txt",
        "/files/a.bin%00/../../" + name + "/secret.txt",
        "/files/..",
    };
    for (const auto& target : targets) {
        auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 403) << target;
        EXPECT_EQ(res->body.find("SECRET"), std::string::npos) << target;
    }
    // An absolute path in the request is taken below the folder.
    auto res = Get("//" + outside.path().string().substr(1) + "/secret.txt");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(res->body.find("SECRET"), std::string::npos);
}

TEST_F(UpdateServerTest, SymlinkStayingInsideTheFolderIsServed) {
    server.AddFile("files/Viewer/1.0/pack.7z", "PACK");
    fs::create_directories(server.Folder() / "mirror");
    fs::create_symlink(server.Folder() / "files", server.Folder() / "mirror" / "files");
    auto res = Get("/mirror/files/Viewer/1.0/pack.7z");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "PACK");
}

TEST_F(UpdateServerTest, PublishedArchiveLiesWhereTheInformationPointsAndUnpacks) {
    TempDir content;
    WriteFileBytes(content / "viewer.exe", "#!/bin/sh\n");
    WriteFileBytes(content / "data" / "a.txt", "A");
    const ProductInfo program = server.PublishProgramArchive(
        "Viewer", "1.2.0", content.path(), "%ProgramData%Viewer/", "viewer.exe");
    server.PublishRelease("p1", program, server.LauncherInfo("1.0.0.0"));

    const Reply reply = Query("p1", "", "1.0.0.0");
    ASSERT_EQ(reply.result, "OK") << reply.body;
    const auto& prg = reply.info["UPDATE_PRG_INFO"];
    ASSERT_EQ(std::string(prg["SVR_URL"].GetString()), server.FileUrl());
    const auto& file = prg["FILES"][0];
    // Where a client fetches it: SVR_URL + ROOT_DIR_SVR + SUB_DIR_SVR + FILE_NM.
    const std::string path = std::string("/") + prg["ROOT_DIR_SVR"].GetString() +
                             file["SUB_DIR_SVR"].GetString() + file["FILE_NM"].GetString();
    auto res = Get(path);
    ASSERT_TRUE(res) << path;
    ASSERT_EQ(res->status, 200) << path;
    EXPECT_EQ(static_cast<long long>(res->body.size()), file["FILE_SIZE"].GetInt64());

    TempDir unpacked;
    WriteFileBytes(unpacked / "pack.7z", res->body);
    const std::string out = "-o" + (unpacked / "out").string();
    const ProcessResult x =
        RunProcess(Find7zz().string(), {"x", "-y", out, (unpacked / "pack.7z").string()});
    ASSERT_EQ(x.exitCode, 0) << x.out << x.err;
    EXPECT_EQ(ReadFileBytes(unpacked / "out" / "viewer.exe"), "#!/bin/sh\n");
    EXPECT_EQ(ReadFileBytes(unpacked / "out" / "data" / "a.txt"), "A");
}

// Peak resident memory of a process in KiB, from /proc.
long PeakResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

TEST_F(UpdateServerTest, LargeFileIsStreamedNotLoaded) {
    constexpr std::uintmax_t kSize = 256ull << 20;
    const fs::path big = server.Folder() / "files" / "big.bin";
    fs::create_directories(big.parent_path());
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, kSize);  // sparse: costs no disk
    {
        std::fstream mark(big, std::ios::binary | std::ios::in | std::ios::out);
        mark.seekp(static_cast<std::streamoff>(kSize - 4));
        mark.write("TAIL", 4);
    }
    // Let the server settle before its peak is taken as the baseline.
    ASSERT_TRUE(Get("/files/missing"));
    const long before = PeakResidentKiB(server.Pid());
    ASSERT_GT(before, 0);

    std::uintmax_t received = 0;
    std::string tail;
    auto client = server.Client();
    auto res = client->Get("/files/big.bin", [&](const char* data, size_t length) {
        received += length;
        tail.append(data, length);
        if (tail.size() > 8) tail.erase(0, tail.size() - 8);
        return true;
    });
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(received, kSize);
    EXPECT_EQ(tail.substr(tail.size() - 4), "TAIL");
    const long growth = PeakResidentKiB(server.Pid()) - before;
    EXPECT_LT(growth, 64 * 1024) << "peak resident memory grew by " << growth << " KiB";
}

// --- request log and process ----------------------------------------------------------------

TEST_F(UpdateServerTest, LogsOneLinePerRequest) {
    Publish("p1", "1.0", "1.0");
    server.AddFile("files/a.bin", "a");
    // The line is written after the reply: wait for each so the order is the requests'.
    ASSERT_TRUE(Get("/files/a.bin"));
    ASSERT_TRUE(WaitForLineCount(server, 1));
    ASSERT_TRUE(Get("/files/none.bin"));
    ASSERT_TRUE(WaitForLineCount(server, 2));
    ASSERT_TRUE(Get("/%2e%2e/x"));
    ASSERT_TRUE(WaitForLineCount(server, 3));
    Query("p1", "", "");
    ASSERT_TRUE(WaitForLineCount(server, 4));
    Query("p9", "", "");
    ASSERT_TRUE(WaitForLineCount(server, 5));
    Post("x", "/comp/zeb/update/v1/?cmd=zeb.other");
    ASSERT_TRUE(WaitForLineCount(server, 6));
    const std::vector<std::string> expected = {
        "GET /files/a.bin 200",
        "GET /files/none.bin 404",
        "GET /%2e%2e/x 403",
        "POST /comp/zeb/update/v1/?cmd=zeb.launcher 200 OK",
        "POST /comp/zeb/update/v1/?cmd=zeb.launcher 200 EMPTY",
        "POST /comp/zeb/update/v1/?cmd=zeb.other 200 ERROR",
    };
    EXPECT_EQ(server.RequestLines(), expected) << server.Output();
    EXPECT_EQ(server.Output().rfind("listening on " + server.FileUrl() + "\n", 0), 0u)
        << server.Output();
}

TEST_F(UpdateServerTest, StopsCleanlyOnSigterm) {
    Publish("p1", "1.0", "1.0");
    EXPECT_EQ(Query("p1", "", "").result, "OK");
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_FALSE(server.Running());
}

TEST(UpdateServerProcess, CustomApiPathIsTheOnlyApiPath) {
    UpdateServerFixture server;
    ASSERT_TRUE(server.Start({"--api-path", "/custom/api/"})) << server.Output();
    server.PublishRelease("p1", server.LauncherInfo("1.0").ToJson(),
                          server.LauncherInfo("1.0").ToJson());
    auto client = server.Client();
    auto res = client->Post("/custom/api/?cmd=zeb.launcher", LauncherRequest("p1", "", ""),
                            kLauncherContentType);
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("\"RESULT\":\"OK\""), std::string::npos) << res->body;
    res = client->Post(kQueryTarget, LauncherRequest("p1", "", ""), kLauncherContentType);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

TEST(UpdateServerProcess, BadCommandLineOrCertificateStopsWithAnError) {
    const TestCa& ca = GetTestCa();
    TempDir folder;
    const std::string cert = ca.serverCert.string(), key = ca.serverKey.string();
    const std::string dir = folder.path().string();
    const std::vector<std::vector<std::string>> usage = {
        {"--port", "0", "--cert", cert, "--key", key},                        // no folder
        {"--port", "70000", "--cert", cert, "--key", key, "--folder", dir},   // bad port
        {"--port", "x1", "--cert", cert, "--key", key, "--folder", dir},
        {"--port", "0", "--cert", cert, "--key", key, "--folder", dir, "--bogus", "1"},
        {"--port", "0", "--cert", cert, "--key", key, "--folder", dir + "/missing"},
        {"--port", "0", "--cert", cert, "--key", key, "--folder", dir, "--api-path", "x"},
        {"--port", "0", "--cert", cert, "--key", key, "--folder"},          // value missing
    };
    for (const auto& args : usage) {
        const ProcessResult result = RunProcess(ZEB_UPDATE_SERVER_EXE, args);
        EXPECT_EQ(result.exitCode, 2) << args.back() << ": " << result.err;
        EXPECT_NE(result.err.find("zeb-update-server: "), std::string::npos) << result.err;
    }
    const ProcessResult badKey = RunProcess(
        ZEB_UPDATE_SERVER_EXE, {"--port", "0", "--cert", cert, "--key", cert, "--folder", dir},
        {}, std::chrono::seconds(10));
    EXPECT_EQ(badKey.exitCode, 1) << badKey.err;
    EXPECT_EQ(RunProcess(ZEB_UPDATE_SERVER_EXE, {"--help"}).exitCode, 0);
}

}  // namespace
