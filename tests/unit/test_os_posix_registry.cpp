// The registry stand-in itself: values.json files in a folder tree below the data folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/GL_Registry.h"
#include "launcher/InstalledProgram.h"
#include "tests/support/StandInRegistry.h"
#include "tests/support/TempDir.h"
#include "tests/support/RepeatedText.h"
#include "tests/support/TestLog.h"

namespace {

const char* const kKey = "SOFTWARE\\Vendor\\App";
const wchar_t* const kWideKey = L"SOFTWARE\\Vendor\\App";

class RegistryTest : public ::testing::Test {
protected:
    TestLog log{true};
    GLCRegistry registry{GLRegistryRoot::LocalMachine};
};

}  // namespace

TEST_F(RegistryTest, ExactValueNameWinsOverACaseVariant) {
    WriteRegistryKey(kKey, R"({"version": "lower", "Version": "exact"})");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Version", value));
    EXPECT_EQ(value, L"exact");
}

TEST_F(RegistryTest, KeyWithoutValuesFileHasNoValues) {
    std::filesystem::create_directories(RegistryKeyFolder(kKey));
    std::wstring value = L"untouched";
    EXPECT_TRUE(registry.ReadString(kWideKey, L"DisplayName", value));
    EXPECT_EQ(value, L"untouched");
}

TEST_F(RegistryTest, ValuesFileWithByteOrderMarkIsRead) {
    WriteRegistryKey(kKey, "\xEF\xBB\xBF{\"Name\": \"bom\"}");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"bom");
}

TEST_F(RegistryTest, BrokenValuesFileFailsTheReadsWithoutCrashing) {
    WriteRegistryKey(kKey, R"({"Name": "x", )");
    std::wstring value = L"kept";
    EXPECT_FALSE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(log.Matching("[ENU:10]RegQueryValueEx() 실패").size(), 1u);
    int32_t number = 7;
    EXPECT_FALSE(registry.ReadInt(kWideKey, L"Name", number));
    EXPECT_EQ(number, 7);
}

TEST_F(RegistryTest, NumberReadAsStringIsATypeFailure) {
    WriteRegistryKey(kKey, R"({"Release": 528040})");
    std::wstring value = L"kept";
    EXPECT_FALSE(registry.ReadString(kWideKey, L"Release", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(log.Matching("[ENU:10]RegQueryValueEx() 실패").size(), 1u);
}

TEST_F(RegistryTest, NestingIsBoundedLikeEveryJsonTheLauncherReads) {
    WriteRegistryKey(kKey, "{\"Deep\": " + Repeat("[", 511) + Repeat("]", 511) +
                               ", \"Name\": \"within\"}");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"within");

    WriteRegistryKey(kKey, "{\"Name\": \"beyond\", \"Deep\": " + Repeat("[", 1000000));
    value = L"kept";
    EXPECT_FALSE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(log.Matching("[ENU:10]RegQueryValueEx() 실패").size(), 1u);
}

TEST_F(RegistryTest, SubKeysThatCannotBeListedFailWithStatus20) {
    WriteRegistryKey("SOFTWARE\\Uninstall\\good");
    std::filesystem::create_directories(RegistryKeyFolder("SOFTWARE\\Uninstall") /
                                        std::string("bad\xFF"));
    std::vector<std::wstring> names;
    EXPECT_FALSE(registry.GetSubKeys(L"SOFTWARE\\Uninstall", names));
    const auto lines = log.Matching("[ENU:20]RegEnumKey() 실패[ENW:84]");
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find("[E]"), std::string::npos);
    EXPECT_NE(lines[0].find(":GLCRegistry::GetSubKeys:"), std::string::npos);
}

TEST_F(RegistryTest, TheDataFolderIsTakenFromTheEnvironmentAtEachCall) {
    WriteRegistryKey(kKey, R"({"Name": "first"})");
    const std::string first = std::getenv("ProgramData");
    TempDir second;
    setenv("ProgramData", second.path().c_str(), 1);
    WriteRegistryKey(kKey, R"({"Name": "second"})");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"second");
    setenv("ProgramData", first.c_str(), 1);
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"first");
}

// ---- the installed-program lookup on stand-in keys that Windows cannot have -----------------

namespace {
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class StandInUninstall : public ::testing::Test {
protected:
    TestLog log;
};
}  // namespace

TEST_F(StandInUninstall, MissingUninstallKeyMeansNothingIsInstalled) {
    WriteRegistryKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    std::wstring result = L"old";
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"old");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(StandInUninstall, UninstallKeyThatCannotBeListedReturns10) {
    WriteRegistryKey(kUninstall + "{0001}", R"({"DisplayName": "p1", "DisplayVersion": "1.0"})");
    // A folder name without a text form cannot be handed on as a key name.
    std::filesystem::create_directories(RegistryKeyFolder(kUninstall) / std::string("bad\xFF"));
    std::wstring result = L"old";
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 10);
    EXPECT_EQ(result, L"old");
    const auto lines = log.Matching("[ENU:10]pReg->GetSubKeys() 실패");
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find(":GetUninstallInfoFromReg:"), std::string::npos);
    EXPECT_EQ(log.Matching("[ENU:20]RegEnumKey() 실패").size(), 1u);
}
