#pragma once
// Kernel handles inside the Win32 backend: an owner that closes on every path, and the
// conversions to the integer handles of os.h. Included only by the win32*.cpp files.
#include <windows.h>

#include <cstdint>

namespace os::win32 {

class Handle {
public:
    // INVALID_HANDLE_VALUE, the failure value of the file and snapshot calls, owns nothing.
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() {
        // The caller may still read the error of the step that failed.
        const DWORD error = GetLastError();
        if (handle_ != nullptr) CloseHandle(handle_);
        SetLastError(error);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Closes now; 0 or the error of the close.
    int Close() {
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return CloseHandle(handle) ? 0 : static_cast<int>(GetLastError());
    }

private:
    HANDLE handle_;
};

inline HANDLE ToHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
inline intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

// The error of the call that just failed, as an os.h result.
inline int LastErrorResult() { return static_cast<int>(GetLastError()); }

// Fails with code: sets it as the last error and returns it.
inline int Fail(DWORD code) {
    SetLastError(code);
    return static_cast<int>(code);
}

}  // namespace os::win32
