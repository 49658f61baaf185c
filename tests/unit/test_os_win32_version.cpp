// Versions on Windows: the version resource the build stamps into the programs, read back
// through version.dll, and the running system's version through VerifyVersionInfoW.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "launcher/MinSpec.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

TEST(VersionResource, TheLauncherCarriesTheProjectVersionInFourParts) {
    TestLog log;
    const std::wstring launcher = fs::path(ZEB_LAUNCHER_EXE).make_preferred().wstring();
    std::wstring fileVersion, productVersion;
    ASSERT_TRUE(GL_FILE_GetVersion(launcher, false, fileVersion));
    ASSERT_TRUE(GL_FILE_GetVersion(launcher, true, productVersion));
    EXPECT_EQ(fileVersion, L"" ZEB_PROJECT_VERSION);
    EXPECT_EQ(productVersion, L"" ZEB_PROJECT_VERSION);
    EXPECT_EQ(log.Text(), "");
}

TEST(VersionResource, AProgramWithoutOneGivesTrueAndLeavesTheText) {
    TestLog log;
    // The test programs are built without a version resource.
    std::wstring version = L"kept";
    EXPECT_TRUE(GL_FILE_GetVersion(os::ModulePath(), false, version));
    EXPECT_EQ(version, L"kept");
    EXPECT_EQ(log.Text(), "");
}

TEST(RunningWindows, IsARowOfTheVersionTable) {
    SetWindowsVersionProbe(nullptr);
    std::wstring name;
    const int version = GetWindowsVersion(&name);
    // The launcher's oldest Windows is Vista; Wine reports 7 SP1 unless told otherwise.
    EXPECT_GE(version, 4) << os::WideToUtf8Lossy(name);
    EXPECT_EQ(name, WindowsVersionName(version));
}
