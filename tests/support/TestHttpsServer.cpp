#include "tests/support/TestHttpsServer.h"

#include <stdexcept>

#include "tests/support/TestCa.h"

std::string RecordedRequest::Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

size_t RecordedRequest::HeaderCount(const std::string& name) const {
    return headers.count(name);
}

TestHttpsServer::TestHttpsServer(Certificate certificate) {
    const TestCa& ca = GetTestCa();
    const bool trusted = certificate == Certificate::kTrusted;
    server_ = std::make_unique<httplib::SSLServer>(
        (trusted ? ca.serverCert : ca.untrustedCert).c_str(),
        (trusted ? ca.serverKey : ca.untrustedKey).c_str());
    if (!server_->is_valid()) throw std::runtime_error("test HTTPS server: bad certificate");
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        RecordedRequest record;
        record.method = req.method;
        record.target = req.target;
        const size_t mark = req.target.find('?');
        record.path = req.target.substr(0, mark);
        if (mark != std::string::npos) record.query = req.target.substr(mark + 1);
        record.headers = req.headers;
            std::lock_guard<std::mutex> lock(mutex_);
        open_[&req] = requests_.size();
        requests_.push_back(std::move(record));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_->set_logger([this](const httplib::Request& req, const httplib::Response&) {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(&req);
    });
}

httplib::Server::Handler TestHttpsServer::Recording(httplib::Server::Handler handler) {
    return [this, handler](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto it = open_.find(&req);
            if (it != open_.end()) requests_[it->second].body = req.body;
        }
        handler(req, res);
    };
}

void TestHttpsServer::Get(const std::string& pattern, httplib::Server::Handler handler) {
    server_->Get(pattern, Recording(std::move(handler)));
}

void TestHttpsServer::Post(const std::string& pattern, httplib::Server::Handler handler) {
    server_->Post(pattern, Recording(std::move(handler)));
}

TestHttpsServer::~TestHttpsServer() { Stop(); }

void TestHttpsServer::Serve(const std::string& path, int status, const std::string& body,
                            const std::string& contentType) {
    const auto handler = [status, body, contentType](const httplib::Request&,
                                                     httplib::Response& res) {
        res.status = status;
        res.set_content(body, contentType.c_str());
    };
    Get(path, handler);
    Post(path, handler);
}

void TestHttpsServer::Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("test HTTPS server: cannot bind 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("test HTTPS server: did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void TestHttpsServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopping_cv_.notify_all();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string TestHttpsServer::Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RecordedRequest> TestHttpsServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool TestHttpsServer::WaitUntilStopping(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return stopping_cv_.wait_for(lock, limit, [this] { return stopping_; });
}
