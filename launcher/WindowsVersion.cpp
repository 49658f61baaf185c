// The Windows version table and the dotted-version order.
#include <cstdint>
#include <utility>

#include "common/os/os.h"
#include "launcher/MinSpec.h"

namespace {

struct VersionRow {
    int major;
    int minor;
    int servicePack;
};

// Indexed by the table index; tried from the highest down.
constexpr VersionRow kVersionRows[kWindowsVersionCount] = {
    {5, 1, 0}, {5, 1, 1}, {5, 1, 2}, {5, 1, 3}, {6, 0, 0},  {6, 0, 1},
    {6, 0, 2}, {6, 1, 0}, {6, 1, 1}, {6, 2, 0}, {6, 3, 0},  {10, 0, 0},
};

constexpr const wchar_t* kVersionNames[kWindowsVersionCount] = {
    L"WIN_XP",        L"WIN_XP_SP1", L"WIN_XP_SP2", L"WIN_XP_SP3",
    L"WIN_VISTA",     L"WIN_VISTA_SP1", L"WIN_VISTA_SP2", L"WIN_7",
    L"WIN_7_SP1",     L"WIN_8",      L"WIN_8_1",    L"WIN_10",
};

bool PlatformProbe(int major, int minor, int servicePack) {
    return os::WindowsVersionAtLeast(major, minor, servicePack);
}

WindowsVersionProbe& Probe() {
    static WindowsVersionProbe probe = PlatformProbe;
    return probe;
}

}  // namespace

void SetWindowsVersionProbe(WindowsVersionProbe probe) {
    Probe() = probe ? std::move(probe) : WindowsVersionProbe(PlatformProbe);
}

std::wstring WindowsVersionName(int index) {
    if (index < 0 || index >= kWindowsVersionCount) return L"WIN_UNKNOWN";
    return kVersionNames[index];
}

int GetWindowsVersion(std::wstring* name) {
    int found = -1;
    for (int index = kWindowsVersionCount - 1; index >= 0; --index) {
        const VersionRow& row = kVersionRows[index];
        if (Probe()(row.major, row.minor, row.servicePack)) {
            found = index;
            break;
        }
    }
    if (name != nullptr) *name = WindowsVersionName(found);
    return found;
}

int CompareVersion(const std::wstring& first, const std::wstring& second) {
    size_t a = 0;
    size_t b = 0;
    // Each component is value * 10 + (character - '0') over its characters, digits or not;
    // the sum wraps like the 32-bit integer it is compared as.
    auto component = [](const std::wstring& text, size_t& at) {
        uint32_t value = 0;
        while (at < text.size() && text[at] != L'.')
            value = value * 10u + static_cast<uint32_t>(text[at++] - L'0');
        if (at < text.size()) ++at;  // the dot
        return static_cast<int32_t>(value);
    };
    while (a < first.size() || b < second.size()) {
        const int32_t left = a < first.size() ? component(first, a) : 0;
        const int32_t right = b < second.size() ? component(second, b) : 0;
        if (left > right) return 1;
        if (left < right) return -1;
    }
    return 0;
}
