#include "launcher/ReleaseKeys.h"

#include "common/HexText.h"
#include "common/os/os.h"

std::wstring ReleaseKeyId(const ReleaseKey& key) {
    constexpr size_t kIdBytes = 8;
    os::Sha256Digest digest{};
    if (!os::Sha256Bytes(key.publicKey, digest)) return std::wstring();
    return HexEncodeWide(std::span<const uint8_t>(digest).first(kIdBytes));
}
