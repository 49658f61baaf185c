#include "tests/support/LogEntries.h"

namespace {

bool IsHexNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

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

bool ParseLogLine(const std::string& text, LogLine& out) {
    static const std::string kOpen = "[";
    if (!StartsLogEntry(text, 0) || text.size() < 23 || text.compare(21, 2, "][") != 0)
        return false;
    out.level = text[20];
    // [executable:pid:tid]
    const size_t processEnd = text.find(']', 23);
    if (processEnd == std::string::npos) return false;
    const std::string process = text.substr(23, processEnd - 23);
    const size_t tidColon = process.rfind(':');
    const size_t pidColon = tidColon == std::string::npos || tidColon == 0
                                ? std::string::npos
                                : process.rfind(':', tidColon - 1);
    if (pidColon == std::string::npos) return false;
    out.executable = process.substr(0, pidColon);
    const std::string pid = process.substr(pidColon + 1, tidColon - pidColon - 1);
    const std::string tid = process.substr(tidColon + 1);
    if (!IsHexNumber(pid) || !IsHexNumber(tid)) return false;
    out.pid = std::stoul(pid, nullptr, 16);
    out.tid = std::stoul(tid, nullptr, 16);
    // [file:function:line] (the function may hold "::")
    if (text.compare(processEnd + 1, 1, kOpen) != 0) return false;
    const size_t whereStart = processEnd + 2;
    const size_t whereEnd = text.find("] ", whereStart);
    if (whereEnd == std::string::npos) return false;
    const std::string where = text.substr(whereStart, whereEnd - whereStart);
    const size_t fileColon = where.find(':');
    const size_t lineColon = where.rfind(':');
    if (fileColon == std::string::npos || lineColon == fileColon) return false;
    const std::string line = where.substr(lineColon + 1);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) return false;
    out.sourceFile = where.substr(0, fileColon);
    out.function = where.substr(fileColon + 1, lineColon - fileColon - 1);
    out.line = std::stoi(line);
    out.message = text.substr(whereEnd + 2);
    return true;
}
