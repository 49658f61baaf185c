#pragma once
// Packing a folder with Debian's 7-Zip command-line program.
#include <filesystem>
#include <string>

// Packs everything in folder (hidden entries too; names relative to it) into a new 7z
// archive; an archive already there is replaced. sevenZip is the program (a name is looked
// up on PATH).
bool PackFolder(const std::string& sevenZip, const std::filesystem::path& folder,
                const std::filesystem::path& archive, std::string& error);
