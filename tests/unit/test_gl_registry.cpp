// The registry reader on real keys: the Linux stand-in here, the registry under Windows.
#include <gtest/gtest.h>

#include "common/GL_Registry.h"
#include "tests/support/RepeatedText.h"
#include "tests/support/TestLog.h"
#include "tests/support/TestRegistry.h"

namespace {

const char* const kKey = "SOFTWARE\\Vendor\\App";
const wchar_t* const kWideKey = L"SOFTWARE\\Vendor\\App";

class RegistryTest : public ::testing::Test {
protected:
    TestLog log{true};
    TestRegistry keys;
    GLCRegistry registry{GLRegistryRoot::LocalMachine};

    size_t ErrorLines() const { return log.Matching("[E]").size(); }
};

}  // namespace

TEST_F(RegistryTest, ReadStringReadsTheValueWhateverTheCaseOfKeyAndValueName) {
    keys.WriteKey(kKey, R"({"DisplayName": "뷰어 프로그램", "Other": "x"})");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"DisplayName", value));
    EXPECT_EQ(value, L"뷰어 프로그램");
    value.clear();
    EXPECT_TRUE(registry.ReadString(L"software\\VENDOR\\app", L"displayname", value));
    EXPECT_EQ(value, L"뷰어 프로그램");
}

TEST_F(RegistryTest, MissingValueIsSuccessAndLeavesTheBufferAlone) {
    keys.WriteKey(kKey, R"({"DisplayName": "x"})");
    std::wstring value = L"untouched";
    EXPECT_TRUE(registry.ReadString(kWideKey, L"DisplayVersion", value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(RegistryTest, MissingKeyFailsWithADebugLineOnly) {
    keys.WriteKey("SOFTWARE\\Vendor");
    std::wstring value = L"untouched";
    EXPECT_FALSE(registry.ReadString(kWideKey, L"DisplayName", value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_EQ(ErrorLines(), 0u);
    const auto lines = log.Matching("RegOpenKeyEx() 실패(LastErr: 2)");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[D]"), std::string::npos);
    EXPECT_NE(lines[0].find(":GLCRegistry::ReadString:"), std::string::npos);
    EXPECT_EQ(lines[0].find("[ENU:"), std::string::npos);
}

TEST_F(RegistryTest, DotDotIsNoWayOutOfTheKey) {
    keys.WriteKey("SOFTWARE\\A", R"({"Name": "a"})");
    keys.WriteKey("SOFTWARE\\B", R"({"Name": "b"})");
    std::wstring value;
    EXPECT_FALSE(registry.ReadString(L"SOFTWARE\\A\\..\\B", L"Name", value));
    EXPECT_FALSE(registry.ReadString(L"..\\..\\Registry\\HKEY_LOCAL_MACHINE\\SOFTWARE\\B",
                                     L"Name", value));
    EXPECT_EQ(value, L"");
}

TEST_F(RegistryTest, StringOf255CharactersFitsAnd256DoNot) {
    keys.WriteKey(kKey, "{\"Fits\": \"" + Repeat("a", 255) + "\", \"Long\": \"" +
                               Repeat("b", 256) + "\"}");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Fits", value));
    EXPECT_EQ(value, std::wstring(255, L'a'));
    value = L"before";
    EXPECT_FALSE(registry.ReadString(kWideKey, L"Long", value));
    EXPECT_EQ(value, L"before");
    const auto lines = log.Matching("[ENU:10]RegQueryValueEx() 실패");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[E]"), std::string::npos);
    EXPECT_NE(lines[0].find(":GLCRegistry::ReadString:"), std::string::npos);
    EXPECT_NE(lines[0].find("[ENW:234]"), std::string::npos);
}

TEST_F(RegistryTest, CharactersAboveTheBasicPlaneCountFourBytes) {
    const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600
    keys.WriteKey(kKey, "{\"Fits\": \"" + Repeat(emoji, 127) + "a\", \"Long\": \"" +
                               Repeat(emoji, 128) + "\"}");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Fits", value));
    EXPECT_EQ(value, RepeatW(L"\U0001F600", 127) + L"a");
    EXPECT_FALSE(registry.ReadString(kWideKey, L"Long", value));
}

TEST_F(RegistryTest, EmbeddedTerminatorEndsTheString) {
    keys.WriteKey(kKey, R"({"Name": "before\u0000after"})");
    std::wstring value;
    EXPECT_TRUE(registry.ReadString(kWideKey, L"Name", value));
    EXPECT_EQ(value, L"before");
}

TEST_F(RegistryTest, ReadIntReadsThirtyTwoBitValues) {
    keys.WriteKey(kKey, R"({"Release": 528040, "Negative": -5, "AllBits": 4294967295})");
    int32_t number = 0;
    EXPECT_TRUE(registry.ReadInt(kWideKey, L"Release", number));
    EXPECT_EQ(number, 528040);
    EXPECT_TRUE(registry.ReadInt(kWideKey, L"Negative", number));
    EXPECT_EQ(number, -5);
    EXPECT_TRUE(registry.ReadInt(kWideKey, L"AllBits", number));
    EXPECT_EQ(number, -1);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(RegistryTest, ReadIntFailuresAreDebugLinesWithTheError) {
    keys.WriteKey(kKey, R"({"Text": "528040", "Huge": 4294967296})");
    int32_t number = 11;
    EXPECT_FALSE(registry.ReadInt(kWideKey, L"Missing", number));
    EXPECT_FALSE(registry.ReadInt(kWideKey, L"Text", number));
    EXPECT_FALSE(registry.ReadInt(kWideKey, L"Huge", number));
    EXPECT_FALSE(registry.ReadInt(L"SOFTWARE\\Nowhere", L"Release", number));
    EXPECT_EQ(number, 11);
    EXPECT_EQ(ErrorLines(), 0u);
    EXPECT_EQ(log.Matching(":GLCRegistry::ReadInt:").size(), 4u);
    EXPECT_EQ(log.Matching("RegQueryValueEx() 실패(LastErr: 2)").size(), 1u);
    EXPECT_EQ(log.Matching("RegOpenKeyEx() 실패(LastErr: 2)").size(), 1u);
}

TEST_F(RegistryTest, GetSubKeysAppendsTheSubKeysInNameOrder) {
    keys.WriteKey("SOFTWARE\\Uninstall\\{B-2}");
    keys.WriteKey("SOFTWARE\\Uninstall\\App1\\Nested");
    keys.WriteKey("SOFTWARE\\Uninstall\\{A-1}");
    std::vector<std::wstring> names{L"earlier"};
    EXPECT_TRUE(registry.GetSubKeys(L"SOFTWARE\\Uninstall", names));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"earlier", L"App1", L"{A-1}", L"{B-2}"}));
}

TEST_F(RegistryTest, KeyWithoutSubKeysListsNothing) {
    keys.WriteKey(kKey, R"({"Name": "values are no sub-keys"})");
    std::vector<std::wstring> names{L"kept"};
    EXPECT_TRUE(registry.GetSubKeys(kWideKey, names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"kept"});
    EXPECT_EQ(log.Text(), "");
}

TEST_F(RegistryTest, GetSubKeysOfAMissingKeyIsAnErrorWithStatus10AndError2) {
    std::vector<std::wstring> names;
    EXPECT_FALSE(registry.GetSubKeys(L"SOFTWARE\\Nowhere", names));
    EXPECT_TRUE(names.empty());
    const auto lines = log.Matching("[ENU:10]RegOpenKeyEx() 실패[ENW:2]");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[E]"), std::string::npos);
    EXPECT_NE(lines[0].find(":GLCRegistry::GetSubKeys:"), std::string::npos);
}

TEST_F(RegistryTest, HasKeyTellsWhetherTheKeyExistsWithoutLogging) {
    keys.WriteKey(kKey);
    EXPECT_TRUE(registry.HasKey(kWideKey));
    EXPECT_TRUE(registry.HasKey(L"software\\vendor"));
    EXPECT_FALSE(registry.HasKey(L"SOFTWARE\\Vendor\\Other"));
    EXPECT_EQ(log.Text(), "");
}
