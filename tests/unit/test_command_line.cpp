// Command-line items: tokenizer, company-pass masking and forwarding.
#include <gtest/gtest.h>

#include "launcher/CommandLine.h"
#include "tests/support/LogEntries.h"
#include "tests/support/TestLog.h"

namespace {

class Tokenizer : public ::testing::Test {
protected:
    // The tokenizer's log lines, split into their parts.
    std::vector<LogLine> Lines() {
        std::vector<LogLine> lines;
        for (const std::string& text : log_.Lines()) {
            LogLine line;
            EXPECT_TRUE(ParseLogLine(text, line)) << text;
            lines.push_back(line);
        }
        return lines;
    }
    TestLog log_;
};

TEST_F(Tokenizer, DocumentedFormGivesExactValues) {
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(
        L"--CMD=\"run\" --COMP_ID=\"c1\" --PRG_ID=\"p1\" --PRG_ARGS=\"/a b\"");
    EXPECT_EQ(items, (ItemMap{{L"CMD", L"run"}, {L"COMP_ID", L"c1"}, {L"PRG_ID", L"p1"},
                              {L"PRG_ARGS", L"/a b"}}));
    EXPECT_TRUE(Lines().empty());
}

TEST_F(Tokenizer, EmptyCommandLineGivesEmptyMapWithoutLogLine) {
    EXPECT_TRUE(GL_STRING_ParseCommandLineArgs1(L"").empty());
    EXPECT_TRUE(Lines().empty());
}

TEST_F(Tokenizer, TextBeforeFirstItemLogsStatus10AndGivesNothing) {
    for (const std::wstring text : {L" --PRG_ID=\"p1\"", L"run --PRG_ID=\"p1\"", L"-PRG_ID=\"p\""}) {
        EXPECT_TRUE(GL_STRING_ParseCommandLineArgs1(text).empty());
    }
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].level, 'E');
    EXPECT_EQ(lines[0].function, "GL_STRING_ParseCommandLineArgs1");
    EXPECT_EQ(lines[0].message, "[ENU:10]커맨드라인 문자열 파싱 실패:  --PRG_ID=\"p1\"");
    EXPECT_EQ(lines[1].message, "[ENU:10]커맨드라인 문자열 파싱 실패: run --PRG_ID=\"p1\"");
}

TEST_F(Tokenizer, Status10LineDoesNotRevealTheCompanyPass) {
    GL_STRING_ParseCommandLineArgs1(L"x --COMP_PASS=\"secret\" --PRG_ID=\"p1\"");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message,
              "[ENU:10]커맨드라인 문자열 파싱 실패: x --COMP_PASS=\"*\" --PRG_ID=\"p1\"");
}

TEST_F(Tokenizer, CharacterAfterEqualsIsAlwaysSkipped) {
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--PRG_ID=p1").at(L"PRG_ID"), L"1");
    // Without a closing quotation mark nothing is cut off, not even the separating space.
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--PRG_ID=p1 --CMD=\"x\"").at(L"PRG_ID"), L"1 ");
}

TEST_F(Tokenizer, PieceEndingAtEqualsOrOneCharLaterIsEmpty) {
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(L"--CMD=\"run\" --X=");
    EXPECT_EQ(items, (ItemMap{{L"CMD", L"run"}, {L"X", L""}}));
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--X=\"").at(L"X"), L"");
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--X=\"\"").at(L"X"), L"");
    EXPECT_TRUE(Lines().empty());
}

TEST_F(Tokenizer, DoubleHyphenInValueCutsAndStopsWithStatus20) {
    const ItemMap items =
        GL_STRING_ParseCommandLineArgs1(L"--CMD=\"run\" --PRG_ARGS=\"-x --y\" --PRG_ID=\"p1\"");
    EXPECT_EQ(items, (ItemMap{{L"CMD", L"run"}, {L"PRG_ARGS", L"-x "}}));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, "[ENU:20]커맨드라인 문자열 파싱 실패1: y\" ");
}

TEST_F(Tokenizer, ValueKeepsInnerQuotesAndSpacesUpToTheLastQuote) {
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--A=\"say \"hi\" now\"  ").at(L"A"),
              L"say \"hi\" now");
}

TEST_F(Tokenizer, LaterValueOfANameWins) {
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(L"--PRG_ID=\"a\" --PRG_ID=\"b\"");
    EXPECT_EQ(items, (ItemMap{{L"PRG_ID", L"b"}}));
}

TEST_F(Tokenizer, NamesAreExactAndOrderedByCodeUnit) {
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(
        L"--__TEST_PATH_RUN__=\"p\" --prg_id=\"x\" -- CMD =\"y\" --PRG_ID=\"z\"");
    std::vector<std::wstring> names;
    for (const auto& item : items) names.push_back(item.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L" CMD ", L"PRG_ID", L"__TEST_PATH_RUN__",
                                                L"prg_id"}));
}

TEST(MaskCompanyPass, ValueBetweenItemsBecomesOneAsterisk) {
    std::wstring text = L"--COMP_ID=\"c1\" --COMP_PASS=\"se cret\" --CUST_ID=\"u1\"";
    MaskCompanyPass(text);
    EXPECT_EQ(text, L"--COMP_ID=\"c1\" --COMP_PASS=\"*\" --CUST_ID=\"u1\"");
}

TEST(MaskCompanyPass, LastItemLosesItsClosingQuote) {
    std::wstring text = L"--PRG_ID=\"p1\" --COMP_PASS=\"secret\"";
    MaskCompanyPass(text);
    EXPECT_EQ(text, L"--PRG_ID=\"p1\" --COMP_PASS=\"*");
}

TEST(MaskCompanyPass, EmptyPassAndTextWithoutPass) {
    std::wstring empty = L"--COMP_PASS=\"\" --X=\"1\"";
    MaskCompanyPass(empty);
    EXPECT_EQ(empty, L"--COMP_PASS=\"*\" --X=\"1\"");
    std::wstring none = L"--COMP_PASS=secret --X=\"1\"";  // not the quoted form
    MaskCompanyPass(none);
    EXPECT_EQ(none, L"--COMP_PASS=secret --X=\"1\"");
}

TEST(MaskCompanyPass, OnlyTheFirstOccurrence) {
    std::wstring text = L"--COMP_PASS=\"a\" --COMP_PASS=\"b\" --X=\"1\"";
    MaskCompanyPass(text);
    EXPECT_EQ(text, L"--COMP_PASS=\"*\" --COMP_PASS=\"b\" --X=\"1\"");
}

TEST(BuildForwardedArg, ItemsInMapOrderSeparatedBySingleSpaces) {
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(
        L"--PRG_ARGS=\"/x\" --CUST_ID=\"u1\" --COMP_PASS=\"pw\" --COMP_ID=\"c1\"");
    std::wstring args;
    for (const auto& [name, value] : items) BuildForwardedArg(name, value, args);
    EXPECT_EQ(args, L"--COMP_ID=\"c1\" --COMP_PASS=\"pw\" --CUST_ID=\"u1\" --PRG_ARGS=\"/x\"");
}

TEST(BuildForwardedArg, DropsOnlyOneLeadingUnderscore) {
    std::wstring args;
    BuildForwardedArg(L"__TEST_UPDATE_URL__", L"https://h/", args);
    BuildForwardedArg(L"_", L"", args);
    EXPECT_EQ(args, L"--_TEST_UPDATE_URL__=\"https://h/\" --=\"\"");
}

}  // namespace
