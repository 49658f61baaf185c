#include "tests/support/TestLog.h"

#include <cstdlib>
#include <filesystem>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"
#include "tests/support/LogEntries.h"

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


std::vector<std::string> TestLog::Lines() const { return SplitLogEntries(Text()); }

std::vector<std::string> TestLog::Matching(const std::string& needle) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines())
        if (line.find(needle) != std::string::npos) found.push_back(line);
    return found;
}
