#pragma once
// Finding running processes by executable, ending them (through their exit event or by
// force) until their executable is free, and starting programs.
#include <cstdint>
#include <string>
#include <vector>

#include "common/os/os.h"

// Wait time without limit.
inline constexpr uint32_t GL_INFINITE = 0xFFFFFFFF;
// Creation flag: a console program runs without a console.
inline constexpr uint32_t GL_CREATE_NO_WINDOW = os::kCreateNoWindow;

// The record of a started process; all zero when no process was started. On Linux there is
// no thread handle (hThread stays 0) and the main thread's id equals the process id.
struct GL_PROCESS_INFO {
    os::ProcessHandle hProcess = 0;
    os::ThreadHandle hThread = 0;
    uint32_t dwProcessId = 0;
    uint32_t dwThreadId = 0;
};

// Fills pids (cleared first) with the processes whose executable matches exeName: a bare
// file name matches in any folder, a path only that path; letter case does not matter.
// 0, or 10 when the processes cannot be listed.
int GL_PROCESS_GetID(const std::wstring& exeName, std::vector<uint32_t>& pids);
// Ends the process (through the named exit event when one is given, else by force) and
// waits until it has ended and its executable is free. Process id 0 is true at once.
bool GL_PROCESS_Terminate(uint32_t pid, const std::wstring& exitEventName);
// GL_PROCESS_Terminate on every matching process in turn; stops at the first failure.
bool GL_PROCESS_TerminateByName(const std::wstring& exeName, const std::wstring& exitEventName);
// Starts the program (path may carry arguments after its extension) with its folder as
// working directory, optionally waiting up to waitMs. Unless keepHandles, the handles are
// closed before returning (their values in the record must not be used then).
GL_PROCESS_INFO GL_PROCESS_Run(bool keepHandles, uint32_t creationFlags, const std::wstring& path,
                               const std::wstring& arguments, bool wait, uint32_t waitMs);
// False only when the process cannot be opened (path then unchanged).
bool GL_PROCESS_GetPathFromPID(uint32_t pid, std::wstring& path);
