#include "tests/support/LogEntries.h"

bool StartsLogEntry(const std::string& text, size_t at) {
    static const char kShape[] = "00-00 00:00:00.000 [";
    for (size_t i = 0; kShape[i] != '\0'; ++i) {
        if (at + i >= text.size()) return false;
        const char c = text[at + i];
        if (kShape[i] == '0' ? (c < '0' || c > '9') : c != kShape[i]) return false;
    }
    return true;
}

std::vector<std::string> SplitLogEntries(const std::string& text) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        while (end != std::string::npos && end + 2 < text.size() && !StartsLogEntry(text, end + 2))
            end = text.find("\r\n", end + 2);
        if (end == std::string::npos) end = text.size();
        entries.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return entries;
}
