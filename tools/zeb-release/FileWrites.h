#pragma once
// Writes whose outcome readers can rely on: a private file nobody else can read, and files
// replaced at once (a reader sees the old one or the new one, whole, even after a crash).
#include <filesystem>
#include <string>
#include <string_view>

// Creates path readable by its owner only (mode 0600), failing when it exists.
bool WritePrivateFile(const std::filesystem::path& path, std::string_view bytes,
                      std::string& error);
// Writes the bytes under a temporary name beside path, flushes them to the disk, renames
// that over path and flushes the folder. Missing folders are made.
bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes, std::string& error);
// The same with a copy of source's content (read in pieces) and its mode.
bool ReplaceWithCopy(const std::filesystem::path& path, const std::filesystem::path& source,
                     std::string& error);
// The name of the temporary file ReplaceFile and ReplaceWithCopy write first.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& path);

// The whole file; false when it cannot be read.
bool ReadFileText(const std::filesystem::path& path, std::string& text, std::string& error);
