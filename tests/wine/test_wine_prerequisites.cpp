// The minimum specification through the Windows launcher under Wine: the .NET release read
// from Wine's registry (32-bit view), installers of the test's own that raise it or not, the
// redistributable on every enabled check, and the Windows version Wine reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
const std::string kDotNetKey = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
const std::string kRecord = "C:\\ZebTest\\installer.txt";
const std::string kPrerequisites = "C:\\ProgramData\\Vantrel\\_update\\3rd\\";

size_t Count(const std::vector<std::string>& lines, const std::string& needle) {
    size_t count = 0;
    for (const std::string& line : lines) count += line.find(needle) != std::string::npos;
    return count;
}

class WinePrerequisites : public ::testing::Test {
protected:
    WinePrerequisites() { s.PlaceTool(); }

    // The test's installer program served at path.
    std::string ServeInstaller(const std::string& path) {
        s.server.AddFileFrom(path, ZEB_WINE_HELPER_EXE);
        return s.server.FileUrl() + path;
    }
    void PublishWithSpec(const std::string& version, const std::string& minSpec) {
        ProductInfo program = s.PublishArchive(version);
        program.minSpec = minSpec;
        s.Publish(program);
    }
    static std::string DotNetSpec(const std::string& version, const std::string& url) {
        return R"({"DOTNET_FX": {"ENABLED": "true", "VER": ")" + version + R"(", "URL": ")" +
               url + R"("}})";
    }
    std::string Installs() const { return ReadFileBytes(s.prefix.HostPath(kRecord)); }
    // The .NET release in the 32-bit view, 0 when there is none.
    unsigned long Release() const {
        const auto value = s.prefix.QueryValue(kDotNetKey, "Release", true);
        return value ? std::stoul(*value, nullptr, 16) : 0;
    }

    WindowsScenario s;
};

TEST_F(WinePrerequisites, ARecentEnoughDotNetInThe32BitViewFetchesNothing) {
    s.prefix.SetDword(kDotNetKey, "Release", 461808, true);  // 4.7.2
    PublishWithSpec("2.0.0", DotNetSpec("4.7.1", ServeInstaller("fx/setup.exe")));

    const LauncherRun run = s.Run({}, {{"ZEB_WINE_HELPER_RECORD", kRecord}});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << s.LogText();
    EXPECT_EQ(Count(s.server.RequestLines(), "/fx/"), 0u);
    EXPECT_FALSE(fs::exists(s.prefix.HostPath(kPrerequisites + "dotnet_fx")));
    EXPECT_EQ(Installs(), "");
}

TEST_F(WinePrerequisites, AnInstallerThatRaisesTheReleaseIsRunAndTheUpdateGoesOn) {
    PublishWithSpec("2.0.0", DotNetSpec("4.8", ServeInstaller("fx/setup.exe")));

    const LauncherRun run = s.Run(
        {}, {{"ZEB_WINE_HELPER_RECORD", kRecord}, {"ZEB_WINE_HELPER_RELEASE", "528040"}});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string installer = kPrerequisites + "dotnet_fx\\dotnet_fx_4.8.exe";
    EXPECT_EQ(Installs(), "cmdline=" + installer + " /norestart /quiet\n");
    EXPECT_EQ(Release(), 528040u);
    EXPECT_EQ(s.Log("닷넷 프레임워크 설치중...(최대 몇 분이상 걸림)\r\n" + installer + ")").size(),
              1u)
        << s.LogText();
    EXPECT_EQ(s.Log("닷넷 프레임워크 설치완료)").size(), 1u);
    EXPECT_EQ(s.StartedVersion(), "2.0.0");
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
}

TEST_F(WinePrerequisites, AnInstallerThatLeavesTheReleaseLowRefusesTheUpdate) {
    s.InstallOld();
    s.prefix.SetDword(kDotNetKey, "Release", 393295, true);  // 4.6
    PublishWithSpec("2.0.0", DotNetSpec("4.7", ServeInstaller("fx/old.exe")));

    const LauncherRun run = s.Run({}, {{"ZEB_WINE_HELPER_RECORD", kRecord}});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string installer = kPrerequisites + "dotnet_fx\\dotnet_fx_4.7.exe";
    EXPECT_EQ(Installs(), "cmdline=" + installer + " /norestart /quiet\n");
    EXPECT_EQ(s.Log("[ENU:50]닷넷 프레임워크 설치 실패\r\n" + installer + ")").size(), 1u)
        << s.LogText();
    EXPECT_EQ(s.Log("[ENU:6]닷넷 버전확인/설치 실패(4.7)").size(), 1u);
    EXPECT_EQ(s.Log("[ENU:62]최소사양 확인 실패").size(), 1u);
    EXPECT_TRUE(ShownBox(run.boxes, "닷넷 버전확인/설치 실패(4.7)\r\n\r\nCommand line value:"))
        << run.wineOutput;
    EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_EQ(Release(), 393295u);
    EXPECT_EQ(s.StartedVersion(), "old");
    EXPECT_TRUE(fs::exists(s.Install() / "user.cfg"));
}

TEST_F(WinePrerequisites, TheRedistributableIsRunOnEveryUpdateThatEnablesIt) {
    s.prefix.SetDword(kDotNetKey, "Release", 528040, true);
    const std::string spec = R"({"DOTNET_FX": {"VER": "4.8", "URL": ")" +
                             ServeInstaller("fx/unused.exe") +
                             R"("}, "VC_REDIST": {"ENABLED": "true", "VER": "14.38", "URL": ")" +
                             ServeInstaller("vc/vc_redist.x86.exe") + R"("}})";
    PublishWithSpec("1.0.0", spec);
    ASSERT_EQ(s.Run({}, {{"ZEB_WINE_HELPER_RECORD", kRecord}}).exitCode, 0);
    ASSERT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
    PublishWithSpec("2.0.0", spec);

    const LauncherRun run = s.Run({}, {{"ZEB_WINE_HELPER_RECORD", kRecord}});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << s.LogText();
    const std::string installer =
        "cmdline=" + kPrerequisites + "vc_redist\\vc_redist.x86.14.38.exe /norestart /quiet\n";
    EXPECT_EQ(Installs(), installer + installer);
    EXPECT_EQ(Count(s.server.RequestLines(), "GET /vc/vc_redist.x86.exe 200"), 2u);
    EXPECT_EQ(Count(s.server.RequestLines(), "/fx/"), 0u);
    EXPECT_EQ(s.Log("VC_REDIST 설치완료)").size(), 2u);
}

// ---- the Windows version Wine reports ----------------------------------------------------

struct WindowsVersionCase {
    const char* winecfgName;     // the prefix's Windows version
    const char* accepted;        // a WIN_VER the prefix meets
    const char* refused;         // a WIN_VER above it, or nullptr
    const char* refusedName;     // the table's name of that entry
};

void PrintTo(const WindowsVersionCase& value, std::ostream* out) { *out << value.winecfgName; }

class WineWindowsVersion : public ::testing::TestWithParam<WindowsVersionCase> {
protected:
    WineWindowsVersion() : s(GetParam().winecfgName) {
        s.PlaceTool();
        s.InstallOld();
    }
    void PublishRequiring(const std::string& version, const std::string& winVer) {
        ProductInfo program = s.PublishArchive(version);
        program.minSpec = R"({"WIN_VER": ")" + winVer + R"("})";
        s.Publish(program);
    }

    WindowsScenario s;
};

TEST_P(WineWindowsVersion, AVersionAboveThePrefixsIsRefusedAndItsOwnIsMet) {
    if (GetParam().refused != nullptr) {
        PublishRequiring("2.0.0", GetParam().refused);
        const LauncherRun refused = s.Run();
        ASSERT_EQ(refused.exitCode, 0) << refused.wineOutput;
        const std::string message =
            std::string("윈도우 운영체제 버전이 낮음(최소 ") + GetParam().refusedName + "이상)";
        EXPECT_EQ(s.Log("[ENU:5]" + message).size(), 1u) << s.LogText();
        EXPECT_TRUE(ShownBox(refused.boxes, message + "\r\n\r\nCommand line value:"))
            << refused.wineOutput;
        EXPECT_EQ(s.Log("[ENU:62]최소사양 확인 실패").size(), 1u);
        EXPECT_EQ(s.StartedVersion(), "old");
        fs::remove(s.Install() / "received_args.txt");
    }

    PublishRequiring("3.0.0", GetParam().accepted);
    const LauncherRun accepted = s.Run();

    ASSERT_EQ(accepted.exitCode, 0) << accepted.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "3.0.0") << s.LogText();
    EXPECT_FALSE(ShownBox(accepted.boxes, kUpdateFailed)) << accepted.wineOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, WineWindowsVersion,
    ::testing::Values(WindowsVersionCase{"win7", "8", "9", "WIN_8"},
                      WindowsVersionCase{"win81", "10", "11", "WIN_10"},
                      WindowsVersionCase{"win10", "11", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<WindowsVersionCase>& info) {
        return std::string(info.param.winecfgName);
    });

}  // namespace
