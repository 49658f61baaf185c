#include "common/FileTree.h"

#include <cwctype>
#include <vector>

#include "common/PathText.h"
#include "common/os/os.h"

namespace file_tree {

namespace {

std::vector<std::wstring> Components(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring current;
    auto flush = [&] {
        if (!current.empty() && current != L".") parts.push_back(current);
        current.clear();
    };
    for (const wchar_t c : path) {
        if (os::IsSeparator(c)) flush();
        else current += os::kWindows ? static_cast<wchar_t>(std::towlower(c)) : c;
    }
    flush();
    return parts;
}

// A folder's entries, each moved or copied onto the same name below to.
template <typename EachEntry>
int ForEachEntry(const std::wstring& from, const std::wstring& to, EachEntry each) {
    std::vector<os::DirEntry> entries;
    if (const int e = os::ListDirectory(from, entries)) return e;
    for (const auto& entry : entries)
        if (const int e = each(JoinPath(from, entry.name), JoinPath(to, entry.name))) return e;
    return 0;
}

// A destination folder that exists, or is made; a file in its place is an error.
int EnsureFolder(const std::wstring& path) {
    const os::PathInfo target = os::InspectPath(path);
    if (target.exists) return target.isDirectory && !target.isLink ? 0 : os::err::kAlreadyExists;
    return os::MakeFolder(path);
}

// Clears the way for a file or link: an existing file or link is replaced, a folder is not.
int ClearForEntry(const std::wstring& path) {
    const os::PathInfo target = os::InspectPath(path);
    if (!target.exists) return 0;
    if (target.isLink) return os::RemoveLink(path);
    if (target.isDirectory) return os::err::kAlreadyExists;
    return os::RemoveFile(path);
}

}  // namespace

bool IsWithin(const std::wstring& inner, const std::wstring& outer) {
    const auto in = Components(inner);
    const auto out = Components(outer);
    if (out.size() > in.size()) return false;
    for (size_t i = 0; i < out.size(); ++i)
        if (in[i] != out[i]) return false;
    return true;
}

int Delete(const std::wstring& path) {
    const os::PathInfo info = os::InspectPath(path);
    if (!info.exists) return os::err::kFileNotFound;
    if (info.isLink) return os::RemoveLink(path);
    if (!info.isDirectory) return os::RemoveFile(path);
    std::vector<os::DirEntry> entries;
    if (const int e = os::ListDirectory(path, entries)) return e;
    for (const auto& entry : entries)
        if (const int e = Delete(JoinPath(path, entry.name))) return e;
    return os::RemoveFolder(path);
}

int Copy(const std::wstring& from, const std::wstring& to) {
    const os::PathInfo source = os::InspectPath(from);
    if (!source.exists) return os::err::kFileNotFound;
    if (source.isLink) {
        if (const int e = ClearForEntry(to)) return e;
        return os::CopyLink(from, to);
    }
    if (!source.isDirectory) {
        if (os::InspectPath(to).isDirectory) return os::err::kAlreadyExists;
        return os::CopyOneFile(from, to, false);
    }
    // A copy into its own source would never end.
    if (IsWithin(to, from)) return os::err::kInvalidData;
    if (const int e = EnsureFolder(to)) return e;
    return ForEachEntry(from, to, Copy);
}

int Move(const std::wstring& from, const std::wstring& to) {
    const os::PathInfo source = os::InspectPath(from);
    if (!source.exists) return os::err::kFileNotFound;
    const bool folder = source.isDirectory && !source.isLink;
    if (folder && IsWithin(to, from)) return os::err::kInvalidData;

    // The common case, a new name on the same volume, is one rename.
    int e = os::RenameNoReplace(from, to);
    if (e == 0) return 0;
    const os::PathInfo target = os::InspectPath(to);
    if (e == os::err::kAlreadyExists || target.exists) {
        if (folder && target.isDirectory && !target.isLink) {
            if (const int inner = ForEachEntry(from, to, Move)) return inner;
            return os::RemoveFolder(from);
        }
        if (folder) return os::err::kAlreadyExists;
        if (const int cleared = ClearForEntry(to)) return cleared;
        e = os::RenameNoReplace(from, to);
        if (e == 0) return 0;
    }
    if (e != os::err::kNotSameDevice) return e;
    // Another volume. A folder goes entry by entry, each file whole under its name before
    // its original is removed: a move cut short leaves every file complete on one side.
    if (folder) {
        if (const int made = EnsureFolder(to)) return made;
        if (const int inner = ForEachEntry(from, to, Move)) return inner;
        return os::RemoveFolder(from);
    }
    if (const int copied = Copy(from, to)) return copied;
    return Delete(from);
}

}  // namespace file_tree
