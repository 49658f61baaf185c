#pragma once
// Lower-case hexadecimal text of bytes: how hashes, public keys and signatures are written
// in release files.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

std::string HexEncode(std::span<const uint8_t> bytes);
std::wstring HexEncodeWide(std::span<const uint8_t> bytes);

// Only lower-case digits in pairs are accepted, so one value has one spelling. False (out
// left empty) for any other text.
bool HexDecode(std::string_view text, std::vector<uint8_t>& out);
bool HexDecode(std::wstring_view text, std::vector<uint8_t>& out);
