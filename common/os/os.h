#pragma once
// The operating-system layer: small primitives without policy. Only the files of this
// folder include operating-system headers; everything above works through these calls.
// Error numbers are the platform's own (errno here, GetLastError on Windows).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace os {

// Path separator of every path the launcher builds.
inline constexpr wchar_t kSep = L'/';
inline constexpr const wchar_t* kSepStr = L"/";

// ---- errors ---------------------------------------------------------------------------
int LastError();
void SetLastError(int code);
// System text for an error number (ends in CR LF like the Windows texts), or empty.
std::wstring ErrorText(int code);
namespace err {
extern const int kFileNotFound;   // ERROR_FILE_NOT_FOUND
extern const int kPathNotFound;   // ERROR_PATH_NOT_FOUND
extern const int kAlreadyExists;  // ERROR_ALREADY_EXISTS
extern const int kAccessDenied;   // ERROR_ACCESS_DENIED
extern const int kNoMoreItems;    // ERROR_NO_MORE_ITEMS
extern const int kMoreData;       // ERROR_MORE_DATA
}  // namespace err

// ---- text -----------------------------------------------------------------------------
// Narrow text is UTF-8 here. Strict: invalid input gives false.
bool NarrowToWide(const std::string& in, std::wstring& out);
bool WideToNarrow(const std::wstring& in, std::string& out);

// ---- environment and well-known folders ------------------------------------------------
std::optional<std::wstring> GetEnv(const std::wstring& name);
// Common application-data folder, without a trailing separator. False when unknown.
bool CommonAppDataFolder(std::wstring& out);
// Expansion of %ProgramFiles% and %ProgramData%, without a trailing separator.
std::wstring ProgramFilesFolder();
std::wstring ProgramDataFolder();
// Temporary folder, ending in the separator.
std::wstring TempFolder();
// Full path of the running executable.
std::wstring ModulePath();
std::wstring CurrentDirectory();
bool SetCurrentDirectory(const std::wstring& path);

// ---- process identity, time, output -----------------------------------------------------
uint32_t CurrentProcessId();
uint32_t CurrentThreadId();
bool IsDebuggerPresent();
struct LocalTime {
    int month, day, hour, minute, second, millisecond;
};
LocalTime Now();
uint64_t MonotonicMs();
void SleepMs(uint32_t ms);
// Debugger output (standard error here).
void DebugOutput(const std::wstring& text);
void DebugOutputNarrow(const std::string& text);
// A message box that closes itself after timeoutMs. False when no box can be shown at all.
bool MessageBoxTimeout(const std::wstring& caption, const std::wstring& body, uint32_t timeoutMs);
// A modal box that waits for the user (the log's failure notice).
void MessageBoxModal(const std::wstring& caption, const std::wstring& body);

// ---- files and folders ------------------------------------------------------------------
// Every int-returning call gives 0 on success, else the error number.
bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool PathIsUNCServer(const std::wstring& path);
bool PathIsUNC(const std::wstring& path);
int DeleteFile(const std::wstring& path);
// Fails when the destination exists (like MoveFileW).
int MoveFile(const std::wstring& from, const std::wstring& to);
int CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists);
int CreateDirectory(const std::wstring& path);
int RemoveDirectory(const std::wstring& path);
struct DirEntry {
    std::wstring name;
    bool isDirectory;
};
// Entries of a folder in name order, without "." and "..".
int ListDirectory(const std::wstring& path, std::vector<DirEntry>& out);
int ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out);
int AppendToFile(const std::wstring& path, const void* data, size_t size);
// Creates or truncates the file and writes the bytes.
int WriteNewFile(const std::wstring& path, const void* data, size_t size);
int GetFileSize(const std::wstring& path, uint64_t& size);
// Succeeds when the file can be opened for reading and writing (not executing, not locked).
int OpenForExclusiveUse(const std::wstring& path);
// Gives a file the launcher created the right to be run when its name says it is a program.
void MarkRunnableIfProgram(const std::wstring& path);

// Shell-style tree operations: move (rename, or copy then remove across file systems),
// recursive copy, recursive delete.
int MoveTree(const std::wstring& from, const std::wstring& to);
int CopyTree(const std::wstring& from, const std::wstring& to);
int DeleteTree(const std::wstring& path);

// Streaming writer for downloads.
class FileWriter {
public:
    FileWriter() = default;
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    int Create(const std::wstring& path);  // creates or truncates
    int Write(const void* data, size_t size);
    int Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// ---- version record ---------------------------------------------------------------------
enum class VersionRead { kOk, kNoVersion, kError };
// Reads the version record the build stamps into its binaries.
VersionRead ReadVersionRecord(const std::wstring& path, uint16_t fileVersion[4],
                              uint16_t productVersion[4], int& error);

// ---- processes --------------------------------------------------------------------------
using ProcessHandle = intptr_t;  // 0 = none
inline constexpr uint32_t kStillActive = 259;
struct ProcessEntry {
    uint32_t pid;
    std::wstring exePath;
};
// Every process whose executable path can be read.
int ListProcesses(std::vector<ProcessEntry>& out);
bool GetProcessExePath(uint32_t pid, std::wstring& path);
int OpenProcess(uint32_t pid, ProcessHandle& handle);
// Starts program with argv (argv[0] included); the child inherits the current directory.
int StartProcess(const std::wstring& program, const std::vector<std::wstring>& argv,
                 uint32_t creationFlags, ProcessHandle& handle, uint32_t& pid);
// Waits up to ms (0xFFFFFFFF: no limit). True when the process has ended.
bool WaitProcess(ProcessHandle handle, uint32_t ms);
// kStillActive while the process runs.
int GetProcessExitCode(ProcessHandle handle, uint32_t& code);
int TerminateProcess(ProcessHandle handle);
void CloseProcess(ProcessHandle handle);

// Named exit events.
using EventHandle = intptr_t;  // 0 = none
int OpenNamedEvent(const std::wstring& name, EventHandle& handle);
int CreateNamedEvent(const std::wstring& name, EventHandle& handle);
int SignalNamedEvent(EventHandle handle);
// True when signalled within ms.
bool WaitNamedEvent(EventHandle handle, uint32_t ms);
void CloseNamedEvent(EventHandle handle);
void RemoveNamedEvent(const std::wstring& name);

// Windows on the processor architecture emulation layer (never here).
bool IsWow64();

// ---- registry (HKEY_LOCAL_MACHINE) ------------------------------------------------------
using RegKey = intptr_t;  // 0 = none
int RegOpenKey(const std::wstring& subKey, RegKey& key);
// maxBytes bounds the value as UTF-16 bytes would (kMoreData when longer).
int RegQueryString(RegKey key, const std::wstring& name, std::wstring& value, size_t maxBytes);
int RegQueryDword(RegKey key, const std::wstring& name, uint32_t& value);
// kNoMoreItems past the last sub-key.
int RegEnumKey(RegKey key, uint32_t index, std::wstring& name);
void RegCloseKey(RegKey key);

}  // namespace os
