#pragma once
// Dotted numeric versions such as "1.10.2", compared part by part as numbers.
#include <string_view>

// One or more runs of decimal digits separated by single dots ("1", "2.0.13");
// anything else ("", "1.", "1..2", "1.0-beta", " 1.0") is not a dotted version.
bool IsDottedVersion(std::string_view text);

// -1, 0 or 1 as a is lower than, equal to or higher than b. Both must be dotted versions.
// Parts are unbounded numbers (leading zeros ignored, no overflow); a missing part is 0,
// so "1.2" equals "1.2.0" and "1.10" is above "1.9".
int CompareDottedVersions(std::string_view a, std::string_view b);

// Whether a client reporting clientVersion should move to releaseVersion (a dotted version).
// An empty client version means nothing is installed, and a client version that is not a
// dotted version cannot be placed: both count as lower, so the client is brought to the
// release rather than left on something unknown.
bool ClientIsBehind(std::string_view clientVersion, std::string_view releaseVersion);
