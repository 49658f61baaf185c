#include "tools/zeb-update-server/Options.h"

#include <charconv>
#include <string_view>

namespace {

bool ParsePort(std::string_view text, int& port) {
    int value = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535)
        return false;
    port = value;
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: zeb-update-server --cert FILE --key FILE --folder DIR\n"
           "                         [--address ADDR] [--port N] [--api-path PATH]\n"
           "  --address   address to listen on (default 127.0.0.1)\n"
           "  --port      port to listen on, 0 for any free port (default 8443)\n"
           "  --cert      server certificate, PEM\n"
           "  --key       private key of the certificate, PEM\n"
           "  --folder    release folder: releases/<PRG_ID>.json and the files to serve\n"
           "  --api-path  path of the update API (default /comp/zeb/update/v1/)\n";
}

std::optional<ServerOptions> ParseOptions(int argc, const char* const* argv, std::string& error) {
    ServerOptions options;
    bool folderGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view item = argv[i];
        if (item == "--help" || item == "-h") {
            options.showHelp = true;
            return options;
        }
        std::string_view name = item;
        std::optional<std::string_view> value;
        if (auto eq = item.find('='); eq != std::string_view::npos) {
            name = item.substr(0, eq);
            value = item.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        }
        if (!value) {
            error = "missing value for " + std::string(name);
            return std::nullopt;
        }
        if (name == "--address") {
            options.address = *value;
        } else if (name == "--port") {
            if (!ParsePort(*value, options.port)) {
                error = "bad port: " + std::string(*value);
                return std::nullopt;
            }
        } else if (name == "--cert") {
            options.certFile = *value;
        } else if (name == "--key") {
            options.keyFile = *value;
        } else if (name == "--folder") {
            options.folder = std::string(*value);
            folderGiven = !value->empty();
        } else if (name == "--api-path") {
            if (value->empty() || value->front() != '/') {
                error = "the API path must begin with '/': " + std::string(*value);
                return std::nullopt;
            }
            options.apiPath = *value;
        } else {
            error = "unknown option: " + std::string(name);
            return std::nullopt;
        }
    }
    if (options.address.empty()) error = "empty --address";
    else if (options.certFile.empty()) error = "--cert is required";
    else if (options.keyFile.empty()) error = "--key is required";
    else if (!folderGiven) error = "--folder is required";
    if (!error.empty()) return std::nullopt;
    return options;
}
