// Files and folders on Windows, and the streaming writer.
#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>
#include <new>
#include <string_view>

#include "common/os/os.h"
#include "common/os/win32_handle.h"

namespace os {

using win32::Fail;
using win32::Handle;

namespace {

// The error of the file call that just failed. Windows answers an existing destination
// with either ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS, depending on the call; callers
// see the one value.
int FileError() {
    const DWORD error = GetLastError();
    return Fail(error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error);
}

int Result(BOOL succeeded) { return succeeded ? 0 : FileError(); }

// WriteFile takes at most a DWORD of bytes per call.
constexpr size_t kChunk = 1u << 30;

int WriteAll(HANDLE file, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(size < kChunk ? size : kChunk);
        if (!WriteFile(file, p, chunk, &written, nullptr)) return FileError();
        if (written == 0) return Fail(ERROR_WRITE_FAULT);
        p += written;
        size -= written;
    }
    return 0;
}

HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Opens, writes everything and closes; the error of the step that failed.
int OpenWriteClose(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                   const void* data, size_t size) {
    Handle file(Open(path, access, share, disposition));
    if (!file) return FileError();
    if (const int e = WriteAll(file.get(), data, size)) return e;
    return file.Close();
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

}  // namespace

bool PathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

PathInfo InspectPath(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathInfo{};
    return PathInfo{true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                    (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

bool IsUncPath(const std::wstring& path) { return PathIsUNCW(path.c_str()) != FALSE; }
bool IsUncServer(const std::wstring& path) { return PathIsUNCServerW(path.c_str()) != FALSE; }

int RemoveFile(const std::wstring& path) { return Result(DeleteFileW(path.c_str())); }

int RenameNoReplace(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) return 0;
    const int e = FileError();
    const DWORD attributes = Attributes(from);
    if (e != ERROR_NOT_SAME_DEVICE || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Fail(e);
    // Another volume: a file is copied under a passing name, given its name once whole and
    // only then removed at its source.
    if (Attributes(to) != INVALID_FILE_ATTRIBUTES) return Fail(ERROR_ALREADY_EXISTS);
    const std::wstring part = to + kMoveCopySuffix;
    int copied = Result(CopyFileW(from.c_str(), part.c_str(), FALSE));
    if (copied == 0)
        copied = Result(MoveFileExW(part.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
    if (copied != 0) {
        DeleteFileW(part.c_str());
        return Fail(copied);
    }
    return Result(DeleteFileW(from.c_str()));
}

int ReplaceFileWith(const std::wstring& from, const std::wstring& to) {
    return Result(MoveFileExW(from.c_str(), to.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

int CopyOneFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    return Result(CopyFileW(from.c_str(), to.c_str(), failIfExists));
}

int MakeFolder(const std::wstring& path) { return Result(CreateDirectoryW(path.c_str(), nullptr)); }

int MakePrivateFolder(const std::wstring& path) {
    // Full control for SYSTEM, the administrators and the owner only, nothing inherited.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)", SDDL_REVISION_1,
            &descriptor, nullptr))
        return FileError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const int e = Result(CreateDirectoryW(path.c_str(), &attributes));
    LocalFree(descriptor);
    return Fail(static_cast<DWORD>(e));
}

int RemoveFolder(const std::wstring& path) { return Result(RemoveDirectoryW(path.c_str())); }

int RemoveLink(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileError();
    // A link to a folder is removed as a folder; either call leaves the target alone.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Result(RemoveDirectoryW(path.c_str()));
    return Result(DeleteFileW(path.c_str()));
}

namespace {

// The folder a folder link leads to, as a plain path: the system's final path of what the
// link opens, without its "\\?\" prefix.
int FolderLinkTarget(const std::wstring& link, std::wstring& target) {
    Handle folder(CreateFileW(link.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return FileError();
    std::wstring path(MAX_PATH, L'\0');
    for (int round = 0; round < 2; ++round) {
        const DWORD n = GetFinalPathNameByHandleW(folder.get(), path.data(),
                                                  static_cast<DWORD>(path.size()), 0);
        if (n == 0) return FileError();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.assign(n, L'\0');  // n counts the terminator when the buffer was too small
    }
    constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\", kLocal = L"\\\\?\\";
    if (path.starts_with(kUnc)) target = L"\\\\" + path.substr(kUnc.size());
    else if (path.starts_with(kLocal)) target = path.substr(kLocal.size());
    else target = path;
    return 0;
}

}  // namespace

int CopyLink(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = Attributes(from);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileError();
    // A file link is copied as it stands; a folder link gets the folder it resolves to.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return Result(CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr,
                                  COPY_FILE_COPY_SYMLINK | COPY_FILE_FAIL_IF_EXISTS));
    std::wstring target;
    if (const int e = FolderLinkTarget(from, target)) return e;
    return Result(CreateSymbolicLinkW(to.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
}

int ListDirectory(const std::wstring& path, std::vector<DirEntry>& out) {
    out.clear();
    std::wstring pattern = path;
    if (pattern.empty() || !IsSeparator(pattern.back())) pattern += kSep;
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return FileError();
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        out.push_back(DirEntry{std::wstring(name),
                               (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        out.clear();
        return Fail(error);
    }
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return 0;
}

int ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
    out.clear();
    Handle file(Open(path, GENERIC_READ, 0, OPEN_EXISTING));
    if (!file) return FileError();
    // A pipe or a device (CON, NUL, a named pipe) would be read until its other end stops.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return Fail(ERROR_INVALID_FUNCTION);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return FileError();
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes) return Fail(ERROR_FILE_TOO_LARGE);
    try {
        out.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    size_t done = 0;
    while (done < out.size()) {
        DWORD read = 0;
        const size_t left = out.size() - done;
        const auto chunk = static_cast<DWORD>(left < kChunk ? left : kChunk);
        if (!ReadFile(file.get(), out.data() + done, chunk, &read, nullptr)) {
            out.clear();
            return FileError();
        }
        if (read == 0) break;  // shorter than its size said
        done += read;
    }
    out.resize(done);
    return 0;
}

int AppendToFile(const std::wstring& path, const void* data, size_t size) {
    FileWriter file;
    if (const int e = file.OpenForAppend(path)) return e;
    if (const int e = file.Write(data, size)) return e;
    return file.Close();
}

int WriteNewFile(const std::wstring& path, const void* data, size_t size) {
    return OpenWriteClose(path, GENERIC_WRITE, 0, CREATE_ALWAYS, data, size);
}

int QueryFileSize(const std::wstring& path, uint64_t& size) {
    Handle file(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!file) return FileError();
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(file.get(), &bytes)) return FileError();
    size = static_cast<uint64_t>(bytes.QuadPart);
    return 0;
}

int GetFileIdentity(const std::wstring& path, FileIdentity& identity) {
    // Attributes only: no sharing mode of another opener stands in the way. A folder needs
    // the backup flag to be opened at all.
    Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return FileError();
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.get(), &information)) return FileError();
    identity = FileIdentity{information.dwVolumeSerialNumber,
                            (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                                information.nFileIndexLow};
    return 0;
}

int OpenForExclusiveUse(const std::wstring& path) {
    Handle file(Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
    return file ? 0 : FileError();
}

// Windows runs a file by its name alone.
void MarkRunnableIfProgram(const std::wstring&) {}

// ---- streaming writer -------------------------------------------------------------------

FileWriter::~FileWriter() { Close(); }

int FileWriter::Create(const std::wstring& path) {
    Close();
    handle_ = win32::FromHandle(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    return IsOpen() ? 0 : FileError();
}

int FileWriter::OpenForAppend(const std::wstring& path) {
    Close();
    handle_ = win32::FromHandle(Open(path, FILE_APPEND_DATA, FILE_SHARE_WRITE, OPEN_ALWAYS));
    return IsOpen() ? 0 : FileError();
}

int FileWriter::Write(const void* data, size_t size) {
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
    return WriteAll(win32::ToHandle(handle_), data, size);
}

int FileWriter::Flush() {
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
    return Result(FlushFileBuffers(win32::ToHandle(handle_)));
}

int FileWriter::Close() {
    if (!IsOpen()) return 0;
    const HANDLE file = win32::ToHandle(handle_);
    handle_ = kNone;
    return Result(CloseHandle(file));
}

// ---- locks between processes ---------------------------------------------------------------

int TryLockExclusive(const std::wstring& path, LockHandle& handle) {
    handle = kNoLock;
    // Not inheritable: a started program never holds the launcher's lock.
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileError();
    OVERLAPPED at = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return Fail(error == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : error);
    }
    handle = win32::FromHandle(file);
    return 0;
}

void ReleaseLock(LockHandle handle) {
    if (handle == kNoLock) return;
    const DWORD saved = GetLastError();
    CloseHandle(win32::ToHandle(handle));
    SetLastError(saved);
}

}  // namespace os
