#pragma once
// The launcher's timed message boxes as they reach standard error without a display:
// "[<caption>] <body>", the caption ending in the auto-close notice.
#include <string>

// True when a box whose body starts with text was shown (error log lines, which also go to
// standard error, do not count).
inline bool ShownBox(const std::string& standardError, const std::string& text) {
    return standardError.find("이 창은 잠시 후 자동으로 닫힙니다.] " + text) != std::string::npos;
}
