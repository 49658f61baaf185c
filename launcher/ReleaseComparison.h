#pragma once
// Compares the update-information objects a launcher reads with the ones the publisher
// signed. Values are compared exactly (same JSON type, same text, same number); objects
// member by member whatever their order, each name at most once.
#include <string>

#include "common/JsonTypes.h"

// The deepest nesting a signed release may have (a release needs four levels), so every
// walk over it stays shallow.
inline constexpr int kMaxSignedDepth = 16;

// False when value nests deeper than maxDepth levels or an object in it names a member
// twice (a reader taking the first and one taking the last would disagree).
bool IsUnambiguousJson(const JsonValue& value, int maxDepth);

// Where the update-information object outer departs from the signed one: the JSON Pointer
// (below path) of the first member that differs, is missing, or was not signed; empty when
// they agree. signedInfo must be unambiguous (IsUnambiguousJson).
//   NeedToUpdate is the server's answer to each request and is never compared.
//   INSTALL_GB is not compared when the signed FILES has exactly one element: the launcher
//   then derives the kind from that signed file's name and writes it there itself.
std::wstring FindChangeAfterSigning(const JsonValue& outer, const JsonValue& signedInfo,
                                    const std::wstring& path);
