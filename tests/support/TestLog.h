#pragma once
// Points the launcher's log at a fresh file for one test, and reads it back.
#include <string>
#include <vector>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

class TestLog {
public:
    // debugLines: also write 'D' lines (the switch file exists). The log's data folder and
    // the ProgramData variable (the Linux stand-ins' common application-data folder) are the
    // test's own folder meanwhile.
    explicit TestLog(bool debugLines = false);
    ~TestLog();
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    std::string Text() const;  // whole file, UTF-8
    // One entry per element, without its closing CR LF (CR LF inside a message is kept).
    std::vector<std::string> Lines() const;
    // Lines containing needle.
    std::vector<std::string> Matching(const std::string& needle) const;

private:
    TempDir dir_;
    ScopedEnv programData_;
};
