#pragma once
// A piece of text repeated, for nesting and length limits.
#include <string>

template <class Text>
Text Repeated(const Text& piece, int times) {
    Text out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}
inline std::string Repeat(const std::string& piece, int times) { return Repeated(piece, times); }
inline std::wstring RepeatW(const std::wstring& piece, int times) { return Repeated(piece, times); }
