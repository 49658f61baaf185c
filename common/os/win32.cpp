// Win32 primitives: errors, environment and well-known folders, process identity, time,
// debugger output and the Windows version (files, processes, the registry, text and the
// message boxes live in their own files).
#include <windows.h>
#include <shlobj.h>

#include "common/os/os.h"

namespace os {

namespace err {
const int kFileNotFound = ERROR_FILE_NOT_FOUND;
const int kPathNotFound = ERROR_PATH_NOT_FOUND;
const int kAlreadyExists = ERROR_ALREADY_EXISTS;
const int kAccessDenied = ERROR_ACCESS_DENIED;
const int kNotSameDevice = ERROR_NOT_SAME_DEVICE;
const int kDirNotEmpty = ERROR_DIR_NOT_EMPTY;
const int kNoMoreItems = ERROR_NO_MORE_ITEMS;
const int kMoreData = ERROR_MORE_DATA;
const int kNotAllAssigned = ERROR_NOT_ALL_ASSIGNED;
const int kInvalidData = ERROR_INVALID_DATA;
const int kLockBusy = ERROR_LOCK_VIOLATION;
const int kNoSuchProcess = ERROR_INVALID_PARAMETER;
}  // namespace err

// ---- errors ---------------------------------------------------------------------------

int LastError() { return static_cast<int>(GetLastError()); }
void SetLastErrorCode(int code) { SetLastError(static_cast<DWORD>(code)); }

std::wstring ErrorText(int code, const std::wstring& messageModule) {
    HMODULE module = nullptr;
    bool loadedHere = false;
    if (!messageModule.empty()) {
        module = GetModuleHandleW(messageModule.c_str());
        if (module == nullptr) {
            module = LoadLibraryExW(messageModule.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            loadedHere = module != nullptr;
        }
    }
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  FORMAT_MESSAGE_FROM_SYSTEM;
    if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    wchar_t* text = nullptr;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the allocation.
    const DWORD length = FormatMessageW(flags, module, static_cast<DWORD>(code),
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const DWORD error = GetLastError();
    std::wstring result;
    if (length != 0 && text != nullptr) result.assign(text, length);
    if (text != nullptr) LocalFree(text);
    if (loadedHere) FreeLibrary(module);
    if (result.empty()) SetLastError(error);
    return result;
}

// ---- environment and well-known folders ------------------------------------------------

namespace {

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
    return path;
}

// A text the system writes into a caller's buffer and whose full length it reports when
// the buffer is too small (GetEnvironmentVariableW, GetCurrentDirectoryW): the length
// including the terminator then, the length without it on success.
template <typename Call>
bool GrowingText(Call call, std::wstring& out) {
    std::wstring buffer(MAX_PATH, L'\0');
    // The text can grow between two calls; a few rounds always settle it.
    for (int round = 0; round < 4; ++round) {
        const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return false;
        if (n < buffer.size()) {
            buffer.resize(n);
            out = std::move(buffer);
            return true;
        }
        buffer.assign(n, L'\0');
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

// A folder variable expanded into at most MAX_PATH characters, without trailing separators;
// empty when it does not fit.
std::wstring ExpandedFolder(const wchar_t* macro) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ExpandEnvironmentStringsW(macro, buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    return WithoutTrailingSeparators(buffer);
}

}  // namespace

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    std::wstring value;
    SetLastError(ERROR_SUCCESS);
    const bool read = GrowingText(
        [&](wchar_t* buffer, DWORD size) {
            return GetEnvironmentVariableW(name.c_str(), buffer, size);
        },
        value);
    if (read) return value;
    // An empty value also reads as 0 characters, without an error.
    if (GetLastError() == ERROR_SUCCESS) return std::wstring();
    return std::nullopt;
}

bool SetEnv(const std::wstring& name, const std::optional<std::wstring>& value) {
    return SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr) != FALSE;
}

FolderLookup CommonAppDataFolder(std::wstring& out, uint32_t& result) {
    LPITEMIDLIST items = nullptr;
    const HRESULT located = SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &items);
    result = static_cast<uint32_t>(located);
    wchar_t path[MAX_PATH] = {};
    const bool hasPath = SUCCEEDED(located) && SHGetPathFromIDListW(items, path);
    const DWORD error = GetLastError();
    IMalloc* allocator = nullptr;
    if (items != nullptr && SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(items);
        allocator->Release();
    }
    SetLastError(error);
    if (FAILED(located)) return FolderLookup::kLocationFailed;
    if (!hasPath) return FolderLookup::kPathFailed;
    out = WithoutTrailingSeparators(path);
    return FolderLookup::kOk;
}

std::wstring ProgramFilesFolder() { return ExpandedFolder(L"%ProgramFiles%"); }
std::wstring ProgramDataFolder() { return ExpandedFolder(L"%ProgramData%"); }

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, buffer);
    if (n == 0) return std::wstring();
    if (n >= MAX_PATH) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return std::wstring();
    }
    return std::wstring(buffer, n);
}

std::wstring ModulePath() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

std::wstring ProcessCommandLine() { return GetCommandLineW(); }

std::wstring CurrentDirectory() {
    std::wstring path;
    GrowingText([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); },
                path);
    return path;
}

bool ChangeDirectory(const std::wstring& path) {
    return SetCurrentDirectoryW(path.c_str()) != FALSE;
}

// ---- process identity, time, output -----------------------------------------------------

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }
uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

bool DebuggerAttached() { return IsDebuggerPresent() == TRUE; }

LocalTime Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t MonotonicMs() { return GetTickCount64(); }

void SleepMs(uint32_t ms) { Sleep(ms); }

void DebugOutput(const std::wstring& text) {
    const DWORD error = GetLastError();
    OutputDebugStringW(text.c_str());
    SetLastError(error);
}

void DebugOutputNarrow(const std::string& text) {
    const DWORD error = GetLastError();
    OutputDebugStringA(text.c_str());
    SetLastError(error);
}

// ---- Windows version ----------------------------------------------------------------------

bool WindowsVersionAtLeast(int major, int minor, int servicePackMajor) {
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = static_cast<DWORD>(major);
    wanted.dwMinorVersion = static_cast<DWORD>(minor);
    wanted.wServicePackMajor = static_cast<WORD>(servicePackMajor);
    DWORDLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              conditions) != FALSE;
}

bool IsWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) return false;
    // Absent before Windows XP SP2; looked up so that the program still starts there.
    const auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace os
