#pragma once
// The update API: answers the launcher's query with the release of its program, deciding
// NeedToUpdate for the program and for the launcher from the versions the launcher reports.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tools/zeb-update-server/Envelope.h"

// The only command of the API.
inline constexpr std::string_view kLauncherCommand = "zeb.launcher";

// cmd is the value of the query item "cmd" (std::nullopt when absent); body is the posted
// JSON object. RESULT is "OK" with the update information as DATA[0]; "ERROR" for another
// command or a request that cannot be read (not JSON, not an object, PRG_ID missing or not a
// string); "EMPTY" when there is no release for PRG_ID or PRG_ID is not a plain name;
// "EXCEPTION" when the release file is broken.
Envelope AnswerUpdateQuery(const std::filesystem::path& folder,
                           const std::optional<std::string>& cmd, std::string_view body);
