#pragma once
// The one exchange per run with the update server: what the launcher and the program
// look like now.
#include <cstdint>
#include <string>

#include "common/JsonTypes.h"

// Everything the request needs; the flow fills it from the launch request and the context.
struct UpdateQuery {
    std::wstring serverUrl;  // base URL, ending in '/'
    std::wstring compId;
    std::wstring compPass;
    std::wstring custId;
    std::wstring pcGuid;
    std::wstring launcherOldVer;
    std::wstring prgOldVer;
    std::wstring prgInstOldVer;
    std::wstring prgId;
    std::wstring prgArgs;
    std::wstring launchArgs;
};

inline constexpr uint32_t kUpdateQueryRetryPauseMs = 3000;

// The request body: the ten members in order, pretty-printed, as wide text (empty when the
// values cannot be encoded).
std::wstring BuildUpdateRequestBody(const UpdateQuery& query);

// 0 on success: serverDataText holds the reply's first DATA element and serverDocument that
// text parsed. Otherwise 30 (no reply after four sends), 40 (envelope unreadable), 45 (the
// server reported a failure) or 47 (no usable update information); the out parameters are
// then as they were, except that serverDataText holds an unparsable first DATA element.
int QueryUpdateInfo(const UpdateQuery& query, std::wstring& serverDataText,
                    JsonDocument& serverDocument);
