#pragma once
// Real child processes for tests: run and wait (Linux), or keep running in the background
// (both platforms; the Windows suite starts its helper programs this way).
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Environment changes for a child: a value sets the variable, std::nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

struct ProcessResult {
    int exitCode = -1;  // -1 when killed by a signal or timed out
    std::string out;
    std::string err;
    bool timedOut = false;
};

// Runs program with args (argv[0] is the program) and waits for it; standard input is
// /dev/null, standard output and error are captured. Killed after the time-out. Linux only.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const EnvChanges& env = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(120),
                         const std::string& workingDirectory = "");

// A child that runs until stopped; its standard output and error go to a file. On Windows
// the arguments are quoted as the C runtime splits them.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Start(const std::string& program, const std::vector<std::string>& args,
               const EnvChanges& env = {}, const std::string& outputFile = "");
    int pid() const { return pid_; }
    bool Running();
    // Waits until the output file holds text containing needle; false on time-out or exit.
    bool WaitForOutput(const std::string& needle,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::string Output() const;
    // SIGTERM, then SIGKILL after a grace period (Windows: TerminateProcess); returns the
    // exit code or -1.
    int Stop();
    // Waits for the child to end by itself; -1 on time-out.
    int Wait(std::chrono::milliseconds timeout);

private:
    int pid_ = -1;
    intptr_t process_ = 0;  // the process handle on Windows
    std::string outputFile_;
    bool ownsOutputFile_ = false;
};

// True while a process with that id exists (not a zombie).
bool ProcessAlive(int pid);
