#pragma once
// The sample program (zeb-sample-app) as a test target: copies of it under chosen names,
// its environment switches and the record it writes of how it was started.
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ScopedEnv.h"

struct SampleAppRecord {
    unsigned pid = 0;
    std::string cwd;
    std::string exe;
    std::string commandLine;  // as the system handed it over, program name included
    std::vector<std::string> args;
};

// Copies the built sample program to path (folders created, mode kept).
void CopySampleApp(const std::filesystem::path& path);
// The record beside the program at exePath, once it exists; nullopt after the time-out.
std::optional<SampleAppRecord> WaitForSampleAppRecord(
    const std::filesystem::path& exePath,
    std::chrono::milliseconds timeout = std::chrono::seconds(10));
std::optional<SampleAppRecord> ParseSampleAppRecord(const std::string& text);
// Exit event name of the sample program for a short name.
std::string SampleAppEventName(const std::string& shortName);
// A short name no other test uses.
std::string UniqueShortName(const std::string& stem);
