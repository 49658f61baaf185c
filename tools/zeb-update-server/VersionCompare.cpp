#include "tools/zeb-update-server/VersionCompare.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Takes the next part off text (up to the next dot, which is consumed too).
std::string_view NextPart(std::string_view& text) {
    auto dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    return part;
}

int CompareNumbers(std::string_view a, std::string_view b) {
    while (!a.empty() && a.front() == '0') a.remove_prefix(1);
    while (!b.empty() && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool IsDottedVersion(std::string_view text) {
    if (text.empty()) return false;
    bool partHasDigit = false;
    for (char c : text) {
        if (IsDigit(c)) {
            partHasDigit = true;
        } else if (c == '.' && partHasDigit) {
            partHasDigit = false;
        } else {
            return false;
        }
    }
    return partHasDigit;
}

int CompareDottedVersions(std::string_view a, std::string_view b) {
    while (!a.empty() || !b.empty()) {
        int c = CompareNumbers(NextPart(a), NextPart(b));
        if (c != 0) return c;
    }
    return 0;
}

bool ClientIsBehind(std::string_view clientVersion, std::string_view releaseVersion) {
    if (!IsDottedVersion(clientVersion)) return true;
    return CompareDottedVersions(clientVersion, releaseVersion) < 0;
}
