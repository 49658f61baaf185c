// The Win32 backend calls the box its lookup handed out as user32's MessageBoxTimeoutW.
#include <windows.h>

#include "tests/support/TimedBoxRecorder.h"

namespace {
constexpr int kTimedOut = 32000;  // what MessageBoxTimeoutW returns when its time is up

int WINAPI Record(HWND, LPCWSTR text, LPCWSTR caption, UINT, WORD, DWORD) {
    RecordedTimedBoxes().push_back(RecordedBox{caption, text});
    return kTimedOut;
}
}  // namespace

os::TimedMessageBox RecordingTimedMessageBox() {
    return reinterpret_cast<os::TimedMessageBox>(&Record);
}
