#pragma once
// Stands in for the system's timed message box: while it lives it is the launcher's
// looked-up box, and it records every box the launcher shows instead of showing it.
#include <string>
#include <vector>

#include "common/os/os.h"

struct RecordedBox {
    std::wstring caption;
    std::wstring body;
};

class TimedBoxRecorder {
public:
    TimedBoxRecorder();
    ~TimedBoxRecorder();  // the launcher looks the system's box up afresh afterwards
    TimedBoxRecorder(const TimedBoxRecorder&) = delete;
    TimedBoxRecorder& operator=(const TimedBoxRecorder&) = delete;

    const std::vector<RecordedBox>& Boxes() const;
    // Boxes whose body starts with text (UTF-8).
    size_t CountStartingWith(const std::string& text) const;
    // Every box as "[caption] body\n", UTF-8 (for failure messages).
    std::string Text() const;
};

// The platform's half: a function with the calling convention of the box the system's lookup
// hands out (os::FindTimedMessageBox), adding to RecordedTimedBoxes().
os::TimedMessageBox RecordingTimedMessageBox();
std::vector<RecordedBox>& RecordedTimedBoxes();
