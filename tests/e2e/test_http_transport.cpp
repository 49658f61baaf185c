// The HTTPS request and the file downloads over libcurl, against real HTTPS peers on
// 127.0.0.1: what goes on the wire, what comes back, and how each failure ends.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "common/os/os.h"
#include "server/GL_Internet.h"
#include "tests/support/LocalSockets.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class HttpTransport : public ::testing::Test {
protected:
    void SetUp() override { TrustTestCa(); }
    TestLog log;
    TestHttpsServer server;
    TempDir dir;
};

// ---- request ---------------------------------------------------------------------------

TEST_F(HttpTransport, RequestIsAPostWithOnlyTheAcceptHeaderAdded) {
    server.Serve("/api", 200, "pong");
    server.Start();
    const std::string body = "{\n    \"K\": \"v \\\" \xED\x95\x9C\"\n}";
    std::string reply = "old";
    ASSERT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(server.Url("/api?cmd=x"), body, reply));
    EXPECT_EQ(reply, "pong");

    ASSERT_EQ(server.Requests().size(), 1u);
    const RecordedRequest request = server.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api?cmd=x");
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.HeaderCount("Accept"), 1u);
    EXPECT_EQ(request.Header("Accept"), "application/json");
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
    for (const char* absent : {"User-Agent", "Cookie", "Authorization"})
        EXPECT_EQ(request.HeaderCount(absent), 0u) << absent;
}

TEST_F(HttpTransport, ErrorStatusStillHandsTheBodyOn) {
    server.Serve("/api", 404, "no such thing \xEC\x97\x86\xEC\x9D\x8C");
    server.Start();
    std::wstring reply;
    EXPECT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(std::wstring(L"") + L"https://127.0.0.1:" +
                                                      std::to_wstring(server.port()) + L"/api",
                                                  L"b", reply));
    EXPECT_EQ(reply, L"no such thing 없음");
}

TEST_F(HttpTransport, EmptyReplyLeavesTheCallersTextAndBadUtf8EmptiesIt) {
    server.Serve("/empty", 200, "");
    server.Serve("/latin1", 200, "caf\xE9");
    server.Start();
    const std::wstring base = L"https://127.0.0.1:" + std::to_wstring(server.port());
    std::wstring reply = L"as before";
    EXPECT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(base + L"/empty", L"", reply));
    EXPECT_EQ(reply, L"as before");
    EXPECT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(base + L"/latin1", L"", reply));
    EXPECT_EQ(reply, L"");
}

TEST_F(HttpTransport, UntrustedCertificateIsRefusedLikeAnUnreachableServer) {
    TestHttpsServer untrusted(TestHttpsServer::Certificate::kUntrusted);
    untrusted.Serve("/api", 200, "should not arrive");
    untrusted.Serve("/f.bin", 200, "data");
    untrusted.Start();
    std::string reply = "unchanged";
    EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(untrusted.Url("/api"), "secret", reply));
    EXPECT_EQ(reply, "unchanged");
    EXPECT_TRUE(untrusted.Requests().empty());
    EXPECT_EQ(log.Matching("[ENU:20]curl_easy_perform failed(60) : ").size(), 1u) << log.Text();

    const fs::path local = dir / "f.bin";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(untrusted.Url(), DownloadSetA{{local.string(), "f.bin"}},
                                                      true));
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(log.Matching("[ENU:30]curl_easy_perform failed(60) : ").size(), 1u) << log.Text();
}

TEST_F(HttpTransport, NothingListeningFailsWithTwenty) {
    std::string reply;
    EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(
        "https://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/", "", reply));
    const auto lines = log.Matching("[ENU:20]curl_easy_perform failed(7) : ");
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find(":GL_INTERNET_HTTPSendRequestByCurl:"), std::string::npos);
}

TEST_F(HttpTransport, PeerThatAnswersNothingIsAbandoned) {
    // Past the TLS handshake: the request is read, no reply ever comes.
    server.Post("/hang", [this](const httplib::Request&, httplib::Response&) {
        server.WaitUntilStopping();
    });
    server.Start();
    ScopedEnv stall("ZEB_TEST_STALL_TIME", "2");
    const auto start = Clock::now();
    std::string reply;
    EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(server.Url("/hang"), "", reply));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(log.Matching("[ENU:20]curl_easy_perform failed(28) : ").size(), 1u) << log.Text();
}

TEST_F(HttpTransport, PeerThatNeverStartsTlsIsAbandoned) {
    SilentTcpListener silent;
    ScopedEnv connect("ZEB_TEST_CONNECT_TIMEOUT", "2");
    const auto start = Clock::now();
    std::string reply;
    EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(
        "https://127.0.0.1:" + std::to_string(silent.port()) + "/", "", reply));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(log.Matching("[ENU:20]curl_easy_perform failed(28) : ").size(), 1u) << log.Text();
}

// A body sent in pieces until the client goes away (or limit bytes have gone).
httplib::ContentProviderWithoutLength Endless(size_t limit = size_t{64} << 20) {
    return [limit](size_t offset, httplib::DataSink& sink) {
        if (offset >= limit) {
            sink.done();
            return true;
        }
        const std::string piece(64 * 1024, 'e');
        return sink.write(piece.data(), piece.size());
    };
}

TEST_F(HttpTransport, ReplyIsTakenUpToSixteenMebibytesAndNoMore) {
    const size_t limit = size_t{16} << 20;
    server.Serve("/full", 200, std::string(limit, 'f'));
    server.Serve("/over", 200, std::string(limit + 1, 'o'));
    server.Post("/endless", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/json", Endless());
    });
    server.Start();
    std::string reply;
    ASSERT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(server.Url("/full"), "", reply));
    EXPECT_EQ(reply.size(), limit);
    for (const char* path : {"/over", "/endless"}) {
        reply = "kept";
        EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(server.Url(path), "", reply)) << path;
        EXPECT_EQ(reply, "kept");
        EXPECT_EQ(log.Matching("[ENU:25]서버 응답이 16777216 바이트를 넘어 받기 중단\r\n" +
                               server.Url(path))
                      .size(),
                  1u)
            << log.Text();
    }
}

TEST_F(HttpTransport, ReplyThatDripsIsCutAtTheTotalTimeLimit) {
    // Two bytes a second pass the stall rule; the drip ends by itself only after 30 s.
    server.Post("/drip", [this](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/json", [this](size_t offset,
                                                                    httplib::DataSink& sink) {
            if (offset >= 60 || server.WaitUntilStopping(std::chrono::milliseconds(500))) {
                sink.done();
                return true;
            }
            return sink.write("x", 1);
        });
    });
    server.Start();
    ScopedEnv limit("ZEB_TEST_REQUEST_TIME", "3");
    const auto start = Clock::now();
    std::string reply = "kept";
    EXPECT_FALSE(GL_INTERNET_HTTPSendRequestByCurl(server.Url("/drip"), "", reply));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(reply, "kept");
    EXPECT_EQ(log.Matching("[ENU:30]서버 응답이 3초 안에 끝나지 않아 중단\r\n" + server.Url("/drip"))
                  .size(),
              1u)
        << log.Text();
    EXPECT_TRUE(log.Matching("[ENU:20]").empty()) << log.Text();
}

TEST(HttpTransportTrace, HeadersReachTheDebugLogButBodiesDoNot) {
    TrustTestCa();
    TestLog log(true);
    TestHttpsServer server;
    server.Serve("/api", 200, "reply-body-text");
    server.Start();
    std::string reply;
    ASSERT_TRUE(GL_INTERNET_HTTPSendRequestByCurl(server.Url("/api"), "COMP_PASS=hunter2", reply));
    const std::string text = log.Text();
    EXPECT_NE(text.find("[D]"), std::string::npos);
    EXPECT_NE(text.find("> POST /api HTTP/1.1"), std::string::npos) << text;
    EXPECT_NE(text.find("< HTTP/1.1 200 OK"), std::string::npos) << text;
    EXPECT_EQ(text.find("hunter2"), std::string::npos);
    EXPECT_EQ(text.find("reply-body-text"), std::string::npos);
}

// Allocation failures inside libcurl, switched on after its global set-up.
bool g_failAllocations = false;
void* FailingMalloc(size_t size) { return g_failAllocations ? nullptr : std::malloc(size); }
void* FailingCalloc(size_t count, size_t size) {
    return g_failAllocations ? nullptr : std::calloc(count, size);
}
void* PlainRealloc(void* p, size_t size) { return std::realloc(p, size); }
char* PlainStrdup(const char* s) { return strdup(s); }

TEST_F(HttpTransport, LibraryThatCannotStartFailsBothOperations) {
    ASSERT_EQ(curl_global_init_mem(CURL_GLOBAL_ALL, FailingMalloc, std::free, PlainRealloc,
                                   PlainStrdup, FailingCalloc),
              CURLE_OK);
    g_failAllocations = true;
    std::string reply;
    const bool sent = GL_INTERNET_HTTPSendRequestByCurl("https://127.0.0.1:1/x", "", reply);
    const bool fetched = GL_INTERNET_HTTPDownloadToFileByCurl(
        "https://127.0.0.1:1", DownloadSetA{{(dir / "a.bin").string(), "a.bin"}}, true);
    g_failAllocations = false;
    curl_global_cleanup();
    EXPECT_FALSE(sent);
    EXPECT_FALSE(fetched);
    EXPECT_EQ(log.Matching("[ENU:10]curl 초기화 실패\r\nhttps://127.0.0.1:1/x").size(), 1u) << log.Text();
    EXPECT_EQ(log.Matching("[ENU:5]curl 초기화 실패\r\nhttps://127.0.0.1:1/a.bin").size(), 1u) << log.Text();
}

// ---- downloads -------------------------------------------------------------------------

TEST_F(HttpTransport, DownloadJoinsBaseAndServerPathWithOneSlash) {
    server.Serve("/root/dir/a.bin", 200, "A");
    server.Serve("/root/dir/b.bin", 200, "B");
    server.Serve("/root/c.bin", 200, "C");
    server.Start();
    const std::string base = server.Url("/root");
    ASSERT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(base + "/",
                                                     DownloadSetA{
                                                         {(dir / "1").string(), "/dir/a.bin"},
                                                         {(dir / "2").string(), base + "/dir/b.bin"},
                                                         {(dir / "3").string(), "c.bin"},
                                                     },
                                                     true));
    std::vector<std::string> targets;
    for (const RecordedRequest& r : server.Requests()) {
        targets.push_back(r.target);
        EXPECT_EQ(r.method, "GET");
    }
    EXPECT_EQ(targets, (std::vector<std::string>{"/root/dir/a.bin", "/root/dir/b.bin", "/root/c.bin"}));
    EXPECT_EQ(ReadFileBytes(dir / "2"), "B");
}

TEST_F(HttpTransport, DownloadCreatesFoldersWritesBytesAndFollowsRedirects) {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    server.Serve("/real/setup.exe", 200, bytes);
    server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/real/setup.exe");
    });
    server.Start();
    const fs::path exe = dir / "new/deeper/setup.exe";
    std::wstring korean;  // the test runs in the C locale: no wide path conversions
    ASSERT_TRUE(os::Utf8ToWide((dir / "새 폴더/자료.bin").string(), korean));
    ASSERT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(
        L"https://127.0.0.1:" + std::to_wstring(server.port()),
        DownloadSet{{exe.wstring(), L"moved"}, {korean, L"real/setup.exe"}}, true));
    EXPECT_EQ(ReadFileBytes(exe), bytes);
    EXPECT_EQ(ReadFileBytes(dir / "새 폴더/자료.bin"), bytes);
    struct stat info {};
    ASSERT_EQ(stat(exe.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
    ASSERT_EQ(stat((dir / "새 폴더/자료.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & S_IXUSR, 0u);
}

TEST_F(HttpTransport, OverwriteDecidesAboutExistingFiles) {
    server.Serve("/f", 200, "fresh");
    server.Start();
    const fs::path kept = dir / "kept";
    const fs::path empty = dir / "empty";
    WriteFileBytes(kept, "local");
    WriteFileBytes(empty, "");
    ASSERT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(
        server.Url(), DownloadSetA{{kept.string(), "f"}, {empty.string(), "f"}}, false));
    EXPECT_EQ(ReadFileBytes(kept), "local");
    EXPECT_EQ(ReadFileBytes(empty), "fresh");
    EXPECT_EQ(server.Requests().size(), 1u);

    ASSERT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{kept.string(), "f"}}, true));
    EXPECT_EQ(ReadFileBytes(kept), "fresh");
}

TEST_F(HttpTransport, ErrorStatusFailsTheDownloadAndLeavesNoFile) {
    server.Serve("/missing.bin", 404, "<html>not found</html>");
    server.Start();
    const fs::path local = dir / "missing.bin";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "missing.bin"}},
                                                      true));
    EXPECT_FALSE(fs::exists(local));
    const std::string expected = "[ENU:30]curl_easy_perform failed(22) : ";
    const auto lines = log.Matching(expected);
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find(":GL_INTERNET_HTTPDownloadToFileByCurl:"), std::string::npos);
    EXPECT_NE(lines[0].find("\r\nDownloadFile() 실패\r\nfrom: " + server.Url("/missing.bin") +
                            "\r\nto: " + local.string()),
              std::string::npos)
        << lines[0];
}

TEST_F(HttpTransport, ZeroByteFileFailsWithFortyAndLeavesNoFile) {
    server.Serve("/zero", 200, "");
    server.Start();
    const fs::path local = dir / "zero";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "zero"}}, true));
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(log.Matching("[ENU:40]파일을 다운로드했으나 크기가 0\r\nfrom: " + server.Url("/zero") +
                           "\r\nto: " + local.string())
                  .size(),
              1u)
        << log.Text();
}

TEST_F(HttpTransport, FailureInTheMiddleKeepsEarlierFilesAndStops) {
    server.Serve("/1", 200, "one");
    server.Serve("/3", 200, "three");
    server.Start();
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(
        server.Url(),
        DownloadSetA{{(dir / "a").string(), "1"}, {(dir / "b").string(), "2"}, {(dir / "c").string(), "3"}},
        true));
    EXPECT_EQ(ReadFileBytes(dir / "a"), "one");
    EXPECT_FALSE(fs::exists(dir / "b"));
    EXPECT_FALSE(fs::exists(dir / "c"));
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(HttpTransport, TruncatedTransferDeletesThePartialFile) {
    server.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(100000, "application/octet-stream",
                                 [](size_t, size_t, httplib::DataSink& sink) {
                                     sink.write("0123456789", 10);
                                     return false;  // the connection ends short
                                 });
    });
    server.Start();
    const fs::path local = dir / "cut";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "cut"}}, true));
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(log.Matching("[ENU:30]curl_easy_perform failed(18) : ").size(), 1u) << log.Text();
}

TEST_F(HttpTransport, StalledTransferIsAbandonedAndItsFileDeleted) {
    server.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(100000, "application/octet-stream",
                                 [this](size_t, size_t, httplib::DataSink& sink) {
                                     sink.write("0123456789", 10);
                                     server.WaitUntilStopping();
                                     return false;
                                 });
    });
    server.Start();
    ScopedEnv stall("ZEB_TEST_STALL_TIME", "2");
    const fs::path local = dir / "stall";
    const auto start = Clock::now();
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "stall"}}, true));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(fs::exists(local));
    EXPECT_EQ(log.Matching("[ENU:30]curl_easy_perform failed(28) : ").size(), 1u) << log.Text();
}

TEST_F(HttpTransport, GivenSizeBoundsTheDownloadAndMustBeMet) {
    server.Serve("/f", 200, std::string(1000, 'f'));
    server.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", Endless());
    });
    server.Start();
    const fs::path local = dir / "f.bin";
    const auto fetch = [&](const std::string& serverPath, uint32_t size) {
        return GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), serverPath}},
                                                    true, DownloadSizesA{{local.string(), size}});
    };
    for (const uint32_t size : {999u, 1001u}) {
        EXPECT_FALSE(fetch("f", size)) << size;
        EXPECT_FALSE(fs::exists(local));
        EXPECT_FALSE(fs::exists(dir / "f.bin.part"));
    }
    EXPECT_EQ(log.Matching("[ENU:35]받은 데이터가 999 바이트를 넘어 다운로드 중단\r\nfrom: " +
                           server.Url("/f") + "\r\nto: " + local.string())
                  .size(),
              1u)
        << log.Text();
    EXPECT_EQ(log.Matching("[ENU:45]다운로드한 파일의 크기(1000 바이트)가 FILE_SIZE(1001 바이트)와 다름"
                           "\r\nfrom: " + server.Url("/f") + "\r\nto: " + local.string())
                  .size(),
              1u)
        << log.Text();

    // An endless body stops just past the given size.
    EXPECT_FALSE(fetch("endless", 100000));
    EXPECT_EQ(log.Matching("[ENU:35]받은 데이터가 100000 바이트를 넘어").size(), 1u);

    ASSERT_TRUE(fetch("f", 1000)) << log.Text();
    EXPECT_EQ(ReadFileBytes(local), std::string(1000, 'f'));
    // Sizes of other files, and a size of 0, bind nothing.
    ASSERT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(
        server.Url(), DownloadSetA{{local.string(), "f"}}, true,
        DownloadSizesA{{(dir / "other").string(), 5}}));
    ASSERT_TRUE(fetch("f", 0));
}

TEST_F(HttpTransport, DownloadWithoutAGivenSizeStopsAtTheCeiling) {
    server.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", Endless());
    });
    server.Start();
    ScopedEnv ceiling("ZEB_TEST_DOWNLOAD_CEILING", "1048576");
    const fs::path local = dir / "endless.bin";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "endless"}},
                                                      true));
    EXPECT_FALSE(fs::exists(local));
    EXPECT_FALSE(fs::exists(dir / "endless.bin.part"));
    EXPECT_EQ(log.Matching("[ENU:35]받은 데이터가 1048576 바이트를 넘어 다운로드 중단\r\nfrom: " +
                           server.Url("/endless"))
                  .size(),
              1u)
        << log.Text();
}

TEST_F(HttpTransport, FileKeepsItsPartialNameUntilItIsComplete) {
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    const std::string half(100000, 'h');
    server.Get("/slow.exe", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(2 * half.size(), "application/octet-stream",
                                 [&](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) {
                                         std::unique_lock<std::mutex> lock(mutex);
                                         cv.wait_for(lock, std::chrono::seconds(30),
                                                     [&] { return release; });
                                     }
                                     return sink.write(half.data(), half.size());
                                 });
    });
    server.Start();
    const fs::path local = dir / "slow.exe";
    const fs::path partial = dir / "slow.exe.part";
    WriteFileBytes(local, "the file as it was");

    std::thread download([&] {
        EXPECT_TRUE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), "slow.exe"}},
                                                         true));
    });
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (ReadFileBytes(partial).size() < half.size() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Half arrived: nothing under the real name can pass for the file.
    EXPECT_EQ(ReadFileBytes(partial), half);
    EXPECT_FALSE(fs::exists(local));
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    cv.notify_all();
    download.join();
    EXPECT_EQ(ReadFileBytes(local), half + half);
    EXPECT_FALSE(fs::exists(partial));
    struct stat info {};
    ASSERT_EQ(stat(local.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
}

TEST_F(HttpTransport, EmptyServerPathIsRefusedWithoutTouchingTheLocalFile) {
    server.Start();
    const fs::path local = dir / "installed.dll";
    WriteFileBytes(local, "installed");
    for (const std::string& serverPath : {std::string(), std::string("/"), server.Url() + "/"}) {
        EXPECT_FALSE(
            GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{local.string(), serverPath}}, true));
        EXPECT_EQ(ReadFileBytes(local), "installed");
    }
    EXPECT_EQ(log.Matching("[ENU:20]다운로드 경로가 비어 있음\r\nfrom: " + server.Url() + "/\r\nto: " +
                           local.string())
                  .size(),
              3u)
        << log.Text();
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpTransport, LocalPathThatCannotBeCreatedOrOpenedFailsWithTen) {
    server.Serve("/f", 200, "data");
    server.Start();
    WriteFileBytes(dir / "plain", "a file, not a folder");
    const fs::path underFile = dir / "plain/sub/f";
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{underFile.string(), "f"}}, true));
    const auto created = log.Matching("[ENU:10]Can not create directory.\r\n" + underFile.string());
    ASSERT_EQ(created.size(), 1u) << log.Text();
    EXPECT_NE(created[0].find("[ENW:"), std::string::npos);  // with the system's error

    const fs::path folder = dir / "a folder";
    fs::create_directories(folder);
    EXPECT_FALSE(GL_INTERNET_HTTPDownloadToFileByCurl(server.Url(), DownloadSetA{{folder.string(), "f"}}, true));
    const auto opened = log.Matching("[ENU:10]Can open file.\r\n" + folder.string());
    ASSERT_EQ(opened.size(), 1u) << log.Text();
    EXPECT_NE(opened[0].find("[ENW:21]"), std::string::npos);  // EISDIR
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
