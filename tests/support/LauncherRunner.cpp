#include "tests/support/LauncherRunner.h"

#include <thread>

#include "tests/support/LogEntries.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

EnvChanges LauncherEnvironment(const LauncherOptions& options) {
    EnvChanges env;
    env["ProgramData"] = options.programData.string();
    env["DISPLAY"] = std::nullopt;
    env["WAYLAND_DISPLAY"] = std::nullopt;
    for (const auto& [name, value] : options.env) env[name] = value;
    return env;
}

ProcessResult RunLauncher(const std::vector<std::string>& args, const LauncherOptions& options) {
    return RunProcess(options.executable.string(), args, LauncherEnvironment(options),
                      options.timeout, options.workingDirectory);
}

bool StartLauncher(BackgroundProcess& process, const std::vector<std::string>& args,
                   const LauncherOptions& options, const std::string& outputFile) {
    return process.Start(options.executable.string(), args, LauncherEnvironment(options),
                         outputFile);
}

fs::path CopyLauncherTo(const fs::path& folder, const std::string& fileName, const fs::path& source) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path target = folder / fileName;
    if (!fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec))
        return fs::path();
    fs::permissions(target, fs::status(source).permissions(), ec);
    return ec ? fs::path() : target;
}

fs::path LauncherRootFolder(const fs::path& programData) { return programData / "Vantrel"; }

fs::path LauncherLogPath(const fs::path& programData) {
    return LauncherRootFolder(programData) / "logs" / "zeb.cpp.log";
}

fs::path ClientInfoPath(const fs::path& programData) {
    return LauncherRootFolder(programData) / "ZebCliInfo.json";
}

bool AnyUpdateMarker(const fs::path& programData, const std::string& prgId) {
    const fs::path folder = LauncherRootFolder(programData) / "_update" / prgId;
    for (const char* state : {"moving", "installing", "installed"})
        if (fs::exists(folder / (prgId + "_updating_" + state + ".json"))) return true;
    return false;
}

std::string ReadLauncherLog(const fs::path& programData) {
    return ReadFileBytes(LauncherLogPath(programData));
}

std::vector<std::string> ReadLauncherLogLines(const fs::path& programData) {
    return SplitLogEntries(ReadLauncherLog(programData));
}

std::string ReadClientInfo(const fs::path& programData) {
    return ReadFileBytes(ClientInfoPath(programData));
}

bool WaitForLauncherLog(const fs::path& programData, const std::string& needle,
                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (ReadLauncherLog(programData).find(needle) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::vector<LogLine> FindLogLines(const fs::path& programData, const std::string& messagePrefix) {
    std::vector<LogLine> found;
    for (const std::string& text : ReadLauncherLogLines(programData)) {
        LogLine line;
        if (ParseLogLine(text, line) && line.message.rfind(messagePrefix, 0) == 0)
            found.push_back(line);
    }
    return found;
}
