// Message boxes on Windows: user32's self-closing box, looked up by name (it has no
// import-library entry), and the plain system-modal box.
#include <windows.h>

#include "common/os/os.h"

namespace os {

namespace {
using MessageBoxTimeoutFn = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type,
                                         WORD language, DWORD milliseconds);
}  // namespace

TimedMessageBox FindTimedMessageBox() {
    // Only a module this program already uses; it is never loaded for the box.
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return nullptr;
    return reinterpret_cast<TimedMessageBox>(GetProcAddress(user32, "MessageBoxTimeoutW"));
}

void ShowTimedMessageBox(TimedMessageBox box, const std::wstring& caption,
                         const std::wstring& body, uint32_t timeoutMs) {
    if (box == nullptr) return;
    const auto show = reinterpret_cast<MessageBoxTimeoutFn>(box);
    show(GetActiveWindow(), body.c_str(), caption.c_str(), MB_OK, 0, timeoutMs);
}

void ShowModalMessageBox(const std::wstring& caption, const std::wstring& body) {
    MessageBoxW(nullptr, body.c_str(), caption.c_str(),
                MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST);
}

}  // namespace os
