#pragma once
// The launcher's log text split into entries, and the parts of one entry.
#include <string>
#include <vector>

// Whether a log entry ("MM-DD hh:mm:ss.mmm [") begins at position at.
bool StartsLogEntry(const std::string& text, size_t at);
// One entry per element, without its closing CR LF. A message may hold CR LF itself, so an
// entry ends only where the next one begins.
std::vector<std::string> SplitLogEntries(const std::string& text);

// Parts of one log line: "MM-DD hh:mm:ss.mmm [L][exe:pid:tid][file:function:line] message".
struct LogLine {
    char level = 0;
    std::string executable;
    unsigned long pid = 0;
    unsigned long tid = 0;
    std::string sourceFile;
    std::string function;
    int line = 0;
    std::string message;
};
// False when the line is not in that format.
bool ParseLogLine(const std::string& text, LogLine& out);
