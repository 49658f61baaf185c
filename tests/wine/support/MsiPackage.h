#pragma once
// Real Windows installer packages, built with wixl (Debian package wixl) from a small WiX
// description: an x64 package that installs the files of one folder into a folder on drive
// C: and registers itself under the uninstall key with its product name as DisplayName and
// its version as DisplayVersion.
#include <filesystem>
#include <string>

struct MsiPackage {
    std::string productName;    // DisplayName: the launcher looks its program id up by it
    std::string version;        // x.y.z, DisplayVersion
    std::string installFolder;  // e.g. "C:\\ZebTest\\App\\"
    std::filesystem::path contentFolder;  // the files to install (no subfolders)
};

// Builds the package at target. Throws std::runtime_error when wixl fails.
void BuildMsi(const MsiPackage& package, const std::filesystem::path& target);
