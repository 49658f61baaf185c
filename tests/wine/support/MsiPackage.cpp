#include "tests/wine/support/MsiPackage.h"

#include <chrono>
#include <sstream>
#include <stdexcept>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The folders below the drive of "C:\a\b\", outermost first.
std::vector<std::string> FolderNames(const std::string& installFolder) {
    if (installFolder.rfind("C:\\", 0) != 0)
        throw std::invalid_argument("not a folder on drive C: " + installFolder);
    std::vector<std::string> names;
    std::istringstream parts(installFolder.substr(3));
    for (std::string name; std::getline(parts, name, '\\');)
        if (!name.empty()) names.push_back(name);
    return names;
}

std::string Description(const MsiPackage& package) {
    std::ostringstream wxs;
    wxs << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
        << "<Product Id=\"*\" Name=\"" << Escaped(package.productName) << "\" Version=\""
        << Escaped(package.version) << "\" Manufacturer=\"ZEB tests\" Language=\"1033\""
        << " UpgradeCode=\"5d0e7c1a-3b2f-4c55-9d0e-7a1b2c3d4e5f\">\n"
        << "<Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\"/>\n"
        << "<Media Id=\"1\" Cabinet=\"files.cab\" EmbedCab=\"yes\"/>\n"
        // The installer's root folder is the system drive, C: here.
        << "<Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
    const std::vector<std::string> folders = FolderNames(package.installFolder);
    for (size_t i = 0; i < folders.size(); ++i)
        wxs << "<Directory Id=\"" << (i + 1 == folders.size() ? std::string("INSTALLDIR")
                                                              : "F" + std::to_string(i))
            << "\" Name=\"" << Escaped(folders[i]) << "\">\n";
    wxs << "<Component Id=\"Files\" Guid=\"*\" Win64=\"yes\">\n";
    bool keyPath = true;
    int id = 0;
    for (const auto& entry : fs::directory_iterator(package.contentFolder)) {
        // wixl takes sources relative to its working folder only.
        wxs << "<File Id=\"f" << id++ << "\" Source=\""
            << Escaped(entry.path().filename().string()) << "\""
            << (keyPath ? " KeyPath=\"yes\"" : "") << "/>\n";
        keyPath = false;
    }
    wxs << "</Component>\n";
    for (size_t i = 0; i < folders.size(); ++i) wxs << "</Directory>\n";
    wxs << "</Directory>\n"
        << "<Feature Id=\"All\" Level=\"1\"><ComponentRef Id=\"Files\"/></Feature>\n"
        << "</Product>\n</Wix>\n";
    return wxs.str();
}

}  // namespace

void BuildMsi(const MsiPackage& package, const fs::path& target) {
    TempDir work;
    const fs::path wxs = work.path() / "package.wxs";
    WriteFileBytes(wxs, Description(package));
    fs::create_directories(target.parent_path());
    const ProcessResult result =
        RunProcess(ZEB_WIXL, {"--arch", "x64", "--output", fs::absolute(target).string(),
                              wxs.string()},
                   {}, std::chrono::seconds(120), package.contentFolder.string());
    if (result.exitCode != 0 || !fs::exists(target))
        throw std::runtime_error("wixl failed: " + result.out + result.err);
}
