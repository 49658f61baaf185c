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

// One download raced by the launcher's transport and the curl command-line tool, each a
// child process writing localFile; the faster round of each counts, the peak memory of all.
struct DownloadRace {
    MeasuredRun launcher;
    MeasuredRun curl;
};
// False (with a line on standard error) when a client fails or leaves a file of another size.
bool RaceDownloads(const std::vector<std::string>& launcherArgs,
                   const std::vector<std::string>& curlArgs, const std::string& localFile,
                   unsigned long long size, int rounds, DownloadRace& best);
// Throughputs, processor time, peak memory, their ratio and whether the targets are met.
void PrintDownloadRace(const std::string& title, const std::string& launcherName,
                       unsigned long long mib, int rounds, const DownloadRace& best,
                       double targetRatio);
