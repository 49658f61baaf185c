#pragma once
// UTF-16 surrogates in wide text. On Windows a character above U+FFFF is a high surrogate
// followed by a low one; on Linux wide text is UTF-32 and a surrogate never stands for a
// character.
#include <cstdint>
#include <string>

inline bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// True when a surrogate in text is not one half of a pair.
inline bool HasUnpairedSurrogate(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<uint32_t>(text[i]);
        if (!IsHighSurrogate(u) && !IsLowSurrogate(u)) continue;
        const bool paired = sizeof(wchar_t) == 2 && IsHighSurrogate(u) && i + 1 < text.size() &&
                            IsLowSurrogate(static_cast<uint32_t>(text[i + 1]));
        if (!paired) return true;
        ++i;
    }
    return false;
}
