#include "tests/support/LauncherRunner.h"

#include <thread>

#include "tests/support/LogEntries.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

bool IsHexNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

bool IsPcGuid(const std::string& text) {
    static const char kShape[] = "xxxxxxxx-xxxx-4xxx-vxxx-xxxxxxxxxxxx";
    if (text.size() != sizeof kShape - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        switch (kShape[i]) {
            case 'x': if (!hex) return false; break;
            case 'v': if (c != '8' && c != '9' && c != 'a' && c != 'b') return false; break;
            default: if (c != kShape[i]) return false;
        }
    }
    return true;
}

bool ParseClientInfo(const std::string& bytes, std::string& pcGuid, std::string& launcherPath) {
    static const std::string kHead = "\xEF\xBB\xBF{\n    \"PC_GUID\": \"";
    static const std::string kMiddle = "\",\n    \"PATH_LAUNCHER\": \"";
    static const std::string kTail = "\"\n}";
    if (bytes.compare(0, kHead.size(), kHead) != 0) return false;
    const size_t middle = bytes.find(kMiddle, kHead.size());
    if (middle == std::string::npos || bytes.size() < middle + kMiddle.size() + kTail.size() ||
        bytes.compare(bytes.size() - kTail.size(), kTail.size(), kTail) != 0)
        return false;
    pcGuid = bytes.substr(kHead.size(), middle - kHead.size());
    const size_t pathStart = middle + kMiddle.size();
    launcherPath = bytes.substr(pathStart, bytes.size() - kTail.size() - pathStart);
    return true;
}

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

bool ParseLogLine(const std::string& text, LogLine& out) {
    static const std::string kOpen = "[";
    if (!StartsLogEntry(text, 0) || text.size() < 23 || text.compare(21, 2, "][") != 0)
        return false;
    out.level = text[20];
    // [executable:pid:tid]
    const size_t processEnd = text.find(']', 23);
    if (processEnd == std::string::npos) return false;
    const std::string process = text.substr(23, processEnd - 23);
    const size_t tidColon = process.rfind(':');
    const size_t pidColon = tidColon == std::string::npos || tidColon == 0
                                ? std::string::npos
                                : process.rfind(':', tidColon - 1);
    if (pidColon == std::string::npos) return false;
    out.executable = process.substr(0, pidColon);
    const std::string pid = process.substr(pidColon + 1, tidColon - pidColon - 1);
    const std::string tid = process.substr(tidColon + 1);
    if (!IsHexNumber(pid) || !IsHexNumber(tid)) return false;
    out.pid = std::stoul(pid, nullptr, 16);
    out.tid = std::stoul(tid, nullptr, 16);
    // [file:function:line] (the function may hold "::")
    if (text.compare(processEnd + 1, 1, kOpen) != 0) return false;
    const size_t whereStart = processEnd + 2;
    const size_t whereEnd = text.find("] ", whereStart);
    if (whereEnd == std::string::npos) return false;
    const std::string where = text.substr(whereStart, whereEnd - whereStart);
    const size_t fileColon = where.find(':');
    const size_t lineColon = where.rfind(':');
    if (fileColon == std::string::npos || lineColon == fileColon) return false;
    const std::string line = where.substr(lineColon + 1);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) return false;
    out.sourceFile = where.substr(0, fileColon);
    out.function = where.substr(fileColon + 1, lineColon - fileColon - 1);
    out.line = std::stoi(line);
    out.message = text.substr(whereEnd + 2);
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
