// Linux has no Windows version: without a probe the table finds no row.
#include <gtest/gtest.h>

#include <tuple>

#include "launcher/MinSpec.h"

TEST(StandInWindowsVersion, ThisPlatformKnowsNoWindowsVersion) {
    SetWindowsVersionProbe([](int major, int minor, int servicePack) {
        return std::tie(major, minor, servicePack) <= std::make_tuple(10, 0, 0);
    });
    SetWindowsVersionProbe(nullptr);
    std::wstring name;
    EXPECT_EQ(GetWindowsVersion(&name), -1);
    EXPECT_EQ(name, L"WIN_UNKNOWN");
}
