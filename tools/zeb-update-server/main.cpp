// zeb-update-server: answers the launcher's update API from a release folder and serves the
// files below it over HTTPS.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "tools/zeb-update-server/Options.h"
#include "tools/zeb-update-server/RequestLog.h"
#include "tools/zeb-update-server/StaticFiles.h"
#include "tools/zeb-update-server/UpdateQuery.h"

namespace fs = std::filesystem;

namespace {

// Carries the envelope's RESULT from the API handler to the request log.
constexpr const char* kResultHeader = "X-Zeb-Result";
// Largest request body read; the launcher's request is a few hundred bytes.
constexpr size_t kMaxBodyBytes = 1 << 20;

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "flag is set from a signal handler");

extern "C" void OnStopSignal(int) { stopRequested = true; }

// The library routes by regular expression; the API path is meant literally.
std::string RegexLiteral(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '/' || c == '_' || c == '-'))
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

std::string HostForUrl(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

void AnswerFile(const fs::path& root, const httplib::Request& request,
                httplib::Response& response) {
    const ServedFile file = ResolveServedFile(root, request.path);
    switch (file.state) {
        case FileLookup::kFound:
            StreamFile(file, request, response);
            return;
        case FileLookup::kRefused:
            response.status = 403;
            response.set_content("forbidden\n", "text/plain");
            return;
        case FileLookup::kMissing:
            response.status = 404;
            response.set_content("not found\n", "text/plain");
            return;
    }
}

// The launcher posts its JSON with the default form content type; reading the body through
// a content reader keeps the library from parsing it as form fields (which would also cap it
// at 8 KiB). The payload limit still holds.
void AnswerQuery(const fs::path& folder, const httplib::Request& request,
                 httplib::Response& response, const httplib::ContentReader& reader) {
    std::string body;
    bool read = false;
    if (request.is_multipart_form_data()) {
        read = reader([](const httplib::MultipartFormData&) { return true; },
                      [](const char*, size_t) { return true; });
    } else {
        read = reader([&body](const char* data, size_t length) {
            body.append(data, length);
            return true;
        });
    }
    if (!read) return;  // the library has set the status (413 for a body over the limit)
    std::optional<std::string> cmd;
    if (request.has_param("cmd")) cmd = request.get_param_value("cmd");
    const Envelope envelope = AnswerUpdateQuery(folder, cmd, body);
    response.set_content(SerializeEnvelope(envelope, CurrentTimeStamp()),
                         "application/json; charset=utf-8");
    response.set_header(kResultHeader, envelope.result);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << "zeb-update-server: " << error << "\n" << UsageText();
        return 2;
    }
    if (options->showHelp) {
        std::cout << UsageText();
        return 0;
    }
    std::error_code ec;
    const fs::path root = fs::canonical(options->folder, ec);
    if (ec || !fs::is_directory(root)) {
        std::cerr << "zeb-update-server: not a folder: " << options->folder.string() << "\n";
        return 2;
    }

    httplib::SSLServer server(options->certFile.c_str(), options->keyFile.c_str());
    if (!server.is_valid()) {
        std::cerr << "zeb-update-server: cannot load the certificate " << options->certFile
                  << " or the key " << options->keyFile << "\n";
        return 1;
    }
    server.set_payload_max_length(kMaxBodyBytes);
    // GET and HEAD are answered before routing so that no regular expression runs over
    // request paths of arbitrary shape.
    server.set_pre_routing_handler([&root](const httplib::Request& request,
                                           httplib::Response& response) {
        if (request.method != "GET" && request.method != "HEAD")
            return httplib::Server::HandlerResponse::Unhandled;
        AnswerFile(root, request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Post(RegexLiteral(options->apiPath),
                [&root](const httplib::Request& request, httplib::Response& response,
                        const httplib::ContentReader& reader) {
                    AnswerQuery(root, request, response, reader);
                });
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        WriteOutputLine(FormatRequestLine(request.method, request.target, response.status,
                                          response.get_header_value(kResultHeader)));
    });

    int port = options->port;
    bool bound = false;
    if (port == 0) {
        port = server.bind_to_any_port(options->address);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(options->address, port);
    }
    if (!bound) {
        std::cerr << "zeb-update-server: cannot listen on " << options->address << ":"
                  << options->port << "\n";
        return 1;
    }

    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);
    // A client that goes away mid-download must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    WriteOutputLine("listening on https://" + HostForUrl(options->address) + ":" +
                    std::to_string(port) + "/");

    std::atomic<bool> finished{false};
    std::thread watcher([&server, &finished] {
        using namespace std::chrono_literals;
        while (!finished) {
            // Stopping is only safe once the accept loop runs; until then keep the request.
            if (stopRequested && server.is_running()) {
                server.stop();
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
    });
    const bool listened = server.listen_after_bind();
    finished = true;
    watcher.join();
    return listened || stopRequested ? 0 : 1;
}
