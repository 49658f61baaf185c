#pragma once
// The launcher's client-information file as text: its exact layout and its PC_GUID form.
#include <string>

// 8-4-4-4-12 lower-case hex digits, "4" as the 13th digit, 8, 9, a or b as the 17th.
bool IsPcGuid(const std::string& text);
// The members of a client-information file in its exact layout (signature, four-space
// indent, PC_GUID then PATH_LAUNCHER); false when the bytes differ from it. Members that
// need JSON escapes come back escaped.
bool ParseClientInfo(const std::string& bytes, std::string& pcGuid, std::string& launcherPath);
