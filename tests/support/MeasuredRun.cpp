#include "tests/support/MeasuredRun.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

MeasuredRun RunMeasured(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    MeasuredRun run;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

namespace {

// Whether the client left exactly size bytes; the file is removed for the next client.
bool TookWholeFile(const std::string& localFile, unsigned long long size) {
    std::error_code ec;
    const bool whole = std::filesystem::file_size(localFile, ec) == size && !ec;
    std::filesystem::remove(localFile, ec);
    return whole;
}

void KeepBetter(MeasuredRun& best, const MeasuredRun& run, bool first) {
    const long peak = std::max(best.maxRssKiB, run.maxRssKiB);
    if (first || run.seconds < best.seconds) best = run;
    best.maxRssKiB = peak;
}

}  // namespace

bool RaceDownloads(const std::vector<std::string>& launcherArgs,
                   const std::vector<std::string>& curlArgs, const std::string& localFile,
                   unsigned long long size, int rounds, DownloadRace& best) {
    for (int round = 0; round < rounds; ++round) {
        const MeasuredRun launcher = RunMeasured(launcherArgs);
        const bool launcherWhole = TookWholeFile(localFile, size);
        const MeasuredRun curl = RunMeasured(curlArgs);
        const bool curlWhole = TookWholeFile(localFile, size);
        if (!launcher.ok || !launcherWhole || !curl.ok || !curlWhole) {
            std::fprintf(stderr, "download failed (launcher %d/%d, curl %d/%d)\n", launcher.ok,
                         launcherWhole, curl.ok, curlWhole);
            return false;
        }
        KeepBetter(best.launcher, launcher, round == 0);
        KeepBetter(best.curl, curl, round == 0);
    }
    return true;
}

void PrintDownloadRace(const std::string& title, const std::string& launcherName,
                       unsigned long long mib, int rounds, const DownloadRace& best,
                       double targetRatio) {
    const double launcherRate = static_cast<double>(mib) / best.launcher.seconds;
    const double curlRate = static_cast<double>(mib) / best.curl.seconds;
    std::printf("download of %llu MiB %s (best of %d, each in a child process)\n", mib,
                title.c_str(), rounds);
    const int width = static_cast<int>(std::max<size_t>(launcherName.size(), 22)) + 1;
    std::printf("  %-*s %8.1f MiB/s  CPU %5.2f s  peak RSS %6.1f MiB\n", width,
                (launcherName + ":").c_str(), launcherRate, best.launcher.cpuSeconds,
                best.launcher.maxRssKiB / 1024.0);
    std::printf("  %-*s %8.1f MiB/s  CPU %5.2f s  peak RSS %6.1f MiB\n", width,
                "curl command-line tool:", curlRate, best.curl.cpuSeconds,
                best.curl.maxRssKiB / 1024.0);
    std::printf("  ratio launcher/curl: %.3f (target >= %.1f); launcher peak RSS target < 20 MiB: %s\n",
                launcherRate / curlRate, targetRatio,
                best.launcher.maxRssKiB < 20 * 1024 ? "met" : "MISSED");
}
