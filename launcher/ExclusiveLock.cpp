#include "launcher/ExclusiveLock.h"

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/PathText.h"
#include "launcher/TestVariables.h"

namespace {

constexpr const wchar_t* kFunction = L"WaitForExclusiveLock";
constexpr uint32_t kDefaultWaitMs = 300000;
constexpr uint32_t kPollMs = 100;

}  // namespace

uint32_t LockWaitMs() { return MillisecondsFromEnv(L"ZEB_TEST_LOCK_WAIT_MS", kDefaultWaitMs); }

bool ExclusiveLock::Acquire(const std::wstring& path, uint32_t waitMs) {
    Release();
    const size_t sep = LastSeparator(path);
    if (sep != std::wstring::npos && !GL_DIRECTORY_IsExist(path.substr(0, sep + 1)))
        GL_DIRECTORY_MakeDirs(path.substr(0, sep + 1));

    int error = os::TryLockExclusive(path, handle_);
    if (error == 0) return true;
    if (error != os::err::kLockBusy) {
        GL_LOG_FN(kFunction, 'E', error, 20, L"잠금 파일을 열지 못함: %s", path);
        return false;
    }
    GL_LOG_FN(kFunction, 'E', 0, 0, L"다른 런처가 작업중이어서 기다림(최대 %dms): %s",
              static_cast<int>(waitMs), path);
    const uint64_t start = os::MonotonicMs();
    while (true) {
        os::SleepMs(kPollMs);
        error = os::TryLockExclusive(path, handle_);
        const auto waited = static_cast<int>(os::MonotonicMs() - start);
        if (error == 0) {
            GL_LOG_FN(kFunction, 'E', 0, 0, L"다른 런처의 작업이 끝나 계속함(%dms 대기): %s",
                      waited, path);
            return true;
        }
        if (error != os::err::kLockBusy) {
            GL_LOG_FN(kFunction, 'E', error, 20, L"잠금 파일을 열지 못함: %s", path);
            return false;
        }
        if (static_cast<uint64_t>(waited) >= waitMs) {
            GL_LOG_FN(kFunction, 'E', 0, 10, L"다른 런처의 작업을 기다리다 시간초과(%dms): %s",
                      waited, path);
            return false;
        }
    }
}

void ExclusiveLock::Release() {
    os::ReleaseLock(handle_);
    handle_ = os::kNoLock;
}
