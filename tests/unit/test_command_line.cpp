// Command-line items: tokenizer, company-pass masking and forwarding.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "common/GL_Debug.h"
#include "common/os/os.h"

#include "launcher/CommandLine.h"
#include "tests/support/LogEntries.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

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
    std::wstring none = L"--COMP_ID=\"c1\" --X=\"1\"";
    MaskCompanyPass(none);
    EXPECT_EQ(none, L"--COMP_ID=\"c1\" --X=\"1\"");
}

TEST(MaskCompanyPass, EveryFormOfThePassIsMasked) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        // given twice: the tokenizer takes the later one
        {L"--COMP_PASS=\"a\" --COMP_PASS=\"b\" --X=\"1\"",
         L"--COMP_PASS=\"*\" --COMP_PASS=\"*\" --X=\"1\""},
        // the text COMP_PASS=" inside an earlier item's name
        {L"--ACOMP_PASS=\"x\" --COMP_PASS=\"Secret-2\"", L"--ACOMP_PASS=\"*\" --COMP_PASS=\"*"},
        // a pass holding a quotation mark and a blank
        {L"--COMP_PASS=\"ab\" cd\" --X=\"1\"", L"--COMP_PASS=\"*\" --X=\"1\""},
        // no quotation mark after the equals sign
        {L"--COMP_PASS=2sece --X=\"1\"", L"--COMP_PASS=* --X=\"1\""},
        // glued to the item before it, as one argument
        {L"--X=a--COMP_PASS=secret --Y=\"1\"", L"--X=a--COMP_PASS=* --Y=\"1\""},
        // a pass holding "--": the rest up to the next item goes with it
        {L"--COMP_PASS=\"ab--cd--\" --PRG_ID=\"p1\"", L"--COMP_PASS=\"*--*--* --PRG_ID=\"p1\""},
        // a blank instead of the equals sign
        {L"--COMP_PASS secret --PRG_ID=\"p1\"", L"--COMP_PASS* --PRG_ID=\"p1\""},
        // in another item's value
        {L"--PRG_ARGS=\"/u COMP_PASS=\"pw\" /v\" --X=\"1\"",
         L"--PRG_ARGS=\"/u COMP_PASS=\"*\" /v\" --X=\"1\""},
        // before the first item
        {L"COMP_PASS=\"pw\" --X=\"1\"", L"COMP_PASS=\"*\" --X=\"1\""},
    };
    for (const auto& [given, expected] : cases) {
        std::wstring text = given;
        MaskCompanyPass(text);
        EXPECT_EQ(text, expected) << std::wstring(given);
    }
}

TEST_F(Tokenizer, Status20PieceOfAPassIsMasked) {
    EXPECT_EQ(GL_STRING_ParseCommandLineArgs1(L"--COMP_PASS=\"ab--cd\" --PRG_ID=\"p1\"")
                  .at(L"COMP_PASS"),
              L"ab");
    GL_STRING_ParseCommandLineArgs1(L"--CMD=\"x\" --COMP_PASS secret --PRG_ID=\"p1\"");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "[ENU:20]커맨드라인 문자열 파싱 실패1: * ");
    EXPECT_EQ(lines[1].message, "[ENU:20]커맨드라인 문자열 파싱 실패1: COMP_PASS* ");
}

// ---- the pass never shows ---------------------------------------------------------------

namespace {

// Random command lines carrying the company pass in every form a caller may write it: with
// and without quotation marks, "=" or a blank, left open, glued to other items, given twice,
// holding quotation marks, blanks and "--". The pass alone holds Greek letters, so a Greek
// letter in any text that is shown or logged is a leak.
class PassCommandLines {
public:
    explicit PassCommandLines(uint32_t seed) : random_(seed) {}

    std::wstring Next() {
        static const wchar_t* const kNames[] = {
            L"CMD",    L"COMP_ID",  L"COMP_PASS",  L"COMP_PASS",         L"CUST_ID",
            L"PRG_ID", L"PRG_ARGS", L"ACOMP_PASS", L"__TEST_PATH_RUN__",
        };
        std::wstring line = Pick(0, 9) == 0 ? L"x " : L"";
        for (int items = Pick(1, 6); items > 0; --items) {
            const std::wstring name = kNames[Pick(0, std::size(kNames) - 1)];
            const std::wstring value =
                name.find(L"COMP_PASS") != std::wstring::npos ? Pass() : Text(L"ab \"-=", 0, 6);
            line += L"--" + name;
            switch (Pick(0, 3)) {
            case 0: line += L"=\"" + value + L"\""; break;  // documented
            case 1: line += L"=" + value; break;            // no quotation marks
            case 2: line += L" " + value; break;            // a blank for the "="
            default: line += L"=\"" + value; break;         // left open
            }
            if (Pick(0, 2) != 0) line += L" ";  // else glued to the next item
        }
        return line;
    }

    static bool HasGreek(const std::wstring& text) {
        return text.find_first_of(kGreek) != std::wstring::npos;
    }

private:
    static constexpr const wchar_t* kGreek = L"\u03A9\u03A8";

    size_t Pick(size_t low, size_t high) {
        return std::uniform_int_distribution<size_t>(low, high)(random_);
    }
    std::wstring Text(const std::wstring& alphabet, size_t low, size_t high) {
        std::wstring text;
        for (size_t n = Pick(low, high); n > 0; --n) text += alphabet[Pick(0, alphabet.size() - 1)];
        return text;
    }
    // At least one Greek letter; no "=" once it holds "--", which would make the rest of the
    // pass an item of its own, named by a piece of it.
    std::wstring Pass() {
        std::wstring pass = Text(std::wstring(kGreek) + L" \"-=*", 0, 8);
        pass.insert(Pick(0, pass.size()), 1, kGreek[Pick(0, 1)]);
        if (pass.find(L"--") != std::wstring::npos)
            pass.erase(std::remove(pass.begin(), pass.end(), L'='), pass.end());
        return pass;
    }

    std::mt19937 random_;
};

}  // namespace

TEST(PassNeverShows, RandomCommandLinesLeakNoPartOfThePass) {
    TestLog log;  // the environment of the log; each line goes to a file of its own
    TempDir dir;
    PassCommandLines lines(20240612);
    int passesTaken = 0;
    for (int run = 0; run < 5000; ++run) {
        const std::wstring line = lines.Next();
        const fs::path logFile = dir / ("run" + std::to_string(run) + ".log");
        GL_DEBUG_SetLogFile(logFile.wstring());

        std::wstring masked = line;
        MaskCompanyPass(masked);
        const ItemMap items = GL_STRING_ParseCommandLineArgs1(line);
        // What the entry point shows: the notice of a development item, and the forwarded
        // arguments' logged copy.
        std::vector<std::wstring> shown{masked};
        std::wstring programArgs;
        for (const auto& [name, value] : items) {
            if (name == L"__TEST_PATH_RUN__") shown.push_back(name + L"항목을 사용중입니다.: " + value);
            if (name != L"CMD" && name != L"PRG_ID") BuildForwardedArg(name, value, programArgs);
        }
        MaskCompanyPass(programArgs);
        shown.push_back(programArgs);
        shown.push_back(os::Utf8ToWideLossy(ReadFileBytes(logFile)));

        for (const std::wstring& text : shown)
            ASSERT_FALSE(PassCommandLines::HasGreek(text))
                << "given: " << line << "\nshown: " << text;
        const auto pass = items.find(L"COMP_PASS");
        if (pass != items.end() && PassCommandLines::HasGreek(pass->second)) ++passesTaken;
    }
    // The tokenizer took a pass in a good share of the runs.
    EXPECT_GT(passesTaken, 1000);
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
