#pragma once
// Whether a release document (the server's update data, the stored settings, the pending
// settings of a self-update) is the one its publisher signed.
#include <span>
#include <string>

#include "common/JsonTypes.h"
#include "launcher/ReleaseKeys.h"

struct VerifiedRelease {
    std::wstring keyId;          // the key that signed it; empty when nothing was checked
    JsonDocument signedRelease;  // the signed text parsed: PRG_ID and both objects
};

// Without keys every document is accepted as it is (0, nothing checked). With keys the
// document must carry a signature (ReleaseEnvelope.h) by one of them over a signed text
// that names prgId and whose update-information objects the document's own match
// (ReleaseComparison.h). 0, or the status of the first check that failed (logged under
// VerifyReleaseSignature):
//    5 a signature member is missing        10 a signature member has another form
//   15 the signature is not 64 bytes        20 another signature algorithm
//   25 the key id is not one of the build's 30 the signature does not verify
//   40 the signed text is not a release     45 the release is another program's
//   50 an update-information member differs from the signed one
int VerifyReleaseSignature(const JsonValue& document, const std::wstring& prgId,
                           std::span<const ReleaseKey> keys, VerifiedRelease& verified);

// What a valid signature over signedText vouches for in document: the text is a release
// for prgId (parsed into release) whose update-information objects the document's match.
// 0, 40, 45 or 50 as above (logged).
int MatchSignedRelease(const JsonValue& document, const std::wstring& signedText,
                       const std::wstring& prgId, JsonDocument& release);
