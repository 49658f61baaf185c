#pragma once
// A child process measured for benchmarks: wall time, processor time and peak memory.
#include <string>
#include <vector>

struct MeasuredRun {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system
    long maxRssKiB = 0;
    bool ok = false;  // exited with 0
};

// Runs args[0] (looked up on PATH) with args and waits for it.
MeasuredRun RunMeasured(const std::vector<std::string>& args);
