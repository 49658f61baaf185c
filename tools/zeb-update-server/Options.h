#pragma once
// Command line of the update server.
#include <filesystem>
#include <optional>
#include <string>

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 8443;  // 0 asks the system for a free port
    std::string certFile;
    std::string keyFile;
    std::filesystem::path folder;  // release folder: releases/<PRG_ID>.json and the served files
    std::string apiPath = "/comp/zeb/update/v1/";
    bool showHelp = false;  // --help: print the usage and stop; nothing else is checked
};

// Reads "--name value" or "--name=value" items. Returns std::nullopt with a reason in error
// when an item is unknown, a value is missing or malformed, or a required item is absent.
std::optional<ServerOptions> ParseOptions(int argc, const char* const* argv, std::string& error);

const char* UsageText();
