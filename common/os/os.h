#pragma once
// The operating-system layer: small primitives without policy. Only the files of this
// folder include operating-system headers; everything above works through these calls.
// Error numbers are the platform's own (errno here, GetLastError on Windows).
#include <cstdint>
#include <locale>
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
// System text for an error number (ends in CR LF like the Windows texts), or empty with
// the last error set to the lookup's own failure.
std::wstring ErrorText(int code);
namespace err {
extern const int kFileNotFound;   // ERROR_FILE_NOT_FOUND
extern const int kPathNotFound;   // ERROR_PATH_NOT_FOUND
extern const int kAlreadyExists;  // ERROR_ALREADY_EXISTS
extern const int kAccessDenied;   // ERROR_ACCESS_DENIED
extern const int kNoMoreItems;    // ERROR_NO_MORE_ITEMS
extern const int kMoreData;       // ERROR_MORE_DATA
extern const int kNotAllAssigned; // ERROR_NOT_ALL_ASSIGNED
}  // namespace err

// ---- text -----------------------------------------------------------------------------
// Narrow text is UTF-8 here. Strict: invalid input gives false.
bool NarrowToWide(const std::string& in, std::wstring& out);
bool WideToNarrow(const std::wstring& in, std::string& out);
// Never fail: invalid input becomes U+FFFD (narrow to wide) or '?' (wide to narrow).
std::wstring NarrowToWideLossy(const std::string& in);
std::string WideToNarrowLossy(const std::wstring& in);
// The locale of narrow text: its wide-character/char conversion facet converts UTF-8 here,
// whatever the environment names (LANG unset included).
const std::locale& NarrowTextLocale();

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
// recursive copy, recursive delete. Move and copy replace files and merge into folders
// that exist at the destination; neither goes into its own source.
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
// A process handle is a pidfd here (a process handle on Windows); 0 = none.
using ProcessHandle = intptr_t;
inline constexpr uint32_t kStillActive = 259;
// Creation flag: the program gets no console; its standard streams go to the null device.
inline constexpr uint32_t kCreateNoWindow = 0x08000000;
struct ProcessEntry {
    uint32_t pid;
    std::wstring exePath;
};
// Every process whose executable path can be read (a removed executable keeps its path).
int ListProcesses(std::vector<ProcessEntry>& out);
int GetProcessExePath(uint32_t pid, std::wstring& path);
int OpenProcess(uint32_t pid, ProcessHandle& handle);
// Starts program with argv (argv[0] included). The child inherits the current directory and
// the environment, and no open file but the standard streams. A program without a folder is
// looked up in the current directory, then on PATH. A detached program is not kept as a
// child (nothing is left to reap when nobody waits for it; its exit code cannot be read);
// otherwise it stays a child until its handle is closed. Creation flags other than
// kCreateNoWindow have no meaning here.
int StartProcess(const std::wstring& program, const std::vector<std::wstring>& argv,
                 uint32_t creationFlags, bool detached, ProcessHandle& handle, uint32_t& pid);
// Waits up to ms (0xFFFFFFFF: no limit). True when the process has ended.
bool WaitProcess(ProcessHandle handle, uint32_t ms);
// kStillActive while the process runs; 128 + the signal for a child ended by a signal. The
// exit code of a process that is not a child cannot be read: 0 once it has ended.
int GetProcessExitCode(ProcessHandle handle, uint32_t& code);
int TerminateProcess(ProcessHandle handle);
// An ended child is reaped at once, a running one once it has ended (checked whenever a
// process is started or closed).
void CloseProcess(ProcessHandle handle);

// The debug privilege of the own access token (always held here: nothing to enable).
using TokenHandle = intptr_t;
int OpenOwnProcessToken(TokenHandle& token);
int LookupDebugPrivilege(uint64_t& privilege);
// err::kNotAllAssigned when the token does not hold the privilege.
int EnableTokenPrivilege(TokenHandle token, uint64_t privilege);
void CloseToken(TokenHandle token);

// Named exit events: a POSIX named semaphore "/" + name here ("/" inside the name becomes
// "_"). Creating one that is left over from a program that could not remove it resets it.
using EventHandle = intptr_t;  // 0 = none
// Fails (kFileNotFound) when nobody created the event.
int OpenNamedEvent(const std::wstring& name, EventHandle& handle);
int CreateNamedEvent(const std::wstring& name, EventHandle& handle);
int SignalNamedEvent(EventHandle handle);
// True when signalled within ms (0xFFFFFFFF: no limit).
bool WaitNamedEvent(EventHandle handle, uint32_t ms);
void CloseNamedEvent(EventHandle handle);
void RemoveNamedEvent(const std::wstring& name);

// Windows on the processor architecture emulation layer (never here).
bool IsWow64();

// ---- registry (HKEY_LOCAL_MACHINE) ------------------------------------------------------
// A folder tree below <common application-data folder>/Registry/HKEY_LOCAL_MACHINE/: a key
// is a folder (the backslashes of a key path separate folders; the case of ASCII letters
// does not matter), its sub-keys are its sub-folders in name order, its values are the
// members of its values.json (string member: string value; integer member: 32-bit value).
using RegKey = intptr_t;  // 0 = none
int RegOpenKey(const std::wstring& subKey, RegKey& key);
// maxBytes bounds the value's data as Windows stores it, UTF-16 with its terminator
// (kMoreData when longer). A value of the other type fails with EINVAL.
int RegQueryString(RegKey key, const std::wstring& name, std::wstring& value, size_t maxBytes);
int RegQueryDword(RegKey key, const std::wstring& name, uint32_t& value);
// kNoMoreItems past the last sub-key.
int RegEnumKey(RegKey key, uint32_t index, std::wstring& name);
void RegCloseKey(RegKey key);

}  // namespace os
