#include "tests/support/LauncherRunner.h"

#include <regex>
#include <thread>

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

fs::path CopyLauncherTo(const fs::path& folder, const std::string& fileName) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path target = folder / fileName;
    if (!fs::copy_file(ZEB_LAUNCHER_EXE, target, fs::copy_options::overwrite_existing, ec))
        return fs::path();
    fs::permissions(target, fs::status(ZEB_LAUNCHER_EXE).permissions(), ec);
    return ec ? fs::path() : target;
}

fs::path LauncherRootFolder(const fs::path& programData) { return programData / "Vantrel"; }

fs::path LauncherLogPath(const fs::path& programData) {
    return LauncherRootFolder(programData) / "logs" / "zeb.cpp.log";
}

fs::path ClientInfoPath(const fs::path& programData) {
    return LauncherRootFolder(programData) / "ZebCliInfo.json";
}

std::string ReadLauncherLog(const fs::path& programData) {
    return ReadFileBytes(LauncherLogPath(programData));
}

std::vector<std::string> ReadLauncherLogLines(const fs::path& programData) {
    // A message may hold CR LF itself: a line ends only where the next one starts.
    static const std::regex kLineEnd(R"(\r\n(?=\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[|$))");
    const std::string log = ReadLauncherLog(programData);
    std::vector<std::string> lines;
    std::sregex_token_iterator it(log.begin(), log.end(), kLineEnd, -1), end;
    for (; it != end; ++it)
        if (it->length() > 0) lines.push_back(*it);
    return lines;
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

bool ParseLogLine(const std::string& text, LogLine& out) {
    // A line carries the source location whenever the caller named its source file.
    static const std::regex kLine(
        R"(^\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(.)\]\[([^:\]]*):([0-9a-f]+):([0-9a-f]+)\])"
        R"(\[([^:\]]*):([^\]]*?):(\d+)\] )");
    std::smatch m;
    if (!std::regex_search(text, m, kLine)) return false;
    out.level = m[1].str()[0];
    out.executable = m[2];
    out.pid = std::stoul(m[3], nullptr, 16);
    out.tid = std::stoul(m[4], nullptr, 16);
    out.sourceFile = m[5];
    out.function = m[6];
    out.line = std::stoi(m[7]);
    out.message = text.substr(static_cast<size_t>(m.length(0)));
    return true;
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
