#pragma once
// Whether a fetched file is the one its release describes, by the SHA-256 the release
// names (FILE_SHA256, TOOL_7Z_SHA256, the installers' SHA256 in MIN_SPEC). The callers log
// and decide; this only compares.
#include <string>

// 64 lower-case hex digits: the one spelling a release uses for a hash.
bool IsSha256Text(const std::wstring& text);

enum class DigestCheck {
    kMatch,
    kMismatch,    // the file's content is another
    kUnreadable,  // the file cannot be read (missing, locked)
    kNoHash,      // expected is not a hash (empty or malformed): nothing can be compared
};
DigestCheck CheckFileSha256(const std::wstring& path, const std::wstring& expected);

// A build that holds release keys runs nothing whose hash the signed release does not name.
bool ReleaseHashesRequired();
