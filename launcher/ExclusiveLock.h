#pragma once
// One launcher at a time: an exclusive lock on a lock file, shared by every launcher process
// of the machine and released by the system when its holder ends, however it ends.
#include <cstdint>
#include <string>

#include "common/os/os.h"

// 300,000 ms, or ZEB_TEST_LOCK_WAIT_MS.
uint32_t LockWaitMs();

class ExclusiveLock {
public:
    ExclusiveLock() = default;
    ~ExclusiveLock() { Release(); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    // Takes the lock of the file at path (its folder made when missing), waiting at most
    // waitMs while another process holds it; a wait is logged. False (logged) on time-out or
    // when the lock file cannot be opened.
    bool Acquire(const std::wstring& path, uint32_t waitMs);
    void Release();

private:
    os::LockHandle handle_ = os::kNoLock;
};
