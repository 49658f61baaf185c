// Processes, exit events and the debug privilege on Windows: tool-help snapshots, process
// handles, the access token and named event objects.
// GetModuleFileNameExW from psapi.dll, which Windows Vista has too.
#define PSAPI_VERSION 1
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "common/os/os.h"
#include "common/os/win32_handle.h"

namespace os {

using win32::FromHandle;
using win32::Handle;
using win32::LastErrorResult;
using win32::ToHandle;

namespace {

int Result(BOOL succeeded) { return succeeded ? 0 : LastErrorResult(); }

void CloseIfAny(intptr_t handle) {
    if (handle != 0) CloseHandle(ToHandle(handle));
}

// A module snapshot fails with ERROR_BAD_LENGTH while the process loads or unloads a
// module; the documented answer is to take it again.
HANDLE ModuleSnapshot(DWORD pid) {
    HANDLE snapshot = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 5; ++attempt) {
        snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
        if (snapshot != INVALID_HANDLE_VALUE || GetLastError() != ERROR_BAD_LENGTH) break;
    }
    return snapshot;
}

}  // namespace

int ListProcesses(std::vector<ProcessEntry>& out) {
    out.clear();
    Handle processes(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes) return LastErrorResult();
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    for (BOOL more = Process32FirstW(processes.get(), &process); more;
         more = Process32NextW(processes.get(), &process)) {
        if (process.th32ProcessID == 0) continue;
        // Processes of the other bitness, protected ones and those just ended give none.
        Handle modules(ModuleSnapshot(process.th32ProcessID));
        if (!modules) continue;
        MODULEENTRY32W module = {};
        module.dwSize = sizeof module;
        // The first module of a process is its executable.
        if (Module32FirstW(modules.get(), &module))
            out.push_back(ProcessEntry{process.th32ProcessID, module.szExePath});
    }
    return 0;
}

int OpenProcessHandle(uint32_t pid, ProcessAccess access, ProcessHandle& handle) {
    const DWORD rights = access == ProcessAccess::kControl
                             ? PROCESS_ALL_ACCESS
                             : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    const HANDLE process = OpenProcess(rights, FALSE, pid);
    if (process == nullptr) return LastErrorResult();
    handle = FromHandle(process);
    return 0;
}

int GetProcessExePath(ProcessHandle handle, std::wstring& path) {
    wchar_t buffer[256];
    // psapi's export: kernel32's K32 twin does not exist before Windows 7.
    const DWORD n = GetModuleFileNameExW(ToHandle(handle), nullptr, buffer, 256);
    if (n == 0) return LastErrorResult();
    path.assign(buffer, n);
    return 0;
}

// A Windows process has no parent that must reap it: detached or not, it starts alike.
int StartProcess(const std::wstring& program, const std::wstring& arguments,
                 uint32_t creationFlags, bool, StartedProcess& started) {
    std::wstring commandLine = arguments.empty() ? program : program + L" " + arguments;
    // CreateProcessW may write into the command line and the desktop name.
    wchar_t desktop[] = L"winsta0\\default";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, creationFlags,
                        nullptr, nullptr, &startup, &info))
        return LastErrorResult();
    started.process = FromHandle(info.hProcess);
    started.thread = FromHandle(info.hThread);
    started.pid = info.dwProcessId;
    started.tid = info.dwThreadId;
    return 0;
}

bool WaitProcess(ProcessHandle handle, uint32_t ms) {
    return WaitForSingleObject(ToHandle(handle), ms) == WAIT_OBJECT_0;
}

int GetProcessExitCode(ProcessHandle handle, uint32_t& code) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(ToHandle(handle), &exitCode)) return LastErrorResult();
    code = exitCode;
    return 0;
}

int KillProcess(ProcessHandle handle) { return Result(TerminateProcess(ToHandle(handle), 0)); }

void CloseProcess(ProcessHandle handle) { CloseIfAny(handle); }

void CloseThread(ThreadHandle handle) { CloseIfAny(handle); }

// ---- debug privilege ----------------------------------------------------------------------

int OpenOwnProcessToken(TokenHandle& token) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return LastErrorResult();
    token = FromHandle(opened);
    return 0;
}

int LookupDebugPrivilege(uint64_t& privilege) {
    LUID id;
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &id)) return LastErrorResult();
    privilege = (static_cast<uint64_t>(static_cast<uint32_t>(id.HighPart)) << 32) | id.LowPart;
    return 0;
}

int EnableTokenPrivilege(TokenHandle token, uint64_t privilege) {
    TOKEN_PRIVILEGES enable = {};
    enable.PrivilegeCount = 1;
    enable.Privileges[0].Luid.LowPart = static_cast<DWORD>(privilege);
    enable.Privileges[0].Luid.HighPart = static_cast<LONG>(privilege >> 32);
    enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(ToHandle(token), FALSE, &enable, sizeof enable, nullptr, nullptr))
        return LastErrorResult();
    // Success with this error means the token lacks the privilege altogether.
    if (GetLastError() == ERROR_NOT_ALL_ASSIGNED) return err::kNotAllAssigned;
    return 0;
}

void CloseToken(TokenHandle token) { CloseIfAny(token); }

// ---- named exit events ----------------------------------------------------------------------
// Auto-reset events: one signal ends one waiting program and is consumed by its wait, like
// a post to the POSIX backend's semaphore. Windows removes an event with its last handle,
// so none is ever left over from an ended program.

int OpenNamedEvent(const std::wstring& name, EventHandle& handle) {
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
    if (event == nullptr) return LastErrorResult();
    handle = FromHandle(event);
    return 0;
}

int CreateNamedEvent(const std::wstring& name, EventHandle& handle) {
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (event == nullptr) return LastErrorResult();
    handle = FromHandle(event);
    return 0;
}

int SignalNamedEvent(EventHandle handle) { return Result(SetEvent(ToHandle(handle))); }

bool WaitNamedEvent(EventHandle handle, uint32_t ms) {
    return WaitForSingleObject(ToHandle(handle), ms) == WAIT_OBJECT_0;
}

void CloseNamedEvent(EventHandle handle) { CloseIfAny(handle); }

void RemoveNamedEvent(const std::wstring&) {}

}  // namespace os
