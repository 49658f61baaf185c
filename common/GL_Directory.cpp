// System folders, folder chains, clearing, and shell-style move, copy and delete.
#include "common/GL_Directory.h"

#include <regex>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "common/FileTree.h"
#include "common/PathText.h"
#include "common/os/os.h"

namespace {

// Paths live in buffers of 256 characters: 255 usable.
constexpr size_t kMaxPath = 255;
constexpr int kCommonAppData = 0x23;
constexpr unsigned kFailResult = 0x80004005;  // what the shell answers when it has no folder

std::wstring Bounded(const std::wstring& path) { return path.substr(0, kMaxPath); }

// A trailing "<sep>name.ext", where name and ext hold no blank, no separator and none of
// the characters a file name cannot hold, and ext holds no dot either.
const std::wregex& FileNamePattern() {
    static const std::wregex pattern = [] {
        const std::wstring excluded = L" \\\\/:*?\"<>|\\t\\r\\n\\v\\f";
        const std::wstring sep = std::wstring(L"\\") + os::kSep;
        return std::wregex(sep + L"([^" + excluded + L"]+)\\.([^" + excluded + L".]+)$",
                           std::regex::ECMAScript);
    }();
    return pattern;
}

// The cut runs on the text itself: the 255 characters are characters, and a character the
// ANSI code page has no form for (or a file name's byte that is no UTF-8 here) stays as it
// is.
std::wstring CutFileNameOf(const std::wstring& path) {
    const std::wstring bounded = Bounded(path);
    try {
        return std::regex_replace(bounded, FileNamePattern(), L"");
    } catch (const std::regex_error&) {
        return bounded;
    }
}

// A UNC server name counts as present; it cannot be tested like a folder.
bool Present(const std::wstring& path) {
    return os::IsUncServer(path) || os::PathExists(path);
}

// The same for a chain being built, where a file of the name does not count.
bool FolderExists(const std::wstring& path) {
    return os::IsUncServer(path) || os::IsDirectory(path);
}

// The folder a path means for the shell operations: a path that names an existing folder
// is that folder, even when its last name holds a dot; otherwise the file-name cut.
std::wstring FolderMeant(const std::wstring& path) {
    return os::IsDirectory(path) ? path : CutFileNameOf(path);
}

std::wstring StripTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && os::IsSeparator(path.back())) path.pop_back();
    return path;
}

std::wstring BaseName(const std::wstring& path) {
    return LastComponent(StripTrailingSeparators(path));
}

// Creates the folder and every missing folder above it.
int CreateFolderChain(const std::wstring& folder) {
    std::wstring target = StripTrailingSeparators(folder);
    for (size_t i = 1; i <= target.size(); ++i) {
        if (i < target.size() && !os::IsSeparator(target[i])) continue;
        std::wstring prefix = target.substr(0, i);
        // The root and a drive's root exist.
        if (os::IsSeparator(prefix.back()) || prefix.back() == L':' || os::IsDirectory(prefix))
            continue;
        int error = os::MakeFolder(prefix);
        if (error != 0 && error != os::err::kAlreadyExists) return error;
    }
    return 0;
}

// Wildcards as the shell reads them: "*" any run, "?" one character, letters in either
// case; "*.*" is every entry.
bool MatchesWildcard(const wchar_t* pattern, const wchar_t* name) {
    if (std::wcscmp(pattern, L"*.*") == 0) return true;
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name != L'\0') {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == L'?' ||
                   (*pattern != L'\0' && std::towlower(static_cast<wint_t>(*pattern)) ==
                                             std::towlower(static_cast<wint_t>(*name)))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == L'\0';
}

bool HasWildcard(const std::wstring& name) {
    return name.find_first_of(L"*?") != std::wstring::npos;
}

// The name part of the standard path splitter: the last component without its extension.
std::wstring SplitterFileName(const std::wstring& path) {
    std::wstring last = LastComponent(path);
    size_t dot = last.rfind(L'.');
    return dot == std::wstring::npos ? last : last.substr(0, dot);
}

// The entries a source names: itself, or the entries of its folder that match its
// wildcard name.
int ExpandSource(const std::wstring& source, std::vector<std::wstring>& items, bool& multiple) {
    items.clear();
    size_t sep = LastSeparator(source);
    std::wstring name = sep == std::wstring::npos ? source : source.substr(sep + 1);
    multiple = HasWildcard(name);
    if (!multiple) {
        if (!os::PathExists(source)) return os::err::kFileNotFound;
        items.push_back(source);
        return 0;
    }
    std::wstring folder = sep == std::wstring::npos ? std::wstring() : source.substr(0, sep + 1);
    std::vector<os::DirEntry> entries;
    if (int error = os::ListDirectory(folder.empty() ? L"." : folder, entries)) return error;
    for (const os::DirEntry& entry : entries)
        if (MatchesWildcard(name.c_str(), entry.name.c_str()))
            items.push_back(folder + entry.name);  // folder is empty or ends in a separator
    return 0;
}

// Moves or copies with the shell's rules: into a destination folder that exists (or that
// several sources need), otherwise onto the destination as a new name; missing folders
// are created, files replaced, folders merged.
int Transfer(bool move, const std::wstring& source, const std::wstring& destination) {
    std::vector<std::wstring> items;
    bool multiple = false;
    if (int error = ExpandSource(source, items, multiple)) return error;
    if (destination.empty()) return os::err::kPathNotFound;

    bool intoFolder = multiple || os::IsDirectory(destination);
    std::wstring newName = StripTrailingSeparators(destination);
    const size_t sep = LastSeparator(newName);
    std::wstring folder =
        intoFolder ? destination : newName.substr(0, sep == std::wstring::npos ? 0 : sep + 1);
    if (!folder.empty()) {
        if (int error = CreateFolderChain(folder)) return error;
    }
    for (const std::wstring& item : items) {
        std::wstring target = intoFolder ? JoinPath(destination, BaseName(item)) : newName;
        std::wstring from = StripTrailingSeparators(item);
        int error = move ? file_tree::Move(from, target) : file_tree::Copy(from, target);
        if (error != 0) return error;
    }
    return 0;
}

int Remove(const std::wstring& source) {
    std::vector<std::wstring> items;
    bool multiple = false;
    if (int error = ExpandSource(source, items, multiple)) return error;
    for (const std::wstring& item : items)
        if (int error = file_tree::Delete(item)) return error;
    return 0;
}

}  // namespace

bool GL_DIRECTORY_Get(wchar_t* buffer) {
    std::wstring folder;
    uint32_t result = kFailResult;
    const os::FolderLookup lookup = buffer != nullptr ? os::CommonAppDataFolder(folder, result)
                                                      : os::FolderLookup::kLocationFailed;
    if (lookup == os::FolderLookup::kPathFailed) {
        GL_LOG('E', os::LastError(), 20, L"SHGetPathFromIDList() 실패(%x)", kCommonAppData);
        return false;
    }
    if (lookup != os::FolderLookup::kOk || folder.empty()) {
        GL_LOG('E', 0, 10, L"SHGetSpecialFolderLocation() 실패(return: %x, folder: %x)", result,
               kCommonAppData);
        return false;
    }
    size_t n = folder.copy(buffer, 259);
    buffer[n] = L'\0';
    return true;
}

std::wstring GL_DIRECTORY_GetDataDir() {
    wchar_t folder[260] = {};
    // Without the folder the company folder goes directly under the root.
    std::wstring base = GL_DIRECTORY_Get(folder) ? std::wstring(folder) : std::wstring();
    return JoinPath(base, L"Vantrel") + os::kSep;
}

std::wstring GL_DIRECTORY_GetModulePath() { return Bounded(os::ModulePath()); }

std::wstring GL_DIRECTORY_GetParent(const std::wstring& path) { return CutFileNameOf(path); }

void GL_DIRECTORY_CutFileName(wchar_t* buffer) {
    if (buffer == nullptr) return;
    std::wstring cut = CutFileNameOf(std::wstring(buffer, wcsnlen(buffer, kMaxPath)));
    size_t n = cut.copy(buffer, kMaxPath);
    buffer[n] = L'\0';
}

bool GL_DIRECTORY_IsExist(const std::wstring& path) { return Present(CutFileNameOf(path)); }

bool GL_DIRECTORY_MakeDirs(const std::wstring& path) {
    const wchar_t* invalid = L"올바른 경로명이 아닙니다.(%s)";
    const wchar_t* failed = L"CreateDirectory() 실패: %s";
    if (!HasSeparator(path)) {
        GL_LOG('E', 0, 10, invalid, path);
        return false;
    }
    std::wstring folder = CutFileNameOf(path);
    if (os::IsUncServer(folder)) {
        GL_LOG('E', 0, 20, invalid, path);
        return false;
    }

    // The chain is tested as it stands: a name with a dot inside the chain is a folder to
    // create, not a file name to cut away.
    std::wstring prefix;
    size_t start = 0;
    if (os::IsUncPath(folder)) {
        prefix = folder.substr(0, 2);
        start = 2;
    }
    for (size_t i = start; i < folder.size(); ++i) {
        wchar_t c = folder[i];
        // The root (a leading separator, or one after a drive letter) is never created.
        bool atRoot = prefix.empty() || prefix.back() == L':';
        if (os::IsSeparator(c) && !atRoot && !FolderExists(prefix)) {
            int error = os::MakeFolder(prefix);
            if (error != 0 && error != os::err::kAlreadyExists) {
                GL_LOG('E', error, 30, failed, prefix);
                return false;
            }
        }
        prefix += c;
    }

    if (FolderExists(folder)) return true;
    int error = os::MakeFolder(folder);
    if (error != 0 && error != os::err::kAlreadyExists) {
        GL_LOG('E', error, 40, failed, folder);
        return false;
    }
    if (FolderExists(folder)) return true;
    // Taken, but not by a folder: a file holds the name.
    if (error == os::err::kAlreadyExists) {
        GL_LOG('E', error, 40, failed, folder);
        return false;
    }

    // Reported as made yet not visible: a folder of that name is still being deleted.
    const uint64_t begin = os::MonotonicMs();
    while (true) {
        error = os::MakeFolder(folder);
        if (error == 0 || error == os::err::kAlreadyExists) return true;
        // Still refused after the wait: the folder is not there, so that is a failure.
        if (error != os::err::kAccessDenied || os::MonotonicMs() - begin >= 3000) {
            GL_LOG('E', error, 50, failed, folder);
            return false;
        }
        os::SleepMs(100);
    }
}

namespace {

// Whether deleting from (made of the caller's source) would reach beyond what the caller
// named: a source cut at 255 characters names a shorter path, the file-name cut names the
// folder around a file or around a missing dotted folder, and a linked folder written with
// a trailing separator stands for the folder it leads to.
bool WidensDelete(const std::wstring& given, const std::wstring& from, bool pattern) {
    if (given.size() > kMaxPath) return true;
    if (!pattern && from != given) return true;
    return !from.empty() && os::IsSeparator(from.back()) &&
           os::InspectPath(StripTrailingSeparators(from)).isLink;
}

}  // namespace

bool _dir_action(int command, bool pattern, const wchar_t* destination, const wchar_t* source) {
    const std::wstring given = source != nullptr ? source : L"";
    std::wstring from = Bounded(given);
    std::wstring to = Bounded(destination != nullptr ? destination : L"");
    if (pattern) {
        if (destination != nullptr) to = FolderMeant(to);
        if (SplitterFileName(from).empty()) {
            GL_LOG('E', 0, 10, L"파일패턴 또는 파일명이 지정되지 않음: %s", from);
            return false;
        }
    } else {
        from = FolderMeant(from);
        if (destination != nullptr) to = FolderMeant(to);
    }

    int result;
    switch (command) {
    case DIR_ACTION_MOVE:
        result = Transfer(true, from, to);
        break;
    case DIR_ACTION_COPY:
        result = Transfer(false, from, to);
        break;
    case DIR_ACTION_DELETE:
        if (WidensDelete(given, from, pattern)) {
            GL_LOG('E', 0, 25, L"지정한 경로보다 넓게 삭제하게 되어 삭제하지 않음: %s", given);
            return false;
        }
        result = Remove(from);
        break;
    default:
        GL_LOG('E', 0, 20, L"알 수 없는 명령: %d", command);
        return false;
    }
    if (result != 0) {
        GL_LOG('E', 0, 30, L"SHFileOperation() 실패. 명령: %d, 반환값: %d\nfrom: %s\nto: %s",
               command, result, from, to);
        return false;
    }
    return true;
}

bool GL_DIRECTORY_Clear(const std::wstring& path) {
    if (!GL_DIRECTORY_IsExist(path)) return false;
    std::wstring folder = Bounded(path);
    // The search names the folder with "*.*" behind it; a folder too long for that cannot
    // be searched.
    if (folder.size() + 4 > kMaxPath) return false;
    std::vector<os::DirEntry> entries;
    if (const int error = os::ListDirectory(folder, entries)) {
        GL_LOG('E', error, 5, L"FindFirstFile() 실패: %s", folder);
        return false;
    }

    for (const os::DirEntry& entry : entries) {
        std::wstring full = JoinPath(folder, entry.name);
        // A link is removed, never followed: clearing must not reach into its target.
        if (entry.isLink) {
            if (int error = os::RemoveLink(full)) {
                GL_LOG('E', error, 20, L"DeleteFile() 실패: %s", full);
                return false;
            }
            continue;
        }
        if (entry.isDirectory) {
            if (!GL_DIRECTORY_Clear(full)) return false;
            int error = 0;
            for (int attempt = 0; attempt < 3; ++attempt) {
                error = os::RemoveFolder(full);
                if (error == 0) break;
                os::SleepMs(10);
            }
            if (error != 0) {
                GL_LOG('E', error, 10, L"RemoveDirectory() 실패: %s", full);
                return false;
            }
            continue;
        }
        // A cut name would name another file: such an entry is not deleted.
        if (full.size() > kMaxPath) {
            GL_LOG('E', 0, 20, L"DeleteFile() 실패: %s", Bounded(full));
            return false;
        }
        int error = os::RemoveFile(full);
        if (error == 0) continue;
        if (error != os::err::kAccessDenied) {
            GL_LOG('E', error, 20, L"DeleteFile() 실패: %s", full);
            return false;
        }
        for (int retry = 0; retry < 3 && error != 0; ++retry) {
            os::SleepMs(10);
            error = os::RemoveFile(full);
        }
        if (error != 0) {
            GL_LOG('E', error, 19, L"DeleteFile() 실패: %s", full);
            return false;
        }
    }
    return true;
}
