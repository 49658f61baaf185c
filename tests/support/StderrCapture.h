#pragma once
// Catches what the process writes to standard error (the debugger output and message-box
// stand-ins) while it lives.
#include <string>

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

// Occurrences of needle in text.
size_t CountOf(const std::string& text, const std::string& needle);
