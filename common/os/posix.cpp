// POSIX implementation of the primitives: errors, environment, identity, output and boxes
// (files, the version record, processes, the registry and text live in their own files).
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/os/os.h"
#include "common/os/posix_native.h"

extern char** environ;

namespace os {

using namespace posix;

namespace err {
const int kFileNotFound = ENOENT;
const int kPathNotFound = ENOENT;  // POSIX does not tell a missing file from a missing folder
const int kAlreadyExists = EEXIST;
const int kAccessDenied = EACCES;
const int kNotSameDevice = EXDEV;
const int kDirNotEmpty = ENOTEMPTY;
const int kInvalidData = EILSEQ;
const int kLockBusy = EWOULDBLOCK;
const int kNoSuchProcess = ESRCH;
// Not errno values: the registry stand-in reports these two with their Windows numbers,
// which lie outside the range errno uses.
const int kNoMoreItems = 259;
const int kMoreData = 234;
}  // namespace err

// ---- errors ---------------------------------------------------------------------------

int LastError() { return errno; }
void SetLastErrorCode(int code) { errno = code; }

// There are no message modules here: every number is a system error number.
std::wstring ErrorText(int code, const std::wstring&) {
    // The registry stand-in's two numbers carry the Windows texts.
    if (code == err::kNoMoreItems) return L"No more data is available.\r\n";
    if (code == err::kMoreData) return L"More data is available.\r\n";
    char buffer[256];
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) {
        errno = EINVAL;
        return std::wstring();
    }
    return Utf8ToWideLossy(text) + L"\r\n";
}

// ---- environment and well-known folders ------------------------------------------------

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    std::string native;
    if (!ToNative(name, native)) return std::nullopt;
    const char* value = ::getenv(native.c_str());
    if (value == nullptr) return std::nullopt;
    std::wstring wide;
    if (!Utf8ToWide(value, wide)) return std::nullopt;
    return wide;
}

bool SetEnv(const std::wstring& name, const std::optional<std::wstring>& value) {
    std::string nativeName, nativeValue;
    if (!ToNative(name, nativeName)) return false;
    if (!value) return ::unsetenv(nativeName.c_str()) == 0;
    return ToNative(*value, nativeValue) &&
           ::setenv(nativeName.c_str(), nativeValue.c_str(), 1) == 0;
}

namespace {
std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && path.back() == kSep) path.pop_back();
    return path;
}

// A folder variable: its value when set and not empty, else the fallback. False when the
// value is set but has no text form.
bool FolderVariable(const char* name, const wchar_t* fallback, std::wstring& out) {
    const char* value = ::getenv(name);
    if (value == nullptr || *value == '\0') {
        out = fallback;
        return true;
    }
    std::wstring wide;
    if (!Utf8ToWide(value, wide)) {
        errno = EILSEQ;
        return false;
    }
    out = WithoutTrailingSeparators(wide);
    return true;
}
}  // namespace

// A value without a text form stands for a location without a path form.
FolderLookup CommonAppDataFolder(std::wstring& out, uint32_t& result) {
    result = 0;
    return FolderVariable("ProgramData", L"/var/lib", out) ? FolderLookup::kOk
                                                            : FolderLookup::kPathFailed;
}

std::wstring ProgramFilesFolder() {
    std::wstring out;
    return FolderVariable("ProgramFiles", L"/opt", out) ? out : L"/opt";
}

std::wstring ProgramDataFolder() {
    std::wstring out;
    return FolderVariable("ProgramData", L"/var/lib", out) ? out : L"/var/lib";
}

std::wstring TempFolder() {
    std::wstring out;
    if (!FolderVariable("TMPDIR", L"/tmp", out)) out = L"/tmp";
    if (out.empty() || out.back() != kSep) out += kSep;
    return out;
}

std::wstring ModulePath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::wstring();
    buffer.resize(static_cast<size_t>(n));
    return FromNative(buffer);
}

std::wstring CurrentDirectory() {
    std::error_code ec;
    const auto path = std::filesystem::current_path(ec);
    return ec ? std::wstring() : FromNative(path.string());
}

std::wstring ProcessCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!all.empty() && all.back() == '\0') all.pop_back();
    std::replace(all.begin(), all.end(), '\0', ' ');
    return Utf8ToWideLossy(all);
}

bool ChangeDirectory(const std::wstring& path) {
    std::string native;
    return ToNative(path, native) && ::chdir(native.c_str()) == 0;
}

// ---- process identity, time, output -----------------------------------------------------

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }
uint32_t CurrentThreadId() { return static_cast<uint32_t>(::gettid()); }

bool DebuggerAttached() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("TracerPid:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    return false;
}

LocalTime Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return LocalTime{local.tm_mon + 1,  local.tm_mday, local.tm_hour,
                     local.tm_min,      local.tm_sec,  static_cast<int>(ts.tv_nsec / 1000000)};
}

uint64_t MonotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMs(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {
// Writes to standard error; 0 or the error. A broken standard error (its reader gone) loses
// the text, and the signal the write raises, which would end the process, never arrives.
int WriteStandardError(const std::string& text) {
    sigset_t brokenPipe, previous, pending;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
    const bool pendingBefore = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    const int e = WriteAll(STDERR_FILENO, text.data(), text.size());
    if (e == EPIPE && !pendingBefore) {
        const timespec none{0, 0};
        while (::sigtimedwait(&brokenPipe, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return e;
}
}  // namespace

void DebugOutputNarrow(const std::string& text) {
    const int saved = errno;
    WriteStandardError(text);
    errno = saved;
}

void DebugOutput(const std::wstring& text) { DebugOutputNarrow(WideToUtf8Lossy(text)); }

namespace {
bool ProgramOnPath(const char* name) {
    const char* path = ::getenv("PATH");
    if (path == nullptr) return false;
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = ::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

bool ShowZenity(const std::string& caption, const std::string& body, uint32_t timeoutMs) {
    const std::string timeout = "--timeout=" + std::to_string((timeoutMs + 999) / 1000);
    const std::string title = "--title=" + caption;
    const std::string text = "--text=" + body;
    char* argv[] = {const_cast<char*>("zenity"), const_cast<char*>("--info"),
                    const_cast<char*>(timeout.c_str()), const_cast<char*>(title.c_str()),
                    const_cast<char*>(text.c_str()), nullptr};
    pid_t pid;
    if (::posix_spawnp(&pid, "zenity", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    // OK, closed by the user, or timed out; anything else (no connection to the display)
    // means nobody saw the box.
    if (!WIFEXITED(status)) return false;
    const int code = WEXITSTATUS(status);
    return code == 0 || code == 1 || code == 5;
}

// Waits up to timeoutMs for the user to press Enter on the terminal.
void WaitForEnter(uint32_t timeoutMs) {
    const uint64_t end = MonotonicMs() + timeoutMs;
    while (true) {
        const uint64_t now = MonotonicMs();
        if (now >= end) return;
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(end - now));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n <= 0 || c == '\n') return;
    }
}
}  // namespace

namespace {
// The stand-in of the looked-up system box; its address is what the lookup hands out.
void ShowBox(const std::wstring& caption, const std::wstring& body, uint32_t timeoutMs) {
    const int saved = errno;
    const std::string c = WideToUtf8Lossy(caption), b = WideToUtf8Lossy(body);
    if (!(HasDisplay() && ProgramOnPath("zenity") && ShowZenity(c, b, timeoutMs))) {
        const std::string text = "[" + c + "] " + b + "\n";
        if (WriteStandardError(text) == 0 && ::isatty(STDIN_FILENO))
            WaitForEnter(timeoutMs);
    }
    errno = saved;
}
using ShowBoxFunction = void (*)(const std::wstring&, const std::wstring&, uint32_t);
}  // namespace

TimedMessageBox FindTimedMessageBox() { return reinterpret_cast<TimedMessageBox>(&ShowBox); }

void ShowTimedMessageBox(TimedMessageBox box, const std::wstring& caption,
                         const std::wstring& body, uint32_t timeoutMs) {
    if (box != nullptr) reinterpret_cast<ShowBoxFunction>(box)(caption, body, timeoutMs);
}

void ShowModalMessageBox(const std::wstring& caption, const std::wstring& body) {
    DebugOutputNarrow("[" + WideToUtf8Lossy(caption) + "] " + WideToUtf8Lossy(body) + "\n");
}

// ---- Windows version ----------------------------------------------------------------------

bool WindowsVersionAtLeast(int, int, int) { return false; }
bool IsWow64() { return false; }

}  // namespace os
