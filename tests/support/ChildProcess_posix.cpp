#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

std::vector<char*> MakeArgv(const std::string& program, const std::vector<std::string>& args,
                            std::vector<std::string>& storage) {
    storage.clear();
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

void ApplyEnv(const EnvChanges& env) {
    for (const auto& [name, value] : env) {
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
}

// In the child after fork: only async-signal-safe work plus setenv (single-threaded child).
[[noreturn]] void ExecChild(const std::string& program, const std::vector<std::string>& args,
                            const EnvChanges& env, const std::string& cwd) {
    ApplyEnv(env);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<std::string> storage;
    auto argv = MakeArgv(program, args, storage);
    execv(program.c_str(), argv.data());
    _exit(127);
}

int DecodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const EnvChanges& env, std::chrono::milliseconds timeout,
                         const std::string& workingDirectory) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        ExecChild(program, args, env, workingDirectory);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open_ = 2;
    char buf[65536];
    while (open_ > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        int n = poll(fds, 2, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(r));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = result.timedOut ? -1 : DecodeStatus(status);
    return result;
}

BackgroundProcess::~BackgroundProcess() {
    Stop();
    if (ownsOutputFile_) unlink(outputFile_.c_str());
}

bool BackgroundProcess::Start(const std::string& program, const std::vector<std::string>& args,
                              const EnvChanges& env, const std::string& outputFile) {
    outputFile_ = outputFile;
    if (outputFile_.empty()) {
        char name[] = "/tmp/zebtest-out-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0) return false;
        close(fd);
        outputFile_ = name;
        ownsOutputFile_ = true;
    }
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        int out = open(outputFile_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(devnull, 0);
        dup2(out, 1);
        dup2(out, 2);
        ExecChild(program, args, env, "");
    }
    if (pid < 0) return false;
    pid_ = pid;
    return true;
}

bool BackgroundProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

int BackgroundProcess::Wait(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return DecodeStatus(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

int BackgroundProcess::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int code = Wait(std::chrono::seconds(5));
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        code = Wait(std::chrono::seconds(5));
    }
    return code;
}

bool ProcessAlive(int pid) {
    if (pid <= 0 || kill(pid, 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    std::getline(stat, content);
    auto close = content.rfind(')');
    return close != std::string::npos && close + 2 < content.size() && content[close + 2] != 'Z';
}
