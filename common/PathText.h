#pragma once
// Paths taken apart as text, at every character the platform takes for a separator.
#include <string>

#include "common/os/os.h"

// Position of the last separator, or npos.
inline size_t LastSeparator(const std::wstring& path) {
    for (size_t i = path.size(); i > 0; --i)
        if (os::IsSeparator(path[i - 1])) return i - 1;
    return std::wstring::npos;
}

inline bool HasSeparator(const std::wstring& path) {
    return LastSeparator(path) != std::wstring::npos;
}

// The last component (the whole path when it has no separator).
inline std::wstring LastComponent(const std::wstring& path) {
    const size_t sep = LastSeparator(path);
    return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

// folder and name joined by one separator (folder may end in one already).
inline std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || os::IsSeparator(folder.back())) return folder + name;
    return folder + os::kSep + name;
}
