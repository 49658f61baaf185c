#pragma once
// The publisher keys a build accepts release signatures from. The build turns the public
// key files of its ZEB_RELEASE_PUBLIC_KEYS setting into BuildReleaseKeys(); a build without
// keys accepts releases as they come.
#include <array>
#include <cstdint>
#include <span>
#include <string>

struct ReleaseKey {
    std::array<uint8_t, 65> publicKey;  // uncompressed P-256 point: 0x04, X, Y
};

std::span<const ReleaseKey> BuildReleaseKeys();

// The id a signature names its key by: the first 8 bytes of the SHA-256 of the point, as 16
// lower-case hex digits. Derived, so a key and its id cannot disagree.
std::wstring ReleaseKeyId(const ReleaseKey& key);
