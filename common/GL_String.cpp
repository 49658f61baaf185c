#include "common/GL_String.h"

#include <algorithm>

#include "common/GL_Debug.h"
#include "common/Surrogates.h"
#include "common/os/os.h"

namespace {
using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;
}

const std::locale& GL_STRING_DefaultLocale() { return os::AnsiLocale(); }

std::wstring GL_STRING_ConvMBSToWCS(const std::string& text, const std::locale& loc) {
    const Facet& facet = std::use_facet<Facet>(loc);
    std::wstring buffer(text.size() + 1, L'\0');
    std::mbstate_t state{};
    const char* fromNext = nullptr;
    wchar_t* toNext = nullptr;
    const auto result = facet.in(state, text.data(), text.data() + text.size(), fromNext,
                                 buffer.data(), buffer.data() + buffer.size(), toNext);
    if (result == Facet::error) {
        GL_LOG('E', os::LastError(), 10, L"can't convert string to wstring.(err=%d)",
               static_cast<int>(result));
        return std::wstring();
    }
    // A partial answer keeps the converted prefix.
    return std::wstring(buffer.c_str());
}

std::string GL_STRING_ConvWCSToMBS(const std::wstring& text, const std::locale& loc) {
    const Facet& facet = std::use_facet<Facet>(loc);
    const auto maxBytes = static_cast<size_t>(std::max(facet.max_length(), 1));
    std::string buffer(maxBytes * (text.size() + 1), '\0');
    std::mbstate_t state{};
    const wchar_t* fromNext = nullptr;
    char* toNext = nullptr;
    // A surrogate without its partner is no character on either platform; a UTF-16 facet
    // would take a high one at the end for a pair cut short and answer "partial".
    const auto result =
        HasUnpairedSurrogate(text)
            ? Facet::error
            : facet.out(state, text.data(), text.data() + text.size(), fromNext, buffer.data(),
                        buffer.data() + buffer.size(), toNext);
    if (result == Facet::error) {
        GL_LOG('E', os::LastError(), 10, L"can't convert wstring to string.(err=%d)",
               static_cast<int>(result));
        return std::string();
    }
    return std::string(buffer.c_str());
}

void GL_STRING_Split(const std::wstring& text, const std::wstring& delimiter,
                     std::vector<std::wstring>& pieces) {
    pieces.clear();
    if (delimiter.empty()) {  // nothing to split at: the text is one piece
        if (!text.empty()) pieces.push_back(text);
        return;
    }
    size_t start = 0;
    bool matched = false;
    for (size_t p = text.find(delimiter); p != std::wstring::npos;
         p = text.find(delimiter, start)) {
        pieces.push_back(text.substr(start, p - start));
        start = p + delimiter.size();
        matched = true;
    }
    if (matched)
        pieces.push_back(text.substr(start));
    else if (!text.empty())
        pieces.push_back(text);
}

std::wstring GL_STRING_ReplaceAll(const std::wstring& source, const std::wstring& search,
                                  const std::wstring& replacement) {
    std::wstring result = source;
    if (search.empty()) return result;  // an empty search text matches nowhere
    for (size_t p = result.find(search); p != std::wstring::npos;
         p = result.find(search, p + replacement.size())) {
        result.replace(p, search.size(), replacement);
    }
    return result;
}

std::string GL_STRING_ReplaceAllA(const std::string& source, const std::string& search,
                                  const std::string& replacement) {
    // Through the ANSI code page as a whole-text conversion, which never fails: a byte
    // that is no text stays a replacement character instead of emptying the result.
    return os::WideToAnsiLossy(GL_STRING_ReplaceAll(os::AnsiToWideLossy(source),
                                                    os::AnsiToWideLossy(search),
                                                    os::AnsiToWideLossy(replacement)));
}
