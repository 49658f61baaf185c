#pragma once
// The two texts the helper's write-loop alternates between, long enough that a write takes
// several system calls; a reader compares what it finds with them.
#include <string>

inline std::wstring AlternateText(int which) {
    return which == 0 ? std::wstring(300000, L'a') : std::wstring(200000, L'가');
}
