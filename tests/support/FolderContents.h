#pragma once
// What a folder holds, for comparing installations.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// Every regular file below folder, relative to it, in name order.
inline std::vector<std::string> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}
