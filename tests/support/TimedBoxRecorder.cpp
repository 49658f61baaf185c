#include "tests/support/TimedBoxRecorder.h"

#include "launcher/LauncherContext.h"

std::vector<RecordedBox>& RecordedTimedBoxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
}

TimedBoxRecorder::TimedBoxRecorder() {
    RecordedTimedBoxes().clear();
    LauncherContext& ctx = Context();
    ctx.messageBoxLookedUp = true;
    ctx.messageBoxFunction = RecordingTimedMessageBox();
}

TimedBoxRecorder::~TimedBoxRecorder() {
    LauncherContext& ctx = Context();
    ctx.messageBoxLookedUp = false;
    ctx.messageBoxFunction = nullptr;
}

const std::vector<RecordedBox>& TimedBoxRecorder::Boxes() const { return RecordedTimedBoxes(); }

size_t TimedBoxRecorder::CountStartingWith(const std::string& text) const {
    const std::wstring start = os::Utf8ToWideLossy(text);
    size_t count = 0;
    for (const RecordedBox& box : Boxes())
        if (box.body.compare(0, start.size(), start) == 0) ++count;
    return count;
}

std::string TimedBoxRecorder::Text() const {
    std::string text;
    for (const RecordedBox& box : Boxes())
        text += "[" + os::WideToUtf8Lossy(box.caption) + "] " + os::WideToUtf8Lossy(box.body) + "\n";
    return text;
}
