#pragma once
// The operating-system layer: small primitives without policy, one contract with a backend
// per platform (posix*.cpp, win32*.cpp). Only the files of this folder include
// operating-system headers; everything above works through these calls. The names stay
// clear of the <windows.h> macros, so a file compiles the same with or without it.
// Error numbers are the platform's own (errno here, GetLastError on Windows); callers
// compare them only with the err:: constants.
#include <cstdint>
#include <locale>
#include <optional>
#include <string>
#include <vector>

namespace os {

// ---- paths ------------------------------------------------------------------------------
#if defined(_WIN32)
inline constexpr bool kWindows = true;
inline constexpr wchar_t kSep = L'\\';
inline constexpr const wchar_t* kSepStr = L"\\";
#else
inline constexpr bool kWindows = false;
inline constexpr wchar_t kSep = L'/';
inline constexpr const wchar_t* kSepStr = L"/";
#endif
// kSep is what the launcher writes; on Windows "/" separates path components as well.
constexpr bool IsSeparator(wchar_t c) { return c == kSep || (kWindows && c == L'/'); }

// ---- errors -----------------------------------------------------------------------------
int LastError();
void SetLastErrorCode(int code);
// System text of an error number (ending in CR LF like the Windows texts), looked up in the
// system's table and, when messageModule is not empty, in that message module ("netmsg.dll",
// "wininet.dll"; loaded as data when it is not loaded yet). Empty, with the last error set
// to the lookup's own failure, when there is no text.
std::wstring ErrorText(int code, const std::wstring& messageModule);
namespace err {
extern const int kFileNotFound;    // ERROR_FILE_NOT_FOUND
extern const int kPathNotFound;    // ERROR_PATH_NOT_FOUND
extern const int kAlreadyExists;   // ERROR_ALREADY_EXISTS (and ERROR_FILE_EXISTS)
extern const int kAccessDenied;    // ERROR_ACCESS_DENIED
extern const int kNotSameDevice;   // ERROR_NOT_SAME_DEVICE: a folder cannot be renamed there
extern const int kDirNotEmpty;     // ERROR_DIR_NOT_EMPTY
extern const int kNoMoreItems;     // ERROR_NO_MORE_ITEMS
extern const int kMoreData;        // ERROR_MORE_DATA
extern const int kNotAllAssigned;  // ERROR_NOT_ALL_ASSIGNED
extern const int kInvalidData;     // a text or name without the form the call needs
extern const int kLockBusy;        // ERROR_LOCK_VIOLATION: another handle holds the lock
extern const int kNoSuchProcess;   // ERROR_INVALID_PARAMETER from OpenProcess: the id runs nothing
}  // namespace err

// ---- text -------------------------------------------------------------------------------
// UTF-8: the log file, the wire, the JSON files. Strict forms give false on invalid input;
// lossy forms never fail (U+FFFD for broken input, U+FFFD's bytes for unpaired surrogates).
bool Utf8ToWide(const std::string& in, std::wstring& out);
bool WideToUtf8(const std::wstring& in, std::string& out);
std::wstring Utf8ToWideLossy(const std::string& in);
std::string WideToUtf8Lossy(const std::wstring& in);
// The ANSI code page of the user's locale (UTF-8 here, so Korean survives with LANG unset).
// The lossy forms put the code page's default character where it has no form for one.
std::wstring AnsiToWideLossy(const std::string& in);
std::string WideToAnsiLossy(const std::wstring& in);
// The user's default locale, whose wide-character/char conversion facet converts between
// wide text and the ANSI code page.
const std::locale& AnsiLocale();

// ---- environment and well-known folders -------------------------------------------------
std::optional<std::wstring> GetEnv(const std::wstring& name);
// Sets a variable of this process's environment, which the programs it starts inherit;
// nullopt removes it. False when the system refuses the name or the text.
bool SetEnv(const std::wstring& name, const std::optional<std::wstring>& value);
// The common application-data folder (CSIDL_COMMON_APPDATA), without a trailing separator.
enum class FolderLookup {
    kOk,
    kLocationFailed,  // the folder's location is unknown; result holds the system's answer
    kPathFailed,      // the location has no path form
};
FolderLookup CommonAppDataFolder(std::wstring& out, uint32_t& result);
// Expansion of %ProgramFiles% and %ProgramData% (at most 260 characters), without a
// trailing separator.
std::wstring ProgramFilesFolder();
std::wstring ProgramDataFolder();
// Temporary folder, ending in the separator; empty (last error set) when the system gives
// none or one longer than 260 characters.
std::wstring TempFolder();
// Full path of the running executable (at most 260 characters).
std::wstring ModulePath();
// The command line the process was started with, program name included, as the system
// hands it over.
std::wstring ProcessCommandLine();
std::wstring CurrentDirectory();
bool ChangeDirectory(const std::wstring& path);

// ---- process identity, time, output -----------------------------------------------------
uint32_t CurrentProcessId();
uint32_t CurrentThreadId();
bool DebuggerAttached();
struct LocalTime {
    int month, day, hour, minute, second, millisecond;
};
LocalTime Now();
uint64_t MonotonicMs();
void SleepMs(uint32_t ms);
// Debugger output (standard error here). Never fails towards the caller, also when standard
// error is closed or its reader is gone.
void DebugOutput(const std::wstring& text);
void DebugOutputNarrow(const std::string& text);
// The system's self-closing message box, looked up by name in the user-interface module
// only when that module is already loaded (it is not loaded for it). Null when the module
// or the function is missing.
using TimedMessageBox = void (*)();
TimedMessageBox FindTimedMessageBox();
// Shows the box owned by the calling thread's active window, with one OK button, and
// blocks until it is closed or timeoutMs has passed.
void ShowTimedMessageBox(TimedMessageBox box, const std::wstring& caption,
                         const std::wstring& body, uint32_t timeoutMs);
// A system-modal box that waits for the user (the log's failure notice).
void ShowModalMessageBox(const std::wstring& caption, const std::wstring& body);

// ---- Windows version ----------------------------------------------------------------------
// Whether the running system's version is at least the given one, compared as major, then
// minor, then service-pack major number (VerifyVersionInfoW; never here: Linux has no
// Windows version).
bool WindowsVersionAtLeast(int major, int minor, int servicePackMajor);
// Windows on the processor architecture emulation layer (never here).
bool IsWow64();

// ---- files and folders ------------------------------------------------------------------
// Every int-returning call gives 0 on success, else the error number.
bool PathExists(const std::wstring& path);
// A folder (here: following links; on Windows a folder link counts as a folder).
bool IsDirectory(const std::wstring& path);
// What a path names, without following a final link.
struct PathInfo {
    bool exists = false;
    bool isDirectory = false;  // a folder, or a link to one
    bool isLink = false;       // a symbolic link (any reparse point on Windows)
};
PathInfo InspectPath(const std::wstring& path);
// The Windows UNC forms ("\\server", "\\server\share\..."); "//" stands for "\\" here.
bool IsUncPath(const std::wstring& path);
bool IsUncServer(const std::wstring& path);
int RemoveFile(const std::wstring& path);
// A file or folder to a new name; fails (kAlreadyExists) when the destination exists. A
// file is copied and removed across volumes, a folder is not (kNotSameDevice). The copy is
// made under the destination's name followed by kMoveCopySuffix and takes the destination's
// name only once whole, so that name never holds a partial copy; a copy that fails is
// removed, one cut short by the end of the process stays under the suffixed name.
inline constexpr const wchar_t* kMoveCopySuffix = L".zeb-moving";
int RenameNoReplace(const std::wstring& from, const std::wstring& to);
// Puts the file from in the place of to in one step, on the same volume: a file already at
// to is replaced, so a reader sees the old file or the new one and never none. Returns once
// the new name is on disk. Fails, leaving both, when to is a folder or the two lie on
// different volumes. (rename here; MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH on Windows.)
int ReplaceFileWith(const std::wstring& from, const std::wstring& to);
// Copies one file with its attributes (a program stays runnable).
int CopyOneFile(const std::wstring& from, const std::wstring& to, bool failIfExists);
int MakeFolder(const std::wstring& path);
// Creates a folder that only its owner may enter (mode 0700 here; on Windows a protected
// access list for SYSTEM, the administrators and the owner). Fails (kAlreadyExists) when the
// name is taken, so a folder made by someone else beforehand is never used.
int MakePrivateFolder(const std::wstring& path);
// Removes an empty folder.
int RemoveFolder(const std::wstring& path);
// Removes a link itself, never what it points at.
int RemoveLink(const std::wstring& path);
// Makes to a link leading where the link from leads (on Windows a folder link gets the
// folder it resolves to as its target). Fails when to exists.
int CopyLink(const std::wstring& from, const std::wstring& to);
struct DirEntry {
    std::wstring name;
    bool isDirectory = false;  // a folder, or a link to one
    bool isLink = false;
};
// Entries of a folder in name order (plain code-unit comparison), without "." and "..".
int ListDirectory(const std::wstring& path, std::vector<DirEntry>& out);
// Reads a whole regular file opened without sharing (a file another process holds open
// fails). Anything else (a folder, a pipe, a device) is refused without waiting for it, and
// so is a file of more than maxBytes; nothing larger is ever held in memory.
int ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out, uint64_t maxBytes);
// Opens for appending with write sharing (creating the file), writes, closes. The last
// error is not meaningful after a success.
int AppendToFile(const std::wstring& path, const void* data, size_t size);
// Creates or truncates the file and writes the bytes.
int WriteNewFile(const std::wstring& path, const void* data, size_t size);
int QueryFileSize(const std::wstring& path, uint64_t& size);
// Which file a path names, links followed: the device and inode here, the volume serial
// number and file index on Windows. Two paths name the same file when their identities are
// equal, however they are spelled.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
int GetFileIdentity(const std::wstring& path, FileIdentity& identity);
// Succeeds when the file can be opened for reading and writing without sharing (it is not
// being run or held open elsewhere).
int OpenForExclusiveUse(const std::wstring& path);
// Gives a file the launcher created the right to be run when its name says it is a program
// (nothing to do on Windows).
void MarkRunnableIfProgram(const std::wstring& path);

// Streaming writer for downloads.
class FileWriter {
public:
    FileWriter() = default;
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    int Create(const std::wstring& path);  // creates or truncates
    // Opens for appending with write sharing, creating the file when missing.
    int OpenForAppend(const std::wstring& path);
    int Write(const void* data, size_t size);
    // Sends what was written to the disk (fsync, FlushFileBuffers).
    int Flush();
    int Close();
    bool IsOpen() const { return handle_ != kNone; }

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;  // a descriptor here, a file handle on Windows
};

// ---- locks between processes ---------------------------------------------------------------
// An exclusive lock on a file (flock here, LockFileEx on Windows). The file is created when
// missing and never removed by these calls. The system releases the lock when its handle is
// closed or the process ends, however it ends; programs the process starts do not inherit
// it. Two handles of one process exclude each other like two processes do.
using LockHandle = intptr_t;
inline constexpr LockHandle kNoLock = -1;
// Takes the lock without waiting: 0 (handle set), err::kLockBusy while another handle holds
// it, or the error of opening the file (handle kNoLock).
int TryLockExclusive(const std::wstring& path, LockHandle& handle);
void ReleaseLock(LockHandle handle);

// ---- version record -----------------------------------------------------------------------
enum class VersionRead { kOk, kNoVersion, kError };
// The file and product versions (major, minor, build, revision) of a program file: its
// version resource on Windows, the record the build stamps into its binaries here.
VersionRead ReadVersionRecord(const std::wstring& path, uint16_t fileVersion[4],
                              uint16_t productVersion[4], int& error);

// ---- processes ----------------------------------------------------------------------------
// Handles: a process handle on Windows, a pidfd here; 0 = none.
using ProcessHandle = intptr_t;
using ThreadHandle = intptr_t;  // none here
inline constexpr uint32_t kStillActive = 259;
// Creation flag: a console program gets no console (its standard streams go to the null
// device here). Other creation flags have no meaning here.
inline constexpr uint32_t kCreateNoWindow = 0x08000000;
struct ProcessEntry {
    uint32_t pid;
    std::wstring exePath;
};
// Every process whose executable path can be read (the first module of a module snapshot
// on Windows; processes of another bitness or protection are left out).
int ListProcesses(std::vector<ProcessEntry>& out);
enum class ProcessAccess {
    kControl,    // end it, wait for it, read its exit code (PROCESS_ALL_ACCESS)
    kQueryPath,  // read its executable path (PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)
};
int OpenProcessHandle(uint32_t pid, ProcessAccess access, ProcessHandle& handle);
// The executable of an opened process (at most 256 characters on Windows).
int GetProcessExePath(ProcessHandle handle, std::wstring& path);
struct StartedProcess {
    ProcessHandle process = 0;
    ThreadHandle thread = 0;
    uint32_t pid = 0;
    uint32_t tid = 0;  // the process id here
};
// Starts program with its argument string. Windows: CreateProcessW of the command line
// program + " " + arguments (program alone when arguments is empty), unchanged, no quotes
// added, desktop "winsta0\default". Here: program is the executable (a name without a
// folder is looked up in the current directory, then on PATH) and arguments are split by
// the Windows rules. The child inherits the current directory and the environment. A
// detached program is not kept as a child (nothing to reap; its exit code cannot be read
// here); otherwise it stays one until its handle is closed, and its exit code stays
// readable here even when this process was started with the end of its children ignored.
int StartProcess(const std::wstring& program, const std::wstring& arguments,
                 uint32_t creationFlags, bool detached, StartedProcess& started);
// Waits up to ms (0xFFFFFFFF: no limit). True when the process has ended.
bool WaitProcess(ProcessHandle handle, uint32_t ms);
// kStillActive while the process runs; here 128 + the signal for a child ended by a signal.
// An ended process whose exit code cannot be read (here: one that is not a child, or whose
// status was taken elsewhere) is an error, never a made-up code.
int GetProcessExitCode(ProcessHandle handle, uint32_t& code);
// Ends the process by force, with exit code 0.
int KillProcess(ProcessHandle handle);
void CloseProcess(ProcessHandle handle);
void CloseThread(ThreadHandle handle);

// The debug privilege of the own access token (always held here: every step succeeds).
using TokenHandle = intptr_t;
int OpenOwnProcessToken(TokenHandle& token);
int LookupDebugPrivilege(uint64_t& privilege);
// err::kNotAllAssigned when the token does not hold the privilege.
int EnableTokenPrivilege(TokenHandle token, uint64_t privilege);
void CloseToken(TokenHandle token);

// Named exit events: auto-reset, one signal ends one wait. Here a POSIX named semaphore
// "/" + name ("/" inside the name becoming "_") whose creators hold a shared lock on it while
// they keep it open. A Windows event goes with its last handle; here a semaphore outlives a
// program that was killed, so one that no creator holds counts as gone: opening it fails,
// and creating it again resets it.
using EventHandle = intptr_t;  // 0 = none
// Opens for signalling; fails (kFileNotFound) when no running program created the event.
int OpenNamedEvent(const std::wstring& name, EventHandle& handle);
int CreateNamedEvent(const std::wstring& name, EventHandle& handle);
int SignalNamedEvent(EventHandle handle);
// True when signalled within ms (0xFFFFFFFF: no limit).
bool WaitNamedEvent(EventHandle handle, uint32_t ms);
void CloseNamedEvent(EventHandle handle);
// Removes the name (a Windows event goes with its last handle: nothing to do there).
void RemoveNamedEvent(const std::wstring& name);

// ---- registry ---------------------------------------------------------------------------
// Here a folder tree below <common application-data folder>/Registry/<root>/: a key is a
// folder (the backslashes of a key path separate folders; the case of ASCII letters does
// not matter), its sub-keys are its sub-folders in name order, its values are the members
// of its values.json (string member: string value; integer member: 32-bit value). There is
// one view here.
enum class RegistryRoot { kLocalMachine };
enum class RegistryAccess { kRead, kAllAccess };
enum class RegistryView {
    kDefault,  // the process's own view
    k32Bit,    // the 32-bit view, also from a 64-bit process (KEY_WOW64_32KEY)
};
using RegKey = intptr_t;  // 0 = none
int RegistryOpenKey(RegistryRoot root, const std::wstring& subKey, RegistryAccess access,
                    RegistryView view, RegKey& key);
// Reads at most maxBytes of value data as Windows stores it (UTF-16 with its terminator;
// kMoreData when longer); the value's type is not checked on Windows. kFileNotFound when
// the value does not exist.
int RegistryQueryString(RegKey key, const std::wstring& name, std::wstring& value,
                        size_t maxBytes);
int RegistryQueryDword(RegKey key, const std::wstring& name, uint32_t& value);
// kNoMoreItems past the last sub-key.
int RegistryEnumKey(RegKey key, uint32_t index, std::wstring& name);
void RegistryCloseKey(RegKey key);

}  // namespace os

// ---- cryptography -------------------------------------------------------------------------
// The system's own providers: CNG (bcrypt.dll) on Windows, libcrypto here. Only the calls
// that Windows Vista already has are used.
#include <array>
#include <span>

namespace os {

using Sha256Digest = std::array<uint8_t, 32>;
// SHA-256 of bytes. False only when the system's provider fails.
bool Sha256Bytes(std::span<const uint8_t> data, Sha256Digest& digest);
// SHA-256 of a file's content, read in pieces of 64 KiB with read sharing, so a file of any
// size costs the same memory. 0, or the error of opening or reading the file, or a non-zero
// code of the provider.
int Sha256File(const std::wstring& path, Sha256Digest& digest);

// ECDSA over the curve P-256 with SHA-256: publicKey is the uncompressed point (0x04, X, Y:
// 65 bytes), signature is r and s (32 big-endian bytes each). True only for a valid
// signature of message; a key or signature of another size, a point off the curve, or r or
// s outside 1..n-1 give false.
inline constexpr size_t kP256PublicKeySize = 65;
inline constexpr size_t kP256SignatureSize = 64;
bool VerifyEcdsaP256(std::span<const uint8_t> publicKey, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature);

}  // namespace os
