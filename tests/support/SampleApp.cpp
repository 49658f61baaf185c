#include "tests/support/SampleApp.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "tests/support/TempDir.h"

void CopySampleApp(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(ZEB_SAMPLE_APP_EXE, path,
                               std::filesystem::copy_options::overwrite_existing);
}

std::optional<SampleAppRecord> ParseSampleAppRecord(const std::string& text) {
    SampleAppRecord record;
    std::istringstream in(text);
    std::string line;
    bool sawPid = false;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "pid") {
            record.pid = static_cast<unsigned>(std::stoul(value));
            sawPid = true;
        } else if (key == "cwd") {
            record.cwd = value;
        } else if (key == "exe") {
            record.exe = value;
        } else if (key == "cmdline") {
            record.commandLine = value;
        } else if (key == "arg") {
            record.args.push_back(value);
        } else {
            return std::nullopt;
        }
    }
    if (!sawPid) return std::nullopt;
    return record;
}

std::optional<SampleAppRecord> WaitForSampleAppRecord(const std::filesystem::path& exePath,
                                                      std::chrono::milliseconds timeout) {
    const auto file = exePath.parent_path() / "received_args.txt";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        // The program writes the record under another name and renames it: once the file
        // exists it is complete.
        if (std::filesystem::exists(file)) return ParseSampleAppRecord(ReadFileBytes(file));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

std::string SampleAppEventName(const std::string& shortName) {
    return "__zeb_exit_event_" + shortName + "_";
}

std::string UniqueShortName(const std::string& stem) {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    name << stem << '-' << std::random_device{}() << '-' << counter++;
    return name.str();
}
