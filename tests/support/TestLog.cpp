#include "tests/support/TestLog.h"

#include <filesystem>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"
#include "common/os/os.h"
#include "tests/support/LogEntries.h"

TestLog::TestLog(bool debugLines)
    : programData_("ProgramData", os::WideToUtf8Lossy(dir_.wpath()).c_str()) {
    GL_DEBUG_ResetForTesting();
    GL_DEBUG_SetDataFolderForTesting(dir_.wpath());
    if (debugLines) {
        std::filesystem::create_directories(dir_ / "Vantrel/logs");
        WriteFileBytes(dir_ / "Vantrel/logs/enable_log_dbg.txt", "");
    }
    GL_DEBUG_SetLogFile((dir_ / "test.log").wstring());
}

TestLog::~TestLog() { GL_DEBUG_ResetForTesting(); }

std::string TestLog::Text() const { return ReadFileBytes(dir_ / "test.log"); }

std::vector<std::string> TestLog::Lines() const { return SplitLogEntries(Text()); }

std::vector<std::string> TestLog::Matching(const std::string& needle) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines())
        if (line.find(needle) != std::string::npos) found.push_back(line);
    return found;
}
