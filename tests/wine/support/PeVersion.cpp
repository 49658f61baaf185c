#include "tests/wine/support/PeVersion.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

// VS_FIXEDFILEINFO: signature, structure version 1.0, then file version (most, least
// significant half) and product version likewise, each a little-endian 32-bit number.
constexpr uint32_t kSignature = 0xFEEF04BD;
constexpr uint32_t kStructureVersion = 0x00010000;

uint32_t ReadU32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

void WriteU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Offsets of every fixed-information record (signature and structure version match).
std::vector<size_t> FixedInfoRecords(const std::string& bytes) {
    std::vector<size_t> found;
    for (size_t at = 0; at + 24 <= bytes.size(); at += 4)  // resources are 32-bit aligned
        if (ReadU32(bytes, at) == kSignature && ReadU32(bytes, at + 4) == kStructureVersion)
            found.push_back(at);
    return found;
}

}  // namespace

std::optional<std::string> ReadFileVersion(const std::filesystem::path& program) {
    const std::string bytes = ReadFileBytes(program);
    const std::vector<size_t> records = FixedInfoRecords(bytes);
    if (records.size() != 1) return std::nullopt;
    const uint32_t most = ReadU32(bytes, records[0] + 8), least = ReadU32(bytes, records[0] + 12);
    return std::to_string(most >> 16) + "." + std::to_string(most & 0xFFFF) + "." +
           std::to_string(least >> 16) + "." + std::to_string(least & 0xFFFF);
}

void WriteProgramWithVersion(const std::filesystem::path& program,
                             const std::filesystem::path& target, const FileVersion& version) {
    std::string bytes = ReadFileBytes(program);
    const std::vector<size_t> records = FixedInfoRecords(bytes);
    if (records.size() != 1)
        throw std::runtime_error("no single version resource in " + program.string());
    const uint32_t most = (uint32_t{version[0]} << 16) | version[1];
    const uint32_t least = (uint32_t{version[2]} << 16) | version[3];
    WriteU32(bytes, records[0] + 8, most);  // file version
    WriteU32(bytes, records[0] + 12, least);
    WriteU32(bytes, records[0] + 16, most);  // product version
    WriteU32(bytes, records[0] + 20, least);
    WriteFileBytes(target, bytes);
}
