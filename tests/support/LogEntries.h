#pragma once
// The launcher's log text split into entries.
#include <string>
#include <vector>

// Whether a log entry ("MM-DD hh:mm:ss.mmm [") begins at position at.
bool StartsLogEntry(const std::string& text, size_t at);
// One entry per element, without its closing CR LF. A message may hold CR LF itself, so an
// entry ends only where the next one begins.
std::vector<std::string> SplitLogEntries(const std::string& text);
