#include <gtest/gtest.h>

#include "launcher/InstalledProgram.h"
#include "tests/support/TestLog.h"
#include "tests/support/TestRegistry.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kWowUninstall =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class InstalledProgramTest : public ::testing::Test {
protected:
    TestLog log;
    TestRegistry keys;

    void Entry(const std::string& name, const std::string& values) {
        keys.WriteKey(kUninstall + name, values);
    }
};

}  // namespace

TEST_F(InstalledProgramTest, MatchingEntryGivesItsValue) {
    Entry("{0001}", R"({"DisplayName": "other", "DisplayVersion": "9.9.9"})");
    Entry("{0002}", R"({"DisplayName": "p1", "DisplayVersion": "1.2.3", "Publisher": "Vantrel"})");
    std::wstring result;
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"1.2.3");
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"Publisher"), 0);
    EXPECT_EQ(result, L"Vantrel");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(InstalledProgramTest, DisplayNameDifferingInCaseDoesNotMatch) {
    Entry("{0001}", R"({"DisplayName": "P1", "DisplayVersion": "1.2.3"})");
    std::wstring result = L"as before";
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"as before");
}

TEST_F(InstalledProgramTest, OnlyTheWholeDisplayNameMatches) {
    Entry("{0001}", R"({"DisplayName": "p1 tools", "DisplayVersion": "1.0"})");
    Entry("{0002}", R"({"DisplayName": "p", "DisplayVersion": "2.0"})");
    std::wstring result;
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"");
}

TEST_F(InstalledProgramTest, FirstListedOfTwoEqualEntriesWins) {
    Entry("B-second", R"({"DisplayName": "p1", "DisplayVersion": "2.0.0"})");
    Entry("A-first", R"({"DisplayName": "p1", "DisplayVersion": "1.0.0"})");
    std::wstring result;
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"1.0.0");
}

TEST_F(InstalledProgramTest, MatchWithoutTheValueGivesAnEmptyResult) {
    Entry("{0001}", R"({"DisplayName": "p1"})");
    std::wstring result = L"old";
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"");
}

TEST_F(InstalledProgramTest, EntriesWithoutOrWithUnreadableDisplayNameAreSkipped) {
    Entry("{0001}", R"({"DisplayVersion": "0.1"})");
    Entry("{0002}", "{\"DisplayName\": \"" + std::string(300, 'p') + "\"}");
    Entry("{0003}", "{\"DisplayName\": \"" + std::string(256, 'q') + "\"}");
    Entry("{0004}", R"({"DisplayName": "p1", "DisplayVersion": "4.0"})");
    std::wstring result;
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"4.0");
    // The two names too long to read are reported by the reader, not by the lookup.
    EXPECT_EQ(log.Matching("RegQueryValueEx() 실패").size(), 2u);
}

TEST_F(InstalledProgramTest, EmptyDisplayNameMatchesAnEntryWithoutOne) {
    Entry("{0001}", R"({"DisplayVersion": "0.1"})");
    std::wstring result = L"old";
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"0.1");
}

TEST_F(InstalledProgramTest, OnlyThePlainUninstallKeyIsSearchedHere) {
    keys.WriteKey(kWowUninstall + "{0001}", R"({"DisplayName": "p1", "DisplayVersion": "3"})");
    Entry("{0009}", R"({"DisplayName": "other"})");
    std::wstring result;
    EXPECT_EQ(GetUninstallInfoFromReg(result, L"p1", L"DisplayVersion"), 0);
    EXPECT_EQ(result, L"");
}
