#pragma once
// Catches what the process writes to standard error (the debugger output and message-box
// stand-ins) while it lives.
#include <string>

#include "tests/support/TextSearch.h"

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string Text() const;  // everything written so far

private:
    int saved_ = -1;
    int file_ = -1;
};
