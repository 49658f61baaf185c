#pragma once
// Layout of the version record the build stamps into its binaries (section ".zeb_version").
#include <cstdint>

extern "C" {
struct zeb_version_record {
    char magic[8];           // "ZEBVER01"
    uint16_t fileVersion[4];  // major, minor, build, revision
    uint16_t productVersion[4];
};
}

inline constexpr char kZebVersionMagic[8] = {'Z', 'E', 'B', 'V', 'E', 'R', '0', '1'};
inline constexpr const char* kZebVersionSection = ".zeb_version";
