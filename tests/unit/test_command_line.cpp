// Command-line items: tokenizer, company-pass masking, forwarding, and the rebuild of the
// Windows command line from argv.
#include <gtest/gtest.h>

#include "launcher/CommandLine.h"
#include "launcher/WindowsCommandLine.h"
#include "tests/support/LauncherRunner.h"
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

TEST(WindowsCommandLine, UnquotedItemValuesGetQuoted) {
    const auto rebuilt = BuildWindowsCommandLine(
        {"--PRG_ID=p1", "--CMD=\"run\"", "plain", "--FLAG", "--X=", "--PRG_ARGS=a b"});
    EXPECT_EQ(rebuilt.text,
              L"--PRG_ID=\"p1\" --CMD=\"run\" plain --FLAG --X=\"\" --PRG_ARGS=\"a b\"");
    EXPECT_TRUE(rebuilt.lossyArguments.empty());
}

TEST(WindowsCommandLine, ShellAndCreateProcessFormsTokenizeAlike) {
    const auto shell = BuildWindowsCommandLine({"--PRG_ID=p1", "--PRG_ARGS=/a \"b\"", "--X="});
    const auto quoted =
        BuildWindowsCommandLine({"--PRG_ID=\"p1\"", "--PRG_ARGS=\"/a \"b\"\"", "--X=\"\""});
    EXPECT_EQ(shell.text, quoted.text);
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(shell.text);
    EXPECT_EQ(items, (ItemMap{{L"PRG_ID", L"p1"}, {L"PRG_ARGS", L"/a \"b\""}, {L"X", L""}}));
}

TEST(WindowsCommandLine, Utf8ArgumentsConvertExactly) {
    const auto rebuilt = BuildWindowsCommandLine({"--PRG_ID=프로그램", "--A=\xF0\x9F\x98\x80"});
    EXPECT_EQ(rebuilt.text, L"--PRG_ID=\"프로그램\" --A=\"\U0001F600\"");
    EXPECT_TRUE(rebuilt.lossyArguments.empty());
}

TEST(WindowsCommandLine, InvalidUtf8IsReplacedAndReported) {
    const auto rebuilt = BuildWindowsCommandLine({"--CMD=run", "--PRG_ID=p\xFF" "1", "x\xC3"});
    EXPECT_EQ(rebuilt.text, L"--CMD=\"run\" --PRG_ID=\"p\uFFFD1\" x\uFFFD");
    EXPECT_EQ(rebuilt.lossyArguments, (std::vector<size_t>{2, 3}));
}

TEST(WindowsCommandLine, LossyDecoderRejectsEveryMalformedSequence) {
    struct Case {
        const char* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {"\xC0\xAF", L"\uFFFD\uFFFD"},              // overlong "/"
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},    // overlong, three bytes
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},    // surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"a\xE3\x81", L"a\uFFFD\uFFFD"},            // truncated at the end
        {"\xE3\x81" "a", L"\uFFFD\uFFFDa"},         // truncated before ASCII
        {"\x80\xEA\xB0\x80", L"\uFFFD가"},          // stray continuation, then valid
        {"\xF8\x88\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // five-byte form
    };
    for (const Case& c : cases) {
        std::wstring out;
        EXPECT_FALSE(DecodeUtf8Lossy(c.in, out)) << c.in;
        EXPECT_EQ(out, c.out);
    }
    std::wstring out;
    EXPECT_TRUE(DecodeUtf8Lossy("\x7F\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF", out));
    EXPECT_EQ(out, L"\x7F\u0080\uFFFF\U0010FFFF");
}

}  // namespace
