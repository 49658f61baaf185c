#pragma once
// Catches the log's debugger output and its failure notice box while it lives, in the form
// the Linux stand-ins write both to standard error: the output as UTF-8, a box as
// "[caption] body\n". Construct it after anything that resets the log (TestLog).
#include <string>

#include "tests/support/TextSearch.h"

class LogOutputCapture {
public:
    LogOutputCapture();
    ~LogOutputCapture();
    LogOutputCapture(const LogOutputCapture&) = delete;
    LogOutputCapture& operator=(const LogOutputCapture&) = delete;
    std::string Text() const;  // everything caught so far
};
