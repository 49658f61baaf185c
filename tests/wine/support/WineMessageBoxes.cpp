#include "tests/wine/support/WineMessageBoxes.h"

#include <sstream>

namespace {

constexpr const char* kCall = "Call user32.MessageBoxTimeoutW(";

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads one escaped text starting at the L of L"...", leaving at after the closing quote and
// the cut mark when there is one. False when the text is not there.
bool ReadWideText(const std::string& line, size_t& at, std::string& text) {
    if (line.compare(at, 2, "L\"") != 0) return false;
    at += 2;
    std::u16string units;
    while (at < line.size() && line[at] != '"') {
        if (line[at] != '\\') {
            units += static_cast<char16_t>(static_cast<unsigned char>(line[at++]));
            continue;
        }
        if (at + 1 >= line.size()) return false;
        const char next = line[at + 1];
        const char16_t simple = next == 'n' ? u'\n' : next == 'r' ? u'\r' : next == 't' ? u'\t'
                              : next == '"' ? u'"' : next == '\\' ? u'\\' : 0;
        if (simple != 0) {
            units += simple;
            at += 2;
            continue;
        }
        char16_t unit = 0;
        for (size_t i = 1; i <= 4; ++i) {
            const int digit = at + i < line.size() ? HexDigit(line[at + i]) : -1;
            if (digit < 0) return false;
            unit = static_cast<char16_t>(unit * 16 + digit);
        }
        units += unit;
        at += 5;
    }
    if (at >= line.size()) return false;
    ++at;  // closing quote
    if (line.compare(at, 3, "...") == 0) at += 3;
    text.clear();
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(text, c);
    }
    return true;
}

// Moves at past "<hex address> " to the next text argument.
bool SkipToText(const std::string& line, size_t& at) {
    at = line.find(' ', at);
    if (at == std::string::npos) return false;
    ++at;
    return true;
}

}  // namespace

std::vector<MessageBoxCall> FindMessageBoxCalls(const std::string& wineOutput) {
    std::vector<MessageBoxCall> calls;
    std::istringstream lines(wineOutput);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find(kCall);
        if (at == std::string::npos) continue;
        at += std::string(kCall).size();
        MessageBoxCall call;
        // owner,address L"body",address L"caption",...
        if (!SkipToText(line, at) || !ReadWideText(line, at, call.body) ||
            !SkipToText(line, at) || !ReadWideText(line, at, call.caption))
            continue;
        calls.push_back(call);
    }
    return calls;
}

bool ShownBox(const std::vector<MessageBoxCall>& boxes, const std::string& text) {
    for (const MessageBoxCall& box : boxes)
        if (box.body.rfind(text, 0) == 0) return true;
    return false;
}
