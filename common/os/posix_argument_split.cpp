#include "common/os/posix_argument_split.h"

namespace os::posix {

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

std::vector<std::wstring> SplitWindowsArguments(const std::wstring& arguments) {
    std::vector<std::wstring> out;
    std::wstring current;
    bool inArgument = false;
    // quotes: 0 outside a group, 1 inside; a run of quotes counts on from there.
    int quotes = 0;
    size_t backslashes = 0;
    size_t i = 0;
    const size_t n = arguments.size();
    while (i < n) {
        const wchar_t c = arguments[i];
        if (IsBlank(c) && quotes == 0) {
            if (inArgument) out.push_back(std::move(current));
            current.clear();
            inArgument = false;
            backslashes = 0;
            while (i < n && IsBlank(arguments[i])) ++i;
            continue;
        }
        inArgument = true;
        if (c == L'\\') {
            current.push_back(c);
            ++backslashes;
            ++i;
            continue;
        }
        if (c != L'"') {
            current.push_back(c);
            backslashes = 0;
            ++i;
            continue;
        }
        // A quote: the backslashes before it are halved.
        current.resize(current.size() - backslashes / 2);
        if (backslashes % 2 == 1) {
            current.back() = L'"';
        } else {
            ++quotes;
        }
        backslashes = 0;
        ++i;
        while (i < n && arguments[i] == L'"') {
            if (++quotes == 3) {
                current.push_back(L'"');
                quotes = 0;
            }
            ++i;
        }
        if (quotes == 2) quotes = 0;
    }
    if (inArgument) out.push_back(std::move(current));
    return out;
}

}  // namespace os::posix
