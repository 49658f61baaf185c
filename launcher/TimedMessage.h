#pragma once
// The only way to tell the user something: a box that closes itself after 10 seconds.
#include <string>

struct TimedMessageText {
    std::wstring caption;
    std::wstring body;
};

// Caption and body of a box: the program id (when known) before the launcher's caption,
// then the text, the detail (when given), the masked command line and the module path.
TimedMessageText BuildTimedMessage(const std::wstring& programId,
                                   const std::wstring& launcherCaption,
                                   const std::wstring& maskedCommandLine,
                                   const std::wstring& modulePath, const std::wstring& text,
                                   const std::wstring& detail);

// Shows text and detail with the launcher context's program id, command line and path.
// Blocks until the box is closed or timed out; shows nothing when no box can be shown.
void ShowTimedMessage(const std::wstring& text, const std::wstring& detail);

inline constexpr unsigned kTimedMessageTimeoutMs = 10000;
