#include "launcher/FileDigest.h"

#include <vector>

#include "common/HexText.h"
#include "common/os/os.h"
#include "launcher/ReleaseKeys.h"

bool IsSha256Text(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    return HexDecode(text, bytes) && bytes.size() == os::Sha256Digest().size();
}

DigestCheck CheckFileSha256(const std::wstring& path, const std::wstring& expected) {
    if (!IsSha256Text(expected)) return DigestCheck::kNoHash;
    os::Sha256Digest digest{};
    if (os::Sha256File(path, digest) != 0) return DigestCheck::kUnreadable;
    return HexEncodeWide(digest) == expected ? DigestCheck::kMatch : DigestCheck::kMismatch;
}

bool ReleaseHashesRequired() { return !BuildReleaseKeys().empty(); }
