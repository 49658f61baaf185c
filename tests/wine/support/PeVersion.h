#pragma once
// The fixed part of a Windows program's version resource (VS_FIXEDFILEINFO), read and
// patched in the file's bytes: the launcher reads its own version from there, and a newer
// launcher for a self-update is the built one with higher numbers there.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

using FileVersion = std::array<uint16_t, 4>;

// The file version ("a.b.c.d") of the program file; nullopt when it has no version
// resource, or more than one.
std::optional<std::string> ReadFileVersion(const std::filesystem::path& program);
// Writes a copy of program to target whose file and product versions are version.
// Throws std::runtime_error when program has not exactly one version resource.
void WriteProgramWithVersion(const std::filesystem::path& program,
                             const std::filesystem::path& target, const FileVersion& version);
