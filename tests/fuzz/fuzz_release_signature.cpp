// Fuzz target: the release signature check on any document text. The input is taken as the
// update data a server could send (UTF-8 JSON); every stage runs on it: the signature
// envelope, the key and signature check against one build key, and, as if the signature
// had held, the signed text's parse and its comparison with the document. No input may
// crash, hang or read out of bounds; each ends in a status.
//   Run with -close_fd_mask=2: every refusal is also written to standard error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/GL_Debug.h"
#include "common/HexText.h"
#include "common/os/os.h"
#include "launcher/ReleaseEnvelope.h"
#include "launcher/ReleaseSignature.h"
#include "tests/support/SignedReleaseVectors.h"

namespace {

ReleaseKey OldKey() {
    std::vector<uint8_t> point;
    HexDecode(vectors::kOldKey, point);
    ReleaseKey key{};
    std::copy(point.begin(), point.end(), key.publicKey.begin());
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ReleaseKey keys[] = {OldKey()};
    static const bool quiet = [] {
        GL_DEBUG_SetLogFile(L"/dev/null");
        return true;
    }();
    (void)quiet;

    const std::wstring text = os::Utf8ToWideLossy(std::string(reinterpret_cast<const char*>(data), size));
    JsonDocument document;
    // Iterative: the launcher's own parse of deep input is not what is tested here.
    document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
    if (document.HasParseError()) return 0;

    VerifiedRelease verified;
    VerifyReleaseSignature(document, L"viewer", keys, verified);
    ReleaseEnvelope envelope;
    if (ParseReleaseEnvelope(document, envelope) == 0) {
        JsonDocument release;
        MatchSignedRelease(document, envelope.signedText, L"viewer", release);
    }
    return 0;
}
