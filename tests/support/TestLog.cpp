#include "tests/support/TestLog.h"

#include <cstdlib>
#include <filesystem>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"

TestLog::TestLog(bool debugLines) {
    GL_DEBUG_ResetForTesting();
    setenv("ProgramData", dir_.path().c_str(), 1);
    if (debugLines) {
        std::filesystem::create_directories(dir_ / "Vantrel/logs");
        WriteFileBytes(dir_ / "Vantrel/logs/enable_log_dbg.txt", "");
    }
    GL_DEBUG_SetLogFile((dir_ / "test.log").wstring());
}

TestLog::~TestLog() {
    GL_DEBUG_ResetForTesting();
    unsetenv("ProgramData");
}

std::string TestLog::Text() const { return ReadFileBytes(dir_ / "test.log"); }

namespace {

// "MM-DD hh:mm:ss.mmm [": how every entry begins.
bool StartsEntry(const std::string& text, size_t at) {
    static const char kShape[] = "00-00 00:00:00.000 [";
    for (size_t i = 0; kShape[i] != '\0'; ++i) {
        if (at + i >= text.size()) return false;
        const char c = text[at + i];
        if (kShape[i] == '0' ? (c < '0' || c > '9') : c != kShape[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> TestLog::Lines() const {
    // A message may hold CR LF itself; an entry ends only where the next one begins.
    std::vector<std::string> lines;
    const std::string text = Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        while (end != std::string::npos && end + 2 < text.size() && !StartsEntry(text, end + 2))
            end = text.find("\r\n", end + 2);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> TestLog::Matching(const std::string& needle) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines())
        if (line.find(needle) != std::string::npos) found.push_back(line);
    return found;
}
