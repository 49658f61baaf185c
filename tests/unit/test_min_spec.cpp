// Version order, the Windows version table, the .NET release table and the MIN_SPEC checks
// that need no download.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "launcher/MinSpec.h"
#include "tests/support/TestLog.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TimedBoxRecorder.h"

namespace {

// A system of the given version, answering as VerifyVersionInfoW does: major first, then
// minor, then the service pack.
WindowsVersionProbe System(int major, int minor, int servicePack) {
    return [=](int wantMajor, int wantMinor, int wantServicePack) {
        return std::tie(major, minor, servicePack) >=
               std::tie(wantMajor, wantMinor, wantServicePack);
    };
}

class WindowsProbe : public ::testing::Test {
protected:
    ~WindowsProbe() override { SetWindowsVersionProbe(nullptr); }
};

// ---- CompareVersion -----------------------------------------------------------------------

TEST(CompareVersion, ComponentsCompareAsNumbers) {
    EXPECT_EQ(CompareVersion(L"4.6.10", L"4.6.2"), 1);
    EXPECT_EQ(CompareVersion(L"4.6.2", L"4.6.10"), -1);
    EXPECT_EQ(CompareVersion(L"4.10", L"4.9"), 1);
    EXPECT_EQ(CompareVersion(L"4.7.2", L"4.7.1"), 1);
    EXPECT_EQ(CompareVersion(L"4.8", L"4.8"), 0);
}

TEST(CompareVersion, MissingComponentsCountAsZero) {
    EXPECT_EQ(CompareVersion(L"4.7", L"4.7.0"), 0);
    EXPECT_EQ(CompareVersion(L"4.7.0.0", L"4.7"), 0);
    EXPECT_EQ(CompareVersion(L"4.7", L"4.7.0.1"), -1);
    EXPECT_EQ(CompareVersion(L"", L"0"), 0);
    EXPECT_EQ(CompareVersion(L"0", L"4.5"), -1);
    EXPECT_EQ(CompareVersion(L"4.7.", L"4.7"), 0);
}

TEST(CompareVersion, CharactersAreNotCheckedAndHugeComponentsDoNotOverflow) {
    // 'a' counts as 49: 4.a is above 4.9.
    EXPECT_EQ(CompareVersion(L"4.a", L"4.9"), 1);
    // A component past the 32-bit range wraps instead of being undefined.
    EXPECT_EQ(CompareVersion(L"4294967296", L"0"), 0);
    EXPECT_EQ(CompareVersion(L"2147483648", L"1"), -1);
    EXPECT_EQ(CompareVersion(L"99999999999999999999.1", L"99999999999999999999.1"), 0);
}

// ---- GetWindowsVersion --------------------------------------------------------------------

TEST_F(WindowsProbe, EveryRowOfTheTableIsRecognised) {
    const std::tuple<int, int, int, int, const wchar_t*> rows[] = {
        {10, 0, 0, 11, L"WIN_10"},       {6, 3, 0, 10, L"WIN_8_1"},
        {6, 2, 0, 9, L"WIN_8"},          {6, 1, 1, 8, L"WIN_7_SP1"},
        {6, 1, 0, 7, L"WIN_7"},          {6, 0, 2, 6, L"WIN_VISTA_SP2"},
        {6, 0, 1, 5, L"WIN_VISTA_SP1"},  {6, 0, 0, 4, L"WIN_VISTA"},
        {5, 1, 3, 3, L"WIN_XP_SP3"},     {5, 1, 2, 2, L"WIN_XP_SP2"},
        {5, 1, 1, 1, L"WIN_XP_SP1"},     {5, 1, 0, 0, L"WIN_XP"},
        {5, 0, 4, -1, L"WIN_UNKNOWN"},   {11, 0, 0, 11, L"WIN_10"},
        {6, 1, 3, 8, L"WIN_7_SP1"},
    };
    for (const auto& [major, minor, sp, index, name] : rows) {
        SetWindowsVersionProbe(System(major, minor, sp));
        std::wstring got = L"unset";
        EXPECT_EQ(GetWindowsVersion(&got), index) << major << "." << minor << " sp" << sp;
        EXPECT_EQ(got, name);
        EXPECT_EQ(GetWindowsVersion(), index);
        EXPECT_EQ(WindowsVersionName(index), name);
    }
}

TEST_F(WindowsProbe, RowsAreTriedFromTheNewestDown) {
    std::vector<std::tuple<int, int, int>> asked;
    SetWindowsVersionProbe([&](int major, int minor, int sp) {
        asked.emplace_back(major, minor, sp);
        return major == 6 && minor == 1 && sp == 1;
    });
    EXPECT_EQ(GetWindowsVersion(), 8);
    const std::vector<std::tuple<int, int, int>> expected = {
        {10, 0, 0}, {6, 3, 0}, {6, 2, 0}, {6, 1, 1}};
    EXPECT_EQ(asked, expected);
}

TEST(WindowsVersionName, HasTwelveEntries) {
    EXPECT_EQ(WindowsVersionName(0), L"WIN_XP");
    EXPECT_EQ(WindowsVersionName(11), L"WIN_10");
    EXPECT_EQ(WindowsVersionName(12), L"WIN_UNKNOWN");
    EXPECT_EQ(WindowsVersionName(-1), L"WIN_UNKNOWN");
}

// ---- .NET release ----------------------------------------------------------------------------

TEST(DotNetRelease, FirstRowReachedGivesTheVersion) {
    const std::tuple<int, const wchar_t*> rows[] = {
        {533320, L"4.8"},  {528040, L"4.8"},   {528039, L"4.7.2"}, {461808, L"4.7.2"},
        {461308, L"4.7.1"}, {460798, L"4.7"},  {394802, L"4.6.2"}, {394254, L"4.6.1"},
        {393295, L"4.6"},  {379893, L"4.5.2"}, {378675, L"4.5.1"}, {378389, L"4.5"},
        {378388, L"0"},    {1, L"0"},          {-5, L"0"},         {0, L""},
    };
    for (const auto& [release, version] : rows)
        EXPECT_EQ(DotNetVersionOfRelease(release), version) << release;
}

class DotNetRegistry : public ::testing::Test {
protected:
    void WriteKey(const std::string& valuesJson) {
        keys_.WriteKey("SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", valuesJson);
    }
    TestLog log_{true};
    // Where a 32-bit program finds the .NET key, as the launcher looks for it.
    TestRegistry keys_{os::RegistryView::k32Bit};
};

TEST_F(DotNetRegistry, ReadsTheReleaseValue) {
    WriteKey(R"({"Release": 461808})");
    EXPECT_EQ(GetDotNetVersion(), L"4.7.2");
    WriteKey(R"({"Release": 12})");
    EXPECT_EQ(GetDotNetVersion(), L"0");
}

TEST_F(DotNetRegistry, UnreadableReleaseIsEmptyWithADebugLine) {
    EXPECT_EQ(GetDotNetVersion(), L"");
    EXPECT_EQ(log_.Matching("[D]").size(), 1u) << log_.Text();
    EXPECT_EQ(log_.Matching(":GLCRegistry::ReadInt:").size(), 1u) << log_.Text();
    WriteKey(R"({"Install": 1})");
    EXPECT_EQ(GetDotNetVersion(), L"");
    WriteKey(R"({"Release": "528040"})");
    EXPECT_EQ(GetDotNetVersion(), L"");
    EXPECT_TRUE(log_.Matching("[E]").empty()) << log_.Text();
}

TEST_F(DotNetRegistry, RecentEnoughReleaseInstallsNothing) {
    WriteKey(R"({"Release": 461808})");
    // The URL is never looked at: a useless one proves it.
    EXPECT_EQ(InstallDotNetFramework(L"4.7.1", L"not a url", L""), 0);
    EXPECT_EQ(InstallDotNetFramework(L"4.7.2", L"not a url", L""), 0);
    EXPECT_EQ(InstallDotNetFramework(L"4.7", L"not a url", L""), 0);
    EXPECT_TRUE(log_.Matching("[E]").empty()) << log_.Text();
}

// ---- CheckMinSpec without downloads ------------------------------------------------------

class MinSpecCheck : public ::testing::Test {
protected:
    ~MinSpecCheck() override { SetWindowsVersionProbe(nullptr); }
    bool Shown(const std::string& message) const {
        return boxes_.CountStartingWith(message + "\r\n\r\nCommand line value:") == 1;
    }
    TestLog log_;
    TimedBoxRecorder boxes_;
};

TEST_F(MinSpecCheck, TextThatIsNoJsonIsAParseFailure) {
    EXPECT_FALSE(CheckMinSpec(L"{\"WIN_VER\": "));
    const auto lines = log_.Matching("[ENU:3]json 파싱 오류\r\n{\"WIN_VER\": ");
    ASSERT_EQ(lines.size(), 1u) << log_.Text();
    EXPECT_NE(lines[0].find(":CheckMinSpec:"), std::string::npos);
    EXPECT_TRUE(Shown("업데이트를 위한 최소 사양정보(MIN_SPEC) 파싱 실패")) << boxes_.Text();
}

TEST_F(MinSpecCheck, NestingBeyondTheLimitIsAParseFailure) {
    const std::wstring deep = L"{\"WIN_VER\":\"7\",\"X\":" + std::wstring(100000, L'[') +
                              std::wstring(100000, L']') + L"}";
    EXPECT_FALSE(CheckMinSpec(deep));
    EXPECT_EQ(log_.Matching("[ENU:3]json 파싱 오류\r\n{\"WIN_VER\":\"7\",\"X\":[[[").size(), 1u)
        << log_.Text().substr(0, 2000);
    EXPECT_TRUE(Shown("업데이트를 위한 최소 사양정보(MIN_SPEC) 파싱 실패"));
}

TEST_F(MinSpecCheck, WindowsVersionOutsideTheTableIsAParseFailure) {
    SetWindowsVersionProbe(System(10, 0, 0));
    for (const wchar_t* text :
         {L"{\"WIN_VER\": \"abc\"}", L"{\"WIN_VER\": \"12\"}", L"{\"WIN_VER\": \"-1\"}",
          L"{\"WIN_VER\": \"\"}", L"{\"WIN_VER\": \"99999999999\"}", L"{\"WIN_VER\": 7}",
          L"{\"WIN_VER\": \" +\"}", L"{\"DOTNET_FX\": {\"ENABLED\": true}}",
          L"{\"VC_REDIST\": {\"VER\": 14}}"}) {
        EXPECT_FALSE(CheckMinSpec(text)) << text;
    }
    EXPECT_EQ(log_.Matching("[ENU:3]json 파싱 오류").size(), 9u) << log_.Text();
}

TEST_F(MinSpecCheck, InstallerHashesThatAreNotSha256TextAreAParseFailure) {
    // Checked before anything else, also where the installer would not be needed.
    const std::wstring upper(64, L'A');
    const std::wstring texts[] = {
        L"{\"DOTNET_FX\": {\"ENABLED\": \"false\", \"SHA256\": \"" + upper + L"\"}}",
        L"{\"DOTNET_FX\": {\"VER\": \"4.8\", \"URL\": \"bad\", \"SHA256\": \"\"}}",
        L"{\"VC_REDIST\": {\"ENABLED\": \"true\", \"SHA256\": 5}}",
        L"{\"VC_REDIST\": {\"SHA256\": \"" + std::wstring(63, L'0') + L"\"}}",
    };
    for (const std::wstring& text : texts) EXPECT_FALSE(CheckMinSpec(text));
    EXPECT_EQ(log_.Matching("[ENU:3]json 파싱 오류").size(), 4u) << log_.Text();
    EXPECT_TRUE(log_.Matching("URL파싱").empty()) << log_.Text();
    // A well-formed hash beside an installer that is not needed changes nothing.
    EXPECT_TRUE(CheckMinSpec(L"{\"DOTNET_FX\": {\"ENABLED\": \"false\", \"SHA256\": \"" +
                             std::wstring(64, L'a') + L"\"}}"));
}

TEST_F(MinSpecCheck, WindowsVersionTextAllowsBlanksSignAndTrailingText) {
    SetWindowsVersionProbe(System(6, 1, 0));
    EXPECT_TRUE(CheckMinSpec(L"{\"WIN_VER\": \" +7\", \"DOTNET_FX\": {\"ENABLED\": \"false\"}}"));
    EXPECT_TRUE(CheckMinSpec(L"{\"WIN_VER\": \"7 (Windows 7)\"}"));
    EXPECT_TRUE(CheckMinSpec(L"{\"WIN_VER\": \"-0\"}"));
    EXPECT_TRUE(log_.Matching("[ENU:").empty()) << log_.Text();
}

TEST_F(MinSpecCheck, OlderWindowsNamesTheRequiredVersion) {
    SetWindowsVersionProbe(System(6, 1, 0));  // Windows 7 without service pack
    EXPECT_TRUE(CheckMinSpec(L"{\"WIN_VER\": \"7\"}"));
    EXPECT_FALSE(CheckMinSpec(L"{\"WIN_VER\": \"8\"}"));
    EXPECT_EQ(log_.Matching("[ENU:5]윈도우 운영체제 버전이 낮음(최소 WIN_7_SP1이상)").size(), 1u)
        << log_.Text();
    EXPECT_TRUE(Shown("윈도우 운영체제 버전이 낮음(최소 WIN_7_SP1이상)")) << boxes_.Text();
}

TEST_F(MinSpecCheck, UnknownWindowsStopsTheUpdate) {
    SetWindowsVersionProbe(System(5, 0, 4));  // Windows 2000: in no row of the table
    EXPECT_FALSE(CheckMinSpec(L"{\"WIN_VER\": \"0\"}"));
    EXPECT_EQ(log_.Matching("[ENU:4]윈도우 운영체제 버전확인 실패").size(), 1u) << log_.Text();
    EXPECT_TRUE(Shown("윈도우 운영체제 버전확인 실패"));
}

TEST_F(MinSpecCheck, WithoutVersionOrUrlThereIsNothingToInstall) {
    // No DOTNET_FX: the .NET test runs (ENABLED absent counts as "true"), finds no version
    // and ends the check there, so even a broken redistributable entry is not looked at.
    EXPECT_TRUE(CheckMinSpec(
        L"{\"VC_REDIST\": {\"ENABLED\": \"true\", \"VER\": \"14\", \"URL\": \"bad\"}}"));
    EXPECT_TRUE(CheckMinSpec(L"{\"DOTNET_FX\": {\"VER\": \"4.8\"}}"));
    EXPECT_TRUE(CheckMinSpec(L"{\"DOTNET_FX\": {\"URL\": \"https://h/x.exe\"}}"));
    EXPECT_TRUE(CheckMinSpec(L"{}"));
    EXPECT_TRUE(log_.Matching("[ENU:").empty()) << log_.Text();
}

TEST_F(MinSpecCheck, BadInstallerUrlsFailWithTheirOwnStatus) {
    // "True" with a capital T turns the .NET test off; the redistributable still runs.
    EXPECT_FALSE(CheckMinSpec(
        L"{\"DOTNET_FX\": {\"ENABLED\": \"True\", \"VER\": \"4.8\", \"URL\": \"x\"},"
        L" \"VC_REDIST\": {\"ENABLED\": \"true\", \"VER\": \"14.0\", \"URL\": \"::bad\"}}"));
    EXPECT_EQ(log_.Matching("[ENU:10]VC_REDIST 다운로드 URL파싱 실패(::bad)").size(), 1u)
        << log_.Text();
    EXPECT_EQ(log_.Matching(":InstallVcRedist:").size(), 1u) << log_.Text();
    EXPECT_EQ(log_.Matching("[ENU:7]VC_REDIST 버전확인/설치 실패(14.0)").size(), 1u);
    EXPECT_TRUE(Shown("VC_REDIST 버전확인/설치 실패(14.0)"));
    EXPECT_TRUE(log_.Matching("닷넷").empty()) << log_.Text();
}

TEST_F(MinSpecCheck, VersionThatWouldLeaveThePrerequisitesFolderIsRefused) {
    EXPECT_EQ(InstallVcRedist(L"../../evil", L"https://127.0.0.1/x.exe", L""), 5);
    EXPECT_EQ(InstallDotNetFramework(L"4.8/../../x", L"https://127.0.0.1/x.exe", L""), 5);
    EXPECT_EQ(log_.Matching("[ENU:5]").size(), 2u) << log_.Text();
}

}  // namespace
