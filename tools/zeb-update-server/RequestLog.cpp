#include "tools/zeb-update-server/RequestLog.h"

#include <cstdio>
#include <mutex>

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7f) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
}

}  // namespace

std::string FormatRequestLine(std::string_view method, std::string_view target, int status,
                              std::string_view result) {
    std::string line;
    AppendEscaped(line, method);
    line += ' ';
    AppendEscaped(line, target);
    line += ' ';
    line += std::to_string(status);
    if (!result.empty()) {
        line += ' ';
        AppendEscaped(line, result);
    }
    return line;
}

void WriteOutputLine(const std::string& line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
