#include "launcher/InstallationTree.h"

#include "common/FileTree.h"
#include "common/GL_Directory.h"
#include "common/PathText.h"
#include "common/os/os.h"

namespace {

enum class Kept { kNo, kWhole, kInside };

// Whether path is kept itself (or lies in a kept folder), holds a kept path, or neither.
Kept KeptState(const std::wstring& path, const KeptPaths& keep) {
    bool inside = false;
    for (const std::wstring& kept : keep) {
        if (kept.empty()) continue;
        if (file_tree::IsWithin(path, kept)) return Kept::kWhole;
        if (file_tree::IsWithin(kept, path)) inside = true;
    }
    return inside ? Kept::kInside : Kept::kNo;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int MakeFolders(const std::wstring& folder) {
    if (os::IsDirectory(folder)) return 0;
    // With its closing separator the last name is never taken for a file name.
    return GL_DIRECTORY_MakeDirs(JoinPath(folder, L"")) ? 0 : os::err::kPathNotFound;
}

}  // namespace

int MoveAside(const std::wstring& installFolder, const std::wstring& backupFolder,
              const KeptPaths& keep, std::wstring& failedPath) {
    if (const int e = MakeFolders(backupFolder)) {
        failedPath = backupFolder;
        return e;
    }
    std::vector<os::DirEntry> entries;
    if (const int e = os::ListDirectory(installFolder, entries)) {
        failedPath = installFolder;
        return e;
    }
    for (const os::DirEntry& entry : entries) {
        const std::wstring from = JoinPath(installFolder, entry.name);
        const std::wstring to = JoinPath(backupFolder, entry.name);
        const Kept kept = KeptState(from, keep);
        if (kept == Kept::kWhole) continue;
        if (kept == Kept::kInside) {
            if (!entry.isDirectory || entry.isLink) continue;
            if (const int e = MoveAside(from, to, keep, failedPath)) return e;
            continue;
        }
        if (const int e = file_tree::Move(from, to)) {
            failedPath = from;
            return e;
        }
    }
    return 0;
}

int MoveBack(const std::wstring& backupFolder, const std::wstring& installFolder,
             std::wstring& failedPath) {
    if (!os::IsDirectory(backupFolder)) return 0;
    if (const int e = MakeFolders(installFolder)) {
        failedPath = installFolder;
        return e;
    }
    std::vector<os::DirEntry> entries;
    if (const int e = os::ListDirectory(backupFolder, entries)) {
        failedPath = backupFolder;
        return e;
    }
    for (const os::DirEntry& entry : entries) {
        const std::wstring from = JoinPath(backupFolder, entry.name);
        const std::wstring to = JoinPath(installFolder, entry.name);
        const os::PathInfo target = os::InspectPath(to);
        int e = 0;
        if (EndsWith(entry.name, os::kMoveCopySuffix)) {
            e = file_tree::Delete(from);
        } else if (!target.exists) {
            e = file_tree::Move(from, to);
        } else if (entry.isDirectory && !entry.isLink && target.isDirectory && !target.isLink) {
            e = MoveBack(from, to, failedPath);
            if (e != 0) return e;
        } else {
            e = file_tree::Delete(from);
        }
        if (e != 0) {
            failedPath = from;
            return e;
        }
    }
    return 0;
}

int ClearExcept(const std::wstring& folder, const KeptPaths& keep, std::wstring& failedPath) {
    const Kept state = KeptState(folder, keep);
    if (state == Kept::kWhole) return 0;
    if (state == Kept::kNo) {
        // Nothing of the launcher's inside: the library's clearing, with its retries.
        if (GL_DIRECTORY_Clear(folder) || !os::IsDirectory(folder)) return 0;
        failedPath = folder;
        return os::LastError() != 0 ? os::LastError() : os::err::kAccessDenied;
    }
    std::vector<os::DirEntry> entries;
    if (const int e = os::ListDirectory(folder, entries)) {
        failedPath = folder;
        return e;
    }
    for (const os::DirEntry& entry : entries) {
        const std::wstring path = JoinPath(folder, entry.name);
        const Kept kept = KeptState(path, keep);
        if (kept == Kept::kWhole) continue;
        if (kept == Kept::kInside) {
            if (!entry.isDirectory || entry.isLink) continue;
            if (const int e = ClearExcept(path, keep, failedPath)) return e;
            continue;
        }
        if (const int e = file_tree::Delete(path)) {
            failedPath = path;
            return e;
        }
    }
    return 0;
}
