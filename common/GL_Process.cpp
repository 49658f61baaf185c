#include "common/GL_Process.h"

#include <optional>

#include "common/GL_Debug.h"
#include "common/PathText.h"

namespace {

// The name the termination's lines carry, also when they come from its helpers.
constexpr const wchar_t* kTerminateName = L"GL_PROCESS_Terminate";
constexpr int kEndWaits = 10;
constexpr uint32_t kEndWaitMs = 500;
constexpr uint32_t kFreeWaitLimitMs = 10000;
constexpr uint32_t kFreeRetryMs = 500;
constexpr uint32_t kStartRetryMs = 500;
// A start that keeps failing is given up after this much pausing, whatever the wait time
// (without a bound a missing installer run without time limit would hold the launcher).
constexpr uint32_t kStartRetryLimitMs = 3000;

// Letter case as the C runtime folds it by default: ASCII letters only.
std::wstring UpperAscii(std::wstring text) {
    for (auto& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - (L'a' - L'A'));
    return text;
}

// The debug privilege in the own token; error gets the failing step's error number.
bool SetPrivilege(os::TokenHandle token, int& error) {
    uint64_t privilege = 0;
    if (const int e = os::LookupDebugPrivilege(privilege)) {
        error = e;
        GL_LOG('E', e, 10, L"LookupPrivilegeValue error");
        return false;
    }
    const int e = os::EnableTokenPrivilege(token, privilege);
    if (e == os::err::kNotAllAssigned) {
        error = e;
        GL_LOG('E', 0, 30, L"The token does not have the specified privilege.");
        return false;
    }
    if (e != 0) {
        error = e;
        GL_LOG('E', e, 20, L"AdjustTokenPrivileges error");
        return false;
    }
    return true;
}

// Up to ten waits of 500 ms. The wait itself tells the end: the exit code of a process
// that is no child of the launcher may not be readable, and a program may exit with the
// code that means "still active".
bool WaitForEnd(os::ProcessHandle process) {
    for (int i = 0; i < kEndWaits; ++i)
        if (os::WaitProcess(process, kEndWaitMs)) return true;
    return false;
}

// What a name given to GL_PROCESS_GetID matches: a bare file name the executables of that
// name in any folder; a path that one file, however the path is spelled (through a linked
// folder, with "//" or "/./"). Letter case does not matter in the text comparison.
class ExecutableName {
public:
    explicit ExecutableName(const std::wstring& name)
        : upper_(UpperAscii(name)), fullPath_(HasSeparator(upper_)) {
        hasIdentity_ = fullPath_ && os::GetFileIdentity(name, identity_) == 0;
    }

    bool Matches(const std::wstring& exePath) const {
        const std::wstring candidate = UpperAscii(exePath);
        if (!fullPath_) return LastComponent(candidate) == upper_;
        if (candidate == upper_) return true;
        os::FileIdentity other;
        return hasIdentity_ && os::GetFileIdentity(exePath, other) == 0 && other == identity_;
    }

private:
    std::wstring upper_;
    bool fullPath_;
    bool hasIdentity_ = false;
    os::FileIdentity identity_;
};

// Waits until the executable can be opened for reading and writing (it is no longer
// running anywhere) or is gone. False after kFreeWaitLimitMs of pauses.
bool WaitUntilFree(const std::wstring& path, uint32_t& waitedMs) {
    waitedMs = 0;
    while (os::PathExists(path)) {
        if (os::OpenForExclusiveUse(path) == 0) return true;
        if (waitedMs >= kFreeWaitLimitMs) return false;
        os::SleepMs(kFreeRetryMs);
        waitedMs += kFreeRetryMs;
    }
    return true;
}

struct ProgramPath {
    std::wstring folder;  // with its trailing separator, empty for a bare name
    std::wstring name;
    std::wstring extension;
    std::wstring inlineArguments;
};

// The path splitter's view: the extension runs from the last dot of the last component,
// so arguments after the extension land in it and are cut off at its first space.
ProgramPath SplitProgramPath(const std::wstring& path) {
    ProgramPath parts;
    const size_t separator = LastSeparator(path);
    const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    parts.folder = path.substr(0, nameStart);
    const std::wstring last = path.substr(nameStart);
    const size_t dot = last.rfind(L'.');
    parts.name = last.substr(0, dot);
    if (dot != std::wstring::npos) parts.extension = last.substr(dot);
    const size_t space = parts.extension.find(L' ');
    if (space != std::wstring::npos) {
        parts.inlineArguments = parts.extension.substr(space + 1);
        parts.extension.resize(space);
    }
    return parts;
}

// Ends pid, through its exit event when one is named, and waits until it has ended and its
// executable is free. matched, when given, is what the process was found by: a process that
// no longer runs such an executable (its id was handed on) is left alone.
bool Terminate(uint32_t pid, const std::wstring& exitEventName, const ExecutableName* matched) {
    std::wstring exePath;
    GL_PROCESS_GetPathFromPID(pid, exePath);
    if (pid == 0) return true;

    os::TokenHandle token = 0;
    if (const int e = os::OpenOwnProcessToken(token)) {
        GL_LOG_FN(kTerminateName, 'E', e, 10, L"OpenProcessToken()함수 실패: %d", pid);
        return false;
    }
    int privilegeError = 0;
    const bool privileged = SetPrivilege(token, privilegeError);
    os::CloseToken(token);
    if (!privileged) {
        GL_LOG_FN(kTerminateName, 'E', privilegeError, 20, L"SetPrivilege()함수 실패: %d", pid);
        return false;
    }

    os::ProcessHandle process = 0;
    if (const int e = os::OpenProcessHandle(pid, os::ProcessAccess::kControl, process)) {
        // An id listed by name that has ended by its turn needs no ending.
        if (matched != nullptr && e == os::err::kNoSuchProcess) return true;
        GL_LOG_FN(kTerminateName, 'E', e, 30, L"OpenProcess()함수 실패: %d", pid);
        return false;
    }
    // Checked through the handle, which keeps the id from being handed on from here.
    const ExecutableName* expected = matched;
    std::optional<ExecutableName> ownPath;
    if (expected == nullptr && !exePath.empty()) expected = &ownPath.emplace(exePath);
    if (expected != nullptr) {
        std::wstring running;
        // Unreadable: the process has ended.
        if (os::GetProcessExePath(process, running) != 0 || !expected->Matches(running)) {
            os::CloseProcess(process);
            GL_LOG_FN(kTerminateName, 'E', 0, 35, L"종료할 프로그램이 아니어서 종료하지 않음(%d): %s",
                      pid, running);
            return true;
        }
    }

    if (!exitEventName.empty()) {
        os::EventHandle event = 0;
        if (const int e = os::OpenNamedEvent(exitEventName, event)) {
            os::CloseProcess(process);
            GL_LOG_FN(kTerminateName, 'E', e, 39, L"OpenEvent() 함수 실패(이벤트명: %s)",
                      exitEventName);
            return false;
        }
        os::SignalNamedEvent(event);
        os::CloseNamedEvent(event);
    } else if (const int e = os::KillProcess(process)) {
        os::CloseProcess(process);
        GL_LOG_FN(kTerminateName, 'E', e, 40, L"TerminateProcess()함수 실패");
        return false;
    }
    const bool ended = WaitForEnd(process);
    os::CloseProcess(process);
    if (!ended) {
        GL_LOG_FN(kTerminateName, 'E', 0, 50, L"Time Out(%dms)",
                  static_cast<int>(kEndWaits * kEndWaitMs));
        return false;
    }

    if (exePath.empty()) return true;
    uint32_t waitedMs = 0;
    if (WaitUntilFree(exePath, waitedMs)) return true;
    GL_LOG_FN(kTerminateName, 'E', 0, 60,
              L"프로세스가 사용중이어서 종료되지 않음으로 판단(%dms 대기): %s", waitedMs, exePath);
    return false;
}

}  // namespace

int GL_PROCESS_GetID(const std::wstring& exeName, std::vector<uint32_t>& pids) {
    pids.clear();
    const ExecutableName wanted(exeName);
    std::vector<os::ProcessEntry> processes;
    if (const int e = os::ListProcesses(processes))
        return GL_LOG('E', e, 10, L"CreateToolhelp32Snapshot() 실패");
    for (const auto& process : processes)
        if (process.pid != 0 && wanted.Matches(process.exePath)) pids.push_back(process.pid);
    return 0;
}

bool GL_PROCESS_Terminate(uint32_t pid, const std::wstring& exitEventName) {
    return Terminate(pid, exitEventName, nullptr);
}

bool GL_PROCESS_TerminateByName(const std::wstring& exeName, const std::wstring& exitEventName) {
    std::vector<uint32_t> pids;
    // A list that cannot be taken has been logged and leaves nothing to end.
    GL_PROCESS_GetID(exeName, pids);
    // Each earlier process may take seconds to end: a later id is checked again when its
    // turn comes.
    const ExecutableName matched(exeName);
    for (const uint32_t pid : pids)
        if (!Terminate(pid, exitEventName, &matched)) return false;
    return true;
}

GL_PROCESS_INFO GL_PROCESS_Run(bool keepHandles, uint32_t creationFlags, const std::wstring& path,
                               const std::wstring& arguments, bool wait, uint32_t waitMs) {
    const ProgramPath parts = SplitProgramPath(path);
    const std::wstring programPath = parts.folder + parts.name + parts.extension;
    const std::wstring& argumentText =
        parts.inlineArguments.empty() ? arguments : parts.inlineArguments;

    // The program inherits the working directory; it is the program's folder while starting.
    const std::wstring savedDirectory = os::CurrentDirectory();
    const bool changedDirectory = !parts.folder.empty() && os::ChangeDirectory(parts.folder);
    auto restoreDirectory = [&] {
        if (changedDirectory && !savedDirectory.empty()) os::ChangeDirectory(savedDirectory);
    };

    // Without kept handles nobody will wait for the program's end, so it is not kept as a
    // child of the launcher.
    os::StartedProcess started;
    auto start = [&] {
        return os::StartProcess(programPath, argumentText, creationFlags, !keepHandles, started);
    };
    if (start() != 0) {
        for (uint32_t pausedMs = 0;; pausedMs += kStartRetryMs) {
            const int e = start();
            if (e == 0) {
                os::SleepMs(kStartRetryMs);
                break;
            }
            if (pausedMs >= kStartRetryLimitMs) {
                GL_LOG('E', e, 10, L"CreateProcess() 실패: %dms 대기", static_cast<int>(waitMs));
                restoreDirectory();
                return GL_PROCESS_INFO{};
            }
            os::SleepMs(kStartRetryMs);
        }
    }
    const GL_PROCESS_INFO info{started.process, started.thread, started.pid, started.tid};

    if (wait) os::WaitProcess(info.hProcess, waitMs);
    if (!keepHandles) {
        os::CloseProcess(info.hProcess);
        os::CloseThread(info.hThread);
    }
    restoreDirectory();
    return info;
}

bool GL_PROCESS_GetPathFromPID(uint32_t pid, std::wstring& path) {
    os::ProcessHandle process = 0;
    if (os::OpenProcessHandle(pid, os::ProcessAccess::kQueryPath, process) != 0) return false;
    if (const int e = os::GetProcessExePath(process, path)) {
        GL_LOG('E', e, 10, L"GetModuleFileNameEx() 실패");
        path.clear();
    }
    os::CloseProcess(process);
    return true;
}
