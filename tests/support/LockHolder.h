#pragma once
// Another process holding the launcher's kind of lock on a file (zeb-test-helper hold-lock)
// until it is killed, as a launcher busy elsewhere would.
#include <filesystem>

#include "tests/support/ChildProcess.h"

class LockHolder {
public:
    // Starts the holder and waits until it holds the lock (holding() tells).
    explicit LockHolder(const std::filesystem::path& lockFile);
    bool holding() const { return holding_; }
    // Kills the holder; the system releases its lock.
    void Kill() { process_.Stop(); }

private:
    BackgroundProcess process_;
    bool holding_ = false;
};
