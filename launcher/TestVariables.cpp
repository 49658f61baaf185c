#include "launcher/TestVariables.h"

#include <optional>
#include <string>

#include "common/GL_Debug.h"
#include "common/os/os.h"

namespace {

constexpr uint32_t kPauseLimitMs = 60000;
constexpr uint32_t kResumePollMs = 50;

}  // namespace

uint32_t MillisecondsFromEnv(const wchar_t* name, uint32_t fallback) {
    const std::optional<std::wstring> text = os::GetEnv(name);
    if (!text || text->empty()) return fallback;
    uint64_t value = 0;
    for (const wchar_t c : *text) {
        if (c < L'0' || c > L'9') return fallback;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > UINT32_MAX) return fallback;
    }
    return value > 0 ? static_cast<uint32_t>(value) : fallback;
}

void PauseForTest(const wchar_t* point) {
    const std::optional<std::wstring> wanted = os::GetEnv(L"ZEB_TEST_PAUSE_AT");
    if (!wanted || *wanted != point) return;
    GL_LOG_FN(L"PauseForTest", 'E', 0, 0, L"테스트 정지 지점: %s", std::wstring(point));
    const std::wstring resume = os::GetEnv(L"ZEB_TEST_RESUME_FILE").value_or(std::wstring());
    for (uint32_t waited = 0; waited < kPauseLimitMs; waited += kResumePollMs) {
        if (!resume.empty() && os::PathExists(resume)) return;
        os::SleepMs(kResumePollMs);
    }
}
