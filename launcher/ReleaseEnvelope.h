#pragma once
// The signed form of a release document. Beside its update-information objects a signed
// release carries
//   "SIGNED_RELEASE":    the JSON text the publisher signed, as a string: an object with
//                        PRG_ID, UPDATE_PRG_INFO and UPDATE_LAUNCHER_INFO;
//   "RELEASE_SIGNATURE": {"KEY_ID": key id, "ALG": "ECDSA_P256_SHA256", "SIG": r and s in
//                        128 lower-case hex digits}.
// The signature covers the exact UTF-8 bytes of the signed text, so no JSON has to be
// written the same way twice.
#include <cstdint>
#include <string>
#include <vector>

#include "common/JsonTypes.h"

inline constexpr const wchar_t* kSignedReleaseMember = L"SIGNED_RELEASE";
inline constexpr const wchar_t* kReleaseSignatureMember = L"RELEASE_SIGNATURE";
inline constexpr const wchar_t* kReleaseAlgorithm = L"ECDSA_P256_SHA256";
// Largest signed text taken (UTF-8 bytes); a release of thousands of files stays below it.
inline constexpr size_t kMaxSignedTextBytes = 1 << 20;

struct ReleaseEnvelope {
    std::wstring signedText;        // as the document holds it
    std::string signedBytes;        // its UTF-8 bytes: what the signature covers
    std::wstring keyId;
    std::vector<uint8_t> signature;  // r and s, 64 bytes
};

// Takes the two members apart. 0, or the status of the first check that failed (logged):
//   5  a member is missing          10 a member has another form
//   15 the signature is not 64 bytes  20 the algorithm is not ECDSA_P256_SHA256
int ParseReleaseEnvelope(const JsonValue& document, ReleaseEnvelope& envelope);
