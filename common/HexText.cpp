#include "common/HexText.h"

#include <utility>

namespace {

constexpr char kDigits[] = "0123456789abcdef";

template <typename Char>
std::basic_string<Char> Encode(std::span<const uint8_t> bytes) {
    std::basic_string<Char> text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        text.push_back(static_cast<Char>(kDigits[b >> 4]));
        text.push_back(static_cast<Char>(kDigits[b & 0x0F]));
    }
    return text;
}

template <typename Char>
int DigitValue(Char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

template <typename Char>
bool Decode(std::basic_string_view<Char> text, std::vector<uint8_t>& out) {
    out.clear();
    if (text.size() % 2 != 0) return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = DigitValue(text[i]);
        const int low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    out = std::move(bytes);
    return true;
}

}  // namespace

std::string HexEncode(std::span<const uint8_t> bytes) { return Encode<char>(bytes); }
std::wstring HexEncodeWide(std::span<const uint8_t> bytes) { return Encode<wchar_t>(bytes); }

bool HexDecode(std::string_view text, std::vector<uint8_t>& out) { return Decode(text, out); }
bool HexDecode(std::wstring_view text, std::vector<uint8_t>& out) { return Decode(text, out); }
