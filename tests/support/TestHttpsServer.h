#pragma once
// An in-process HTTPS server on 127.0.0.1 with an ephemeral port, for tests that need to see
// exactly what a client sent and to answer it however the test likes.
//
//   TestHttpsServer server;                              // test CA's certificate
//   server.Post("/api", [](const httplib::Request&, httplib::Response& res) {
//       res.set_content("{}", "application/json"); });
//   server.Start();
//   ... client talks to server.Url("/api") ...
//   RecordedRequest first = server.Requests().at(0);
//
// Handlers run on the server's threads. A handler that must hang (a stalled peer) calls
// WaitUntilStopping(), which returns once Stop() begins, so the server can always stop.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RecordedRequest {
    std::string method;
    std::string target;  // as received: path and query, not decoded
    std::string path;    // target before '?'
    std::string query;   // target after '?', empty when there is none
    httplib::Headers headers;  // names compare without case
    std::string body;

    // The first value of a header, empty when absent.
    std::string Header(const std::string& name) const;
    size_t HeaderCount(const std::string& name) const;
};

class TestHttpsServer {
public:
    enum class Certificate { kTrusted, kUntrusted };
    // kTrusted: signed by the test CA (call TrustTestCa() to make clients accept it);
    // kUntrusted: self-signed, refused by a verifying client.
    explicit TestHttpsServer(Certificate certificate = Certificate::kTrusted);
    ~TestHttpsServer();
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    // Handlers, set before Start(). Requests to them are recorded with their bodies; other
    // requests without (httplib reads a body only for a handler).
    void Get(const std::string& pattern, httplib::Server::Handler handler);
    void Post(const std::string& pattern, httplib::Server::Handler handler);
    // Answers GET and POST of path with status and body.
    void Serve(const std::string& path, int status, const std::string& body,
               const std::string& contentType = "application/octet-stream");

    // Binds 127.0.0.1 on a free port and serves on a thread. Throws std::runtime_error when
    // the server cannot start.
    void Start();
    void Stop();
    int port() const { return port_; }
    // https://127.0.0.1:PORT followed by path.
    std::string Url(const std::string& path = "") const;

    // Further settings of the server itself (time-outs, ...).
    httplib::Server& server() { return *server_; }

    // Every request that reached the server, oldest first (recorded before its handler runs).
    std::vector<RecordedRequest> Requests() const;
    // Blocks until Stop() begins or limit passes; true when stopping.
    bool WaitUntilStopping(std::chrono::milliseconds limit = std::chrono::minutes(5));

private:
    httplib::Server::Handler Recording(httplib::Server::Handler handler);

    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopping_cv_;
    bool stopping_ = false;
    std::vector<RecordedRequest> requests_;
    std::map<const httplib::Request*, size_t> open_;  // request in progress -> its record
};
