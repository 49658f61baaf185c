// The POSIX backend calls the box its lookup handed out as void(caption, body, timeout).
#include <cstdint>

#include "tests/support/TimedBoxRecorder.h"

namespace {
void Record(const std::wstring& caption, const std::wstring& body, uint32_t) {
    RecordedTimedBoxes().push_back(RecordedBox{caption, body});
}
}  // namespace

os::TimedMessageBox RecordingTimedMessageBox() {
    return reinterpret_cast<os::TimedMessageBox>(&Record);
}
