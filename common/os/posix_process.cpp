// Processes, exit events and the debug privilege on Linux: /proc, pidfds and POSIX named
// semaphores.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/os/os.h"
#include "common/os/posix_argument_split.h"
#include "common/os/posix_native.h"

extern char** environ;

namespace os {

namespace err {
// Never reported here; the Windows number, outside the range errno uses.
const int kNotAllAssigned = 1300;
}  // namespace err

namespace {

// waitid on a pidfd (P_PIDFD); glibc's headers do not name it yet.
constexpr idtype_t kIdPidfd = static_cast<idtype_t>(3);
// close_range: mark instead of close (CLOSE_RANGE_CLOEXEC).
constexpr unsigned kCloseRangeCloexec = 1U << 2;
constexpr uint32_t kNoLimit = 0xFFFFFFFF;

int PidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Keeps descriptors 0 to 2 free for the standard streams, so that a handle is never 0.
int AboveStandardStreams(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return moved;
}

int OpenPidfd(pid_t pid) { return AboveStandardStreams(PidfdOpen(pid)); }

// The executable of a process; the kernel marks a removed file with " (deleted)".
int ReadExeLink(uint32_t pid, std::wstring& path) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/%u/exe", pid);
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link, target.data(), target.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) == target.size()) return ENAMETOOLONG;
    target.resize(static_cast<size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.size() > kDeleted.size() && target.ends_with(kDeleted))
        target.resize(target.size() - kDeleted.size());
    path = posix::FromNative(target);
    return 0;
}

bool HasEnded(int pidfd) {
    pollfd ended{pidfd, POLLIN, 0};
    return ::poll(&ended, 1, 0) > 0;
}

// Handles of the children StartProcess made. Only these are reaped when closed: a handle
// from OpenProcess must not take the exit status away from the process's own parent.
std::vector<int>& OwnChildren() {
    static std::vector<int> pidfds;
    return pidfds;
}

// Own children whose handles were closed while they still ran; reaped once they have ended.
std::vector<int>& ClosedRunningChildren() {
    static std::vector<int> pidfds;
    return pidfds;
}

// A child's end must stay something to wait for: inherited as ignored (or with children
// reaped unasked), it would take every child's exit status away.
void KeepChildrenWaitable() {
    struct sigaction current {};
    if (::sigaction(SIGCHLD, nullptr, &current) != 0) return;
    if (current.sa_handler != SIG_IGN && (current.sa_flags & SA_NOCLDWAIT) == 0) return;
    struct sigaction waitable {};
    waitable.sa_handler = SIG_DFL;
    sigemptyset(&waitable.sa_mask);
    ::sigaction(SIGCHLD, &waitable, nullptr);
}

// Reaps the child behind pidfd if it has ended. False while it runs. True as well when it
// is no child of ours (nothing to reap).
bool ReapIfEnded(int pidfd) {
    siginfo_t info{};
    if (::waitid(kIdPidfd, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG) != 0)
        return true;
    return info.si_pid != 0;
}

void ReapClosedChildren() {
    auto& pending = ClosedRunningChildren();
    for (auto it = pending.begin(); it != pending.end();) {
        if (ReapIfEnded(*it)) {
            ::close(*it);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
}

// A program file found the way the start-up expects: a path with a folder as it is, a bare
// name in the current directory, then in the folders of PATH.
int ResolveProgram(const std::string& program, std::string& resolved) {
    if (program.empty()) return ENOENT;
    if (program.find('/') != std::string::npos) {
        resolved = program;
        return 0;
    }
    if (::access(program.c_str(), X_OK) == 0) {
        resolved.assign("./").append(program);
        return 0;
    }
    const char* path = ::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty()) folder = ".";
        std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            resolved = std::move(candidate);
            return 0;
        }
    }
    return ENOENT;
}

// Everything the new process needs, prepared before forking: after fork only
// async-signal-safe calls are made.
struct SpawnPlan {
    std::string path;
    std::vector<std::string> arguments;
    std::vector<char*> argv;
    bool noConsole = false;
};

// argv[0] is the program as given; the rest is the argument string split the way a Windows
// program takes its command line apart.
int MakePlan(const std::wstring& program, const std::wstring& arguments, uint32_t creationFlags,
             SpawnPlan& plan) {
    std::string narrow;
    if (!WideToUtf8(program, narrow)) return EILSEQ;
    if (const int e = ResolveProgram(narrow, plan.path)) return e;
    plan.arguments.push_back(narrow);
    for (const auto& argument : posix::SplitWindowsArguments(arguments)) {
        if (!WideToUtf8(argument, narrow)) return EILSEQ;
        plan.arguments.push_back(narrow);
    }
    for (auto& argument : plan.arguments) plan.argv.push_back(argument.data());
    plan.argv.push_back(nullptr);
    plan.noConsole = (creationFlags & kCreateNoWindow) != 0;
    return 0;
}

void WriteInt(int fd, int32_t value) {
    const char* bytes = reinterpret_cast<const char*>(&value);
    size_t done = 0;
    while (done < sizeof value) {
        const ssize_t n = ::write(fd, bytes + done, sizeof value - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// One number from a pipe; false at end of file (the writer closed or replaced itself).
bool ReadInt(int fd, int32_t& value) {
    char* bytes = reinterpret_cast<char*>(&value);
    size_t done = 0;
    while (done < sizeof value) {
        const ssize_t n = ::read(fd, bytes + done, sizeof value - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// In the new process. goRead, when given, holds it back until the parent has a handle on
// it. An exec failure goes back through errorWrite (closed by a successful exec).
[[noreturn]] void ExecChild(const SpawnPlan& plan, int errorWrite, int goRead, int goWrite) {
    if (goWrite >= 0) ::close(goWrite);
    if (goRead >= 0) {
        char c;
        while (::read(goRead, &c, 1) < 0 && errno == EINTR) {
        }
    }
    if (plan.noConsole) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (null > 2) ::close(null);
        }
    }
    // The program starts with a clean signal state and inherits no other descriptor.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec);
    ::execve(plan.path.c_str(), plan.argv.data(), environ);
    WriteInt(errorWrite, errno);
    ::_exit(127);
}

struct Pipe {
    int read = -1, write = -1;
    int Open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
        read = fds[0];
        write = fds[1];
        return 0;
    }
    void CloseRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void CloseWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
};

// 0 when the program runs, else the error of its exec.
int ExecResult(Pipe& error) {
    error.CloseWrite();
    int32_t code = 0;
    return ReadInt(error.read, code) ? code : 0;
}

int StartChild(const SpawnPlan& plan, ProcessHandle& handle, uint32_t& pid) {
    Pipe error;
    if (const int e = error.Open()) return e;
    const pid_t child = ::fork();
    if (child < 0) return errno;
    if (child == 0) ExecChild(plan, error.write, -1, -1);
    const int pidfd = OpenPidfd(child);
    if (pidfd < 0) {
        const int e = errno;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return e;
    }
    if (const int e = ExecResult(error)) {
        ::waitpid(child, nullptr, 0);
        ::close(pidfd);
        return e;
    }
    OwnChildren().push_back(pidfd);
    handle = pidfd;
    pid = static_cast<uint32_t>(child);
    return 0;
}

// Double fork: the program's parent ends at once, so the program is adopted by the
// system and never waits as a zombie for this process. It is held back until a pidfd
// names it, so the returned id cannot be stale.
int StartDetached(const SpawnPlan& plan, ProcessHandle& handle, uint32_t& pid) {
    Pipe error, idPipe, go;
    if (const int e = error.Open()) return e;
    if (const int e = idPipe.Open()) return e;
    if (const int e = go.Open()) return e;
    const pid_t middle = ::fork();
    if (middle < 0) return errno;
    if (middle == 0) {
        const pid_t program = ::fork();
        if (program == 0) ExecChild(plan, error.write, go.read, go.write);
        WriteInt(idPipe.write, program > 0 ? program : -errno);
        ::_exit(0);
    }
    idPipe.CloseWrite();
    go.CloseRead();
    int32_t program = 0;
    const bool gotId = ReadInt(idPipe.read, program);
    ::waitpid(middle, nullptr, 0);
    if (!gotId) return ECHILD;
    if (program <= 0) return -program;
    const int pidfd = OpenPidfd(program);
    if (pidfd < 0) {
        const int e = errno;
        ::kill(program, SIGKILL);
        return e;
    }
    go.CloseWrite();
    if (const int e = ExecResult(error)) {
        ::close(pidfd);
        return e;
    }
    handle = pidfd;
    pid = static_cast<uint32_t>(program);
    return 0;
}

}  // namespace

int ListProcesses(std::vector<ProcessEntry>& out) {
    out.clear();
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return errno;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid == 0 || pid > UINT32_MAX) continue;
        ProcessEntry process{static_cast<uint32_t>(pid), {}};
        // Kernel threads, ended processes and processes of other users have no readable
        // executable; they are not listed.
        if (ReadExeLink(process.pid, process.exePath) == 0) out.push_back(std::move(process));
    }
    ::closedir(proc);
    return 0;
}

// The process behind a pidfd, as the kernel reports it in the descriptor's information.
int PidOfHandle(ProcessHandle handle, uint32_t& pid) {
    char name[48];
    std::snprintf(name, sizeof name, "/proc/self/fdinfo/%d", static_cast<int>(handle));
    FILE* info = std::fopen(name, "re");
    if (info == nullptr) return errno;
    char line[128];
    long value = -1;
    while (std::fgets(line, sizeof line, info) != nullptr)
        if (std::sscanf(line, "Pid: %ld", &value) == 1) break;
    std::fclose(info);
    // -1: the process has ended and been reaped.
    if (value <= 0) return ESRCH;
    pid = static_cast<uint32_t>(value);
    return 0;
}

int GetProcessExePath(ProcessHandle handle, std::wstring& path) {
    if (handle <= 0) return EBADF;
    uint32_t pid = 0;
    if (const int e = PidOfHandle(handle, pid)) return e;
    std::wstring read;
    if (const int e = ReadExeLink(pid, read)) return e;
    // Read through the id: the process must still be the one the handle names, so the id
    // was not handed on meanwhile.
    if (HasEnded(static_cast<int>(handle))) return ESRCH;
    path = std::move(read);
    return 0;
}

// A pidfd allows everything its user may do; the access asked for makes no difference.
int OpenProcessHandle(uint32_t pid, ProcessAccess, ProcessHandle& handle) {
    if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX)) return EINVAL;
    const int pidfd = OpenPidfd(static_cast<pid_t>(pid));
    if (pidfd < 0) return errno;
    handle = pidfd;
    return 0;
}

int StartProcess(const std::wstring& program, const std::wstring& arguments,
                 uint32_t creationFlags, bool detached, StartedProcess& started) {
    ReapClosedChildren();
    if (!detached) KeepChildrenWaitable();
    SpawnPlan plan;
    if (const int e = MakePlan(program, arguments, creationFlags, plan)) return e;
    ProcessHandle handle = 0;
    uint32_t pid = 0;
    const int e = detached ? StartDetached(plan, handle, pid) : StartChild(plan, handle, pid);
    if (e != 0) return e;
    started = StartedProcess{handle, 0, pid, pid};
    return 0;
}

bool WaitProcess(ProcessHandle handle, uint32_t ms) {
    if (handle <= 0) return false;
    const uint64_t deadline = MonotonicMs() + ms;
    while (true) {
        int timeout = -1;
        if (ms != kNoLimit) {
            const uint64_t now = MonotonicMs();
            timeout = now >= deadline
                          ? 0
                          : static_cast<int>(std::min<uint64_t>(deadline - now, INT_MAX));
        }
        pollfd pending{static_cast<int>(handle), POLLIN, 0};
        const int n = ::poll(&pending, 1, timeout);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 && (pending.revents & POLLIN) != 0;
    }
}

int GetProcessExitCode(ProcessHandle handle, uint32_t& code) {
    if (handle <= 0) return EBADF;
    siginfo_t info{};
    if (::waitid(kIdPidfd, static_cast<id_t>(handle), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
        if (info.si_pid == 0) code = kStillActive;
        else if (info.si_code == CLD_EXITED) code = static_cast<uint32_t>(info.si_status);
        else code = 128U + static_cast<uint32_t>(info.si_status);
        return 0;
    }
    if (errno != ECHILD) return errno;
    // Not a child, or its status was taken elsewhere: the code is known only while the
    // process runs.
    if (HasEnded(static_cast<int>(handle))) return ECHILD;
    code = kStillActive;
    return 0;
}

int KillProcess(ProcessHandle handle) {
    if (handle <= 0) return EBADF;
    if (::syscall(SYS_pidfd_send_signal, static_cast<int>(handle), SIGKILL, nullptr, 0) != 0)
        return errno;
    return 0;
}

// There is no thread handle here.
void CloseThread(ThreadHandle) {}

void CloseProcess(ProcessHandle handle) {
    if (handle <= 0) return;
    const int pidfd = static_cast<int>(handle);
    auto& own = OwnChildren();
    const auto it = std::find(own.begin(), own.end(), pidfd);
    if (it == own.end()) {
        ::close(pidfd);
        return;
    }
    own.erase(it);
    if (ReapIfEnded(pidfd)) ::close(pidfd);
    else ClosedRunningChildren().push_back(pidfd);
    ReapClosedChildren();
}

// Any process may signal the processes its user may signal; there is no privilege to
// switch on, so every step succeeds.
int OpenOwnProcessToken(TokenHandle& token) {
    token = 0;
    return 0;
}

int LookupDebugPrivilege(uint64_t& privilege) {
    privilege = 0;
    return 0;
}

int EnableTokenPrivilege(TokenHandle, uint64_t) { return 0; }

void CloseToken(TokenHandle) {}

namespace {

// A semaphore name is "/" and one path component.
int SemaphoreName(const std::wstring& name, std::string& out) {
    if (name.empty()) return EINVAL;
    std::wstring component = name;
    for (auto& c : component)
        if (c == L'/') c = L'_';
    std::string narrow;
    if (!WideToUtf8(component, narrow)) return EILSEQ;
    out = "/" + narrow;
    return 0;
}

// sem_overview(7): a named semaphore is the file sem.<name> in /dev/shm.
std::string SemaphoreFile(const std::string& semName) {
    return "/dev/shm/sem." + semName.substr(1);
}

struct NamedEvent {
    sem_t* semaphore;
    int lock;  // the creator's shared lock on the semaphore's file; -1 for a signaller
};

NamedEvent* Event(EventHandle handle) { return reinterpret_cast<NamedEvent*>(handle); }

// Whether a running creator holds the semaphore: a lock dies with its holder.
bool HeldByCreator(const std::string& semName) {
    const int fd = ::open(SemaphoreFile(semName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // also drops a lock taken just now
    return held;
}

EventHandle MakeHandle(sem_t* semaphore, int lock) {
    return reinterpret_cast<EventHandle>(new NamedEvent{semaphore, lock});
}

}  // namespace

int OpenNamedEvent(const std::wstring& name, EventHandle& handle) {
    std::string semName;
    if (const int e = SemaphoreName(name, semName)) return e;
    // Left behind by a program that was killed: as gone as the Windows event would be.
    if (!HeldByCreator(semName)) return ENOENT;
    sem_t* semaphore = ::sem_open(semName.c_str(), 0);
    if (semaphore == SEM_FAILED) return errno;
    handle = MakeHandle(semaphore, -1);
    return 0;
}

int CreateNamedEvent(const std::wstring& name, EventHandle& handle) {
    std::string semName;
    if (const int e = SemaphoreName(name, semName)) return e;
    sem_t* semaphore = ::sem_open(semName.c_str(), O_CREAT, 0666, 0);
    if (semaphore == SEM_FAILED) return errno;
    const int lock =
        AboveStandardStreams(::open(SemaphoreFile(semName).c_str(), O_RDONLY | O_CLOEXEC));
    if (lock < 0) {
        const int e = errno;
        ::sem_close(semaphore);
        return e;
    }
    // Held by nobody: left over from a program that was killed. A signal meant for that
    // program must not end this one.
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
        while (::sem_trywait(semaphore) == 0) {
        }
    }
    while (::flock(lock, LOCK_SH) != 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        ::close(lock);
        ::sem_close(semaphore);
        return e;
    }
    handle = MakeHandle(semaphore, lock);
    return 0;
}

int SignalNamedEvent(EventHandle handle) {
    if (handle == 0) return EINVAL;
    return ::sem_post(Event(handle)->semaphore) == 0 ? 0 : errno;
}

bool WaitNamedEvent(EventHandle handle, uint32_t ms) {
    if (handle == 0) return false;
    sem_t* semaphore = Event(handle)->semaphore;
    timespec deadline{};
    if (ms != kNoLimit) {
        ::clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += ms / 1000;
        deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
    }
    while (true) {
        const int r = ms == kNoLimit ? ::sem_wait(semaphore)
                                     : ::sem_clockwait(semaphore, CLOCK_MONOTONIC, &deadline);
        if (r == 0) return true;
        if (errno != EINTR) return false;
    }
}

void CloseNamedEvent(EventHandle handle) {
    if (handle == 0) return;
    NamedEvent* event = Event(handle);
    ::sem_close(event->semaphore);
    if (event->lock >= 0) ::close(event->lock);
    delete event;
}

void RemoveNamedEvent(const std::wstring& name) {
    std::string semName;
    if (SemaphoreName(name, semName) == 0) ::sem_unlink(semName.c_str());
}


}  // namespace os
